// The mesh object behind the Mesh interface, in both index widths from one template:
// MeshObject<WORD> (D3DFMT_INDEX16) and MeshObject<DWORD> (D3DFMT_INDEX32). Only the
// library's own code and its tests see this type; everyone else holds a Mesh*.
#pragma once

#include "facet/mesh.h"

#include <cstdlib>
#include <memory>

namespace facet {

// Bits of the mesh's storage flags this library gives a meaning.
namespace StorageFlags {
constexpr DWORD AttributeIds = 0x4;         // the attribute ids exist (set at construction)
constexpr DWORD GroupTableValid = 0x10;     // the group table may be used for drawing
constexpr DWORD SharedVertexBuffer = 0x20;  // the vertex buffer belongs to another mesh
}  // namespace StorageFlags

template <typename Index>
class MeshObject final : public Mesh {
public:
    // The index value that marks an unused face.
    static constexpr Index kEmptyIndex = static_cast<Index>(~Index{0});
    static constexpr D3DFORMAT kIndexFormat = sizeof(Index) == 2 ? D3DFMT_INDEX16 : D3DFMT_INDEX32;

    // Holds a reference to `device` and its Direct3D object; no buffers yet. The
    // declaration must satisfy IsMeshDeclaration.
    MeshObject(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device);

    // Grows the buffers to hold `faces` faces and `vertices` vertices (keeping the data
    // already there, zero-filling the rest), sets the counts and records the device's
    // vertex cache description. Defined in mesh_resize.cpp.
    HRESULT Resize(DWORD faces, DWORD vertices);

    // When set, QueryInterface, AddRef and Release are forwarded to `outer`, the object
    // that embeds this mesh.
    void SetOuterOwner(IUnknown* outer) { outerOwner_ = outer; }
    // Called by attribute sorting once the group table describes the faces in order.
    void MarkGroupTableValidForDrawing() { storageFlags_ |= StorageFlags::GroupTableValid; }
    DWORD VertexCacheSize() const { return vertexCacheSize_; }
    DWORD VertexCacheParameter() const { return vertexCacheParameter_; }

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT DrawGroup(DWORD attributeId) override;
    DWORD FaceCount() override { return faceCount_; }
    DWORD VertexCount() override { return vertexCount_; }
    DWORD VertexFormat() override { return vertexFormat_; }
    HRESULT CopyDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) override;
    DWORD VertexStride() override { return vertexStride_; }
    DWORD Options() override { return options_; }
    HRESULT Device(IDirect3DDevice9** device) override;
    HRESULT CloneWithFormat(DWORD options, DWORD fvf, IDirect3DDevice9* device, Mesh** cloneOut) override;
    HRESULT CloneWithDeclaration(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                                 Mesh** cloneOut) override;
    HRESULT VertexBuffer(IDirect3DVertexBuffer9** buffer) override;
    HRESULT IndexBuffer(IDirect3DIndexBuffer9** buffer) override;
    HRESULT LockVertices(DWORD flags, void** data) override;
    HRESULT UnlockVertices() override;
    HRESULT LockIndices(DWORD flags, void** data) override;
    HRESULT UnlockIndices() override;
    HRESULT CopyGroupTable(GroupEntry* entries, DWORD* count) override;
    HRESULT AdjacencyFromPointReps(const DWORD* pointReps, DWORD* adjacency) override;
    HRESULT PointRepsFromAdjacency(const DWORD* adjacency, DWORD* pointReps) override;
    HRESULT BuildAdjacency(float epsilon, DWORD* adjacency) override;
    HRESULT ReplaceDeclaration(const D3DVERTEXELEMENT9* declaration) override;
    HRESULT LockAttributes(DWORD flags, DWORD** attributeIds) override;
    HRESULT UnlockAttributes() override;
    HRESULT OptimizeInto(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                         ResultBuffer** vertexRemap, Mesh** optimizedOut) override;
    HRESULT OptimizeSelf(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                         ResultBuffer** vertexRemap) override;
    HRESULT SetGroupTable(const GroupEntry* entries, DWORD count) override;
    HRESULT InternalStep() override;

private:
    ~MeshObject();

    // Steps of Resize (mesh_resize.cpp); declaration replacement and InternalStep reuse the
    // first and the last.
    void CreateDeclarationObject();
    HRESULT GrowIndexBuffer(DWORD faces);
    HRESULT GrowAttributeIds(DWORD faces);
    HRESULT GrowVertexBuffer(DWORD vertices);
    HRESULT RecordVertexCache();

    void DiscardGroupTable();

    DWORD vertexFormat_ = 0;
    IDirect3DVertexDeclaration9* declarationObject_ = nullptr;
    D3DVERTEXELEMENT9 declaration_[MAX_FVF_DECL_SIZE] = {};
    DWORD options_ = 0;
    DWORD storageFlags_ = StorageFlags::AttributeIds;
    D3DPOOL indexPool_ = D3DPOOL_DEFAULT;
    D3DPOOL vertexPool_ = D3DPOOL_DEFAULT;
    DWORD indexUsage_ = 0;
    DWORD vertexUsage_ = 0;
    IDirect3D9* direct3D_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
    DWORD vertexStride_ = 0;
    DWORD vertexCount_ = 0;
    DWORD vertexCapacity_ = 0;
    IDirect3DIndexBuffer9* indexBuffer_ = nullptr;
    // From calloc: a large mesh's ids are pages the system gives zeroed on first write, so
    // a mesh whose attributes are never set holds no memory for them.
    struct FreeAttributeIds {
        void operator()(DWORD* ids) const { std::free(ids); }
    };
    std::unique_ptr<DWORD[], FreeAttributeIds> attributeIds_;
    std::unique_ptr<GroupEntry[]> groupTable_;
    DWORD groupCount_ = 0;
    DWORD faceCount_ = 0;
    DWORD faceCapacity_ = 0;
    LONG referenceCount_ = 1;
    IUnknown* outerOwner_ = nullptr;
    DWORD vertexCacheSize_ = 0;
    DWORD vertexCacheParameter_ = 0;
};

using Mesh16 = MeshObject<WORD>;
using Mesh32 = MeshObject<DWORD>;

}  // namespace facet
