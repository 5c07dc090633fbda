// The long-lived objects: made by static construction (camera, transform set, empty
// body, frame timer, in that order), by OnCreate from the window's creation message
// (device context, device and its state, view and projection, the scene), and released
// by Shutdown from the window's destruction message.
#pragma once

#include "win32/win32.h"

// True when every static allocation succeeded; otherwise writes one line naming the
// missing object to standard error and returns false.
bool StaticObjectsPresent();

// Start-up from the creation message. Without a device the material, the view and
// projection and the scene are skipped, and frames show only the overlay.
void OnCreate(HWND hwnd);

// Releases the device, the Direct3D object, the camera, the transform set, the sphere
// mesh and the body, in that order. The globals keep their (dangling) values: the quit
// message posted right after ends the loop before any frame could use them.
void Shutdown();
