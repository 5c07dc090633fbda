// Cloning (element conversion by usage, index width, attribute ids and group table),
// declaration replacement, tolerance-based adjacency and the vertex cache re-probe.
#include "geometry/mesh_object.h"
#include "geometry_test_support.h"

#include "facet/math.h"

#include <bit>
#include <cmath>

namespace {

using geometry_test::MeshPtr;

constexpr D3DVERTEXELEMENT9 kEnd = D3DDECL_END();

class MeshCloneTest : public geometry_test::DeviceTest {
protected:
    MeshPtr Create(const D3DVERTEXELEMENT9* declaration, DWORD faces, DWORD vertices, DWORD options) {
        facet::Mesh* mesh = nullptr;
        EXPECT_EQ(facet::CreateMeshFromDeclaration(faces, vertices, options, declaration, device(), &mesh), D3D_OK);
        return MeshPtr(mesh);
    }

    static std::vector<BYTE> Vertices(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        const auto* bytes = static_cast<const BYTE*>(data);
        std::vector<BYTE> copy(bytes, bytes + std::size_t{mesh->VertexCount()} * mesh->VertexStride());
        mesh->UnlockVertices();
        return copy;
    }

    static std::vector<DWORD> Indices(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
        std::vector<DWORD> indices(3 * std::size_t{mesh->FaceCount()});
        for (std::size_t i = 0; i < indices.size(); ++i)
            indices[i] = (mesh->Options() & facet::MeshOptions::Indices32Bit) ? static_cast<DWORD*>(data)[i]
                                                                                : static_cast<WORD*>(data)[i];
        mesh->UnlockIndices();
        return indices;
    }

