// Internal helpers of the dispatch machinery shared by the family fill routines.
#pragma once

#include "facet/dispatch.h"

namespace facet {

// Writes `routine` into the slot `name` of `table` and records the family that put it
// there. The routine must have the slot's exact signature.
#define FACET_INSTALL(table, name, routine, family_)                   \
    do {                                                               \
        (table)->routines.name = (routine);                            \
        (table)->family[static_cast<int>(Slot::name)] = (family_);     \
    } while (0)

// Clears the once-per-process allocator check (used by ResetDispatchForTesting).
void ResetAllocatorCheckForTesting();

}  // namespace facet

namespace facet {

// The SSE transform-array routines (slots 59-65 and 68), which the 3DNow! family installs
// on processors that also have SSE.
void InstallSseArrayRoutines(RoutineTable* table);

}  // namespace facet

namespace facet {

// The routines the SSE and SSE2 families share, recorded as `family`.
void InstallSharedSseRoutines(RoutineTable* table, RoutineFamily family);

// The routines of which the SSE and SSE2 families each have their own, from the family's
// namespace `ns`.
#define FACET_INSTALL_SSE_FAMILY(table, ns, family)                                        \
    do {                                                                                   \
        FACET_INSTALL(table, Vec3Transform, &ns::Vec3Transform, family);                   \
        FACET_INSTALL(table, Vec4Transform, &ns::Vec4Transform, family);                   \
        FACET_INSTALL(table, Vec3TransformNormal, &ns::Vec3TransformNormal, family);       \
        FACET_INSTALL(table, Vec3Normalize, &ns::Vec3Normalize, family);                   \
        FACET_INSTALL(table, Vec3TransformCoord, &ns::Vec3TransformCoord, family);         \
        FACET_INSTALL(table, MatrixDeterminant, &ns::MatrixDeterminant, family);           \
        FACET_INSTALL(table, PlaneFromPoints, &ns::PlaneFromPoints, family);               \
        FACET_INSTALL(table, Vec4Cross, &ns::Vec4Cross, family);                           \
        FACET_INSTALL(table, MatrixInverse, &ns::MatrixInverse, family);                   \
        FACET_INSTALL(table, PlaneNormalize, &ns::PlaneNormalize, family);                 \
        FACET_INSTALL(table, QuaternionRotationMatrix, &ns::QuaternionRotationMatrix, family); \
        FACET_INSTALL(table, QuaternionRotationYawPitchRoll, &ns::QuaternionRotationYawPitchRoll, family); \
        FACET_INSTALL(table, MatrixShadow, &ns::MatrixShadow, family);                     \
        FACET_INSTALL(table, MatrixReflect, &ns::MatrixReflect, family);                   \
        FACET_INSTALL(table, PlaneTransform, &ns::PlaneTransform, family);                 \
        FACET_INSTALL(table, Float16To32Array, &ns::Float16To32Array, family);             \
        FACET_INSTALL(table, Vec2TransformArray, &ns::Vec2TransformArray, family);         \
        FACET_INSTALL(table, Vec2TransformCoordArray, &ns::Vec2TransformCoordArray, family); \
        FACET_INSTALL(table, Vec2TransformNormalArray, &ns::Vec2TransformNormalArray, family); \
        FACET_INSTALL(table, Vec3TransformArray, &ns::Vec3TransformArray, family);         \
        FACET_INSTALL(table, Vec3TransformCoordArray, &ns::Vec3TransformCoordArray, family); \
        FACET_INSTALL(table, Vec3TransformNormalArray, &ns::Vec3TransformNormalArray, family); \
        FACET_INSTALL(table, Vec4TransformArray, &ns::Vec4TransformArray, family);         \
        FACET_INSTALL(table, PlaneTransformArray, &ns::PlaneTransformArray, family);       \
    } while (0)

}  // namespace facet
