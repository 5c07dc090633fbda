// The routines of which the SSE and SSE2 families each have their own, written once and
// compiled into each family's namespace under that family's instruction set (see
// sse_routines.cpp and sse2_routines.cpp). Requires sse_helpers.inl.

Vector4* Vec3Transform(Vector4* out, const Vector3* v, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    _mm_storeu_ps(&out->x, TransformPoint(_mm_set1_ps(v->x), _mm_set1_ps(v->y), _mm_set1_ps(v->z), rows));
    return out;
}

// (x, y, z, w) * m for four floats read at `in` and written at `out`.
inline void TransformFour(float* out, const float* in, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    const __m128 v = _mm_loadu_ps(in);
    const __m128 p = _mm_add_ps(TransformDirection(Broadcast(v, 0), Broadcast(v, 1), Broadcast(v, 2), rows),
                                _mm_mul_ps(Broadcast(v, 3), rows.r3));
    _mm_storeu_ps(out, p);
}

Vector4* Vec4Transform(Vector4* out, const Vector4* v, const Matrix4* m) {
    TransformFour(&out->x, &v->x, m);
    return out;
}

// The same product as Vec4Transform on the plane's four coefficients.
Plane* PlaneTransform(Plane* out, const Plane* p, const Matrix4* m) {
    TransformFour(&out->a, &p->a, m);
    return out;
}

Vector3* Vec3TransformNormal(Vector3* out, const Vector3* v, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    StoreVector3(out, TransformDirection(_mm_set1_ps(v->x), _mm_set1_ps(v->y), _mm_set1_ps(v->z), rows));
    return out;
}

Vector3* Vec3TransformCoord(Vector3* out, const Vector3* v, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    const __m128 p = TransformPoint(_mm_set1_ps(v->x), _mm_set1_ps(v->y), _mm_set1_ps(v->z), rows);
    StoreVector3(out, _mm_div_ps(p, Broadcast(p, 3)));
    return out;
}

// Hardware estimate refined by one Newton step, r = 0.5 r0 (3 - lenSq r0 r0), with no
// already-unit shortcut; the result is zero when lenSq < 2^-46 or NaN.
Vector3* Vec3Normalize(Vector3* out, const Vector3* in) {
    const __m128 v = LoadVector3(in);
    const __m128 lenSq = SumLanes(_mm_mul_ps(v, v), 3);
    const __m128 r0 = _mm_rsqrt_ss(lenSq);
    const __m128 refined = _mm_mul_ss(_mm_mul_ss(_mm_set_ss(0.5f), r0),
                                      _mm_sub_ss(_mm_set_ss(3.0f), _mm_mul_ss(_mm_mul_ss(lenSq, r0), r0)));
    const __m128 keep = Broadcast(_mm_cmpge_ss(lenSq, _mm_set_ss(1.4210855e-14f)), 0);
    StoreVector3(out, _mm_and_ps(keep, _mm_mul_ps(v, Broadcast(refined, 0))));
    return out;
}

// The six 2 x 2 minors of rows a and b: low = (01, 02, 03, 12), high = (13, 23, 13, 23)
// over the column pairs.
struct Minors {
    __m128 low, high;
};
inline Minors PairMinors(__m128 a, __m128 b) {
    const __m128 low = _mm_sub_ps(_mm_mul_ps(_mm_shuffle_ps(a, a, _MM_SHUFFLE(1, 0, 0, 0)), _mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 3, 2, 1))),
                                  _mm_mul_ps(_mm_shuffle_ps(b, b, _MM_SHUFFLE(1, 0, 0, 0)), _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 2, 1))));
    const __m128 high = _mm_sub_ps(_mm_mul_ps(_mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 1, 2, 1)), _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 3, 3, 3))),
                                   _mm_mul_ps(_mm_shuffle_ps(b, b, _MM_SHUFFLE(2, 1, 2, 1)), _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 3, 3, 3))));
    return {low, high};
}
inline __m128 NegateLanes(__m128 v, float s0, float s1, float s2, float s3) {
    return _mm_mul_ps(v, _mm_setr_ps(s0, s1, s2, s3));
}

