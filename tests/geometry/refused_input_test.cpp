// Every argument combination the geometry entry points refuse, table by table: each call
// returns its documented code, writes nothing through its out-pointers, locks nothing it
// was refused for and leaves no new device object alive. The facet program refuses a
// radius that is not a finite number before it reaches the library.
#include "facet/mesh_file.h"
#include "facet/normals.h"
#include "facet/result_buffer.h"
#include "facet/sphere.h"
#include "geometry_test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using facet::Mesh;
namespace Options = facet::MeshOptions;

// A pointer value no routine could produce, to show an out-pointer was left alone.
Mesh* const kUnwrittenMesh = reinterpret_cast<Mesh*>(std::uintptr_t{0x5A5A5A50});
facet::ResultBuffer* const kUnwrittenBuffer = reinterpret_cast<facet::ResultBuffer*>(std::uintptr_t{0x5A5A5A60});
constexpr DWORD kUnwrittenWord = 0xA5A5A5A5;

struct RefusedCall {
    std::string name;
    std::function<HRESULT()> call;
    HRESULT expected = D3DERR_INVALIDCALL;
};

class RefusedInput : public geometry_test::DeviceTest {
protected:
    // Runs every call and checks its code and that no device object was created.
    void ExpectRefused(const std::vector<RefusedCall>& calls) {
        for (const RefusedCall& refused : calls) {
            const int liveBefore = d3d9sw::LiveObjectCount();
            d3d9sw::ClearCallLog();
            EXPECT_EQ(refused.call(), refused.expected) << refused.name;
            EXPECT_EQ(d3d9sw::LiveObjectCount(), liveBefore) << refused.name;
            EXPECT_TRUE(Calls("VertexBuffer::Lock").empty()) << refused.name;
            EXPECT_TRUE(Calls("IndexBuffer::Lock").empty()) << refused.name;
        }
    }

    // A 3 x 3 unit sphere with position and normal, created with `options`.
    geometry_test::MeshPtr Sphere(DWORD options) {
        geometry_test::MeshPtr sphere;
        Mesh* made = nullptr;
        EXPECT_EQ(facet::CreateSphereMesh(device(), 1.0f, 3, 3, &made, nullptr), D3D_OK);
        if (made == nullptr) return sphere;
        sphere.reset(made);
        if (options == made->Options()) return sphere;
        // The same faces and vertices with other buffer options.
        return MakeMesh(Indices(made), Vertices(made), D3DFVF_XYZ | D3DFVF_NORMAL, options);
    }

    static std::vector<DWORD> Indices(Mesh* mesh) {
        void* data = nullptr;
        std::vector<DWORD> indices(mesh->FaceCount() * 3);
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
        for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<const WORD*>(data)[i];
        mesh->UnlockIndices();
        return indices;
    }

    static std::vector<float> Vertices(Mesh* mesh) {
        void* data = nullptr;
        std::vector<float> vertices(mesh->VertexCount() * mesh->VertexStride() / sizeof(float));
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        std::memcpy(vertices.data(), data, vertices.size() * sizeof(float));
        mesh->UnlockVertices();
        return vertices;
    }
};

