// Construction, building and destruction of the spring body and its masses.
#include "sim/spring_body.h"

#include <new>

namespace sim {

void MassPoint::AllocateLinks(std::int32_t count) {
    links.reset(count > 0 ? new (std::nothrow) MassLink[count] : nullptr);
    linkCount = links != nullptr ? count : 0;
}

void MassPoint::SetLink(std::int32_t slot, std::int32_t springIndex, std::int32_t otherMass) {
    if (slot < 0 || slot >= linkCount) return;
    links[slot].spring = springIndex;
    links[slot].otherMass = otherMass;
}

void SpringBody::Create(std::int32_t newMassCount, std::int32_t newSpringCount) {
    masses.reset(newMassCount > 0 ? new (std::nothrow) MassPoint[newMassCount] : nullptr);
    massCount = masses != nullptr ? newMassCount : 0;
    springs.reset(newSpringCount > 0 ? new (std::nothrow) Spring[newSpringCount] : nullptr);
    springCount = springs != nullptr ? newSpringCount : 0;
}

void SpringBody::SetMass(std::int32_t index, std::int32_t linkCount, const Vector3& position) {
    if (index < 0 || index >= massCount) return;
    masses[index].position = position;
    masses[index].AllocateLinks(linkCount);
}

void SpringBody::SetLink(std::int32_t massIndex, std::int32_t slot, std::int32_t springIndex,
                         std::int32_t otherMass) {
    if (massIndex < 0 || massIndex >= massCount) return;
    masses[massIndex].SetLink(slot, springIndex, otherMass);
}

void SpringBody::SetSpring(std::int32_t index, std::int32_t massA, std::int32_t massB) {
    if (index < 0 || index >= springCount) return;
    Spring& spring = springs[index];
    spring.massA = massA;
    spring.massB = massB;
    spring.restLength = (masses[massA].position - masses[massB].position).Length();
}

bool SpringBody::CanStep() const { return masses != nullptr && springs != nullptr; }

}  // namespace sim
