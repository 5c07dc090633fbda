// Input as the window procedure sees it: lParam packing of mouse positions and key
// messages, the SDL key translation, and injected input landing in the queue.
#include "springdrop/shell/shell_state.h"
#include "springdrop/shell/sdl/virtual_keys.h"
#include "support/shell_test_window.h"

#include <gtest/gtest.h>

using platform::VirtualKeyFromSdlKey;
using win32_test::CreateHeadlessWindow;

TEST(Win32Input, MousePositionPacksXLowAndYHighWrappingNegatives) {
    LPARAM packed = platform::detail::MouseLParam(300, 200);
    EXPECT_EQ(LOWORD(packed), 300);
    EXPECT_EQ(HIWORD(packed), 200);
    EXPECT_EQ(packed, 300 + (200 << 16));

    LPARAM outside = platform::detail::MouseLParam(-5, -1);
    EXPECT_EQ(LOWORD(outside), 0xFFFB);
    EXPECT_EQ(HIWORD(outside), 0xFFFF);
    EXPECT_EQ(static_cast<short>(LOWORD(outside)), -5);
    EXPECT_EQ(static_cast<short>(HIWORD(outside)), -1);
}

TEST(Win32Input, KeyLParamCarriesRepeatCountOneAndPreviousStateForRepeats) {
    LPARAM first = platform::detail::KeyDownLParam(false);
    LPARAM repeat = platform::detail::KeyDownLParam(true);
    EXPECT_EQ(first & 0xFFFF, 1);
    EXPECT_EQ(repeat & 0xFFFF, 1);
    EXPECT_EQ((first >> 30) & 1, 0);
    EXPECT_EQ((repeat >> 30) & 1, 1);
    EXPECT_EQ((platform::detail::KeyUpLParam() >> 31) & 1, 1);
}

TEST(Win32Input, SdlKeysMapToVirtualKeyCodes) {
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_a), 0x41u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_w), 0x57u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_z), 0x5Au);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_0), 0x30u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_9), 0x39u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_F1), VK_F1);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_F1), 0x70u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_F12), 0x7Bu);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_ESCAPE), 0x1Bu);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_LEFT), 0x25u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_UP), 0x26u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_RIGHT), 0x27u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_DOWN), 0x28u);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_LSHIFT), VK_SHIFT);
    EXPECT_EQ(VirtualKeyFromSdlKey(SDLK_CAPSLOCK), 0u);
}

TEST(Win32Input, InjectedInputLandsInTheQueueAsRealInputWould) {
    HWND hwnd = CreateHeadlessWindow();
    platform::InjectKeyDown(hwnd, VK_F1);
    platform::InjectMouse(hwnd, WM_RBUTTONDOWN, 10, 20);
    platform::InjectMouse(hwnd, WM_MOUSEMOVE, 30, 40);
    platform::InjectMouse(hwnd, WM_RBUTTONUP, 30, 40);
    platform::InjectKeyDown(reinterpret_cast<HWND>(0x4), 'W');  // no such window: dropped

    MSG msg{};
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, VK_F1);
    EXPECT_EQ(msg.lParam & 0xFFFF, 1);

    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_RBUTTONDOWN);
    EXPECT_EQ(msg.lParam, MAKELPARAM(10, 20));
    EXPECT_EQ(msg.wParam & MK_RBUTTON, MK_RBUTTON);
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_MOUSEMOVE);
    EXPECT_EQ(msg.lParam, MAKELPARAM(30, 40));
    EXPECT_EQ(msg.wParam & MK_RBUTTON, MK_RBUTTON);  // still held while dragging
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_RBUTTONUP);
    EXPECT_EQ(msg.wParam & MK_RBUTTON, 0u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}