TEST_F(RefusedInput, MeshCreationRefusesBadCountsOptionsFormatsAndPointers) {
    D3DVERTEXELEMENT9 positionNormal[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(facet::DeclarationFromFormat(D3DFVF_XYZ | D3DFVF_NORMAL, positionNormal), D3D_OK);
    D3DVERTEXELEMENT9 secondStream[MAX_FVF_DECL_SIZE];
    std::memcpy(secondStream, positionNormal, sizeof secondStream);
    secondStream[1].Stream = 1;
    D3DVERTEXELEMENT9 noEndMarker[MAX_FVF_DECL_SIZE];
    for (D3DVERTEXELEMENT9& element : noEndMarker) element = positionNormal[0];

    Mesh* mesh = kUnwrittenMesh;
    IDirect3DDevice9* const dev = device();
    const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    auto fromFormat = [&](DWORD faces, DWORD vertices, DWORD options, DWORD format, IDirect3DDevice9* on,
                          Mesh** out) {
        return [=] { return facet::CreateMeshFromFormat(faces, vertices, options, format, on, out); };
    };
    auto fromDeclaration = [&](DWORD faces, DWORD vertices, DWORD options, const D3DVERTEXELEMENT9* declaration,
                               IDirect3DDevice9* on, Mesh** out) {
        return [=] { return facet::CreateMeshFromDeclaration(faces, vertices, options, declaration, on, out); };
    };
    ExpectRefused({
        {"zero faces", fromFormat(0, 3, Options::Managed, fvf, dev, &mesh)},
        {"zero vertices", fromFormat(1, 0, Options::Managed, fvf, dev, &mesh)},
        {"shared vertex buffer option", fromFormat(1, 3, Options::VertexBufferShared, fvf, dev, &mesh)},
        {"option bit 0x2000", fromFormat(1, 3, 0x2000, fvf, dev, &mesh)},
        {"option bit above the valid ones", fromFormat(1, 3, 0x20000, fvf, dev, &mesh)},
        {"FVF 0", fromFormat(1, 3, Options::Managed, 0, dev, &mesh)},
        {"FVF with bit 0x1", fromFormat(1, 3, Options::Managed, fvf | 0x1, dev, &mesh)},
        {"transformed positions", fromFormat(1, 3, Options::Managed, D3DFVF_XYZRHW, dev, &mesh)},
        {"FVF with a reserved bit", fromFormat(1, 3, Options::Managed, fvf | 0x2000, dev, &mesh)},
        {"null device", fromFormat(1, 3, Options::Managed, fvf, nullptr, &mesh)},
        {"null out-pointer", fromFormat(1, 3, Options::Managed, fvf, dev, nullptr)},
        {"null declaration", fromDeclaration(1, 3, Options::Managed, nullptr, dev, &mesh)},
        {"declaration beyond stream 0", fromDeclaration(1, 3, Options::Managed, secondStream, dev, &mesh)},
        {"declaration without end marker", fromDeclaration(1, 3, Options::Managed, noEndMarker, dev, &mesh)},
        {"declaration, zero faces", fromDeclaration(0, 3, Options::Managed, positionNormal, dev, &mesh)},
        {"declaration, null device", fromDeclaration(1, 3, Options::Managed, positionNormal, nullptr, &mesh)},
    });
    EXPECT_EQ(mesh, kUnwrittenMesh);
    // The index-width limit is checked once the arguments passed: the out-pointer is
    // then already null.
    ExpectRefused({
        {"65536 faces with 16-bit indices", fromFormat(65536, 3, Options::Managed, fvf, dev, &mesh)},
        {"65536 vertices with 16-bit indices", fromFormat(1, 65536, Options::Managed, fvf, dev, &mesh)},
    });
    EXPECT_EQ(mesh, nullptr);
    ExpectNoLeak();
}

TEST_F(RefusedInput, SphereRefusesBadRadiusCountsSizeAndPointers) {
    Mesh* mesh = kUnwrittenMesh;
    facet::ResultBuffer* adjacency = kUnwrittenBuffer;
    IDirect3DDevice9* const dev = device();
    auto sphere = [&](IDirect3DDevice9* on, float radius, UINT slices, UINT stacks, Mesh** out) {
        return [=, &adjacency] { return facet::CreateSphereMesh(on, radius, slices, stacks, out, &adjacency); };
    };
    ExpectRefused({
        {"null device", sphere(nullptr, 1.0f, 8, 8, &mesh)},
        {"null mesh out-pointer", sphere(dev, 1.0f, 8, 8, nullptr)},
        {"negative radius", sphere(dev, -1.0f, 8, 8, &mesh)},
        {"largest negative radius", sphere(dev, -FLT_MAX, 8, 8, &mesh)},
        {"one slice", sphere(dev, 1.0f, 1, 8, &mesh)},
        {"zero slices", sphere(dev, 1.0f, 0, 8, &mesh)},
        {"one stack", sphere(dev, 1.0f, 8, 1, &mesh)},
        {"zero stacks", sphere(dev, 1.0f, 8, 0, &mesh)},
        // 240 x 239 x 2 faces do not fit 16-bit indices.
        {"too many faces for 16-bit indices", sphere(dev, 1.0f, 240, 240, &mesh)},
        {"counts above the clamp", sphere(dev, 1.0f, 1000, 100000, &mesh)},
    });
    EXPECT_EQ(mesh, kUnwrittenMesh);
    EXPECT_EQ(adjacency, kUnwrittenBuffer);
    ExpectNoLeak();
}

TEST_F(RefusedInput, NormalsRefuseNullWriteOnlyAndUnsuitableMeshesWithoutTouchingThem) {
    auto writeOnlyVertices = Sphere(Options::Managed | Options::VertexWriteOnly);
    auto writeOnlyIndices = Sphere(Options::Managed | Options::IndexWriteOnly);
    auto positionsOnly = MakeMesh({0, 1, 2}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, D3DFVF_XYZ);
    auto normalOnly = MakeMesh({0, 1, 2}, {0, 0, 1, 0, 0, 1, 0, 0, 1}, D3DFVF_NORMAL);
    auto badCorner = MakeMesh({0, 1, 3}, {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0},
                              D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_TRUE(writeOnlyVertices && writeOnlyIndices && positionsOnly && normalOnly && badCorner);
    const std::vector<float> badCornerBefore = Vertices(badCorner.get());
    const std::vector<float> normalOnlyBefore = Vertices(normalOnly.get());
    const std::vector<DWORD> noAdjacency;
    ExpectRefused({
        {"null mesh", [] { return facet::ComputeVertexNormals(nullptr, nullptr); }},
        {"write-only vertices", [&] { return facet::ComputeVertexNormals(writeOnlyVertices.get(), nullptr); }},
        {"write-only indices", [&] { return facet::ComputeVertexNormals(writeOnlyIndices.get(), nullptr); }},
        {"no normal", [&] { return facet::ComputeVertexNormals(positionsOnly.get(), nullptr); }},
        {"no position", [&] { return facet::ComputeVertexNormals(normalOnly.get(), nullptr); }},
    });
    // The corner check needs the indices, so that refusal may lock them, but it writes nothing.
    EXPECT_EQ(facet::ComputeVertexNormals(badCorner.get(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(Vertices(badCorner.get()), badCornerBefore);
    EXPECT_EQ(Vertices(normalOnly.get()), normalOnlyBefore);
    writeOnlyVertices.reset();
    writeOnlyIndices.reset();
    positionsOnly.reset();
    normalOnly.reset();
    badCorner.reset();
    ExpectNoLeak();
}

TEST_F(RefusedInput, AdjacencyRoutinesRefuseNullArraysAndWriteOnlyIndices) {
    auto sphere = Sphere(Options::Managed);
    auto writeOnlyIndices = Sphere(Options::Managed | Options::IndexWriteOnly);
    ASSERT_TRUE(sphere && writeOnlyIndices);
    std::vector<DWORD> adjacency(sphere->FaceCount() * 3, kUnwrittenWord);
    std::vector<DWORD> pointReps(sphere->VertexCount(), kUnwrittenWord);
    ASSERT_EQ(sphere->AdjacencyFromPointReps(nullptr, adjacency.data()), D3D_OK);
    const std::vector<DWORD> goodAdjacency = adjacency;
    std::fill(adjacency.begin(), adjacency.end(), kUnwrittenWord);
    ExpectRefused({
        {"adjacency into null", [&] { return sphere->AdjacencyFromPointReps(nullptr, nullptr); }},
        {"point reps into null", [&] { return sphere->PointRepsFromAdjacency(goodAdjacency.data(), nullptr); }},
        {"point reps from null", [&] { return sphere->PointRepsFromAdjacency(nullptr, pointReps.data()); }},
        {"adjacency of write-only indices",
         [&] { return writeOnlyIndices->AdjacencyFromPointReps(nullptr, adjacency.data()); }},
        {"point reps of write-only indices",
         [&] { return writeOnlyIndices->PointRepsFromAdjacency(goodAdjacency.data(), pointReps.data()); }},
    });
    EXPECT_EQ(adjacency, std::vector<DWORD>(adjacency.size(), kUnwrittenWord));
    EXPECT_EQ(pointReps, std::vector<DWORD>(pointReps.size(), kUnwrittenWord));
    sphere.reset();
    writeOnlyIndices.reset();
    ExpectNoLeak();
}

TEST_F(RefusedInput, DeclarationsBuffersAndMeshAccessorsRefuseNullAndBadCodes) {
    auto sphere = Sphere(Options::Managed);
    ASSERT_TRUE(sphere);
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    std::memset(declaration, 0xA5, sizeof declaration);
    D3DVERTEXELEMENT9 secondStream[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(facet::DeclarationFromFormat(D3DFVF_XYZ | D3DFVF_NORMAL, secondStream), D3D_OK);
    secondStream[1].Stream = 1;
    DWORD fvf = kUnwrittenWord;
    ExpectRefused({
        {"declaration into null", [] { return facet::DeclarationFromFormat(D3DFVF_XYZ, nullptr); }},
        {"reserved FVF bit 0x1", [&] { return facet::DeclarationFromFormat(D3DFVF_XYZ | 0x1, declaration); }},
        {"reserved FVF bit 0x2000", [&] { return facet::DeclarationFromFormat(D3DFVF_XYZ | 0x2000, declaration); }},
        {"reserved FVF bit 0x4000", [&] { return facet::DeclarationFromFormat(D3DFVF_XYZ | 0x4000, declaration); }},
        {"nine texture sets", [&] { return facet::DeclarationFromFormat(D3DFVF_XYZ | 0x900, declaration); }},
        {"five blend values without last beta",
         [&] { return facet::DeclarationFromFormat(D3DFVF_XYZB5, declaration); }},
        {"format from null declaration", [&] { return facet::FormatFromDeclaration(nullptr, &fvf); }},
        {"format into null", [&] { return facet::FormatFromDeclaration(secondStream, nullptr); }},
        {"format of a second stream", [&] { return facet::FormatFromDeclaration(secondStream, &fvf); }},
        {"result buffer into null", [] { return facet::CreateResultBuffer(16, nullptr); }},
        {"copy declaration into null", [&] { return sphere->CopyDeclaration(nullptr); }},
        {"device into null", [&] { return sphere->Device(nullptr); }},
        {"vertex buffer into null", [&] { return sphere->VertexBuffer(nullptr); }},
        {"index buffer into null", [&] { return sphere->IndexBuffer(nullptr); }},
    });
    EXPECT_EQ(fvf, kUnwrittenWord);
    for (const D3DVERTEXELEMENT9& element : declaration) EXPECT_EQ(element.Stream, 0xA5A5);
    sphere.reset();
    ExpectNoLeak();
}

TEST_F(RefusedInput, MeshReadingRefusesNullArgumentsAndDescriptorsItCannotRead) {
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    Mesh* mesh = kUnwrittenMesh;
    facet::MeshFileSummary summary;
    summary.polygons = kUnwrittenWord;
    std::string error;
    const auto bytes = [&](IDirect3DDevice9* onDevice, const char* name, const void* data, Mesh** out,
                           facet::MeshFileSummary* into, std::string* text) {
        return [=] {
            return facet::ReadMeshBytes(onDevice, name, facet::MeshFileFormat::Obj, data, obj.size(), {}, out, into,
                                        text);
        };
    };
    const auto descriptor = [&](int from, const char* name) {
        return [this, from, name, &mesh, &summary, &error] {
            return facet::ReadMeshDescriptor(device(), from, name, {}, &mesh, &summary, &error);
        };
    };
    const int directory = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int writeOnly = open("/dev/null", O_WRONLY | O_CLOEXEC);
    ExpectRefused({
        {"bytes: no device", bytes(nullptr, "in.obj", obj.data(), &mesh, &summary, &error)},
        {"bytes: no name", bytes(device(), nullptr, obj.data(), &mesh, &summary, &error)},
        {"bytes: no bytes for a size", bytes(device(), "in.obj", nullptr, &mesh, &summary, &error)},
        {"bytes: no mesh pointer", bytes(device(), "in.obj", obj.data(), nullptr, &summary, &error)},
        {"bytes: no summary", bytes(device(), "in.obj", obj.data(), &mesh, nullptr, &error)},
        {"bytes: no error text", bytes(device(), "in.obj", obj.data(), &mesh, &summary, nullptr)},
        {"file: no path", [&] { return facet::ReadMeshFile(device(), nullptr, {}, &mesh, &summary, &error); }},
        {"descriptor: negative", descriptor(-1, "in.obj")},
        {"descriptor: no name", descriptor(0, nullptr)},
        {"descriptor: a folder", descriptor(directory, "folder.obj"), E_FAIL},
        {"descriptor: write-only", descriptor(writeOnly, "null.obj"), E_FAIL},
    });
    close(directory);
    close(writeOnly);
    EXPECT_EQ(mesh, kUnwrittenMesh);
    EXPECT_EQ(summary.polygons, kUnwrittenWord);
    EXPECT_EQ(error, "null.obj: cannot read: Bad file descriptor");
}

}  // namespace

namespace {

// The facet program beside this test program: <build>/tests/test_geometry and <build>/src/facet.
std::string FacetBinary() {
    return (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "facet").string();
}

TEST(SphereCommandRefusal, RadiiThatAreNotFiniteNumbersGiveExitTwoAndOneLine) {
    for (const char* radius : {"inf", "-inf", "nan", "1e39", "infinity", "1x"}) {
        const std::string errors = testing::TempDir() + "facet-sphere-errors.txt";
        const std::string command =
            FacetBinary() + " sphere --slices 3 --stacks 3 --radius " + radius + " >/dev/null 2>" + errors;
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << radius;
        EXPECT_EQ(WEXITSTATUS(status), 2) << radius;
        std::ifstream in(errors);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << radius << ": " << text;
        std::remove(errors.c_str());
    }
}

}  // namespace