float MatrixDeterminant(const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    const Minors s = PairMinors(rows.r0, rows.r1), c = PairMinors(rows.r2, rows.r3);
    // (s01 c23, -s02 c13, s03 c12, s12 c03) and (-s13 c02, s23 c01).
    const __m128 first = NegateLanes(_mm_mul_ps(s.low, _mm_shuffle_ps(c.high, c.low, _MM_SHUFFLE(2, 3, 0, 1))), 1, -1, 1, 1);
    const __m128 second = NegateLanes(_mm_mul_ps(s.high, _mm_shuffle_ps(c.low, c.low, _MM_SHUFFLE(0, 0, 0, 1))), -1, 1, 1, 1);
    const __m128 pairs = _mm_add_ps(first, _mm_shuffle_ps(first, first, _MM_SHUFFLE(2, 3, 0, 1)));
    const __m128 third = _mm_add_ss(second, _mm_shuffle_ps(second, second, _MM_SHUFFLE(1, 1, 1, 1)));
    return _mm_cvtss_f32(_mm_add_ss(_mm_add_ss(pairs, _mm_movehl_ps(pairs, pairs)), third));
}

// The adjugate from the minors of the two row pairs, four lanes per row, divided by the
// determinant.
Matrix4* MatrixInverse(Matrix4* out, float* determinant, const Matrix4* m) {
    const MatrixRows rows = LoadRows(m);
    const Minors s = PairMinors(rows.r0, rows.r1), c = PairMinors(rows.r2, rows.r3);
    // k[n] = (c_n, c_n, s_n, s_n) for the minors 01, 02, 03, 12, 13, 23.
    const __m128 k0 = _mm_shuffle_ps(c.low, s.low, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128 k1 = _mm_shuffle_ps(c.low, s.low, _MM_SHUFFLE(1, 1, 1, 1));
    const __m128 k2 = _mm_shuffle_ps(c.low, s.low, _MM_SHUFFLE(2, 2, 2, 2));
    const __m128 k3 = _mm_shuffle_ps(c.low, s.low, _MM_SHUFFLE(3, 3, 3, 3));
    const __m128 k4 = _mm_shuffle_ps(c.high, s.high, _MM_SHUFFLE(0, 0, 0, 0));
    const __m128 k5 = _mm_shuffle_ps(c.high, s.high, _MM_SHUFFLE(1, 1, 1, 1));
    // x[j] = (a1j, a0j, a3j, a2j): column j of the rows taken in the order 1, 0, 3, 2.
    __m128 x0 = rows.r1, x1 = rows.r0, x2 = rows.r3, x3 = rows.r2;
    _MM_TRANSPOSE4_PS(x0, x1, x2, x3);
    const __m128 sign = _mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f);
    const __m128 adj0 = _mm_mul_ps(sign, _mm_add_ps(_mm_sub_ps(_mm_mul_ps(x1, k5), _mm_mul_ps(x2, k4)), _mm_mul_ps(x3, k3)));
    const __m128 adj1 = _mm_mul_ps(sign, _mm_sub_ps(_mm_sub_ps(_mm_mul_ps(x2, k2), _mm_mul_ps(x0, k5)), _mm_mul_ps(x3, k1)));
    const __m128 adj2 = _mm_mul_ps(sign, _mm_add_ps(_mm_sub_ps(_mm_mul_ps(x0, k4), _mm_mul_ps(x1, k2)), _mm_mul_ps(x3, k0)));
    const __m128 adj3 = _mm_mul_ps(sign, _mm_sub_ps(_mm_sub_ps(_mm_mul_ps(x1, k1), _mm_mul_ps(x0, k3)), _mm_mul_ps(x2, k0)));
    // det = row 0 of the adjugate times column 0 of m.
    const __m128 column0 = _mm_shuffle_ps(x0, x0, _MM_SHUFFLE(2, 3, 0, 1));
    const float det = _mm_cvtss_f32(SumLanes(_mm_mul_ps(adj0, column0), 4));
    if (determinant != nullptr) *determinant = det;
    if (det == 0.0f) return nullptr;
    const __m128 scale = _mm_set1_ps(1.0f / det);
    _mm_storeu_ps(&out->_11, _mm_mul_ps(adj0, scale));
    _mm_storeu_ps(&out->_21, _mm_mul_ps(adj1, scale));
    _mm_storeu_ps(&out->_31, _mm_mul_ps(adj2, scale));
    _mm_storeu_ps(&out->_41, _mm_mul_ps(adj3, scale));
    return out;
}

