// The start-up sphere: a small sphere mesh (radius 1, 3 slices, 3 stacks) with normals
// computed from its faces, built as the last step of the device set-up and kept until
// shut-down. No frame draws it.
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace facet {
class Mesh;
}

namespace render {

// Builds the sphere on `device`; null when that fails.
facet::Mesh* BuildStartupSphere(IDirect3DDevice9* device);

}  // namespace render
