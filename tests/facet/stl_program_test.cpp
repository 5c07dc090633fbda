// The facet program with STL: convert writes ASCII or binary STL, reads it back, and an
// OBJ that goes through STL to PLY keeps every corner's position to the bit; normals
// writes STL too.
#include "facet_program_fixture.h"
#include "support/generated_meshes.h"

#include "facet/mesh_file.h"
#include "headless_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using generated_meshes::MeshData;

// The position of each corner, in face order, as read back by the library.
std::vector<float> CornerPositions(const std::string& path) {
    facet_tools::HeadlessDevice device;
    EXPECT_EQ(device.Create(), D3D_OK);
    facet::Mesh* mesh = nullptr;
    facet::MeshFileSummary summary;
    std::string error;
    EXPECT_EQ(facet::ReadMeshFile(device.device(), path.c_str(), {}, &mesh, &summary, &error), D3D_OK) << error;
    if (mesh == nullptr) return {};
    facet::MeshFileData data;
    EXPECT_EQ(facet::CopyMeshFileData(mesh, false, &data), D3D_OK);
    mesh->Release();
    std::vector<float> corners;
    for (const DWORD corner : data.corners)
        corners.insert(corners.end(), &data.positions[3 * corner], &data.positions[3 * corner + 3]);
    return corners;
}

TEST_F(FacetProgram, ObjThroughStlToPlyKeepsEveryCornerToTheBit) {
    // Positions that need all nine digits, and a seam of split vertices for STL to join.
    MeshData mesh = generated_meshes::Shuffled(generated_meshes::Torus(9, 7, 4), 5);
    std::mt19937 random(3);
    std::uniform_real_distribution<float> jitter(-1e-3f, 1e-3f);
    for (float& coordinate : mesh.positions) coordinate += jitter(random);
    Write("start.obj", generated_meshes::ToObj(mesh));
    for (const char* binary : {"", " --binary"}) {
        SCOPED_TRACE(binary);
        ASSERT_EQ(Facet(std::string("convert start.obj mid.stl") + binary).status, 0);
        ASSERT_EQ(Facet("convert mid.stl end.ply").status, 0);
        const std::vector<float> start = CornerPositions(Path("start.obj"));
        const std::vector<float> end = CornerPositions(Path("end.ply"));
        ASSERT_EQ(start.size(), end.size());
        EXPECT_EQ(std::memcmp(start.data(), end.data(), start.size() * sizeof(float)), 0);
        const std::string info = Facet("info mid.stl").out;
        EXPECT_NE(info.find(*binary ? "(STL, binary little-endian)" : "(STL, text)"), std::string::npos) << info;
    }
}

TEST_F(FacetProgram, NormalsWritesStlWithFaceNormals) {
    Write("cube.off", generated_meshes::ToOff(generated_meshes::SplitCube()));
    ASSERT_EQ(Facet("normals cube.off -o cube.stl").status, 0);
    const std::string text = Read(Path("cube.stl"));
    EXPECT_EQ(text.rfind("solid normals written by facet\n", 0), 0u);
    EXPECT_NE(text.find("facet normal 0 0 -1\n"), std::string::npos);
    ASSERT_EQ(Facet("normals cube.off -o cube-binary.stl --binary").status, 0);
    EXPECT_EQ(Read(Path("cube-binary.stl")).size(), 84u + 12 * 50);
    ExpectRefused("normals cube.off -o n.obj --binary", "--binary applies to PLY and STL output only");
}

}  // namespace
