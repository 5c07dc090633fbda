// Program entry, window class, main window and message loop.
#include "app/entry.h"

#include "app/lifecycle.h"
#include "app/window_procedure.h"
#include "render/frame.h"

int g_windowWidth = 640;
int g_windowHeight = 480;
RECT g_windowRect = {0, 0, 0, 0};
DWORD g_windowStyle = 0;
DWORD g_windowExStyle = 0;
HWND g_hwnd = nullptr;
MSG g_msg = {};

const char kWindowClassName[] = "OpenGL";
// "pzo20031204 _ 높이에 따른 스프링의 변화( F1 = Reset )" in CP949.
const char kWindowTitle[] =
    "pzo20031204 _ "
    "\xB3\xF4\xC0\xCC\xBF\xA1 \xB5\xFB\xB8\xA5 \xBD\xBA\xC7\xC1\xB8\xB5\xC0\xC7 \xBA\xAF\xC8\xAD"
    "( F1 = Reset )";

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int cmdShow) {
    if (!StaticObjectsPresent()) return 1;
    if (RegisterWindowClass(instance) == 0) return 0;
    if (CreateMainWindow(instance, cmdShow) == 0) return 0;

    for (;;) {
        if (PeekMessageA(&g_msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessageA(&g_msg, nullptr, 0, 0) == 0) break;
            TranslateMessage(&g_msg);
            DispatchMessageA(&g_msg);
        } else {
            RenderFrame();
        }
    }
    return static_cast<int>(g_msg.wParam);
}

int RegisterWindowClass(HINSTANCE instance) {
    g_windowRect = {0, 0, g_windowWidth, g_windowHeight};

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

int CreateMainWindow(HINSTANCE instance, int cmdShow) {
    g_windowExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    g_windowStyle = WS_OVERLAPPEDWINDOW;
    AdjustWindowRectEx(&g_windowRect, g_windowStyle, FALSE, g_windowExStyle);

    // The creation message runs the start-up inside this call, from its own handle; the
    // extended style serves only the size computation above.
    g_hwnd = CreateWindowExA(0, kWindowClassName, kWindowTitle, g_windowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                             g_windowRect.right - g_windowRect.left, g_windowRect.bottom - g_windowRect.top,
                             nullptr, nullptr, instance, nullptr);
    // Without a window nothing could ever post the quit message.
    if (g_hwnd == nullptr) return 0;

    ShowWindow(g_hwnd, cmdShow);
    UpdateWindow(g_hwnd);
    return 1;
}
