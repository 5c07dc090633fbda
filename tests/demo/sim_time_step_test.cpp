// The time step: the gravity pass's ground contact, the two-pass order, the scene's fall,
// bounce and rest, and a golden hash that pins every bit of the arithmetic.
#include "sim/scene.h"
#include "sim/spring_body.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using facet::Vector3;
using sim::SpringBody;

constexpr float kDt = 0.01f;

void Place(sim::MassPoint& point, Vector3 position, Vector3 velocity) {
    point.position = position;
    point.velocity = velocity;
}

// The first step (1-based) after which some mass moves upward.
int FirstUpwardStep(SpringBody& body, int limit) {
    for (int step = 1; step <= limit; ++step) {
        body.Step(kDt);
        for (int i = 0; i < body.massCount; ++i)
            if (body.masses[i].velocity.y > 0.0f) return step;
    }
    return -1;
}

TEST(GravityPass, WorkedContactExampleBouncesAndLosesATenth) {
    sim::MassPoint point;
    Place(point, {0.0f, 0.005f, 0.0f}, {2.0f, -1.0f, 0.0f});
    sim::ApplyGravityAndGround(point, kDt);
    EXPECT_NEAR(point.velocity.x, 1.8f, 1e-6f);
    EXPECT_NEAR(point.velocity.y, 0.886791f, 1e-5f);
    EXPECT_EQ(point.velocity.z, 0.0f);
    EXPECT_NEAR(point.position.x, 0.0189107f, 1e-6f);
    EXPECT_NEAR(point.position.y, 0.0050727f, 1e-6f);
}

TEST(GravityPass, HeightOfExactlyZeroIsNoContact) {
    // v' = -0.5 + (-0.098) would leave y at 0.00598 - 0.00598: choose values that land
    // exactly on 0 in float arithmetic.
    sim::MassPoint point;
    Place(point, {0.0f, 0.25f, 0.0f}, {0.0f, 0.0f, 0.0f});
    point.force = {0.0f, -2500.0f, 0.0f};  // v' = -25, p' = 0.25 - 0.25 = 0
    sim::ApplyGravityAndGround(point, kDt);
    EXPECT_EQ(point.position.y, 0.0f);
    EXPECT_EQ(point.velocity.y, -25.0f);
}

TEST(GravityPass, MassBelowGroundThatKeepsSinkingCrossesBeforeTheStep) {
    sim::MassPoint point;
    Place(point, {0.0f, -0.5f, 0.0f}, {0.0f, -1.0f, 0.0f});
    sim::ApplyGravityAndGround(point, kDt);
    // p'.y = -0.51098, so tHit = -0.455373: running back to the crossing gives
    // vHit.y = 3.462659, bounced to -3.116393, then a rest interval of 0.465373.
    EXPECT_NEAR(point.velocity.y, -7.677049f, 1e-4f);
    EXPECT_NEAR(point.position.y, -5.649493f, 1e-4f);
}

TEST(GravityPass, NoVerticalMotionBelowGroundTouchesAtTheStart) {
    sim::MassPoint point;
    Place(point, {1.0f, -0.5f, 0.0f}, {1.0f, 0.0f, 0.0f});
    point.velocity.y = -((point.force * kDt) / point.mass).y;  // v'.y is exactly 0: p'.y = p.y
    const float vy = point.velocity.y;
    sim::ApplyGravityAndGround(point, kDt);
    // tHit = 0: the start velocity is bounced and the whole step follows from there.
    EXPECT_FLOAT_EQ(point.velocity.x, 0.9f);
    EXPECT_FLOAT_EQ(point.velocity.y, -0.9f * vy - 0.098f);
    EXPECT_TRUE(std::isfinite(point.position.y));
    EXPECT_LT(point.position.y, -0.5f);
}

TEST(TimeStep, FirstStepAfterBuildMovesTheApexTwiceAndTheBaseSlightlyFaster) {
    SpringBody body;
    sim::BuildTetrahedron(&body, 101.0f);
    body.Step(kDt);
    const sim::MassPoint& apex = body.masses[0];
    EXPECT_EQ(apex.velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(apex.velocity.y, -0.098f);
    EXPECT_EQ(apex.velocity.z, 0.0f);
    EXPECT_NEAR(131.0f - apex.position.y, 0.00196f, 2e-5f);
    for (int i = 1; i < 4; ++i) {
        const sim::MassPoint& base = body.masses[i];
        EXPECT_NEAR(base.velocity.y, -0.0983f, 5e-5f) << i;
        EXPECT_LT(base.velocity.y, -0.098f) << i;
        EXPECT_LT(std::fabs(base.velocity.x), 1e-3f) << i;
        EXPECT_LT(std::fabs(base.velocity.z), 1e-3f) << i;
    }
}

TEST(TimeStep, SceneFirstBouncesAtStep288AndAtStep322WithoutSpringForces) {
    SpringBody body;
    sim::BuildTetrahedron(&body, 101.0f);
    EXPECT_EQ(FirstUpwardStep(body, 1000), 288);

    SpringBody loose;
    sim::BuildTetrahedron(&loose, 101.0f);
    for (int s = 0; s < loose.springCount; ++s) {
        loose.springs[s].stiffness = 0.0f;
        loose.springs[s].damping = 0.0f;
    }
    EXPECT_EQ(FirstUpwardStep(loose, 1000), 322);
}

TEST(TimeStep, SceneSettlesWithTheApexAboveAndTheBaseJustBelowTheGround) {
    SpringBody body;
    sim::BuildTetrahedron(&body, 101.0f);
    for (int step = 0; step < 5000; ++step) body.Step(kDt);
    EXPECT_NEAR(body.masses[0].position.y, 29.87f, 0.01f);
    for (int i = 1; i < 4; ++i) EXPECT_NEAR(body.masses[i].position.y, -0.001f, 0.0005f) << i;
}

std::uint64_t Fnv1a64(const void* data, std::size_t size, std::uint64_t hash) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001B3ull;
    }
    return hash;
}

TEST(TimeStep, GoldenHashAfterTenThousandSteps) {
    SpringBody body;
    sim::BuildTetrahedron(&body, 101.0f);
    for (int step = 0; step < 10000; ++step) body.Step(kDt);
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (int i = 0; i < body.massCount; ++i) {
        hash = Fnv1a64(&body.masses[i].position, sizeof(Vector3), hash);
        hash = Fnv1a64(&body.masses[i].velocity, sizeof(Vector3), hash);
    }
    EXPECT_EQ(hash, 0x41B2A433B9AC130Full);
}

}  // namespace
