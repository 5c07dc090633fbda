// CreateSphereMesh: counts, the worked 3 × 3 example, adjacency, argument rules and
// failures of the device.
#include "facet/sphere.h"
#include "geometry_test_support.h"

#include <cfloat>
#include <cmath>

namespace {

using geometry_test::MeshPtr;
constexpr DWORD kNone = 0xFFFFFFFF;

struct ReleaseBuffer {
    void operator()(facet::ResultBuffer* buffer) const {
        if (buffer != nullptr) buffer->Release();
    }
};
using BufferPtr = std::unique_ptr<facet::ResultBuffer, ReleaseBuffer>;

class SphereTest : public geometry_test::DeviceTest {
protected:
    MeshPtr Sphere(float radius, UINT slices, UINT stacks, BufferPtr* adjacency = nullptr) {
        facet::Mesh* mesh = nullptr;
        facet::ResultBuffer* buffer = nullptr;
        EXPECT_EQ(facet::CreateSphereMesh(device(), radius, slices, stacks, &mesh,
                                          adjacency != nullptr ? &buffer : nullptr),
                  D3D_OK);
        if (adjacency != nullptr) adjacency->reset(buffer);
        return MeshPtr(mesh);
    }

    static std::vector<float> Vertices(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        const auto* floats = static_cast<const float*>(data);
        std::vector<float> copy(floats, floats + 6 * mesh->VertexCount());
        mesh->UnlockVertices();
        return copy;
    }

    static std::vector<DWORD> Faces(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
        const auto* indices = static_cast<const WORD*>(data);
        std::vector<DWORD> copy(indices, indices + 3 * mesh->FaceCount());
        mesh->UnlockIndices();
        return copy;
    }
};

TEST_F(SphereTest, ThreeByThreeUnitSphere) {
    MeshPtr mesh = Sphere(1.0f, 3, 3);
    ASSERT_EQ(mesh->VertexCount(), 8u);
    ASSERT_EQ(mesh->FaceCount(), 12u);
    const float expected[8][3] = {{0, 0, 1},          {0, 0.866025f, 0.5f},  {0.75f, -0.433013f, 0.5f},
                                  {-0.75f, -0.433013f, 0.5f}, {0, 0.866025f, -0.5f}, {0.75f, -0.433013f, -0.5f},
                                  {-0.75f, -0.433013f, -0.5f}, {0, 0, -1}};
    const std::vector<float> vertices = Vertices(mesh.get());
    for (int v = 0; v < 8; ++v) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(vertices[6 * v + c], expected[v][c], 1e-6) << "position " << v;
            EXPECT_EQ(vertices[6 * v + 3 + c], vertices[6 * v + c]) << "normal " << v;
        }
    }
    EXPECT_EQ(Faces(mesh.get()), (std::vector<DWORD>{0, 2, 1, 0, 3, 2, 0, 1, 3, 1, 2, 4, 2, 5, 4, 2, 3, 5,
                                                      3, 6, 5, 3, 1, 6, 1, 4, 6, 4, 5, 7, 5, 6, 7, 6, 4, 7}));
}

TEST_F(SphereTest, DeviceCallsInOrder) {
    MeshPtr mesh = Sphere(1.0f, 3, 3);
    std::string calls;
    for (const auto& call : d3d9sw::CallLog()) calls += call.method + "(" + call.args + ") ";
    EXPECT_EQ(calls,
              "Device::AddRef() Device::GetDirect3D(ptr) Device::CreateVertexDeclaration(ptr,ptr) "
              "Device::CreateIndexBuffer(72,0,101,1,ptr,null) Device::CreateVertexBuffer(192,0,18,1,ptr,null) "
              "Device::GetDeviceCaps(ptr) Device::GetDirect3D(ptr) Direct3D::GetAdapterIdentifier(0,0,ptr) "
              "Device::CreateQuery(4,null) Device::CreateQuery(4,ptr) Query::Issue(1) Query::GetData(ptr,16,1) "
              "Query::Release() Direct3D::Release() VertexBuffer::Lock(0,0,ptr,2048) "
              "IndexBuffer::Lock(0,0,ptr,2048) VertexBuffer::Unlock() IndexBuffer::Unlock() ");
}

