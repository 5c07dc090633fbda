// STL in the library: binary told from ASCII by size alone (a binary header may start
// with "solid"), several solids or binary bodies, corners joined into shared vertices in first-appearance
// order with the file's triangle order kept, refusals that name the byte or line, and
// the writers' exact bytes. Real files from Debian packages sit in tests/data/stl.
#include "facet/mesh_file.h"
#include "facet/thread_pool.h"
#include "geometry_test_support.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

namespace {

using facet::MeshFileFormat;

struct Triangle {
    float corners[9];
};

// A binary STL file: `header` (cut or padded to 80 bytes), the count, 50 bytes a triangle
// with `attribute` in the last two.
std::string BinaryStl(const std::string& header, const std::vector<Triangle>& triangles,
                      std::uint16_t attribute = 0) {
    std::string bytes = header.substr(0, 80);
    bytes.resize(80, ' ');
    const auto count = static_cast<std::uint32_t>(triangles.size());
    bytes.append(reinterpret_cast<const char*>(&count), 4);
    for (const Triangle& triangle : triangles) {
        const float normal[3] = {0.0f, 0.0f, 1.0f};
        bytes.append(reinterpret_cast<const char*>(normal), 12);
        bytes.append(reinterpret_cast<const char*>(triangle.corners), 36);
        bytes.append(reinterpret_cast<const char*>(&attribute), 2);
    }
    return bytes;
}

// 2 × side² triangles over a grid of points, in no order.
std::vector<Triangle> ShuffledGrid(int side) {
    std::vector<Triangle> triangles;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const auto fx = static_cast<float>(x), fy = static_cast<float>(y);
            triangles.push_back({{fx, fy, 0, fx + 1, fy, 0, fx, fy + 1, 0}});
            triangles.push_back({{fx + 1, fy, 0, fx + 1, fy + 1, 0, fx, fy + 1, 0}});
        }
    for (std::size_t i = 0; i < triangles.size(); ++i) std::swap(triangles[i], triangles[(i * 7919) % triangles.size()]);
    return triangles;
}

// Two triangles sharing the edge (1,0,0)-(0,1,0), the second corner of the second one
// written as -0 where the first has +0.
const std::vector<Triangle> kTwoTriangles = {{{0, 0, 0, 1, 0, 0, 0, 1, 0}}, {{1, 0, 0, 1, 1, 0, 0, 1, -0.0f}}};

class StlFileTest : public geometry_test::DeviceTest {
protected:
    struct Read {
        HRESULT result = E_FAIL;
        geometry_test::MeshPtr mesh;
        facet::MeshFileSummary summary;
        std::string error;
        std::vector<float> positions;
        std::vector<DWORD> corners;
    };

    void Fill(Read* read, facet::Mesh* mesh) {
        read->mesh.reset(mesh);
        if (read->result != D3D_OK) return;
        facet::MeshFileData data;
        ASSERT_EQ(facet::CopyMeshFileData(mesh, false, &data), D3D_OK);
        read->positions = data.positions;
        read->corners = data.corners;
    }

    Read ReadBytes(const std::string& bytes, const char* name = "mesh.stl", facet::ThreadPool* pool = nullptr) {
        Read read;
        facet::Mesh* mesh = nullptr;
        facet::MeshReadOptions options;
        options.pool = pool;
        read.result = facet::ReadMeshBytes(device(), name, MeshFileFormat::Stl, bytes.data(), bytes.size(), options,
                                           &mesh, &read.summary, &read.error);
        Fill(&read, mesh);
        return read;
    }

