// The energy budget at the end of the step: a body that gains energy from the step is
// held to the energy it started with and settles, while every drop height that never
// reaches the budget is left exactly as the two passes move it.
#include "sim/scene.h"
#include "sim/spring_body.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

using facet::Vector3;
using sim::SpringBody;

constexpr float kDt = 0.01f;
constexpr int kSteps = 50'000;
constexpr int kSettleWindow = 1'000;
constexpr float kFloor = -1.0f;
constexpr float kHeadroomAboveDrop = 40.0f;
constexpr float kTopDropHeight = 149.0f;

struct RunSummary {
    bool finite = true;
    float lowestY = INFINITY;
    float highestY = -INFINITY;
    double highestEnergyRatio = 0.0;  // of E / E0 after a step
    int lastActivationStep = 0;       // 0: the budget never acted
    float settleMovement = 0.0f;      // largest distance a mass moved over the last window
};

RunSummary RunScene(float height) {
    SpringBody body;
    sim::BuildTetrahedron(&body, height);
    RunSummary summary;
    Vector3 windowStart[sim::kSceneMassCount];
    for (int step = 1; step <= kSteps; ++step) {
        const auto activations = body.energyBudgetActivations;
        body.Step(kDt);
        if (body.energyBudgetActivations != activations) summary.lastActivationStep = step;
        summary.highestEnergyRatio = std::max(summary.highestEnergyRatio, body.MechanicalEnergy() / *body.startEnergy);
        for (int i = 0; i < body.massCount; ++i) {
            const Vector3& p = body.masses[i].position;
            const Vector3& v = body.masses[i].velocity;
            summary.finite = summary.finite && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) &&
                             std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
            summary.lowestY = std::min(summary.lowestY, p.y);
            summary.highestY = std::max(summary.highestY, p.y);
            if (step == kSteps - kSettleWindow) windowStart[i] = p;
            if (step == kSteps) summary.settleMovement = std::max(summary.settleMovement, (p - windowStart[i]).Length());
        }
    }
    return summary;
}

void ExpectBounded(const RunSummary& run, float height) {
    EXPECT_TRUE(run.finite) << height;
    EXPECT_GE(run.lowestY, kFloor) << height;
    EXPECT_LE(run.highestY, height + kHeadroomAboveDrop) << height;
}

TEST(EnergyBudget, TopDropHeightStaysFiniteBoundedAndSettles) {
    const RunSummary run = RunScene(kTopDropHeight);
    ExpectBounded(run, kTopDropHeight);
    EXPECT_GT(run.lastActivationStep, 0);
    EXPECT_LT(run.lastActivationStep, kSteps - kSettleWindow);
    EXPECT_LE(run.settleMovement, 0.1f);
    // Scaling rounds each velocity to float, so the energy lands within rounding of E0.
    EXPECT_LT(run.highestEnergyRatio, 1.000001);
    std::printf("energy budget, drop height 149: last activation at step %d, movement over steps %d .. %d: %.6g, "
                "y from %.6g to %.6g\n",
                run.lastActivationStep, kSteps - kSettleWindow, kSteps, run.settleMovement, run.lowestY, run.highestY);
}

TEST(EnergyBudget, NoOtherDropHeightEverReachesIt) {
    double highestRatio = 0.0;
    for (int h = 60; h < 149; ++h) {
        const float height = static_cast<float>(h);
        const RunSummary run = RunScene(height);
        ExpectBounded(run, height);
        EXPECT_EQ(run.lastActivationStep, 0) << height;
        highestRatio = std::max(highestRatio, run.highestEnergyRatio);
    }
    std::printf("energy budget, drop heights 60 .. 148: highest E/E0 after a step %.9f\n", highestRatio);
}

// Two bodies stepped alike, one without a budget, show what the two passes alone would
// have made of the same step.
struct TwinBodies {
    SpringBody held;
    SpringBody free;

    TwinBodies(int stepsBefore, void (*disturb)(SpringBody&)) {
        sim::BuildTetrahedron(&held, 101.0f);
        sim::BuildTetrahedron(&free, 101.0f);
        free.startEnergy.reset();
        for (int step = 0; step < stepsBefore; ++step) {
            held.Step(kDt);
            free.Step(kDt);
        }
        disturb(held);
        disturb(free);
        held.Step(kDt);
        free.Step(kDt);
    }
};

TEST(EnergyBudget, ExtraEnergyIsTakenOutOfTheVelocitiesByOneFactor) {
    TwinBodies twins(300, [](SpringBody& body) { body.masses[2].velocity.y += 80.0f; });
    // The budget is the built body's weight times height: 9.8 x (4 x 101 + 30).
    EXPECT_NEAR(*twins.held.startEnergy, 4253.2, 1e-3);
    ASSERT_EQ(twins.held.energyBudgetActivations, 1);
    EXPECT_NEAR(twins.held.MechanicalEnergy() / *twins.held.startEnergy, 1.0, 1e-6);
    const float factor = twins.held.masses[2].velocity.y / twins.free.masses[2].velocity.y;
    EXPECT_GT(factor, 0.0f);
    EXPECT_LT(factor, 1.0f);
    for (int i = 0; i < 4; ++i) {
        const sim::MassPoint& held = twins.held.masses[i];
        const sim::MassPoint& free = twins.free.masses[i];
        EXPECT_EQ(held.position.x, free.position.x) << i;
        EXPECT_EQ(held.position.y, free.position.y) << i;
        EXPECT_EQ(held.position.z, free.position.z) << i;
        EXPECT_EQ(held.velocity.x, free.velocity.x * factor) << i;
        EXPECT_FLOAT_EQ(held.velocity.y, free.velocity.y * factor) << i;
        EXPECT_EQ(held.velocity.z, free.velocity.z * factor) << i;
    }
}

TEST(EnergyBudget, HeightAboveTheBudgetStopsEveryMass) {
    TwinBodies lifted(50, [](SpringBody& body) {
        for (int i = 0; i < body.massCount; ++i) body.masses[i].position.y += 100.0f;
    });
    EXPECT_EQ(lifted.held.energyBudgetActivations, 1);
    for (int i = 0; i < 4; ++i) {
        const Vector3& v = lifted.held.masses[i].velocity;
        EXPECT_TRUE(v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) << i;
        EXPECT_EQ(lifted.held.masses[i].position.y, lifted.free.masses[i].position.y) << i;
    }
}

}  // namespace
