#include "springdrop/d3d9/vertex_layout.h"

#include <algorithm>

namespace d3d9sw {
namespace {

constexpr DWORD kFvfKnownBits = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                                D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | D3DFVF_LASTBETA_UBYTE4 |
                                D3DFVF_LASTBETA_D3DCOLOR | 0xFFFF0000u;
constexpr UINT kMaxTextureSets = 8;
constexpr BYTE kLastDeclarationType = D3DDECLTYPE_FLOAT16_4;
constexpr BYTE kLastDeclarationMethod = D3DDECLMETHOD_LOOKUPPRESAMPLED;
constexpr BYTE kLastDeclarationUsage = D3DDECLUSAGE_SAMPLE;
constexpr WORD kEndStream = 0xFF;

// Bytes of the position part of a valid code, blend weights included.
UINT PositionSize(DWORD fvf) {
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: return 12;
    case D3DFVF_XYZRHW: return 16;
    case D3DFVF_XYZW: return 16;
    case D3DFVF_XYZB1: return 16;
    case D3DFVF_XYZB2: return 20;
    case D3DFVF_XYZB3: return 24;
    case D3DFVF_XYZB4: return 28;
    case D3DFVF_XYZB5: return 32;
    default: return 0;
    }
}

// Texture coordinate set i has 2 floats (format 0), 3 (1), 4 (2) or 1 (3).
UINT TextureSetSize(DWORD fvf, UINT set) {
    static constexpr UINT kFloats[4] = {2, 3, 4, 1};
    return 4 * kFloats[(fvf >> (16 + 2 * set)) & 3];
}

bool IsPositionType(BYTE usage, BYTE type) {
    if (usage == D3DDECLUSAGE_POSITION) return type == D3DDECLTYPE_FLOAT3 || type == D3DDECLTYPE_FLOAT4;
    return usage == D3DDECLUSAGE_POSITIONT && type == D3DDECLTYPE_FLOAT4;
}

}  // namespace

bool IsValidFvf(DWORD fvf) {
    if ((fvf & ~kFvfKnownBits) != 0 || (fvf & D3DFVF_RESERVED0) != 0) return false;
    if ((fvf & D3DFVF_POSITION_MASK) != 0 && PositionSize(fvf) == 0) return false;
    return ((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) <= kMaxTextureSets;
}

UINT FvfVertexSize(DWORD fvf) {
    if (!IsValidFvf(fvf)) return 0;
    UINT size = PositionSize(fvf);
    if (fvf & D3DFVF_NORMAL) size += 12;
    if (fvf & D3DFVF_PSIZE) size += 4;
    if (fvf & D3DFVF_DIFFUSE) size += 4;
    if (fvf & D3DFVF_SPECULAR) size += 4;
    UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    for (UINT set = 0; set < sets; ++set) size += TextureSetSize(fvf, set);
    return size;
}

bool LayoutFromFvf(DWORD fvf, VertexLayout* layout) {
    if (!IsValidFvf(fvf) || (fvf & D3DFVF_POSITION_MASK) == 0) return false;
    VertexLayout result;
    DWORD positionBits = fvf & D3DFVF_POSITION_MASK;
    result.position = positionBits == D3DFVF_XYZRHW ? PositionKind::Transformed
                      : positionBits == D3DFVF_XYZW ? PositionKind::Homogeneous
                                                    : PositionKind::Model;
    UINT offset = PositionSize(fvf);
    if (fvf & D3DFVF_NORMAL) offset += 12;
    if (fvf & D3DFVF_PSIZE) offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        result.diffuse = ColorKind::Packed;
        result.diffuseAt = ElementLocation{0, offset};
    }
    result.streamExtent[0] = FvfVertexSize(fvf);
    *layout = result;
    return true;
}

UINT DeclarationTypeSize(BYTE type) {
    static constexpr UINT kSizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
    return type <= kLastDeclarationType ? kSizes[type] : 0;
}

bool MeasureDeclaration(const D3DVERTEXELEMENT9* elements, UINT* count) {
    for (UINT i = 0; i < MAXD3DDECLLENGTH + 1; ++i) {
        const D3DVERTEXELEMENT9& element = elements[i];
        if (element.Stream == kEndStream) {
            *count = i;
            return true;
        }
        if (element.Stream >= kMaxStreams || element.Type > kLastDeclarationType ||
            element.Method > kLastDeclarationMethod || element.Usage > kLastDeclarationUsage)
            return false;
        for (UINT j = 0; j < i; ++j)
            if (elements[j].Usage == element.Usage && elements[j].UsageIndex == element.UsageIndex) return false;
    }
    return false;
}

bool LayoutFromDeclaration(const D3DVERTEXELEMENT9* elements, UINT count, VertexLayout* layout) {
    VertexLayout result;
    bool hasPosition = false;
    for (UINT i = 0; i < count; ++i) {
        const D3DVERTEXELEMENT9& element = elements[i];
        UINT end = element.Offset + DeclarationTypeSize(element.Type);
        result.streamExtent[element.Stream] = std::max(result.streamExtent[element.Stream], end);
        ElementLocation at{element.Stream, element.Offset};
        if (element.UsageIndex == 0 && IsPositionType(element.Usage, element.Type)) {
            hasPosition = true;
            result.positionAt = at;
            result.position = element.Usage == D3DDECLUSAGE_POSITIONT ? PositionKind::Transformed
                              : element.Type == D3DDECLTYPE_FLOAT4    ? PositionKind::Homogeneous
                                                                      : PositionKind::Model;
        } else if (element.Usage == D3DDECLUSAGE_COLOR && element.UsageIndex == 0) {
            if (element.Type == D3DDECLTYPE_D3DCOLOR) result.diffuse = ColorKind::Packed;
            if (element.Type == D3DDECLTYPE_FLOAT4) result.diffuse = ColorKind::Float4;
            result.diffuseAt = at;
        }
    }
    if (!hasPosition) return false;
    *layout = result;
    return true;
}

}  // namespace d3d9sw
