// The demo's one owner of state: everything the program keeps from start-up to shut-down,
// made by RunDemo (or WinMain) and reached by the window procedure through the window's
// user data. Members carry the documented names of the objects they hold (`body`,
// `camera`, `device`, ...).
#pragma once

#include "render/body_lines.h"
#include "render/camera.h"
#include "render/device_setup.h"
#include "render/frame.h"
#include "sim/scene.h"
#include "springdrop/shell/win32.h"

#include <functional>

namespace app {

// Called at the end of every frame with whether the body was stepped in it; launchers
// count, trace and capture frames with it.
using FrameObserver = std::function<void(bool bodyStepped)>;

struct Demo {
    Demo() = default;
    // Releases whatever shut-down has not: a run that quit with Escape never destroys its
    // window, so nothing else would.
    ~Demo();
    Demo(const Demo&) = delete;
    Demo& operator=(const Demo&) = delete;

    // The main window.
    int windowWidth = 640;
    int windowHeight = 480;
    RECT windowRect = {0, 0, 0, 0};
    DWORD windowStyle = 0;
    DWORD windowExStyle = 0;
    HWND hwnd = nullptr;
    MSG msg = {};
    HDC hdc = nullptr;

    // The device set-up's objects (device null when it could not be created) and the
    // vertex buffer the body is drawn from.
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    facet::Mesh* sphereMesh = nullptr;
    render::BodyLines bodyLines;

    // The viewer and the frame clock. Camera and transform set are allocated, so a failed
    // allocation can be reported before the window opens.
    render::Camera* camera = nullptr;
    render::TransformSet* transforms = nullptr;
    render::FrameTimer timer;
    float maxFps = 0.0f;

    // The body, its drop height and where the heights come from.
    sim::SpringBody* body = nullptr;
    float dropHeight = 0.0f;
    sim::DropHeightSequence heights;

    // The right-button drag: on or off, and the client position last recorded.
    int rightDrag = 0;
    int lastMouseX = 0;
    int lastMouseY = 0;

    FrameObserver frameObserver;
};

}  // namespace app
