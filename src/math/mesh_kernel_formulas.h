// The mesh kernels: vertex skinning by weighted bone matrices and the evaluation of a
// cubic point-normal triangle patch, written once over a summation order (see arithmetic.h).
#pragma once

#include <cstdint>
#include <cstring>

#include "math/vector_formulas.h"

namespace facet::formula {

inline const Vector3* StridedElement(const Vector3* base, std::uint32_t stride, std::uint32_t k) {
    return reinterpret_cast<const Vector3*>(reinterpret_cast<const unsigned char*>(base) +
                                            std::size_t{k} * stride);
}
inline Vector3* StridedElement(Vector3* base, std::uint32_t stride, std::uint32_t k) {
    return reinterpret_cast<Vector3*>(reinterpret_cast<unsigned char*>(base) + std::size_t{k} * stride);
}

// Sum of w_i * f(i) over the four influences, added in the family's order.
template <class A, typename F>
Vector3 Blend(const VertexInfluence& influence, F f) {
    Vector3 t[4];
    for (int i = 0; i < 4; ++i) t[i] = f(influence.bones[i]) * influence.weights[i];
    return {A::Sum(t[0].x, t[1].x, t[2].x, t[3].x), A::Sum(t[0].y, t[1].y, t[2].y, t[3].y),
            A::Sum(t[0].z, t[1].z, t[2].z, t[3].z)};
}

template <class A>
Vector3* SkinVertices(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride,
                      const Vector3* positions, const Vector3* normals, std::uint32_t inStride,
                      const VertexInfluence* influences, const Matrix4* boneMatrices,
                      const Matrix4* normalMatrices, std::uint32_t n) {
    const bool withNormals = normals != nullptr && outNormals != nullptr;
    for (std::uint32_t k = 0; k < n; ++k) {
        const Vector3 p = *StridedElement(positions, inStride, k);
        const Vector3 position = Blend<A>(influences[k], [&](int bone) {
            const Matrix4& m = boneMatrices[bone];
            return Vector3{PointColumn3<A>(p.x, p.y, p.z, m, 0), PointColumn3<A>(p.x, p.y, p.z, m, 1),
                           PointColumn3<A>(p.x, p.y, p.z, m, 2)};
        });
        Vector3 normal{};
        if (withNormals) {
            const Vector3 d = *StridedElement(normals, inStride, k);
            normal = Blend<A>(influences[k], [&](int bone) {
                const Matrix4& m = normalMatrices[bone];
                return Vector3{DirectionColumn3<A>(d.x, d.y, d.z, m, 0), DirectionColumn3<A>(d.x, d.y, d.z, m, 1),
                               DirectionColumn3<A>(d.x, d.y, d.z, m, 2)};
            });
        }
        *StridedElement(outPositions, outStride, k) = position;
        if (withNormals) *StridedElement(outNormals, outStride, k) = normal;
    }
    return outPositions;
}

// The control net of one patch: corners b300, b030, b003 (positions[0..2]), edge points
// b210, b120, b021, b012, b102, b201, centre b111, and the quadratic normal net.
struct NPatchNet {
    Vector3 b300, b030, b003, b210, b120, b021, b012, b102, b201, b111;
    Vector3 n200, n020, n002, n110, n011, n101;
};

// (2 pi + pj - ((pj - pi) . ni) ni) / 3: the point a third along the edge, projected onto
// the tangent plane at pi.
template <class A>
Vector3 EdgePoint(const Vector3& pi, const Vector3& pj, const Vector3& ni) {
    const float w = Dot<A>(pj - pi, ni);
    return (pi * 2.0f + pj - ni * w) * (1.0f / 3.0f);
}

// ni + nj reflected across the plane perpendicular to the edge pi -> pj, normalised.
template <class A>
Vector3 EdgeNormal(const Vector3& pi, const Vector3& pj, const Vector3& ni, const Vector3& nj) {
    const Vector3 edge = pj - pi;
    const float lenSq = Dot<A>(edge, edge);
    const float v = lenSq > 0.0f ? 2.0f * Dot<A>(edge, ni + nj) / lenSq : 0.0f;
    return Normalized<A>(ni + nj - edge * v);
}

template <class A>
NPatchNet BuildNPatchNet(const Vector3 p[3], const Vector3 n[3]) {
    NPatchNet net;
    net.b300 = p[0];
    net.b030 = p[1];
    net.b003 = p[2];
    net.b210 = EdgePoint<A>(p[0], p[1], n[0]);
    net.b120 = EdgePoint<A>(p[1], p[0], n[1]);
    net.b021 = EdgePoint<A>(p[1], p[2], n[1]);
    net.b012 = EdgePoint<A>(p[2], p[1], n[2]);
    net.b102 = EdgePoint<A>(p[2], p[0], n[2]);
    net.b201 = EdgePoint<A>(p[0], p[2], n[0]);
    const Vector3 e = (net.b210 + net.b120 + net.b021 + net.b012 + net.b102 + net.b201) * (1.0f / 6.0f);
    const Vector3 v = (p[0] + p[1] + p[2]) * (1.0f / 3.0f);
    net.b111 = e + (e - v) * 0.5f;
    net.n200 = n[0];
    net.n020 = n[1];
    net.n002 = n[2];
    net.n110 = EdgeNormal<A>(p[0], p[1], n[0], n[1]);
    net.n011 = EdgeNormal<A>(p[1], p[2], n[1], n[2]);
    net.n101 = EdgeNormal<A>(p[2], p[0], n[2], n[0]);
    return net;
}

template <class A>
Vector3* TessellateNPatch(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride,
                          const Vector3 positions[3], const Vector3 normals[3], const Vector2* barycentrics,
                          std::uint32_t n) {
    const NPatchNet net = BuildNPatchNet<A>(positions, normals);
    for (std::uint32_t k = 0; k < n; ++k) {
        const float u = barycentrics[k].x, v = barycentrics[k].y, w = 1.0f - u - v;
        const Vector3 position = net.b300 * (w * w * w) + net.b030 * (u * u * u) + net.b003 * (v * v * v) +
                                 net.b210 * (3.0f * w * w * u) + net.b120 * (3.0f * w * u * u) +
                                 net.b201 * (3.0f * w * w * v) + net.b021 * (3.0f * u * u * v) +
                                 net.b102 * (3.0f * w * v * v) + net.b012 * (3.0f * u * v * v) +
                                 net.b111 * (6.0f * w * u * v);
        *StridedElement(outPositions, outStride, k) = position;
        if (outNormals != nullptr) {
            const Vector3 normal = net.n200 * (w * w) + net.n020 * (u * u) + net.n002 * (v * v) +
                                   net.n110 * (w * u) + net.n011 * (u * v) + net.n101 * (w * v);
            *StridedElement(outNormals, outStride, k) = Normalized<A>(normal);
        }
    }
    return outPositions;
}

}  // namespace facet::formula
