// Reading OBJ, PLY and OFF: every format gives back the generated mesh exactly, in its
// own numbering and face order; polygons become fans; the index width follows the
// counts; and every kind of bad file is refused with one line naming the file and where.
#include "facet/mesh_file.h"
#include "geometry_test_support.h"
#include "support/generated_meshes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using facet::MeshFileFormat;
using generated_meshes::MeshData;
using generated_meshes::PlyEncoding;

class MeshFileTest : public geometry_test::DeviceTest {
protected:
    struct Read {
        HRESULT result;
        geometry_test::MeshPtr mesh;
        facet::MeshFileSummary summary;
        std::string error;
    };

    Read ReadBytes(MeshFileFormat format, const std::string& bytes) {
        Read read;
        facet::Mesh* mesh = nullptr;
        read.result =
            facet::ReadMeshBytes(device(), "mesh.file", format, bytes.data(), bytes.size(), {}, &mesh, &read.summary,
                                 &read.error);
        read.mesh.reset(mesh);
        return read;
    }

    // The mesh's positions (first in every vertex) and corners, whatever its index width.
    static MeshData Contents(facet::Mesh* mesh) {
        MeshData data;
        void* bytes = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &bytes), D3D_OK);
        for (DWORD v = 0; v < mesh->VertexCount(); ++v) {
            float vertex[3];
            std::memcpy(vertex, static_cast<const BYTE*>(bytes) + v * mesh->VertexStride(), sizeof vertex);
            data.AddVertex(vertex[0], vertex[1], vertex[2]);
        }
        mesh->UnlockVertices();
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &bytes), D3D_OK);
        const bool wide = (mesh->Options() & facet::MeshOptions::Indices32Bit) != 0;
        for (DWORD i = 0; i < 3 * mesh->FaceCount(); ++i)
            data.corners.push_back(wide ? static_cast<const DWORD*>(bytes)[i] : static_cast<const WORD*>(bytes)[i]);
        mesh->UnlockIndices();
        return data;
    }
};

struct Encoded {
    const char* name;
    MeshFileFormat format;
    std::string bytes;
};

std::vector<Encoded> EveryEncoding(const MeshData& mesh) {
    return {{"OBJ", MeshFileFormat::Obj, generated_meshes::ToObj(mesh)},
            {"OFF", MeshFileFormat::Off, generated_meshes::ToOff(mesh)},
            {"PLY text", MeshFileFormat::Ply, generated_meshes::ToPly(mesh, PlyEncoding::Text)},
            {"PLY little-endian", MeshFileFormat::Ply, generated_meshes::ToPly(mesh, PlyEncoding::LittleEndian)},
            {"PLY big-endian", MeshFileFormat::Ply, generated_meshes::ToPly(mesh, PlyEncoding::BigEndian)}};
}

TEST_F(MeshFileTest, EveryFormatGivesBackTheMeshInItsOwnNumberingAndOrder) {
    const MeshData meshes[] = {generated_meshes::Shuffled(generated_meshes::Torus(12, 8, 5), 7),
                               generated_meshes::Shuffled(generated_meshes::SplitCube(), 3),
                               generated_meshes::ThreeOnOneEdge()};
    for (const MeshData& mesh : meshes) {
        for (const Encoded& encoded : EveryEncoding(mesh)) {
            Read read = ReadBytes(encoded.format, encoded.bytes);
            ASSERT_EQ(read.result, D3D_OK) << encoded.name << ": " << read.error;
            const MeshData back = Contents(read.mesh.get());
            EXPECT_EQ(back.positions, mesh.positions) << encoded.name;
            EXPECT_EQ(back.corners, mesh.corners) << encoded.name;
            EXPECT_EQ(read.summary.polygons, mesh.FaceCount()) << encoded.name;
            EXPECT_EQ(read.mesh->Options() & facet::MeshOptions::Indices32Bit, 0u) << encoded.name;
        }
    }
}

TEST_F(MeshFileTest, PolygonsBecomeConsecutiveFansAndOtherStatementsAreSkipped) {
    const std::string obj =
        "mtllib box.mtl\no box\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0 1.0\nv 0.5 1.5 0 0.2 0.3 0.4\nvt 0 0\nvn 0 0 1\n"
        "g top\nusemtl red\ns off\nf 1/1/1 2/1/1 3/1/1 4/1/1 5/1/1   # a pentagon\r\nl 1 2\nf -3 -2 -1\n";
    Read read = ReadBytes(MeshFileFormat::Obj, obj);
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    // The last face's corners name no texture coordinate or normal, unlike the first
    // corners of their vertices: they get copies 5, 6, 7 of vertices 2, 3, 4.
    EXPECT_EQ(Contents(read.mesh.get()).corners, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 4, 5, 6, 7}));
    EXPECT_EQ(read.summary.splitVertices, 3u);
    EXPECT_EQ(read.summary.polygons, 2u);
    EXPECT_EQ(read.summary.splitPolygons, 1u);

    const std::string off = "# colours after the corners\nCOFF 4 1 0\n0 0 0 1 0 0 1\n1 0 0 1 0 0 1\n1 1 0 1 0 0 1\n"
                            "0 1 0 1 0 0 1\n\n4 3 2 1 0 255 255 255\n";
    read = ReadBytes(MeshFileFormat::Off, off);
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(Contents(read.mesh.get()).corners, (std::vector<std::uint32_t>{3, 2, 1, 3, 1, 0}));
}

