// Register helpers of the SSE routines. Included inside a family's namespace, after that
// file has selected its instruction set, so each family compiles its own copy.

// Left-to-right single-precision sums, as the lane-wise adds of these routines form them;
// a distinct type per family, so its formula-built routines are its own.
struct Arithmetic {
    static float Sum(float a, float b, float c) { return (a + b) + c; }
    static float Sum(float a, float b, float c, float d) { return ((a + b) + c) + d; }
};

struct MatrixRows {
    __m128 r0, r1, r2, r3;
};

inline MatrixRows LoadRows(const Matrix4* m) {
    return {_mm_loadu_ps(&m->_11), _mm_loadu_ps(&m->_21), _mm_loadu_ps(&m->_31), _mm_loadu_ps(&m->_41)};
}

inline __m128 Broadcast(__m128 v, int lane) {
    switch (lane) {
        case 0: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0));
        case 1: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1));
        case 2: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
        default: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
    }
}

// (x, y, z, 0) from three floats.
inline __m128 LoadVector3(const Vector3* v) {
    return _mm_movelh_ps(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(v)), _mm_load_ss(&v->z));
}

// The first `count` lanes (2, 3 or 4) of `value` to memory aligned for floats or less.
inline void StoreLanes(unsigned char* p, __m128 value, int count) {
    if (count == 4) {
        _mm_storeu_ps(reinterpret_cast<float*>(p), value);
        return;
    }
    _mm_storel_pi(reinterpret_cast<__m64*>(p), value);
    if (count == 3) _mm_store_ss(reinterpret_cast<float*>(p + 8), _mm_movehl_ps(value, value));
}

inline void StoreVector3(Vector3* v, __m128 value) { StoreLanes(reinterpret_cast<unsigned char*>(v), value, 3); }

// ((x r0 + y r1) + z r2) + r3: a point times the matrix.
inline __m128 TransformPoint(__m128 x, __m128 y, __m128 z, const MatrixRows& m) {
    return _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(x, m.r0), _mm_mul_ps(y, m.r1)), _mm_mul_ps(z, m.r2)), m.r3);
}
// (x r0 + y r1) + z r2: a direction times the matrix.
inline __m128 TransformDirection(__m128 x, __m128 y, __m128 z, const MatrixRows& m) {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, m.r0), _mm_mul_ps(y, m.r1)), _mm_mul_ps(z, m.r2));
}

// Lane 0 holds ((v0 + v1) + v2) + v3 (or the first three when `lanes` is 3).
inline __m128 SumLanes(__m128 v, int lanes) {
    __m128 sum = _mm_add_ss(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
    sum = _mm_add_ss(sum, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2)));
    if (lanes == 4) sum = _mm_add_ss(sum, _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)));
    return sum;
}

// 1 / sqrt(lenSq) in every lane, or 0 when lenSq (lane 0) is at most 2^-126 or NaN.
inline __m128 InverseLengthOrZero(__m128 lenSq) {
    const __m128 invertible = _mm_cmpgt_ss(lenSq, _mm_set_ss(1.17549435e-38f));
    const __m128 k = _mm_div_ss(_mm_set_ss(1.0f), _mm_sqrt_ss(lenSq));
    return Broadcast(_mm_and_ps(invertible, k), 0);
}

inline unsigned char* ByteAddress(void* p, std::uint32_t stride, std::uint32_t k) {
    return static_cast<unsigned char*>(p) + std::size_t{k} * stride;
}
inline const unsigned char* ByteAddress(const void* p, std::uint32_t stride, std::uint32_t k) {
    return static_cast<const unsigned char*>(p) + std::size_t{k} * stride;
}
inline __m128 LoadFloat(const unsigned char* p) {
    float f;
    std::memcpy(&f, p, sizeof(f));
    return _mm_set1_ps(f);
}
