// FVF code → vertex declaration. Elements follow the FVF's fixed order, all in stream 0
// with the default method, each at the running offset.
#include "facet/vertex_declaration.h"

namespace facet {

namespace {

constexpr DWORD kReservedBits = 0x6001;
constexpr UINT kMaxTextureSets = 8;

// The float type holding `count` floats (1 … 4).
BYTE FloatType(UINT count) { return static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + (count - 1)); }

class DeclarationWriter {
public:
    explicit DeclarationWriter(D3DVERTEXELEMENT9* out) : out_(out) {}

    void Append(BYTE type, BYTE usage, BYTE usageIndex) {
        out_[count_++] = {0, offset_, type, D3DDECLMETHOD_DEFAULT, usage, usageIndex};
        offset_ = static_cast<WORD>(offset_ + DeclarationTypeSize(type));
    }
    void End() { out_[count_] = D3DDECL_END(); }

private:
    D3DVERTEXELEMENT9* out_;
    UINT count_ = 0;
    WORD offset_ = 0;
};

}  // namespace

HRESULT DeclarationFromFormat(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) {
    if (declaration == nullptr || (fvf & kReservedBits) != 0) return D3DERR_INVALIDCALL;
    const UINT textureSets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (textureSets > kMaxTextureSets) return D3DERR_INVALIDCALL;

    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    const bool lastBetaUbyte4 = (fvf & D3DFVF_LASTBETA_UBYTE4) != 0;
    const bool lastBetaColor = (fvf & D3DFVF_LASTBETA_D3DCOLOR) != 0;
    const UINT blendValues = position >= D3DFVF_XYZB1 ? (position - D3DFVF_XYZRHW) / 2 : 0;
    if (blendValues == 5 && !lastBetaUbyte4 && !lastBetaColor) return D3DERR_INVALIDCALL;

    DeclarationWriter writer(declaration);
    if (position == D3DFVF_XYZRHW) {
        writer.Append(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
    } else if (position != 0) {
        writer.Append(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    }
    if (blendValues > 0) {
        if (lastBetaUbyte4 || lastBetaColor) {
            // The last blend value carries the matrix indices instead of a weight.
            if (blendValues > 1) writer.Append(FloatType(blendValues - 1), D3DDECLUSAGE_BLENDWEIGHT, 0);
            writer.Append(lastBetaUbyte4 ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_BLENDINDICES, 0);
        } else {
            writer.Append(FloatType(blendValues), D3DDECLUSAGE_BLENDWEIGHT, 0);
        }
    }
    if (fvf & D3DFVF_NORMAL) writer.Append(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE) writer.Append(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE) writer.Append(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR) writer.Append(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    for (UINT set = 0; set < textureSets; ++set) {
        static constexpr UINT kFloatsBySizeCode[] = {2, 3, 4, 1};
        const UINT sizeCode = (fvf >> (16 + 2 * set)) & 0x3;
        writer.Append(FloatType(kFloatsBySizeCode[sizeCode]), D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(set));
    }
    writer.End();
    return D3D_OK;
}

}  // namespace facet
