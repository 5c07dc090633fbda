// Mesh::DrawGroup through attribute runs and through a validated group table.
#include "geometry/mesh_object.h"
#include "geometry_test_support.h"

namespace {

using geometry_test::MeshPtr;

class MeshDrawingTest : public geometry_test::DeviceTest {
protected:
    // Five faces over four vertices with attribute ids 0, 0, 1, 1, 0.
    MeshPtr MakeFiveFaceMesh() {
        MeshPtr mesh = MakeMesh({0, 1, 2, 0, 2, 3, 1, 2, 3, 0, 3, 1, 0, 1, 3}, std::vector<float>(4 * 3, 0.0f), 0x2);
        DWORD* ids = nullptr;
        EXPECT_EQ(mesh->LockAttributes(0, &ids), D3D_OK);
        const DWORD attributes[] = {0, 0, 1, 1, 0};
        std::copy(std::begin(attributes), std::end(attributes), ids);
        mesh->UnlockAttributes();
        // Draws count only inside a scene.
        EXPECT_EQ(device()->BeginScene(), D3D_OK);
        d3d9sw::ClearCallLog();
        return mesh;
    }

    static std::vector<std::string> DrawArgs() {
        std::vector<std::string> args;
        for (const auto& call : Calls("Device::DrawIndexedPrimitive")) args.push_back(call.args);
        return args;
    }
};

TEST_F(MeshDrawingTest, AttributeRunsAreDrawnInFaceOrder) {
    MeshPtr mesh = MakeFiveFaceMesh();
    EXPECT_EQ(mesh->DrawGroup(0), D3D_OK);
    EXPECT_EQ(DrawArgs(), (std::vector<std::string>{"4,0,0,4,0,2", "4,0,0,4,12,1"}));
    EXPECT_EQ(Calls("Device::SetStreamSource")[0].args, "0,ptr,0,12");
    EXPECT_EQ(Calls("Device::SetIndices").size(), 1u);
    EXPECT_EQ(Calls("Device::SetVertexDeclaration")[0].args, "ptr");

    d3d9sw::ClearCallLog();
    EXPECT_EQ(mesh->DrawGroup(1), D3D_OK);
    EXPECT_EQ(DrawArgs(), (std::vector<std::string>{"4,0,0,4,6,2"}));
    d3d9sw::ClearCallLog();
    EXPECT_EQ(mesh->DrawGroup(7), D3D_OK);
    EXPECT_TRUE(DrawArgs().empty());
}

TEST_F(MeshDrawingTest, OnlyTheRunEndingAtTheLastFaceReportsItsResult) {
    MeshPtr mesh = MakeFiveFaceMesh();
    d3d9sw::InjectFault("Device::DrawIndexedPrimitive", D3DERR_DEVICELOST, 10);
    EXPECT_EQ(mesh->DrawGroup(1), D3D_OK);             // run 2..3 ends before the last face
    EXPECT_EQ(mesh->DrawGroup(0), D3DERR_DEVICELOST);  // run 4..4 ends at it
    d3d9sw::ClearFaults();
    d3d9sw::InjectFault("Device::SetStreamSource", D3DERR_DEVICELOST);
    EXPECT_EQ(mesh->DrawGroup(0), D3D_OK);  // state-setting results are not reported
}

TEST_F(MeshDrawingTest, ValidatedGroupTableIsUsedUntilAttributesAreWritten) {
    MeshPtr mesh = MakeFiveFaceMesh();
    const facet::GroupEntry table[] = {{5, 0, 2, 0, 3}, {1, 2, 3, 1, 3}, {2, 4, 0, 0, 0}};
    ASSERT_EQ(mesh->SetGroupTable(table, 3), D3D_OK);
    // A stored table is not used before attribute sorting validates it.
    EXPECT_EQ(mesh->DrawGroup(1), D3D_OK);
    EXPECT_EQ(DrawArgs(), (std::vector<std::string>{"4,0,0,4,6,2"}));

    static_cast<facet::Mesh16*>(mesh.get())->MarkGroupTableValidForDrawing();
    d3d9sw::ClearCallLog();
    EXPECT_EQ(mesh->DrawGroup(1), D3D_OK);  // entry 1 carries id 1
    EXPECT_EQ(mesh->DrawGroup(5), D3D_OK);  // no entry 5: the first entry with id 5
    EXPECT_EQ(mesh->DrawGroup(2), D3D_OK);  // no faces: nothing drawn
    EXPECT_EQ(mesh->DrawGroup(0), D3D_OK);  // no entry carries id 0
    EXPECT_EQ(DrawArgs(), (std::vector<std::string>{"4,0,1,3,6,3", "4,0,0,3,0,2"}));

    // Writable attribute access discards the table; drawing falls back to the runs.
    DWORD* ids = nullptr;
    ASSERT_EQ(mesh->LockAttributes(0, &ids), D3D_OK);
    d3d9sw::ClearCallLog();
    EXPECT_EQ(mesh->DrawGroup(1), D3D_OK);
    EXPECT_EQ(DrawArgs(), (std::vector<std::string>{"4,0,0,4,6,2"}));
}

TEST_F(MeshDrawingTest, TableDrawReportsItsResult) {
    MeshPtr mesh = MakeFiveFaceMesh();
    const facet::GroupEntry table[] = {{0, 0, 5, 0, 4}};
    ASSERT_EQ(mesh->SetGroupTable(table, 1), D3D_OK);
    static_cast<facet::Mesh16*>(mesh.get())->MarkGroupTableValidForDrawing();
    d3d9sw::InjectFault("Device::DrawIndexedPrimitive", D3DERR_DEVICELOST);
    EXPECT_EQ(mesh->DrawGroup(0), D3DERR_DEVICELOST);
}

}  // namespace
