// Device creation and the fixed render state.
#include "render/device_setup.h"

#include "springdrop/d3d9/headless_device.h"
#include "render/startup_sphere.h"

namespace render {

namespace {

constexpr UINT kSdkVersion = 31;

}  // namespace

HRESULT InitDevice(HWND hwnd, IDirect3D9** d3d, IDirect3DDevice9** device, facet::Mesh** sphereMesh) {
    *d3d = Direct3DCreate9(kSdkVersion);
    if (*d3d == nullptr) return E_FAIL;

    // A zero size takes the window's client size.
    D3DPRESENT_PARAMETERS parameters = d3d9sw::WindowedPresentParameters(0, 0, D3DFMT_UNKNOWN);
    if (FAILED((*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hwnd, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                    &parameters, device))) {
        *device = nullptr;
        return E_FAIL;
    }

    (*device)->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    (*device)->SetRenderState(D3DRS_LIGHTING, FALSE);
    (*device)->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    (*device)->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    *sphereMesh = BuildStartupSphere(*device);
    return S_OK;
}

HRESULT SetupMaterial(IDirect3DDevice9* device) {
    D3DMATERIAL9 material{};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    return device->SetMaterial(&material);
}

}  // namespace render
