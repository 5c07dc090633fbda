// Mesh creation from an FVF code or a declaration: argument checks, the index-width
// variant, and the first resize.
#include "facet/mesh.h"
#include "facet/vertex_declaration.h"
#include "geometry/mesh_object.h"

#include <new>

namespace facet {

namespace {

template <typename Index>
HRESULT ConstructAndResize(DWORD faces, DWORD vertices, DWORD options, const D3DVERTEXELEMENT9* declaration,
                           IDirect3DDevice9* device, Mesh** meshOut) {
    auto* mesh = new (std::nothrow) MeshObject<Index>(options, declaration, device);
    if (mesh == nullptr) return E_OUTOFMEMORY;
    const HRESULT result = mesh->Resize(faces, vertices);
    if (FAILED(result)) {
        mesh->Release();
        return result;
    }
    *meshOut = mesh;
    return D3D_OK;
}

}  // namespace

HRESULT CreateMeshFromDeclaration(DWORD faces, DWORD vertices, DWORD options,
                                  const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                                  Mesh** meshOut) {
    if ((options & ~MeshOptions::Valid) != 0 || device == nullptr || meshOut == nullptr ||
        !IsMeshDeclaration(declaration) || faces == 0 || vertices == 0)
        return D3DERR_INVALIDCALL;
    *meshOut = nullptr;
    if ((options & MeshOptions::Indices32Bit) == 0) {
        if (faces > 0xFFFF || vertices > 0xFFFF) return D3DERR_INVALIDCALL;
        return ConstructAndResize<WORD>(faces, vertices, options, declaration, device, meshOut);
    }
    return ConstructAndResize<DWORD>(faces, vertices, options, declaration, device, meshOut);
}

HRESULT CreateMeshFromFormat(DWORD faces, DWORD vertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                             Mesh** meshOut) {
    if (fvf == 0 || (fvf & D3DFVF_RESERVED0) != 0 || (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW)
        return D3DERR_INVALIDCALL;
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    const HRESULT result = DeclarationFromFormat(fvf, declaration);
    if (FAILED(result)) return result;
    return CreateMeshFromDeclaration(faces, vertices, options, declaration, device, meshOut);
}

}  // namespace facet
