// Vertex data kept end to end: what each format's reader takes, the mesh declaration that
// carries it, and the writers giving it back bit for bit where the target format holds it
// (OBJ → PLY → OFF → OBJ, and OBJ → STL → PLY for positions); OBJ's split vertices; the
// colour kinds; files without faces; real files from Debian's assimp-testmodels.
#include "facet/mesh_file.h"
#include "facet/vertex_declaration.h"
#include "geometry_test_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using facet::MeshFileData;
using facet::MeshFileFormat;

std::vector<std::uint32_t> Bits(const std::vector<float>& values) {
    std::vector<std::uint32_t> bits;
    for (float value : values) bits.push_back(std::bit_cast<std::uint32_t>(value));
    return bits;
}

std::string Written(const MeshFileData& data, MeshFileFormat format, bool binary = false) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
    facet::MeshWriteOptions options;
    options.format = format;
    options.binary = binary;
    EXPECT_TRUE(facet::WriteMeshData(file, data, options));
    std::fclose(file);
    std::string bytes(buffer, size);
    std::free(buffer);
    return bytes;
}

// Awkward floats: negative zero, a subnormal, the largest, and values that need all nine digits.
std::vector<float> AwkwardFloats(std::size_t count, unsigned seed, float low, float high) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(low, high);
    std::vector<float> values;
    for (std::size_t i = 0; i < count; ++i) values.push_back(uniform(random));
    const float specials[] = {-0.0f, 1e-40f, 3.4028235e38f, 0.1f};
    for (std::size_t i = 0; i < std::size(specials) && i < count && low < 0; ++i) values[i * 3] = specials[i];
    return values;
}

// Six vertices in two quads' worth of triangles, every attribute filled.
MeshFileData EveryAttribute() {
    MeshFileData data;
    data.positions = AwkwardFloats(18, 1, -100.0f, 100.0f);
    data.normals = AwkwardFloats(18, 2, -1.0f, 1.0f);
    data.textureCoordinates = AwkwardFloats(12, 3, 0.0f, 1.0f);
    data.colors = AwkwardFloats(24, 4, 0.0f, 1.0f);
    for (std::size_t v = 0; v < 6; ++v) data.colors[4 * v + 3] = 1.0f;  // OBJ has no alpha
    data.corners = {0, 1, 2, 2, 1, 3, 3, 4, 5};
    return data;
}

