// The counts facet info reports, on meshes whose answers are known: area and volume of
// the cube and their sign, misoriented edges, components through points against
// components through edges, welded points in both index widths, and which meshes count
// as closed.
#include "facet/weld.h"
#include "geometry/mesh_statistics.h"
#include "geometry_test_support.h"
#include "support/generated_meshes.h"

#include <vector>

namespace {

using generated_meshes::MeshData;

class MeshStatisticsTest : public geometry_test::DeviceTest {
protected:
    facet::MeshStatistics Count(const MeshData& data, DWORD options = facet::MeshOptions::Managed) {
        const geometry_test::MeshPtr mesh =
            MakeMesh(std::vector<DWORD>(data.corners.begin(), data.corners.end()), data.positions, D3DFVF_XYZ, options);
        std::vector<DWORD> reps(data.VertexCount());
        EXPECT_EQ(facet::PointRepsFromPositions(mesh.get(), 0.0f, reps.data()), D3D_OK);
        facet::MeshStatistics statistics;
        EXPECT_EQ(facet::ComputeMeshStatistics(mesh.get(), reps.data(), &statistics), D3D_OK);
        return statistics;
    }
};

MeshData Reversed(MeshData mesh, std::size_t firstFace, std::size_t faces) {
    for (std::size_t f = firstFace; f < firstFace + faces; ++f) std::swap(mesh.corners[3 * f + 1], mesh.corners[3 * f + 2]);
    return mesh;
}

// A tetrahedron wound outwards with its right-angle corner at (x, 0, 0).
void AddTetrahedron(MeshData* mesh, float x) {
    const auto first = static_cast<std::uint32_t>(mesh->VertexCount());
    mesh->AddVertex(x, 0, 0);
    mesh->AddVertex(x + 1, 0, 0);
    mesh->AddVertex(x, 1, 0);
    mesh->AddVertex(x, 0, 1);
    mesh->AddFace(first, first + 2, first + 1);
    mesh->AddFace(first, first + 1, first + 3);
    mesh->AddFace(first, first + 3, first + 2);
    mesh->AddFace(first + 1, first + 2, first + 3);
}

TEST_F(MeshStatisticsTest, TheCubesAreaVolumeAndWeldedSeamsInEitherIndexWidth) {
    for (const DWORD options : {facet::MeshOptions::Managed, facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit}) {
        const facet::MeshStatistics cube = Count(generated_meshes::SplitCube(), options);
        EXPECT_EQ(cube.weldedPoints, 16u);  // 24 vertices on 8 points
        EXPECT_TRUE(cube.closed);
        EXPECT_EQ(cube.boundaryEdges + cube.nonManifoldEdges + cube.misorientedEdges, 0u);
        EXPECT_EQ(cube.components, 1u);
        EXPECT_EQ(cube.edgeComponents, 1u);
        EXPECT_DOUBLE_EQ(cube.area, 6.0);
        EXPECT_TRUE(cube.hasVolume);
        EXPECT_DOUBLE_EQ(cube.volume, 1.0);
    }
    // Wound inwards, the volume is negative.
    const facet::MeshStatistics inside = Count(Reversed(generated_meshes::SplitCube(), 0, 12));
    EXPECT_DOUBLE_EQ(inside.volume, -1.0);
    // One side turned over: its four outer edges run the same way as their neighbours'
    // (its diagonal still pairs up), the cube stays closed but has no volume.
    const facet::MeshStatistics turned = Count(Reversed(generated_meshes::SplitCube(), 0, 2));
    EXPECT_EQ(turned.misorientedEdges, 4u);
    EXPECT_TRUE(turned.closed);
    EXPECT_FALSE(turned.hasVolume);
}

TEST_F(MeshStatisticsTest, PointComponentsJoinAtAVertexWhileEdgeComponentsNeedAnEdge) {
    MeshData pair;
    AddTetrahedron(&pair, 0);
    AddTetrahedron(&pair, 1);  // its corner (1, 0, 0) is the first one's second vertex
    const facet::MeshStatistics counted = Count(pair);
    EXPECT_EQ(counted.components, 1u);
    EXPECT_EQ(counted.edgeComponents, 2u);
    EXPECT_EQ(counted.weldedPoints, 1u);
    EXPECT_TRUE(counted.closed);
    EXPECT_DOUBLE_EQ(counted.volume, 2.0 / 6.0);

    // The open box and the fin: boundaries, a non-manifold edge, one piece each.
    const facet::MeshStatistics box = Count(generated_meshes::OpenBox());
    EXPECT_EQ(box.boundaryEdges, 4u);
    EXPECT_FALSE(box.hasVolume);
    const facet::MeshStatistics fin = Count(generated_meshes::ThreeOnOneEdge());
    EXPECT_EQ(fin.nonManifoldEdges, 1u);
    EXPECT_EQ(fin.edgeComponents, 1u);
}

TEST_F(MeshStatisticsTest, ZeroAreaAndDegenerateFacesAreApartAndAFlatFanIsNotClosed) {
    // Two triangles on one line, wound against each other: every edge has two faces
    // running opposite ways, but nothing encloses anything.
    MeshData flat;
    flat.AddVertex(0, 0, 0);
    flat.AddVertex(1, 0, 0);
    flat.AddVertex(3, 0, 0);
    flat.AddFace(0, 1, 2);
    flat.AddFace(0, 2, 1);
    const facet::MeshStatistics fan = Count(flat);
    EXPECT_EQ(fan.zeroAreaFaces, 2u);
    EXPECT_EQ(fan.degenerateFaces, 0u);
    EXPECT_EQ(fan.boundaryEdges, 0u);
    EXPECT_FALSE(fan.closed);
    EXPECT_FALSE(fan.hasVolume);
    EXPECT_EQ(fan.area, 0.0);

    // The cube with a sliver: a zero-area face between two points of one edge and a
    // repeated corner; the sliver does not open the cube, the repeated corner has no
    // edges and stays out of the edge components.
    MeshData cube = generated_meshes::SplitCube();
    cube.AddVertex(0.5f, 0, 0);
    cube.AddFace(0, 3, 24);  // (0,0,0), (1,0,0) and the point between them
    cube.AddFace(24, 3, 0);
    cube.AddFace(1, 1, 2);
    const facet::MeshStatistics slivered = Count(cube);
    EXPECT_EQ(slivered.zeroAreaFaces, 2u);
    EXPECT_EQ(slivered.degenerateFaces, 1u);
    EXPECT_EQ(slivered.nonManifoldEdges, 1u);  // the cube's edge 0-3 now has three faces
    EXPECT_EQ(slivered.edgeComponents, 1u);
    EXPECT_DOUBLE_EQ(slivered.area, 6.0);
}

}  // namespace
