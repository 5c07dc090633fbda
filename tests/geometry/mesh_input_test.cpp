// Reading mesh inputs as a person hands them over: text encodings (a UTF-8 byte-order mark
// passed over, UTF-16, UTF-32 and compressed data refused naming what they are), OBJ line
// continuations, OFF faces with too few corners, text PLY values outside their declared
// type, and inputs that are not regular files (pipes, devices, standard input) bounded by
// the size cap and refused from their first bytes.
#include "facet/mesh_file.h"
#include "geometry_test_support.h"
#include "support/generated_meshes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using facet::MeshFileFormat;
using generated_meshes::MeshData;
using generated_meshes::PlyEncoding;

struct Outcome {
    HRESULT result;
    std::string error;
    std::vector<float> positions;
    std::vector<DWORD> corners;
};

class MeshInputTest : public geometry_test::DeviceTest {
protected:
    Outcome Keep(HRESULT result, facet::Mesh* mesh, std::string error) {
        Outcome outcome{result, std::move(error), {}, {}};
        if (mesh == nullptr) return outcome;
        void* data = nullptr;
        EXPECT_EQ(mesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
        for (DWORD v = 0; v < mesh->VertexCount(); ++v)
            for (int axis = 0; axis < 3; ++axis) {
                float value = 0.0f;
                std::memcpy(&value, static_cast<const BYTE*>(data) + v * mesh->VertexStride() + 4 * axis, 4);
                outcome.positions.push_back(value);
            }
        mesh->UnlockVertices();
        EXPECT_EQ(mesh->LockIndices(D3DLOCK_READONLY, &data), D3D_OK);
        for (DWORD i = 0; i < 3 * mesh->FaceCount(); ++i) outcome.corners.push_back(static_cast<const WORD*>(data)[i]);
        mesh->UnlockIndices();
        mesh->Release();
        return outcome;
    }

    Outcome ReadBytes(MeshFileFormat format, const std::string& bytes) {
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        const HRESULT result =
            facet::ReadMeshBytes(device(), "in", format, bytes.data(), bytes.size(), {}, &mesh, &summary, &error);
        return Keep(result, mesh, error);
    }

    // Reads `bytes` from a pipe, fed by a thread that stops when the reader lets go.
    Outcome ReadPipe(const std::string& name, const std::string& bytes, std::uint64_t maxBytes) {
        int ends[2];
        EXPECT_EQ(pipe(ends), 0);
        std::thread writer([&] {
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t wrote = write(ends[1], bytes.data() + done, bytes.size() - done);
                if (wrote <= 0) break;
                done += static_cast<std::size_t>(wrote);
            }
            close(ends[1]);
        });
        facet::MeshReadOptions options;
        options.maxInputBytes = maxBytes;
        facet::Mesh* mesh = nullptr;
        facet::MeshFileSummary summary;
        std::string error;
        const HRESULT result =
            facet::ReadMeshDescriptor(device(), ends[0], name.c_str(), options, &mesh, &summary, &error);
        close(ends[0]);
        writer.join();
        return Keep(result, mesh, error);
    }

    void SetUp() override {
        DeviceTest::SetUp();
        signal(SIGPIPE, SIG_IGN);  // the pipe's writer meets a reader that refused early
    }
};

const std::string kObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
const std::string kBom = "\xEF\xBB\xBF";

TEST_F(MeshInputTest, AUtf8ByteOrderMarkIsPassedOverInEveryTextFormat) {
    const MeshData mesh = generated_meshes::SplitCube();
    const struct {
        MeshFileFormat format;
        std::string bytes;
    } files[] = {{MeshFileFormat::Obj, generated_meshes::ToObj(mesh)},
                 {MeshFileFormat::Off, generated_meshes::ToOff(mesh)},
                 {MeshFileFormat::Ply, generated_meshes::ToPly(mesh, PlyEncoding::Text)}};
    for (const auto& file : files) {
        const Outcome plain = ReadBytes(file.format, file.bytes);
        const Outcome marked = ReadBytes(file.format, kBom + file.bytes);
        ASSERT_EQ(marked.result, D3D_OK) << marked.error;
        EXPECT_EQ(marked.positions, plain.positions);
        EXPECT_EQ(marked.corners, plain.corners);
    }
    // A mark in the middle of a file is no mark: the line holding it is refused.
    const Outcome inside = ReadBytes(MeshFileFormat::Off, "OFF\n" + kBom + "3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n");
    EXPECT_EQ(inside.result, D3DERR_INVALIDCALL);
    EXPECT_EQ(inside.error.rfind("in: line 2: ", 0), 0u) << inside.error;
}

