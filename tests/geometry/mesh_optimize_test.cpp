// Mesh optimisation: every step keeps the triangles (each new face is its old face with the
// vertices renumbered, corners in the same order), the remaps are permutations, compacting
// drops exactly the faces that are not triangles and the unused vertices, the group table
// draws each attribute group, adjacency follows the faces, refusals write nothing, an
// optimised mesh draws the same pixels, and real meshes come out whole and cache-friendly.
#include "geometry/cache_miss_ratio.h"
#include "geometry/mesh_object.h"
#include "geometry_test_support.h"
#include "facet/mesh_file.h"
#include "support/generated_meshes.h"
#include "support/packaged_meshes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <numeric>

namespace {

using facet::Mesh;
using facet::OptimizeFlags::All;
using facet::OptimizeFlags::AttributeSort;
using facet::OptimizeFlags::Compact;
using facet::OptimizeFlags::VertexCache;
using facet::OptimizeFlags::VertexFetch;
using geometry_test::MeshPtr;

constexpr DWORD kNone = 0xFFFFFFFF;

// Everything the tests compare before and after.
struct Snapshot {
    std::vector<DWORD> corners;  // 0xFFFFFFFF for an unused face's corners
    std::vector<std::vector<BYTE>> vertices;
    std::vector<DWORD> attributeIds;
};

Snapshot Take(Mesh* mesh) {
    Snapshot s;
    void* data = nullptr;
    EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
    const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
    for (std::size_t i = 0; i < 3 * std::size_t{mesh->FaceCount()}; ++i) {
        const DWORD index = wide ? static_cast<DWORD*>(data)[i] : static_cast<WORD*>(data)[i];
        s.corners.push_back(!wide && index == 0xFFFF ? kNone : index);
    }
    mesh->UnlockIndices();
    EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
    for (std::size_t v = 0; v < mesh->VertexCount(); ++v) {
        const BYTE* at = static_cast<const BYTE*>(data) + v * mesh->VertexStride();
        s.vertices.emplace_back(at, at + mesh->VertexStride());
    }
    mesh->UnlockVertices();
    DWORD* ids = nullptr;
    EXPECT_EQ(mesh->LockAttributes(D3DLOCK_READONLY, &ids), D3D_OK);
    s.attributeIds.assign(ids, ids + mesh->FaceCount());
    return s;
}

bool IsPermutation(const DWORD* values, std::size_t n) {
    std::vector<bool> seen(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (values[i] >= n || seen[values[i]]) return false;
        seen[values[i]] = true;
    }
    return true;
}

bool IsTriangle(const DWORD* c) { return c[0] != kNone && c[0] != c[1] && c[1] != c[2] && c[0] != c[2]; }

// The triangles as sorted (attribute id, corners rotated to put the lowest first).
std::vector<std::array<DWORD, 4>> CanonicalTriangles(const std::vector<DWORD>& corners,
                                                     const std::vector<DWORD>& ids, const DWORD* oldVertexOf) {
    std::vector<std::array<DWORD, 4>> triangles;
    for (std::size_t f = 0; f < ids.size(); ++f) {
        const DWORD* c = &corners[3 * f];
        if (!IsTriangle(c)) continue;
        std::array<DWORD, 3> t = {oldVertexOf ? oldVertexOf[c[0]] : c[0], oldVertexOf ? oldVertexOf[c[1]] : c[1],
                                  oldVertexOf ? oldVertexOf[c[2]] : c[2]};
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
        triangles.push_back({ids[f], t[0], t[1], t[2]});
    }
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}

struct Outcome {
    Snapshot after;
    std::vector<DWORD> faceRemap;
    std::vector<DWORD> vertexRemap;
    std::vector<DWORD> adjacency;
};

// Optimises `mesh` in place with every output requested and checks the contract's
// invariants against `before`; faces and vertices compacting may remove are allowed only
// when `flags` has Compact.
Outcome OptimizeAndCheck(Mesh* mesh, DWORD flags, const DWORD* adjacencyIn = nullptr) {
    const Snapshot before = Take(mesh);
    const std::size_t faces = mesh->FaceCount(), vertices = mesh->VertexCount();
    Outcome out;
    out.faceRemap.assign(faces, 0xA5A5A5A5);
    out.adjacency.assign(3 * faces, 0xA5A5A5A5);
    facet::ResultBuffer* remap = nullptr;
    EXPECT_EQ(mesh->OptimizeSelf(flags, adjacencyIn, out.adjacency.data(), out.faceRemap.data(), &remap), D3D_OK);
    if (remap == nullptr) return out;
    EXPECT_EQ(remap->Size(), vertices * sizeof(DWORD));
    const auto* remapData = static_cast<const DWORD*>(remap->Data());
    out.vertexRemap.assign(remapData, remapData + vertices);
    remap->Release();
    out.after = Take(mesh);
    const std::size_t newFaces = mesh->FaceCount(), newVertices = mesh->VertexCount();
    if ((flags & Compact) == 0) {
        EXPECT_EQ(newFaces, faces);
        EXPECT_EQ(newVertices, vertices);
        EXPECT_TRUE(IsPermutation(out.faceRemap.data(), faces));
        EXPECT_TRUE(IsPermutation(out.vertexRemap.data(), vertices));
    }
    for (std::size_t i = newFaces; i < faces; ++i) EXPECT_EQ(out.faceRemap[i], kNone);
    for (std::size_t i = newVertices; i < vertices; ++i) EXPECT_EQ(out.vertexRemap[i], kNone);
    // Each new face is its old face, corner for corner, through the vertex remap.
    for (std::size_t f = 0; f < newFaces; ++f) {
        const DWORD old = out.faceRemap[f];
        EXPECT_EQ(out.after.attributeIds[f], before.attributeIds[old]);
        for (int k = 0; k < 3; ++k) {
            const DWORD corner = out.after.corners[3 * f + k];
            const DWORD expected = before.corners[3 * std::size_t{old} + (before.corners[3 * old] == kNone ? 0 : k)];
            EXPECT_EQ(corner == kNone ? kNone : out.vertexRemap[corner], expected) << "face " << f;
            if (::testing::Test::HasFailure()) return out;
        }
    }
    for (std::size_t v = 0; v < newVertices; ++v)
        EXPECT_EQ(out.after.vertices[v], before.vertices[out.vertexRemap[v]]) << "vertex " << v;
    EXPECT_EQ(CanonicalTriangles(out.after.corners, out.after.attributeIds, out.vertexRemap.data()),
              CanonicalTriangles(before.corners, before.attributeIds, nullptr));
    return out;
}

class MeshOptimizeTest : public geometry_test::DeviceTest {
protected:
    MeshPtr Build(const generated_meshes::MeshData& data, DWORD options = facet::MeshOptions::Managed) {
        std::vector<float> vertices;
        for (std::size_t v = 0; v < data.VertexCount(); ++v)
            vertices.insert(vertices.end(), {data.positions[3 * v], data.positions[3 * v + 1],
                                             data.positions[3 * v + 2], static_cast<float>(v), 0, 0});
        return MakeMesh(std::vector<DWORD>(data.corners.begin(), data.corners.end()), vertices,
                        D3DFVF_XYZ | D3DFVF_NORMAL, options);
    }

