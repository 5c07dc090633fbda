// Vector transforms, normalisation, the four-dimensional cross product and the curve and
// barycentric combinations, written once over a summation order (see arithmetic.h).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "facet/math.h"

namespace facet::formula {

inline constexpr float kSmallestNormal = 1.17549435e-38f;  // 2^-126

// Component j of (x, y, z, w) * m, with terms of value zero left out as the routine allows.
template <class A>
float PointColumn3(float x, float y, float z, const Matrix4& m, int j) {
    return A::Sum(x * m.m[0][j], y * m.m[1][j], z * m.m[2][j], m.m[3][j]);
}
template <class A>
float DirectionColumn3(float x, float y, float z, const Matrix4& m, int j) {
    return A::Sum(x * m.m[0][j], y * m.m[1][j], z * m.m[2][j]);
}
template <class A>
float PointColumn2(float x, float y, const Matrix4& m, int j) {
    return A::Sum(x * m.m[0][j], y * m.m[1][j], m.m[3][j]);
}
template <class A>
float FullColumn(const Vector4& v, const Matrix4& m, int j) {
    return A::Sum(v.x * m.m[0][j], v.y * m.m[1][j], v.z * m.m[2][j], v.w * m.m[3][j]);
}

template <class A>
Vector4* Vec2Transform(Vector4* out, const Vector2* v, const Matrix4* m) {
    const float x = v->x, y = v->y;
    *out = {PointColumn2<A>(x, y, *m, 0), PointColumn2<A>(x, y, *m, 1), PointColumn2<A>(x, y, *m, 2),
            PointColumn2<A>(x, y, *m, 3)};
    return out;
}
template <class A>
Vector4* Vec3Transform(Vector4* out, const Vector3* v, const Matrix4* m) {
    const float x = v->x, y = v->y, z = v->z;
    *out = {PointColumn3<A>(x, y, z, *m, 0), PointColumn3<A>(x, y, z, *m, 1),
            PointColumn3<A>(x, y, z, *m, 2), PointColumn3<A>(x, y, z, *m, 3)};
    return out;
}
template <class A>
Vector4* Vec4Transform(Vector4* out, const Vector4* v, const Matrix4* m) {
    const Vector4 in = *v;
    *out = {FullColumn<A>(in, *m, 0), FullColumn<A>(in, *m, 1), FullColumn<A>(in, *m, 2),
            FullColumn<A>(in, *m, 3)};
    return out;
}
template <class A>
Plane* PlaneTransform(Plane* out, const Plane* p, const Matrix4* m) {
    const Vector4 in{p->a, p->b, p->c, p->d};
    *out = {FullColumn<A>(in, *m, 0), FullColumn<A>(in, *m, 1), FullColumn<A>(in, *m, 2),
            FullColumn<A>(in, *m, 3)};
    return out;
}
template <class A>
Vector2* Vec2TransformNormal(Vector2* out, const Vector2* v, const Matrix4* m) {
    const float x = v->x, y = v->y;
    *out = {x * m->_11 + y * m->_21, x * m->_12 + y * m->_22};
    return out;
}
template <class A>
Vector3* Vec3TransformNormal(Vector3* out, const Vector3* v, const Matrix4* m) {
    const float x = v->x, y = v->y, z = v->z;
    *out = {DirectionColumn3<A>(x, y, z, *m, 0), DirectionColumn3<A>(x, y, z, *m, 1),
            DirectionColumn3<A>(x, y, z, *m, 2)};
    return out;
}
template <class A>
Vector2* Vec2TransformCoord(Vector2* out, const Vector2* v, const Matrix4* m) {
    const float x = v->x, y = v->y;
    const float w = PointColumn2<A>(x, y, *m, 3);
    *out = {PointColumn2<A>(x, y, *m, 0) / w, PointColumn2<A>(x, y, *m, 1) / w};
    return out;
}
template <class A>
Vector3* Vec3TransformCoord(Vector3* out, const Vector3* v, const Matrix4* m) {
    const float x = v->x, y = v->y, z = v->z;
    const float w = PointColumn3<A>(x, y, z, *m, 3);
    *out = {PointColumn3<A>(x, y, z, *m, 0) / w, PointColumn3<A>(x, y, z, *m, 1) / w,
            PointColumn3<A>(x, y, z, *m, 2) / w};
    return out;
}

// 1 / sqrt(lenSq), or 0 when the length is too small to invert (or NaN): the vector then
// scales to zero.
inline float InverseLengthOrZero(float lenSq) {
    return lenSq > kSmallestNormal ? 1.0f / std::sqrt(lenSq) : 0.0f;
}

template <class A>
Vector2* Vec2Normalize(Vector2* out, const Vector2* v) {
    const float k = InverseLengthOrZero(v->x * v->x + v->y * v->y);
    *out = {v->x * k, v->y * k};
    return out;
}
template <class A>
Vector4* Vec4Normalize(Vector4* out, const Vector4* v) {
    const float k = InverseLengthOrZero(A::Sum(v->x * v->x, v->y * v->y, v->z * v->z, v->w * v->w));
    *out = {v->x * k, v->y * k, v->z * k, v->w * k};
    return out;
}
// The unit vector along v (zero for a zero vector), without the already-unit shortcut:
// the helper the other formulas normalise with.
template <class A>
Vector3 Normalized(const Vector3& v) {
    const float k = InverseLengthOrZero(A::Sum(v.x * v.x, v.y * v.y, v.z * v.z));
    return {v.x * k, v.y * k, v.z * k};
}
template <class A>
float Dot(const Vector3& a, const Vector3& b) {
    return A::Sum(a.x * b.x, a.y * b.y, a.z * b.z);
}

template <class A>
Vector4* Vec4Cross(Vector4* out, const Vector4* u, const Vector4* v, const Vector4* w) {
    const float a = v->x * w->y - v->y * w->x, b = v->x * w->z - v->z * w->x;
    const float c = v->x * w->w - v->w * w->x, d = v->y * w->z - v->z * w->y;
    const float e = v->y * w->w - v->w * w->y, f = v->z * w->w - v->w * w->z;
    const Vector4 p = *u;
    *out = {A::Sum(p.y * f, -(p.z * e), p.w * d), A::Sum(-(p.x * f), p.z * c, -(p.w * b)),
            A::Sum(p.x * e, -(p.y * c), p.w * a), A::Sum(-(p.x * d), p.y * b, -(p.z * a))};
    return out;
}

// Component-wise combination helpers over the float members of Vector2/3/4 (all plain
// arrays of floats).
template <typename V>
constexpr int kComponents = sizeof(V) / sizeof(float);

template <typename V>
float Component(const V& v, int i) {
    float c[kComponents<V>];
    std::memcpy(c, &v, sizeof(V));
    return c[i];
}
template <typename V>
void SetComponent(V& v, int i, float value) {
    std::memcpy(reinterpret_cast<float*>(&v) + i, &value, sizeof(float));
}

template <class A, typename V>
V* Hermite(V* out, const V* p1, const V* t1, const V* p2, const V* t2, float s) {
    const float s2 = s * s, s3 = s2 * s;
    const float h1 = 2.0f * s3 - 3.0f * s2 + 1.0f, h2 = s3 - 2.0f * s2 + s;
    const float h3 = -2.0f * s3 + 3.0f * s2, h4 = s3 - s2;
    V r;
    for (int i = 0; i < kComponents<V>; ++i) {
        SetComponent(r, i, A::Sum(h1 * Component(*p1, i), h2 * Component(*t1, i), h3 * Component(*p2, i),
                                  h4 * Component(*t2, i)));
    }
    *out = r;
    return out;
}
template <class A, typename V>
V* CatmullRom(V* out, const V* v0, const V* v1, const V* v2, const V* v3, float s) {
    const float s2 = s * s, s3 = s2 * s;
    // Weights of v0..v3 in 2 * result.
    const float w0 = -s3 + 2.0f * s2 - s, w1 = 3.0f * s3 - 5.0f * s2 + 2.0f;
    const float w2 = -3.0f * s3 + 4.0f * s2 + s, w3 = s3 - s2;
    V r;
    for (int i = 0; i < kComponents<V>; ++i) {
        SetComponent(r, i, 0.5f * A::Sum(w0 * Component(*v0, i), w1 * Component(*v1, i),
                                         w2 * Component(*v2, i), w3 * Component(*v3, i)));
    }
    *out = r;
    return out;
}
template <class A, typename V>
V* BaryCentric(V* out, const V* v1, const V* v2, const V* v3, float f, float g) {
    V r;
    for (int i = 0; i < kComponents<V>; ++i) {
        const float a = Component(*v1, i);
        SetComponent(r, i, A::Sum(a, f * (Component(*v2, i) - a), g * (Component(*v3, i) - a)));
    }
    *out = r;
    return out;
}

template <class A>
Vector2* Vec2Hermite(Vector2* out, const Vector2* p1, const Vector2* t1, const Vector2* p2,
                     const Vector2* t2, float s) {
    return Hermite<A>(out, p1, t1, p2, t2, s);
}
template <class A>
Vector3* Vec3Hermite(Vector3* out, const Vector3* p1, const Vector3* t1, const Vector3* p2,
                     const Vector3* t2, float s) {
    return Hermite<A>(out, p1, t1, p2, t2, s);
}
template <class A>
Vector4* Vec4Hermite(Vector4* out, const Vector4* p1, const Vector4* t1, const Vector4* p2,
                     const Vector4* t2, float s) {
    return Hermite<A>(out, p1, t1, p2, t2, s);
}
template <class A>
Vector2* Vec2CatmullRom(Vector2* out, const Vector2* v0, const Vector2* v1, const Vector2* v2,
                        const Vector2* v3, float s) {
    return CatmullRom<A>(out, v0, v1, v2, v3, s);
}
template <class A>
Vector3* Vec3CatmullRom(Vector3* out, const Vector3* v0, const Vector3* v1, const Vector3* v2,
                        const Vector3* v3, float s) {
    return CatmullRom<A>(out, v0, v1, v2, v3, s);
}
template <class A>
Vector4* Vec4CatmullRom(Vector4* out, const Vector4* v0, const Vector4* v1, const Vector4* v2,
                        const Vector4* v3, float s) {
    return CatmullRom<A>(out, v0, v1, v2, v3, s);
}
template <class A>
Vector2* Vec2BaryCentric(Vector2* out, const Vector2* v1, const Vector2* v2, const Vector2* v3,
                         float f, float g) {
    return BaryCentric<A>(out, v1, v2, v3, f, g);
}
template <class A>
Vector3* Vec3BaryCentric(Vector3* out, const Vector3* v1, const Vector3* v2, const Vector3* v3,
                         float f, float g) {
    return BaryCentric<A>(out, v1, v2, v3, f, g);
}
template <class A>
Vector4* Vec4BaryCentric(Vector4* out, const Vector4* v1, const Vector4* v2, const Vector4* v3,
                         float f, float g) {
    return BaryCentric<A>(out, v1, v2, v3, f, g);
}

}  // namespace facet::formula
