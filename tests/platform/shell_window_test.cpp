// Window classes, creation and destruction: the messages that arrive inside the calls,
// in their order, and the frame arithmetic that makes the client area the asked size.
#include "support/shell_test_window.h"

#include <gtest/gtest.h>

using win32_test::CreateHeadlessWindow;
using win32_test::Received;
using win32_test::ReceivedCodes;
using win32_test::RecordingProcedure;

namespace {

HWND g_handleSeenInCreate = nullptr;
bool g_clientRectKnownInCreate = false;

LRESULT CreationProbe(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        g_handleSeenInCreate = hwnd;
        RECT rect{};
        // The device set-up inside the creation message asks for the client size.
        g_clientRectKnownInCreate = GetClientRect(hwnd, &rect) && rect.right == 640 && rect.bottom == 480;
        EXPECT_NE(GetDC(hwnd), nullptr);
    }
    return RecordingProcedure(hwnd, message, wParam, lParam);
}

LRESULT RefuseCreation(HWND, UINT message, WPARAM, LPARAM) { return message == WM_CREATE ? -1 : 0; }

}  // namespace

TEST(Win32Window, RegisterClassRefusesDuplicatesAndMissingProcedure) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.lpszClassName = "OpenGL";
    ATOM first = RegisterClassA(&windowClass);
    EXPECT_NE(first, 0);
    EXPECT_EQ(RegisterClassA(&windowClass), 0);
    windowClass.lpszClassName = "OPENGL";  // class names compare without case
    EXPECT_EQ(RegisterClassA(&windowClass), 0);

    WNDCLASSA noProcedure{};
    noProcedure.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassA(&noProcedure), 0);
    windowClass.lpszClassName = "Other";
    EXPECT_NE(RegisterClassA(&windowClass), 0);
}

TEST(Win32Window, CreationMessageArrivesInsideTheCallWithTheNewHandle) {
    HWND hwnd = CreateHeadlessWindow(640, 480, CreationProbe);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(g_handleSeenInCreate, hwnd);
    EXPECT_TRUE(g_clientRectKnownInCreate);
    ASSERT_FALSE(Received().empty());
    EXPECT_EQ(Received().front().message, WM_CREATE);
    EXPECT_EQ(platform::ActiveBackend(), platform::Backend::Headless);
}

TEST(Win32Window, AdjustedOuterSizeGivesTheAskedClientSize) {
    RECT rect{0, 0, 640, 480};
    ASSERT_TRUE(AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW | WS_EX_WINDOWEDGE));
    EXPECT_LT(rect.left, 0);
    EXPECT_LT(rect.top, rect.left);  // the caption adds to the top edge only
    EXPECT_GT(rect.right, 640);
    EXPECT_GT(rect.bottom, 480);

    HWND hwnd = CreateHeadlessWindow(640, 480);
    RECT client{};
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);

    platform::Image image;
    ASSERT_TRUE(platform::ReadClientImage(hwnd, &image));
    EXPECT_EQ(image.width, 640);
    EXPECT_EQ(image.height, 480);
}

TEST(Win32Window, CreationFailsForUnknownClassOrRefusingProcedure) {
    platform::SetBackend(platform::Backend::Headless);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                              nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(CreateHeadlessWindow(100, 100, RefuseCreation, "Refusing"), nullptr);
}

TEST(Win32Window, DestroyWindowSendsDestroyMessagesSynchronouslyAndInvalidatesTheHandle) {
    HWND hwnd = CreateHeadlessWindow();
    Received().clear();
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(ReceivedCodes(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    RECT rect{};
    EXPECT_FALSE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(GetDC(hwnd), nullptr);
    platform::Image image;
    EXPECT_FALSE(platform::ReadClientImage(hwnd, &image));
}

TEST(Win32Window, DestroyHookRunsBeforeTheDestroyMessageWhileTheImageIsReadable) {
    HWND hwnd = CreateHeadlessWindow();
    Received().clear();
    std::size_t messagesBeforeHook = 99;
    bool imageReadable = false;
    platform::SetDestroyHook([&](HWND destroyed) {
        EXPECT_EQ(destroyed, hwnd);
        messagesBeforeHook = Received().size();
        platform::Image image;
        imageReadable = platform::ReadClientImage(destroyed, &image);
    });
    ASSERT_TRUE(DestroyWindow(hwnd));
    platform::SetDestroyHook({});
    EXPECT_EQ(messagesBeforeHook, 0u);
    EXPECT_TRUE(imageReadable);
    EXPECT_EQ(ReceivedCodes(), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
}

TEST(Win32Window, DefaultProcedureTurnsCloseIntoDestructionAndAnswersZero) {
    HWND hwnd = CreateHeadlessWindow();
    Received().clear();
    EXPECT_EQ(DefWindowProcA(hwnd, WM_KEYDOWN, VK_F1, 1), 0);
    EXPECT_TRUE(IsWindow(hwnd));

    ASSERT_TRUE(PostMessageA(hwnd, WM_CLOSE, 0, 0));
    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_CLOSE);
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(ReceivedCodes(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
}

TEST(Win32Window, DeviceContextIsOneHandlePerWindow) {
    HWND first = CreateHeadlessWindow();
    HDC hdc = GetDC(first);
    ASSERT_NE(hdc, nullptr);
    EXPECT_EQ(GetDC(first), hdc);
    EXPECT_EQ(ReleaseDC(first, hdc), 1);
    EXPECT_EQ(GetDC(first), hdc);

    HWND second = CreateWindowExA(0, "ShellTest", "second", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(GetDC(second), hdc);
    EXPECT_NE(static_cast<void*>(GetDC(second)), static_cast<void*>(second));
}

TEST(Win32Window, StockObjectsIconsAndCursorsAreNonNull) {
    EXPECT_NE(GetStockObject(WHITE_BRUSH), nullptr);
    EXPECT_NE(LoadIconA(nullptr, IDI_APPLICATION), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

TEST(Win32Window, NoDisplayFallsBackToHeadlessWithNothingOnStdout) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    platform::SetBackend(platform::Backend::Auto);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProcedure;
    windowClass.lpszClassName = "Fallback";
    RegisterClassA(&windowClass);
    testing::internal::CaptureStdout();
    HWND hwnd = CreateWindowExA(0, "Fallback", "x", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(hwnd, nullptr);
    EXPECT_EQ(platform::ActiveBackend(), platform::Backend::Headless);
}