class VertexAttributesTest : public geometry_test::DeviceTest {
protected:
    // Reads `bytes` into a mesh and copies its data back out, as convert's readers and
    // the normals command do.
    MeshFileData ThroughMesh(MeshFileFormat format, const std::string& bytes, facet::MeshFileSummary* summary = nullptr) {
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary read;
        std::string error;
        EXPECT_EQ(facet::ReadMeshBytes(device(), "mesh.file", format, bytes.data(), bytes.size(), {}, &mesh, &read,
                                       &error),
                  D3D_OK)
            << error;
        MeshFileData data;
        if (mesh == nullptr) return data;
        geometry_test::MeshPtr owner(mesh);
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        mesh->CopyDeclaration(declaration);
        bool normals = false;
        for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e) normals |= e->Usage == D3DDECLUSAGE_NORMAL;
        EXPECT_EQ(facet::CopyMeshFileData(mesh, normals, &data), D3D_OK);
        if (summary != nullptr) *summary = read;
        return data;
    }

    // Reads without a mesh, as convert does (a file without faces allowed).
    static HRESULT ReadData(const std::string& name, const std::string& bytes, MeshFileData* data,
                            std::string* error, facet::MeshFileSummary* summary = nullptr) {
        const int descriptor = memfd_create("mesh", MFD_CLOEXEC);
        EXPECT_EQ(write(descriptor, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        facet::MeshReadOptions options;
        options.allowNoFaces = true;
        facet::MeshFileSummary read;
        const HRESULT result = facet::ReadMeshDescriptorData(descriptor, name.c_str(), options, data, &read, error);
        close(descriptor);
        if (summary != nullptr) *summary = read;
        return result;
    }

    // The declaration's (usage, type) pairs and FVF code of the mesh read from `bytes`.
    std::pair<std::vector<std::pair<int, int>>, DWORD> Layout(MeshFileFormat format, const std::string& bytes) {
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        EXPECT_EQ(facet::ReadMeshBytes(device(), "mesh.file", format, bytes.data(), bytes.size(), {}, &mesh, &summary,
                                       &error),
                  D3D_OK)
            << error;
        if (mesh == nullptr) return {};
        geometry_test::MeshPtr owner(mesh);
        D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
        mesh->CopyDeclaration(declaration);
        std::vector<std::pair<int, int>> elements;
        for (const D3DVERTEXELEMENT9* e = declaration; e->Stream != 0xFF; ++e) elements.push_back({e->Usage, e->Type});
        EXPECT_EQ(mesh->VertexStride(), facet::DeclarationStride(declaration, 0));
        return {elements, mesh->VertexFormat()};
    }
};

void ExpectSameAttributes(const MeshFileData& back, const MeshFileData& original, const char* step) {
    EXPECT_EQ(Bits(back.positions), Bits(original.positions)) << step;
    EXPECT_EQ(Bits(back.normals), Bits(original.normals)) << step;
    EXPECT_EQ(Bits(back.textureCoordinates), Bits(original.textureCoordinates)) << step;
    EXPECT_EQ(Bits(back.colors), Bits(original.colors)) << step;
    EXPECT_EQ(back.corners, original.corners) << step;
}

TEST_F(VertexAttributesTest, ObjToPlyToOffToObjKeepsEveryAttributeBitForBit) {
    const MeshFileData original = EveryAttribute();
    MeshFileData data = ThroughMesh(MeshFileFormat::Obj, Written(original, MeshFileFormat::Obj));
    ExpectSameAttributes(data, original, "OBJ");
    data = ThroughMesh(MeshFileFormat::Ply, Written(data, MeshFileFormat::Ply, true));
    ExpectSameAttributes(data, original, "binary PLY");
    data = ThroughMesh(MeshFileFormat::Ply, Written(data, MeshFileFormat::Ply));
    ExpectSameAttributes(data, original, "text PLY");
    data = ThroughMesh(MeshFileFormat::Off, Written(data, MeshFileFormat::Off));
    ExpectSameAttributes(data, original, "OFF");
    data = ThroughMesh(MeshFileFormat::Obj, Written(data, MeshFileFormat::Obj));
    ExpectSameAttributes(data, original, "OBJ again");
    EXPECT_FALSE(facet::MeshFileLossesOf(data, MeshFileFormat::Obj).Any());
}

TEST_F(VertexAttributesTest, ObjToStlToPlyKeepsThePositionsAndNamesWhatStlLeftOut) {
    const MeshFileData original = EveryAttribute();
    const MeshFileData obj = ThroughMesh(MeshFileFormat::Obj, Written(original, MeshFileFormat::Obj));
    const facet::MeshFileLosses losses = facet::MeshFileLossesOf(obj, MeshFileFormat::Stl);
    EXPECT_EQ(losses.normals, 6u);
    EXPECT_EQ(losses.textureCoordinates, 6u);
    EXPECT_EQ(losses.colors, 6u);
    EXPECT_EQ(losses.verticesOutsideFaces, 0u);
    MeshFileData stray = obj;
    stray.positions.insert(stray.positions.end(), {9.0f, 9.0f, 9.0f});
    stray.normals.clear();
    stray.textureCoordinates.clear();
    stray.colors.clear();
    EXPECT_EQ(facet::MeshFileLossesOf(stray, MeshFileFormat::Stl).verticesOutsideFaces, 1u);
    EXPECT_FALSE(facet::MeshFileLossesOf(stray, MeshFileFormat::Ply).Any());
    for (bool binary : {false, true}) {
        const MeshFileData stl = ThroughMesh(MeshFileFormat::Stl, Written(obj, MeshFileFormat::Stl, binary));
        const MeshFileData ply = ThroughMesh(MeshFileFormat::Ply, Written(stl, MeshFileFormat::Ply));
        EXPECT_TRUE(ply.normals.empty() && ply.textureCoordinates.empty() && ply.colors.empty());
        // STL numbers vertices by first corner; each corner keeps its position's bits.
        ASSERT_EQ(ply.corners.size(), original.corners.size());
        for (std::size_t c = 0; c < ply.corners.size(); ++c)
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_EQ(std::bit_cast<std::uint32_t>(ply.positions[3 * ply.corners[c] + axis]),
                          std::bit_cast<std::uint32_t>(original.positions[3 * original.corners[c] + axis]));
    }
}

TEST_F(VertexAttributesTest, ObjCornersThatDifferSplitTheirVertexAfterTheFilesVertices) {
    const std::string obj =
        "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n"
        "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1 0.5\nvt 0.5 0.5\n"
        "vn 0 0 1\n"
        "f 1/1/1 2/2/1 3/3/1\n"
        "f 3/5/1 2/2/1 4/4/1\n"     // vertex 3 (index 2) with another vt: copy 4
        "f -2/-1/-1 4/4/1 1/1/1\n"  // vertex 3 again with vt 5: the same copy
        "f 2/3/1 4/4/1 3/5/1\n";    // vertex 2 with vt 3: copy 5; vertex 3 with vt 5: copy 4
    facet::MeshFileSummary summary;
    const MeshFileData data = ThroughMesh(MeshFileFormat::Obj, obj, &summary);
    EXPECT_EQ(data.corners, (std::vector<DWORD>{0, 1, 2, 4, 1, 3, 4, 3, 0, 5, 3, 4}));
    EXPECT_EQ(summary.splitVertices, 2u);
    EXPECT_EQ(summary.vertices, 6u);
    EXPECT_EQ(data.textureCoordinates, (std::vector<float>{0, 0, 1, 0, 0, 1, 1, 1, 0.5f, 0.5f, 0, 1}));
    EXPECT_EQ(data.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(data.normals.size(), 18u);

    // A vertex no corner uses keeps zeros; vt and vn must be defined above their use.
    std::string error;
    MeshFileData unused;
    ASSERT_EQ(ReadData("a.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nvt 0.5 0.25\nf 1/1 2/1 3/1\n", &unused, &error),
              D3D_OK);
    EXPECT_EQ(unused.textureCoordinates, (std::vector<float>{0.5f, 0.25f, 0.5f, 0.25f, 0.5f, 0.25f, 0, 0}));
    EXPECT_TRUE(unused.normals.empty());
    EXPECT_EQ(ReadData("b.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1 2/1 3/1\nvt 0 0\n", &unused, &error),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(error, "b.obj: line 4: corner '1/1' names no texture coordinate (0 defined so far)");
    EXPECT_EQ(ReadData("c.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//2 3//1\n", &unused, &error),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(error, "c.obj: line 5: corner '2//2' names no normal (1 defined so far)");
}

TEST_F(VertexAttributesTest, TheDeclarationCarriesWhatTheFileHas) {
    using Pairs = std::vector<std::pair<int, int>>;
    const int position = D3DDECLUSAGE_POSITION, normal = D3DDECLUSAGE_NORMAL, color = D3DDECLUSAGE_COLOR,
              texture = D3DDECLUSAGE_TEXCOORD;
    const int float2 = D3DDECLTYPE_FLOAT2, float3 = D3DDECLTYPE_FLOAT3, float4 = D3DDECLTYPE_FLOAT4,
              packed = D3DDECLTYPE_D3DCOLOR;
    const std::string triangle = "3 0 1 2\n";
    auto layout = Layout(MeshFileFormat::Stl, "solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\n"
                                              "vertex 0 1 0\nendloop\nendfacet\nendsolid s\n");
    EXPECT_EQ(layout.first, (Pairs{{position, float3}}));
    EXPECT_EQ(layout.second, static_cast<DWORD>(D3DFVF_XYZ));
    layout = Layout(MeshFileFormat::Ply,
                    "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                    "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty float nx\n"
                    "property float ny\nproperty float nz\nproperty float s\nproperty float t\nelement face 1\n"
                    "property list uchar int vertex_indices\nend_header\n0 0 0 1 2 3 0 0 1 0 0\n"
                    "1 0 0 4 5 6 0 0 1 1 0\n0 1 0 7 8 9 0 0 1 0 1\n" +
                        triangle);
    EXPECT_EQ(layout.first, (Pairs{{position, float3}, {normal, float3}, {color, packed}, {texture, float2}}));
    EXPECT_EQ(layout.second, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | 0x100));  // one texture set
    layout = Layout(MeshFileFormat::Off, "COFF\n3 1 0\n0 0 0 1 0 0 0.5\n1 0 0 0 1 0 1\n0 1 0 0 0 1 1\n" + triangle);
    EXPECT_EQ(layout.first, (Pairs{{position, float3}, {color, float4}}));
    EXPECT_EQ(layout.second, 0u);  // no FVF code has float colours
}

TEST_F(VertexAttributesTest, ColoursKeepTheirKindAndAlphaOnlyWhereTheFormatHasIt) {
    std::string error;
    MeshFileData data;
    // Whole numbers are 0 to 255, three values give alpha 255; written back as whole numbers.
    ASSERT_EQ(ReadData("a.off", "CNOFF\n3 1 0\n0 0 0 0 0 1 255 0 7\n1 0 0 0 0 1 0 128 0\n0 1 0 0 0 1 1 1 1\n3 0 1 2\n",
                       &data, &error),
              D3D_OK)
        << error;
    EXPECT_TRUE(data.colorBytes);
    EXPECT_EQ(data.colors[2], 7.0f / 255.0f);
    EXPECT_EQ(data.colors[3], 1.0f);
    EXPECT_NE(Written(data, MeshFileFormat::Ply).find("property uchar red\nproperty uchar green\nproperty uchar "
                                                       "blue\nelement face"),
              std::string::npos);
    EXPECT_NE(Written(data, MeshFileFormat::Off).find("\n0 1 0 0 0 1 1 1 1\n"), std::string::npos);
    const MeshFileData bytes = ThroughMesh(MeshFileFormat::Ply, Written(data, MeshFileFormat::Ply, true));
    EXPECT_TRUE(bytes.colorBytes);
    EXPECT_EQ(Bits(bytes.colors), Bits(data.colors));

    // One colour with a fraction makes the file's colours floats, the whole ones included.
    ASSERT_EQ(ReadData("b.off", "COFF\n3 1 0\n0 0 0 255 0 0\n1 0 0 0.5 0.25 1 0.5\n0 1 0 0 1 0 1\n3 0 1 2\n", &data,
                       &error),
              D3D_OK)
        << error;
    EXPECT_FALSE(data.colorBytes);
    EXPECT_EQ(data.colors, (std::vector<float>{1, 0, 0, 1, 0.5f, 0.25f, 1, 0.5f, 0, 1, 0, 1}));
    EXPECT_NE(Written(data, MeshFileFormat::Ply).find("property float alpha\n"), std::string::npos);
    EXPECT_NE(Written(data, MeshFileFormat::Off).find("\n1 0 0 0.5 0.25 1.0 0.5\n"), std::string::npos);
    EXPECT_EQ(facet::MeshFileLossesOf(data, MeshFileFormat::Obj).alphas, 1u);
    EXPECT_EQ(Bits(ThroughMesh(MeshFileFormat::Off, Written(data, MeshFileFormat::Off)).colors), Bits(data.colors));

    EXPECT_EQ(ReadData("c.off", "COFF\n3 1 0\n0 0 0 256 0 0\n1 0 0 0 0 0\n0 1 0 0 0 0\n3 0 1 2\n", &data, &error),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(error, "c.off: line 3: colour value '256' is above 255");
    EXPECT_EQ(ReadData("d.off", "COFF\n3 1 0\n0 0 0 1 0\n1 0 0 0 0 0\n0 1 0 0 0 0\n3 0 1 2\n", &data, &error),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(error, "d.off: line 3: a vertex of this OFF variant needs 3 values and a colour of 3 or 4, not 5");
    EXPECT_EQ(ReadData("e.ply",
                       "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
                       "property int red\nproperty int green\nproperty int blue\nend_header\n0 0 0 300 0 0\n",
                       &data, &error),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(error, "e.ply: line 11: colour value 300 is outside 0 to 255");
}

TEST_F(VertexAttributesTest, FilesWithoutFacesAreWrittenAsTheirPoints) {
    std::string error;
    MeshFileData points;
    facet::MeshFileSummary summary;
    ASSERT_EQ(ReadData("p.obj", "v 1 2 3 0.5 0.25 1\nv 4 5 6 0 0 0\nl 1 2\n", &points, &error, &summary), D3D_OK);
    EXPECT_EQ(points.FaceCount(), 0u);
    EXPECT_EQ(points.colors.size(), 8u);
    // Points with normals and texture coordinates: OBJ has no corners to tie its vn and vt
    // to the vertices, so as many of them as vertices are the vertices' in order.
    MeshFileData scan;
    ASSERT_EQ(ReadData("scan.ply",
                       "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
                       "property float nx\nproperty float ny\nproperty float nz\nproperty float u\nproperty float v\n"
                       "end_header\n0 0 0 0 0 1 0.5 0.25\n1 0 0 0 1 0 1 0\n0 1 0 1 0 0 0 1\n",
                       &scan, &error),
              D3D_OK)
        << error;
    ASSERT_EQ(scan.normals.size(), 9u);
    ASSERT_EQ(scan.textureCoordinates.size(), 6u);
    for (const auto& [data, what] : {std::pair{&points, "points"}, std::pair{&scan, "points with normals"}})
        for (MeshFileFormat format : {MeshFileFormat::Obj, MeshFileFormat::Ply, MeshFileFormat::Off}) {
            MeshFileData back;
            ASSERT_EQ(ReadData(format == MeshFileFormat::Obj ? "x.obj" : format == MeshFileFormat::Ply ? "x.ply" : "x.off",
                               Written(*data, format), &back, &error),
                      D3D_OK)
                << what << ": " << error;
            ExpectSameAttributes(back, *data, what);
        }
    MeshFileData uneven;
    ASSERT_EQ(ReadData("u.obj", "v 0 0 0\nv 1 0 0\nvn 0 0 1\nvt 0 0\nvt 1 1\nvt 1 0\n", &uneven, &error), D3D_OK);
    EXPECT_TRUE(uneven.normals.empty());
    EXPECT_TRUE(uneven.textureCoordinates.empty());
    // STL holds triangles only: empty solids, text or binary, read as no faces.
    for (bool binary : {false, true}) {
        MeshFileData back;
        ASSERT_EQ(ReadData("x.stl", Written(points, MeshFileFormat::Stl, binary), &back, &error, &summary), D3D_OK)
            << error;
        EXPECT_EQ(back.VertexCount(), 0u);
        EXPECT_EQ(summary.polygons, 0u);
    }
}

// Real files from Debian's assimp-testmodels (see fuzz/seeds/README.md).
TEST_F(VertexAttributesTest, RealTexturedAndColouredFilesComeBackFromEveryFormatThatHoldsThem) {
    const char* root = std::getenv("SPRINGDROP_SOURCE_DIR");
    const auto seed = [&](const char* name) {
        std::ifstream in(std::string(root != nullptr ? root : ".") + "/fuzz/seeds/mesh_file/" + name, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    };
    facet::MeshFileSummary summary;
    const MeshFileData spider = ThroughMesh(MeshFileFormat::Obj, seed("spider.obj"), &summary);
    // 762 positions; corners that name other texture coordinates or normals add copies.
    EXPECT_EQ(summary.vertices, 762u + summary.splitVertices);
    EXPECT_GT(summary.splitVertices, 0u);
    EXPECT_EQ(spider.textureCoordinates.size(), 2 * spider.VertexCount());
    EXPECT_EQ(spider.normals.size(), 3 * spider.VertexCount());
    for (MeshFileFormat format : {MeshFileFormat::Ply, MeshFileFormat::Off, MeshFileFormat::Obj})
        ExpectSameAttributes(ThroughMesh(format, Written(spider, format)), spider, "spider");

    const MeshFileData colored = ThroughMesh(MeshFileFormat::Obj, seed("cube_with_vertexcolors.obj"));
    ASSERT_EQ(colored.colors.size(), 4 * colored.VertexCount());
    ExpectSameAttributes(ThroughMesh(MeshFileFormat::Off, Written(colored, MeshFileFormat::Off)), colored, "cube");
    const MeshFileData floats = ThroughMesh(MeshFileFormat::Ply, seed("float-color.ply"));
    EXPECT_EQ(floats.colors, (std::vector<float>{0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1}));
    EXPECT_FALSE(floats.colorBytes);
    // Float colours of whole values stay floats through OFF (which reads whole numbers as 0 to 255).
    const MeshFileData off = ThroughMesh(MeshFileFormat::Off, Written(floats, MeshFileFormat::Off));
    EXPECT_FALSE(off.colorBytes);
    EXPECT_EQ(Bits(off.colors), Bits(floats.colors));
}

}  // namespace
