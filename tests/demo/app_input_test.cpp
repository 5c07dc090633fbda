// Input through the window procedure: the camera's walk, lift and drag, the view
// rebuilt after each, and the messages that are swallowed or passed on.
#include "app/window_procedure.h"
#include "demo_test_support.h"
#include "render/camera.h"
#include "render/device_setup.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

LRESULT Key(HWND hwnd, UINT key) { return app::WndProc(hwnd, WM_KEYDOWN, key, 1); }
LRESULT Mouse(HWND hwnd, UINT message, int x, int y) {
    return app::WndProc(hwnd, message, MK_RBUTTON, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
}

D3DMATRIX DeviceView(const app::Demo& demo) {
    D3DMATRIX view;
    demo.device->GetTransform(D3DTS_VIEW, &view);
    return view;
}

TEST(Input, WWalksAlongTheGroundProjectedSightAndSetsTheView) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    const D3DMATRIX before = DeviceView(demo);
    EXPECT_EQ(Key(hwnd, 'W'), 0);
    EXPECT_NEAR(demo.camera->x, -148.607f, 1e-3f);
    EXPECT_EQ(demo.camera->y, 80.0f);
    EXPECT_NEAR(demo.camera->z, -148.607f, 1e-3f);
    const D3DMATRIX after = DeviceView(demo);
    EXPECT_NE(std::memcmp(&before, &after, sizeof(D3DMATRIX)), 0);
    Key(hwnd, 'S');
    EXPECT_NEAR(demo.camera->x, -150.0f, 1e-4f);
    EXPECT_NEAR(demo.camera->z, -150.0f, 1e-4f);
}

TEST(Input, ALiftsAndDLowersTheEyeByFive) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    Key(hwnd, 'A');
    EXPECT_EQ(demo.camera->y, 85.0f);
    Key(hwnd, 'D');
    Key(hwnd, 'D');
    EXPECT_EQ(demo.camera->y, 75.0f);
}

TEST(Input, LookingStraightDownWalkingDoesNotMove) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    demo.camera->pitch = 90.0f;
    const float x = demo.camera->x;
    const float z = demo.camera->z;
    Key(hwnd, 'W');
    Key(hwnd, 'S');
    EXPECT_NEAR(demo.camera->x, x, 1e-5f);
    EXPECT_NEAR(demo.camera->z, z, 1e-5f);
}

TEST(Input, RightDragTurnsByAFifthOfADegreePerPixel) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    EXPECT_EQ(Mouse(hwnd, WM_RBUTTONDOWN, 100, 100), 0);
    EXPECT_EQ(demo.rightDrag, 1);
    Mouse(hwnd, WM_MOUSEMOVE, 110, 100);  // right: the view turns left
    EXPECT_FLOAT_EQ(demo.camera->Yaw(), 43.0f);
    EXPECT_FLOAT_EQ(demo.camera->SinYaw(), render::SinDegrees(43.0f));
    Mouse(hwnd, WM_MOUSEMOVE, 110, 110);  // down: tilts further down
    EXPECT_FLOAT_EQ(demo.camera->pitch, 12.0f);
    EXPECT_EQ(Mouse(hwnd, WM_RBUTTONUP, 110, 110), 0);
    EXPECT_EQ(demo.rightDrag, 0);
    Mouse(hwnd, WM_MOUSEMOVE, 300, 300);  // no drag: nothing turns
    EXPECT_FLOAT_EQ(demo.camera->Yaw(), 43.0f);
}

TEST(Input, PressAndReleaseWithoutMovingChangesNothing) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    const render::Camera before = *demo.camera;
    Mouse(hwnd, WM_RBUTTONDOWN, 50, 60);
    Mouse(hwnd, WM_RBUTTONUP, 50, 60);
    EXPECT_EQ(std::memcmp(&before, demo.camera.get(), sizeof(render::Camera)), 0);
}

TEST(Input, ReleaseOutsideTheWindowLeavesTheDragOnForTheWholeDistance) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    Mouse(hwnd, WM_RBUTTONDOWN, 10, 10);
    // The release happened outside and never arrived; the next move inside turns the
    // camera by the whole distance from the last recorded point.
    Mouse(hwnd, WM_MOUSEMOVE, 60, 10);
    EXPECT_FLOAT_EQ(demo.camera->Yaw(), 35.0f);
    EXPECT_EQ(demo.rightDrag, 1);
}

TEST(Input, OtherKeysAndResizeAreSwallowed) {
    app::Demo demo;
    HWND hwnd = demo_test::StartHeadless(demo);
    const render::Camera before = *demo.camera;
    for (UINT key : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_F2, UINT{'Q'}}) EXPECT_EQ(Key(hwnd, key), 0);
    EXPECT_EQ(app::WndProc(hwnd, WM_SIZE, 0, MAKELPARAM(320, 240)), 0);
    EXPECT_EQ(std::memcmp(&before, demo.camera.get(), sizeof(render::Camera)), 0);
    d3d9sw::BackBufferImage image;
    d3d9sw::ReadBackBuffer(demo.device, &image);
    EXPECT_EQ(image.width, 640);
}

TEST(Input, CameraKeysWithoutADeviceStillMoveTheCamera) {
    app::Demo demo;
    d3d9sw::SetDirect3DCreateFails(true);
    HWND hwnd = demo_test::StartHeadless(demo);
    Key(hwnd, 'A');
    Mouse(hwnd, WM_RBUTTONDOWN, 0, 0);
    Mouse(hwnd, WM_MOUSEMOVE, 5, 0);
    EXPECT_EQ(demo.camera->y, 85.0f);
    EXPECT_FLOAT_EQ(demo.camera->Yaw(), 44.0f);
}

}  // namespace