TEST_F(MeshFileTest, PlyElementsAndPropertiesBeyondTheMeshAreReadPastInBothByteOrders) {
    for (const char* order : {"binary_little_endian", "binary_big_endian"}) {
        const bool big = std::string(order) == "binary_big_endian";
        std::string bytes = std::string("ply\nformat ") + order +
                            " 1.0\ncomment extra data\nelement material 1\nproperty list uint uchar name\n"
                            "element vertex 3\nproperty uchar flags\nproperty double z\nproperty float x\n"
                            "property short y\nelement face 1\nproperty list ushort uint vertex_index\n"
                            "property float quality\nend_header\n";
        const auto put = [&](auto value) {
            char raw[sizeof value];
            std::memcpy(raw, &value, sizeof value);
            if (big) std::reverse(raw, raw + sizeof value);
            bytes.append(raw, sizeof value);
        };
        put(std::uint32_t{2});
        bytes += "ab";
        for (int v = 0; v < 3; ++v) {
            put(std::uint8_t{9});
            put(static_cast<double>(v) * 0.5);
            put(static_cast<float>(v));
            put(static_cast<std::int16_t>(-v));
        }
        put(std::uint16_t{3});
        for (std::uint32_t corner : {2u, 1u, 0u}) put(corner);
        put(1.0f);
        Read read = ReadBytes(MeshFileFormat::Ply, bytes);
        ASSERT_EQ(read.result, D3D_OK) << order << ": " << read.error;
        const MeshData back = Contents(read.mesh.get());
        EXPECT_EQ(back.positions, (std::vector<float>{0, 0, 0, 1, -1, 0.5f, 2, -2, 1})) << order;
        EXPECT_EQ(back.corners, (std::vector<std::uint32_t>{2, 1, 0})) << order;
    }
}

