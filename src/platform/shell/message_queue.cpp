// The thread's message queue: posting, peeking and getting with the quit message held
// back until nothing else is waiting, dispatching to window procedures, the idle hook
// and injected input.
//
// When the queue is empty, PeekMessageA and GetMessageA first move pending display
// events into it, then call the idle hook, then look again. GetMessageA keeps doing so
// until a message arrives, waiting on display events (or sleeping a millisecond per
// round when it cannot wait on them) so an idle process does not spin.
#include "springdrop/shell/display_backend.h"
#include "springdrop/shell/shell_state.h"

#include <chrono>
#include <thread>

namespace {

using platform::detail::State;

constexpr int kWaitSliceMs = 10;

bool Matches(const MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (hwnd && msg.hwnd != hwnd) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

bool QuitMatches(HWND hwnd, UINT filterMin, UINT filterMax) {
    if (hwnd) return false;  // the quit message belongs to the thread, not a window
    return (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
}

// Looks for the first matching message, or the quit message when no other matches.
bool TakeMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove) {
    auto& state = State();
    for (auto it = state.queue.begin(); it != state.queue.end(); ++it) {
        if (!Matches(*it, hwnd, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) state.queue.erase(it);
        return true;
    }
    if (state.quitPosted && QuitMatches(hwnd, filterMin, filterMax)) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(state.quitCode);
        if (remove) state.quitPosted = false;
        return true;
    }
    return false;
}

void RunIdleHook() {
    // A copy, so a hook that replaces itself is not destroyed while it runs.
    auto hook = State().idleHook;
    if (hook) hook();
}

// One look at the queue with the empty-queue rounds: display events, then the idle hook.
bool LookWithRefill(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove) {
    if (TakeMessage(msg, hwnd, filterMin, filterMax, remove)) return true;
    platform::detail::PumpDisplayEvents();
    if (TakeMessage(msg, hwnd, filterMin, filterMax, remove)) return true;
    RunIdleHook();
    return TakeMessage(msg, hwnd, filterMin, filterMax, remove);
}

}  // namespace

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) return FALSE;
    return LookWithRefill(msg, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    while (!LookWithRefill(msg, hwnd, filterMin, filterMax, true)) {
        if (!platform::detail::WaitForDisplayEvent(kWaitSliceMs))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    // Character messages are not generated; report whether the message was a key one.
    if (!msg) return FALSE;
    return msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_SYSKEYDOWN ||
                   msg->message == WM_SYSKEYUP
               ? TRUE
               : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg) return 0;
    const platform::detail::Window* window = platform::detail::FindWindow(msg->hwnd);
    if (!window) return 0;
    return window->procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !platform::detail::FindWindow(hwnd)) return FALSE;
    platform::detail::PostToQueue(hwnd, message, wParam, lParam);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    auto& state = State();
    state.quitPosted = true;
    state.quitCode = exitCode;
}

namespace platform {

void SetIdleHook(std::function<void()> hook) { detail::State().idleHook = std::move(hook); }

void InjectKeyDown(HWND hwnd, UINT virtualKey) {
    if (!detail::FindWindow(hwnd)) return;
    detail::PostToQueue(hwnd, WM_KEYDOWN, virtualKey, detail::KeyDownLParam(false));
}

void InjectMouse(HWND hwnd, UINT message, int x, int y) {
    if (!detail::FindWindow(hwnd)) return;
    // Injected buttons stay held until their release is injected, as with real input.
    static WPARAM heldButtons = 0;
    if (message == WM_LBUTTONDOWN) heldButtons |= MK_LBUTTON;
    if (message == WM_LBUTTONUP) heldButtons &= ~MK_LBUTTON;
    if (message == WM_RBUTTONDOWN) heldButtons |= MK_RBUTTON;
    if (message == WM_RBUTTONUP) heldButtons &= ~MK_RBUTTON;
    detail::PostToQueue(hwnd, message, heldButtons, detail::MouseLParam(x, y));
}

}  // namespace platform
