// ComputeWeldedVertexNormals gives, bit for bit and result code for result code, what the
// weld, the adjacency from its representatives and ComputeVertexNormals over that give
// one after the other, at 1, 2 and 7 threads: on meshes where nothing welds (so the
// adjacency is left out) and which wind their faces every way, fold and fan them; on
// seamed ones (where only the walks around welded points run), tiny, huge and large; and
// around a point in more faces than a walk may reach.
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

// Random faces over `points` distinct points, each point held by `copies` vertices (as
// seams split real meshes) and each corner naming one of its point's vertices at random.
MeshData SeamedTangle(unsigned seed, std::uint32_t points, std::uint32_t copies, std::uint32_t faces) {
    std::mt19937 random(seed);
    MeshData mesh;
    for (std::uint32_t copy = 0; copy < copies; ++copy)
        for (std::uint32_t p = 0; p < points; ++p)
            mesh.AddVertex(std::cos(0.7f * p) * (1 + p % 5), std::sin(1.3f * p), static_cast<float>(p % 7));
    std::uniform_int_distribution<std::uint32_t> point(0, points - 1), copy(0, copies - 1);
    const auto corner = [&] { return copy(random) * points + point(random); };
    for (std::uint32_t f = 0; f < faces; ++f) mesh.AddFace(corner(), corner(), corner());
    return mesh;
}

