// The Direct3D object and Direct3DCreate9. Device creation validates the presentation
// parameters, resolves a back-buffer size of 0 from the window's client area and writes
// the resolved values back into the caller's record.
#include "springdrop/d3d9/direct3d.h"

#include "springdrop/d3d9/device.h"
#include "springdrop/d3d9/window_sink.h"

#include <cstring>
#include <new>

namespace d3d9sw {
namespace {

constexpr UINT kMaxBackBufferSize = 16384;

bool IsSupportedDeviceType(D3DDEVTYPE type) { return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF; }

bool HasOneVertexProcessingMode(DWORD behaviorFlags) {
    DWORD modes = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                   D3DCREATE_MIXED_VERTEXPROCESSING);
    return modes == D3DCREATE_SOFTWARE_VERTEXPROCESSING || modes == D3DCREATE_HARDWARE_VERTEXPROCESSING ||
           modes == D3DCREATE_MIXED_VERTEXPROCESSING;
}

bool IsDepthStencilFormat(D3DFORMAT format) {
    return format == D3DFMT_D24S8 || format == D3DFMT_D24X8 || format == D3DFMT_D16;
}

bool IsBackBufferFormat(D3DFORMAT format) {
    return format == D3DFMT_UNKNOWN || format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8;
}

// Resolves a zero width or height from the client area of the device window, or else of
// the focus window.
HRESULT ResolveBackBufferSize(HWND focusWindow, D3DPRESENT_PARAMETERS* parameters) {
    if (parameters->BackBufferWidth != 0 && parameters->BackBufferHeight != 0) return D3D_OK;
    HWND window = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    UINT clientWidth = 0, clientHeight = 0;
    if (!SinkClientSize(window, &clientWidth, &clientHeight)) return D3DERR_INVALIDCALL;
    if (parameters->BackBufferWidth == 0) parameters->BackBufferWidth = clientWidth;
    if (parameters->BackBufferHeight == 0) parameters->BackBufferHeight = clientHeight;
    return D3D_OK;
}

HRESULT ValidateCreation(UINT adapter, D3DDEVTYPE deviceType, DWORD behaviorFlags,
                         const D3DPRESENT_PARAMETERS& parameters) {
    if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    if (!IsSupportedDeviceType(deviceType)) return D3DERR_NOTAVAILABLE;
    if (!HasOneVertexProcessingMode(behaviorFlags)) return D3DERR_INVALIDCALL;
    if (!parameters.Windowed) return D3DERR_NOTAVAILABLE;
    if (parameters.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
    if (parameters.SwapEffect < D3DSWAPEFFECT_DISCARD || parameters.SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (!IsBackBufferFormat(parameters.BackBufferFormat)) return D3DERR_NOTAVAILABLE;
    if (parameters.EnableAutoDepthStencil && !IsDepthStencilFormat(parameters.AutoDepthStencilFormat))
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

}  // namespace

HRESULT Direct3D::QueryInterface(REFIID riid, void** object) {
    return LoggedQueryInterface("Direct3D::QueryInterface", riid, object, IID_IDirect3D9, static_cast<IDirect3D9*>(this));
}
ULONG Direct3D::AddRef() { return LoggedAddRef("Direct3D::AddRef"); }
ULONG Direct3D::Release() { return LoggedRelease("Direct3D::Release"); }

UINT Direct3D::GetAdapterCount() {
    return internal::Counted("Direct3D::GetAdapterCount", [] { return UINT{1}; });
}

HRESULT Direct3D::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) {
    return internal::Instrumented(
        "Direct3D::GetAdapterIdentifier",
        [&] {
            if (adapter != D3DADAPTER_DEFAULT || !identifier) return D3DERR_INVALIDCALL;
            std::memset(identifier, 0, sizeof *identifier);
            std::strcpy(identifier->Driver, "springdrop_sw");
            std::strcpy(identifier->Description, "Springdrop software rasterizer");
            std::strcpy(identifier->DeviceName, "springdrop0");
            identifier->DriverVersion.QuadPart = 0x0001000000000000LL;
            identifier->VendorId = internal::AdapterVendorId();
            identifier->DeviceId = internal::AdapterDeviceId();
            identifier->DeviceIdentifier = GUID{0x53505244, 0x4F50, 0x5357, {'S', 'O', 'F', 'T', 'R', 'A', 'S', 'T'}};
            return D3D_OK;
        },
        adapter, flags, identifier);
}

void FillDeviceCaps(D3DDEVTYPE deviceType, D3DCAPS9* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->DeviceType = deviceType;
    caps->AdapterOrdinal = 0;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps->DevCaps = 0x00000010 | 0x00000040;  // executes from system memory, draws primitives via TL vertices
    caps->PrimitiveMiscCaps = 0x00000020 | 0x00000040;  // cull CW, cull CCW
    caps->RasterCaps = 0x00000040 | 0x00100000;         // fog vertex, scissor test
    caps->ZCmpCaps = 0x000000FF;                        // every comparison
    caps->FVFCaps = 8;                                  // texture-coordinate sets
    caps->VertexProcessingCaps = 0x00000001 | 0x00000008;  // texgen, material source
    caps->MaxActiveLights = 8;
    caps->MaxUserClipPlanes = 0;
    caps->MaxVertexBlendMatrices = 1;
    caps->MaxVertexBlendMatrixIndex = 0;
    caps->MaxPointSize = 1.0f;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = 0xFFFFFF;
    caps->MaxStreams = 16;
    caps->MaxStreamStride = 255;
    caps->VertexShaderVersion = 0xFFFE0000;  // no vertex shaders (version 0.0)
    caps->PixelShaderVersion = 0xFFFF0000;   // no pixel shaders (version 0.0)
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) {
    return internal::Instrumented(
        "Direct3D::GetDeviceCaps",
        [&] {
            if (adapter != D3DADAPTER_DEFAULT || !caps) return D3DERR_INVALIDCALL;
            if (!IsSupportedDeviceType(deviceType)) return D3DERR_NOTAVAILABLE;
            FillDeviceCaps(deviceType, caps);
            return D3D_OK;
        },
        adapter, deviceType, caps);
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                               D3DPRESENT_PARAMETERS* presentationParameters, IDirect3DDevice9** returnedDevice) {
    if (returnedDevice) *returnedDevice = nullptr;
    return internal::Instrumented(
        "Direct3D::CreateDevice",
        [&] {
            if (!presentationParameters || !returnedDevice) return D3DERR_INVALIDCALL;
            D3DPRESENT_PARAMETERS resolved = *presentationParameters;
            HRESULT valid = ValidateCreation(adapter, deviceType, behaviorFlags, resolved);
            if (valid != D3D_OK) return valid;
            HRESULT sized = ResolveBackBufferSize(focusWindow, &resolved);
            if (sized != D3D_OK) return sized;
            if (resolved.BackBufferWidth == 0 || resolved.BackBufferHeight == 0) return D3DERR_INVALIDCALL;
            if (resolved.BackBufferWidth > kMaxBackBufferSize || resolved.BackBufferHeight > kMaxBackBufferSize)
                return D3DERR_OUTOFVIDEOMEMORY;
            if (resolved.BackBufferFormat == D3DFMT_UNKNOWN) resolved.BackBufferFormat = D3DFMT_X8R8G8B8;
            if (resolved.BackBufferCount == 0) resolved.BackBufferCount = 1;
            Device* device = nullptr;
            try {
                device = new Device(this, deviceType, focusWindow, resolved);
            } catch (const std::bad_alloc&) {
                return D3DERR_OUTOFVIDEOMEMORY;
            }
            *presentationParameters = resolved;
            *returnedDevice = device;
            return D3D_OK;
        },
        adapter, deviceType, focusWindow, behaviorFlags, presentationParameters, returnedDevice);
}

}  // namespace d3d9sw

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    HRESULT fault = D3D_OK;
    bool failed = d3d9sw::internal::TakeFault("Direct3DCreate9", d3d9sw::internal::Failable::ByMethodOnly, &fault);
    IDirect3D9* created = nullptr;
    if (!failed && !d3d9sw::internal::Direct3DCreateFails() && (sdkVersion == 31 || sdkVersion == 32))
        created = new (std::nothrow) d3d9sw::Direct3D();
    d3d9sw::internal::Record("Direct3DCreate9", created ? D3D_OK : D3DERR_NOTAVAILABLE, sdkVersion);
    return created;
}