    // Through a descriptor called `name`, whose extension (if any) names the format.
    Read ReadNamed(const std::string& bytes, const char* name) {
        const int descriptor = memfd_create("stl", MFD_CLOEXEC);
        EXPECT_GE(descriptor, 0);
        EXPECT_EQ(write(descriptor, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        Read read;
        facet::Mesh* mesh = nullptr;
        read.result =
            facet::ReadMeshDescriptor(device(), descriptor, name, {}, &mesh, &read.summary, &read.error);
        close(descriptor);
        Fill(&read, mesh);
        return read;
    }

    static std::string DataFile(const char* name) {
        const char* root = std::getenv("SPRINGDROP_SOURCE_DIR");
        return std::string(root != nullptr ? root : ".") + "/tests/data/stl/" + name;
    }

    Read ReadData(const char* name) {
        Read read;
        facet::Mesh* mesh = nullptr;
        read.result = facet::ReadMeshFile(device(), DataFile(name).c_str(), {}, &mesh, &read.summary, &read.error);
        Fill(&read, mesh);
        return read;
    }
};

TEST_F(StlFileTest, BinaryIsToldBySizeAndCornersJoinInFirstAppearanceOrder) {
    // A header that starts with "solid" and either value of the attribute bytes change nothing.
    for (const std::uint16_t attribute : {std::uint16_t{0}, std::uint16_t{0x7C1F}}) {
        const Read read = ReadBytes(BinaryStl("solid but binary", kTwoTriangles, attribute));
        ASSERT_EQ(read.result, D3D_OK) << read.error;
        EXPECT_EQ(read.summary.encoding, facet::MeshFileEncoding::BinaryLittleEndian);
        EXPECT_EQ(read.summary.polygons, 2u);
        EXPECT_EQ(read.summary.joinedCorners, 2u);
        EXPECT_EQ(read.corners, (std::vector<DWORD>{0, 1, 2, 1, 3, 2}));
        EXPECT_EQ(read.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}));
        // The joined vertex keeps the bits of its first corner, +0.
        EXPECT_EQ(std::bit_cast<std::uint32_t>(read.positions[8]), 0u);
    }
}

TEST_F(StlFileTest, AsciiReadsSeveralSolidsAnyCaseAndWordsBrokenAcrossLines) {
    const std::string text =
        "solid first part\n"
        "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
        "endsolid first part\n"
        "solid empty\nendsolid\n"
        "SOLID\r\n  FACET NORMAL nan nan nan OUTER\r\n LOOP VERTEX 1 0 0 VERTEX 1 1 0\r\n"
        "VERTEX 0\r\n1 -0 ENDLOOP ENDFACET\r\nENDSOLID";
    const Read read = ReadBytes(text);
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(read.summary.encoding, facet::MeshFileEncoding::Text);
    EXPECT_EQ(read.summary.polygons, 2u);
    EXPECT_EQ(read.corners, (std::vector<DWORD>{0, 1, 2, 1, 3, 2}));
    EXPECT_EQ(read.summary.joinedCorners, 2u);
}

TEST_F(StlFileTest, AnUnnamedInputStartingWithSolidIsStlTextOrBinary) {
    Read read = ReadNamed(BinaryStl("solid header", kTwoTriangles), "standard input");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(read.summary.format, MeshFileFormat::Stl);
    EXPECT_EQ(read.summary.encoding, facet::MeshFileEncoding::BinaryLittleEndian);
    read = ReadNamed("solid\nfacet normal 0 0 0 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet "
                     "endsolid\n",
                     "standard input");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(read.summary.encoding, facet::MeshFileEncoding::Text);
}

// A file large enough that a pool copies its triangles on one thread while another joins
// their corners: the same vertices, corners and counts on any pool, and the same refusal
// at its first coordinate that is not finite, wherever the copying has got to.
TEST_F(StlFileTest, ALargeBinaryFileReadsAlikeOnAnyPool) {
    constexpr int kSide = 200;
    const std::vector<Triangle> triangles = ShuffledGrid(kSide);
    const Read alone = ReadBytes(BinaryStl("grid", triangles));
    ASSERT_EQ(alone.result, D3D_OK) << alone.error;
    EXPECT_EQ(alone.positions.size(), 3u * (kSide + 1) * (kSide + 1));
    EXPECT_EQ(alone.summary.joinedCorners, 3 * triangles.size() - (kSide + 1) * (kSide + 1));

    std::vector<Triangle> lateNan = triangles, twoBad = triangles;
    lateNan[79000].corners[4] = std::nanf("");
    twoBad[70000].corners[0] = INFINITY;
    twoBad[5].corners[8] = -INFINITY;
    for (const unsigned threads : {2u, 7u}) {
        facet::ThreadPool pool(threads);
        const Read read = ReadBytes(BinaryStl("grid", triangles), "mesh.stl", &pool);
        ASSERT_EQ(read.result, D3D_OK) << read.error;
        EXPECT_EQ(read.positions, alone.positions) << threads;
        EXPECT_EQ(read.corners, alone.corners) << threads;
        EXPECT_EQ(read.summary.joinedCorners, alone.summary.joinedCorners) << threads;
        EXPECT_EQ(ReadBytes(BinaryStl("grid", lateNan), "mesh.stl", &pool).error,
                  "mesh.stl: byte " + std::to_string(84 + 50 * 79000 + 12 + 16) +
                      ": coordinate nan is not a finite number")
            << threads;
        EXPECT_EQ(ReadBytes(BinaryStl("grid", twoBad), "mesh.stl", &pool).error,
                  "mesh.stl: byte " + std::to_string(84 + 50 * 5 + 12 + 32) +
                      ": coordinate -inf is not a finite number")
            << threads;
    }
}

