// Mesh::CloneWithDeclaration: a new mesh created as CreateMeshFromDeclaration creates one,
// then filled: vertices element by element, indices widened or narrowed, attribute ids and
// the group table copied.
#include "geometry/mesh_object.h"

#include "facet/vertex_declaration.h"
#include "geometry/vertex_element_conversion.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace facet {

namespace {

struct ElementPair {
    const D3DVERTEXELEMENT9* from;
    const D3DVERTEXELEMENT9* to;
};

// Each element of `to` that lies within its stride, with the first element of `from` of
// the same usage and usage index that lies within its own; elements without one are left
// out (the new buffer is zero-filled).
std::vector<ElementPair> PairElements(const D3DVERTEXELEMENT9* from, UINT fromStride, const D3DVERTEXELEMENT9* to,
                                      UINT toStride) {
    const auto fits = [](const D3DVERTEXELEMENT9& e, UINT stride) {
        return e.Offset + DeclarationTypeSize(e.Type) <= stride && DeclarationTypeSize(e.Type) > 0;
    };
    std::vector<ElementPair> pairs;
    for (const D3DVERTEXELEMENT9* target = to; target->Stream != 0xFF; ++target) {
        if (!fits(*target, toStride)) continue;
        for (const D3DVERTEXELEMENT9* source = from; source->Stream != 0xFF; ++source)
            if (source->Usage == target->Usage && source->UsageIndex == target->UsageIndex &&
                fits(*source, fromStride)) {
                pairs.push_back({source, target});
                break;
            }
    }
    return pairs;
}

void ConvertVertices(const BYTE* from, UINT fromStride, BYTE* to, UINT toStride, DWORD count,
                     const std::vector<ElementPair>& pairs) {
    for (DWORD v = 0; v < count; ++v) {
        const BYTE* source = from + std::size_t{v} * fromStride;
        BYTE* target = to + std::size_t{v} * toStride;
        for (const ElementPair& pair : pairs) {
            if (pair.from->Type == pair.to->Type) {
                std::memcpy(target + pair.to->Offset, source + pair.from->Offset, DeclarationTypeSize(pair.to->Type));
                continue;
            }
            float value[4];
            ReadVertexElement(pair.from->Type, source + pair.from->Offset, value);
            WriteVertexElement(pair.to->Type, value, target + pair.to->Offset);
        }
    }
}

template <typename From, typename To>
void CopyIndices(const From* from, To* to, std::size_t count) {
    constexpr From kFromEmpty = static_cast<From>(~From{0});
    constexpr To kToEmpty = static_cast<To>(~To{0});
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i] == kFromEmpty ? kToEmpty : static_cast<To>(from[i]);
}

// True when every used face (first corner not the empty value) names vertices below `vertices`.
template <typename Index>
bool FacesWithinVertices(const Index* indices, DWORD faces, DWORD vertices) {
    constexpr Index kEmpty = static_cast<Index>(~Index{0});
    for (std::size_t f = 0; f < faces; ++f) {
        const Index* c = indices + 3 * f;
        if (c[0] != kEmpty && (c[0] >= vertices || c[1] >= vertices || c[2] >= vertices)) return false;
    }
    return true;
}

void ReleaseMesh(Mesh*& mesh) {
    mesh->Release();
    mesh = nullptr;
}

}  // namespace

template <typename Index>
HRESULT MeshObject<Index>::CloneWithDeclaration(DWORD options, const D3DVERTEXELEMENT9* declaration,
                                                IDirect3DDevice9* device, Mesh** cloneOut) {
    if (cloneOut == nullptr || (options_ & (MeshOptions::IndexWriteOnly | MeshOptions::VertexWriteOnly)) != 0)
        return D3DERR_INVALIDCALL;
    const bool wide = (options & MeshOptions::Indices32Bit) != 0;
    if (!wide && (faceCount_ > 0xFFFE || vertexCount_ > 0xFFFE)) return D3DERR_INVALIDCALL;

    void* indexData = nullptr;
    HRESULT result = LockIndices(D3DLOCK_READONLY, &indexData);
    if (FAILED(result)) return result;
    const auto* indices = static_cast<const Index*>(indexData);
    if (!FacesWithinVertices(indices, faceCount_, vertexCount_)) {
        UnlockIndices();
        return D3DERR_INVALIDCALL;
    }

    Mesh* clone = nullptr;
    result = CreateMeshFromDeclaration(faceCount_, vertexCount_, options, declaration, device, &clone);
    void* target = nullptr;
    if (SUCCEEDED(result)) {
        result = clone->LockIndices(0, &target);
        if (FAILED(result)) ReleaseMesh(clone);
    }
    if (FAILED(result)) {
        UnlockIndices();
        return result;
    }
    if (wide)
        CopyIndices(indices, static_cast<DWORD*>(target), 3 * std::size_t{faceCount_});
    else
        CopyIndices(indices, static_cast<WORD*>(target), 3 * std::size_t{faceCount_});
    clone->UnlockIndices();
    UnlockIndices();

    void* from = nullptr;
    result = LockVertices(D3DLOCK_READONLY, &from);
    if (SUCCEEDED(result)) {
        void* to = nullptr;
        result = clone->LockVertices(0, &to);
        if (SUCCEEDED(result)) {
            ConvertVertices(static_cast<const BYTE*>(from), vertexStride_, static_cast<BYTE*>(to),
                            clone->VertexStride(), vertexCount_,
                            PairElements(declaration_, vertexStride_, declaration, clone->VertexStride()));
            clone->UnlockVertices();
        }
        UnlockVertices();
    }
    if (FAILED(result)) {
        ReleaseMesh(clone);
        return result;
    }

    DWORD* attributeIds = nullptr;
    clone->LockAttributes(0, &attributeIds);
    std::copy_n(attributeIds_.get(), faceCount_, attributeIds);
    clone->UnlockAttributes();
    if (groupCount_ > 0) {
        result = clone->SetGroupTable(groupTable_.get(), groupCount_);
        if (FAILED(result)) {
            ReleaseMesh(clone);
            return result;
        }
        if (storageFlags_ & StorageFlags::GroupTableValid) {
            if (wide)
                static_cast<Mesh32*>(clone)->MarkGroupTableValidForDrawing();
            else
                static_cast<Mesh16*>(clone)->MarkGroupTableValidForDrawing();
        }
    }
    *cloneOut = clone;
    return D3D_OK;
}

template HRESULT MeshObject<WORD>::CloneWithDeclaration(DWORD, const D3DVERTEXELEMENT9*, IDirect3DDevice9*, Mesh**);
template HRESULT MeshObject<DWORD>::CloneWithDeclaration(DWORD, const D3DVERTEXELEMENT9*, IDirect3DDevice9*, Mesh**);

}  // namespace facet
