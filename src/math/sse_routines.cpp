// The SSE family's own routines (compiled for SSE), its fill routine, and the SSE array
// routines that the 3DNow! family installs on processors with SSE.
#include "math/routine_install.h"
#include "math/sse_shared_routines.h"

#if defined(__x86_64__) || defined(__i386__)

// GCC compiles this file for the family's instruction set; clang has no such pragma and
// needs none on x86-64, where SSE and SSE2 are part of the baseline.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC target("sse")
#endif
#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

#include "math/routine_formulas.h"

namespace facet::sse {

#include "math/sse_helpers.inl"
#include "math/sse_family_routines.inl"

// Without SSE2's integer lanes, each half is widened by itself.
float* Float16To32Array(float* out, const std::uint16_t* in, std::uint32_t n) {
    for (std::uint32_t k = 0; k < n; ++k) out[k] = formula::HalfToFloat(in[k]);
    return out;
}

// The conjugate scaled by the reciprocal of the squared length; zero for zero.
Quaternion* QuaternionInverse(Quaternion* out, const Quaternion* q) {
    const __m128 in = _mm_loadu_ps(&q->x);
    const __m128 lenSq = SumLanes(_mm_mul_ps(in, in), 4);
    const __m128 nonZero = _mm_cmpneq_ss(lenSq, _mm_setzero_ps());
    const __m128 k = Broadcast(_mm_and_ps(nonZero, _mm_div_ss(_mm_set_ss(1.0f), lenSq)), 0);
    _mm_storeu_ps(&out->x, _mm_mul_ps(_mm_mul_ps(in, _mm_setr_ps(-1.0f, -1.0f, -1.0f, 1.0f)), k));
    return out;
}

}  // namespace facet::sse

namespace facet {

void InstallSseArrayRoutines(RoutineTable* table) {
    constexpr RoutineFamily k = RoutineFamily::Sse;
    FACET_INSTALL(table, Vec2TransformArray, &sse::Vec2TransformArray, k);
    FACET_INSTALL(table, Vec2TransformCoordArray, &sse::Vec2TransformCoordArray, k);
    FACET_INSTALL(table, Vec2TransformNormalArray, &sse::Vec2TransformNormalArray, k);
    FACET_INSTALL(table, Vec3TransformArray, &sse::Vec3TransformArray, k);
    FACET_INSTALL(table, Vec3TransformCoordArray, &sse::Vec3TransformCoordArray, k);
    FACET_INSTALL(table, Vec3TransformNormalArray, &sse::Vec3TransformNormalArray, k);
    FACET_INSTALL(table, Vec4TransformArray, &sse::Vec4TransformArray, k);
    FACET_INSTALL(table, PlaneTransformArray, &sse::PlaneTransformArray, k);
}

void InstallSharedSseRoutines(RoutineTable* table, RoutineFamily family) {
    FACET_INSTALL(table, Vec2Transform, &sse::Vec2Transform, family);
    FACET_INSTALL(table, MatrixMultiply, &sse::MatrixMultiply, family);
    FACET_INSTALL(table, MatrixMultiplyTranspose, &sse::MatrixMultiplyTranspose, family);
    FACET_INSTALL(table, Vec2TransformNormal, &sse::Vec2TransformNormal, family);
    FACET_INSTALL(table, Vec4Normalize, &sse::Vec4Normalize, family);
    FACET_INSTALL(table, Vec2TransformCoord, &sse::Vec2TransformCoord, family);
    FACET_INSTALL(table, Vec2Hermite, &sse::Vec2Hermite, family);
    FACET_INSTALL(table, QuaternionMultiply, &sse::QuaternionMultiply, family);
    FACET_INSTALL(table, QuaternionNormalize, &sse::QuaternionNormalize, family);
    FACET_INSTALL(table, PlaneIntersectLine, &sse::PlaneIntersectLine, family);
    FACET_INSTALL(table, Vec2CatmullRom, &sse::Vec2CatmullRom, family);
    FACET_INSTALL(table, Vec2BaryCentric, &sse::Vec2BaryCentric, family);
    FACET_INSTALL(table, Vec3Hermite, &sse::Vec3Hermite, family);
    FACET_INSTALL(table, Vec3CatmullRom, &sse::Vec3CatmullRom, family);
    FACET_INSTALL(table, Vec3BaryCentric, &sse::Vec3BaryCentric, family);
    FACET_INSTALL(table, Vec4Hermite, &sse::Vec4Hermite, family);
    FACET_INSTALL(table, Vec4CatmullRom, &sse::Vec4CatmullRom, family);
    FACET_INSTALL(table, Vec4BaryCentric, &sse::Vec4BaryCentric, family);
    FACET_INSTALL(table, SkinVertices, &sse::SkinVertices, family);
    FACET_INSTALL(table, TessellateNPatch, &sse::TessellateNPatch, family);
}

void FillSseRoutines(RoutineTable* table) {
    constexpr RoutineFamily k = RoutineFamily::Sse;
    InstallSharedSseRoutines(table, k);
    FACET_INSTALL_SSE_FAMILY(table, sse, k);
    FACET_INSTALL(table, QuaternionInverse, &sse::QuaternionInverse, k);
}

}  // namespace facet

#else

namespace facet {
void InstallSseArrayRoutines(RoutineTable*) {}
void InstallSharedSseRoutines(RoutineTable*, RoutineFamily) {}
void FillSseRoutines(RoutineTable*) {}
}  // namespace facet

#endif
