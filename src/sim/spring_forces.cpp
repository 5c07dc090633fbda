// SpringBody::ComputeMassState: the spring and damping forces on one mass from its first
// three links (fewer if it has fewer), and one semi-implicit Euler update from them.
#include "sim/spring_body.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::int32_t kLinksUsed = 3;

// Hooke's law about the rest length, along d toward the other end. Two ends at one
// point give no direction, so such a spring adds no elastic force.
Vector3 ElasticForce(const Vector3& d, float len, const Spring& spring) {
    if (len == 0.0f) return {0.0f, 0.0f, 0.0f};
    const float magnitude = (len - spring.restLength) * spring.stiffness;
    return (d * magnitude) / len;
}

}  // namespace

MassState SpringBody::ComputeMassState(std::int32_t i, float dt) {
    MassPoint& self = masses[i];
    const std::int32_t linksUsed = std::min(self.linkCount, kLinksUsed);

    Vector3 total{0.0f, 0.0f, 0.0f};
    for (std::int32_t k = 0; k < linksUsed; ++k) {
        const MassLink& link = self.links[k];
        const Spring& spring = springs[link.spring];
        const MassPoint& other = masses[link.otherMass];

        const Vector3 d = other.position - self.position;
        const float len = d.Length();

        // Slot 0 keeps the mass from starting its update below the ground; the ground
        // then stands still under it, so the damping there is against a resting end.
        Vector3 otherVelocity = other.velocity;
        if (k == 0 && self.position.y < 0.0f) {
            self.position.y = 0.0f;
            otherVelocity = {0.0f, 0.0f, 0.0f};
        }

        const Vector3 dampingForce = (otherVelocity - self.velocity) * spring.damping;
        const Vector3 linkForce = ElasticForce(d, len, spring) + dampingForce;
        // The first force is taken as it is rather than added to zero, so the sum is
        // exactly (F0 + F1) + F2, signs of zero included.
        total = k == 0 ? linkForce : total + linkForce;
    }

    MassState next;
    next.velocity = self.velocity + (total * dt) / self.mass;
    next.position = self.position + next.velocity * dt;
    return next;
}

}  // namespace sim
