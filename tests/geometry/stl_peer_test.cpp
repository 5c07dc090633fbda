// The STL reader's counts beside assimp's on the real files in tests/data/stl: the same
// triangles, and as many vertices as assimp's corners have distinct positions (assimp
// keeps every corner apart when asked for no post-processing, so its corners are joined
// here, by value as facet joins them).
#include "facet/mesh_file.h"
#include "geometry_test_support.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>

#include <array>
#include <cstdlib>
#include <set>
#include <string>

namespace {

class StlPeerTest : public geometry_test::DeviceTest {};

TEST_F(StlPeerTest, CountsAgreeWithAssimp) {
    const char* root = std::getenv("SPRINGDROP_SOURCE_DIR");
    for (const char* file : {"triangle_with_two_solids.stl", "triangle_with_empty_solid.stl", "Spider_binary.stl",
                             "import_bin_solid.stl", "import.stl", "cube2.stl"}) {
        SCOPED_TRACE(file);
        const std::string path = std::string(root != nullptr ? root : ".") + "/tests/data/stl/" + file;
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        ASSERT_EQ(facet::ReadMeshFile(device(), path.c_str(), {}, &mesh, &summary, &error), D3D_OK) << error;
        const geometry_test::MeshPtr owned(mesh);

        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(path, 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        unsigned faces = 0;
        std::set<std::array<float, 3>> positions;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            const aiMesh* peer = scene->mMeshes[m];
            faces += peer->mNumFaces;
            for (unsigned v = 0; v < peer->mNumVertices; ++v) {
                const aiVector3D& p = peer->mVertices[v];
                positions.insert({p.x + 0.0f, p.y + 0.0f, p.z + 0.0f});  // -0 counts as +0
            }
        }
        EXPECT_EQ(mesh->FaceCount(), faces);
        EXPECT_EQ(mesh->VertexCount(), positions.size());
    }
}

}  // namespace
