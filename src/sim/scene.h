// The one scene the demo shows: a tetrahedron of four masses and six springs, at rest,
// its base at a drop height drawn from a fixed pseudo-random sequence (60 to 149; the
// first body falls from 101, the following ones from 77, 94, 100, 149, ...).
#pragma once

#include "sim/spring_body.h"

#include <cstdint>

namespace sim {

constexpr std::int32_t kSceneMassCount = 4;
constexpr std::int32_t kSceneSpringCount = 6;

// The fixed simulation step every rendered frame advances the body by, whatever the
// frame rate.
constexpr float kStepSeconds = 0.01f;

// The pseudo-random generator behind the drop heights: state 1 at start-up, never
// reseeded.
struct DropHeightSequence {
    std::uint32_t randomState = 1;

    // Advances the state and returns bits 16 to 30 of it, 0 .. 32767.
    std::uint32_t NextRandom();
    // Draws the next drop height: a whole number from 60 to 149.
    float NextHeight();
};

// Builds the tetrahedron into an empty body: apex 30 above the base centroid, base
// triangle at `height`, link slot 0 of every base mass its link to the apex. The body's
// energy as built becomes its energy budget.
void BuildTetrahedron(SpringBody* body, float height);

}  // namespace sim
