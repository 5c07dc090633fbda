// Mesh::OptimizeSelf and Mesh::OptimizeInto: the arguments and the mesh's faces are checked
// and the plan is made on copies, so that a refusal or a lack of memory leaves everything
// untouched; then both buffers are locked before either is rewritten.
#include "geometry/mesh_object.h"

#include "geometry/face_order.h"
#include "geometry/optimization_plan.h"
#include "geometry/vertex_fetch_order.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace facet {

namespace {

constexpr DWORD kNoEntry = 0xFFFFFFFF;

bool AdjacencyNamesFaces(const DWORD* adjacency, DWORD faces) {
    for (std::size_t i = 0; i < 3 * std::size_t{faces}; ++i)
        if (adjacency[i] != NoNeighbour && adjacency[i] >= faces) return false;
    return true;
}

// The faces' corners widened to 32 bits (the empty-index value becoming kUnusedFaceCorner);
// false when a used face names a vertex at or past `vertices`.
template <typename Index>
bool WidenCorners(const Index* indices, DWORD faces, DWORD vertices, std::vector<std::uint32_t>* corners) {
    constexpr Index kEmpty = static_cast<Index>(~Index{0});
    corners->resize(3 * std::size_t{faces});
    for (std::size_t f = 0; f < faces; ++f) {
        const Index* c = indices + 3 * f;
        std::uint32_t* out = corners->data() + 3 * f;
        if (c[0] == kEmpty) {
            out[0] = out[1] = out[2] = kUnusedFaceCorner;
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            if (c[k] >= vertices) return false;
            out[k] = c[k];
        }
    }
    return true;
}

// The adjacency in the new face numbering, 3·oldFaces entries.
std::vector<DWORD> CarryAdjacency(const DWORD* adjacency, const std::vector<std::uint32_t>& faceOrder,
                                  DWORD oldFaces) {
    std::vector<DWORD> newFaceOf(oldFaces, NoNeighbour);
    for (std::size_t i = 0; i < faceOrder.size(); ++i) newFaceOf[faceOrder[i]] = static_cast<DWORD>(i);
    std::vector<DWORD> carried(3 * std::size_t{oldFaces}, NoNeighbour);
    for (std::size_t i = 0; i < faceOrder.size(); ++i)
        for (int k = 0; k < 3; ++k) {
            const DWORD neighbour = adjacency[3 * std::size_t{faceOrder[i]} + k];
            carried[3 * i + k] = neighbour == NoNeighbour ? NoNeighbour : newFaceOf[neighbour];
        }
    return carried;
}

bool IsIdentity(const std::vector<std::uint32_t>& order, DWORD count) {
    if (order.size() != count) return false;
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i] != i) return false;
    return true;
}

}  // namespace

