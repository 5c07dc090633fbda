// The start-up sphere. Neither result is examined: a failed sphere leaves no mesh, and the
// normal computation then refuses the null mesh and does nothing.
#include "render/startup_sphere.h"

#include "facet/normals.h"
#include "facet/sphere.h"

namespace render {

namespace {

constexpr float kSphereRadius = 1.0f;
constexpr UINT kSphereSlices = 3;
constexpr UINT kSphereStacks = 3;

}  // namespace

facet::Mesh* BuildStartupSphere(IDirect3DDevice9* device) {
    facet::Mesh* mesh = nullptr;
    facet::CreateSphereMesh(device, kSphereRadius, kSphereSlices, kSphereStacks, &mesh, nullptr);
    facet::ComputeVertexNormals(mesh, nullptr);
    return mesh;
}

}  // namespace render
