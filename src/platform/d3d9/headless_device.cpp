#include "springdrop/d3d9/headless_device.h"

namespace d3d9sw {

D3DPRESENT_PARAMETERS WindowedPresentParameters(UINT width, UINT height, D3DFORMAT backBufferFormat) {
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.BackBufferFormat = backBufferFormat;
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

HRESULT CreateHeadlessDevice(UINT width, UINT height, IDirect3DDevice9** device) {
    if (device == nullptr) return D3DERR_INVALIDCALL;
    *device = nullptr;
    // A zero side would make device creation measure a window, and there is none.
    if (width == 0 || height == 0) return D3DERR_INVALIDCALL;

    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (direct3D == nullptr) return D3DERR_NOTAVAILABLE;

    D3DPRESENT_PARAMETERS parameters = WindowedPresentParameters(width, height, D3DFMT_X8R8G8B8);
    HRESULT result = direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                            D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, device);
    // The device keeps its own reference to the Direct3D object.
    direct3D->Release();
    return result;
}

}  // namespace d3d9sw
