// The start-up sphere. Neither result is examined: a failed sphere leaves g_sphereMesh
// null, and the normal computation then refuses the null mesh and does nothing.
#include "render/startup_sphere.h"

#include "facet/normals.h"
#include "facet/sphere.h"
#include "render/device_setup.h"

namespace {

constexpr float kSphereRadius = 1.0f;
constexpr UINT kSphereSlices = 3;
constexpr UINT kSphereStacks = 3;

}  // namespace

void BuildStartupSphere() {
    facet::CreateSphereMesh(g_device, kSphereRadius, kSphereSlices, kSphereStacks, &g_sphereMesh, nullptr);
    facet::ComputeVertexNormals(g_sphereMesh, nullptr);
}

void ReleaseStartupSphere() {
    if (g_sphereMesh != nullptr) g_sphereMesh->Release();
}