// The four-dimensional cross product from the minors of v and w.
Vector4* Vec4Cross(Vector4* out, const Vector4* u, const Vector4* v, const Vector4* w) {
    const __m128 uu = _mm_loadu_ps(&u->x);
    const Minors m = PairMinors(_mm_loadu_ps(&v->x), _mm_loadu_ps(&w->x));  // a..f = 01, 02, 03, 12, 13, 23
    const __m128 eedd = _mm_shuffle_ps(m.high, m.low, _MM_SHUFFLE(3, 3, 0, 0));
    const __m128 ffed = NegateLanes(_mm_shuffle_ps(m.high, eedd, _MM_SHUFFLE(2, 0, 1, 1)), 1, -1, 1, -1);
    const __m128 eecc = _mm_shuffle_ps(m.high, m.low, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128 eccb = NegateLanes(_mm_shuffle_ps(eecc, m.low, _MM_SHUFFLE(1, 2, 2, 0)), -1, 1, -1, 1);
    const __m128 dbaa = NegateLanes(_mm_shuffle_ps(m.low, m.low, _MM_SHUFFLE(0, 0, 1, 3)), 1, -1, 1, -1);
    const __m128 first = _mm_mul_ps(_mm_shuffle_ps(uu, uu, _MM_SHUFFLE(0, 0, 0, 1)), ffed);
    const __m128 second = _mm_mul_ps(_mm_shuffle_ps(uu, uu, _MM_SHUFFLE(1, 1, 2, 2)), eccb);
    const __m128 third = _mm_mul_ps(_mm_shuffle_ps(uu, uu, _MM_SHUFFLE(2, 3, 3, 3)), dbaa);
    _mm_storeu_ps(&out->x, _mm_add_ps(_mm_add_ps(first, second), third));
    return out;
}

Plane* PlaneNormalize(Plane* out, const Plane* p) {
    const __m128 plane = _mm_loadu_ps(&p->a);
    _mm_storeu_ps(&out->a, _mm_mul_ps(plane, InverseLengthOrZero(SumLanes(_mm_mul_ps(plane, plane), 3))));
    return out;
}

Plane* PlaneFromPoints(Plane* out, const Vector3* p1, const Vector3* p2, const Vector3* p3) {
    const __m128 origin = LoadVector3(p1);
    const __m128 e1 = _mm_sub_ps(LoadVector3(p2), origin), e2 = _mm_sub_ps(LoadVector3(p3), origin);
    const auto yzx = [](__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1)); };
    const auto zxy = [](__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 1, 0, 2)); };
    const __m128 normal = _mm_sub_ps(_mm_mul_ps(yzx(e1), zxy(e2)), _mm_mul_ps(zxy(e1), yzx(e2)));
    const __m128 unit = _mm_mul_ps(normal, InverseLengthOrZero(SumLanes(_mm_mul_ps(normal, normal), 3)));
    const __m128 d = _mm_sub_ss(_mm_setzero_ps(), SumLanes(_mm_mul_ps(origin, unit), 3));
    // (nx, ny, nz, d): d moved into lane 3.
    const __m128 nzd = _mm_shuffle_ps(unit, d, _MM_SHUFFLE(0, 0, 2, 2));
    _mm_storeu_ps(&out->a, _mm_shuffle_ps(unit, nzd, _MM_SHUFFLE(2, 0, 1, 0)));
    return out;
}

Quaternion* QuaternionRotationMatrix(Quaternion* out, const Matrix4* m) {
    return formula::QuaternionRotationMatrix<Arithmetic>(out, m);
}
Quaternion* QuaternionRotationYawPitchRoll(Quaternion* out, float yaw, float pitch, float roll) {
    return formula::QuaternionRotationYawPitchRoll<Arithmetic>(out, yaw, pitch, roll);
}
Matrix4* MatrixShadow(Matrix4* out, const Vector4* light, const Plane* plane) {
    return formula::MatrixShadow<Arithmetic>(out, light, plane);
}
Matrix4* MatrixReflect(Matrix4* out, const Plane* plane) {
    return formula::MatrixReflect<Arithmetic>(out, plane);
}

// ---- Transform arrays: one element per iteration, all four lanes at work ----

template <typename F>
void ForEachElement(void* out, std::uint32_t outStride, const void* in, std::uint32_t inStride, std::uint32_t n, F f) {
    for (std::uint32_t k = 0; k < n; ++k) f(ByteAddress(out, outStride, k), ByteAddress(in, inStride, k));
}

