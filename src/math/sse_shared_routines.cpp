// The routines the SSE and SSE2 families share, compiled for SSE: register-resident
// transforms and matrix products, and the curve, quaternion and mesh kernels.
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

#include "math/portable_routines.h"

namespace facet::sse {

#include "math/sse_helpers.inl"

namespace {

// Output row i = a[i][0] b0 + a[i][1] b1 + a[i][2] b2 + a[i][3] b3, summed pairwise for
// rows 0 and 3 and left to right for rows 1 and 2. Everything is loaded before the first
// store, so out may alias a, b or both.
struct ProductRows {
    __m128 r0, r1, r2, r3;
};
ProductRows Product(const Matrix4* a, const Matrix4* b) {
    const MatrixRows bRows = LoadRows(b);
    const MatrixRows aRows = LoadRows(a);
    const auto terms = [&bRows](__m128 aRow, __m128 t[4]) {
        t[0] = _mm_mul_ps(Broadcast(aRow, 0), bRows.r0);
        t[1] = _mm_mul_ps(Broadcast(aRow, 1), bRows.r1);
        t[2] = _mm_mul_ps(Broadcast(aRow, 2), bRows.r2);
        t[3] = _mm_mul_ps(Broadcast(aRow, 3), bRows.r3);
    };
    const auto pairwise = [](const __m128 t[4]) {
        return _mm_add_ps(_mm_add_ps(t[0], t[1]), _mm_add_ps(t[2], t[3]));
    };
    const auto sequential = [](const __m128 t[4]) {
        return _mm_add_ps(_mm_add_ps(_mm_add_ps(t[0], t[1]), t[2]), t[3]);
    };
    __m128 t0[4], t1[4], t2[4], t3[4];
    terms(aRows.r0, t0);
    terms(aRows.r1, t1);
    terms(aRows.r2, t2);
    terms(aRows.r3, t3);
    return {pairwise(t0), sequential(t1), sequential(t2), pairwise(t3)};
}

void StoreRows(Matrix4* out, const ProductRows& rows) {
    _mm_storeu_ps(&out->_11, rows.r0);
    _mm_storeu_ps(&out->_21, rows.r1);
    _mm_storeu_ps(&out->_31, rows.r2);
    _mm_storeu_ps(&out->_41, rows.r3);
}

}  // namespace

Matrix4* MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    StoreRows(out, Product(a, b));
    return out;
}

Matrix4* MatrixMultiplyTranspose(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    ProductRows rows = Product(a, b);
    _MM_TRANSPOSE4_PS(rows.r0, rows.r1, rows.r2, rows.r3);
    StoreRows(out, rows);
    return out;
}

Vector4* Vec2Transform(Vector4* out, const Vector2* v, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    const __m128 p = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(v->x), rows.r0), _mm_mul_ps(_mm_set1_ps(v->y), rows.r1)), rows.r3);
    _mm_storeu_ps(&out->x, p);
    return out;
}

Vector2* Vec2TransformNormal(Vector2* out, const Vector2* v, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    const __m128 p = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(v->x), rows.r0), _mm_mul_ps(_mm_set1_ps(v->y), rows.r1));
    StoreLanes(reinterpret_cast<unsigned char*>(out), p, 2);
    return out;
}

Vector2* Vec2TransformCoord(Vector2* out, const Vector2* v, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    const __m128 p = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(v->x), rows.r0), _mm_mul_ps(_mm_set1_ps(v->y), rows.r1)), rows.r3);
    StoreLanes(reinterpret_cast<unsigned char*>(out), _mm_div_ps(p, Broadcast(p, 3)), 2);
    return out;
}

Vector4* Vec4Normalize(Vector4* out, const Vector4* v) {
    const __m128 in = _mm_loadu_ps(&v->x);
    _mm_storeu_ps(&out->x, _mm_mul_ps(in, InverseLengthOrZero(SumLanes(_mm_mul_ps(in, in), 4))));
    return out;
}

Quaternion* QuaternionNormalize(Quaternion* out, const Quaternion* q) {
    const __m128 in = _mm_loadu_ps(&q->x);
    _mm_storeu_ps(&out->x, _mm_mul_ps(in, InverseLengthOrZero(SumLanes(_mm_mul_ps(in, in), 4))));
    return out;
}

