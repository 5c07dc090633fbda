// The 3DNow! and extended 3DNow! families. No processor sold today executes these
// instructions, so the family is plain C++ reproducing its arithmetic: single precision,
// sums formed in pairs as its two-lane registers form them, the full-precision reciprocal
// square root its two refinement steps reach, and the data movement of its matrix
// products (a transposed local copy of b).
#include <cmath>

#include "math/portable_routines.h"
#include "math/routine_install.h"

namespace facet::threednow {

namespace {

using Arithmetic = PairedArithmetic;

// b transposed, so that each element of a product is a row of a times a row of the copy.
struct alignas(8) TransposedCopy {
    float rows[4][4];
    explicit TransposedCopy(const Matrix4& b) {
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) rows[j][i] = b.m[i][j];
        }
    }
};

float PairedDot(const float a[4], const float b[4]) {
    return (a[0] * b[0] + a[1] * b[1]) + (a[2] * b[2] + a[3] * b[3]);
}

}  // namespace

Matrix4* MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    const TransposedCopy bt(*b);
    for (int i = 0; i < 4; ++i) {
        float row[4];
        for (int k = 0; k < 4; ++k) row[k] = a->m[i][k];
        for (int j = 0; j < 4; ++j) out->m[i][j] = PairedDot(row, bt.rows[j]);
    }
    return out;
}

Matrix4* MatrixMultiplyTranspose(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    const TransposedCopy bt(*b);
    if (out != a) {
        // Row j of out is column j of the product, stored as soon as it is complete.
        for (int j = 0; j < 4; ++j) {
            float column[4];
            for (int i = 0; i < 4; ++i) column[i] = PairedDot(a->m[i], bt.rows[j]);
            for (int i = 0; i < 4; ++i) out->m[j][i] = column[i];
        }
        return out;
    }
    // out is a: hold all sixteen results until every element of a has been read.
    float held[4][4];
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) held[j][i] = PairedDot(a->m[i], bt.rows[j]);
    }
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) out->m[j][i] = held[j][i];
    }
    return out;
}

Vector3* Vec3Normalize(Vector3* out, const Vector3* in) {
    const float x = in->x, y = in->y, z = in->z;
    const float lenSq = (x * x + z * z) + y * y;
    // The comparison mask zeroes the inputs of a length too small to invert (or NaN), so
    // the product below is zero.
    const bool invertible = lenSq > formula::kSmallestNormal;
    const float r = invertible ? 1.0f / std::sqrt(lenSq) : 0.0f;
    const float mask = invertible ? 1.0f : 0.0f;
    *out = Vector3{x * mask * r, y * mask * r, z * mask * r};
    return out;
}

// Arrays shorter than one four-element block go to the portable routine.
std::uint16_t* Float32To16Array(std::uint16_t* out, const float* in, std::uint32_t n) {
    if (n < 4) return portable::Float32To16Array(out, in, n);
    return formula::Float32To16Array<Arithmetic>(out, in, n);
}
float* Float16To32Array(float* out, const std::uint16_t* in, std::uint32_t n) {
    if (n < 4) return portable::Float16To32Array(out, in, n);
    return formula::Float16To32Array<Arithmetic>(out, in, n);
}

}  // namespace facet::threednow