    template <typename T>
    static T At(const std::vector<BYTE>& bytes, std::size_t offset) {
        T value;
        std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }
};

TEST_F(MeshCloneTest, ElementsAreMatchedByUsageAndConvertedBetweenTypes) {
    // Source: position float3, colour 0, texture set 0 as float2, set 1 as half2, normal.
    const D3DVERTEXELEMENT9 from[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_D3DCOLOR, 0, D3DDECLUSAGE_COLOR, 0},
        {0, 16, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 24, D3DDECLTYPE_FLOAT16_2, 0, D3DDECLUSAGE_TEXCOORD, 1},
        {0, 28, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
        kEnd};
    MeshPtr mesh = Create(from, 1, 1, facet::MeshOptions::Managed);
    std::vector<BYTE> vertex(40);
    const float position[] = {1.5f, -2.0f, 3.25f}, uv[] = {0.25f, 0.75f}, normal[] = {0, -1, 0};
    const float half[] = {0.5f, -3.0f};
    std::uint16_t halves[2];
    facet::Float32To16Array(halves, half, 2);
    const DWORD colour = 0x80FF4000;  // alpha 0x80, red 0xFF, green 0x40, blue 0
    std::memcpy(&vertex[0], position, 12);
    std::memcpy(&vertex[12], &colour, 4);
    std::memcpy(&vertex[16], uv, 8);
    std::memcpy(&vertex[24], halves, 4);
    std::memcpy(&vertex[28], normal, 12);
    void* data = nullptr;
    ASSERT_EQ(mesh->LockVertices(0, &data), D3D_OK);
    std::memcpy(data, vertex.data(), vertex.size());
    mesh->UnlockVertices();

    // Target: position float4, colour as floats, the two texture sets' types swapped,
    // normal as SHORT4N, and a tangent the source lacks.
    const D3DVERTEXELEMENT9 to[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
        {0, 16, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_COLOR, 0},
        {0, 32, D3DDECLTYPE_FLOAT16_2, 0, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 36, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 1},
        {0, 44, D3DDECLTYPE_SHORT4N, 0, D3DDECLUSAGE_NORMAL, 0},
        {0, 52, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TANGENT, 0},
        kEnd};
    facet::Mesh* clone = nullptr;
    ASSERT_EQ(mesh->CloneWithDeclaration(facet::MeshOptions::Managed, to, device(), &clone), D3D_OK);
    MeshPtr owned(clone);
    ASSERT_EQ(clone->VertexStride(), 64u);
    const std::vector<BYTE> out = Vertices(clone);
    EXPECT_EQ(At<float>(out, 0), 1.5f);
    EXPECT_EQ(At<float>(out, 8), 3.25f);
    EXPECT_EQ(At<float>(out, 12), 1.0f);  // a missing w reads as 1
    EXPECT_EQ(At<float>(out, 16), 1.0f);  // red
    EXPECT_FLOAT_EQ(At<float>(out, 20), 64.0f / 255.0f);
    EXPECT_EQ(At<float>(out, 24), 0.0f);
    EXPECT_FLOAT_EQ(At<float>(out, 28), 128.0f / 255.0f);
    float back[2];
    facet::Float16To32Array(back, reinterpret_cast<const std::uint16_t*>(out.data() + 32), 2);
    EXPECT_EQ(back[0], 0.25f);
    EXPECT_EQ(back[1], 0.75f);
    EXPECT_EQ(At<float>(out, 36), 0.5f);
    EXPECT_EQ(At<float>(out, 40), -3.0f);
    EXPECT_EQ(At<std::int16_t>(out, 44), 0);
    EXPECT_EQ(At<std::int16_t>(out, 46), -32767);
    EXPECT_EQ(At<std::int16_t>(out, 50), 32767);  // w of 1
    for (int i = 0; i < 3; ++i) EXPECT_EQ(At<float>(out, 52 + 4 * i), 0.0f);  // zero-filled

    // Back to the source's layout: floats into the colour round to the same bytes.
    facet::Mesh* again = nullptr;
    ASSERT_EQ(clone->CloneWithDeclaration(facet::MeshOptions::Managed, from, device(), &again), D3D_OK);
    MeshPtr ownedAgain(again);
    EXPECT_EQ(Vertices(again), vertex);
}

TEST_F(MeshCloneTest, IndexWidthChangesBothWaysAndUnusedFacesStayUnused) {
    MeshPtr narrow = MakeMesh({0, 1, 2, 0xFFFF, 0, 0, 2, 1, 3}, std::vector<float>(4 * 3, 0.0f), D3DFVF_XYZ);
    facet::Mesh* wide = nullptr;
    ASSERT_EQ(narrow->CloneWithFormat(facet::MeshOptions::Indices32Bit, D3DFVF_XYZ, device(), &wide), D3D_OK);
    MeshPtr ownedWide(wide);
    EXPECT_EQ(wide->Options(), facet::MeshOptions::Indices32Bit);
    EXPECT_EQ(Indices(wide), (std::vector<DWORD>{0, 1, 2, 0xFFFFFFFF, 0, 0, 2, 1, 3}));
    facet::Mesh* back = nullptr;
    ASSERT_EQ(wide->CloneWithFormat(0, D3DFVF_XYZ, device(), &back), D3D_OK);
    MeshPtr ownedBack(back);
    EXPECT_EQ(Indices(back), (std::vector<DWORD>{0, 1, 2, 0xFFFF, 0, 0, 2, 1, 3}));

    // 65535 vertices do not fit 16-bit indices, 65534 do.
    for (const DWORD vertices : {65535u, 65534u}) {
        MeshPtr big = MakeMesh({0, 1, vertices - 1}, std::vector<float>(3 * std::size_t{vertices}, 0.0f), D3DFVF_XYZ,
                               facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit);
        facet::Mesh* clone = reinterpret_cast<facet::Mesh*>(0x1);
        const HRESULT expected = vertices == 65535u ? D3DERR_INVALIDCALL : D3D_OK;
        EXPECT_EQ(big->CloneWithFormat(facet::MeshOptions::Managed, D3DFVF_XYZ, device(), &clone), expected);
        if (expected == D3D_OK)
            clone->Release();
        else
            EXPECT_EQ(clone, reinterpret_cast<facet::Mesh*>(0x1));
    }
}

TEST_F(MeshCloneTest, AttributeIdsAndAValidGroupTableComeAlong) {
    MeshPtr mesh = MakeMesh({0, 1, 2, 1, 2, 3}, std::vector<float>(4 * 3, 0.0f), D3DFVF_XYZ);
    DWORD* ids = nullptr;
    ASSERT_EQ(mesh->LockAttributes(0, &ids), D3D_OK);
    ids[0] = 4;
    ids[1] = 9;
    mesh->UnlockAttributes();
    const facet::GroupEntry table[] = {{4, 0, 1, 0, 3}, {9, 1, 1, 1, 3}};
    ASSERT_EQ(mesh->SetGroupTable(table, 2), D3D_OK);
    static_cast<facet::Mesh16*>(mesh.get())->MarkGroupTableValidForDrawing();

    facet::Mesh* clone = nullptr;
    ASSERT_EQ(mesh->CloneWithFormat(facet::MeshOptions::Indices32Bit, D3DFVF_XYZ | D3DFVF_NORMAL, device(), &clone),
              D3D_OK);
    MeshPtr owned(clone);
    DWORD* cloneIds = nullptr;
    ASSERT_EQ(clone->LockAttributes(D3DLOCK_READONLY, &cloneIds), D3D_OK);
    EXPECT_EQ(cloneIds[0], 4u);
    EXPECT_EQ(cloneIds[1], 9u);
    facet::GroupEntry copied[2] = {};
    DWORD count = 0;
    clone->CopyGroupTable(copied, &count);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(std::memcmp(copied, table, sizeof table), 0);
    // The table is used for drawing, as it was in the source.
    ASSERT_EQ(device()->BeginScene(), D3D_OK);
    d3d9sw::ClearCallLog();
    EXPECT_EQ(clone->DrawGroup(9), D3D_OK);
    EXPECT_EQ(Calls("Device::DrawIndexedPrimitive").at(0).args, "4,0,1,3,3,1");
}

TEST_F(MeshCloneTest, RefusalsWriteNothing) {
    MeshPtr mesh = MakeMesh({0, 1, 2}, std::vector<float>(3 * 3, 0.0f), D3DFVF_XYZ);
    facet::Mesh* const untouched = reinterpret_cast<facet::Mesh*>(0x1);
    facet::Mesh* clone = untouched;
    const D3DVERTEXELEMENT9 twoStreams[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                            {1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0}, kEnd};
    D3DVERTEXELEMENT9 valid[MAX_FVF_DECL_SIZE];
    facet::DeclarationFromFormat(D3DFVF_XYZ, valid);
    EXPECT_EQ(mesh->CloneWithDeclaration(0, valid, device(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->CloneWithDeclaration(0, twoStreams, device(), &clone), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->CloneWithDeclaration(0, nullptr, device(), &clone), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->CloneWithDeclaration(facet::MeshOptions::VertexBufferShared, valid, device(), &clone),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->CloneWithDeclaration(0, valid, nullptr, &clone), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->CloneWithFormat(0, 0x2001, device(), &clone), D3DERR_INVALIDCALL);
    // A face naming a vertex past the count.
    WriteIndices(mesh.get(), {0, 1, 3});
    EXPECT_EQ(mesh->CloneWithDeclaration(0, valid, device(), &clone), D3DERR_INVALIDCALL);
    // Write-only source data cannot be read back.
    MeshPtr writeOnly = MakeMesh({0, 1, 2}, std::vector<float>(3 * 3, 0.0f), D3DFVF_XYZ,
                                 facet::MeshOptions::IndexWriteOnly);
    EXPECT_EQ(writeOnly->CloneWithDeclaration(0, valid, device(), &clone), D3DERR_INVALIDCALL);
    EXPECT_EQ(clone, untouched);
    // A failing creation is passed through with nothing left alive.
    WriteIndices(mesh.get(), {0, 1, 2});
    d3d9sw::InjectFault("Device::CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(mesh->CloneWithFormat(0, D3DFVF_XYZ, device(), &clone), D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(clone, untouched);
    mesh.reset();
    writeOnly.reset();
    ExpectNoLeak();
}

TEST_F(MeshCloneTest, ReplaceDeclarationTakesOnlyTheSameStride) {
    MeshPtr mesh = MakeMesh({0, 1, 2}, std::vector<float>(3 * 6, 0.0f), D3DFVF_XYZ | D3DFVF_NORMAL);
    // Position and a three-float texture set: 24 bytes like position and normal.
    D3DVERTEXELEMENT9 sameStride[MAX_FVF_DECL_SIZE];
    const DWORD textureFvf = D3DFVF_XYZ | 0x100 | 0x10000;  // one texture set of three floats
    ASSERT_EQ(facet::DeclarationFromFormat(textureFvf, sameStride), D3D_OK);
    d3d9sw::ClearCallLog();
    ASSERT_EQ(mesh->ReplaceDeclaration(sameStride), D3D_OK);
    EXPECT_EQ(mesh->VertexFormat(), textureFvf);
    EXPECT_EQ(Calls("Device::CreateVertexDeclaration").size(), 1u);
    D3DVERTEXELEMENT9 now[MAX_FVF_DECL_SIZE];
    mesh->CopyDeclaration(now);
    EXPECT_EQ(now[1].Usage, D3DDECLUSAGE_TEXCOORD);

    D3DVERTEXELEMENT9 shorter[MAX_FVF_DECL_SIZE];
    facet::DeclarationFromFormat(D3DFVF_XYZ, shorter);
    EXPECT_EQ(mesh->ReplaceDeclaration(shorter), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->ReplaceDeclaration(nullptr), D3DERR_INVALIDCALL);
    mesh->CopyDeclaration(now);
    EXPECT_EQ(now[1].Usage, D3DDECLUSAGE_TEXCOORD);
    EXPECT_EQ(mesh->VertexFormat(), textureFvf);
}

TEST_F(MeshCloneTest, BuildAdjacencyWeldsPositionsWithinEpsilon) {
    // Two triangles over a split edge whose copies sit 0.001 apart.
    MeshPtr mesh = MakeMesh({0, 1, 2, 3, 4, 5}, {0, 0, 0, 1, 0, 0, 0, 1, 0, 0.001f, 1, 0, 1.001f, 0, 0, 1, 1, 0},
                            D3DFVF_XYZ);
    std::vector<DWORD> adjacency(6, 0xA5A5A5A5);
    ASSERT_EQ(mesh->BuildAdjacency(0.0f, adjacency.data()), D3D_OK);
    EXPECT_EQ(adjacency, std::vector<DWORD>(6, facet::NoNeighbour));
    ASSERT_EQ(mesh->BuildAdjacency(0.01f, adjacency.data()), D3D_OK);
    EXPECT_EQ(adjacency, (std::vector<DWORD>{facet::NoNeighbour, 1, facet::NoNeighbour, 0, facet::NoNeighbour,
                                             facet::NoNeighbour}));
    std::vector<DWORD> untouched(6, 0xA5A5A5A5);
    EXPECT_EQ(mesh->BuildAdjacency(-1.0f, untouched.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->BuildAdjacency(std::nanf(""), untouched.data()), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->BuildAdjacency(0.0f, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(untouched, std::vector<DWORD>(6, 0xA5A5A5A5));
}

TEST_F(MeshCloneTest, InternalStepProbesTheVertexCacheAgain) {
    MeshPtr mesh = MakeMesh({0, 1, 2}, std::vector<float>(3 * 3, 0.0f), D3DFVF_XYZ);
    d3d9sw::ClearCallLog();
    EXPECT_EQ(mesh->InternalStep(), D3D_OK);
    EXPECT_EQ(Calls("Device::GetDeviceCaps").size(), 1u);
    d3d9sw::InjectFault("Device::GetDeviceCaps", D3DERR_DEVICELOST);
    EXPECT_EQ(mesh->InternalStep(), D3DERR_DEVICELOST);
}

}  // namespace
