// ComputeVertexNormals: the worked sphere, sharing through adjacency, refusals, both
// index widths and failures of the device.
#include "facet/normals.h"
#include "facet/sphere.h"
#include "geometry_test_support.h"

namespace {

using geometry_test::MeshPtr;
using Vec = std::array<float, 3>;

class VertexNormalsTest : public geometry_test::DeviceTest {
protected:
    // Normals of a position-normal (FVF 0x12) mesh.
    static std::vector<Vec> Normals(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        std::vector<Vec> normals;
        const auto* floats = static_cast<const float*>(data);
        for (DWORD v = 0; v < mesh->VertexCount(); ++v)
            normals.push_back({floats[6 * v + 3], floats[6 * v + 4], floats[6 * v + 5]});
        mesh->UnlockVertices();
        return normals;
    }

    MeshPtr UnitSphere() {
        facet::Mesh* mesh = nullptr;
        EXPECT_EQ(facet::CreateSphereMesh(device(), 1.0f, 3, 3, &mesh, nullptr), D3D_OK);
        return MeshPtr(mesh);
    }

    // Position-normal vertices with the normal set to `fill`.
    static std::vector<float> Points(const std::vector<Vec>& positions, float fill = 9.0f) {
        std::vector<float> data;
        for (const Vec& p : positions) data.insert(data.end(), {p[0], p[1], p[2], fill, fill, fill});
        return data;
    }
};

void ExpectNormal(const Vec& actual, const Vec& expected, int vertex) {
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(actual[c], expected[c], 5e-5f) << "vertex " << vertex;
}

const std::vector<Vec> kWorkedSphereNormals = {
    {0, 0, 1},         {-0.3693f, 0.8528f, 0.3693f},   {0.9232f, -0.1066f, 0.3693f},   {-0.5539f, -0.7462f, 0.3693f},
    {0.3693f, 0.8528f, -0.3693f}, {0.5539f, -0.7462f, -0.3693f}, {-0.9232f, -0.1066f, -0.3693f}, {0, 0, -1}};

TEST_F(VertexNormalsTest, WorkedSphereOfTheStartUp) {
    MeshPtr mesh = UnitSphere();
    ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3D_OK);
    const std::vector<Vec> normals = Normals(mesh.get());
    for (int v = 0; v < 8; ++v) ExpectNormal(normals[v], kWorkedSphereNormals[v], v);
}

TEST_F(VertexNormalsTest, SphereAdjacencyGivesTheSameNormals) {
    facet::Mesh* raw = nullptr;
    facet::ResultBuffer* adjacency = nullptr;
    ASSERT_EQ(facet::CreateSphereMesh(device(), 1.0f, 3, 3, &raw, &adjacency), D3D_OK);
    MeshPtr mesh(raw);
    ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), static_cast<DWORD*>(adjacency->Data())), D3D_OK);
    adjacency->Release();
    const std::vector<Vec> normals = Normals(mesh.get());
    for (int v = 0; v < 8; ++v) ExpectNormal(normals[v], kWorkedSphereNormals[v], v);
}

TEST_F(VertexNormalsTest, ThirtyTwoBitIndicesGiveIdenticalResults) {
    MeshPtr sphere = UnitSphere();
    void* data = nullptr;
    ASSERT_EQ(sphere->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
    const std::vector<DWORD> indices(static_cast<WORD*>(data), static_cast<WORD*>(data) + 36);
    sphere->UnlockIndices();
    ASSERT_EQ(sphere->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
    const std::vector<float> vertices(static_cast<float*>(data), static_cast<float*>(data) + 48);
    sphere->UnlockVertices();

    MeshPtr wide = MakeMesh(indices, vertices, 0x12, facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit);
    std::vector<DWORD> adjacency(36);
    ASSERT_EQ(wide->AdjacencyFromPointReps(nullptr, adjacency.data()), D3D_OK);
    ASSERT_EQ(facet::ComputeVertexNormals(sphere.get(), nullptr), D3D_OK);
    ASSERT_EQ(facet::ComputeVertexNormals(wide.get(), adjacency.data()), D3D_OK);
    EXPECT_EQ(Normals(wide.get()), Normals(sphere.get()));
}

TEST_F(VertexNormalsTest, UnusedAndDegenerateContributions) {
    // Face 1 repeats a corner and face 2 has two equal positions: neither adds anything.
    MeshPtr mesh = MakeMesh({0, 1, 2, 0, 0, 1, 0, 1, 3},
                            Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {5, 5, 5}}), 0x12);
    ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3D_OK);
    const std::vector<Vec> normals = Normals(mesh.get());
    // (P0 − P1) × (P0 − P2) of face 0 is (0, 0, 1).
    for (int v = 0; v < 3; ++v) ExpectNormal(normals[v], {0, 0, 1}, v);
    EXPECT_EQ(normals[3], (Vec{0, 0, 0}));
    EXPECT_EQ(normals[4], (Vec{0, 0, 0}));
}

TEST_F(VertexNormalsTest, AdjacencyJoinsAHardEdge) {
    // Two faces folded along x = 0; vertices 3 and 4 repeat the positions of 2 and 1.
    const std::vector<Vec> positions = {{-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, -1, 0}, {0, 1, 0}, {1, 0, 1}};
    MeshPtr mesh = MakeMesh({0, 1, 2, 3, 4, 5}, Points(positions), 0x12);
    ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3D_OK);
    std::vector<Vec> normals = Normals(mesh.get());
    EXPECT_NE(normals[1], normals[4]);
    EXPECT_NE(normals[2], normals[3]);

    const std::vector<DWORD> adjacency = {0xFFFFFFFF, 1, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0xFFFFFFFF};
    ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), adjacency.data()), D3D_OK);
    normals = Normals(mesh.get());
    EXPECT_EQ(normals[1], normals[4]);
    EXPECT_EQ(normals[2], normals[3]);
    EXPECT_NE(normals[0], normals[5]);
}

