// Device creation and the fixed render state.
#include "render/device_setup.h"

#include "render/startup_sphere.h"

IDirect3D9* g_d3d = nullptr;
IDirect3DDevice9* g_device = nullptr;
facet::Mesh* g_sphereMesh = nullptr;

namespace {

constexpr UINT kSdkVersion = 31;

D3DPRESENT_PARAMETERS WindowedPresentParameters() {
    D3DPRESENT_PARAMETERS parameters{};
    // A zero size takes the window's client size.
    parameters.BackBufferWidth = 0;
    parameters.BackBufferHeight = 0;
    parameters.BackBufferFormat = D3DFMT_UNKNOWN;
    parameters.BackBufferCount = 0;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.MultiSampleQuality = 0;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = nullptr;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    parameters.Flags = 0;
    parameters.FullScreen_RefreshRateInHz = 0;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return parameters;
}

}  // namespace

HRESULT InitDevice(HWND hwnd) {
    g_d3d = Direct3DCreate9(kSdkVersion);
    if (g_d3d == nullptr) return E_FAIL;

    D3DPRESENT_PARAMETERS parameters = WindowedPresentParameters();
    if (FAILED(g_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                   &parameters, &g_device))) {
        g_device = nullptr;
        return E_FAIL;
    }

    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    g_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    BuildStartupSphere();
    return S_OK;
}

HRESULT SetupMaterial() {
    D3DMATERIAL9 material{};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    return g_device->SetMaterial(&material);
}
