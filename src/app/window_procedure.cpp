// The window procedure: start-up and shut-down, camera moves from the keys and the
// right-button drag, the body rebuild on F1 and Escape.
#include "app/window_procedure.h"

#include "app/lifecycle.h"
#include "render/camera.h"
#include "sim/scene.h"

#include <new>

int g_rightDrag = 0;
int g_lastMouseX = 0;
int g_lastMouseY = 0;

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
void Walk(float sign) {
    const float c = render::CosDegrees(g_camera->pitch);
    g_camera->x += sign * (kWalkStep * g_camera->sinYaw * c);
    g_camera->z += sign * (kWalkStep * g_camera->cosYaw * c);
}

void RebuildBody() {
    delete g_body;
    g_body = new (std::nothrow) sim::SpringBody;
    BuildScene();
}

void OnKeyDown(WPARAM key) {
    switch (key) {
        case VK_ESCAPE:
            // Quits without destroying the window, so Shutdown does not run.
            PostQuitMessage(0);
            return;
        case kKeyA:
            g_camera->y += kLiftStep;
            break;
        case kKeyD:
            g_camera->y -= kLiftStep;
            break;
        case kKeyW:
            Walk(1.0f);
            break;
        case kKeyS:
            Walk(-1.0f);
            break;
        case VK_F1:
            RebuildBody();
            return;
        default:
            return;
    }
    SetupViewProjection();
}

int MouseX(LPARAM lParam) { return LOWORD(static_cast<std::uintptr_t>(lParam)); }
int MouseY(LPARAM lParam) { return HIWORD(static_cast<std::uintptr_t>(lParam)); }

// Turns the camera by the distance from the last recorded point: right turns the view
// left, down tilts it further down.
void OnDragMove(LPARAM lParam) {
    const int oldX = g_lastMouseX;
    const int oldY = g_lastMouseY;
    g_lastMouseX = MouseX(lParam);
    g_lastMouseY = MouseY(lParam);
    const int dx = g_lastMouseX - oldX;
    const int dy = g_lastMouseY - oldY;
    g_camera->yaw = static_cast<float>(g_camera->yaw - dx * kDragDegreesPerPixel);
    g_camera->SetYaw(g_camera->yaw);
    g_camera->pitch = static_cast<float>(g_camera->pitch + dy * kDragDegreesPerPixel);
    SetupViewProjection();
}

}  // namespace

LRESULT WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            OnCreate(hwnd);
            return 0;
        case WM_DESTROY:
            Shutdown();
            PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            // The back buffer, viewport and projection keep their creation size.
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(wParam);
            return 0;
        case WM_MOUSEMOVE:
            if (g_rightDrag != 0) OnDragMove(lParam);
            return 0;
        case WM_RBUTTONDOWN:
            g_lastMouseX = MouseX(lParam);
            g_lastMouseY = MouseY(lParam);
            g_rightDrag = 1;
            return 0;
        case WM_RBUTTONUP:
            // The mouse is not captured: a release outside the window is never seen and
            // the drag stays on.
            g_rightDrag = 0;
            return 0;
        default:
            return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