    static void SetIds(Mesh* mesh, DWORD (*idOf)(DWORD face)) {
        DWORD* ids = nullptr;
        ASSERT_EQ(mesh->LockAttributes(0, &ids), D3D_OK);
        for (DWORD f = 0; f < mesh->FaceCount(); ++f) ids[f] = idOf(f);
        mesh->UnlockAttributes();
    }

    static double MissRatio(Mesh* mesh, std::uint32_t cache) {
        const Snapshot s = Take(mesh);
        return facet::SimulateVertexCache(s.corners.data(), mesh->FaceCount(), mesh->VertexCount(), cache)
            .missesPerFace;
    }
};

TEST_F(MeshOptimizeTest, EachStepKeepsTheTrianglesAndMovesVerticesWithTheirIndices) {
    const auto torus = generated_meshes::Shuffled(generated_meshes::Torus(40, 24, 8), 5);
    for (const DWORD flags : {0u, VertexCache, VertexFetch, AttributeSort, VertexCache | VertexFetch, All}) {
        for (const DWORD options : {facet::MeshOptions::Managed,
                                    facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit}) {
            SCOPED_TRACE(::testing::Message() << "flags " << flags << " options " << options);
            MeshPtr mesh = Build(torus, options);
            SetIds(mesh.get(), [](DWORD f) { return (f * 7) % 3; });
            const Outcome out = OptimizeAndCheck(mesh.get(), flags);
            if (flags == 0) {
                EXPECT_TRUE(std::is_sorted(out.faceRemap.begin(), out.faceRemap.end()));
                EXPECT_TRUE(std::is_sorted(out.vertexRemap.begin(), out.vertexRemap.end()));
            }
            if (flags & VertexFetch) {  // numbered by first use: each new vertex at most one past the last
                DWORD next = 0;
                for (const DWORD corner : out.after.corners) {
                    EXPECT_LE(corner, next);
                    next = std::max(next, corner + 1);
                }
            }
            if (flags & AttributeSort) {
                EXPECT_TRUE(std::is_sorted(out.after.attributeIds.begin(), out.after.attributeIds.end()));
            }
        }
    }
}

TEST_F(MeshOptimizeTest, CacheOrderCutsTheMissRatioOfAShuffledMesh) {
    MeshPtr mesh = Build(generated_meshes::Shuffled(generated_meshes::Torus(160, 80, 16), 9),
                         facet::MeshOptions::Managed | facet::MeshOptions::Indices32Bit);
    EXPECT_GT(MissRatio(mesh.get(), 16), 2.5);
    OptimizeAndCheck(mesh.get(), VertexCache);
    // A regular grid allows about 0.5 at best; a poor order stays near 1 or above.
    EXPECT_LT(MissRatio(mesh.get(), 16), 0.75);
    EXPECT_LT(MissRatio(mesh.get(), 32), 0.72);
}

TEST_F(MeshOptimizeTest, CompactingDropsNonTrianglesAndUnusedVerticesOnly) {
    // Faces: a triangle, one with a repeated corner, an unused one, another triangle.
    // Vertex 2 is used only by the repeated-corner face, vertex 5 by none.
    MeshPtr mesh = MakeMesh({0, 1, 3, 2, 2, 4, 0xFFFF, 0, 0, 4, 3, 1}, std::vector<float>(6 * 3, 0.0f), D3DFVF_XYZ);
    for (DWORD v = 0; v < 6; ++v) {
        void* data = nullptr;
        mesh->LockVertices(0, &data);
        static_cast<float*>(data)[3 * v] = static_cast<float>(v);
        mesh->UnlockVertices();
    }
    std::vector<DWORD> adjacency(12);
    ASSERT_EQ(mesh->AdjacencyFromPointReps(nullptr, adjacency.data()), D3D_OK);
    const Outcome out = OptimizeAndCheck(mesh.get(), Compact, adjacency.data());
    EXPECT_EQ(mesh->FaceCount(), 2u);
    EXPECT_EQ(mesh->VertexCount(), 4u);
    EXPECT_EQ(out.faceRemap, (std::vector<DWORD>{0, 3, kNone, kNone}));
    EXPECT_EQ(out.vertexRemap, (std::vector<DWORD>{0, 1, 3, 4, kNone, kNone}));
    // The two triangles share the edge 1-3; the dropped faces' entries are gone.
    EXPECT_EQ(out.adjacency, (std::vector<DWORD>{kNone, 1, kNone, kNone, 0, kNone, kNone, kNone, kNone, kNone,
                                                 kNone, kNone}));

    // No face a triangle: compacted to no face and no vertex, whose adjacency (formed
    // afterwards) has no entry to fill.
    MeshPtr none = MakeMesh({0, 0, 1, 0xFFFF, 1, 1}, std::vector<float>(2 * 3, 0.0f), D3DFVF_XYZ);
    std::vector<DWORD> noAdjacency(6, 0xA5A5A5A5);
    ASSERT_EQ(none->OptimizeSelf(Compact | AttributeSort, nullptr, noAdjacency.data(), nullptr, nullptr), D3D_OK);
    EXPECT_EQ(none->FaceCount(), 0u);
    EXPECT_EQ(none->VertexCount(), 0u);
    EXPECT_EQ(noAdjacency, std::vector<DWORD>(6, kNone));
}

TEST_F(MeshOptimizeTest, AttributeSortBuildsAGroupTableThatDrawsEachGroup) {
    MeshPtr mesh = MakeMesh({0, 1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 6, 2, 3, 4}, std::vector<float>(7 * 3, 0.0f),
                            D3DFVF_XYZ);
    SetIds(mesh.get(), [](DWORD f) { return std::array<DWORD, 5>{2, 0, 2, 1, 0}[f]; });
    OptimizeAndCheck(mesh.get(), AttributeSort);
    facet::GroupEntry table[3] = {};
    DWORD count = 0;
    mesh->CopyGroupTable(nullptr, &count);
    ASSERT_EQ(count, 3u);
    mesh->CopyGroupTable(table, nullptr);
    // New faces: (3 4 5) (4 5 6) | (3 4 5)... by id: 0 -> old 1, 4; 1 -> old 3; 2 -> old 0, 2.
    const facet::GroupEntry expected[] = {{0, 0, 2, 2, 4}, {1, 2, 1, 4, 3}, {2, 3, 2, 0, 4}};
    EXPECT_EQ(std::memcmp(table, expected, sizeof expected), 0)
        << table[0].firstVertex << " " << table[0].vertexCount << " " << table[2].firstVertex;
    ASSERT_EQ(device()->BeginScene(), D3D_OK);
    d3d9sw::ClearCallLog();
    for (DWORD id = 0; id < 3; ++id) EXPECT_EQ(mesh->DrawGroup(id), D3D_OK);
    std::vector<std::string> draws;
    for (const auto& call : Calls("Device::DrawIndexedPrimitive")) draws.push_back(call.args);
    EXPECT_EQ(draws, (std::vector<std::string>{"4,0,2,4,0,2", "4,0,4,3,6,1", "4,0,0,4,9,2"}));
    // Without attribute sorting the table stays while no face moves, and goes when one does.
    OptimizeAndCheck(mesh.get(), Compact);
    mesh->CopyGroupTable(nullptr, &count);
    EXPECT_EQ(count, 3u);
    WriteIndices(mesh.get(), {3, 4, 5, 4, 5, 6, 3, 3, 4, 0, 1, 2, 1, 2, 3});
    OptimizeAndCheck(mesh.get(), Compact);
    mesh->CopyGroupTable(nullptr, &count);
    EXPECT_EQ(count, 0u);
}

TEST_F(MeshOptimizeTest, AdjacencyFollowsTheFacesWhetherGivenOrComputed) {
    MeshPtr mesh = Build(generated_meshes::Shuffled(generated_meshes::Torus(24, 12, 24), 3));
    std::vector<DWORD> adjacency(3 * mesh->FaceCount());
    ASSERT_EQ(mesh->AdjacencyFromPointReps(nullptr, adjacency.data()), D3D_OK);
    MeshPtr copy;
    {
        Mesh* clone = nullptr;
        ASSERT_EQ(mesh->CloneWithFormat(mesh->Options(), mesh->VertexFormat(), device(), &clone), D3D_OK);
        copy.reset(clone);
    }
    // Carried over, in place (the input array is the output array).
    std::vector<DWORD> carried = adjacency;
    ASSERT_EQ(mesh->OptimizeSelf(All, carried.data(), carried.data(), nullptr, nullptr), D3D_OK);
    std::vector<DWORD> recomputed(carried.size());
    ASSERT_EQ(mesh->AdjacencyFromPointReps(nullptr, recomputed.data()), D3D_OK);
    EXPECT_EQ(carried, recomputed);
    // Computed, when no adjacency is given.
    std::vector<DWORD> computed(carried.size(), 0xA5A5A5A5);
    ASSERT_EQ(copy->OptimizeSelf(All, nullptr, computed.data(), nullptr, nullptr), D3D_OK);
    EXPECT_EQ(computed, recomputed);
}

TEST_F(MeshOptimizeTest, RefusalsWriteNothing) {
    MeshPtr mesh = MakeMesh({0, 1, 2, 2, 1, 3}, std::vector<float>(4 * 3, 0.0f), D3DFVF_XYZ);
    const Snapshot before = Take(mesh.get());
    std::vector<DWORD> adjacency(6, 0xA5A5A5A5), faceRemap(2, 0xA5A5A5A5);
    facet::ResultBuffer* const noBuffer = reinterpret_cast<facet::ResultBuffer*>(0x1);
    facet::ResultBuffer* remap = noBuffer;
    Mesh* const noMesh = reinterpret_cast<Mesh*>(0x1);
    Mesh* optimized = noMesh;
    const std::vector<DWORD> badNeighbour = {kNone, 2, kNone, kNone, kNone, kNone};
    EXPECT_EQ(mesh->OptimizeSelf(0x10, nullptr, adjacency.data(), faceRemap.data(), &remap), D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->OptimizeSelf(All, badNeighbour.data(), adjacency.data(), faceRemap.data(), &remap),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->OptimizeInto(All, nullptr, adjacency.data(), faceRemap.data(), &remap, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->OptimizeInto(All, badNeighbour.data(), adjacency.data(), faceRemap.data(), &remap, &optimized),
              D3DERR_INVALIDCALL);
    WriteIndices(mesh.get(), {0, 1, 2, 2, 1, 4});  // vertex 4 does not exist
    EXPECT_EQ(mesh->OptimizeSelf(All, nullptr, adjacency.data(), faceRemap.data(), &remap), D3DERR_INVALIDCALL);
    WriteIndices(mesh.get(), {0, 1, 2, 2, 1, 3});
    // A group table past the faces, kept where no face moves, would fail the adjacency
    // formed at the end: refused before anything is written (or a remap handed out).
    facet::GroupEntry pastTheFaces{};
    pastTheFaces.faceCount = 3;
    ASSERT_EQ(mesh->SetGroupTable(&pastTheFaces, 1), D3D_OK);
    EXPECT_EQ(mesh->OptimizeSelf(VertexFetch, nullptr, adjacency.data(), faceRemap.data(), &remap),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(mesh->OptimizeInto(0, nullptr, adjacency.data(), faceRemap.data(), &remap, &optimized),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(mesh->SetGroupTable(nullptr, 0), D3D_OK);
    EXPECT_EQ(adjacency, std::vector<DWORD>(6, 0xA5A5A5A5));
    EXPECT_EQ(faceRemap, std::vector<DWORD>(2, 0xA5A5A5A5));
    EXPECT_EQ(remap, noBuffer);
    EXPECT_EQ(optimized, noMesh);
    EXPECT_EQ(Take(mesh.get()).corners, before.corners);
    MeshPtr writeOnly = MakeMesh({0, 1, 2}, std::vector<float>(3 * 3, 0.0f), D3DFVF_XYZ,
                                 facet::MeshOptions::VertexWriteOnly);
    EXPECT_EQ(writeOnly->OptimizeSelf(All, nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    // A failed lock is passed through with the mesh as it was.
    d3d9sw::InjectFault("IndexBuffer::Lock", D3DERR_INVALIDCALL, 1, 1);
    EXPECT_EQ(mesh->OptimizeSelf(VertexFetch, nullptr, nullptr, nullptr, &remap), D3DERR_INVALIDCALL);
    EXPECT_EQ(remap, noBuffer);
    mesh.reset();
    writeOnly.reset();
    ExpectNoLeak();
}

TEST_F(MeshOptimizeTest, OptimizeIntoLeavesTheSourceAlone) {
    MeshPtr mesh = Build(generated_meshes::Shuffled(generated_meshes::Torus(16, 8, 8), 1));
    const Snapshot before = Take(mesh.get());
    Mesh* optimized = nullptr;
    std::vector<DWORD> faceRemap(mesh->FaceCount());
    ASSERT_EQ(mesh->OptimizeInto(All, nullptr, nullptr, faceRemap.data(), nullptr, &optimized), D3D_OK);
    MeshPtr owned(optimized);
    EXPECT_EQ(Take(mesh.get()).corners, before.corners);
    EXPECT_EQ(optimized->Options(), mesh->Options());
    EXPECT_EQ(optimized->VertexFormat(), mesh->VertexFormat());
    EXPECT_NE(Take(optimized).corners, before.corners);
    EXPECT_TRUE(IsPermutation(faceRemap.data(), faceRemap.size()));
}

// Draws the faces of attribute 0 on a device of its own and returns the picture.
std::vector<std::uint8_t> Draw(IDirect3DDevice9* device, Mesh* mesh) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202020, 1.0f, 0);
    device->BeginScene();
    EXPECT_EQ(mesh->DrawGroup(0), D3D_OK);
    device->EndScene();
    d3d9sw::BackBufferImage image;
    EXPECT_TRUE(d3d9sw::ReadBackBuffer(device, &image));
    return image.rgba;
}

TEST_F(MeshOptimizeTest, AnOptimisedMeshDrawsTheSamePixels) {
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d9sw::CreateHeadlessDevice(96, 96, &device), D3D_OK);
    // A tilted torus in clip space, coloured by position, faces and vertices shuffled.
    const auto torus = generated_meshes::Shuffled(generated_meshes::Torus(48, 24, 12), 11);
    std::vector<float> vertices;
    for (std::size_t v = 0; v < torus.VertexCount(); ++v) {
        const float x = torus.positions[3 * v], y = torus.positions[3 * v + 1], z = torus.positions[3 * v + 2];
        const float ty = 0.8f * y + 0.6f * z, tz = -0.6f * y + 0.8f * z;
        const DWORD colour = 0xFF000000 | static_cast<DWORD>(127 + 90 * x) << 16 |
                             static_cast<DWORD>(127 + 90 * ty) << 8 | static_cast<DWORD>(127 + 300 * tz);
        vertices.insert(vertices.end(), {0.6f * x, 0.6f * ty, 0.5f + 0.3f * tz, std::bit_cast<float>(colour)});
    }
    Mesh* original = nullptr;
    ASSERT_EQ(facet::CreateMeshFromFormat(static_cast<DWORD>(torus.FaceCount()),
                                          static_cast<DWORD>(torus.VertexCount()), facet::MeshOptions::Managed,
                                          D3DFVF_XYZ | D3DFVF_DIFFUSE, device, &original),
              D3D_OK);
    MeshPtr owned(original);
    WriteIndices(original, std::vector<DWORD>(torus.corners.begin(), torus.corners.end()));
    void* data = nullptr;
    ASSERT_EQ(original->LockVertices(0, &data), D3D_OK);
    std::memcpy(data, vertices.data(), vertices.size() * sizeof(float));
    original->UnlockVertices();

    Mesh* optimized = nullptr;
    ASSERT_EQ(original->OptimizeInto(All, nullptr, nullptr, nullptr, nullptr, &optimized), D3D_OK);
    MeshPtr ownedOptimized(optimized);
    const std::vector<std::uint8_t> before = Draw(device, original);
    const std::vector<std::uint8_t> after = Draw(device, optimized);
    // The torus covers a good part of the picture, in many colours.
    std::size_t covered = 0;
    for (std::size_t i = 0; i < before.size(); i += 4) covered += before[i] != 0x20 || before[i + 1] != 0x20;
    EXPECT_GT(covered, before.size() / 4 / 4);
    EXPECT_EQ(after, before);
    owned.reset();
    ownedOptimized.reset();
    device->Release();
}

TEST_F(MeshOptimizeTest, RealMeshesComeOutWholeAndCacheFriendly) {
    const packaged_meshes::Extracted& meshes = packaged_meshes::Meshes();
    if (meshes.Path(packaged_meshes::Names()[0]).empty()) GTEST_SKIP() << "libcgal-demo is not installed";
    for (const std::string& name : packaged_meshes::Names()) {
        SCOPED_TRACE(name);
        Mesh* read = nullptr;
        std::string error;
        facet::MeshFileSummary summary;
        ASSERT_EQ(facet::ReadMeshFile(device(), meshes.Path(name).c_str(), {}, &read, &summary, &error), D3D_OK)
            << error;
        MeshPtr mesh(read);
        const double before = MissRatio(mesh.get(), 16);
        OptimizeAndCheck(mesh.get(), VertexCache | VertexFetch);
        const double after16 = MissRatio(mesh.get(), 16), after32 = MissRatio(mesh.get(), 32);
        RecordProperty(name + "_acmr16", std::to_string(before) + " -> " + std::to_string(after16));
        EXPECT_LT(after16, 0.8);
        EXPECT_LT(after32, after16);
        OptimizeAndCheck(mesh.get(), All);
    }
}

}  // namespace
