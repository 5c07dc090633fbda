// The strided array forms of the vector transforms, written once over a summation order
// (see arithmetic.h).
#pragma once

#include <cstdint>
#include <cstring>

#include "math/matrix_formulas.h"

namespace facet::formula {

// Applies `f` to n elements read at in + k * inStride, writing at out + k * outStride.
// Elements are copied in and out bytewise, so strides need not keep them aligned.
template <typename Out, typename In, typename F>
Out* ForEachStrided(Out* out, std::uint32_t outStride, const In* in, std::uint32_t inStride,
                    std::uint32_t n, F f) {
    auto* to = reinterpret_cast<unsigned char*>(out);
    const auto* from = reinterpret_cast<const unsigned char*>(in);
    for (std::uint32_t k = 0; k < n; ++k) {
        In element;
        std::memcpy(&element, from + std::size_t{k} * inStride, sizeof(In));
        const Out result = f(element);
        std::memcpy(to + std::size_t{k} * outStride, &result, sizeof(Out));
    }
    return out;
}

// The array form of a single-element routine `Routine(out, in, m)`.
template <typename Out, typename In, Out* (*Routine)(Out*, const In*, const Matrix4*)>
Out* TransformArray(Out* out, std::uint32_t outStride, const In* in, std::uint32_t inStride,
                    const Matrix4* m, std::uint32_t n) {
    const Matrix4 matrix = *m;
    return ForEachStrided(out, outStride, in, inStride, n, [&matrix](const In& v) {
        Out r;
        Routine(&r, &v, &matrix);
        return r;
    });
}

template <class A>
Vector4* Vec2TransformArray(Vector4* out, std::uint32_t outStride, const Vector2* in,
                            std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return TransformArray<Vector4, Vector2, &Vec2Transform<A>>(out, outStride, in, inStride, m, n);
}
template <class A>
Vector2* Vec2TransformCoordArray(Vector2* out, std::uint32_t outStride, const Vector2* in,
                                 std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return TransformArray<Vector2, Vector2, &Vec2TransformCoord<A>>(out, outStride, in, inStride, m, n);
}
template <class A>
Vector2* Vec2TransformNormalArray(Vector2* out, std::uint32_t outStride, const Vector2* in,
                                  std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return TransformArray<Vector2, Vector2, &Vec2TransformNormal<A>>(out, outStride, in, inStride, m, n);
}
template <class A>
Vector4* Vec3TransformArray(Vector4* out, std::uint32_t outStride, const Vector3* in,
                            std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return TransformArray<Vector4, Vector3, &Vec3Transform<A>>(out, outStride, in, inStride, m, n);
}
template <class A>
Vector3* Vec3TransformCoordArray(Vector3* out, std::uint32_t outStride, const Vector3* in,
                                 std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return TransformArray<Vector3, Vector3, &Vec3TransformCoord<A>>(out, outStride, in, inStride, m, n);
}
template <class A>
Vector3* Vec3TransformNormalArray(Vector3* out, std::uint32_t outStride, const Vector3* in,
                                  std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return TransformArray<Vector3, Vector3, &Vec3TransformNormal<A>>(out, outStride, in, inStride, m, n);
}
template <class A>
Vector4* Vec4TransformArray(Vector4* out, std::uint32_t outStride, const Vector4* in,
                            std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return TransformArray<Vector4, Vector4, &Vec4Transform<A>>(out, outStride, in, inStride, m, n);
}
template <class A>
Plane* PlaneTransformArray(Plane* out, std::uint32_t outStride, const Plane* in, std::uint32_t inStride,
                           const Matrix4* m, std::uint32_t n) {
    return TransformArray<Plane, Plane, &PlaneTransform<A>>(out, outStride, in, inStride, m, n);
}

}  // namespace facet::formula
