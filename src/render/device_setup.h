// The Direct3D 9 object, the rendering device and the render state that stays fixed for
// the whole run: lighting off (vertex colours show unlit), no depth test, clockwise
// triangles culled, an immediate presentation interval, and a white material.
#pragma once

#include "d3d9/d3d9.h"

namespace facet {
class Mesh;
}

extern IDirect3D9* g_d3d;
// Null when the device could not be created; every frame then shows only the overlay.
extern IDirect3DDevice9* g_device;
// The start-up sphere, kept until shut-down and never drawn; null when not built.
extern facet::Mesh* g_sphereMesh;

// Creates g_d3d and g_device for `hwnd` (back buffer of the client size), sets the fixed
// render and sampler state and builds the start-up sphere. Returns S_OK, or E_FAIL when
// the Direct3D object or the device cannot be created.
HRESULT InitDevice(HWND hwnd);

// Sets the white material on g_device and returns the device's result.
HRESULT SetupMaterial();
