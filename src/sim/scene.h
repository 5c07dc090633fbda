// The one scene the demo shows: a tetrahedron of four masses and six springs, at rest,
// its base at a drop height drawn from a fixed pseudo-random sequence (60 to 149; the
// first body falls from 101, the following ones from 77, 94, 100, 149, ...).
#pragma once

#include "sim/spring_body.h"

#include <cstdint>

namespace sim {

constexpr std::int32_t kSceneMassCount = 4;
constexpr std::int32_t kSceneSpringCount = 6;

// The pseudo-random generator (state 1 at start-up, never reseeded): advances the state
// and returns bits 16 to 30 of it, 0 .. 32767.
std::uint32_t NextSceneRandom();

// Draws the next drop height from the generator: a whole number from 60 to 149.
float NextDropHeight();

// Builds the tetrahedron into an empty body: apex 30 above the base centroid, base
// triangle at `height`, link slot 0 of every base mass its link to the apex. The body's
// energy as built becomes its energy budget.
void BuildTetrahedron(SpringBody* body, IDirect3DDevice9* device, float height);

}  // namespace sim

// The application's one body: constructed empty before start-up, rebuilt on F1, freed
// at shut-down. Null only when an allocation failed.
extern sim::SpringBody* g_body;

// Height of the current body's base above the ground; written only by BuildScene.
extern float g_dropHeight;

// Fills the empty g_body with the tetrahedron at the next drop height, on g_device.
// Needs both: with either missing nothing is built and the height sequence does not
// advance.
void BuildScene();
