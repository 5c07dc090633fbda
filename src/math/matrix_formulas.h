// Matrix products, determinant, inverse, transpose and the transform-building matrices,
// written once over a summation order (see arithmetic.h).
#pragma once

#include <cmath>

#include "math/vector_formulas.h"

namespace facet::formula {

inline Matrix4 Identity() {
    Matrix4 m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// a * b, every element a four-term sum; the operands are read whole before `out` is
// written, so out may alias either.
template <class A>
Matrix4 Product(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = A::Sum(a.m[i][0] * b.m[0][j], a.m[i][1] * b.m[1][j], a.m[i][2] * b.m[2][j],
                               a.m[i][3] * b.m[3][j]);
        }
    }
    return r;
}

// Computes into a local only when out is one of the operands.
template <class A>
Matrix4* MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    if (out == a || out == b) {
        const Matrix4 local = Product<A>(*a, *b);
        *out = local;
        return out;
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out->m[i][j] = A::Sum(a->m[i][0] * b->m[0][j], a->m[i][1] * b->m[1][j],
                                  a->m[i][2] * b->m[2][j], a->m[i][3] * b->m[3][j]);
        }
    }
    return out;
}

template <class A>
Matrix4* MatrixMultiplyTranspose(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    const Matrix4 product = Product<A>(*a, *b);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) out->m[j][i] = product.m[i][j];
    }
    return out;
}

template <class A>
Matrix4* MatrixTranspose(Matrix4* out, const Matrix4* m) {
    const Matrix4 in = *m;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) out->m[j][i] = in.m[i][j];
    }
    return out;
}

// The six 2 x 2 minors of rows r and r + 1, over the column pairs (0,1), (0,2), (0,3),
// (1,2), (1,3), (2,3).
struct PairMinors {
    float m01, m02, m03, m12, m13, m23;
};
inline PairMinors Minors(const Matrix4& m, int r) {
    const float* a = m.m[r];
    const float* b = m.m[r + 1];
    return {a[0] * b[1] - b[0] * a[1], a[0] * b[2] - b[0] * a[2], a[0] * b[3] - b[0] * a[3],
            a[1] * b[2] - b[1] * a[2], a[1] * b[3] - b[1] * a[3], a[2] * b[3] - b[2] * a[3]};
}

template <class A>
float MatrixDeterminant(const Matrix4* m) {
    const PairMinors s = Minors(*m, 0), c = Minors(*m, 2);
    return A::Sum(s.m01 * c.m23 - s.m02 * c.m13, s.m03 * c.m12 + s.m12 * c.m03,
                  s.m23 * c.m01 - s.m13 * c.m02);
}

template <class A>
Matrix4* MatrixInverse(Matrix4* out, float* determinant, const Matrix4* m) {
    const Matrix4 a = *m;
    const PairMinors s = Minors(a, 0), c = Minors(a, 2);
    const float det = A::Sum(s.m01 * c.m23 - s.m02 * c.m13, s.m03 * c.m12 + s.m12 * c.m03,
                             s.m23 * c.m01 - s.m13 * c.m02);
    if (determinant != nullptr) *determinant = det;
    if (det == 0.0f) return nullptr;
    const float k = 1.0f / det;
    const auto& e = a.m;
    const Matrix4 adjugate{{{
        A::Sum(e[1][1] * c.m23, -(e[1][2] * c.m13), e[1][3] * c.m12),
        A::Sum(-(e[0][1] * c.m23), e[0][2] * c.m13, -(e[0][3] * c.m12)),
        A::Sum(e[3][1] * s.m23, -(e[3][2] * s.m13), e[3][3] * s.m12),
        A::Sum(-(e[2][1] * s.m23), e[2][2] * s.m13, -(e[2][3] * s.m12)),

        A::Sum(-(e[1][0] * c.m23), e[1][2] * c.m03, -(e[1][3] * c.m02)),
        A::Sum(e[0][0] * c.m23, -(e[0][2] * c.m03), e[0][3] * c.m02),
        A::Sum(-(e[3][0] * s.m23), e[3][2] * s.m03, -(e[3][3] * s.m02)),
        A::Sum(e[2][0] * s.m23, -(e[2][2] * s.m03), e[2][3] * s.m02),

        A::Sum(e[1][0] * c.m13, -(e[1][1] * c.m03), e[1][3] * c.m01),
        A::Sum(-(e[0][0] * c.m13), e[0][1] * c.m03, -(e[0][3] * c.m01)),
        A::Sum(e[3][0] * s.m13, -(e[3][1] * s.m03), e[3][3] * s.m01),
        A::Sum(-(e[2][0] * s.m13), e[2][1] * s.m03, -(e[2][3] * s.m01)),

        A::Sum(-(e[1][0] * c.m12), e[1][1] * c.m02, -(e[1][2] * c.m01)),
        A::Sum(e[0][0] * c.m12, -(e[0][1] * c.m02), e[0][2] * c.m01),
        A::Sum(-(e[3][0] * s.m12), e[3][1] * s.m02, -(e[3][2] * s.m01)),
        A::Sum(e[2][0] * s.m12, -(e[2][1] * s.m02), e[2][2] * s.m01),
    }}};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) out->m[i][j] = adjugate.m[i][j] * k;
    }
    return out;
}