// Binary bodies one after the other (one per part, as some exporters write, or files
// joined with cat) read as one mesh: the triangles of all of them in file order, corners
// joined across bodies, on any pool, with a refusal's byte counted over the later
// bodies' headers. Bytes after the last body that do not make one are refused as before.
TEST_F(StlFileTest, BinaryBodiesOneAfterAnotherReadAsOneMesh) {
    const std::vector<Triangle> triangles = ShuffledGrid(200);
    const auto bodies = [](const std::vector<Triangle>& all) {
        const std::vector<Triangle> first(all.begin(), all.begin() + 1000), third(all.begin() + 1000, all.begin() + 50001),
            fourth(all.begin() + 50001, all.end());
        return BinaryStl("part one", first) + BinaryStl("an empty part", {}) + BinaryStl("part three", third) +
               BinaryStl("solid part four", fourth);
    };
    const Read whole = ReadBytes(BinaryStl("grid", triangles));
    ASSERT_EQ(whole.result, D3D_OK) << whole.error;
    std::vector<Triangle> withNan = triangles;
    withNan[60000].corners[4] = std::nanf("");
    const std::size_t nanByte = 84 + 50 * 1000 + 84 + 84 + 50 * 49001 + 84 + 50 * (60000 - 50001) + 12 + 16;
    for (const unsigned threads : {1u, 2u, 7u}) {
        facet::ThreadPool pool(threads);
        const Read read = ReadBytes(bodies(triangles), "mesh.stl", &pool);
        ASSERT_EQ(read.result, D3D_OK) << read.error;
        EXPECT_EQ(read.summary.encoding, facet::MeshFileEncoding::BinaryLittleEndian);
        EXPECT_EQ(read.summary.polygons, triangles.size());
        EXPECT_EQ(read.summary.joinedCorners, whole.summary.joinedCorners) << threads;
        EXPECT_EQ(read.positions, whole.positions) << threads;
        EXPECT_EQ(read.corners, whole.corners) << threads;
        EXPECT_EQ(ReadBytes(bodies(withNan), "mesh.stl", &pool).error,
                  "mesh.stl: byte " + std::to_string(nanByte) + ": coordinate nan is not a finite number")
            << threads;
    }
    const std::string two = BinaryStl("a", kTwoTriangles) + BinaryStl("b", kTwoTriangles);
    const Read joined = ReadBytes(two);
    ASSERT_EQ(joined.result, D3D_OK) << joined.error;
    EXPECT_EQ(joined.corners, (std::vector<DWORD>{0, 1, 2, 1, 3, 2, 0, 1, 2, 1, 3, 2}));
    EXPECT_EQ(ReadBytes(BinaryStl("a", {}) + BinaryStl("b", {})).error, "mesh.stl: byte 80: the file holds no faces");
    for (const std::size_t extra : {std::size_t{1}, std::size_t{83}, std::size_t{85}})
        EXPECT_EQ(ReadBytes(two + std::string(extra, '\0')).error,
                  "mesh.stl: byte 80: a binary STL file whose header counts 2 triangles holds 84 + 50 × 2 = 184 bytes, "
                  "this file " + std::to_string(two.size() + extra) + ", and it is no text STL file either")
            << extra;
}

