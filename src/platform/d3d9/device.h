// The software rendering device: fixed render, sampler and transform state, the back
// buffer with its optional depth-stencil buffer, resource creation, bindings, draws and
// presentation to the window.
//
// Lifetime: the device holds its Direct3D object; every resource holds the device, so the
// device outlives its resources however the application orders its releases. Bindings
// (streams, indices, declaration) are not references: a dying resource unbinds itself.
//
// State that drives drawing: the world, view and projection transforms, the viewport,
// the material, and the render states D3DRS_CULLMODE, D3DRS_LIGHTING, D3DRS_AMBIENT,
// D3DRS_ZENABLE and D3DRS_ZWRITEENABLE (the depth comparison is always less-or-equal).
// Every other render and sampler state is stored and reported back, nothing more.
//
// Present hands the back buffer itself to the window, which keeps a reference instead of a
// copy; the device then draws into a second buffer until the window lets go of the first.
//
// Clears: a clear of the whole target fills it as one span; a clear of the whole depth or
// stencil buffer is only recorded, and written by the first draw that tests depth or by a
// read-back of that buffer, so a frame that never uses depth never pays for clearing it
// and no caller can tell the difference.
//
// Validation: a bad call (null out-pointer, unknown enum, draw outside a scene or beyond
// its buffers, unbalanced scene) returns D3DERR_INVALIDCALL and changes nothing.
#pragma once

#include "springdrop/d3d9/com_object.h"
#include "springdrop/d3d9/d3d9.h"
#include "springdrop/d3d9/instrumentation.h"
#include "springdrop/d3d9/pipeline.h"
#include "springdrop/d3d9/resources.h"
#include "springdrop/d3d9/vertex_layout.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace d3d9sw {

class Direct3D;

class Device final : public IDirect3DDevice9, public internal::RefCounted<Device> {
public:
    // `parameters` are resolved: a non-zero back-buffer size and a known format.
    Device(Direct3D* direct3d, D3DDEVTYPE type, HWND focusWindow, const D3DPRESENT_PARAMETERS& parameters);
    ~Device();

    void Forget(const VertexBuffer* buffer);
    void Forget(const IndexBuffer* buffer);
    void Forget(const VertexDeclaration* declaration);
    // Stores the device in `out` with a new reference (for the resources' GetDevice).
    HRESULT HandOut(IDirect3DDevice9** out);
    void ReadBackBuffer(BackBufferImage* out) const;
    void ReadDepthStencil(DepthStencilImage* out);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** vertexBuffer,
                               HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** indexBuffer, HANDLE* sharedHandle) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, INT baseVertexIndex, UINT minVertexIndex,
                                 UINT numVertices, UINT startIndex, UINT primitiveCount) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                            UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) override;
    HRESULT CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) override;

private:
    static constexpr UINT kRenderStateCount = 210;  // states 7 .. 209 exist
    static constexpr UINT kSamplerCount = 16;
    static constexpr UINT kSamplerStateCount = 14;  // types 1 .. 13 exist

    struct StreamBinding {
        VertexBuffer* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
    };

    // The drawing steps shared by both draw calls.
    HRESULT PrepareDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, VertexLayout* layout,
                        std::array<StreamView, kMaxStreams>* streams) const;
    bool VertexRangeFits(const VertexLayout& layout, std::int64_t lowest, std::int64_t highest) const;
    void RunDraw(const VertexLayout& layout, const std::array<StreamView, kMaxStreams>& streams,
                 const VertexSource& source, D3DPRIMITIVETYPE type, UINT primitiveCount);
    HRESULT ClearTargets(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil);
    void ClearRectangle(const D3DRECT& rect, DWORD flags, std::uint32_t color, float z, std::uint8_t stencil);
    // Writes the recorded whole-buffer depth and stencil clears, if any.
    void ApplyPendingClears();
    // The back buffer's bytes for writing, held by the device alone. While a window still
    // holds the presented buffer, writing moves to the spare one, which takes over the
    // contents unless `keepContents` is false (the caller overwrites every pixel).
    std::uint8_t* WritableColor(bool keepContents);
    HRESULT PresentFrame(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                         const RGNDATA* dirtyRegion);
    D3DMATRIX* TransformSlot(D3DTRANSFORMSTATETYPE state);

    Direct3D* direct3d_;
    D3DDEVTYPE type_;
    HWND focusWindow_;
    D3DPRESENT_PARAMETERS parameters_;
    int width_;
    int height_;
    std::shared_ptr<std::vector<std::uint8_t>> color_;  // RGBA8, rows top to bottom
    std::shared_ptr<std::vector<std::uint8_t>> spareColor_;  // the other buffer, or null
    std::vector<float> depth_;          // empty without a depth buffer
    std::vector<std::uint8_t> stencil_; // empty without a stencil buffer
    std::optional<float> pendingDepth_;           // the value every depth is cleared to, not yet written
    std::optional<std::uint8_t> pendingStencil_;  // likewise for the stencil

    std::array<DWORD, kRenderStateCount> renderStates_{};
    std::array<std::array<DWORD, kSamplerStateCount>, kSamplerCount> samplerStates_{};
    D3DMATRIX world_;
    D3DMATRIX view_;
    D3DMATRIX projection_;
    D3DVIEWPORT9 viewport_;
    D3DMATERIAL9 material_{};
    bool inScene_ = false;

    std::array<StreamBinding, kMaxStreams> streams_{};
    IndexBuffer* indices_ = nullptr;
    VertexDeclaration* declaration_ = nullptr;
    DWORD fvf_ = 0;
    bool declarationIsCurrent_ = false;  // the later of SetVertexDeclaration and SetFVF wins
};

}  // namespace d3d9sw