Vector4* Vec2TransformArray(Vector4* out, std::uint32_t outStride, const Vector2* in, std::uint32_t inStride,
                            const Matrix4* m, std::uint32_t n) {
    const MatrixRows rows = LoadRows(m);
    ForEachElement(out, outStride, in, inStride, n, [&rows](unsigned char* to, const unsigned char* from) {
        const __m128 p = _mm_add_ps(_mm_add_ps(_mm_mul_ps(LoadFloat(from), rows.r0), _mm_mul_ps(LoadFloat(from + 4), rows.r1)), rows.r3);
        StoreLanes(to, p, 4);
    });
    return out;
}

Vector2* Vec2TransformCoordArray(Vector2* out, std::uint32_t outStride, const Vector2* in, std::uint32_t inStride,
                                 const Matrix4* m, std::uint32_t n) {
    const MatrixRows rows = LoadRows(m);
    ForEachElement(out, outStride, in, inStride, n, [&rows](unsigned char* to, const unsigned char* from) {
        const __m128 p = _mm_add_ps(_mm_add_ps(_mm_mul_ps(LoadFloat(from), rows.r0), _mm_mul_ps(LoadFloat(from + 4), rows.r1)), rows.r3);
        StoreLanes(to, _mm_div_ps(p, Broadcast(p, 3)), 2);
    });
    return out;
}

Vector2* Vec2TransformNormalArray(Vector2* out, std::uint32_t outStride, const Vector2* in, std::uint32_t inStride,
                                  const Matrix4* m, std::uint32_t n) {
    const MatrixRows rows = LoadRows(m);
    ForEachElement(out, outStride, in, inStride, n, [&rows](unsigned char* to, const unsigned char* from) {
        StoreLanes(to, _mm_add_ps(_mm_mul_ps(LoadFloat(from), rows.r0), _mm_mul_ps(LoadFloat(from + 4), rows.r1)), 2);
    });
    return out;
}

Vector4* Vec3TransformArray(Vector4* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride,
                            const Matrix4* m, std::uint32_t n) {
    const MatrixRows rows = LoadRows(m);
    ForEachElement(out, outStride, in, inStride, n, [&rows](unsigned char* to, const unsigned char* from) {
        StoreLanes(to, TransformPoint(LoadFloat(from), LoadFloat(from + 4), LoadFloat(from + 8), rows), 4);
    });
    return out;
}

Vector3* Vec3TransformCoordArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride,
                                 const Matrix4* m, std::uint32_t n) {
    const MatrixRows rows = LoadRows(m);
    ForEachElement(out, outStride, in, inStride, n, [&rows](unsigned char* to, const unsigned char* from) {
        const __m128 p = TransformPoint(LoadFloat(from), LoadFloat(from + 4), LoadFloat(from + 8), rows);
        StoreLanes(to, _mm_div_ps(p, Broadcast(p, 3)), 3);
    });
    return out;
}

Vector3* Vec3TransformNormalArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride,
                                  const Matrix4* m, std::uint32_t n) {
    const MatrixRows rows = LoadRows(m);
    ForEachElement(out, outStride, in, inStride, n, [&rows](unsigned char* to, const unsigned char* from) {
        StoreLanes(to, TransformDirection(LoadFloat(from), LoadFloat(from + 4), LoadFloat(from + 8), rows), 3);
    });
    return out;
}

// (x, y, z, w) * m for n elements of four floats.
inline void TransformFourArray(void* out, std::uint32_t outStride, const void* in, std::uint32_t inStride,
                               const Matrix4* m, std::uint32_t n) {
    const MatrixRows rows = LoadRows(m);
    ForEachElement(out, outStride, in, inStride, n, [&rows](unsigned char* to, const unsigned char* from) {
        const __m128 p = _mm_add_ps(TransformDirection(LoadFloat(from), LoadFloat(from + 4), LoadFloat(from + 8), rows),
                                    _mm_mul_ps(LoadFloat(from + 12), rows.r3));
        StoreLanes(to, p, 4);
    });
}

Vector4* Vec4TransformArray(Vector4* out, std::uint32_t outStride, const Vector4* in, std::uint32_t inStride,
                            const Matrix4* m, std::uint32_t n) {
    TransformFourArray(out, outStride, in, inStride, m, n);
    return out;
}

// The same products as Vec4TransformArray on planes' four coefficients.
Plane* PlaneTransformArray(Plane* out, std::uint32_t outStride, const Plane* in, std::uint32_t inStride,
                           const Matrix4* m, std::uint32_t n) {
    TransformFourArray(out, outStride, in, inStride, m, n);
    return out;
}
