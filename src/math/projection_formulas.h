// Projection between object space and the viewport, for single points and arrays, written
// once over a summation order (see arithmetic.h).
#pragma once

#include "math/array_formulas.h"

namespace facet::formula {

// world * view * projection, a null matrix standing for the identity.
template <class A>
Matrix4 CombinedTransform(const Matrix4* projection, const Matrix4* view, const Matrix4* world) {
    Matrix4 m = world != nullptr ? *world : Identity();
    if (view != nullptr) m = Product<A>(m, *view);
    if (projection != nullptr) m = Product<A>(m, *projection);
    return m;
}

inline Vector3 ToViewport(const Vector3& ndc, const Viewport* vp) {
    if (vp == nullptr) return ndc;
    const float w = static_cast<float>(vp->width), h = static_cast<float>(vp->height);
    return {static_cast<float>(vp->x) + (1.0f + ndc.x) * w * 0.5f,
            static_cast<float>(vp->y) + (1.0f - ndc.y) * h * 0.5f, vp->minZ + ndc.z * (vp->maxZ - vp->minZ)};
}

inline Vector3 FromViewport(const Vector3& p, const Viewport* vp) {
    if (vp == nullptr) return p;
    const float w = static_cast<float>(vp->width), h = static_cast<float>(vp->height);
    return {(p.x - static_cast<float>(vp->x)) * 2.0f / w - 1.0f,
            1.0f - (p.y - static_cast<float>(vp->y)) * 2.0f / h, (p.z - vp->minZ) / (vp->maxZ - vp->minZ)};
}

template <class A>
Vector3 ProjectPoint(const Vector3& v, const Matrix4& m, const Viewport* vp) {
    Vector3 ndc;
    Vec3TransformCoord<A>(&ndc, &v, &m);
    return ToViewport(ndc, vp);
}

template <class A>
Vector3 UnprojectPoint(const Vector3& v, const Matrix4& inverse, const Viewport* vp) {
    const Vector3 ndc = FromViewport(v, vp);
    Vector3 r;
    Vec3TransformCoord<A>(&r, &ndc, &inverse);
    return r;
}

template <class A>
Vector3* Vec3Project(Vector3* out, const Vector3* v, const Viewport* viewport, const Matrix4* projection,
                     const Matrix4* view, const Matrix4* world) {
    *out = ProjectPoint<A>(*v, CombinedTransform<A>(projection, view, world), viewport);
    return out;
}

template <class A>
Vector3* Vec3Unproject(Vector3* out, const Vector3* v, const Viewport* viewport, const Matrix4* projection,
                       const Matrix4* view, const Matrix4* world) {
    const Matrix4 m = CombinedTransform<A>(projection, view, world);
    Matrix4 inverse;
    if (MatrixInverse<A>(&inverse, nullptr, &m) == nullptr) return nullptr;
    *out = UnprojectPoint<A>(*v, inverse, viewport);
    return out;
}

template <class A>
Vector3* Vec3ProjectArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride,
                          const Viewport* viewport, const Matrix4* projection, const Matrix4* view,
                          const Matrix4* world, std::uint32_t n) {
    const Matrix4 m = CombinedTransform<A>(projection, view, world);
    return ForEachStrided(out, outStride, in, inStride, n,
                          [&](const Vector3& v) { return ProjectPoint<A>(v, m, viewport); });
}

template <class A>
Vector3* Vec3UnprojectArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride,
                            const Viewport* viewport, const Matrix4* projection, const Matrix4* view,
                            const Matrix4* world, std::uint32_t n) {
    const Matrix4 m = CombinedTransform<A>(projection, view, world);
    Matrix4 inverse;
    if (MatrixInverse<A>(&inverse, nullptr, &m) == nullptr) return nullptr;
    return ForEachStrided(out, outStride, in, inStride, n,
                          [&](const Vector3& v) { return UnprojectPoint<A>(v, inverse, viewport); });
}

}  // namespace facet::formula