template <typename Index>
HRESULT MeshObject<Index>::OptimizeSelf(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                        DWORD* faceRemap, ResultBuffer** vertexRemap) {
    if ((flags & ~OptimizeFlags::All) != 0 ||
        (options_ & (MeshOptions::IndexWriteOnly | MeshOptions::VertexWriteOnly)) != 0)
        return D3DERR_INVALIDCALL;
    if (adjacencyIn != nullptr && !AdjacencyNamesFaces(adjacencyIn, faceCount_)) return D3DERR_INVALIDCALL;

    const DWORD oldFaces = faceCount_, oldVertices = vertexCount_;
    OptimizationPlan plan;
    std::vector<DWORD> carriedAdjacency;
    std::unique_ptr<GroupEntry[]> groupTable;
    try {
        std::vector<std::uint32_t> corners;
        void* indexData = nullptr;
        HRESULT result = LockIndices(D3DLOCK_READONLY, &indexData);
        if (FAILED(result)) return result;
        const bool valid = WidenCorners(static_cast<const Index*>(indexData), oldFaces, oldVertices, &corners);
        UnlockIndices();
        if (!valid) return D3DERR_INVALIDCALL;
        plan = PlanOptimization(corners.data(), attributeIds_.get(), oldFaces, oldVertices, flags);
        // The adjacency formed at the end refuses a group table that reaches past the
        // faces; a mesh that keeps such a table is refused before anything changes.
        const bool keepsGroupTable = (flags & OptimizeFlags::AttributeSort) == 0 && IsIdentity(plan.faceOrder, oldFaces);
        if (adjacencyOut != nullptr && adjacencyIn == nullptr && keepsGroupTable &&
            !FaceOrder{groupTable_.get(), groupCount_, oldFaces}.IsWithinFaces())
            return D3DERR_INVALIDCALL;
        if (adjacencyIn != nullptr && adjacencyOut != nullptr)
            carriedAdjacency = CarryAdjacency(adjacencyIn, plan.faceOrder, oldFaces);
        if (!plan.groups.empty()) {
            groupTable.reset(new GroupEntry[plan.groups.size()]);
            std::copy(plan.groups.begin(), plan.groups.end(), groupTable.get());
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }

    ResultBuffer* remapBuffer = nullptr;
    if (vertexRemap != nullptr) {
        const HRESULT result = CreateResultBuffer(oldVertices * sizeof(DWORD), &remapBuffer);
        if (FAILED(result)) return result;
    }
    void* vertexData = nullptr;
    void* indexData = nullptr;
    HRESULT result = LockVertices(0, &vertexData);
    if (SUCCEEDED(result)) {
        result = LockIndices(0, &indexData);
        if (FAILED(result)) UnlockVertices();
    }
    if (FAILED(result)) {
        if (remapBuffer != nullptr) remapBuffer->Release();
        return result;
    }

    const DWORD newFaces = static_cast<DWORD>(plan.faceOrder.size());
    const DWORD newVertices = static_cast<DWORD>(plan.vertexOrder.size());
    if (!IsIdentity(plan.vertexOrder, oldVertices)) {
        auto* bytes = static_cast<BYTE*>(vertexData);
        const std::vector<BYTE> old(bytes, bytes + std::size_t{oldVertices} * vertexStride_);
        for (std::size_t i = 0; i < newVertices; ++i)
            std::memcpy(bytes + i * vertexStride_, old.data() + std::size_t{plan.vertexOrder[i]} * vertexStride_,
                        vertexStride_);
        std::memset(bytes + std::size_t{newVertices} * vertexStride_, 0,
                    std::size_t{oldVertices - newVertices} * vertexStride_);
    }
    auto* indices = static_cast<Index*>(indexData);
    for (std::size_t i = 0; i < plan.newCorners.size(); ++i)
        indices[i] = plan.newCorners[i] == kUnusedFaceCorner ? kEmptyIndex : static_cast<Index>(plan.newCorners[i]);
    std::fill(indices + plan.newCorners.size(), indices + 3 * std::size_t{oldFaces}, Index{0});
    UnlockIndices();
    UnlockVertices();
    std::copy(plan.newAttributeIds.begin(), plan.newAttributeIds.end(), attributeIds_.get());
    std::fill(attributeIds_.get() + newFaces, attributeIds_.get() + oldFaces, DWORD{0});
    faceCount_ = newFaces;
    vertexCount_ = newVertices;

    if (flags & OptimizeFlags::AttributeSort) {
        DiscardGroupTable();
        groupTable_ = std::move(groupTable);
        groupCount_ = static_cast<DWORD>(plan.groups.size());
        MarkGroupTableValidForDrawing();
    } else if (!IsIdentity(plan.faceOrder, oldFaces)) {
        DiscardGroupTable();
    }

    if (faceRemap != nullptr) {
        std::copy(plan.faceOrder.begin(), plan.faceOrder.end(), faceRemap);
        std::fill(faceRemap + newFaces, faceRemap + oldFaces, kNoEntry);
    }
    if (adjacencyOut != nullptr && adjacencyIn != nullptr) {
        std::copy(carriedAdjacency.begin(), carriedAdjacency.end(), adjacencyOut);
    } else if (adjacencyOut != nullptr) {
        std::fill(adjacencyOut + 3 * std::size_t{newFaces}, adjacencyOut + 3 * std::size_t{oldFaces}, NoNeighbour);
        result = AdjacencyFromPointReps(nullptr, adjacencyOut);
    }
    // The vertex remap is handed out only with success, so that a caller never holds a
    // buffer it was not told of.
    if (remapBuffer != nullptr) {
        if (FAILED(result)) {
            remapBuffer->Release();
            return result;
        }
        auto* remap = static_cast<DWORD*>(remapBuffer->Data());
        std::copy(plan.vertexOrder.begin(), plan.vertexOrder.end(), remap);
        std::fill(remap + newVertices, remap + oldVertices, kNoEntry);
        *vertexRemap = remapBuffer;
    }
    return result;
}

template <typename Index>
HRESULT MeshObject<Index>::OptimizeInto(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                        DWORD* faceRemap, ResultBuffer** vertexRemap, Mesh** optimizedOut) {
    if (optimizedOut == nullptr || (flags & ~OptimizeFlags::All) != 0) return D3DERR_INVALIDCALL;
    Mesh* copy = nullptr;
    HRESULT result = CloneWithDeclaration(options_, declaration_, device_, &copy);
    if (FAILED(result)) return result;
    result = copy->OptimizeSelf(flags, adjacencyIn, adjacencyOut, faceRemap, vertexRemap);
    if (FAILED(result)) {
        copy->Release();
        return result;
    }
    *optimizedOut = copy;
    return D3D_OK;
}

template HRESULT MeshObject<WORD>::OptimizeSelf(DWORD, const DWORD*, DWORD*, DWORD*, ResultBuffer**);
template HRESULT MeshObject<DWORD>::OptimizeSelf(DWORD, const DWORD*, DWORD*, DWORD*, ResultBuffer**);
template HRESULT MeshObject<WORD>::OptimizeInto(DWORD, const DWORD*, DWORD*, DWORD*, ResultBuffer**, Mesh**);
template HRESULT MeshObject<DWORD>::OptimizeInto(DWORD, const DWORD*, DWORD*, DWORD*, ResultBuffer**, Mesh**);

}  // namespace facet