namespace facet {

void Fill3DNowRoutines(RoutineTable* table) {
    const std::uint32_t flags = QueryCpuFeatures();
    if ((flags & kCpuMmx) != 0 && (flags & kCpu3DNow) != 0) {
        using A = threednow::Arithmetic;
        constexpr RoutineFamily k = RoutineFamily::ThreeDNow;
#define FACET_INSTALL_PAIRED(name) FACET_INSTALL(table, name, &formula::name<A>, k)
        FACET_INSTALL_PAIRED(Vec2Transform);
        FACET_INSTALL_PAIRED(Vec3Transform);
        FACET_INSTALL_PAIRED(Vec4Transform);
        FACET_INSTALL(table, MatrixMultiply, &threednow::MatrixMultiply, k);
        FACET_INSTALL(table, MatrixMultiplyTranspose, &threednow::MatrixMultiplyTranspose, k);
        FACET_INSTALL_PAIRED(Vec2TransformNormal);
        FACET_INSTALL_PAIRED(Vec3TransformNormal);
        FACET_INSTALL(table, Vec3Normalize, &threednow::Vec3Normalize, k);
        FACET_INSTALL_PAIRED(Vec4Normalize);
        FACET_INSTALL_PAIRED(Vec2TransformCoord);
        FACET_INSTALL_PAIRED(Vec3TransformCoord);
        FACET_INSTALL_PAIRED(MatrixDeterminant);
        FACET_INSTALL_PAIRED(PlaneFromPointNormal);
        FACET_INSTALL_PAIRED(PlaneFromPoints);
        FACET_INSTALL_PAIRED(Vec3Project);
        FACET_INSTALL_PAIRED(Vec3Unproject);
        FACET_INSTALL_PAIRED(Vec4Cross);
        FACET_INSTALL_PAIRED(Vec2Hermite);
        FACET_INSTALL_PAIRED(MatrixInverse);
        FACET_INSTALL_PAIRED(QuaternionMultiply);
        FACET_INSTALL_PAIRED(QuaternionNormalize);
        FACET_INSTALL_PAIRED(PlaneNormalize);
        FACET_INSTALL_PAIRED(PlaneIntersectLine);
        FACET_INSTALL_PAIRED(QuaternionToAxisAngle);
        FACET_INSTALL_PAIRED(QuaternionRotationMatrix);
        FACET_INSTALL_PAIRED(QuaternionRotationYawPitchRoll);
        FACET_INSTALL_PAIRED(MatrixTranslation);
        FACET_INSTALL_PAIRED(MatrixShadow);
        FACET_INSTALL_PAIRED(MatrixReflect);
        FACET_INSTALL_PAIRED(QuaternionRotationAxis);
        FACET_INSTALL_PAIRED(MatrixRotationX);
        FACET_INSTALL_PAIRED(MatrixRotationY);
        FACET_INSTALL_PAIRED(MatrixRotationZ);
        FACET_INSTALL_PAIRED(MatrixScaling);
        FACET_INSTALL_PAIRED(PlaneTransform);
        FACET_INSTALL_PAIRED(QuaternionSlerp);
        FACET_INSTALL_PAIRED(QuaternionBaryCentric);
        FACET_INSTALL_PAIRED(MatrixTranspose);
        FACET_INSTALL_PAIRED(MatrixRotationQuaternion);
        FACET_INSTALL_PAIRED(MatrixRotationYawPitchRoll);
        FACET_INSTALL_PAIRED(MatrixAffineTransformation);
        FACET_INSTALL_PAIRED(MatrixRotationAxis);
        FACET_INSTALL_PAIRED(QuaternionSquad);
        FACET_INSTALL_PAIRED(QuaternionInverse);
        FACET_INSTALL_PAIRED(QuaternionSquadSetup);
        FACET_INSTALL_PAIRED(Vec2Normalize);
        FACET_INSTALL_PAIRED(Vec2CatmullRom);
        FACET_INSTALL_PAIRED(Vec2BaryCentric);
        FACET_INSTALL_PAIRED(Vec3Hermite);
        FACET_INSTALL_PAIRED(Vec3CatmullRom);
        FACET_INSTALL_PAIRED(Vec3BaryCentric);
        FACET_INSTALL_PAIRED(Vec4Hermite);
        FACET_INSTALL_PAIRED(Vec4CatmullRom);
        FACET_INSTALL_PAIRED(Vec4BaryCentric);
        FACET_INSTALL_PAIRED(QuaternionLn);
        FACET_INSTALL_PAIRED(QuaternionExp);
        FACET_INSTALL(table, Float32To16Array, &threednow::Float32To16Array, k);
        FACET_INSTALL(table, Float16To32Array, &threednow::Float16To32Array, k);
#undef FACET_INSTALL_PAIRED
        if ((flags & kCpuExtended3DNow) != 0 && (flags & kCpuMmxExtensions) != 0) {
            using E = ExtendedPairedArithmetic;
            constexpr RoutineFamily e = RoutineFamily::ExtendedThreeDNow;
            FACET_INSTALL(table, Vec3Unproject, &formula::Vec3Unproject<E>, e);
            FACET_INSTALL(table, MatrixInverse, &formula::MatrixInverse<E>, e);
            FACET_INSTALL(table, QuaternionRotationMatrix, &formula::QuaternionRotationMatrix<E>, e);
            FACET_INSTALL(table, MatrixRotationQuaternion, &formula::MatrixRotationQuaternion<E>, e);
        }
    }
    if ((flags & kCpuSse) != 0) InstallSseArrayRoutines(table);
}

}  // namespace facet
