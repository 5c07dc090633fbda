// The demo's one owner of state: everything the program keeps from start-up to shut-down,
// made by RunDemo (or WinMain) and reached by the window procedure through the window's
// user data. Members carry the documented names of the objects they hold (`body`,
// `camera`, `device`, ...).
#pragma once

#include "facet/mesh.h"
#include "render/body_lines.h"
#include "render/camera.h"
#include "render/device_setup.h"
#include "render/frame.h"
#include "sim/scene.h"
#include "springdrop/d3d9/com_ptr.h"
#include "springdrop/shell/win32.h"

#include <functional>
#include <memory>

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
    d3d9sw::ComPtr<IDirect3D9> d3d;
    d3d9sw::ComPtr<IDirect3DDevice9> device;
    d3d9sw::ComPtr<facet::Mesh> sphereMesh;
    render::BodyLines bodyLines;

    // The viewer and the frame clock. Camera and transform set are allocated, so a failed
    // allocation can be reported before the window opens.
    std::unique_ptr<render::Camera> camera;
    std::unique_ptr<render::TransformSet> transforms;
    render::FrameTimer timer;
    float maxFps = 0.0f;

    // The body, its drop height and where the heights come from.
    std::unique_ptr<sim::SpringBody> body;
    float dropHeight = 0.0f;
    sim::DropHeightSequence heights;

    // The right-button drag: on or off, and the client position last recorded.
    int rightDrag = 0;
    int lastMouseX = 0;
    int lastMouseY = 0;

    FrameObserver frameObserver;
};

}  // namespace app