TEST_F(MeshInputTest, OtherEncodingsAreRefusedAtTheirFirstByteByName) {
    const auto utf16 = [](const std::string& text, bool big) {
        std::string out;
        for (char c : text) out += big ? std::string{'\0', c} : std::string{c, '\0'};
        return out;
    };
    const auto utf32 = [](const std::string& text, bool big) {
        std::string out;
        for (char c : text) out += big ? std::string{'\0', '\0', '\0', c} : std::string{c, '\0', '\0', '\0'};
        return out;
    };
    const struct {
        std::string bytes;
        const char* named;
    } files[] = {{"\xFF\xFE" + utf16(kObj, false), "UTF-16 (little-endian)"},
                 {"\xFE\xFF" + utf16(kObj, true), "UTF-16 (big-endian)"},
                 {utf16(kObj, false), "UTF-16 (little-endian)"},
                 {utf16(kObj, true), "UTF-16 (big-endian)"},
                 {std::string("\xFF\xFE\0\0", 4) + utf32(kObj, false), "UTF-32 (little-endian)"},
                 {utf32(kObj, true), "UTF-32 (big-endian)"},
                 {std::string("\x1F\x8B\x08\0\0\0\0\0", 8), "gzip"},
                 {std::string(64, '\0'), "NUL bytes"}};
    for (const auto& file : files)
        for (MeshFileFormat format : {MeshFileFormat::Obj, MeshFileFormat::Ply, MeshFileFormat::Off}) {
            const Outcome read = ReadBytes(format, file.bytes);
            EXPECT_EQ(read.result, D3DERR_INVALIDCALL) << file.named;
            EXPECT_EQ(read.error.rfind("in: byte 0: the file is ", 0), 0u) << read.error;
            EXPECT_NE(read.error.find(file.named), std::string::npos) << read.error;
        }
}

TEST_F(MeshInputTest, ObjBackslashContinuesALineAndLaterLinesKeepTheirNumbers) {
    const Outcome read = ReadBytes(MeshFileFormat::Obj, "v 0 0 0\nv 1 \\\n 0 0\nv 0 1 0\nv 1 1 0\r\n"
                                                        "f 1 2 \\\r\n 3 4\nf 1 \\\n2\\\n 3\n");
    ASSERT_EQ(read.result, D3D_OK) << read.error;
    EXPECT_EQ(read.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}));
    EXPECT_EQ(read.corners, (std::vector<DWORD>{0, 1, 2, 0, 2, 3, 0, 1, 2}));
    // A refusal names the first of the joined lines; the lines after count every break.
    const Outcome joined = ReadBytes(MeshFileFormat::Obj, kObj + "f 1 \\\n 2 9\nf 1 2 3\n");
    EXPECT_EQ(joined.error.rfind("in: line 5: corner '9'", 0), 0u) << joined.error;
    const Outcome after = ReadBytes(MeshFileFormat::Obj, kObj + "f 1 \\\n 2 3\nf 1 2 x\n");
    EXPECT_EQ(after.error.rfind("in: line 7: corner 'x'", 0), 0u) << after.error;
    // A backslash that ends the file continues nothing.
    EXPECT_EQ(ReadBytes(MeshFileFormat::Obj, kObj + "f 1 2 \\").result, D3DERR_INVALIDCALL);
}

TEST_F(MeshInputTest, OffFacesWithTooFewCornersAreNamedForThat) {
    for (const char* face : {"0", "1 0", "2 0 1"}) {
        const Outcome read = ReadBytes(MeshFileFormat::Off, std::string("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n") + face + "\n");
        EXPECT_EQ(read.error, "in: line 6: a face needs at least three corners, this one has " + std::string(1, face[0]));
    }
}

TEST_F(MeshInputTest, TextPlyValuesMustFitTheirDeclaredType) {
    const auto ply = [](const std::string& type, const std::string& value) {
        return "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n"
               "property " + type + " extra\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
               "0 0 0 " + value + "\n1 0 0 0\n0 1 0 0\n3 0 1 2\n";
    };
    const struct {
        const char* type;
        const char* value;
        bool fits;
    } values[] = {{"uchar", "255", true},      {"uchar", "300", false},       {"uchar", "-1", false},
                  {"char", "-128", true},      {"char", "-129", false},       {"ushort", "65536", false},
                  {"short", "-32768", true},   {"uint", "4294967295", true}, {"uint", "-1", false},
                  {"int", "2147483648", false}, {"int", "1.5", false},        {"uint8", "256", false}};
    for (const auto& value : values) {
        const Outcome read = ReadBytes(MeshFileFormat::Ply, ply(value.type, value.value));
        EXPECT_EQ(read.result == D3D_OK, value.fits) << value.type << " " << value.value << ": " << read.error;
        if (!value.fits) {
            EXPECT_EQ(read.error.rfind("in: line 11: '", 0), 0u) << read.error;
        }
    }
    // A list's count is a value of its type too.
    const std::string wideCount = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                                  "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
                                  "end_header\n0 0 0\n1 0 0\n0 1 0\n259 0 1 2\n";
    EXPECT_EQ(ReadBytes(MeshFileFormat::Ply, wideCount).error.rfind("in: line 13: '259' does not fit", 0), 0u);
}