// Old exporters wrote a line of free text ("Created by ...") into the header without
// "comment"; before the first element it describes no data and is passed over.
TEST_F(MeshFileTest, PlyFreeTextBeforeTheFirstElementIsPassedOver) {
    const Read read = ReadBytes(MeshFileFormat::Ply,
                                "ply\nformat ascii 1.0\nCreated by an exporter, source file: \nelement vertex 3\n"
                                "property float x\nproperty float y\nproperty float z\nelement face 1\n"
                                "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    const MeshData back = Contents(read.mesh.get());
    EXPECT_EQ(back.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(back.corners, (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST_F(MeshFileTest, SixteenBitIndicesWhileTheCountsFitThirtyTwoBeyond) {
    const MeshData small = generated_meshes::Torus(181, 181, 181);  // 32942 vertices, 65522 faces
    const MeshData large = generated_meshes::Torus(182, 181, 182);  // 65884 faces
    Read read = ReadBytes(MeshFileFormat::Ply, generated_meshes::ToPly(small, PlyEncoding::LittleEndian));
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(read.mesh->Options() & facet::MeshOptions::Indices32Bit, 0u);
    read = ReadBytes(MeshFileFormat::Ply, generated_meshes::ToPly(large, PlyEncoding::LittleEndian));
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_NE(read.mesh->Options() & facet::MeshOptions::Indices32Bit, 0u);
    EXPECT_EQ(Contents(read.mesh.get()).corners, large.corners);
}

TEST_F(MeshFileTest, BadFilesAreRefusedWithOneLineNamingTheFileAndWhere) {
    const std::string plyHead = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\n"
                                "property float y\nproperty float z\nelement face 1\n"
                                "property list uchar int vertex_indices\nend_header\n";
    const std::string threeVertices(36, '\0');
    const std::string firstFace = "byte " + std::to_string(plyHead.size() + threeVertices.size());
    const std::string thirdCorner = "byte " + std::to_string(plyHead.size() + threeVertices.size() + 9);
    const struct {
        const char* what;
        MeshFileFormat format;
        std::string bytes;
        std::string where;
    } cases[] = {
        {"empty", MeshFileFormat::Obj, "", "line 1"},
        {"garbage", MeshFileFormat::Obj, std::string("v 0 0 0\n\x01\x02\xff\x00garbage", 20), "line 2"},
        {"no faces", MeshFileFormat::Obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\n", "line 3"},
        {"NaN coordinate", MeshFileFormat::Obj, "v 0 0 0\nv nan 0 0\nv 0 1 0\nf 1 2 3\n", "line 2"},
        {"infinite coordinate", MeshFileFormat::Off, "OFF\n3 1 0\n0 0 0\n1e39 0 0\n0 1 0\n3 0 1 2\n", "line 4"},
        {"index out of range", MeshFileFormat::Obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", "line 4"},
        {"index zero", MeshFileFormat::Obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", "line 4"},
        {"two corners", MeshFileFormat::Obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n", "line 4"},
        {"one corner", MeshFileFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n1 0 # a point\n", "line 6"},
        {"OFF index out of range", MeshFileFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n", "line 6"},
        {"OFF truncated", MeshFileFormat::Off, "OFF\n3 1 0\n0 0 0\n1 0 0\n", "line 2"},
        {"OFF counts too large", MeshFileFormat::Off, "OFF\n2147483648 1 0\n0 0 0\n", "line 2"},
        {"PLY no magic", MeshFileFormat::Ply, "plx\nformat ascii 1.0\n", "line 1"},
        {"PLY 2^31 vertices", MeshFileFormat::Ply,
         "ply\nformat binary_little_endian 1.0\nelement vertex 2147483648\nproperty float x\nproperty float y\n"
         "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n" +
             std::string(64, '\0'),
         "line 3"},
        {"PLY truncated", MeshFileFormat::Ply, plyHead + threeVertices + std::string("\x03\x00\x00", 3), firstFace},
        {"PLY list past the end", MeshFileFormat::Ply,
         plyHead + threeVertices + std::string("\xff\x00\x00\x00\x00", 5), firstFace},
        {"PLY two corners", MeshFileFormat::Ply,
         plyHead + threeVertices + std::string("\x02\x00\x00\x00\x00\x01\x00\x00\x00", 9), firstFace},
        {"PLY index out of range", MeshFileFormat::Ply,
         plyHead + threeVertices + std::string("\x03\x00\x00\x00\x00\x01\x00\x00\x00\x03\x00\x00\x00", 13),
         thirdCorner},
        {"PLY text NaN", MeshFileFormat::Ply,
         "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
         "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\nnan 1 0\n0 1 0\n3 0 1 2\n",
         "line 11"},
        {"PLY no end_header", MeshFileFormat::Ply, "ply\nformat ascii 1.0\nelement vertex 3\n", "line 3"},
        {"PLY mistyped property", MeshFileFormat::Ply,
         "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\npropery float z\n"
         "element face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n",
         "line 6"},
    };
    for (const auto& bad : cases) {
        Read read = ReadBytes(bad.format, bad.bytes);
        EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << bad.what;
        EXPECT_EQ(read.mesh, nullptr) << bad.what;
        EXPECT_EQ(read.error.rfind(std::string("mesh.file: ") + bad.where + ":", 0), 0u)
            << bad.what << ": " << read.error;
        EXPECT_EQ(read.error.find('\n'), std::string::npos) << bad.what;
    }
    ExpectNoLeak();
}

TEST_F(MeshFileTest, FilesAreFoundByExtensionOrFirstBytesAndUnreadableOnesNamed) {
    const std::string dir = testing::TempDir();
    const std::string sniffed = dir + "mesh-without-extension";
    {
        std::FILE* file = std::fopen(sniffed.c_str(), "wb");
        const std::string bytes = generated_meshes::ToPly(generated_meshes::SplitCube(), PlyEncoding::BigEndian);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    facet::Mesh* mesh = nullptr;
    facet::MeshFileSummary summary;
    std::string error;
    ASSERT_EQ(facet::ReadMeshFile(device(), sniffed.c_str(), {}, &mesh, &summary, &error), D3D_OK) << error;
    EXPECT_EQ(summary.encoding, facet::MeshFileEncoding::BinaryBigEndian);
    mesh->Release();
    std::remove(sniffed.c_str());
    const std::string missing = dir + "missing.obj";
    EXPECT_EQ(facet::ReadMeshFile(device(), missing.c_str(), {}, &mesh, &summary, &error), E_FAIL);
    EXPECT_EQ(error, missing + ": cannot read: No such file or directory");
}

}  // namespace

namespace {

// Binary records go out a block at a time: a full disk met in the middle of them is still
// reported, with the reason in errno.
TEST(BinaryMeshWriting, AFullDiskIsReported) {
    facet::MeshFileData data;
    for (DWORD v = 0; v < 30000; ++v) data.positions.insert(data.positions.end(), {float(v), 1.0f, 2.0f});
    for (DWORD f = 0; f + 2 < 30000; ++f) data.corners.insert(data.corners.end(), {f, f + 1, f + 2});
    for (const MeshFileFormat format : {MeshFileFormat::Ply, MeshFileFormat::Stl}) {
        facet::MeshWriteOptions options;
        options.format = format;
        options.binary = true;
        std::FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        errno = 0;
        EXPECT_FALSE(facet::WriteMeshData(full, data, options));
        EXPECT_EQ(errno, ENOSPC);
        std::fclose(full);
    }
}

}  // namespace
