// SpringBody::Step: one semi-implicit Euler step in two passes, gravity with ground
// contact first, then the springs, then the energy budget. Every operation of the passes
// is single precision, rounded at each vector operation, so runs are reproducible bit for
// bit; the budget measures in double and writes only when it acts.
#include "sim/spring_body.h"

#include <cmath>

namespace sim {

namespace {

constexpr float kBounce = 0.9f;

struct Energy {
    double kinetic = 0.0;
    double potential = 0.0;
};

// Kinetic energy, and the work each constant force does on the way from the mass's
// position to the origin: for gravity, weight times height above the ground plane.
Energy MeasureEnergy(const SpringBody& body) {
    Energy energy;
    for (std::int32_t i = 0; i < body.massCount; ++i) {
        const MassPoint& point = body.masses[i];
        const double vx = point.velocity.x, vy = point.velocity.y, vz = point.velocity.z;
        energy.kinetic += 0.5 * point.mass * (vx * vx + vy * vy + vz * vz);
        energy.potential -= double{point.force.x} * point.position.x + double{point.force.y} * point.position.y +
                            double{point.force.z} * point.position.z;
    }
    return energy;
}

// Scales every velocity by one factor so that the energy comes back down to the budget;
// when the heights alone exceed it, every mass stops.
void ApplyEnergyBudget(SpringBody& body) {
    const Energy energy = MeasureEnergy(body);
    const double budget = *body.startEnergy;
    if (!(energy.kinetic + energy.potential > budget)) return;
    ++body.energyBudgetActivations;
    const double factor = energy.potential < budget ? std::sqrt((budget - energy.potential) / energy.kinetic) : 0.0;
    const float scale = static_cast<float>(factor);
    for (std::int32_t i = 0; i < body.massCount; ++i) {
        Vector3& velocity = body.masses[i].velocity;
        // Zero is stored rather than multiplied in, so no component keeps a sign or a NaN.
        velocity = scale > 0.0f ? velocity * scale : Vector3{0.0f, 0.0f, 0.0f};
    }
}

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

double SpringBody::MechanicalEnergy() const {
    const Energy energy = MeasureEnergy(*this);
    return energy.kinetic + energy.potential;
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

    // Energy budget: the sequential spring pass can feed a hard-hit body energy without
    // bound, and a damped body released at rest may never end with more than it had.
    if (startEnergy) ApplyEnergyBudget(*this);
}

}  // namespace sim
