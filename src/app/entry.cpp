// Program entry, window class, main window and message loop.
#include "app/entry.h"

#include "app/frame_sequence.h"
#include "app/lifecycle.h"
#include "app/window_procedure.h"

namespace app {

const char kWindowClassName[] = "OpenGL";
// "pzo20031204 _ 높이에 따른 스프링의 변화( F1 = Reset )" in CP949.
const char kWindowTitle[] =
    "pzo20031204 _ "
    "\xB3\xF4\xC0\xCC\xBF\xA1 \xB5\xFB\xB8\xA5 \xBD\xBA\xC7\xC1\xB8\xB5\xC0\xC7 \xBA\xAF\xC8\xAD"
    "( F1 = Reset )";

StartResult StartDemo(Demo& demo, HINSTANCE instance, int cmdShow) {
    if (!AllocateLongLivedObjects(demo)) return StartResult::OutOfMemory;
    if (RegisterWindowClass(demo, instance) == 0) return StartResult::NoWindow;
    if (CreateMainWindow(demo, instance, cmdShow) == 0) return StartResult::NoWindow;
    return StartResult::Started;
}

int FailedStartCode(StartResult result) { return result == StartResult::OutOfMemory ? 1 : 0; }

int RunDemo(Demo& demo, HINSTANCE instance, int cmdShow) {
    const StartResult started = StartDemo(demo, instance, cmdShow);
    if (started != StartResult::Started) return FailedStartCode(started);

    while (RunLoopTurn(demo) != LoopTurn::Quit) {
    }
    return static_cast<int>(demo.msg.wParam);
}

LoopTurn RunLoopTurn(Demo& demo) {
    if (!PeekMessageA(&demo.msg, nullptr, 0, 0, PM_NOREMOVE)) {
        RenderFrame(demo);
        return LoopTurn::Frame;
    }
    if (GetMessageA(&demo.msg, nullptr, 0, 0) == 0) return LoopTurn::Quit;
    TranslateMessage(&demo.msg);
    DispatchMessageA(&demo.msg);
    return LoopTurn::Message;
}

int RegisterWindowClass(Demo& demo, HINSTANCE instance) {
    demo.windowRect = {0, 0, demo.windowWidth, demo.windowHeight};

    WNDCLASSA windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClassName;
    return RegisterClassA(&windowClass) & 0xFFFF;
}

int CreateMainWindow(Demo& demo, HINSTANCE instance, int cmdShow) {
    demo.windowExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    demo.windowStyle = WS_OVERLAPPEDWINDOW;
    AdjustWindowRectEx(&demo.windowRect, demo.windowStyle, FALSE, demo.windowExStyle);

    // The creation message runs the start-up inside this call, from its own handle; the
    // extended style serves only the size computation above. The demo travels with the
    // creation message to the window procedure.
    demo.hwnd = CreateWindowExA(0, kWindowClassName, kWindowTitle, demo.windowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                demo.windowRect.right - demo.windowRect.left,
                                demo.windowRect.bottom - demo.windowRect.top, nullptr, nullptr, instance, &demo);
    // Without a window nothing could ever post the quit message.
    if (demo.hwnd == nullptr) return 0;

    ShowWindow(demo.hwnd, cmdShow);
    UpdateWindow(demo.hwnd);
    return 1;
}

}  // namespace app

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow) {
    app::Demo demo;
    return app::RunDemo(demo, instance, cmdShow);
}
