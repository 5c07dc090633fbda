// The thread's message queue: what peeking and getting see, when the quit message shows,
// how the idle hook refills an empty queue, and dispatching.
#include "support/shell_test_window.h"

#include <gtest/gtest.h>

using win32_test::CreateHeadlessWindow;
using win32_test::Received;
using win32_test::RecordingProcedure;

namespace {

LRESULT AnswerWithParameter(HWND, UINT, WPARAM wParam, LPARAM) { return static_cast<LRESULT>(wParam) + 1; }

}  // namespace

TEST(Win32MessageQueue, PeekWithoutRemoveLeavesTheMessageForGet) {
    HWND hwnd = CreateHeadlessWindow();
    PostMessageA(hwnd, WM_USER, 7, 8);
    MSG msg{};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(msg.message, WM_USER);
    }
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(msg.lParam, 8);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST(Win32MessageQueue, PeekWithRemoveTakesMessagesInPostingOrder) {
    HWND hwnd = CreateHeadlessWindow();
    PostMessageA(hwnd, WM_USER, 1, 0);
    PostMessageA(hwnd, WM_USER, 2, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(Win32MessageQueue, QuitIsSeenOnlyWhenNothingElseWaits) {
    HWND hwnd = CreateHeadlessWindow();
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_USER, 1, 0);  // posted after the quit, still seen before it
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER);
    EXPECT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_USER);

    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST(Win32MessageQueue, DestroyingTheWindowPostsQuitThatTheLoopSeesBeforeAnotherFrame) {
    // The demo's loop: peek, get and dispatch while messages wait, else render a frame.
    HWND hwnd = CreateHeadlessWindow(640, 480, [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(h, m, w, l);
    });
    PostMessageA(hwnd, WM_USER, 0, 0);  // still queued for the window when it goes
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    MSG msg{};
    int dispatched = 0;
    int framesAfterClose = 0;
    for (int round = 0; round < 10; ++round) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            ++dispatched;
        } else if (!IsWindow(hwnd)) {
            ++framesAfterClose;
        }
    }
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(dispatched, 2);
    EXPECT_EQ(framesAfterClose, 0);
}

TEST(Win32MessageQueue, IdleHookRunsOnlyWhenTheQueueIsEmptyAndCanRefillIt) {
    HWND hwnd = CreateHeadlessWindow();
    int idleCalls = 0;
    platform::SetIdleHook([&] {
        ++idleCalls;
        if (idleCalls == 2) PostMessageA(hwnd, WM_USER, 42, 0);
    });
    MSG msg{};
    PostMessageA(hwnd, WM_USER, 1, 0);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(idleCalls, 0);

    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));  // hook ran, posted nothing
    EXPECT_EQ(idleCalls, 1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));  // hook posted, seen at once
    EXPECT_EQ(idleCalls, 2);
    EXPECT_EQ(msg.wParam, 42u);
    // Get right after a successful peek takes that message without idling.
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 42u);
    EXPECT_EQ(idleCalls, 2);

    platform::SetIdleHook({});
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(idleCalls, 2);
}

TEST(Win32MessageQueue, GetOnAnEmptyHeadlessQueueWaitsUntilTheIdleHookDeliversQuit) {
    CreateHeadlessWindow();
    int idleCalls = 0;
    platform::SetIdleHook([&] {
        if (++idleCalls == 5) PostQuitMessage(9);
    });
    MSG msg{};
    EXPECT_FALSE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_EQ(idleCalls, 5);
}

TEST(Win32MessageQueue, DispatchCallsTheWindowProcedureAndReturnsItsResult) {
    HWND hwnd = CreateHeadlessWindow(100, 100, AnswerWithParameter, "Answering");
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = WM_USER;
    msg.wParam = 41;
    EXPECT_EQ(DispatchMessageA(&msg), 42);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 1, 0), 2);
    msg.hwnd = nullptr;
    EXPECT_EQ(DispatchMessageA(&msg), 0);
}