TEST_F(VertexNormalsTest, OtherVertexFieldsStayUnchanged) {
    // Position, normal and one 2-float texture coordinate set.
    const std::vector<float> vertices = {0, 0, 0, 7, 7, 7, 0.25f, 0.5f, 1, 0, 0, 7, 7, 7, 0.75f, 1.5f,
                                         0, 1, 0, 7, 7, 7, 2.25f, 3.5f};
    MeshPtr mesh = MakeMesh({0, 1, 2}, vertices, 0x112);
    ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
    const auto* floats = static_cast<const float*>(data);
    for (int v = 0; v < 3; ++v) {
        for (int c : {0, 1, 2, 6, 7}) EXPECT_EQ(floats[8 * v + c], vertices[8 * v + c]);
        // Near, not equal: the SSE routines' reciprocal square root starts from the
        // processor's own estimate, which differs between processors.
        EXPECT_NEAR(floats[8 * v + 5], 1.0f, 1e-6f);
    }
    mesh->UnlockVertices();
}

TEST_F(VertexNormalsTest, UnsuitableMeshesAreRefusedUntouched) {
    EXPECT_EQ(facet::ComputeVertexNormals(nullptr, nullptr), D3DERR_INVALIDCALL);
    MeshPtr positionsOnly = MakeMesh({0, 1, 2}, std::vector<float>(9, 0.0f), D3DFVF_XYZ);
    EXPECT_EQ(facet::ComputeVertexNormals(positionsOnly.get(), nullptr), D3DERR_INVALIDCALL);
    for (DWORD writeOnly : {0x40u, 0x400u}) {
        facet::Mesh* mesh = nullptr;
        ASSERT_EQ(facet::CreateMeshFromFormat(1, 3, writeOnly, 0x12, device(), &mesh), D3D_OK);
        EXPECT_EQ(facet::ComputeVertexNormals(mesh, nullptr), D3DERR_INVALIDCALL);
        mesh->Release();
    }
    const D3DVERTEXELEMENT9 fourFloatPosition[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
                                                   {0, 16, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                                   D3DDECL_END()};
    const D3DVERTEXELEMENT9 secondNormal[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                              {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 1},
                                              D3DDECL_END()};
    for (const D3DVERTEXELEMENT9* declaration : {fourFloatPosition, secondNormal}) {
        facet::Mesh* mesh = nullptr;
        ASSERT_EQ(facet::CreateMeshFromDeclaration(1, 3, 0, declaration, device(), &mesh), D3D_OK);
        EXPECT_EQ(facet::ComputeVertexNormals(mesh, nullptr), D3DERR_INVALIDCALL);
        mesh->Release();
    }
}

TEST_F(VertexNormalsTest, CornerBeyondTheVerticesWritesNothing) {
    MeshPtr mesh = MakeMesh({0, 1, 3}, Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), 0x12);
    d3d9sw::ClearCallLog();
    EXPECT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(Calls("IndexBuffer::Unlock").size(), 1u);
    EXPECT_EQ(Calls("VertexBuffer::Unlock").size(), 1u);
    for (const Vec& normal : Normals(mesh.get())) EXPECT_EQ(normal, (Vec{9, 9, 9}));
}

TEST_F(VertexNormalsTest, BuffersAreLockedDirectlyAndGivenBack) {
    MeshPtr mesh = UnitSphere();
    d3d9sw::ClearCallLog();
    ASSERT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3D_OK);
    std::vector<std::string> sequence;
    for (const auto& call : d3d9sw::CallLog())
        sequence.push_back(call.method + (call.method.ends_with("Lock") ? "(" + call.args + ")" : ""));
    EXPECT_EQ(sequence, (std::vector<std::string>{"IndexBuffer::AddRef", "IndexBuffer::Lock(0,0,ptr,2048)",
                                                  "VertexBuffer::AddRef", "VertexBuffer::Lock(0,0,ptr,2048)",
                                                  "IndexBuffer::Unlock", "IndexBuffer::Release",
                                                  "VertexBuffer::Unlock", "VertexBuffer::Release"}));
}

TEST_F(VertexNormalsTest, DeviceFailuresLeaveNormalsAndReferencesIntact) {
    MeshPtr mesh = UnitSphere();
    const std::vector<Vec> before = Normals(mesh.get());
    const int live = d3d9sw::LiveObjectCount();
    for (const char* method : {"IndexBuffer::Lock", "VertexBuffer::Lock"}) {
        d3d9sw::InjectFault(method, D3DERR_DEVICELOST);
        EXPECT_EQ(facet::ComputeVertexNormals(mesh.get(), nullptr), D3DERR_DEVICELOST) << method;
        d3d9sw::ClearFaults();
        EXPECT_EQ(Normals(mesh.get()), before) << method;
        EXPECT_EQ(d3d9sw::LiveObjectCount(), live);
    }
    std::vector<DWORD> adjacency(36, 0xFFFFFFFF);
    d3d9sw::InjectFault("IndexBuffer::Lock", D3DERR_DEVICELOST);
    EXPECT_EQ(facet::ComputeVertexNormals(mesh.get(), adjacency.data()), D3DERR_DEVICELOST);
    mesh.reset();
    ExpectNoLeak();
}

}  // namespace
