// Mesh creation, its device calls and limits, interface queries, accessors, locks,
// attributes and the group table.
#include "geometry/mesh_object.h"
#include "geometry_test_support.h"

namespace {

using facet::Mesh;
using geometry_test::MeshPtr;

class MeshObjectTest : public geometry_test::DeviceTest {};

const std::vector<float> kThreeVertices(3 * 6, 0.0f);

TEST_F(MeshObjectTest, SphereSizedMesh) {
    Mesh* raw = nullptr;
    ASSERT_EQ(facet::CreateMeshFromFormat(12, 8, 0x220, 0x12, device(), &raw), D3D_OK);
    MeshPtr mesh(raw);
    EXPECT_EQ(Calls("Device::CreateIndexBuffer")[0].args, "72,0,101,1,ptr,null");
    EXPECT_EQ(Calls("Device::CreateVertexBuffer")[0].args, "192,0,18,1,ptr,null");

    EXPECT_EQ(mesh->FaceCount(), 12u);
    EXPECT_EQ(mesh->VertexCount(), 8u);
    EXPECT_EQ(mesh->VertexStride(), 24u);
    EXPECT_EQ(mesh->VertexFormat(), 0x12u);
    EXPECT_EQ(mesh->Options(), 0x220u);
    DWORD* ids = nullptr;
    ASSERT_EQ(mesh->LockAttributes(D3DLOCK_READONLY, &ids), D3D_OK);
    for (DWORD face = 0; face < 12; ++face) EXPECT_EQ(ids[face], 0u);
    DWORD groups = 99;
    EXPECT_EQ(mesh->CopyGroupTable(nullptr, &groups), D3D_OK);
    EXPECT_EQ(groups, 0u);

    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(mesh->CopyDeclaration(declaration), D3D_OK);
    EXPECT_EQ(declaration[1].Offset, 12);
    EXPECT_EQ(declaration[2].Stream, 0xFF);
    EXPECT_EQ(mesh->CopyDeclaration(nullptr), D3DERR_INVALIDCALL);
    mesh.reset();
    ExpectNoLeak();
}

TEST_F(MeshObjectTest, OptionsDecideUsageAndPools) {
    Mesh* raw = nullptr;
    ASSERT_EQ(facet::CreateMeshFromFormat(1, 3, 0x1 | 0x2 | 0x4 | 0x10 | 0x20 | 0x40 | 0x80 | 0x200 | 0x400 | 0x10000,
                                          0x2, device(), &raw),
              D3D_OK);
    MeshPtr mesh(raw);
    // Index buffer: 32-bit, managed, DONOTCLIP | POINTS | WRITEONLY | SOFTWAREPROCESSING.
    EXPECT_EQ(Calls("Device::CreateIndexBuffer")[0].args, "12,120,102,1,ptr,null");
    // Vertex buffer: system memory (over managed), DONOTCLIP | POINTS | WRITEONLY | DYNAMIC.
    EXPECT_EQ(Calls("Device::CreateVertexBuffer")[0].args, "36,616,2,2,ptr,null");
}

TEST_F(MeshObjectTest, RefusedArgumentsCreateNothing) {
    Mesh* mesh = reinterpret_cast<Mesh*>(0x1);
    for (DWORD options : {0x1000u, 0x2000u, 0x20000u})
        EXPECT_EQ(facet::CreateMeshFromFormat(1, 3, options, 0x12, device(), &mesh), D3DERR_INVALIDCALL);
    for (DWORD fvf : {0x0u, 0x4u, 0x3u, 0x2002u})
        EXPECT_EQ(facet::CreateMeshFromFormat(1, 3, 0, fvf, device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::CreateMeshFromFormat(1, 3, 0, 0x12, nullptr, &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::CreateMeshFromFormat(1, 3, 0, 0x12, device(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::CreateMeshFromFormat(0, 3, 0, 0x12, device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::CreateMeshFromFormat(1, 0, 0, 0x12, device(), &mesh), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 twoStreams[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                            {1, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                            D3DDECL_END()};
    EXPECT_EQ(facet::CreateMeshFromDeclaration(1, 3, 0, twoStreams, device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, reinterpret_cast<Mesh*>(0x1));  // untouched by argument refusals
    EXPECT_TRUE(d3d9sw::CallLog().empty());
}

TEST_F(MeshObjectTest, SixteenBitLimits) {
    Mesh* mesh = reinterpret_cast<Mesh*>(0x1);
    // 65535 passes creation's own test but not the resize; 65536 fails creation's test.
    EXPECT_EQ(facet::CreateMeshFromFormat(65535, 3, 0, 0x2, device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(facet::CreateMeshFromFormat(1, 65535, 0, 0x2, device(), &mesh), D3DERR_INVALIDCALL);
    EXPECT_EQ(facet::CreateMeshFromFormat(65536, 3, 0, 0x2, device(), &mesh), D3DERR_INVALIDCALL);
    ASSERT_EQ(facet::CreateMeshFromFormat(65534, 65534, 0, 0x2, device(), &mesh), D3D_OK);
    mesh->Release();
    ASSERT_EQ(facet::CreateMeshFromFormat(65535, 65536, 0x1, 0x2, device(), &mesh), D3D_OK);
    EXPECT_EQ(mesh->FaceCount(), 65535u);
    mesh->Release();
    ExpectNoLeak();
}

TEST_F(MeshObjectTest, DeclarationWithoutFvfCodeHasFormatZero) {
    const D3DVERTEXELEMENT9 gap[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                     {0, 16, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                     D3DDECL_END()};
    Mesh* raw = nullptr;
    ASSERT_EQ(facet::CreateMeshFromDeclaration(1, 3, 0, gap, device(), &raw), D3D_OK);
    MeshPtr mesh(raw);
    EXPECT_EQ(mesh->VertexFormat(), 0u);
    EXPECT_EQ(mesh->VertexStride(), 28u);
    EXPECT_EQ(Calls("Device::CreateVertexBuffer")[0].args, "84,0,0,0,ptr,null");
}

TEST_F(MeshObjectTest, InterfaceQueriesAndReferences) {
    MeshPtr mesh = MakeMesh({0, 1, 2}, kThreeVertices, 0x12);
    for (const IID& id : {IID_IUnknown, facet::IID_BaseMesh, facet::IID_Mesh}) {
        void* same = nullptr;
        ASSERT_EQ(mesh->QueryInterface(id, &same), S_OK);
        EXPECT_EQ(same, static_cast<IUnknown*>(mesh.get()));
        EXPECT_EQ(mesh->Release(), 1u);
    }
    void* other = mesh.get();
    EXPECT_EQ(mesh->QueryInterface(facet::IID_ResultBuffer, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(mesh->QueryInterface(facet::IID_Mesh, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->Device(nullptr), D3DERR_INVALIDCALL);

    IDirect3DDevice9* heldDevice = nullptr;
    ASSERT_EQ(mesh->Device(&heldDevice), D3D_OK);
    EXPECT_EQ(heldDevice, device());
    heldDevice->Release();
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    ASSERT_EQ(mesh->VertexBuffer(&vertexBuffer), D3D_OK);
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    ASSERT_EQ(mesh->IndexBuffer(&indexBuffer), D3D_OK);
    // The mesh goes; the buffers the caller still holds stay alive.
    mesh.reset();
    D3DINDEXBUFFER_DESC description = {};
    EXPECT_EQ(indexBuffer->GetDesc(&description), D3D_OK);
    EXPECT_EQ(description.Size, 6u);
    vertexBuffer->Release();
    indexBuffer->Release();
    ExpectNoLeak();
}

TEST_F(MeshObjectTest, LocksAlwaysAddNoSysLock) {
    MeshPtr mesh = MakeMesh({0, 1, 2}, kThreeVertices, 0x12);
    d3d9sw::ClearCallLog();
    void* data = nullptr;
    ASSERT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
    EXPECT_EQ(mesh->UnlockVertices(), D3D_OK);
    ASSERT_EQ(mesh->LockIndices(0, &data), D3D_OK);
    EXPECT_EQ(mesh->UnlockIndices(), D3D_OK);
    EXPECT_EQ(Calls("VertexBuffer::Lock")[0].args, "0,0,ptr,2064");
    EXPECT_EQ(Calls("IndexBuffer::Lock")[0].args, "0,0,ptr,2048");
    d3d9sw::InjectFault("IndexBuffer::Lock", D3DERR_DEVICELOST);
    EXPECT_EQ(mesh->LockIndices(0, &data), D3DERR_DEVICELOST);
}

TEST_F(MeshObjectTest, GroupTableStorageAndAttributeLocking) {
    MeshPtr mesh = MakeMesh({0, 1, 2, 0, 2, 1}, kThreeVertices, 0x12);
    const facet::GroupEntry table[] = {{0, 0, 1, 0, 3}, {1, 1, 1, 0, 3}};
    ASSERT_EQ(mesh->SetGroupTable(table, 2), D3D_OK);
    facet::GroupEntry copy[2] = {};
    DWORD count = 0;
    ASSERT_EQ(mesh->CopyGroupTable(copy, &count), D3D_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(copy[1].firstFace, 1u);
    // A smaller table reuses the storage; count 0 needs null entries.
    ASSERT_EQ(mesh->SetGroupTable(&table[1], 1), D3D_OK);
    ASSERT_EQ(mesh->CopyGroupTable(copy, &count), D3D_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(copy[0].attributeId, 1u);
    EXPECT_EQ(mesh->SetGroupTable(table, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->SetGroupTable(nullptr, 3), D3DERR_INVALIDCALL);

    DWORD* ids = nullptr;
    ASSERT_EQ(mesh->LockAttributes(D3DLOCK_READONLY, &ids), D3D_OK);
    ASSERT_EQ(mesh->CopyGroupTable(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(mesh->LockAttributes(0, &ids), D3D_OK);
    ids[1] = 4;
    EXPECT_EQ(mesh->UnlockAttributes(), D3D_OK);
    ASSERT_EQ(mesh->CopyGroupTable(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(mesh->LockAttributes(D3DLOCK_READONLY, &ids), D3D_OK);
    EXPECT_EQ(ids[1], 4u);
    EXPECT_EQ(mesh->SetGroupTable(nullptr, 0), D3D_OK);
}

TEST_F(MeshObjectTest, OuterOwnerReceivesReferenceCalls) {
    struct Owner : IUnknown {
        int calls = 0;
        HRESULT QueryInterface(REFIID, void**) override { return ++calls, E_FAIL; }
        ULONG AddRef() override { return ++calls, 42; }
        ULONG Release() override { return ++calls, 41; }
    } owner;
    MeshPtr mesh = MakeMesh({0, 1, 2}, kThreeVertices, 0x12);
    auto* object = static_cast<facet::Mesh16*>(mesh.get());
    object->SetOuterOwner(&owner);
    void* out = nullptr;
    EXPECT_EQ(mesh->QueryInterface(facet::IID_Mesh, &out), E_FAIL);
    EXPECT_EQ(mesh->AddRef(), 42u);
    EXPECT_EQ(mesh->Release(), 41u);
    EXPECT_EQ(owner.calls, 3);
    object->SetOuterOwner(nullptr);
}

}  // namespace
