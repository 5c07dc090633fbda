// The vertex cache probe run by every resize, and the muting of the runtime's debug
// output around the creation of declaration objects.
#include "geometry/debug_output_muting.h"
#include "geometry/mesh_object.h"
#include "geometry/vertex_cache_probe.h"
#include "geometry_test_support.h"
#include "springdrop/system/system_controls.h"

#include <cstdlib>

namespace {

using geometry_test::MeshPtr;

class MeshResizeTest : public geometry_test::DeviceTest {
protected:
    facet::Mesh16* Create(HRESULT expected = D3D_OK) {
        facet::Mesh* mesh = nullptr;
        EXPECT_EQ(facet::CreateMeshFromFormat(1, 3, 0, 0x12, device(), &mesh), expected);
        meshes_.emplace_back(mesh);
        return static_cast<facet::Mesh16*>(mesh);
    }

private:
    std::vector<MeshPtr> meshes_;
};

TEST_F(MeshResizeTest, DescriptionComesFromTheVertexCacheQuery) {
    d3d9sw::SetQueryPendingPolls(3);
    const facet::Mesh16* mesh = Create();
    EXPECT_EQ(mesh->VertexCacheSize(), 16u);
    EXPECT_EQ(mesh->VertexCacheParameter(), 7u);
    const auto queries = Calls("Device::CreateQuery");
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0].args, "4,null");  // support test
    EXPECT_EQ(Calls("Query::Issue")[0].args, "1");
    EXPECT_EQ(Calls("Query::GetData").size(), 4u);
    EXPECT_EQ(Calls("Query::GetData")[0].args, "ptr,16,1");
    EXPECT_EQ(Calls("Query::Release").size(), 1u);
}

TEST_F(MeshResizeTest, LastDeviceIsProbedOnce) {
    Create();
    d3d9sw::ClearCallLog();
    const facet::Mesh16* second = Create();
    EXPECT_EQ(second->VertexCacheSize(), 16u);
    EXPECT_TRUE(Calls("Direct3D::GetAdapterIdentifier").empty());
    EXPECT_TRUE(Calls("Device::CreateQuery").empty());
    EXPECT_EQ(Calls("Device::GetDeviceCaps").size(), 1u);
}

TEST_F(MeshResizeTest, AdaptersWithoutAVertexCache) {
    d3d9sw::SetAdapterIdentity(0x1002, 0x5146);
    const facet::Mesh16* mesh = Create();
    EXPECT_EQ(mesh->VertexCacheSize(), 0u);
    EXPECT_EQ(mesh->VertexCacheParameter(), 0u);
    EXPECT_TRUE(Calls("Device::CreateQuery").empty());
}

TEST_F(MeshResizeTest, QueryThatNeverAnswersGivesTheFallbackAfterBoundedPolls) {
    d3d9sw::SetQueryPendingPolls(UINT32_MAX);
    const facet::Mesh16* mesh = Create();
    EXPECT_EQ(mesh->VertexCacheSize(), 12u);
    EXPECT_EQ(mesh->VertexCacheParameter(), 7u);
    EXPECT_EQ(Calls("Query::GetData").size(), facet::kVertexCacheMaxPolls);
    EXPECT_EQ(Calls("Query::Release").size(), 1u);
}

TEST_F(MeshResizeTest, QueryFailuresGiveTheFallbackWithoutError) {
    // A new device for each case, all kept alive, so the last-device record never answers.
    std::vector<std::unique_ptr<facet_tools::HeadlessDevice>> devices;
    for (const char* method : {"Device::CreateQuery", "Query::Issue", "Query::GetData"}) {
        devices.push_back(std::make_unique<facet_tools::HeadlessDevice>());
        ASSERT_EQ(devices.back()->Create(), D3D_OK);
        d3d9sw::InjectFault(method, D3DERR_NOTAVAILABLE);
        facet::Mesh* mesh = nullptr;
        ASSERT_EQ(facet::CreateMeshFromFormat(1, 3, 0, 0x12, devices.back()->device(), &mesh), D3D_OK) << method;
        EXPECT_EQ(static_cast<facet::Mesh16*>(mesh)->VertexCacheSize(), 12u) << method;
        EXPECT_EQ(static_cast<facet::Mesh16*>(mesh)->VertexCacheParameter(), 7u) << method;
        mesh->Release();
        d3d9sw::ClearFaults();
    }
}

TEST_F(MeshResizeTest, DeviceFailuresDuringResizeAreReturned) {
    for (const char* method : {"Device::CreateIndexBuffer", "Device::CreateVertexBuffer", "Device::GetDeviceCaps",
                               "Direct3D::GetAdapterIdentifier"}) {
        d3d9sw::InjectFault(method, D3DERR_OUTOFVIDEOMEMORY);
        facet::Mesh* mesh = reinterpret_cast<facet::Mesh*>(0x1);
        EXPECT_EQ(facet::CreateMeshFromFormat(1, 3, 0, 0x12, device(), &mesh), D3DERR_OUTOFVIDEOMEMORY) << method;
        EXPECT_EQ(mesh, nullptr);
        d3d9sw::ClearFaults();
    }
    // The second GetDirect3D (the probe's) fails; the constructor's succeeded.
    d3d9sw::InjectFault("Device::GetDirect3D", D3DERR_INVALIDDEVICE, 1, 1);
    facet::Mesh* mesh = nullptr;
    EXPECT_EQ(facet::CreateMeshFromFormat(1, 3, 0, 0x12, device(), &mesh), D3DERR_INVALIDDEVICE);
    ExpectNoLeak();
}

TEST_F(MeshResizeTest, FailedDeclarationObjectIsTolerated) {
    d3d9sw::InjectFault("Device::CreateVertexDeclaration", D3DERR_INVALIDCALL);
    facet::Mesh16* mesh = Create();
    ASSERT_NE(mesh, nullptr);
    d3d9sw::ClearCallLog();
    mesh->DrawGroup(0);
    EXPECT_EQ(Calls("Device::SetVertexDeclaration")[0].args, "null");
}

std::vector<int> g_muteCalls;
void RecordMute(BOOL mute) { g_muteCalls.push_back(mute); }
std::vector<int> g_debugMuteCalls;
void RecordDebugMute(BOOL mute) { g_debugMuteCalls.push_back(mute); }

TEST_F(MeshResizeTest, DeclarationCreationIsMutedInBothRuntimes) {
    platform::RegisterModuleExport("d3d9.dll", "DebugSetMute", reinterpret_cast<FARPROC>(&RecordMute));
    platform::RegisterModuleExport("D3D9D.DLL", "DebugSetMute", reinterpret_cast<FARPROC>(&RecordDebugMute));
    Create();
    EXPECT_EQ(g_muteCalls, (std::vector<int>{1, 0}));
    EXPECT_EQ(g_debugMuteCalls, (std::vector<int>{1, 0}));
}

TEST_F(MeshResizeTest, DoNotMuteSwitchIsReadOnce) {
    platform::RegisterModuleExport("d3d9.dll", "DebugSetMute", reinterpret_cast<FARPROC>(&RecordMute));
    ASSERT_EQ(setenv("FacetDoNotMute", "1", 1), 0);
    Create();
    EXPECT_TRUE(g_muteCalls.empty());
    ASSERT_EQ(setenv("FacetDoNotMute", "0", 1), 0);
    facet::MuteRuntimeDebugOutput(1);
    EXPECT_TRUE(g_muteCalls.empty());
}

}  // namespace
