// Allocation, start-up, the body's rebuild and shut-down.
#include "app/lifecycle.h"

#include <cstdio>
#include <new>

namespace app {

namespace {

// Allocates without exceptions, so a failure is reported here, in the documented words.
template <typename T>
bool Allocate(std::unique_ptr<T>& object, const char* name) {
    object.reset(new (std::nothrow) T);
    if (object != nullptr) return true;
    std::fprintf(stderr, "springdrop: out of memory: the %s could not be allocated\n", name);
    return false;
}

// The body and the buffer it is drawn from go together.
void DestroyBody(Demo& demo) {
    demo.bodyLines.Release();
    demo.body.reset();
}

}  // namespace

Demo::~Demo() {
    Shutdown(*this);
    // A window left open (Escape quits without destroying it) must not reach this demo
    // any more.
    if (IsWindow(hwnd)) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
}

bool AllocateLongLivedObjects(Demo& demo) {
    return Allocate(demo.camera, "camera") && Allocate(demo.transforms, "transform set") &&
           Allocate(demo.body, "spring body");
}

void OnCreate(Demo& demo, HWND hwnd) {
    demo.hdc = GetDC(hwnd);
    render::InitDevice(hwnd, demo.d3d.Put(), demo.device.Put(), demo.sphereMesh.Put());
    if (demo.device == nullptr) return;
    render::SetupMaterial(demo.device);
    render::SetupViewProjection(*demo.camera, demo.transforms.get(), demo.device);
    BuildScene(demo);
}

void BuildScene(Demo& demo) {
    if (demo.body == nullptr || demo.device == nullptr) return;
    demo.dropHeight = demo.heights.NextHeight();
    demo.bodyLines.Create(demo.device, sim::kSceneSpringCount);
    sim::BuildTetrahedron(demo.body.get(), demo.dropHeight);
}

void RebuildBody(Demo& demo) {
    DestroyBody(demo);
    demo.body.reset(new (std::nothrow) sim::SpringBody);
    BuildScene(demo);
}

void Shutdown(Demo& demo) {
    // In this order, as the device-call log records it: device, Direct3D object, then the
    // start-up sphere (which holds its own device reference) and the body.
    demo.device.Reset();
    demo.d3d.Reset();
    demo.camera.reset();
    demo.transforms.reset();
    demo.sphereMesh.Reset();
    DestroyBody(demo);
}

}  // namespace app
