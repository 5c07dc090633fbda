// The portable routines: the shared formulas in left-to-right single-precision sums, plus
// the portable Vec3Normalize with its already-unit shortcut. Other families reach some of
// them directly (short arrays, unaligned bone matrices).
#pragma once

#include "facet/dispatch.h"
#include "math/routine_formulas.h"

namespace facet::portable {

using Arithmetic = SequentialArithmetic;

Vector3* Vec3Normalize(Vector3* out, const Vector3* in);

inline constexpr auto SkinVertices = &formula::SkinVertices<Arithmetic>;
inline constexpr auto Float32To16Array = &formula::Float32To16Array<Arithmetic>;
inline constexpr auto Float16To32Array = &formula::Float16To32Array<Arithmetic>;

}  // namespace facet::portable
