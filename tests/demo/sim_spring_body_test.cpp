// The spring body's records: construction defaults, setters that ignore bad indices, and
// rest lengths fixed at SetSpring time.
#include "sim/scene.h"
#include "sim/spring_body.h"

#include <gtest/gtest.h>

namespace {

using facet::Vector3;
using sim::SpringBody;

TEST(SpringBody, CreateGivesDefaultMassesAndSprings) {
    SpringBody body;
    body.Create(4, 6);
    ASSERT_EQ(body.massCount, 4);
    ASSERT_EQ(body.springCount, 6);
    for (int i = 0; i < 4; ++i) {
        const sim::MassPoint& m = body.masses[i];
        EXPECT_EQ(m.mass, 1.0f);
        EXPECT_EQ(m.velocity.x, 0.0f);
        EXPECT_EQ(m.velocity.y, 0.0f);
        EXPECT_EQ(m.velocity.z, 0.0f);
        EXPECT_EQ(m.force.x, 0.0f);
        EXPECT_EQ(m.force.y, -9.8f);
        EXPECT_EQ(m.force.z, 0.0f);
        EXPECT_EQ(m.links, nullptr);
    }
    for (int s = 0; s < 6; ++s) {
        EXPECT_EQ(body.springs[s].stiffness, 40.0f);
        EXPECT_EQ(body.springs[s].damping, 0.05f);
    }
    EXPECT_TRUE(body.CanStep());
}

TEST(SpringBody, SettersIgnoreIndicesOutOfRange) {
    SpringBody body;
    body.Create(2, 1);
    body.SetMass(0, 2, {1.0f, 2.0f, 3.0f});
    body.SetMass(1, 2, {4.0f, 2.0f, 3.0f});
    body.SetMass(2, 3, {9.0f, 9.0f, 9.0f});  // index == massCount
    body.SetMass(-1, 3, {9.0f, 9.0f, 9.0f});
    EXPECT_EQ(body.masses[0].linkCount, 2);
    EXPECT_EQ(body.masses[1].position.x, 4.0f);

    body.SetLink(0, 0, 0, 1);
    body.SetLink(0, 2, 7, 7);  // slot == linkCount
    body.SetLink(2, 0, 7, 7);  // mass index == massCount
    EXPECT_EQ(body.masses[0].links[0].spring, 0);
    EXPECT_EQ(body.masses[0].links[0].otherMass, 1);

    body.SetSpring(0, 0, 1);
    const float rest = body.springs[0].restLength;
    body.SetSpring(1, 1, 0);  // index == springCount
    EXPECT_EQ(body.springs[0].restLength, rest);
    EXPECT_EQ(body.springs[0].massA, 0);
    EXPECT_EQ(rest, 3.0f);
}

TEST(SpringBody, RestLengthIsTheDistanceAtSetSpringInEitherOrder) {
    SpringBody body;
    body.Create(2, 2);
    body.SetMass(0, 1, {0.0f, 100.0f, 0.0f});
    body.SetMass(1, 1, {-15.0f, 70.0f, -10.0f});
    body.SetSpring(0, 0, 1);
    body.SetSpring(1, 1, 0);
    EXPECT_EQ(body.springs[0].restLength, 35.0f);
    EXPECT_EQ(body.springs[1].restLength, body.springs[0].restLength);
    body.masses[1].position = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(body.springs[0].restLength, 35.0f);
}

TEST(Scene, TetrahedronRestLengthsDoNotDependOnHeight) {
    const float expected[6] = {35.0f, 35.0f, 36.055511f, 30.0f, 33.541019f, 33.541019f};
    for (float height : {60.0f, 101.0f, 149.0f}) {
        SpringBody body;
        sim::BuildTetrahedron(&body, height);
        for (int s = 0; s < 6; ++s) EXPECT_FLOAT_EQ(body.springs[s].restLength, expected[s]) << s;
        EXPECT_EQ(body.masses[0].position.y, height + 30.0f);
        EXPECT_EQ(body.masses[3].position.z, 20.0f);
        // Slot 0 of every base mass links to the apex.
        for (int i = 1; i < 4; ++i) EXPECT_EQ(body.masses[i].links[0].otherMass, 0);
        // Every link names a spring that joins the mass and the other end.
        for (int i = 0; i < 4; ++i) {
            for (int k = 0; k < 3; ++k) {
                const sim::MassLink& link = body.masses[i].links[k];
                const sim::Spring& spring = body.springs[link.spring];
                const bool joins = (spring.massA == i && spring.massB == link.otherMass) ||
                                   (spring.massB == i && spring.massA == link.otherMass);
                EXPECT_TRUE(joins) << "mass " << i << " slot " << k;
            }
        }
    }
}

TEST(Scene, DropHeightsFollowTheFixedSequence) {
    const float expected[] = {101, 77, 94, 100, 149, 124, 108, 78};
    sim::DropHeightSequence heights;
    for (float height : expected) EXPECT_EQ(heights.NextHeight(), height);
    // Each sequence starts over: two demos in one process drop the same bodies.
    EXPECT_EQ(sim::DropHeightSequence{}.NextHeight(), 101.0f);
}

}  // namespace
