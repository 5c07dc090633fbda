// Device construction, reference counting and the fixed-function state: render, sampler
// and transform state, viewport and material.
#include "springdrop/d3d9/device.h"

#include "springdrop/d3d9/direct3d.h"
#include "springdrop/d3d9/resources.h"


namespace d3d9sw {

using internal::Instrumented;

namespace {

constexpr DWORD kFillSolid = 3;
constexpr DWORD kShadeGouraud = 2;
constexpr DWORD kCompareLessEqual = 4;
constexpr DWORD kBlendZero = 1;
constexpr DWORD kBlendOne = 2;
constexpr DWORD kFilterPoint = 1;
constexpr UINT kFirstRenderState = D3DRS_ZENABLE;

D3DMATRIX Identity() {
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    return identity;
}

bool HasStencil(D3DFORMAT format) { return format == D3DFMT_D24S8; }

std::size_t PixelCount(const D3DPRESENT_PARAMETERS& parameters) {
    return static_cast<std::size_t>(parameters.BackBufferWidth) * parameters.BackBufferHeight;
}

}  // namespace

Device::Device(Direct3D* direct3d, D3DDEVTYPE type, HWND focusWindow, const D3DPRESENT_PARAMETERS& parameters)
    : direct3d_(direct3d),
      type_(type),
      focusWindow_(focusWindow),
      parameters_(parameters),
      width_(static_cast<int>(parameters.BackBufferWidth)),
      height_(static_cast<int>(parameters.BackBufferHeight)),
      color_(std::make_shared<std::vector<std::uint8_t>>(PixelCount(parameters) * 4)),
      depth_(parameters.EnableAutoDepthStencil ? PixelCount(parameters) : 0, 1.0f),
      stencil_(parameters.EnableAutoDepthStencil && HasStencil(parameters.AutoDepthStencilFormat)
                   ? PixelCount(parameters)
                   : 0,
               0),
      world_(Identity()),
      view_(Identity()),
      projection_(Identity()),
      viewport_{0, 0, parameters.BackBufferWidth, parameters.BackBufferHeight, 0.0f, 1.0f} {
    FillPixels(color_->data(), PixelCount(parameters), PackRgba(0, 0, 0, 255));
    renderStates_[D3DRS_ZENABLE] = depth_.empty() ? D3DZB_FALSE : D3DZB_TRUE;
    renderStates_[D3DRS_FILLMODE] = kFillSolid;
    renderStates_[D3DRS_SHADEMODE] = kShadeGouraud;
    renderStates_[D3DRS_ZWRITEENABLE] = TRUE;
    renderStates_[D3DRS_SRCBLEND] = kBlendOne;
    renderStates_[D3DRS_DESTBLEND] = kBlendZero;
    renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates_[D3DRS_ZFUNC] = kCompareLessEqual;
    renderStates_[D3DRS_LIGHTING] = TRUE;
    for (auto& sampler : samplerStates_) {
        sampler[D3DSAMP_ADDRESSU] = sampler[D3DSAMP_ADDRESSV] = sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        sampler[D3DSAMP_MAGFILTER] = sampler[D3DSAMP_MINFILTER] = kFilterPoint;
    }
    direct3d_->Retain();
}

Device::~Device() { direct3d_->Drop(); }

void Device::Forget(const VertexBuffer* buffer) {
    for (StreamBinding& stream : streams_)
        if (stream.buffer == buffer) stream = StreamBinding{};
}

void Device::Forget(const IndexBuffer* buffer) {
    if (indices_ == buffer) indices_ = nullptr;
}

void Device::Forget(const VertexDeclaration* declaration) {
    if (declaration_ == declaration) declaration_ = nullptr;
}

HRESULT Device::HandOut(IDirect3DDevice9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    Retain();
    *out = this;
    return D3D_OK;
}

HRESULT Device::QueryInterface(REFIID riid, void** object) {
    return LoggedQueryInterface("Device::QueryInterface", riid, object, IID_IDirect3DDevice9,
                                static_cast<IDirect3DDevice9*>(this));
}
ULONG Device::AddRef() { return LoggedAddRef("Device::AddRef"); }
ULONG Device::Release() { return LoggedRelease("Device::Release"); }

HRESULT Device::GetDirect3D(IDirect3D9** d3d) {
    return Instrumented(
        "Device::GetDirect3D",
        [&] {
            if (!d3d) return D3DERR_INVALIDCALL;
            direct3d_->Retain();
            *d3d = direct3d_;
            return D3D_OK;
        },
        d3d);
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    return Instrumented(
        "Device::GetDeviceCaps",
        [&] {
            if (!caps) return D3DERR_INVALIDCALL;
            FillDeviceCaps(type_, caps);
            return D3D_OK;
        },
        caps);
}

D3DMATRIX* Device::TransformSlot(D3DTRANSFORMSTATETYPE state) {
    switch (state) {
    case D3DTS_WORLD: return &world_;
    case D3DTS_VIEW: return &view_;
    case D3DTS_PROJECTION: return &projection_;
    }
    return nullptr;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    return Instrumented(
        "Device::SetTransform",
        [&] {
            D3DMATRIX* slot = TransformSlot(state);
            if (!slot || !matrix) return D3DERR_INVALIDCALL;
            *slot = *matrix;
            return D3D_OK;
        },
        state, matrix);
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    return Instrumented(
        "Device::GetTransform",
        [&] {
            D3DMATRIX* slot = TransformSlot(state);
            if (!slot || !matrix) return D3DERR_INVALIDCALL;
            *matrix = *slot;
            return D3D_OK;
        },
        state, matrix);
}

// A viewport must lie inside the back buffer, be at least one pixel and keep its depth
// range inside [0, 1].
HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    return Instrumented(
        "Device::SetViewport",
        [&] {
            if (!viewport || viewport->Width == 0 || viewport->Height == 0) return D3DERR_INVALIDCALL;
            if (static_cast<std::uint64_t>(viewport->X) + viewport->Width > parameters_.BackBufferWidth ||
                static_cast<std::uint64_t>(viewport->Y) + viewport->Height > parameters_.BackBufferHeight)
                return D3DERR_INVALIDCALL;
            if (!(viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f && viewport->MaxZ >= 0.0f &&
                  viewport->MaxZ <= 1.0f))
                return D3DERR_INVALIDCALL;
            viewport_ = *viewport;
            return D3D_OK;
        },
        viewport);
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    return Instrumented(
        "Device::GetViewport",
        [&] {
            if (!viewport) return D3DERR_INVALIDCALL;
            *viewport = viewport_;
            return D3D_OK;
        },
        viewport);
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
    return Instrumented(
        "Device::SetMaterial",
        [&] {
            if (!material) return D3DERR_INVALIDCALL;
            material_ = *material;
            return D3D_OK;
        },
        material);
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
    return Instrumented(
        "Device::GetMaterial",
        [&] {
            if (!material) return D3DERR_INVALIDCALL;
            *material = material_;
            return D3D_OK;
        },
        material);
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    return Instrumented(
        "Device::SetRenderState",
        [&] {
            if (state < kFirstRenderState || state >= kRenderStateCount) return D3DERR_INVALIDCALL;
            renderStates_[state] = value;
            return D3D_OK;
        },
        state, value);
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    return Instrumented(
        "Device::GetRenderState",
        [&] {
            if (state < kFirstRenderState || state >= kRenderStateCount || !value) return D3DERR_INVALIDCALL;
            *value = renderStates_[state];
            return D3D_OK;
        },
        state, value);
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    return Instrumented(
        "Device::SetSamplerState",
        [&] {
            if (sampler >= kSamplerCount || type == 0 || type >= kSamplerStateCount) return D3DERR_INVALIDCALL;
            samplerStates_[sampler][type] = value;
            return D3D_OK;
        },
        sampler, type, value);
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    return Instrumented(
        "Device::GetSamplerState",
        [&] {
            if (sampler >= kSamplerCount || type == 0 || type >= kSamplerStateCount || !value)
                return D3DERR_INVALIDCALL;
            *value = samplerStates_[sampler][type];
            return D3D_OK;
        },
        sampler, type, value);
}

}  // namespace d3d9sw
