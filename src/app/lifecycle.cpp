// Allocation, start-up, the body's rebuild and shut-down.
#include "app/lifecycle.h"

#include "render/startup_sphere.h"

#include <cstdio>
#include <new>

namespace app {

namespace {

template <typename T>
bool Allocate(T** object, const char* name) {
    *object = new (std::nothrow) T;
    if (*object != nullptr) return true;
    std::fprintf(stderr, "springdrop: out of memory: the %s could not be allocated\n", name);
    return false;
}

template <typename T>
void Release(T** object) {
    if (*object != nullptr) (*object)->Release();
    *object = nullptr;
}

// The body and the buffer it is drawn from go together.
void DestroyBody(Demo& demo) {
    demo.bodyLines.Release();
    delete demo.body;
    demo.body = nullptr;
}

}  // namespace

Demo::~Demo() {
    Shutdown(*this);
    // A window left open (Escape quits without destroying it) must not reach this demo
    // any more.
    if (IsWindow(hwnd)) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
}

bool AllocateLongLivedObjects(Demo& demo) {
    return Allocate(&demo.camera, "camera") && Allocate(&demo.transforms, "transform set") &&
           Allocate(&demo.body, "spring body");
}

void OnCreate(Demo& demo, HWND hwnd) {
    demo.hdc = GetDC(hwnd);
    render::InitDevice(hwnd, &demo.d3d, &demo.device, &demo.sphereMesh);
    if (demo.device == nullptr) return;
    render::SetupMaterial(demo.device);
    render::SetupViewProjection(*demo.camera, demo.transforms, demo.device);
    BuildScene(demo);
}

void BuildScene(Demo& demo) {
    if (demo.body == nullptr || demo.device == nullptr) return;
    demo.dropHeight = demo.heights.NextHeight();
    demo.bodyLines.Create(demo.device, sim::kSceneSpringCount);
    sim::BuildTetrahedron(demo.body, demo.dropHeight);
}

void RebuildBody(Demo& demo) {
    DestroyBody(demo);
    demo.body = new (std::nothrow) sim::SpringBody;
    BuildScene(demo);
}

void Shutdown(Demo& demo) {
    Release(&demo.device);
    Release(&demo.d3d);
    delete demo.camera;
    demo.camera = nullptr;
    delete demo.transforms;
    demo.transforms = nullptr;
    render::ReleaseStartupSphere(demo.sphereMesh);
    demo.sphereMesh = nullptr;
    DestroyBody(demo);
}

}  // namespace app
