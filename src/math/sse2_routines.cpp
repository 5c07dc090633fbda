// The SSE2 family's own routines (compiled for SSE2) and its fill routine.
#include "math/routine_install.h"

#if defined(__x86_64__) || defined(__i386__)

// GCC compiles this file for the family's instruction set; clang has no such pragma and
// needs none on x86-64, where SSE and SSE2 are part of the baseline.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC target("sse2")
#endif
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "math/routine_formulas.h"

namespace facet::sse2 {

#include "math/sse_helpers.inl"
#include "math/sse_family_routines.inl"

// Four halves at a time in integer lanes: the exponent and mantissa shifted into float
// position and rescaled by 2^112 (exact for normal and subnormal halves); infinities and
// NaNs take the full float exponent instead.
float* Float16To32Array(float* out, const std::uint16_t* in, std::uint32_t n) {
    const __m128i magnitudeMask = _mm_set1_epi32(0x7FFF);
    const __m128i largestFinite = _mm_set1_epi32(0x7BFF);
    const __m128i floatExponent = _mm_set1_epi32(0x7F800000);
    const __m128 rebias = _mm_castsi128_ps(_mm_set1_epi32(0x77800000));  // 2^112
    std::uint32_t k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128i halves = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + k)), _mm_setzero_si128());
        const __m128i magnitude = _mm_and_si128(halves, magnitudeMask);
        const __m128i sign = _mm_slli_epi32(_mm_andnot_si128(magnitudeMask, halves), 16);
        const __m128i shifted = _mm_slli_epi32(magnitude, 13);
        const __m128i finite = _mm_castps_si128(_mm_mul_ps(_mm_castsi128_ps(shifted), rebias));
        const __m128i special = _mm_cmpgt_epi32(magnitude, largestFinite);
        const __m128i value = _mm_or_si128(_mm_and_si128(special, _mm_or_si128(shifted, floatExponent)),
                                           _mm_andnot_si128(special, finite));
        _mm_storeu_ps(out + k, _mm_castsi128_ps(_mm_or_si128(value, sign)));
    }
    for (; k < n; ++k) out[k] = formula::HalfToFloat(in[k]);
    return out;
}

}  // namespace facet::sse2

namespace facet {

void FillSse2Routines(RoutineTable* table) {
    constexpr RoutineFamily k = RoutineFamily::Sse2;
    InstallSharedSseRoutines(table, k);
    FACET_INSTALL_SSE_FAMILY(table, sse2, k);
}

}  // namespace facet

#else

namespace facet {
void FillSse2Routines(RoutineTable*) {}
}  // namespace facet

#endif
