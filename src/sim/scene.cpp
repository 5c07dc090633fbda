// Scene set-up: the drop-height sequence and the tetrahedron.
#include "sim/scene.h"

namespace sim {

namespace {

struct LinkEntry {
    std::int32_t mass, slot, spring, otherMass;
};

// Slot 0 of every base mass is its link to the apex: the force computation treats slot
// 0 specially when a mass is below the ground.
constexpr LinkEntry kLinks[] = {
    {0, 0, 0, 1}, {0, 1, 1, 2}, {0, 2, 2, 3},  //
    {1, 0, 0, 0}, {1, 1, 3, 2}, {1, 2, 5, 3},  //
    {2, 0, 1, 0}, {2, 1, 4, 3}, {2, 2, 3, 1},  //
    {3, 0, 2, 0}, {3, 1, 5, 1}, {3, 2, 4, 2},
};

struct SpringEnds {
    std::int32_t massA, massB;
};

constexpr SpringEnds kSprings[] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 3}, {3, 1}};

constexpr std::int32_t kLinksPerMass = 3;

}  // namespace

std::uint32_t DropHeightSequence::NextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return (randomState >> 16) & 0x7FFFu;
}

float DropHeightSequence::NextHeight() { return static_cast<float>(NextRandom() % 90u) + 60.0f; }

void BuildTetrahedron(SpringBody* body, float height) {
    body->Create(kSceneMassCount, kSceneSpringCount);
    body->SetMass(0, kLinksPerMass, {0.0f, height + 30.0f, 0.0f});
    body->SetMass(1, kLinksPerMass, {-15.0f, height, -10.0f});
    body->SetMass(2, kLinksPerMass, {15.0f, height, -10.0f});
    body->SetMass(3, kLinksPerMass, {0.0f, height, 20.0f});
    for (const LinkEntry& link : kLinks) body->SetLink(link.mass, link.slot, link.spring, link.otherMass);
    for (std::int32_t s = 0; s < kSceneSpringCount; ++s) body->SetSpring(s, kSprings[s].massA, kSprings[s].massB);
}

}  // namespace sim
