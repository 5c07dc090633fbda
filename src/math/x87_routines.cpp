// The x87-tuned family (slots 0-7 and 34): every intermediate at the extended working
// precision (long double) and rounded once when stored; four-term sums added as
// (t0 + t2) + (t1 + t3), as two interleaved accumulators do; Vec3Normalize with the
// table-driven reciprocal square root.
#include <cstdint>
#include <cstring>

#include "math/routine_install.h"
#include "math/x87_reciprocal_sqrt.h"

namespace facet::x87 {

namespace {

using Wide = long double;

Wide Sum(Wide t0, Wide t1, Wide t2, Wide t3) { return (t0 + t2) + (t1 + t3); }
Wide Sum(Wide t0, Wide t1, Wide t2) { return (t0 + t2) + t1; }

// Column j of (x, y, z, w) * m with all four terms.
float Column(Wide x, Wide y, Wide z, Wide w, const Matrix4& m, int j) {
    return static_cast<float>(Sum(x * m.m[0][j], y * m.m[1][j], z * m.m[2][j], w * m.m[3][j]));
}
float PointColumn(Wide x, Wide y, Wide z, const Matrix4& m, int j) {
    return static_cast<float>(Sum(x * m.m[0][j], y * m.m[1][j], z * m.m[2][j], Wide{m.m[3][j]}));
}

// Element (i, j) of a * b with row i of a held in `row`.
float ProductElement(const Wide row[4], const Matrix4& b, int j) {
    return static_cast<float>(Sum(row[0] * b.m[0][j], row[1] * b.m[1][j], row[2] * b.m[2][j], row[3] * b.m[3][j]));
}

void LoadRow(const Matrix4& a, int i, Wide row[4]) {
    for (int k = 0; k < 4; ++k) row[k] = a.m[i][k];
}

}  // namespace

Vector4* Vec2Transform(Vector4* out, const Vector2* v, const Matrix4* m) {
    const Wide x = v->x, y = v->y;
    const auto column = [&](int j) {
        return static_cast<float>(Sum(x * m->m[0][j], y * m->m[1][j], Wide{m->m[3][j]}));
    };
    *out = {column(0), column(1), column(2), column(3)};
    return out;
}

Vector4* Vec3Transform(Vector4* out, const Vector3* v, const Matrix4* m) {
    const Wide x = v->x, y = v->y, z = v->z;
    *out = {PointColumn(x, y, z, *m, 0), PointColumn(x, y, z, *m, 1), PointColumn(x, y, z, *m, 2),
            PointColumn(x, y, z, *m, 3)};
    return out;
}

Vector4* Vec4Transform(Vector4* out, const Vector4* v, const Matrix4* m) {
    const Wide x = v->x, y = v->y, z = v->z, w = v->w;
    *out = {Column(x, y, z, w, *m, 0), Column(x, y, z, w, *m, 1), Column(x, y, z, w, *m, 2),
            Column(x, y, z, w, *m, 3)};
    return out;
}

// Plane coefficients times the matrix: the same product as Vec4Transform, so the slot
// holds that routine (Plane and Vector4 are both four packed floats).
Plane* PlaneTransform(Plane* out, const Plane* p, const Matrix4* m) {
    static_assert(sizeof(Plane) == sizeof(Vector4));
    Vector4 in, result;
    std::memcpy(&in, p, sizeof(in));
    x87::Vec4Transform(&result, &in, m);
    std::memcpy(out, &result, sizeof(result));
    return out;
}

// No local copy unless out, a and b are one object; otherwise the order of loads keeps
// every operand element read before the store that could overwrite it.
Matrix4* MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    Matrix4 bCopy;
    if (out == a && out == b) {
        bCopy = *b;
        b = &bCopy;
    }
    Wide line[4];
    if (out == b) {
        // Column j of out needs only column j of b, which is loaded first.
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) line[k] = b->m[k][j];
            for (int i = 0; i < 4; ++i) {
                out->m[i][j] = static_cast<float>(
                    Sum(a->m[i][0] * line[0], a->m[i][1] * line[1], a->m[i][2] * line[2], a->m[i][3] * line[3]));
            }
        }
        return out;
    }
    // Row i of out needs only row i of a, which is loaded first.
    for (int i = 0; i < 4; ++i) {
        LoadRow(*a, i, line);
        for (int j = 0; j < 4; ++j) out->m[i][j] = ProductElement(line, *b, j);
    }
    return out;
}

