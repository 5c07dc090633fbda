// The table-driven reciprocal square root of the x87-tuned Vec3Normalize: a 512-piece
// linear fit of 1/sqrt(m) for m in [0.5, 2), exponent restored by bit arithmetic. Relative
// error at most 1.5e-6 for every positive normal float.
#pragma once

#include <array>
#include <cstdint>

namespace facet::x87 {

struct ReciprocalSqrtPiece {
    float slope, intercept;
};

// Entry i covers [0.5 + i/512, 0.5 + (i+1)/512) for i < 256 and
// [1 + (i-256)/256, 1 + (i-255)/256) for i >= 256.
extern const std::array<ReciprocalSqrtPiece, 512> kReciprocalSqrtTable;

// 1/sqrt(x) for a positive normal float x, from the table.
float TableReciprocalSqrt(float x);

}  // namespace facet::x87
