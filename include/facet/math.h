// Facet's math routines. (Being filled in: the dispatch table and all 73 dispatched
// routines are declared here by the math library.)
#pragma once

#include "facet/types.h"

namespace facet {

// Normalises `in` into `out` (which may equal `in`) and returns `out`; a zero-length
// vector gives the zero vector. Dispatched: the variant depends on the processor.
Vector3* Vec3Normalize(Vector3* out, const Vector3* in);

// Left-handed look-at view matrix. `out` must not overlap the inputs.
Matrix4* MatrixLookAtLH(Matrix4* out, const Vector3* eye, const Vector3* at, const Vector3* up);

// Left-handed perspective projection from a vertical field of view in radians.
Matrix4* MatrixPerspectiveFovLH(Matrix4* out, float fovy, float aspect, float zn, float zf);

// 1 when a and b differ by at most 2^-23, else 0 (0 for a NaN difference).
int NearlyEqual(float a, float b);

}  // namespace facet
