// Element sizes, declaration length, the mesh validity rule and the vertex stride.
#include "facet/vertex_declaration.h"

namespace facet {

namespace {

constexpr WORD kEndStream = 0xFF;

}  // namespace

UINT DeclarationTypeSize(BYTE type) {
    static constexpr BYTE kSizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8, 0};
    return type < sizeof(kSizes) ? kSizes[type] : 0;
}

UINT DeclarationLength(const D3DVERTEXELEMENT9* declaration) {
    if (declaration == nullptr) return MAX_FVF_DECL_SIZE;
    for (UINT i = 0; i < MAX_FVF_DECL_SIZE; ++i)
        if (declaration[i].Stream == kEndStream) return i;
    return MAX_FVF_DECL_SIZE;
}

bool IsMeshDeclaration(const D3DVERTEXELEMENT9* declaration) {
    const UINT length = DeclarationLength(declaration);
    if (length == MAX_FVF_DECL_SIZE) return false;
    // Elements the tessellator generates must not overlap one another; ordinary elements
    // may alias freely.
    UINT generatedEnd = 0;
    for (UINT i = 0; i < length; ++i) {
        const D3DVERTEXELEMENT9& element = declaration[i];
        if (element.Stream != 0) return false;
        if (element.Method == D3DDECLMETHOD_DEFAULT) continue;
        if (element.Offset < generatedEnd) return false;
        generatedEnd = element.Offset + DeclarationTypeSize(element.Type);
    }
    return true;
}

UINT DeclarationStride(const D3DVERTEXELEMENT9* declaration, DWORD stream) {
    if (declaration == nullptr) return 0;
    const UINT length = DeclarationLength(declaration);
    UINT stride = 0;
    for (UINT i = 0; i < length; ++i) {
        const D3DVERTEXELEMENT9& element = declaration[i];
        // A UV element is computed by the tessellator and takes no room in the vertex.
        if (element.Stream != stream || element.Method == D3DDECLMETHOD_UV) continue;
        const UINT end = element.Offset + DeclarationTypeSize(element.Type);
        if (end > stride) stride = end;
    }
    return stride;
}

}  // namespace facet
