// Vec3Normalize per variant: zero, the already-unit shortcuts, the small-length thresholds,
// and the accuracy of the x87 table-driven reciprocal square root.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "family_tables.h"
#include "math/x87_reciprocal_sqrt.h"

namespace facet {
namespace {

using Normalize = decltype(&Vec3Normalize);

std::uint32_t Bits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof(b));
    return b;
}
float FromBits(std::uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof(f));
    return f;
}

Normalize Variant(const char* name) {
    for (const auto& family : testing::AllFamilyTables()) {
        if (family.name == name) return family.table.routines.Vec3Normalize;
    }
    return nullptr;
}

const char* const kVariants[] = {"x87", "3dnow", "sse", "sse2"};

bool SameBits(const Vector3& a, const Vector3& b) { return std::memcmp(&a, &b, sizeof(Vector3)) == 0; }

TEST(Vec3Normalize, PortableExampleAndAliasing) {
    const Normalize portable = PortableTable.routines.Vec3Normalize;
    Vector3 v{0, -1, -1};
    EXPECT_EQ(portable(&v, &v), &v);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.y, -0.70710677f);
    EXPECT_EQ(v.z, -0.70710677f);
}

TEST(Vec3Normalize, ZeroGivesZeroInEveryVariant) {
    const Vector3 zero{0, 0, 0};
    Vector3 out{5, 5, 5};
    PortableTable.routines.Vec3Normalize(&out, &zero);
    EXPECT_TRUE(SameBits(out, zero));
    for (const char* name : kVariants) {
        const Normalize routine = Variant(name);
        if (routine == nullptr) continue;
        out = {5, 5, 5};
        EXPECT_EQ(routine(&out, &zero), &out);
        EXPECT_EQ(out.x, 0.0f) << name;
        EXPECT_EQ(out.y, 0.0f) << name;
        EXPECT_EQ(out.z, 0.0f) << name;
    }
}

TEST(Vec3Normalize, PortableCopiesVectorsWithinTwoToTheMinus23OfUnitLength) {
    const Vector3 nearlyUnit{0.99999994f, 0, 0};  // squared length 1 - 2^-23
    Vector3 out;
    PortableTable.routines.Vec3Normalize(&out, &nearlyUnit);
    EXPECT_TRUE(SameBits(out, nearlyUnit));
    // The exact variants rescale it to 1.
    Variant("3dnow")(&out, &nearlyUnit);
    EXPECT_EQ(out.x, 1.0f);
    for (const char* name : {"sse", "sse2"}) {
        if (Normalize routine = Variant(name)) {
            routine(&out, &nearlyUnit);
            EXPECT_NEAR(out.x, 1.0f, 2e-7f) << name;
        }
    }
}

TEST(Vec3Normalize, X87CopiesVectorsWithinItsWiderThreshold) {
    const Normalize x87 = Variant("x87");
    const Vector3 within{1.000004f, 0, 0};  // squared length about 1 + 8e-6
    Vector3 out;
    x87(&out, &within);
    EXPECT_TRUE(SameBits(out, within));
    PortableTable.routines.Vec3Normalize(&out, &within);
    EXPECT_FALSE(SameBits(out, within));

    const Vector3 beyond{1.000006f, 0, 0};  // squared length about 1 + 1.2e-5
    x87(&out, &beyond);
    EXPECT_NEAR(out.x, 1.0f, 2e-6f);
}

TEST(Vec3Normalize, SquaredLengthOf1e20IsZeroForSseButAUnitVectorElsewhere) {
    const Vector3 tiny{1e-10f, 0, 0};
    Vector3 out;
    PortableTable.routines.Vec3Normalize(&out, &tiny);
    EXPECT_EQ(out.x, 1.0f);
    for (const char* name : {"x87", "3dnow"}) {
        Variant(name)(&out, &tiny);
        EXPECT_NEAR(out.x, 1.0f, 2e-6f) << name;
    }
    for (const char* name : {"sse", "sse2"}) {
        if (Normalize routine = Variant(name)) {
            routine(&out, &tiny);
            EXPECT_EQ(out.x, 0.0f) << name;
        }
    }
}

TEST(Vec3Normalize, SseThresholdIsTwoToTheMinus46AndNaNGivesZero) {
    const Normalize sse2 = Variant("sse2");
    if (sse2 == nullptr) GTEST_SKIP() << "no SSE2 family on this host";
    Vector3 out;
    const Vector3 atThreshold{std::ldexp(1.0f, -23), 0, 0};  // squared length exactly 2^-46
    sse2(&out, &atThreshold);
    EXPECT_NEAR(out.x, 1.0f, 1e-6f);
    const Vector3 below{std::nextafter(std::ldexp(1.0f, -23), 0.0f), 0, 0};
    sse2(&out, &below);
    EXPECT_EQ(out.x, 0.0f);
    const Vector3 nan{std::nanf(""), 1, 1};
    sse2(&out, &nan);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    PortableTable.routines.Vec3Normalize(&out, &nan);
    EXPECT_EQ(out.y, 0.0f);
}

TEST(X87ReciprocalSqrt, FirstEntryIsFixedAndTheTableMeetsItsAccuracyOnEveryFloatInHalfToTwo) {
    EXPECT_EQ(x87::kReciprocalSqrtTable[0].slope, -1.41009521484375f);
    EXPECT_EQ(x87::kReciprocalSqrtTable[0].intercept, 2.1192612648010254f);
    EXPECT_NEAR(x87::TableReciprocalSqrt(0.5f), 1.4142137f, 1e-7f);
    // The fixed first piece itself peaks at 1.53e-6 (near m = 0.50097); every computed piece
    // stays within 1.5e-6.
    double worstFirstPiece = 0.0, worst = 0.0;
    for (std::uint32_t b = Bits(0.5f); b < Bits(2.0f); ++b) {
        const float x = FromBits(b);
        const double exact = 1.0 / std::sqrt(static_cast<double>(x));
        const double error = std::fabs(x87::TableReciprocalSqrt(x) - exact) / exact;
        double& bucket = ((b >> 15) & 0x1FFu) == 0 ? worstFirstPiece : worst;
        bucket = std::max(bucket, error);
    }
    EXPECT_LE(worstFirstPiece, 1.53e-6);
    EXPECT_LE(worst, 1.5e-6);
}

TEST(X87ReciprocalSqrt, AccuracyHoldsAcrossAllNormalExponents) {
    std::mt19937 rng(7);
    double worst = 0.0;
    for (std::uint32_t exponent = 1; exponent < 255; ++exponent) {
        for (int i = 0; i < 500; ++i) {
            const float x = FromBits((exponent << 23) | (rng() & 0x7FFFFFu));
            const double exact = 1.0 / std::sqrt(static_cast<double>(x));
            const double got = x87::TableReciprocalSqrt(x);
            if (exact > 3.4e38 || exact < 1.2e-38) continue;  // result outside the normal range
            worst = std::max(worst, std::fabs(got - exact) / exact);
        }
    }
    EXPECT_LE(worst, 1.53e-6);  // the fixed first piece, as above
}

}  // namespace
}  // namespace facet