TEST_F(SphereTest, EveryFacePointsOutwardAndSharesEachEdgeOnce) {
    BufferPtr adjacency;
    MeshPtr mesh = Sphere(2.5f, 7, 5, &adjacency);
    const std::vector<float> vertices = Vertices(mesh.get());
    const std::vector<DWORD> faces = Faces(mesh.get());
    const auto* entries = static_cast<const DWORD*>(adjacency->Data());
    ASSERT_EQ(adjacency->Size(), 12 * mesh->FaceCount());
    for (DWORD f = 0; f < mesh->FaceCount(); ++f) {
        const float* a = &vertices[6 * faces[3 * f]];
        const float* b = &vertices[6 * faces[3 * f + 1]];
        const float* c = &vertices[6 * faces[3 * f + 2]];
        const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        EXPECT_GT(n[0] * (a[0] + b[0] + c[0]) + n[1] * (a[1] + b[1] + c[1]) + n[2] * (a[2] + b[2] + c[2]), 0.0f)
            << "face " << f;
        for (DWORD k = 0; k < 3; ++k) {
            const DWORD g = entries[3 * f + k];
            ASSERT_LT(g, mesh->FaceCount());
            int backLinks = 0;
            for (DWORD j = 0; j < 3; ++j) backLinks += entries[3 * g + j] == f;
            EXPECT_EQ(backLinks, 1) << f << " " << g;
        }
    }
}

TEST_F(SphereTest, AdjacencyOfTheWorkedExample) {
    BufferPtr adjacency;
    MeshPtr mesh = Sphere(1.0f, 3, 3, &adjacency);
    const auto* entries = static_cast<const DWORD*>(adjacency->Data());
    EXPECT_EQ(std::vector<DWORD>(entries, entries + 3), (std::vector<DWORD>{1, 3, 2}));
    for (DWORD i = 0; i < 36; ++i) EXPECT_NE(entries[i], kNone);
    EXPECT_EQ(adjacency->Size(), 144u);
}

