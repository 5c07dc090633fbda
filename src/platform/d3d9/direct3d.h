// The software Direct3D 9 object: one adapter (the software rasterizer), its identity
// and capabilities, and device creation.
#pragma once

#include "springdrop/d3d9/com_object.h"
#include "springdrop/d3d9/d3d9.h"

namespace d3d9sw {

class Direct3D final : public IDirect3D9, public internal::RefCounted<Direct3D> {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    UINT GetAdapterCount() override;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentationParameters,
                         IDirect3DDevice9** returnedDevice) override;
};

// The capabilities of the software device of the given type.
void FillDeviceCaps(D3DDEVTYPE deviceType, D3DCAPS9* caps);

}  // namespace d3d9sw
