// The Direct3D 9 object, the rendering device and the render state that stays fixed for
// the whole run: lighting off (vertex colours show unlit), no depth test, clockwise
// triangles culled, an immediate presentation interval, and a white material.
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace facet {
class Mesh;
}

namespace render {

// Creates the Direct3D object and the device for `hwnd` (back buffer of the client size),
// sets the fixed render and sampler state and builds the start-up sphere into
// `sphereMesh` (null when that fails). Returns S_OK, or E_FAIL when the Direct3D object
// or the device cannot be created; `device` is then null, and every frame shows only the
// overlay.
HRESULT InitDevice(HWND hwnd, IDirect3D9** d3d, IDirect3DDevice9** device, facet::Mesh** sphereMesh);

// Sets the white material on `device` and returns the device's result.
HRESULT SetupMaterial(IDirect3DDevice9* device);

}  // namespace render
