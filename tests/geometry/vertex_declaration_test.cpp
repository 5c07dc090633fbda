// FVF ↔ declaration conversions, the mesh validity rule and strides.
#include "facet/vertex_declaration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace {

using facet::DeclarationFromFormat;
using facet::DeclarationStride;
using facet::FormatFromDeclaration;
using facet::IsMeshDeclaration;

// (offset, type, usage, usage index) of each element before the end marker.
using Element = std::tuple<int, int, int, int>;

std::vector<Element> Elements(const D3DVERTEXELEMENT9* declaration) {
    std::vector<Element> out;
    for (UINT i = 0; declaration[i].Stream != 0xFF; ++i) {
        EXPECT_EQ(declaration[i].Stream, 0);
        EXPECT_EQ(declaration[i].Method, D3DDECLMETHOD_DEFAULT);
        out.emplace_back(declaration[i].Offset, declaration[i].Type, declaration[i].Usage, declaration[i].UsageIndex);
    }
    return out;
}

std::vector<Element> FromFormat(DWORD fvf) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    EXPECT_EQ(DeclarationFromFormat(fvf, declaration), D3D_OK) << std::hex << fvf;
    return Elements(declaration);
}

TEST(DeclarationFromFormat, PositionNormalConvertsBothWays) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(DeclarationFromFormat(0x12, declaration), D3D_OK);
    EXPECT_EQ(Elements(declaration), (std::vector<Element>{{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
                                                          {12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0}}));
    const D3DVERTEXELEMENT9 end = D3DDECL_END();
    EXPECT_EQ(0, std::memcmp(&declaration[2], &end, sizeof end));
    EXPECT_EQ(DeclarationStride(declaration, 0), 24u);
    DWORD fvf = 0;
    ASSERT_EQ(FormatFromDeclaration(declaration, &fvf), D3D_OK);
    EXPECT_EQ(fvf, 0x12u);
}

TEST(DeclarationFromFormat, ColourAndTextureCoordinates) {
    EXPECT_EQ(FromFormat(0x142), (std::vector<Element>{{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
                                                       {12, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0},
                                                       {16, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, 0}}));
    // Specular colour, point size and texture sets of 1, 3 and 4 floats (size codes 3, 1, 2).
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_SPECULAR | (3u << 8) | (3u << 16) | (1u << 18) | (2u << 20);
    EXPECT_EQ(FromFormat(fvf), (std::vector<Element>{{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
                                                     {12, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0},
                                                     {16, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1},
                                                     {20, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD, 0},
                                                     {24, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_TEXCOORD, 1},
                                                     {36, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, 2}}));
}

TEST(DeclarationFromFormat, TransformedPositionIsFourFloats) {
    EXPECT_EQ(FromFormat(0x4), (std::vector<Element>{{0, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0}}));
}

TEST(DeclarationFromFormat, BlendValues) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    EXPECT_EQ(DeclarationFromFormat(0xE, declaration), D3DERR_INVALIDCALL);
    EXPECT_EQ(FromFormat(0xE | 0x1000), (std::vector<Element>{{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
                                                              {12, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT, 0},
                                                              {28, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES, 0}}));
    // One blend value with a last-beta bit is only the indices, here as a colour.
    EXPECT_EQ(FromFormat(0x6 | 0x8000), (std::vector<Element>{{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
                                                              {12, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_BLENDINDICES, 0}}));
    EXPECT_EQ(FromFormat(0xA), (std::vector<Element>{{0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0},
                                                     {12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_BLENDWEIGHT, 0}}));
}

TEST(DeclarationFromFormat, RefusedCodes) {
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    for (DWORD fvf : {0x1u | 0x2u, 0x2002u, 0x4002u, 0x902u})
        EXPECT_EQ(DeclarationFromFormat(fvf, declaration), D3DERR_INVALIDCALL) << std::hex << fvf;
    EXPECT_EQ(DeclarationFromFormat(0x802, declaration), D3D_OK);
    EXPECT_EQ(DeclarationFromFormat(0x12, nullptr), D3DERR_INVALIDCALL);
}

TEST(FormatFromDeclaration, RoundTripsEveryExpressibleCode) {
    const DWORD codes[] = {0x2,    0x4,    0x12,   0x142,  0x6 | 0x1000, 0xC,    0xE | 0x8000,
                           0x1F2,  0x8C2,  0x352 | (0xFu << 16), 0x10,   0x3C2 | (0x2Au << 16)};
    for (DWORD fvf : codes) {
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        ASSERT_EQ(DeclarationFromFormat(fvf, declaration), D3D_OK) << std::hex << fvf;
        DWORD back = 0;
        ASSERT_EQ(FormatFromDeclaration(declaration, &back), D3D_OK) << std::hex << fvf;
        EXPECT_EQ(back, fvf) << std::hex << fvf;
    }
}

TEST(FormatFromDeclaration, LayoutsWithoutACode) {
    DWORD fvf = 0xDEAD;
    const D3DVERTEXELEMENT9 gap[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                     {0, 16, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                     D3DDECL_END()};
    EXPECT_EQ(FormatFromDeclaration(gap, &fvf), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 outOfOrder[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                            {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                            D3DDECL_END()};
    EXPECT_EQ(FormatFromDeclaration(outOfOrder, &fvf), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 skippedSet[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                            {0, 12, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 1},
                                            D3DDECL_END()};
    EXPECT_EQ(FormatFromDeclaration(skippedSet, &fvf), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 tangent[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                         {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
                                         D3DDECL_END()};
    EXPECT_EQ(FormatFromDeclaration(tangent, &fvf), D3DERR_INVALIDCALL);
    EXPECT_EQ(fvf, 0xDEADu);
}

TEST(IsMeshDeclaration, StreamsAndGeneratedElements) {
    const D3DVERTEXELEMENT9 secondStream[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                              {1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                              D3DDECL_END()};
    EXPECT_FALSE(IsMeshDeclaration(secondStream));
    EXPECT_FALSE(IsMeshDeclaration(nullptr));
    // Ordinary elements may alias; generated ones may not overlap an earlier generated one.
    const D3DVERTEXELEMENT9 aliased[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                         {0, 4, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                         D3DDECL_END()};
    EXPECT_TRUE(IsMeshDeclaration(aliased));
    const D3DVERTEXELEMENT9 overlappingGenerated[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_CROSSUV, D3DDECLUSAGE_NORMAL, 0},
        {0, 8, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_PARTIALU, D3DDECLUSAGE_TANGENT, 0},
        D3DDECL_END()};
    EXPECT_FALSE(IsMeshDeclaration(overlappingGenerated));
    D3DVERTEXELEMENT9 noEnd[MAX_FVF_DECL_SIZE];
    for (auto& element : noEnd) element = {0, 0, D3DDECLTYPE_FLOAT1, 0, D3DDECLUSAGE_PSIZE, 0};
    EXPECT_FALSE(IsMeshDeclaration(noEnd));
}

TEST(DeclarationStride, PerStreamAndWithoutUvElements) {
    const D3DVERTEXELEMENT9 declaration[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                             {0, 20, D3DDECLTYPE_SHORT4, 0, D3DDECLUSAGE_TEXCOORD, 0},
                                             {0, 40, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_UV, D3DDECLUSAGE_TEXCOORD, 1},
                                             {1, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_COLOR, 0},
                                             D3DDECL_END()};
    EXPECT_EQ(DeclarationStride(declaration, 0), 28u);
    EXPECT_EQ(DeclarationStride(declaration, 1), 16u);
    EXPECT_EQ(DeclarationStride(nullptr, 0), 0u);
}

}  // namespace