Quaternion* QuaternionMultiply(Quaternion* out, const Quaternion* q1, const Quaternion* q2) {
    return formula::QuaternionMultiply<Arithmetic>(out, q1, q2);
}
Vector3* PlaneIntersectLine(Vector3* out, const Plane* p, const Vector3* v1, const Vector3* v2) {
    return formula::PlaneIntersectLine<Arithmetic>(out, p, v1, v2);
}
Vector2* Vec2Hermite(Vector2* out, const Vector2* p1, const Vector2* t1, const Vector2* p2, const Vector2* t2,
                     float s) {
    return formula::Vec2Hermite<Arithmetic>(out, p1, t1, p2, t2, s);
}
Vector2* Vec2CatmullRom(Vector2* out, const Vector2* v0, const Vector2* v1, const Vector2* v2, const Vector2* v3,
                        float s) {
    return formula::Vec2CatmullRom<Arithmetic>(out, v0, v1, v2, v3, s);
}
Vector2* Vec2BaryCentric(Vector2* out, const Vector2* v1, const Vector2* v2, const Vector2* v3, float f, float g) {
    return formula::Vec2BaryCentric<Arithmetic>(out, v1, v2, v3, f, g);
}
Vector3* Vec3Hermite(Vector3* out, const Vector3* p1, const Vector3* t1, const Vector3* p2, const Vector3* t2,
                     float s) {
    return formula::Vec3Hermite<Arithmetic>(out, p1, t1, p2, t2, s);
}
Vector3* Vec3CatmullRom(Vector3* out, const Vector3* v0, const Vector3* v1, const Vector3* v2, const Vector3* v3,
                        float s) {
    return formula::Vec3CatmullRom<Arithmetic>(out, v0, v1, v2, v3, s);
}
Vector3* Vec3BaryCentric(Vector3* out, const Vector3* v1, const Vector3* v2, const Vector3* v3, float f, float g) {
    return formula::Vec3BaryCentric<Arithmetic>(out, v1, v2, v3, f, g);
}
Vector4* Vec4Hermite(Vector4* out, const Vector4* p1, const Vector4* t1, const Vector4* p2, const Vector4* t2,
                     float s) {
    return formula::Vec4Hermite<Arithmetic>(out, p1, t1, p2, t2, s);
}
Vector4* Vec4CatmullRom(Vector4* out, const Vector4* v0, const Vector4* v1, const Vector4* v2, const Vector4* v3,
                        float s) {
    return formula::Vec4CatmullRom<Arithmetic>(out, v0, v1, v2, v3, s);
}
Vector4* Vec4BaryCentric(Vector4* out, const Vector4* v1, const Vector4* v2, const Vector4* v3, float f, float g) {
    return formula::Vec4BaryCentric<Arithmetic>(out, v1, v2, v3, f, g);
}

// Bone matrices are read with aligned loads; arrays that are not 16-byte aligned go to the
// portable routine.
Vector3* SkinVertices(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride, const Vector3* positions,
                      const Vector3* normals, std::uint32_t inStride, const VertexInfluence* influences,
                      const Matrix4* boneMatrices, const Matrix4* normalMatrices, std::uint32_t n) {
    const bool withNormals = normals != nullptr && outNormals != nullptr;
    const auto aligned = [](const Matrix4* m) { return m == nullptr || reinterpret_cast<std::uintptr_t>(m) % 16 == 0; };
    if (!aligned(boneMatrices) || (withNormals && !aligned(normalMatrices))) {
        return portable::SkinVertices(outPositions, outNormals, outStride, positions, normals, inStride, influences,
                                      boneMatrices, normalMatrices, n);
    }
    const auto alignedRows = [](const Matrix4& m) {
        return MatrixRows{_mm_load_ps(&m._11), _mm_load_ps(&m._21), _mm_load_ps(&m._31), _mm_load_ps(&m._41)};
    };
    for (std::uint32_t k = 0; k < n; ++k) {
        const VertexInfluence& influence = influences[k];
        const unsigned char* p = ByteAddress(positions, inStride, k);
        const __m128 x = LoadFloat(p), y = LoadFloat(p + 4), z = LoadFloat(p + 8);
        __m128 t[4];
        for (int i = 0; i < 4; ++i) {
            t[i] = _mm_mul_ps(TransformPoint(x, y, z, alignedRows(boneMatrices[influence.bones[i]])),
                              _mm_set1_ps(influence.weights[i]));
        }
        StoreLanes(ByteAddress(outPositions, outStride, k), _mm_add_ps(_mm_add_ps(_mm_add_ps(t[0], t[1]), t[2]), t[3]), 3);
        if (!withNormals) continue;
        const unsigned char* d = ByteAddress(normals, inStride, k);
        const __m128 dx = LoadFloat(d), dy = LoadFloat(d + 4), dz = LoadFloat(d + 8);
        for (int i = 0; i < 4; ++i) {
            t[i] = _mm_mul_ps(TransformDirection(dx, dy, dz, alignedRows(normalMatrices[influence.bones[i]])),
                              _mm_set1_ps(influence.weights[i]));
        }
        StoreLanes(ByteAddress(outNormals, outStride, k), _mm_add_ps(_mm_add_ps(_mm_add_ps(t[0], t[1]), t[2]), t[3]), 3);
    }
    return outPositions;
}

Vector3* TessellateNPatch(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride,
                          const Vector3 positions[3], const Vector3 normals[3], const Vector2* barycentrics,
                          std::uint32_t n) {
    return formula::TessellateNPatch<Arithmetic>(outPositions, outNormals, outStride, positions, normals,
                                                 barycentrics, n);
}

}  // namespace facet::sse

#endif