TEST_F(StlFileTest, RefusalsNameTheByteOrLine) {
    std::string truncated = BinaryStl("binary", kTwoTriangles);
    truncated.pop_back();
    std::string huge = BinaryStl("binary", kTwoTriangles);
    const std::uint32_t claimed = 0xFFFFFFFF;
    std::memcpy(&huge[80], &claimed, 4);
    std::vector<Triangle> withNan = kTwoTriangles;
    withNan[1].corners[4] = std::nanf("");
    const std::string facetStart = "solid s\nfacet normal 0 0 1\nouter loop\n";
    const struct {
        const char* name;
        std::string bytes;
        const char* error;
    } cases[] = {
        {"binary cut short", truncated,
         "mesh.stl: byte 80: a binary STL file whose header counts 2 triangles holds 84 + 50 × 2 = 184 bytes, "
         "this file 183, and it is no text STL file either"},
        {"count beyond the size", huge, "mesh.stl: byte 80: a binary STL file whose header counts 4294967295"},
        {"NaN corner", BinaryStl("binary", withNan), "mesh.stl: byte 162: coordinate nan is not a finite number"},
        {"no triangles", BinaryStl("binary", {}), "mesh.stl: byte 80: the file holds no faces"},
        {"short and not text", "abc", "mesh.stl: byte 0: a binary STL file holds 84 bytes at least"},
        {"only an empty solid", "solid a\nendsolid a\n", "mesh.stl: line 2: the file holds no faces"},
        {"four corners", facetStart + "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nvertex 1 1 0\nendloop\n",
         "mesh.stl: line 7: 'endloop' should stand here, not 'vertex'"},
        {"two coordinates", facetStart + "vertex 0 0\nvertex 1 0 0\n",
         "mesh.stl: line 5: coordinate 'vertex' is not a finite number"},
        {"no endsolid", facetStart + "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n",
         "mesh.stl: line 8: the file ends before 'endsolid'"},
        {"text after endsolid", "solid\nendsolid\ngarbage\n",
         "mesh.stl: line 3: 'solid' or the end of the file should follow 'endsolid', not 'garbage'"},
        {"control byte", "solid s\nfacet\x01 normal\n", "mesh.stl: line 2: byte 0x01 does not belong in a text file"},
    };
    for (const auto& c : cases) {
        const Read read = ReadBytes(c.bytes);
        EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << c.name;
        EXPECT_EQ(read.error.substr(0, std::strlen(c.error)), c.error) << c.name;
    }
    // Compressed data is refused on its first bytes, before the size is looked at.
    const Read zipped = ReadNamed(std::string("\x1F\x8B\x08\x00", 4) + std::string(200, 'x'), "mesh.stl");
    EXPECT_EQ(zipped.error,
              "mesh.stl: byte 0: the file is gzip-compressed data, not a mesh file in UTF-8 or ASCII text");
}

TEST_F(StlFileTest, RealFilesFromDebianPackages) {
    const struct {
        const char* file;
        facet::MeshFileEncoding encoding;
        DWORD vertices, faces;
    } files[] = {
        {"triangle_with_two_solids.stl", facet::MeshFileEncoding::Text, 6, 2},
        {"triangle_with_empty_solid.stl", facet::MeshFileEncoding::Text, 3, 1},
        {"Spider_binary.stl", facet::MeshFileEncoding::BinaryLittleEndian, 722, 1368},
        {"import_bin_solid.stl", facet::MeshFileEncoding::BinaryLittleEndian, 25, 46},
        {"import.stl", facet::MeshFileEncoding::Text, 25, 46},
        {"cube2.stl", facet::MeshFileEncoding::Text, 8, 12},
    };
    for (const auto& f : files) {
        const Read read = ReadData(f.file);
        ASSERT_EQ(read.result, D3D_OK) << read.error;
        EXPECT_EQ(read.summary.encoding, f.encoding) << f.file;
        EXPECT_EQ(read.positions.size() / 3, f.vertices) << f.file;
        EXPECT_EQ(read.corners.size() / 3, f.faces) << f.file;
        EXPECT_EQ(read.summary.joinedCorners, 3 * f.faces - f.vertices) << f.file;
    }
    // The binary file whose header starts with "solid" holds the text file's shape.
    const Read text = ReadData("import.stl");
    const Read binary = ReadData("import_bin_solid.stl");
    EXPECT_EQ(text.corners, binary.corners);
}

