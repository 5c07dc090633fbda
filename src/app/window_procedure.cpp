// The window procedure: start-up and shut-down, camera moves from the keys and the
// right-button drag, the body rebuild on F1 and Escape.
#include "app/window_procedure.h"

#include "app/lifecycle.h"

namespace app {

namespace {

constexpr float kWalkStep = 2.0f;
constexpr float kLiftStep = 5.0f;
constexpr double kDragDegreesPerPixel = 0.2;

constexpr UINT kKeyA = 0x41;
constexpr UINT kKeyD = 0x44;
constexpr UINT kKeyS = 0x53;
constexpr UINT kKeyW = 0x57;

// W and S walk along the direction of sight projected onto the ground: length
// 2 cos(pitch), height unchanged.
void Walk(render::Camera& camera, float sign) {
    const float c = render::CosDegrees(camera.pitch);
    camera.x += sign * (kWalkStep * camera.SinYaw() * c);
    camera.z += sign * (kWalkStep * camera.CosYaw() * c);
}

void OnKeyDown(Demo& demo, WPARAM key) {
    render::Camera& camera = *demo.camera;
    switch (key) {
        case VK_ESCAPE:
            // Quits without destroying the window, so Shutdown does not run.
            PostQuitMessage(0);
            return;
        case kKeyA:
            camera.y += kLiftStep;
            break;
        case kKeyD:
            camera.y -= kLiftStep;
            break;
        case kKeyW:
            Walk(camera, 1.0f);
            break;
        case kKeyS:
            Walk(camera, -1.0f);
            break;
        case VK_F1:
            RebuildBody(demo);
            return;
        default:
            return;
    }
    render::SetupViewProjection(camera, demo.transforms.get(), demo.device);
}

int MouseX(LPARAM lParam) { return LOWORD(static_cast<std::uintptr_t>(lParam)); }
int MouseY(LPARAM lParam) { return HIWORD(static_cast<std::uintptr_t>(lParam)); }

// Turns the camera by the distance from the last recorded point: right turns the view
// left, down tilts it further down.
void OnDragMove(Demo& demo, LPARAM lParam) {
    render::Camera& camera = *demo.camera;
    const int oldX = demo.lastMouseX;
    const int oldY = demo.lastMouseY;
    demo.lastMouseX = MouseX(lParam);
    demo.lastMouseY = MouseY(lParam);
    const int dx = demo.lastMouseX - oldX;
    const int dy = demo.lastMouseY - oldY;
    camera.SetYaw(static_cast<float>(camera.Yaw() - dx * kDragDegreesPerPixel));
    camera.pitch = static_cast<float>(camera.pitch + dy * kDragDegreesPerPixel);
    render::SetupViewProjection(camera, demo.transforms.get(), demo.device);
}

// The demo this window belongs to; the creation message brings it.
Demo* DemoOf(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto* demo = static_cast<Demo*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(demo));
        return demo;
    }
    return reinterpret_cast<Demo*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

}  // namespace

LRESULT WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Demo* demo = DemoOf(hwnd, message, lParam);
    if (demo == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            OnCreate(*demo, hwnd);
            return 0;
        case WM_DESTROY:
            Shutdown(*demo);
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            // The back buffer, viewport and projection keep their creation size.
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(*demo, wParam);
            return 0;
        case WM_MOUSEMOVE:
            if (demo->rightDrag != 0) OnDragMove(*demo, lParam);
            return 0;
        case WM_RBUTTONDOWN:
            demo->lastMouseX = MouseX(lParam);
            demo->lastMouseY = MouseY(lParam);
            demo->rightDrag = 1;
            return 0;
        case WM_RBUTTONUP:
            // The mouse is not captured: a release outside the window is never seen and
            // the drag stays on.
            demo->rightDrag = 0;
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

}  // namespace app
