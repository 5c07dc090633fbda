// Static construction, start-up and shut-down.
#include "app/lifecycle.h"

#include "render/camera.h"
#include "render/device_setup.h"
#include "render/frame.h"
#include "render/startup_sphere.h"
#include "sim/scene.h"

#include <cstdio>
#include <new>

// Constructed in this order before the entry point runs; a failed allocation leaves its
// global null and runs no constructor.
render::Camera* g_camera = new (std::nothrow) render::Camera;
render::TransformSet* g_transforms = new (std::nothrow) render::TransformSet;
sim::SpringBody* g_body = new (std::nothrow) sim::SpringBody;
render::FrameTimer g_timer;

bool StaticObjectsPresent() {
    const char* missing = g_camera == nullptr       ? "camera"
                          : g_transforms == nullptr ? "transform set"
                          : g_body == nullptr       ? "spring body"
                                                    : nullptr;
    if (missing == nullptr) return true;
    std::fprintf(stderr, "springdrop: out of memory: the %s could not be allocated\n", missing);
    return false;
}

void OnCreate(HWND hwnd) {
    g_hdc = GetDC(hwnd);
    InitDevice(hwnd);
    if (g_device == nullptr) return;
    SetupMaterial();
    SetupViewProjection();
    BuildScene();
}

void Shutdown() {
    if (g_device != nullptr) g_device->Release();
    if (g_d3d != nullptr) g_d3d->Release();
    delete g_camera;
    delete g_transforms;
    ReleaseStartupSphere();
    delete g_body;
}
