// ComputeWeldedVertexNormals gives, bit for bit and result code for result code, what the
// weld, the adjacency from its representatives and ComputeVertexNormals over that give
// one after the other, at 1, 2 and 7 threads: on meshes where nothing welds (so the
// adjacency is left out) and which wind their faces every way, fold and fan them; on
// seamed ones; and around a vertex in more faces than a walk may reach.
#include "facet/normals.h"
#include "facet/thread_pool.h"
#include "facet/weld.h"
#include "geometry_test_support.h"
#include "support/generated_meshes.h"

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using generated_meshes::MeshData;
using geometry_test::MeshPtr;

constexpr HRESULT kWalkTooLong = static_cast<HRESULT>(0x88760B55u);

// Random faces over a few distinct points: edges of many faces, both windings, folded
// pairs and faces with a repeated corner.
MeshData Tangled(unsigned seed) {
    std::mt19937 random(seed);
    MeshData mesh;
    for (int v = 0; v < 40; ++v)
        mesh.AddVertex(std::cos(0.7f * v) * (1 + v % 5), std::sin(1.3f * v), static_cast<float>(v % 7));
    std::uniform_int_distribution<std::uint32_t> pick(0, 39);
    for (int f = 0; f < 600; ++f) mesh.AddFace(pick(random), pick(random), pick(random));
    return mesh;
}

// A disc of `faces` triangles around one centre vertex, closed or open.
MeshData Fan(std::uint32_t faces, bool closed) {
    MeshData mesh;
    mesh.AddVertex(0, 0, 0);
    const std::uint32_t rim = closed ? faces : faces + 1;
    for (std::uint32_t i = 0; i < rim; ++i) {
        const double angle = 2.0 * M_PI * i / (closed ? rim : rim + 1);
        mesh.AddVertex(static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)), 0.0f);
    }
    for (std::uint32_t i = 0; i < faces; ++i) mesh.AddFace(0, 1 + i, 1 + (i + 1) % rim);
    return mesh;
}

class WeldedVertexNormalsTest : public geometry_test::DeviceTest {
protected:
    struct Outcome {
        HRESULT result;
        std::vector<float> vertices;  // positions and normals as left in the mesh
    };

    MeshPtr Build(const MeshData& data, DWORD options) {
        std::vector<float> vertices;
        for (std::size_t v = 0; v < data.VertexCount(); ++v)
            vertices.insert(vertices.end(),
                            {data.positions[3 * v], data.positions[3 * v + 1], data.positions[3 * v + 2], 7, 7, 7});
        return MakeMesh(std::vector<DWORD>(data.corners.begin(), data.corners.end()), vertices,
                        D3DFVF_XYZ | D3DFVF_NORMAL, options);
    }

    static std::vector<float> Vertices(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        std::vector<float> vertices(6 * std::size_t{mesh->VertexCount()});
        std::memcpy(vertices.data(), data, vertices.size() * sizeof(float));
        mesh->UnlockVertices();
        return vertices;
    }

    Outcome StepByStep(const MeshData& data, float epsilon, DWORD options, facet::ThreadPool* pool) {
        const MeshPtr mesh = Build(data, options);
        std::vector<DWORD> reps(mesh->VertexCount()), adjacency(3 * std::size_t{mesh->FaceCount()});
        HRESULT result = facet::PointRepsFromPositions(mesh.get(), epsilon, reps.data(), pool);
        if (SUCCEEDED(result)) result = facet::AdjacencyFromPointReps(mesh.get(), reps.data(), adjacency.data(), pool);
        if (SUCCEEDED(result)) result = facet::ComputeVertexNormals(mesh.get(), adjacency.data(), pool);
        return {result, Vertices(mesh.get())};
    }

    Outcome Welded(const MeshData& data, float epsilon, DWORD options, facet::ThreadPool* pool,
                   std::vector<std::string>* steps = nullptr) {
        const MeshPtr mesh = Build(data, options);
        const HRESULT result = facet::ComputeWeldedVertexNormals(mesh.get(), epsilon, pool, [&](const char* step) {
            if (steps != nullptr) steps->push_back(step);
        });
        return {result, Vertices(mesh.get())};
    }

    // The same result and the same bits, at every thread count and both index widths
    // (16-bit ones when the mesh fits them).
    void ExpectSameAsStepByStep(const MeshData& data, const std::string& name, float epsilon = 0.0f) {
        std::vector<DWORD> widths = {facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit};
        if (data.VertexCount() < 0xFFFF) widths.push_back(facet::MeshOptions::Managed);
        for (const DWORD options : widths)
            for (const unsigned threads : {1u, 2u, 7u}) {
                facet::ThreadPool pool(threads);
                const Outcome expected = StepByStep(data, epsilon, options, &pool);
                const Outcome actual = Welded(data, epsilon, options, &pool);
                EXPECT_EQ(actual.result, expected.result) << name << ", " << threads << " threads";
                EXPECT_EQ(std::memcmp(actual.vertices.data(), expected.vertices.data(), actual.vertices.size() * 4), 0)
                    << name << ", " << threads << " threads, options " << options;
            }
    }
};

