// IEEE binary16 conversion of single floats, rounding to nearest even.
#pragma once

#include <cstdint>
#include <cstring>

namespace facet::formula {

inline std::uint32_t FloatBits(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof(bits));
    return bits;
}
inline float BitsToFloat(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

// Drops the lowest `shift` bits of `value`, rounding to nearest with ties to even.
inline std::uint32_t ShiftRoundingToEven(std::uint32_t value, int shift) {
    const std::uint32_t kept = value >> shift;
    const std::uint32_t rest = value & ((1u << shift) - 1u);
    const std::uint32_t half = 1u << (shift - 1);
    return kept + ((rest > half || (rest == half && (kept & 1u) != 0)) ? 1u : 0u);
}

inline std::uint16_t FloatToHalf(float f) {
    const std::uint32_t bits = FloatBits(f);
    const std::uint32_t sign = (bits >> 16) & 0x8000u;
    const std::uint32_t magnitude = bits & 0x7FFFFFFFu;
    if (magnitude > 0x7F800000u) {  // NaN: stays quiet NaN, keeping its top payload bits
        return static_cast<std::uint16_t>(sign | 0x7E00u | ((magnitude >> 13) & 0x3FFu));
    }
    if (magnitude >= 0x477FF000u) return static_cast<std::uint16_t>(sign | 0x7C00u);  // >= 65520
    if (magnitude < 0x38800000u) {  // below 2^-14: a subnormal half (or zero)
        const std::uint32_t exponent = magnitude >> 23;
        if (exponent < 102) return static_cast<std::uint16_t>(sign);  // below 2^-25
        const std::uint32_t mantissa = (magnitude & 0x7FFFFFu) | 0x800000u;
        return static_cast<std::uint16_t>(sign | ShiftRoundingToEven(mantissa, static_cast<int>(126 - exponent)));
    }
    // Rebias the exponent from 127 to 15; a carry out of the mantissa bumps the exponent.
    return static_cast<std::uint16_t>(sign | ShiftRoundingToEven(magnitude - 0x38000000u, 13));
}

inline float HalfToFloat(std::uint16_t h) {
    const std::uint32_t sign = static_cast<std::uint32_t>(h & 0x8000u) << 16;
    const std::uint32_t exponent = (h >> 10) & 0x1Fu;
    const std::uint32_t mantissa = h & 0x3FFu;
    if (exponent == 0) {  // zero or subnormal: mantissa * 2^-24, exact in float
        return BitsToFloat(sign | FloatBits(static_cast<float>(mantissa) * 0x1p-24f));
    }
    if (exponent == 31) return BitsToFloat(sign | 0x7F800000u | (mantissa << 13));
    return BitsToFloat(sign | ((exponent + 112u) << 23) | (mantissa << 13));
}

template <class A>
std::uint16_t* Float32To16Array(std::uint16_t* out, const float* in, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) out[k] = FloatToHalf(in[k]);
    return out;
}

template <class A>
float* Float16To32Array(float* out, const std::uint16_t* in, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) out[k] = HalfToFloat(in[k]);
    return out;
}

}  // namespace facet::formula
