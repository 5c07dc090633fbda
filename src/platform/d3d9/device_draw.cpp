// The two draw calls: validation of the scene, the primitive type and count, the vertex
// layout, the bound streams and indices, and every vertex the draw will read; then the
// fixed-function pipeline.
#include "springdrop/d3d9/device.h"

#include "springdrop/d3d9/resources.h"

#include <algorithm>
#include <cstdint>

namespace d3d9sw {

using internal::Instrumented;

namespace {

constexpr UINT kMaxPrimitiveCount = 0xFFFFF;

CullMode CullModeFromState(DWORD cullMode) {
    switch (cullMode) {
    case D3DCULL_CW: return CullMode::Clockwise;
    case D3DCULL_CCW: return CullMode::CounterClockwise;
    default: return CullMode::None;
    }
}

}  // namespace

HRESULT Device::PrepareDraw(D3DPRIMITIVETYPE type, UINT primitiveCount, VertexLayout* layout,
                            std::array<StreamView, kMaxStreams>* streams) const {
    if (!inScene_) return D3DERR_INVALIDCALL;
    if (VerticesForPrimitives(type, primitiveCount) == 0 || primitiveCount > kMaxPrimitiveCount)
        return D3DERR_INVALIDCALL;
    bool haveLayout = declarationIsCurrent_ ? declaration_ && declaration_->Layout(layout) : LayoutFromFvf(fvf_, layout);
    if (!haveLayout) return D3DERR_INVALIDCALL;
    for (UINT s = 0; s < kMaxStreams; ++s) {
        if (layout->streamExtent[s] == 0) continue;
        const StreamBinding& binding = streams_[s];
        if (!binding.buffer || binding.stride == 0) return D3DERR_INVALIDCALL;
        (*streams)[s] = StreamView{binding.buffer->Storage().Bytes(), binding.offset, binding.stride};
    }
    return D3D_OK;
}

// Whether vertices lowest..highest lie inside every stream the layout reads.
bool Device::VertexRangeFits(const VertexLayout& layout, std::int64_t lowest, std::int64_t highest) const {
    if (lowest < 0) return false;
    for (UINT s = 0; s < kMaxStreams; ++s) {
        if (layout.streamExtent[s] == 0) continue;
        const StreamBinding& binding = streams_[s];
        std::int64_t end = binding.offset + highest * binding.stride + layout.streamExtent[s];
        if (end > binding.buffer->Storage().Length()) return false;
    }
    return true;
}

void Device::RunDraw(const VertexLayout& layout, const std::array<StreamView, kMaxStreams>& streams,
                     const VertexSource& source, D3DPRIMITIVETYPE type, UINT primitiveCount) {
    RasterTarget target;
    target.color = WritableColor(true);
    target.depth = depth_.empty() ? nullptr : depth_.data();
    target.pitch = width_;
    target.left = static_cast<int>(viewport_.X);
    target.top = static_cast<int>(viewport_.Y);
    target.right = static_cast<int>(viewport_.X + viewport_.Width);
    target.bottom = static_cast<int>(viewport_.Y + viewport_.Height);
    target.depthTest = target.depth && renderStates_[D3DRS_ZENABLE] != D3DZB_FALSE;
    target.depthWrite = renderStates_[D3DRS_ZWRITEENABLE] != FALSE;
    if (target.depthTest) ApplyPendingClears();

    FixedFunctionState state;
    state.worldViewProjection = MultiplyMatrices(MultiplyMatrices(world_, view_), projection_);
    state.viewport = viewport_;
    state.cull = CullModeFromState(renderStates_[D3DRS_CULLMODE]);
    state.lighting = renderStates_[D3DRS_LIGHTING] != FALSE;
    state.ambient = renderStates_[D3DRS_AMBIENT];
    state.material = material_;
    DrawPrimitives(target, state, layout, streams, source, type, primitiveCount);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) {
    return Instrumented(
        "Device::DrawPrimitive",
        [&] {
            VertexLayout layout;
            std::array<StreamView, kMaxStreams> streams{};
            HRESULT prepared = PrepareDraw(primitiveType, primitiveCount, &layout, &streams);
            if (prepared != D3D_OK) return prepared;
            UINT vertexCount = VerticesForPrimitives(primitiveType, primitiveCount);
            if (!VertexRangeFits(layout, startVertex, static_cast<std::int64_t>(startVertex) + vertexCount - 1))
                return D3DERR_INVALIDCALL;
            VertexSource source;
            source.startVertex = startVertex;
            RunDraw(layout, streams, source, primitiveType, primitiveCount);
            return D3D_OK;
        },
        primitiveType, startVertex, primitiveCount);
}

// minVertexIndex and numVertices are hints in this interface; the device checks every
// index the draw reads instead.
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, INT baseVertexIndex, UINT minVertexIndex,
                                     UINT numVertices, UINT startIndex, UINT primitiveCount) {
    return Instrumented(
        "Device::DrawIndexedPrimitive",
        [&] {
            if (!indices_) return D3DERR_INVALIDCALL;
            VertexLayout layout;
            std::array<StreamView, kMaxStreams> streams{};
            HRESULT prepared = PrepareDraw(primitiveType, primitiveCount, &layout, &streams);
            if (prepared != D3D_OK) return prepared;
            UINT indexCount = VerticesForPrimitives(primitiveType, primitiveCount);
            bool wide = indices_->Format() == D3DFMT_INDEX32;
            std::uint64_t indexEnd = (static_cast<std::uint64_t>(startIndex) + indexCount) * (wide ? 4 : 2);
            if (indexEnd > indices_->Storage().Length()) return D3DERR_INVALIDCALL;
            VertexSource source;
            source.indices = indices_->Storage().Bytes();
            source.indices32 = wide;
            source.startIndex = startIndex;
            source.baseVertexIndex = baseVertexIndex;
            std::int64_t lowest = INT64_MAX, highest = INT64_MIN;
            for (UINT i = 0; i < indexCount; ++i) {
                std::int64_t vertex = source.VertexAt(i);
                lowest = std::min(lowest, vertex);
                highest = std::max(highest, vertex);
            }
            if (!VertexRangeFits(layout, lowest, highest)) return D3DERR_INVALIDCALL;
            RunDraw(layout, streams, source, primitiveType, primitiveCount);
            return D3D_OK;
        },
        primitiveType, baseVertexIndex, minVertexIndex, numVertices, startIndex, primitiveCount);
}

}  // namespace d3d9sw