MeshData Scaled(MeshData mesh, float factor) {
    for (float& coordinate : mesh.positions) coordinate *= factor;
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

    // Into an array of normals, from a mesh of positions alone.
    Outcome WeldedIntoArray(const MeshData& data, float epsilon, DWORD options, facet::ThreadPool* pool) {
        const MeshPtr mesh = MakeMesh(std::vector<DWORD>(data.corners.begin(), data.corners.end()), data.positions,
                                      D3DFVF_XYZ, options);
        std::vector<float> normals(3 * data.VertexCount(), 7.0f);
        const HRESULT result = facet::ComputeWeldedVertexNormals(mesh.get(), epsilon, pool, normals.data());
        EXPECT_EQ(Positions(mesh.get()), data.positions);
        return {result, normals};
    }

    static std::vector<float> Positions(facet::Mesh* mesh) {
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        const auto* floats = static_cast<const float*>(data);
        std::vector<float> positions(floats, floats + 3 * std::size_t{mesh->VertexCount()});
        mesh->UnlockVertices();
        return positions;
    }

    static std::vector<float> NormalsOf(const std::vector<float>& vertices) {
        std::vector<float> normals;
        for (std::size_t v = 0; v < vertices.size() / 6; ++v)
            normals.insert(normals.end(), vertices.begin() + 6 * v + 3, vertices.begin() + 6 * v + 6);
        return normals;
    }

    // The same result and the same bits, at every thread count and both index widths
    // (16-bit ones when the mesh fits them), in the mesh and into an array.
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
                const Outcome apart = WeldedIntoArray(data, epsilon, options, &pool);
                EXPECT_EQ(apart.result, expected.result) << name << ", " << threads << " threads, into an array";
                if (SUCCEEDED(expected.result)) {
                    EXPECT_EQ(std::memcmp(apart.vertices.data(), NormalsOf(expected.vertices).data(),
                                          apart.vertices.size() * 4),
                              0)
                        << name << ", " << threads << " threads, options " << options << ", into an array";
                }
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

// Seams leave only the walks around welded points to run: on charts, on a cube split at
// every edge, with faces turned over and with a fold, and on random faces over split
// points, sparse and dense (where many faces name each other across two edges).
TEST_F(WeldedVertexNormalsTest, SeamedMeshesGiveTheStepByStepNormals) {
    ExpectSameAsStepByStep(generated_meshes::Shuffled(generated_meshes::Torus(120, 100, 16), 5), "seamed torus");
    ExpectSameAsStepByStep(generated_meshes::SplitCube(), "split cube");
    MeshData turned = generated_meshes::Shuffled(generated_meshes::Torus(40, 30, 8), 2);
    for (std::size_t face = 0; face < turned.FaceCount(); face += 5)
        std::swap(turned.corners[3 * face + 1], turned.corners[3 * face + 2]);
    ExpectSameAsStepByStep(turned, "seamed torus with faces turned over");
    MeshData folded = generated_meshes::SplitCube();
    folded.AddFace(0, 2, 1);
    ExpectSameAsStepByStep(folded, "split cube with a fold");
    for (unsigned seed = 4; seed < 12; ++seed) {
        ExpectSameAsStepByStep(SeamedTangle(seed, 300, 3, 400), "sparse seamed tangle " + std::to_string(seed));
        ExpectSameAsStepByStep(SeamedTangle(seed, 30, 2, 500), "dense seamed tangle " + std::to_string(seed));
    }
    // Nothing shares a position, but the epsilon welds neighbours.
    ExpectSameAsStepByStep(generated_meshes::WeldedTorus(60, 40), "torus welded within 0.2", 0.2f);
    // So small that the float face vectors underflow, and so large that they overflow:
    // the sums start again in double, the seams' targets as the other vertices.
    ExpectSameAsStepByStep(Scaled(generated_meshes::Torus(40, 30, 8), 1e-24f), "tiny seamed torus");
    ExpectSameAsStepByStep(Scaled(generated_meshes::Torus(40, 30, 8), 1e20f), "huge seamed torus");
}

// Past a million vertices the sums gather positions, targets and sums into a copy of their
// own; the seams' walks give the targets of the welded vertices.
TEST_F(WeldedVertexNormalsTest, ALargeSeamedMeshGivesTheStepByStepNormalsOnTwoThreads) {
    const MeshData torus = generated_meshes::Shuffled(generated_meshes::Torus(1100, 1000, 16), 7);
    ASSERT_GT(torus.VertexCount(), std::size_t{1} << 20);
    facet::ThreadPool pool(2);
    const DWORD wide = facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit;
    const Outcome expected = StepByStep(torus, 0.0f, wide, &pool);
    const Outcome actual = Welded(torus, 0.0f, wide, &pool);
    ASSERT_EQ(expected.result, D3D_OK);
    EXPECT_EQ(actual.result, D3D_OK);
    EXPECT_EQ(std::memcmp(actual.vertices.data(), expected.vertices.data(), actual.vertices.size() * 4), 0);
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
    // The centre split in two along a seam: each copy lies in 6000 faces, but the walk
    // around their point crosses the seam and reaches all 12000.
    MeshData seamed = Fan(12000, true);
    seamed.AddVertex(0, 0, 0);
    const auto copy = static_cast<std::uint32_t>(seamed.VertexCount() - 1);
    for (std::size_t face = 6000; face < seamed.FaceCount(); ++face) seamed.corners[3 * face] = copy;
    EXPECT_EQ(Welded(seamed, 0.0f, wide, &pool).result, kWalkTooLong);
    ExpectSameAsStepByStep(seamed, "closed fan of 12000 around a split centre");
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

TEST_F(WeldedVertexNormalsTest, AMeshWithoutNormalsTakesThemIntoAnArrayOnly) {
    const MeshData box = generated_meshes::SplitCube();
    const MeshPtr mesh = MakeMesh(std::vector<DWORD>(box.corners.begin(), box.corners.end()), box.positions,
                                  D3DFVF_XYZ, facet::MeshOptions::Managed);
    EXPECT_EQ(facet::ComputeWeldedVertexNormals(mesh.get(), 0.0f, nullptr), D3DERR_INVALIDCALL);
    std::vector<float> normals(3 * box.VertexCount(), 7.0f);
    ASSERT_EQ(facet::ComputeWeldedVertexNormals(mesh.get(), 0.0f, nullptr, normals.data()), D3D_OK);
    const MeshPtr withNormals = Build(box, facet::MeshOptions::Managed);
    ASSERT_EQ(facet::ComputeWeldedVertexNormals(withNormals.get(), 0.0f, nullptr), D3D_OK);
    EXPECT_EQ(normals, NormalsOf(Vertices(withNormals.get())));
    EXPECT_EQ(Positions(mesh.get()), box.positions);

    // Around a point in more faces than a walk may reach, the layout is refused before the
    // walk can fail.
    const MeshData fan = Fan(12000, true);
    const MeshPtr large = MakeMesh(std::vector<DWORD>(fan.corners.begin(), fan.corners.end()), fan.positions,
                                   D3DFVF_XYZ, facet::MeshOptions::Managed);
    EXPECT_EQ(facet::ComputeWeldedVertexNormals(large.get(), 0.0f, nullptr), D3DERR_INVALIDCALL);
    std::vector<float> fanNormals(3 * fan.VertexCount());
    EXPECT_EQ(facet::ComputeWeldedVertexNormals(large.get(), 0.0f, nullptr, fanNormals.data()), kWalkTooLong);
}

}  // namespace

// The adjacency refuses a group table that reaches past the faces. Where nothing welds the
// welded normals leave the adjacency out, and must refuse such a mesh all the same, on one
// thread and on a pool; where vertices weld the adjacency itself refuses it.
TEST_F(WeldedVertexNormalsTest, AGroupTablePastTheFacesIsRefusedWhicheverWayTheNormalsTake) {
    const DWORD wide = facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit;
    facet::ThreadPool pool(2);
    for (const MeshData& data : {generated_meshes::OpenBox(), generated_meshes::SplitCube()}) {
        const MeshPtr mesh = Build(data, wide);
        facet::GroupEntry group{};
        group.faceCount = mesh->FaceCount() + 1;
        group.vertexCount = mesh->VertexCount();
        ASSERT_EQ(mesh->SetGroupTable(&group, 1), D3D_OK);
        const std::vector<float> before = Vertices(mesh.get());
        std::vector<DWORD> adjacency(3 * std::size_t{mesh->FaceCount()});
        for (facet::ThreadPool* threads : {static_cast<facet::ThreadPool*>(nullptr), &pool}) {
            EXPECT_EQ(facet::AdjacencyFromPointReps(mesh.get(), nullptr, adjacency.data(), threads),
                      D3DERR_INVALIDCALL);
            EXPECT_EQ(facet::ComputeWeldedVertexNormals(mesh.get(), 0.0f, threads), D3DERR_INVALIDCALL);
            std::vector<float> normals(3 * data.VertexCount());
            EXPECT_EQ(facet::ComputeWeldedVertexNormals(mesh.get(), 0.0f, threads, normals.data()),
                      D3DERR_INVALIDCALL);
        }
        EXPECT_EQ(Vertices(mesh.get()), before);
    }
}
