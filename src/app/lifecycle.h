// The long-lived objects: allocated before the window opens (camera, transform set,
// empty body, in that order), made by OnCreate from the window's creation message
// (device context, device and its state, view and projection, the scene), rebuilt on F1,
// and released by Shutdown from the window's destruction message.
#pragma once

#include "app/demo.h"

namespace app {

// Allocates the camera, the transform set and the empty body, in that order. When one
// cannot be allocated, writes one line naming it to standard error and returns false;
// the later ones are then not attempted.
bool AllocateLongLivedObjects(Demo& demo);

// Start-up from the creation message. Without a device the material, the view and
// projection and the scene are skipped, and frames show only the overlay.
void OnCreate(Demo& demo, HWND hwnd);

// Fills the empty body with the tetrahedron at the next drop height, on the device.
// Needs both: with either missing nothing is built and the height sequence does not
// advance.
void BuildScene(Demo& demo);

// F1: destroys the body, stores a new empty one and builds the scene again.
void RebuildBody(Demo& demo);

// Releases the device, the Direct3D object, the camera, the transform set, the sphere
// mesh and the body, in that order, and forgets each.
void Shutdown(Demo& demo);

}  // namespace app
