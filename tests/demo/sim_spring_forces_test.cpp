// The spring pass's per-mass update: elastic and damping forces, the ground correction
// of slot 0, and the decisions for degenerate springs and short link lists.
#include "sim/spring_body.h"

#include <gtest/gtest.h>

namespace {

using facet::Vector3;
using sim::SpringBody;

constexpr float kDt = 0.01f;

// Mass 0 at the origin linked (slots 0, 1, 2) to masses 1, 2, 3 on the axes at distance
// 10, every spring at its rest length, every mass moving with `velocity`.
void BuildStar(SpringBody& body, Vector3 velocity, int links = 3) {
    body.Create(4, 3);
    body.SetMass(0, links, {0.0f, 0.0f, 0.0f});
    body.SetMass(1, 1, {10.0f, 0.0f, 0.0f});
    body.SetMass(2, 1, {0.0f, 10.0f, 0.0f});
    body.SetMass(3, 1, {0.0f, 0.0f, 10.0f});
    for (int k = 0; k < links && k < 3; ++k) body.SetLink(0, k, k, k + 1);
    for (int s = 0; s < 3; ++s) {
        body.SetSpring(s, 0, s + 1);
        body.SetLink(s + 1, 0, s, 0);
    }
    for (int i = 0; i < 4; ++i) body.masses[i].velocity = velocity;
}

TEST(SpringForces, RestingSpringsAndCommonVelocityGiveNoForce) {
    SpringBody body;
    BuildStar(body, {1.0f, 2.0f, 3.0f});
    const sim::MassState next = body.ComputeMassState(0, kDt);
    EXPECT_EQ(next.velocity.x, 1.0f);
    EXPECT_EQ(next.velocity.y, 2.0f);
    EXPECT_EQ(next.velocity.z, 3.0f);
    EXPECT_FLOAT_EQ(next.position.x, 0.01f);
    EXPECT_FLOAT_EQ(next.position.z, 0.03f);
}

TEST(SpringForces, OneUnitOfStretchPullsWithForty) {
    SpringBody body;
    BuildStar(body, {0.0f, 0.0f, 0.0f});
    body.masses[1].position.x = 11.0f;
    const sim::MassState next = body.ComputeMassState(0, kDt);
    EXPECT_FLOAT_EQ(next.velocity.x, 0.4f);  // toward the other end
    EXPECT_EQ(next.velocity.y, 0.0f);
    // A compressed spring pushes apart.
    body.masses[1].position.x = 9.0f;
    EXPECT_FLOAT_EQ(body.ComputeMassState(0, kDt).velocity.x, -0.4f);
}

TEST(SpringForces, DampingActsOnTheWholeRelativeVelocity) {
    SpringBody body;
    BuildStar(body, {0.0f, 0.0f, 0.0f});
    body.masses[2].velocity = {4.0f, 0.0f, 0.0f};  // across its spring, not along it
    const sim::MassState next = body.ComputeMassState(0, kDt);
    EXPECT_FLOAT_EQ(next.velocity.x, 0.05f * 4.0f * kDt);
}

TEST(SpringForces, MassBelowGroundIsLiftedAndSlotZeroDampsAgainstRest) {
    SpringBody body;
    BuildStar(body, {0.0f, 0.0f, 0.0f});
    for (int i = 1; i < 4; ++i) body.masses[i].position.y -= 0.5f;
    body.masses[0].position.y = -0.5f;
    body.masses[0].velocity = {0.0f, -2.0f, 0.0f};
    body.masses[1].velocity = {0.0f, 100.0f, 0.0f};  // ignored: slot 0 sees the ground
    body.masses[2].velocity = {0.0f, -2.0f, 0.0f};
    body.masses[3].velocity = {0.0f, -2.0f, 0.0f};
    const sim::MassState next = body.ComputeMassState(0, kDt);
    EXPECT_EQ(body.masses[0].position.y, 0.0f);  // corrected in the body
    // Slot 0: its length was measured from -0.5, so at rest length it adds no elastic
    // force; its damping is -0.05 * v. Slots 1 and 2 then see the lifted mass: spring 1
    // is 0.5 shorter (push down 20), spring 2 0.5 longer diagonally (pull down).
    const float slot2Stretch = std::sqrt(100.0f + 0.25f) - 10.0f;
    const float slot2Down = 40.0f * slot2Stretch * (0.5f / std::sqrt(100.25f));
    const float expectedForceY = 0.1f - 20.0f - slot2Down;
    EXPECT_NEAR(next.velocity.y, -2.0f + expectedForceY * kDt, 1e-4f);
    EXPECT_NEAR(next.position.y, next.velocity.y * kDt, 1e-6f);
}

TEST(SpringForces, LinkSlotsBeyondTheThirdAreIgnored) {
    SpringBody body;
    body.Create(5, 4);
    body.SetMass(0, 4, {0.0f, 0.0f, 0.0f});
    const Vector3 ends[4] = {{10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {-10, 0, 0}};
    for (int k = 0; k < 4; ++k) {
        body.SetMass(k + 1, 1, ends[k]);
        body.SetLink(0, k, k, k + 1);
        body.SetSpring(k, 0, k + 1);
    }
    body.masses[4].position.x = -20.0f;  // stretch the fourth spring by 10
    EXPECT_EQ(body.ComputeMassState(0, kDt).velocity.x, 0.0f);
}

TEST(SpringForces, CoincidentEndsAddDampingButNoElasticForce) {
    SpringBody body;
    BuildStar(body, {0.0f, 0.0f, 0.0f});
    body.masses[1].position = body.masses[0].position;
    body.masses[1].velocity = {2.0f, 0.0f, 0.0f};
    const sim::MassState next = body.ComputeMassState(0, kDt);
    EXPECT_FLOAT_EQ(next.velocity.x, 0.05f * 2.0f * kDt);
    EXPECT_EQ(next.velocity.y, 0.0f);
}

TEST(SpringForces, FewerThanThreeLinksUseTheLinksThereAre) {
    SpringBody body;
    BuildStar(body, {0.0f, 0.0f, 0.0f}, 1);
    body.masses[1].position.x = 11.0f;
    body.masses[2].position.y = 50.0f;  // not linked from mass 0: no effect
    const sim::MassState next = body.ComputeMassState(0, kDt);
    EXPECT_FLOAT_EQ(next.velocity.x, 0.4f);
    EXPECT_EQ(next.velocity.y, 0.0f);

    SpringBody unlinked;
    BuildStar(unlinked, {1.0f, 0.0f, 0.0f}, 0);
    EXPECT_EQ(unlinked.ComputeMassState(0, kDt).velocity.x, 1.0f);
}

}  // namespace
