// Quaternion products, normalisation, conversions and interpolation, written once over a
// summation order (see arithmetic.h). Quaternions are (x, y, z, w) with w the scalar part.
#pragma once

#include <algorithm>
#include <cmath>

#include "math/matrix_formulas.h"

namespace facet::formula {

template <class A>
float QuaternionDot(const Quaternion& a, const Quaternion& b) {
    return A::Sum(a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w);
}

// The Hamilton product p q.
template <class A>
Quaternion Hamilton(const Quaternion& p, const Quaternion& q) {
    return {A::Sum(p.w * q.x, p.x * q.w, p.y * q.z, -(p.z * q.y)),
            A::Sum(p.w * q.y, -(p.x * q.z), p.y * q.w, p.z * q.x),
            A::Sum(p.w * q.z, p.x * q.y, -(p.y * q.x), p.z * q.w),
            A::Sum(p.w * q.w, -(p.x * q.x), -(p.y * q.y), -(p.z * q.z))};
}

template <class A>
Quaternion* QuaternionMultiply(Quaternion* out, const Quaternion* q1, const Quaternion* q2) {
    *out = Hamilton<A>(*q2, *q1);
    return out;
}

template <class A>
Quaternion* QuaternionNormalize(Quaternion* out, const Quaternion* q) {
    const float k = InverseLengthOrZero(QuaternionDot<A>(*q, *q));
    *out = {q->x * k, q->y * k, q->z * k, q->w * k};
    return out;
}

template <class A>
Quaternion* QuaternionInverse(Quaternion* out, const Quaternion* q) {
    const float lenSq = QuaternionDot<A>(*q, *q);
    const float k = lenSq != 0.0f ? 1.0f / lenSq : 0.0f;
    *out = {-q->x * k, -q->y * k, -q->z * k, q->w * k};
    return out;
}

template <class A>
Quaternion* QuaternionRotationMatrix(Quaternion* out, const Matrix4* m) {
    const float trace = A::Sum(m->_11, m->_22, m->_33);
    Quaternion q;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q = {(m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s, 0.25f * s};
    } else if (m->_11 >= m->_22 && m->_11 >= m->_33) {
        const float s = std::sqrt(A::Sum(1.0f, m->_11, -m->_22, -m->_33)) * 2.0f;
        q = {0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s, (m->_23 - m->_32) / s};
    } else if (m->_22 >= m->_33) {
        const float s = std::sqrt(A::Sum(1.0f, m->_22, -m->_11, -m->_33)) * 2.0f;
        q = {(m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s, (m->_31 - m->_13) / s};
    } else {
        const float s = std::sqrt(A::Sum(1.0f, m->_33, -m->_11, -m->_22)) * 2.0f;
        q = {(m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s, (m->_12 - m->_21) / s};
    }
    *out = q;
    return out;
}

template <class A>
Quaternion* QuaternionRotationAxis(Quaternion* out, const Vector3* axis, float angle) {
    const Vector3 n = Normalized<A>(*axis);
    const SinCos t = SinCosOf(angle * 0.5f);
    *out = {n.x * t.sin, n.y * t.sin, n.z * t.sin, t.cos};
    return out;
}

template <class A>
Quaternion* QuaternionRotationYawPitchRoll(Quaternion* out, float yaw, float pitch, float roll) {
    const SinCos y = SinCosOf(yaw * 0.5f), p = SinCosOf(pitch * 0.5f), r = SinCosOf(roll * 0.5f);
    *out = {y.cos * p.sin * r.cos + y.sin * p.cos * r.sin, y.sin * p.cos * r.cos - y.cos * p.sin * r.sin,
            y.cos * p.cos * r.sin - y.sin * p.sin * r.cos, y.cos * p.cos * r.cos + y.sin * p.sin * r.sin};
    return out;
}

template <class A>
void QuaternionToAxisAngle(const Quaternion* q, Vector3* axis, float* angle) {
    const Quaternion in = *q;
    if (axis != nullptr) *axis = {in.x, in.y, in.z};
    if (angle != nullptr) *angle = 2.0f * std::acos(std::clamp(in.w, -1.0f, 1.0f));
}

template <class A>
Quaternion Slerp(const Quaternion& q1, const Quaternion& q2, float t) {
    float cosine = QuaternionDot<A>(q1, q2);
    Quaternion to = q2;
    if (cosine < 0.0f) {
        cosine = -cosine;
        to = {-q2.x, -q2.y, -q2.z, -q2.w};
    }
    float k1 = 1.0f - t, k2 = t;
    // Nearly parallel quaternions: the sine below would vanish, interpolate linearly.
    if (1.0f - cosine > 1e-6f) {
        const float omega = std::acos(cosine);
        const float sine = std::sin(omega);
        k1 = std::sin((1.0f - t) * omega) / sine;
        k2 = std::sin(t * omega) / sine;
    }
    return {k1 * q1.x + k2 * to.x, k1 * q1.y + k2 * to.y, k1 * q1.z + k2 * to.z, k1 * q1.w + k2 * to.w};
}

template <class A>
Quaternion* QuaternionSlerp(Quaternion* out, const Quaternion* q1, const Quaternion* q2, float t) {
    *out = Slerp<A>(*q1, *q2, t);
    return out;
}

template <class A>
Quaternion* QuaternionBaryCentric(Quaternion* out, const Quaternion* q1, const Quaternion* q2,
                                  const Quaternion* q3, float f, float g) {
    const float fg = f + g;
    if (fg == 0.0f) {
        *out = *q1;
        return out;
    }
    *out = Slerp<A>(Slerp<A>(*q1, *q2, fg), Slerp<A>(*q1, *q3, fg), g / fg);
    return out;
}

template <class A>
Quaternion* QuaternionSquad(Quaternion* out, const Quaternion* q1, const Quaternion* a,
                            const Quaternion* b, const Quaternion* c, float t) {
    *out = Slerp<A>(Slerp<A>(*q1, *c, t), Slerp<A>(*a, *b, t), 2.0f * t * (1.0f - t));
    return out;
}

template <class A>
Quaternion* QuaternionLn(Quaternion* out, const Quaternion* q) {
    const float theta = std::acos(std::clamp(q->w, -1.0f, 1.0f));
    const float sine = std::sin(theta);
    const float k = std::fabs(sine) > 1e-7f ? theta / sine : 1.0f;
    *out = {q->x * k, q->y * k, q->z * k, 0.0f};
    return out;
}

template <class A>
Quaternion* QuaternionExp(Quaternion* out, const Quaternion* q) {
    const float theta = std::sqrt(A::Sum(q->x * q->x, q->y * q->y, q->z * q->z));
    const float k = theta > 1e-7f ? std::sin(theta) / theta : 1.0f;
    *out = {q->x * k, q->y * k, q->z * k, std::cos(theta)};
    return out;
}

template <class A>
Quaternion Inverse(const Quaternion& q) {
    Quaternion r;
    QuaternionInverse<A>(&r, &q);
    return r;
}
template <class A>
Quaternion Ln(const Quaternion& q) {
    Quaternion r;
    QuaternionLn<A>(&r, &q);
    return r;
}
template <class A>
Quaternion Exp(const Quaternion& q) {
    Quaternion r;
    QuaternionExp<A>(&r, &q);
    return r;
}
// q flipped onto the hemisphere of `reference`.
template <class A>
Quaternion Beside(const Quaternion& q, const Quaternion& reference) {
    return QuaternionDot<A>(q, reference) < 0.0f ? Quaternion{-q.x, -q.y, -q.z, -q.w} : q;
}
// q exp(-(ln(q^-1 next) + ln(q^-1 previous)) / 4), the inner control point at q.
template <class A>
Quaternion SquadControl(const Quaternion& previous, const Quaternion& q, const Quaternion& next) {
    const Quaternion inverse = Inverse<A>(q);
    const Quaternion l1 = Ln<A>(Hamilton<A>(inverse, next)), l2 = Ln<A>(Hamilton<A>(inverse, previous));
    const Quaternion sum{-0.25f * (l1.x + l2.x), -0.25f * (l1.y + l2.y), -0.25f * (l1.z + l2.z), 0.0f};
    return Hamilton<A>(q, Exp<A>(sum));
}

template <class A>
void QuaternionSquadSetup(Quaternion* a, Quaternion* b, Quaternion* c, const Quaternion* q0,
                          const Quaternion* q1, const Quaternion* q2, const Quaternion* q3) {
    const Quaternion p1 = *q1;
    const Quaternion p0 = Beside<A>(*q0, p1);
    const Quaternion p2 = Beside<A>(*q2, p1);
    const Quaternion p3 = Beside<A>(*q3, p2);
    *a = SquadControl<A>(p0, p1, p2);
    *b = SquadControl<A>(p1, p2, p3);
    *c = p2;
}

}  // namespace facet::formula
