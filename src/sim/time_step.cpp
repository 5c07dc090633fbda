// SpringBody::Step: one semi-implicit Euler step in two passes, gravity with ground
// contact first, then the springs. Every operation is single precision, rounded at each
// vector operation, so runs are reproducible bit for bit.
#include "sim/spring_body.h"

namespace sim {

namespace {

constexpr float kBounce = 0.9f;

}  // namespace

void ApplyGravityAndGround(MassPoint& point, float dt) {
    const float m = point.mass;
    const Vector3& force = point.force;
    const Vector3 p = point.position;
    const Vector3 v = point.velocity;

    const Vector3 vNext = v + (force * dt) / m;
    const Vector3 pNext = p + vNext * dt;
    if (!(pNext.y < 0.0f)) {
        point.velocity = vNext;
        point.position = pNext;
        return;
    }

    // A mass already below the ground that does not move vertically would give 0/0 or
    // x/0; it is treated as touching the ground at the start of the step.
    const float drop = p.y - pNext.y;
    const float tHit = drop != 0.0f ? dt * p.y / drop : 0.0f;
    const Vector3 vHit = v + (force * tHit) / m;
    const Vector3 pHit = p + vHit * tHit;
    const Vector3 vBounced{kBounce * vHit.x, -kBounce * vHit.y, kBounce * vHit.z};
    const float tRest = dt - tHit;
    const Vector3 vEnd = vBounced + (force * tRest) / m;
    point.velocity = vEnd;
    point.position = pHit + vEnd * tRest;
}

void SpringBody::Step(float dt) {
    // Gravity pass: the masses do not affect one another.
    for (std::int32_t i = 0; i < massCount; ++i) ApplyGravityAndGround(masses[i], dt);

    // Spring pass: each mass is stored before the next is computed, so mass i sees the
    // lower indices already at their new state.
    for (std::int32_t i = 0; i < massCount; ++i) {
        const MassState next = ComputeMassState(i, dt);
        masses[i].velocity = next.velocity;
        masses[i].position = next.position;
    }
}

}  // namespace sim
