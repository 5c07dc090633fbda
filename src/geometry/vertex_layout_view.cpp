// VertexLayoutView: classifies the elements of a declaration in declaration order.
#include "geometry/vertex_layout_view.h"

#include "facet/vertex_declaration.h"

namespace facet {

namespace {

bool IsFloatType(BYTE type) { return type <= D3DDECLTYPE_FLOAT4; }
bool IsColorType(BYTE type) { return type == D3DDECLTYPE_FLOAT4 || type == D3DDECLTYPE_D3DCOLOR; }

}  // namespace

VertexLayoutView::VertexLayoutView(const D3DVERTEXELEMENT9* declaration)
    : stride(DeclarationStride(declaration, 0)) {
    const UINT length = DeclarationLength(declaration);
    for (UINT i = 0; i < length && declaration != nullptr; ++i) {
        const D3DVERTEXELEMENT9* element = &declaration[i];
        const BYTE type = element->Type;
        const BYTE usageIndex = element->UsageIndex;
        switch (element->Usage) {
            case D3DDECLUSAGE_POSITION:
                if (usageIndex == 0 && type == D3DDECLTYPE_FLOAT3) position = element;
                break;
            case D3DDECLUSAGE_BLENDWEIGHT:
                if (usageIndex == 0 && IsFloatType(type)) blendWeights = element;
                break;
            case D3DDECLUSAGE_BLENDINDICES:
                if (usageIndex == 0 && (type == D3DDECLTYPE_UBYTE4 || type == D3DDECLTYPE_D3DCOLOR))
                    blendIndices = element;
                break;
            case D3DDECLUSAGE_NORMAL:
                if (usageIndex == 0 && type == D3DDECLTYPE_FLOAT3) normal = element;
                break;
            case D3DDECLUSAGE_TEXCOORD:
                if (usageIndex < kTextureSets && IsFloatType(type)) textureCoordinates[usageIndex] = element;
                break;
            case D3DDECLUSAGE_COLOR:
                if (usageIndex == 0 && IsColorType(type)) diffuse = element;
                if (usageIndex == 1 && IsColorType(type)) specular = element;
                break;
            default:
                break;
        }
    }
}

}  // namespace facet