TEST_F(MeshInputTest, APipeReadsAsTheSameFileWouldWithinTheCap) {
    const std::string ply = generated_meshes::ToPly(generated_meshes::Torus(40, 30, 7), PlyEncoding::LittleEndian);
    const Outcome piped = ReadPipe("standard input", ply, facet::kMaxMeshInputBytes);
    const Outcome direct = ReadBytes(MeshFileFormat::Ply, ply);
    ASSERT_EQ(piped.result, D3D_OK) << piped.error;
    EXPECT_EQ(piped.positions, direct.positions);
    EXPECT_EQ(piped.corners, direct.corners);
    // Told apart by their first bytes, without a name to go by.
    EXPECT_EQ(ReadPipe("standard input", kBom + "# made by hand\n" + kObj, 1 << 20).result, D3D_OK);
    EXPECT_EQ(ReadPipe("standard input", "# an OFF file\nOFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", 1 << 20).result,
              D3D_OK);
    // Exactly the cap is read; one byte more is refused at the cap.
    EXPECT_EQ(ReadPipe("standard input", ply, ply.size()).result, D3D_OK);
    const Outcome over = ReadPipe("standard input", ply, ply.size() - 1);
    EXPECT_EQ(over.result, D3DERR_INVALIDCALL);
    EXPECT_EQ(over.error, "standard input: byte " + std::to_string(ply.size() - 1) + ": the input goes on past " +
                              std::to_string(ply.size() - 1) + " bytes, the most a mesh input may hold");
}

TEST_F(MeshInputTest, EndlessAndHugeInputsAreRefusedFromTheirFirstBytes) {
    // An endless device: with the cap far away, only judging the first chunk ends this.
    facet::Mesh* mesh = nullptr;
    facet::MeshFileSummary summary;
    std::string error;
    EXPECT_EQ(facet::ReadMeshFile(device(), "/dev/zero", {}, &mesh, &summary, &error), D3DERR_INVALIDCALL);
    EXPECT_EQ(error, "/dev/zero: byte 0: the file is binary data (NUL bytes), not a mesh file in UTF-8 or ASCII text");
    // An endless pipe of text that is no mesh format.
    const Outcome words = ReadPipe("standard input", std::string(8 << 20, 'x'), facet::kMaxMeshInputBytes);
    EXPECT_EQ(words.error, "standard input: line 1: not an OBJ, PLY, OFF or text STL file (name it .obj, .ply, .off or .stl)");
    // Sparse 2 GiB files whose start is wrong for their format, or whose text runs into NUL bytes.
    const std::string path = testing::TempDir() + "sparse-" + std::to_string(getpid());
    const struct {
        const char* extension;
        std::string start;
        std::string refusal;
    } sparse[] = {{".ply", "plx\n", ": line 1: a PLY file starts"},
                  {".ply", "ply\nformat ascii 1.0\n", ": line 3: the header holds"},
                  {".off", "# made by hand\n\nxyz 1 2\n", ": line 3: an OFF file starts"},
                  {".obj", "v 0 0 0\n", ": line 2: byte 0x00"}};
    for (const auto& file : sparse) {
        const std::string named = path + file.extension;
        std::ofstream(named, std::ios::binary) << file.start;
        ASSERT_EQ(truncate(named.c_str(), std::int64_t{2} << 30), 0);
        EXPECT_EQ(facet::ReadMeshFile(device(), named.c_str(), {}, &mesh, &summary, &error), D3DERR_INVALIDCALL);
        EXPECT_EQ(error.rfind(named + file.refusal, 0), 0u) << error;
        std::remove(named.c_str());
    }
    // A regular file over the cap is refused before it is mapped.
    const std::string large = path + ".obj";
    std::ofstream(large, std::ios::binary) << kObj << std::string((1 << 20) - kObj.size() + 1, '\n');
    facet::MeshReadOptions small;
    small.maxInputBytes = 1 << 20;
    EXPECT_EQ(facet::ReadMeshFile(device(), large.c_str(), small, &mesh, &summary, &error), D3DERR_INVALIDCALL);
    EXPECT_EQ(error.rfind(large + ": byte 1048576: the input goes on past", 0), 0u) << error;
    std::remove(large.c_str());
    EXPECT_EQ(mesh, nullptr);
}

TEST(FacetStandardInput, DashReadsStandardInputAndRefusesItByName) {
    namespace fs = std::filesystem;
    const std::string facet = (fs::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "facet").string();
    const std::string dir = testing::TempDir();
    const std::string obj = dir + "stdin-" + std::to_string(getpid()) + ".obj";
    std::ofstream(obj, std::ios::binary) << kObj;
    const auto run = [&](const std::string& command) {
        const std::string out = dir + "stdin-out-" + std::to_string(getpid());
        const int status = std::system((command + " >" + out + " 2>&1").c_str());
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        std::remove(out.c_str());
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str());
    };
    const auto [read, info] = run("cat " + obj + " | " + facet + " info -");
    EXPECT_EQ(read, 0) << info;
    EXPECT_NE(info.find("- (OBJ, text)"), std::string::npos) << info;
    const auto [refused, message] = run(facet + " info - </dev/zero");
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(message, "facet info: standard input: byte 0: the file is binary data (NUL bytes), not a mesh file in "
                       "UTF-8 or ASCII text\n");
    std::remove(obj.c_str());
}

}  // namespace