template <class A>
Matrix4* MatrixTranslation(Matrix4* out, float x, float y, float z) {
    *out = Identity();
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}
template <class A>
Matrix4* MatrixScaling(Matrix4* out, float sx, float sy, float sz) {
    *out = Identity();
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    return out;
}

// Sine and cosine are taken in double and rounded to float.
struct SinCos {
    float sin, cos;
};
inline SinCos SinCosOf(float angle) {
    return {static_cast<float>(std::sin(static_cast<double>(angle))),
            static_cast<float>(std::cos(static_cast<double>(angle)))};
}

template <class A>
Matrix4* MatrixRotationX(Matrix4* out, float angle) {
    const SinCos t = SinCosOf(angle);
    *out = Identity();
    out->_22 = t.cos;
    out->_23 = t.sin;
    out->_32 = -t.sin;
    out->_33 = t.cos;
    return out;
}
template <class A>
Matrix4* MatrixRotationY(Matrix4* out, float angle) {
    const SinCos t = SinCosOf(angle);
    *out = Identity();
    out->_11 = t.cos;
    out->_13 = -t.sin;
    out->_31 = t.sin;
    out->_33 = t.cos;
    return out;
}
template <class A>
Matrix4* MatrixRotationZ(Matrix4* out, float angle) {
    const SinCos t = SinCosOf(angle);
    *out = Identity();
    out->_11 = t.cos;
    out->_12 = t.sin;
    out->_21 = -t.sin;
    out->_22 = t.cos;
    return out;
}

template <class A>
Matrix4* MatrixRotationAxis(Matrix4* out, const Vector3* axis, float angle) {
    const Vector3 n = Normalized<A>(*axis);
    const SinCos t = SinCosOf(angle);
    const float c = t.cos, s = t.sin, d = 1.0f - c;
    *out = Identity();
    out->_11 = d * n.x * n.x + c;
    out->_12 = d * n.x * n.y + s * n.z;
    out->_13 = d * n.x * n.z - s * n.y;
    out->_21 = d * n.x * n.y - s * n.z;
    out->_22 = d * n.y * n.y + c;
    out->_23 = d * n.y * n.z + s * n.x;
    out->_31 = d * n.x * n.z + s * n.y;
    out->_32 = d * n.y * n.z - s * n.x;
    out->_33 = d * n.z * n.z + c;
    return out;
}

template <class A>
Matrix4* MatrixRotationYawPitchRoll(Matrix4* out, float yaw, float pitch, float roll) {
    Matrix4 roll_, pitch_, yaw_;
    MatrixRotationZ<A>(&roll_, roll);
    MatrixRotationX<A>(&pitch_, pitch);
    MatrixRotationY<A>(&yaw_, yaw);
    *out = Product<A>(Product<A>(roll_, pitch_), yaw_);
    return out;
}

template <class A>
Matrix4* MatrixRotationQuaternion(Matrix4* out, const Quaternion* q) {
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    *out = Identity();
    out->_11 = 1.0f - 2.0f * (y * y + z * z);
    out->_12 = 2.0f * (x * y + z * w);
    out->_13 = 2.0f * (x * z - y * w);
    out->_21 = 2.0f * (x * y - z * w);
    out->_22 = 1.0f - 2.0f * (x * x + z * z);
    out->_23 = 2.0f * (y * z + x * w);
    out->_31 = 2.0f * (x * z + y * w);
    out->_32 = 2.0f * (y * z - x * w);
    out->_33 = 1.0f - 2.0f * (x * x + y * y);
    return out;
}

// The plane scaled to a unit normal; a zero normal gives the zero plane.
template <class A>
Plane NormalizedPlane(const Plane& p) {
    const float k = InverseLengthOrZero(A::Sum(p.a * p.a, p.b * p.b, p.c * p.c));
    return {p.a * k, p.b * k, p.c * k, p.d * k};
}

template <class A>
Matrix4* MatrixShadow(Matrix4* out, const Vector4* light, const Plane* plane) {
    const Plane p = NormalizedPlane<A>(*plane);
    const float pv[4] = {p.a, p.b, p.c, p.d};
    const float lv[4] = {light->x, light->y, light->z, light->w};
    const float d = A::Sum(pv[0] * lv[0], pv[1] * lv[1], pv[2] * lv[2], pv[3] * lv[3]);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) out->m[i][j] = (i == j ? d : 0.0f) - pv[i] * lv[j];
    }
    return out;
}

