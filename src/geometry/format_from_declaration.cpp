// Vertex declaration → FVF code: the inverse of DeclarationFromFormat. A code exists only
// for stream-0 elements packed from offset 0 without gaps, in the FVF's fixed order, with
// the element types FVF codes can express.
#include "facet/vertex_declaration.h"

namespace facet {

namespace {

constexpr BYTE kLastFvfType = D3DDECLTYPE_SHORT4;
constexpr BYTE kLastFvfMethod = D3DDECLMETHOD_LOOKUP;
constexpr UINT kMaxTextureSets = 8;

bool IsFloatType(BYTE type) { return type <= D3DDECLTYPE_FLOAT4; }
UINT FloatCount(BYTE type) { return type - D3DDECLTYPE_FLOAT1 + 1u; }

// Walks the elements in order; each Take succeeds only for the element expected next.
class ElementCursor {
public:
    ElementCursor(const D3DVERTEXELEMENT9* elements, UINT length) : elements_(elements), length_(length) {}

    bool AtEnd() const { return index_ == length_; }

    // Takes the next element when it has this usage and usage index and `acceptType`
    // accepts its type; returns the type, or -1 without moving.
    template <typename AcceptType>
    int TakeIf(BYTE usage, BYTE usageIndex, AcceptType acceptType) {
        if (AtEnd()) return -1;
        const D3DVERTEXELEMENT9& element = elements_[index_];
        if (element.Usage != usage || element.UsageIndex != usageIndex || !acceptType(element.Type)) return -1;
        ++index_;
        return element.Type;
    }
    int Take(BYTE usage, BYTE usageIndex, BYTE type) {
        return TakeIf(usage, usageIndex, [type](BYTE t) { return t == type; });
    }

private:
    const D3DVERTEXELEMENT9* elements_;
    UINT length_;
    UINT index_ = 0;
};

// Stream 0, packed from offset 0, types and methods an FVF code can carry.
bool IsPackedFvfLayout(const D3DVERTEXELEMENT9* elements, UINT length) {
    UINT offset = 0;
    for (UINT i = 0; i < length; ++i) {
        const D3DVERTEXELEMENT9& element = elements[i];
        if (element.Stream != 0 || element.Offset != offset) return false;
        if (element.Type > kLastFvfType || element.Method > kLastFvfMethod) return false;
        offset += DeclarationTypeSize(element.Type);
    }
    return true;
}

}  // namespace

HRESULT FormatFromDeclaration(const D3DVERTEXELEMENT9* declaration, DWORD* fvf) {
    if (declaration == nullptr || fvf == nullptr) return D3DERR_INVALIDCALL;
    const UINT length = DeclarationLength(declaration);
    if (length == MAX_FVF_DECL_SIZE || !IsPackedFvfLayout(declaration, length)) return D3DERR_INVALIDCALL;

    ElementCursor cursor(declaration, length);
    DWORD code = 0;
    if (cursor.Take(D3DDECLUSAGE_POSITIONT, 0, D3DDECLTYPE_FLOAT4) >= 0) {
        code = D3DFVF_XYZRHW;
    } else if (cursor.Take(D3DDECLUSAGE_POSITION, 0, D3DDECLTYPE_FLOAT3) >= 0) {
        const int weightType = cursor.TakeIf(D3DDECLUSAGE_BLENDWEIGHT, 0, IsFloatType);
        const int indexType = cursor.TakeIf(D3DDECLUSAGE_BLENDINDICES, 0, [](BYTE t) {
            return t == D3DDECLTYPE_UBYTE4 || t == D3DDECLTYPE_D3DCOLOR;
        });
        UINT blendValues = weightType >= 0 ? FloatCount(static_cast<BYTE>(weightType)) : 0;
        if (indexType >= 0) {
            ++blendValues;
            code |= indexType == D3DDECLTYPE_UBYTE4 ? D3DFVF_LASTBETA_UBYTE4 : D3DFVF_LASTBETA_D3DCOLOR;
        }
        code |= blendValues == 0 ? D3DFVF_XYZ : D3DFVF_XYZRHW + 2 * blendValues;
    }
    if (cursor.Take(D3DDECLUSAGE_NORMAL, 0, D3DDECLTYPE_FLOAT3) >= 0) code |= D3DFVF_NORMAL;
    if (cursor.Take(D3DDECLUSAGE_PSIZE, 0, D3DDECLTYPE_FLOAT1) >= 0) code |= D3DFVF_PSIZE;
    if (cursor.Take(D3DDECLUSAGE_COLOR, 0, D3DDECLTYPE_D3DCOLOR) >= 0) code |= D3DFVF_DIFFUSE;
    if (cursor.Take(D3DDECLUSAGE_COLOR, 1, D3DDECLTYPE_D3DCOLOR) >= 0) code |= D3DFVF_SPECULAR;
    UINT textureSets = 0;
    while (textureSets < kMaxTextureSets) {
        const int type = cursor.TakeIf(D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(textureSets), IsFloatType);
        if (type < 0) break;
        static constexpr DWORD kSizeCodeByFloats[] = {0, 3, 0, 1, 2};
        code |= kSizeCodeByFloats[FloatCount(static_cast<BYTE>(type))] << (16 + 2 * textureSets);
        ++textureSets;
    }
    if (!cursor.AtEnd()) return D3DERR_INVALIDCALL;
    *fvf = code | (textureSets << D3DFVF_TEXCOUNT_SHIFT);
    return D3D_OK;
}

}  // namespace facet
