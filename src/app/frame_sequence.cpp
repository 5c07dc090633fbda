// The frame sequence.
#include "app/frame_sequence.h"

namespace app {

bool BodyIsStepped(const Demo& demo) {
    return demo.device != nullptr && demo.body != nullptr && demo.body->CanStep();
}

void RenderFrame(Demo& demo) {
    const float currentFps = demo.timer.Tick();
    // An equal rate or a NaN leaves the maximum as it is.
    if (currentFps > demo.maxFps) demo.maxFps = currentFps;
    render::DrawOverlay(demo.hdc, demo.maxFps, currentFps, demo.dropHeight);

    bool stepped = false;
    if (IDirect3DDevice9* device = demo.device) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFFFFFFF, 1.0f, 0);
        device->BeginScene();
        stepped = BodyIsStepped(demo);
        if (stepped) {
            demo.body->Step(sim::kStepSeconds);
            render::DrawBody(device, demo.bodyLines, *demo.body);
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    if (demo.frameObserver) demo.frameObserver(stepped);
}

}  // namespace app
