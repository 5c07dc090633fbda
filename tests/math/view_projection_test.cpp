// The look-at and perspective matrices and the float comparison, at their worked examples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "facet/dispatch.h"
#include "facet/math.h"

namespace facet {
namespace {

std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof(b));
    return b;
}

TEST(NearlyEqual, AcceptsDifferencesUpToTwoToTheMinus23BothWays) {
    const float epsilon = std::ldexp(1.0f, -23);
    EXPECT_EQ(NearlyEqual(1.0f + epsilon, 1.0f), 1);
    EXPECT_EQ(NearlyEqual(1.0f, 1.0f + epsilon), 1);
    EXPECT_EQ(NearlyEqual(0.0f, std::nextafter(epsilon, 1.0f)), 0);
    EXPECT_EQ(NearlyEqual(std::nextafter(epsilon, 1.0f), 0.0f), 0);
    EXPECT_EQ(NearlyEqual(std::nanf(""), 1.0f), 0);
    EXPECT_EQ(NearlyEqual(INFINITY, INFINITY), 0);  // inf - inf is NaN
}

// The worked examples hold exactly for the portable normalisation; the processor variants
// normalise to within their own accuracy.
void UsePortableRoutines() { DispatchTable = PortableTable; }

TEST(MatrixLookAtLH, LookingDownZFromMinusFiveIsTheIdentityMovedByFive) {
    UsePortableRoutines();
    const Vector3 eye{0, 0, -5}, at{0, 0, 0}, up{0, 1, 0};
    Matrix4 m;
    EXPECT_EQ(MatrixLookAtLH(&m, &eye, &at, &up), &m);
    const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -0.0f, -0.0f, 5, 1};
    for (int k = 0; k < 16; ++k) EXPECT_EQ(Bits((&m._11)[k]), Bits(expected[k])) << "element " << k;
}

TEST(MatrixLookAtLH, DegenerateDirectionsGiveZeroAxes) {
    UsePortableRoutines();
    Matrix4 m;
    const Vector3 eye{1, 2, 3}, up{0, 1, 0};
    MatrixLookAtLH(&m, &eye, &eye, &up);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(m.m[r][c], 0.0f) << r << "," << c;
    }
    EXPECT_EQ(m._44, 1.0f);

    // up parallel to the view direction: the x and y columns vanish, z stays.
    const Vector3 at{1, 7, 3};
    MatrixLookAtLH(&m, &eye, &at, &up);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(m.m[r][0], 0.0f);
        EXPECT_EQ(m.m[r][1], 0.0f);
    }
    EXPECT_EQ(m._23, 1.0f);
    EXPECT_EQ(m._43, -2.0f);
}

TEST(MatrixLookAtLH, RowsAreOrthonormalAndMoveEyeToOrigin) {
    const Vector3 eye{-150, 80, -150}, at{0, 10, 0}, up{0, 1, 0};  // through the detected family
    Matrix4 m;
    MatrixLookAtLH(&m, &eye, &at, &up);
    Vector4 p{eye.x, eye.y, eye.z, 1}, moved;
    Vec4Transform(&moved, &p, &m);
    EXPECT_NEAR(moved.x, 0.0f, 1e-4f);
    EXPECT_NEAR(moved.y, 0.0f, 1e-4f);
    EXPECT_NEAR(moved.z, 0.0f, 1e-4f);
    for (int c = 0; c < 3; ++c) {
        const float lenSq = m.m[0][c] * m.m[0][c] + m.m[1][c] * m.m[1][c] + m.m[2][c] * m.m[2][c];
        EXPECT_NEAR(lenSq, 1.0f, 1e-5f);
    }
}

TEST(MatrixPerspectiveFovLH, QuarterPiExampleHasTheStatedBits) {
    float fovy;
    const std::uint32_t fovyBits = 0x3F490FDB;
    std::memcpy(&fovy, &fovyBits, sizeof(fovy));
    Matrix4 m;
    EXPECT_EQ(MatrixPerspectiveFovLH(&m, fovy, 1.0f, 1.0f, 10000.0f), &m);
    EXPECT_FLOAT_EQ(m._11, 2.4142134f);
    EXPECT_EQ(Bits(m._11), Bits(m._22));
    EXPECT_EQ(m._33, 1.000100016593933f);
    EXPECT_EQ(m._34, 1.0f);
    EXPECT_EQ(m._43, -1.000100016593933f);
    EXPECT_EQ(m._44, 0.0f);
    for (int k : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13}) EXPECT_EQ((&m._11)[k], 0.0f) << k;
}

TEST(MatrixPerspectiveFovLH, DegenerateArgumentsStoreInfinitiesAsComputed) {
    Matrix4 m;
    MatrixPerspectiveFovLH(&m, 1.0f, 0.0f, 1.0f, 1.0f);
    EXPECT_TRUE(std::isinf(m._11));
    EXPECT_TRUE(std::isinf(m._33));
    EXPECT_EQ(m._34, 1.0f);
    EXPECT_EQ(m._44, 0.0f);
}

}  // namespace
}  // namespace facet