template <class A>
Matrix4* MatrixReflect(Matrix4* out, const Plane* plane) {
    const Plane p = NormalizedPlane<A>(*plane);
    const float pv[4] = {p.a, p.b, p.c, p.d};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) out->m[i][j] = (i == j ? 1.0f : 0.0f) - 2.0f * pv[i] * pv[j];
        out->m[i][3] = i == 3 ? 1.0f : 0.0f;
    }
    return out;
}

template <class A>
Matrix4 TranslationOf(const Vector3& v) {
    Matrix4 m;
    MatrixTranslation<A>(&m, v.x, v.y, v.z);
    return m;
}

// Tsc^-1 Rsr^-1 S Rsr Tsc Trc^-1 R Trc T, each step left out when its argument is null.
template <class A>
Matrix4* MatrixTransformation(Matrix4* out, const Vector3* scalingCenter,
                              const Quaternion* scalingRotation, const Vector3* scaling,
                              const Vector3* rotationCenter, const Quaternion* rotation,
                              const Vector3* translation) {
    Matrix4 m = Identity();
    const auto then = [&m](const Matrix4& step) { m = Product<A>(m, step); };
    if (scaling != nullptr) {
        const Vector3 center = scalingCenter != nullptr ? *scalingCenter : Vector3{0.0f, 0.0f, 0.0f};
        Matrix4 turn = Identity(), scale;
        if (scalingRotation != nullptr) MatrixRotationQuaternion<A>(&turn, scalingRotation);
        Matrix4 unturn;
        MatrixTranspose<A>(&unturn, &turn);
        MatrixScaling<A>(&scale, scaling->x, scaling->y, scaling->z);
        then(TranslationOf<A>(Vector3{-center.x, -center.y, -center.z}));
        then(unturn);
        then(scale);
        then(turn);
        then(TranslationOf<A>(center));
    }
    if (rotation != nullptr) {
        const Vector3 center = rotationCenter != nullptr ? *rotationCenter : Vector3{0.0f, 0.0f, 0.0f};
        Matrix4 turn;
        MatrixRotationQuaternion<A>(&turn, rotation);
        then(TranslationOf<A>(Vector3{-center.x, -center.y, -center.z}));
        then(turn);
        then(TranslationOf<A>(center));
    }
    if (translation != nullptr) then(TranslationOf<A>(*translation));
    *out = m;
    return out;
}

template <class A>
Matrix4* MatrixAffineTransformation(Matrix4* out, float scaling, const Vector3* rotationCenter,
                                    const Quaternion* rotation, const Vector3* translation) {
    const Vector3 scale{scaling, scaling, scaling};
    return MatrixTransformation<A>(out, nullptr, nullptr, &scale, rotationCenter, rotation,
                                   translation);
}

// The quaternion of a rotation by `angle` about z.
inline Quaternion TurnAboutZ(float angle) {
    const SinCos t = SinCosOf(angle * 0.5f);
    return {0.0f, 0.0f, t.sin, t.cos};
}
inline Vector3 InPlane(const Vector2* v) { return {v->x, v->y, 0.0f}; }

template <class A>
Matrix4* MatrixTransformation2D(Matrix4* out, const Vector2* scalingCenter, float scalingRotation,
                                const Vector2* scaling, const Vector2* rotationCenter, float rotation,
                                const Vector2* translation) {
    const Quaternion scalingTurn = TurnAboutZ(scalingRotation), turn = TurnAboutZ(rotation);
    const Vector3 sc = scalingCenter != nullptr ? InPlane(scalingCenter) : Vector3{0.0f, 0.0f, 0.0f};
    const Vector3 rc = rotationCenter != nullptr ? InPlane(rotationCenter) : Vector3{0.0f, 0.0f, 0.0f};
    const Vector3 scale = scaling != nullptr ? Vector3{scaling->x, scaling->y, 1.0f} : Vector3{1.0f, 1.0f, 1.0f};
    const Vector3 move = translation != nullptr ? InPlane(translation) : Vector3{0.0f, 0.0f, 0.0f};
    return MatrixTransformation<A>(out, &sc, &scalingTurn, &scale, &rc, &turn, &move);
}

template <class A>
Matrix4* MatrixAffineTransformation2D(Matrix4* out, float scaling, const Vector2* rotationCenter,
                                      float rotation, const Vector2* translation) {
    const Quaternion turn = TurnAboutZ(rotation);
    const Vector3 rc = rotationCenter != nullptr ? InPlane(rotationCenter) : Vector3{0.0f, 0.0f, 0.0f};
    const Vector3 scale{scaling, scaling, 1.0f};
    const Vector3 move = translation != nullptr ? InPlane(translation) : Vector3{0.0f, 0.0f, 0.0f};
    return MatrixTransformation<A>(out, nullptr, nullptr, &scale, &rc, &turn, &move);
}

}  // namespace facet::formula