Matrix4* MatrixMultiplyTranspose(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    Matrix4 local;
    Matrix4* target = (out == a || out == b) ? &local : out;
    Wide row[4];
    for (int i = 0; i < 4; ++i) {
        LoadRow(*a, i, row);
        for (int j = 0; j < 4; ++j) target->m[j][i] = ProductElement(row, *b, j);
    }
    if (target == &local) *out = local;
    return out;
}

Vector2* Vec2TransformNormal(Vector2* out, const Vector2* v, const Matrix4* m) {
    const Wide x = v->x, y = v->y;
    *out = {static_cast<float>(x * m->_11 + y * m->_21), static_cast<float>(x * m->_12 + y * m->_22)};
    return out;
}

Vector3* Vec3TransformNormal(Vector3* out, const Vector3* v, const Matrix4* m) {
    const Wide x = v->x, y = v->y, z = v->z;
    const auto column = [&](int j) {
        return static_cast<float>(Sum(x * m->m[0][j], y * m->m[1][j], z * m->m[2][j]));
    };
    *out = {column(0), column(1), column(2)};
    return out;
}

Vector3* Vec3Normalize(Vector3* out, const Vector3* in) {
    const Wide x = in->x, y = in->y, z = in->z;
    const float lenSq = static_cast<float>((x * x + y * y) + z * z);

    // Already unit: |lenSq - 1| <= 9.9999997e-06, compared on the float's bits.
    std::uint32_t distanceBits;
    const float distance = lenSq - 1.0f;
    std::memcpy(&distanceBits, &distance, sizeof(distanceBits));
    if ((distanceBits & 0x7FFFFFFFu) <= 0x3727C5ACu) {
        if (out != in) *out = *in;
        return out;
    }
    std::uint32_t lenSqBits;
    std::memcpy(&lenSqBits, &lenSq, sizeof(lenSqBits));
    if (lenSqBits == 0) {
        *out = Vector3{0.0f, 0.0f, 0.0f};
        return out;
    }
    const Wide r = TableReciprocalSqrt(lenSq);
    *out = Vector3{static_cast<float>(x * r), static_cast<float>(y * r), static_cast<float>(z * r)};
    return out;
}

}  // namespace facet::x87

namespace facet {

void FillX87Routines(RoutineTable* table) {
    constexpr RoutineFamily kFamily = RoutineFamily::X87;
    FACET_INSTALL(table, Vec2Transform, &x87::Vec2Transform, kFamily);
    FACET_INSTALL(table, Vec3Transform, &x87::Vec3Transform, kFamily);
    FACET_INSTALL(table, Vec4Transform, &x87::Vec4Transform, kFamily);
    FACET_INSTALL(table, MatrixMultiply, &x87::MatrixMultiply, kFamily);
    FACET_INSTALL(table, MatrixMultiplyTranspose, &x87::MatrixMultiplyTranspose, kFamily);
    FACET_INSTALL(table, Vec2TransformNormal, &x87::Vec2TransformNormal, kFamily);
    FACET_INSTALL(table, Vec3TransformNormal, &x87::Vec3TransformNormal, kFamily);
    FACET_INSTALL(table, Vec3Normalize, &x87::Vec3Normalize, kFamily);
    FACET_INSTALL(table, PlaneTransform, &x87::PlaneTransform, kFamily);
}

}  // namespace facet
