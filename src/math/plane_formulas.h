// Planes from points and normals, plane normalisation and line intersection, written once
// over a summation order (see arithmetic.h). Planes are (a, b, c, d): a x + b y + c z + d = 0.
#pragma once

#include "math/matrix_formulas.h"

namespace facet::formula {

template <class A>
Plane* PlaneFromPointNormal(Plane* out, const Vector3* point, const Vector3* normal) {
    const Vector3 n = *normal;
    *out = {n.x, n.y, n.z, -Dot<A>(*point, n)};
    return out;
}

template <class A>
Plane* PlaneFromPoints(Plane* out, const Vector3* p1, const Vector3* p2, const Vector3* p3) {
    const Vector3 n = Normalized<A>(Cross(*p2 - *p1, *p3 - *p1));
    *out = {n.x, n.y, n.z, -Dot<A>(*p1, n)};
    return out;
}

template <class A>
Plane* PlaneNormalize(Plane* out, const Plane* p) {
    *out = NormalizedPlane<A>(*p);
    return out;
}

template <class A>
Vector3* PlaneIntersectLine(Vector3* out, const Plane* p, const Vector3* v1, const Vector3* v2) {
    const Vector3 n{p->a, p->b, p->c};
    const Vector3 from = *v1, direction = *v2 - *v1;
    const float along = Dot<A>(n, direction);
    if (along == 0.0f) return nullptr;
    const float t = -(Dot<A>(n, from) + p->d) / along;
    *out = {from.x + t * direction.x, from.y + t * direction.y, from.z + t * direction.z};
    return out;
}

}  // namespace facet::formula