TEST_F(SphereTest, DefaultsAndClamping) {
    MeshPtr defaults = Sphere(FLT_MAX, 0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(defaults->VertexCount(), 58u);
    EXPECT_EQ(defaults->FaceCount(), 112u);
    EXPECT_FLOAT_EQ(Vertices(defaults.get())[2], 1.0f);
    MeshPtr clamped = Sphere(1.0f, 1000, 20);
    EXPECT_EQ(clamped->VertexCount(), 4562u);
    EXPECT_EQ(clamped->FaceCount(), 9120u);
}

TEST_F(SphereTest, RefusedArguments) {
    facet::Mesh* mesh = reinterpret_cast<facet::Mesh*>(0x1);
    EXPECT_EQ(facet::CreateSphereMesh(nullptr, 1, 3, 3, &mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::CreateSphereMesh(device(), 1, 3, 3, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::CreateSphereMesh(device(), -0.5f, 3, 3, &mesh, nullptr), D3DERR_INVALIDCALL);
    for (UINT divisions : {0u, 1u}) {
        EXPECT_EQ(facet::CreateSphereMesh(device(), 1, divisions, 3, &mesh, nullptr), D3DERR_INVALIDCALL);
        EXPECT_EQ(facet::CreateSphereMesh(device(), 1, 3, divisions, &mesh, nullptr), D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(mesh, reinterpret_cast<facet::Mesh*>(0x1));
    // 114720 faces exceed 16-bit indices.
    EXPECT_EQ(facet::CreateSphereMesh(device(), 1, 240, 240, &mesh, nullptr), D3DERR_INVALIDCALL);
    ExpectNoLeak();
}

TEST_F(SphereTest, ZeroRadiusKeepsUnitNormals) {
    MeshPtr mesh = Sphere(0.0f, 4, 3);
    const std::vector<float> vertices = Vertices(mesh.get());
    for (DWORD v = 0; v < mesh->VertexCount(); ++v) {
        EXPECT_EQ(vertices[6 * v] + vertices[6 * v + 1] + vertices[6 * v + 2], 0.0f);
        const float* n = &vertices[6 * v + 3];
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-6f);
    }
}

TEST_F(SphereTest, TwoSlicesFollowTheTieRule) {
    BufferPtr adjacency;
    MeshPtr mesh = Sphere(1.0f, 2, 2, &adjacency);
    EXPECT_EQ(mesh->VertexCount(), 4u);
    EXPECT_EQ(Faces(mesh.get()), (std::vector<DWORD>{0, 2, 1, 0, 1, 2, 1, 2, 3, 2, 1, 3}));
    const auto* entries = static_cast<const DWORD*>(adjacency->Data());
    // Every entry names a face; the two cap faces pair with each other along 0–2 and 1–0.
    EXPECT_EQ(entries[0], 1u);
    EXPECT_EQ(entries[2], 1u);
    for (DWORD i = 0; i < 12; ++i) EXPECT_NE(entries[i], kNone) << i;
}

TEST_F(SphereTest, FailedLocksReleaseTheMesh) {
    for (const char* method : {"VertexBuffer::Lock", "IndexBuffer::Lock"}) {
        d3d9sw::InjectFault(method, D3DERR_DEVICELOST);
        facet::Mesh* mesh = reinterpret_cast<facet::Mesh*>(0x1);
        EXPECT_EQ(facet::CreateSphereMesh(device(), 1, 3, 3, &mesh, nullptr), D3DERR_DEVICELOST) << method;
        EXPECT_EQ(mesh, reinterpret_cast<facet::Mesh*>(0x1));
        d3d9sw::ClearFaults();
    }
    ExpectNoLeak();
}

TEST_F(SphereTest, FailedAdjacencyLeavesTheBufferToTheCaller) {
    // The third index lock is the adjacency step's (after the fill's lock).
    d3d9sw::InjectFault("IndexBuffer::Lock", D3DERR_DEVICELOST, 1, 1);
    facet::Mesh* mesh = reinterpret_cast<facet::Mesh*>(0x1);
    facet::ResultBuffer* buffer = nullptr;
    EXPECT_EQ(facet::CreateSphereMesh(device(), 1, 3, 3, &mesh, &buffer), D3DERR_DEVICELOST);
    EXPECT_EQ(mesh, reinterpret_cast<facet::Mesh*>(0x1));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->Release(), 0u);
    ExpectNoLeak();
}

// Every device call the generator makes, failed in turn: the code comes back, and
// nothing stays alive once the caller releases what it got.
TEST_F(SphereTest, FaultAtEveryDeviceCall) {
    facet::Mesh* probe = nullptr;
    facet::ResultBuffer* probeAdjacency = nullptr;
    ASSERT_EQ(facet::CreateSphereMesh(device(), 1, 3, 3, &probe, &probeAdjacency), D3D_OK);
    const std::size_t calls = d3d9sw::CallLog().size();
    probe->Release();
    probeAdjacency->Release();
    const int baseline = d3d9sw::LiveObjectCount();
    for (unsigned index = 0; index < calls; ++index) {
        d3d9sw::ClearCallLog();
        d3d9sw::InjectFaultAtCallIndex(index, D3DERR_OUTOFVIDEOMEMORY);
        facet::Mesh* mesh = nullptr;
        facet::ResultBuffer* adjacency = nullptr;
        const HRESULT result = facet::CreateSphereMesh(device(), 1, 3, 3, &mesh, &adjacency);
        EXPECT_TRUE(result == D3D_OK || result == D3DERR_OUTOFVIDEOMEMORY) << index;
        EXPECT_EQ(result == D3D_OK, mesh != nullptr) << index;
        if (mesh != nullptr) mesh->Release();
        if (adjacency != nullptr) adjacency->Release();
        d3d9sw::ClearFaults();
        EXPECT_EQ(d3d9sw::LiveObjectCount(), baseline) << index;
    }
}

}  // namespace