TEST_F(StlFileTest, WritersGiveExactBytes) {
    facet::MeshFileData data;
    data.positions = {0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 0.5f};
    data.corners = {0, 1, 2, 0, 3, 3};  // the second face has no area: its normal is 0 0 0
    facet::MeshWriteOptions options;
    options.format = MeshFileFormat::Stl;
    options.comment = "test";

    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* file = open_memstream(&text, &size);
    ASSERT_TRUE(facet::WriteMeshData(file, data, options));
    std::fclose(file);
    EXPECT_EQ(std::string(text, size),
              "solid test\n"
              "  facet normal 0 0 1\n    outer loop\n      vertex 0 0 0\n      vertex 2 0 0\n      vertex 0 2 0\n"
              "    endloop\n  endfacet\n"
              "  facet normal 0 0 0\n    outer loop\n      vertex 0 0 0\n      vertex 0 0 0.5\n      vertex 0 0 0.5\n"
              "    endloop\n  endfacet\n"
              "endsolid test\n");
    std::free(text);

    options.binary = true;
    file = open_memstream(&text, &size);
    ASSERT_TRUE(facet::WriteMeshData(file, data, options));
    std::fclose(file);
    ASSERT_EQ(size, 84u + 2 * 50);
    const std::string bytes(text, size);
    std::free(text);
    EXPECT_EQ(bytes.substr(0, 5), std::string("test\0", 5));
    EXPECT_EQ(bytes.substr(80, 4), std::string("\x02\0\0\0", 4));
    float record[12];
    std::memcpy(record, &bytes[84], sizeof record);
    EXPECT_EQ(std::vector<float>(record, record + 12), (std::vector<float>{0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 2, 0}));
    EXPECT_EQ(bytes.substr(132, 2), std::string("\0\0", 2));

    // What no format holds is refused before a byte is written.
    file = open_memstream(&text, &size);
    options.comment = "solid looking";
    EXPECT_FALSE(facet::WriteMeshData(file, data, options));
    EXPECT_EQ(errno, EINVAL);
    options.format = MeshFileFormat::Obj;
    options.comment = "binary obj";
    EXPECT_FALSE(facet::WriteMeshData(file, data, options));
    std::fclose(file);
    EXPECT_EQ(size, 0u);
    std::free(text);
}

TEST_F(StlFileTest, WriteMeshFileWritesWhatItReadsAndNamesAPathItCannotWrite) {
    const Read read = ReadBytes(BinaryStl("binary", kTwoTriangles));
    ASSERT_EQ(read.result, D3D_OK);
    const std::string path = testing::TempDir() + "/facet-stl-" + std::to_string(getpid()) + ".stl";
    facet::MeshWriteOptions options;
    options.format = MeshFileFormat::Stl;
    options.binary = true;
    std::string error;
    ASSERT_EQ(facet::WriteMeshFile(read.mesh.get(), path.c_str(), options, &error), D3D_OK) << error;
    Read back;
    facet::Mesh* mesh = nullptr;
    back.result = facet::ReadMeshFile(device(), path.c_str(), {}, &mesh, &back.summary, &back.error);
    Fill(&back, mesh);
    std::remove(path.c_str());
    EXPECT_EQ(back.positions, read.positions);
    EXPECT_EQ(back.corners, read.corners);

    EXPECT_EQ(facet::WriteMeshFile(read.mesh.get(), "/nonexistent-folder/x.stl", options, &error), E_FAIL);
    EXPECT_EQ(error, "/nonexistent-folder/x.stl: cannot write: No such file or directory");
    options.binary = false;
    options.format = MeshFileFormat::Off;
    options.normals = true;  // a mesh read from STL has no normals to copy
    EXPECT_EQ(facet::WriteMeshFile(read.mesh.get(), path.c_str(), options, &error), D3DERR_INVALIDCALL);
    options.normals = false;
    EXPECT_EQ(facet::WriteMeshFile(read.mesh.get(), path.c_str(), options, &error), D3D_OK);
    std::remove(path.c_str());
    options.binary = true;
    EXPECT_EQ(facet::WriteMeshFile(read.mesh.get(), path.c_str(), options, &error), D3DERR_INVALIDCALL);
}

}  // namespace
