// The simulated body: point masses joined by springs, and a link list on every mass
// naming the springs that act on it. Data and arithmetic only; drawing the springs is the
// renderer's business.
//
// A body is built in a fixed order: Create, then SetMass for every mass, SetLink for
// every link slot, and SetSpring for every spring (a spring's rest length is the distance
// of its masses at that moment). Setters ignore an index outside its range. Whoever
// builds the body keeps the link lists consistent with the springs.
//
// A failed allocation leaves the affected array empty (count 0, no storage), so a
// damaged body is simply not stepped instead of being touched through a null pointer.
// The arrays are allocated without exceptions (new (std::nothrow)) for that reason.
#pragma once

#include "facet/types.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace sim {

using facet::Vector3;

// One entry of a mass's link list: a spring acting on the mass and the mass at its
// other end.
struct MassLink {
    std::int32_t spring;
    std::int32_t otherMass;
};

struct MassPoint {
    float mass = 1.0f;
    Vector3 position;  // set by SpringBody::SetMass
    Vector3 velocity{0.0f, 0.0f, 0.0f};
    Vector3 force{0.0f, -9.8f, 0.0f};  // constant external force, applied by the gravity pass
    std::int32_t linkCount = 0;
    std::unique_ptr<MassLink[]> links;

    // Replaces the link list by `count` unset entries; an allocation failure leaves an
    // empty list.
    void AllocateLinks(std::int32_t count);
    void SetLink(std::int32_t slot, std::int32_t springIndex, std::int32_t otherMass);
};

struct Spring {
    std::int32_t massA;
    std::int32_t massB;
    float restLength;
    float stiffness = 40.0f;
    float damping = 0.05f;
};

// The result of one mass's spring update.
struct MassState {
    Vector3 position;
    Vector3 velocity;
};

class SpringBody {
public:
    std::int32_t massCount = 0;
    std::int32_t springCount = 0;
    std::unique_ptr<MassPoint[]> masses;
    std::unique_ptr<Spring[]> springs;
    // The energy budget: the mechanical energy the body was built with (none: no budget),
    // and how many steps have had to scale its velocities back down to it.
    std::optional<double> startEnergy;
    std::int64_t energyBudgetActivations = 0;

    // Allocates the masses and springs with their defaults.
    void Create(std::int32_t massCount, std::int32_t springCount);
    void SetMass(std::int32_t index, std::int32_t linkCount, const Vector3& position);
    void SetLink(std::int32_t massIndex, std::int32_t slot, std::int32_t springIndex, std::int32_t otherMass);
    void SetSpring(std::int32_t index, std::int32_t massA, std::int32_t massB);

    // True when the mass and spring arrays exist, so Step may run.
    bool CanStep() const;
    // Advances the body by `dt` seconds: the gravity pass with ground contact over every
    // mass, then the spring pass over every mass in index order, then the energy budget
    // when the body has one: if the mechanical energy exceeds startEnergy, every velocity
    // is scaled by one factor that brings it back (to zero when the heights alone exceed
    // it). A step that stays within the budget is left bit for bit as the passes made it.
    void Step(float dt);
    // Kinetic energy plus the potential energy of every mass's constant force, heights
    // measured from the ground plane; summed in double from the float state.
    double MechanicalEnergy() const;
    // The spring pass's update of mass i from the body's current state: returns its new
    // position and velocity. Lifts the mass onto the ground first if it starts below it.
    MassState ComputeMassState(std::int32_t i, float dt);
};

// The gravity pass's update of one mass: one semi-implicit Euler update of length `dt`
// under its constant force. When the path from p to p' crosses the ground (p'.y < 0;
// exactly 0 is no crossing) the mass is moved to the crossing, its velocity there is
// reflected vertically and every component loses a tenth, and the rest of the step runs
// from there.
void ApplyGravityAndGround(MassPoint& point, float dt);

}  // namespace sim