TEST_F(WeldedVertexNormalsTest, MeshesWhereNothingWeldsGiveTheStepByStepNormals) {
    const MeshData torus = generated_meshes::Shuffled(generated_meshes::WeldedTorus(320, 300), 3);
    ASSERT_GT(torus.FaceCount(), 10000u);  // so the faces around each vertex are counted
    ExpectSameAsStepByStep(torus, "compacted torus");
    ExpectSameAsStepByStep(generated_meshes::OpenBox(), "open box");
    ExpectSameAsStepByStep(generated_meshes::ThreeOnOneEdge(), "three faces on one edge");
    for (const unsigned seed : {1u, 2u, 3u}) ExpectSameAsStepByStep(Tangled(seed), "tangled " + std::to_string(seed));

    // Faces turned over here and there: their edges run the same way as their neighbours'.
    MeshData flipped = generated_meshes::WeldedTorus(40, 30);
    for (std::size_t face = 0; face < flipped.FaceCount(); face += 7)
        std::swap(flipped.corners[3 * face + 1], flipped.corners[3 * face + 2]);
    ExpectSameAsStepByStep(flipped, "torus with faces turned over");

    // A triangle folded onto its mirror image, and one with a corner twice.
    MeshData folded = generated_meshes::OpenBox();
    folded.AddFace(0, 3, 2);
    folded.AddFace(4, 4, 5);
    ExpectSameAsStepByStep(folded, "open box with a fold and a repeated corner");
}

TEST_F(WeldedVertexNormalsTest, SeamedMeshesGiveTheStepByStepNormals) {
    ExpectSameAsStepByStep(generated_meshes::Shuffled(generated_meshes::Torus(120, 100, 16), 5), "seamed torus");
    ExpectSameAsStepByStep(generated_meshes::SplitCube(), "split cube");
    // Nothing shares a position, but the epsilon welds neighbours.
    ExpectSameAsStepByStep(generated_meshes::WeldedTorus(60, 40), "torus welded within 0.2", 0.2f);
}

TEST_F(WeldedVertexNormalsTest, AVertexInMoreFacesThanAWalkMayReachFailsAsTheWalkDoes) {
    facet::ThreadPool pool(2);
    const DWORD wide = facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit;
    // Closed, the walk around the centre enters every face: one more than it may.
    const Outcome tooMany = Welded(Fan(10001, true), 0.0f, wide, &pool);
    EXPECT_EQ(tooMany.result, kWalkTooLong);
    ExpectSameAsStepByStep(Fan(10001, true), "closed fan of 10001");
    // Exactly as many as it may: the adjacency is left out, the normals the same.
    ExpectSameAsStepByStep(Fan(10000, false), "open fan of 10000");
    ExpectSameAsStepByStep(Fan(10000, true), "closed fan of 10000");
    EXPECT_EQ(Welded(Fan(10000, true), 0.0f, wide, &pool).result, D3D_OK);
}

// On a large mesh the faces around each vertex are counted in ranges of faces, one per
// thread, and the ranges' counts added: a fan whose faces lie half in the first range and
// half in the last is more than a walk may reach only when both halves are counted.
TEST_F(WeldedVertexNormalsTest, FacesAroundAVertexAreCountedAcrossEveryRange) {
    const MeshData fan = Fan(12000, true);
    const MeshData filler = generated_meshes::WeldedTorus(512, 512);
    MeshData mesh = fan;
    mesh.corners.resize(3 * 6000);
    const auto first = static_cast<std::uint32_t>(mesh.VertexCount());
    mesh.positions.insert(mesh.positions.end(), filler.positions.begin(), filler.positions.end());
    for (std::size_t i = 0; i < filler.corners.size(); ++i) {
        const std::uint32_t corner = filler.corners[i];
        mesh.corners.push_back(first + corner);
    }
    mesh.corners.insert(mesh.corners.end(), fan.corners.begin() + 3 * 6000, fan.corners.end());
    ASSERT_GE(mesh.FaceCount(), std::size_t{1} << 19);  // two ranges on two threads
    facet::ThreadPool pool(2);
    const DWORD wide = facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit;
    EXPECT_EQ(Welded(mesh, 0.0f, wide, &pool).result, kWalkTooLong);
    EXPECT_EQ(StepByStep(mesh, 0.0f, wide, &pool).result, kWalkTooLong);
}

TEST_F(WeldedVertexNormalsTest, TheStepsTakenAreReported) {
    const DWORD wide = facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit;
    std::vector<std::string> steps;
    ASSERT_EQ(Welded(generated_meshes::OpenBox(), 0.0f, wide, nullptr, &steps).result, D3D_OK);
    EXPECT_EQ(steps, (std::vector<std::string>{"welding", "normals"}));
    steps.clear();
    ASSERT_EQ(Welded(generated_meshes::SplitCube(), 0.0f, wide, nullptr, &steps).result, D3D_OK);
    EXPECT_EQ(steps, (std::vector<std::string>{"welding", "adjacency", "normals"}));
    EXPECT_EQ(facet::ComputeWeldedVertexNormals(nullptr, 0.0f, nullptr), D3DERR_INVALIDCALL);
    const MeshPtr mesh = Build(generated_meshes::OpenBox(), wide);
    EXPECT_EQ(facet::ComputeWeldedVertexNormals(mesh.get(), std::nanf(""), nullptr), D3DERR_INVALIDCALL);
}

}  // namespace
