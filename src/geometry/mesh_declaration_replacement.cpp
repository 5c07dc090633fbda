// Mesh::ReplaceDeclaration: a new reading of the same vertex bytes.
#include "geometry/mesh_object.h"

#include "facet/vertex_declaration.h"

#include <algorithm>

namespace facet {

template <typename Index>
HRESULT MeshObject<Index>::ReplaceDeclaration(const D3DVERTEXELEMENT9* declaration) {
    if (!IsMeshDeclaration(declaration) || DeclarationStride(declaration, 0) != vertexStride_)
        return D3DERR_INVALIDCALL;
    std::copy_n(declaration, DeclarationLength(declaration) + 1, declaration_);
    if (FAILED(FormatFromDeclaration(declaration_, &vertexFormat_))) vertexFormat_ = 0;
    if (declarationObject_ != nullptr) declarationObject_->Release();
    declarationObject_ = nullptr;
    CreateDeclarationObject();
    return D3D_OK;
}

template HRESULT MeshObject<WORD>::ReplaceDeclaration(const D3DVERTEXELEMENT9*);
template HRESULT MeshObject<DWORD>::ReplaceDeclaration(const D3DVERTEXELEMENT9*);

}  // namespace facet
