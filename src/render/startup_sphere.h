// The start-up sphere: a small sphere mesh (radius 1, 3 slices, 3 stacks) with normals
// computed from its faces, built as the last step of the device set-up and kept in
// g_sphereMesh until shut-down. No frame draws it.
#pragma once

// Builds g_sphereMesh on g_device; on failure g_sphereMesh stays null.
void BuildStartupSphere();

// Releases g_sphereMesh when there is one. The mesh holds its own device reference, so
// this may run after the device has been released.
void ReleaseStartupSphere();
