// The reciprocal square root table, computed at compile time: on each piece the linear
// fit is the minimax one for the absolute error (the secant slope, the intercept halfway
// between the secant and the parallel tangent), except the first piece, which is fixed.
#include "math/x87_reciprocal_sqrt.h"

#include <cstring>

namespace facet::x87 {

namespace {

constexpr double Sqrt(double x) {
    double r = x > 1.0 ? x : 1.0;
    for (int i = 0; i < 64; ++i) {
        const double next = 0.5 * (r + x / r);
        if (next == r) break;
        r = next;
    }
    return r;
}

constexpr double InverseSqrt(double x) { return 1.0 / Sqrt(x); }

// The point of [a, b] where the slope of 1/sqrt equals `slope`: -0.5 c^-1.5 = slope.
constexpr double TangentPoint(double a, double b, double slope) {
    for (int i = 0; i < 60; ++i) {
        const double c = 0.5 * (a + b);
        if (-0.5 / (c * Sqrt(c)) < slope) {
            a = c;
        } else {
            b = c;
        }
    }
    return 0.5 * (a + b);
}

constexpr ReciprocalSqrtPiece FitPiece(double a, double b) {
    const double slope = (InverseSqrt(b) - InverseSqrt(a)) / (b - a);
    const double c = TangentPoint(a, b, slope);
    const double secantIntercept = InverseSqrt(a) - slope * a;
    const double tangentIntercept = InverseSqrt(c) - slope * c;
    return {static_cast<float>(slope), static_cast<float>(0.5 * (secantIntercept + tangentIntercept))};
}

constexpr std::array<ReciprocalSqrtPiece, 512> BuildTable() {
    std::array<ReciprocalSqrtPiece, 512> table{};
    for (int i = 0; i < 256; ++i) table[i] = FitPiece(0.5 + i / 512.0, 0.5 + (i + 1) / 512.0);
    for (int i = 0; i < 256; ++i) table[256 + i] = FitPiece(1.0 + i / 256.0, 1.0 + (i + 1) / 256.0);
    table[0] = {-1.41009521484375f, 2.1192612648010254f};
    return table;
}

std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof(b));
    return b;
}
float FromBits(std::uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof(f));
    return f;
}

}  // namespace

constexpr std::array<ReciprocalSqrtPiece, 512> kReciprocalSqrtTable = BuildTable();

float TableReciprocalSqrt(float x) {
    const std::uint32_t b = Bits(x);
    const float m = FromBits((b & 0x00FFFFFFu) | 0x3F000000u);
    const ReciprocalSqrtPiece& piece = kReciprocalSqrtTable[(b >> 15) & 0x1FFu];
    const float r = static_cast<float>(static_cast<long double>(m) * piece.slope + piece.intercept);
    const float scale = FromBits(((0xBEFFFFFFu - b) >> 1) & 0xFF800000u);
    return r * scale;
}

}  // namespace facet::x87
