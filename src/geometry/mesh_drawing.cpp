// Mesh::DrawGroup: the faces of one attribute id, through the sorted group table when it
// is valid, otherwise as the runs of consecutive faces carrying the id.
#include "geometry/mesh_object.h"

namespace facet {

namespace {

// The entry for `attributeId`: the one at that position when it carries the id (the
// usual layout of a sorted table), else the first that does; null when none does.
const GroupEntry* FindGroup(const GroupEntry* table, DWORD count, DWORD attributeId) {
    if (attributeId < count && table[attributeId].attributeId == attributeId) return &table[attributeId];
    for (DWORD i = 0; i < count; ++i)
        if (table[i].attributeId == attributeId) return &table[i];
    return nullptr;
}

}  // namespace

template <typename Index>
HRESULT MeshObject<Index>::DrawGroup(DWORD attributeId) {
    if (vertexBuffer_ == nullptr) return D3D_OK;
    device_->SetVertexDeclaration(declarationObject_);
    device_->SetStreamSource(0, vertexBuffer_, 0, vertexStride_);
    device_->SetIndices(indexBuffer_);

    if (storageFlags_ & StorageFlags::GroupTableValid) {
        const GroupEntry* group = FindGroup(groupTable_.get(), groupCount_, attributeId);
        if (group == nullptr || group->faceCount == 0) return D3D_OK;
        return device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, group->firstVertex, group->vertexCount,
                                             group->firstFace * 3, group->faceCount);
    }

    HRESULT result = D3D_OK;
    DWORD face = 0;
    while (face < faceCount_) {
        if (attributeIds_[face] != attributeId) {
            ++face;
            continue;
        }
        const DWORD runStart = face;
        while (face < faceCount_ && attributeIds_[face] == attributeId) ++face;
        result = device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertexCount_, runStart * 3,
                                               face - runStart);
        // Only the draw of a run that reaches the last face reports its result.
        if (face < faceCount_) result = D3D_OK;
    }
    return result;
}

template HRESULT MeshObject<WORD>::DrawGroup(DWORD);
template HRESULT MeshObject<DWORD>::DrawGroup(DWORD);

}  // namespace facet
