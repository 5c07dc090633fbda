// The summation orders that distinguish the single-precision routine families built from
// the shared formulas: the portable routines add terms left to right; the 3DNow! routines
// add in pairs, as its two-lane registers do (products two at a time, then the two halves).
#pragma once

namespace facet {

struct SequentialArithmetic {
    static float Sum(float a, float b, float c) { return (a + b) + c; }
    static float Sum(float a, float b, float c, float d) { return ((a + b) + c) + d; }
};

struct PairedArithmetic {
    // Lanes (a, b) and (c, 0) added lane-wise, then the two lanes: (a + c) + b.
    static float Sum(float a, float b, float c) { return (a + c) + b; }
    static float Sum(float a, float b, float c, float d) { return (a + b) + (c + d); }
};

// The extended 3DNow! set adds swap and mixed-sign accumulate instructions but sums in the
// same pairs; its own type keeps its routines distinct in the table.
struct ExtendedPairedArithmetic : PairedArithmetic {};

}  // namespace facet
