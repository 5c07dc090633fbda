// Every input the math routines refuse (a singular matrix, a line parallel to the plane)
// and every empty array call: the documented result and not one byte written.
#include "facet/math.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace facet;

constexpr unsigned char kUnwritten = 0xA5;

// An output area filled with a marker byte, to show that a call wrote nothing.
struct Guarded {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(1024, kUnwritten);
    template <typename T>
    T* As() {
        return reinterpret_cast<T*>(bytes.data());
    }
    bool Untouched() const {
        for (unsigned char byte : bytes)
            if (byte != kUnwritten) return false;
        return true;
    }
};

struct RefusedCall {
    std::string name;
    // Makes the call into `out` and returns whether its result is the documented one.
    std::function<bool(Guarded& out)> call;
};

Matrix4 Zero() {
    Matrix4 m;
    std::memset(&m, 0, sizeof m);
    return m;
}

Matrix4 TwoEqualRows() {
    Matrix4 m = Zero();
    const float rows[4][4] = {{1, 2, 3, 4}, {1, 2, 3, 4}, {0, 1, 0, 0}, {0, 0, 1, 1}};
    std::memcpy(&m, rows, sizeof rows);
    return m;
}

TEST(RefusedInput, SingularParallelAndEmptyCallsWriteNothing) {
    static const Matrix4 kZero = Zero();
    static const Matrix4 kSingular = TwoEqualRows();
    static const Viewport kViewport{0, 0, 640, 480, 0.0f, 1.0f};
    static const Vector3 kPoints[2] = {{1, 2, 3}, {4, 5, 6}};
    static const Plane kGround{0.0f, 1.0f, 0.0f, 0.0f};
    static const Vector3 kLevelA{0, 5, 0}, kLevelB{3, 5, 7};  // a line parallel to the ground
    static const float kFloats[2] = {1.0f, 2.0f};
    static const std::uint16_t kHalves[2] = {0x3C00, 0x4000};
    static const Plane kPlanes[2] = {{1, 0, 0, 1}, {0, 1, 0, 2}};
    static const Vector2 kPoints2[2] = {{1, 2}, {3, 4}};
    static const Vector4 kPoints4[2] = {{1, 2, 3, 1}, {4, 5, 6, 1}};
    const Matrix4* identity = nullptr;

    const std::vector<RefusedCall> calls = {
        {"MatrixInverse of the zero matrix",
         [](Guarded& out) {
             float determinant = 1.0f;
             return MatrixInverse(out.As<Matrix4>(), &determinant, &kZero) == nullptr && determinant == 0.0f;
         }},
        {"MatrixInverse of two equal rows, no determinant out",
         [](Guarded& out) { return MatrixInverse(out.As<Matrix4>(), nullptr, &kSingular) == nullptr; }},
        {"Vec3Unproject through a singular projection",
         [&](Guarded& out) {
             return Vec3Unproject(out.As<Vector3>(), &kPoints[0], &kViewport, &kZero, identity, identity) == nullptr;
         }},
        {"Vec3Unproject through a singular world",
         [&](Guarded& out) {
             return Vec3Unproject(out.As<Vector3>(), &kPoints[0], nullptr, identity, identity, &kSingular) == nullptr;
         }},
        {"Vec3UnprojectArray through a singular view",
         [&](Guarded& out) {
             return Vec3UnprojectArray(out.As<Vector3>(), sizeof(Vector3), kPoints, sizeof(Vector3), &kViewport,
                                       identity, &kZero, identity, 2) == nullptr;
         }},
        {"PlaneIntersectLine parallel to the plane",
         [](Guarded& out) { return PlaneIntersectLine(out.As<Vector3>(), &kGround, &kLevelA, &kLevelB) == nullptr; }},
        {"PlaneIntersectLine of a point",
         [](Guarded& out) { return PlaneIntersectLine(out.As<Vector3>(), &kGround, &kLevelA, &kLevelA) == nullptr; }},
        // Empty arrays: the output pointer comes back and nothing is written.
        {"Float32To16Array of 0",
         [](Guarded& out) {
             auto* result = out.As<std::uint16_t>();
             return Float32To16Array(result, kFloats, 0) == result;
         }},
        {"Float16To32Array of 0",
         [](Guarded& out) {
             auto* result = out.As<float>();
             return Float16To32Array(result, kHalves, 0) == result;
         }},
        {"Vec2TransformArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Vector4>();
             return Vec2TransformArray(result, sizeof(Vector4), kPoints2, sizeof(Vector2), &kSingular, 0) == result;
         }},
        {"Vec2TransformCoordArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Vector2>();
             return Vec2TransformCoordArray(result, sizeof(Vector2), kPoints2, sizeof(Vector2), &kSingular, 0) ==
                    result;
         }},
        {"Vec2TransformNormalArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Vector2>();
             return Vec2TransformNormalArray(result, sizeof(Vector2), kPoints2, sizeof(Vector2), &kSingular, 0) ==
                    result;
         }},
        {"Vec3TransformArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Vector4>();
             return Vec3TransformArray(result, sizeof(Vector4), kPoints, sizeof(Vector3), &kSingular, 0) == result;
         }},
        {"Vec3TransformCoordArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Vector3>();
             return Vec3TransformCoordArray(result, sizeof(Vector3), kPoints, sizeof(Vector3), &kSingular, 0) ==
                    result;
         }},
        {"Vec3TransformNormalArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Vector3>();
             return Vec3TransformNormalArray(result, sizeof(Vector3), kPoints, sizeof(Vector3), &kSingular, 0) ==
                    result;
         }},
        {"Vec4TransformArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Vector4>();
             return Vec4TransformArray(result, sizeof(Vector4), kPoints4, sizeof(Vector4), &kSingular, 0) == result;
         }},
        {"Vec3ProjectArray of 0",
         [&](Guarded& out) {
             auto* result = out.As<Vector3>();
             return Vec3ProjectArray(result, sizeof(Vector3), kPoints, sizeof(Vector3), &kViewport, identity,
                                     identity, identity, 0) == result;
         }},
        {"PlaneTransformArray of 0",
         [](Guarded& out) {
             auto* result = out.As<Plane>();
             return PlaneTransformArray(result, sizeof(Plane), kPlanes, sizeof(Plane), &kSingular, 0) == result;
         }},
    };
    for (const RefusedCall& refused : calls) {
        Guarded out;
        EXPECT_TRUE(refused.call(out)) << refused.name;
        EXPECT_TRUE(out.Untouched()) << refused.name;
    }
}

}  // namespace
