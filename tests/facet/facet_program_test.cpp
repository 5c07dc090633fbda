// The facet program on mesh files the test writes: the counts facet info prints for known
// meshes, adjacency and normals in the file's numbering, conversion round trips, and the
// refusals (bad files, repeated options, an output that is the input, sphere values) with
// exit code 2, one line on standard error and no output file left behind.
#include "facet_program_fixture.h"
#include "support/generated_meshes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

using generated_meshes::MeshData;

std::string Field(const std::string& json, const std::string& name) {
    const std::size_t at = json.find("\"" + name + "\": ");
    if (at == std::string::npos) return "missing";
    const std::size_t start = at + name.size() + 4;
    return json.substr(start, json.find_first_of(",}", start) - start);
}

TEST_F(FacetProgram, InfoCountsTheTorusTheOpenBoxAndThreeTrianglesOnOneEdge) {
    const struct {
        const char* file;
        MeshData mesh;
        const char* vertices;
        const char* faces;
        const char* boundary;
        const char* nonManifold;
        const char* components;
        const char* closed;
    } cases[] = {
        {"torus.ply", generated_meshes::Shuffled(generated_meshes::Torus(24, 12, 5), 4), "435", "576", "0", "0", "1",
         "true"},
        {"box.obj", generated_meshes::OpenBox(), "8", "10", "4", "0", "1", "false"},
        {"fin.off", generated_meshes::ThreeOnOneEdge(), "5", "3", "6", "1", "1", "false"},
    };
    for (const auto& c : cases) {
        const std::string name = c.file;
        const std::string bytes = name.ends_with(".ply")   ? generated_meshes::ToPly(c.mesh, generated_meshes::PlyEncoding::LittleEndian)
                                  : name.ends_with(".obj") ? generated_meshes::ToObj(c.mesh)
                                                           : generated_meshes::ToOff(c.mesh);
        Write(name, bytes);
        const Outcome run = Facet("info " + name + " --json");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Field(run.out, "vertices"), c.vertices) << name;
        EXPECT_EQ(Field(run.out, "faces"), c.faces) << name;
        EXPECT_EQ(Field(run.out, "boundary_edges"), c.boundary) << name;
        EXPECT_EQ(Field(run.out, "non_manifold_edges"), c.nonManifold) << name;
        EXPECT_EQ(Field(run.out, "components"), c.components) << name;
        EXPECT_EQ(Field(run.out, "closed"), c.closed) << name;
        EXPECT_EQ(Field(run.out, "index_bits"), "16") << name;
    }
    // Unreferenced vertices and degenerate faces (two corners at one index or one position).
    Write("odd.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nv 1 0 0\nf 1 2 3\nf 1 1 2\nf 1 2 5\nf 1 2 3 3\n");
    const Outcome odd = Facet("info odd.obj --json");
    ASSERT_EQ(odd.status, 0) << odd.err;
    EXPECT_EQ(Field(odd.out, "unreferenced_vertices"), "1");
    EXPECT_EQ(Field(odd.out, "degenerate_faces"), "3");  // 1 1 2, 1 2 5 and the fan's 1 3 3
    EXPECT_EQ(Field(odd.out, "split_polygons"), "1");
    EXPECT_EQ(Field(odd.out, "components"), "1");
}

TEST_F(FacetProgram, InfoReportsPointCloudsAndTheCountsPeopleCompare) {
    // A point cloud and a file of lines are read with no faces, and nothing is closed.
    Write("cloud.ply", "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\n"
                       "property float z\nend_header\n1 2 3\n-1 0 5\n");
    Write("lines.obj", "v 0 0 0\nv 1 0 0\nl 1 2\n");
    for (const char* name : {"cloud.ply", "lines.obj"}) {
        const Outcome run = Facet(std::string("info ") + name + " --json");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Field(run.out, "faces"), "0") << name;
        EXPECT_EQ(Field(run.out, "closed"), "false") << name;
        EXPECT_EQ(Field(run.out, "volume"), "null") << name;
        EXPECT_EQ(Field(run.out, "unreferenced_vertices"), "2") << name;
    }
    // The other commands need faces and say so.
    ExpectRefused("adjacency cloud.ply", "cloud.ply: line 7: the file holds no faces");
    ExpectRefused("normals lines.obj -o n.ply", "lines.obj: line 3: the file holds no faces");

    // The split cube welded, with a quad that is not convex beside it.
    Write("cube.obj", generated_meshes::ToObj(generated_meshes::SplitCube()) +
                          "v 5 0 0\nv 9 0 0\nv 9 4 0\nv 7 1 0\nv 5 4 0\nf 25 26 27 28 29\n");
    const Outcome cube = Facet("info cube.obj --json");
    ASSERT_EQ(cube.status, 0) << cube.err;
    EXPECT_EQ(Field(cube.out, "welded_points"), "16");
    EXPECT_EQ(Field(cube.out, "non_convex_polygons"), "1");
    EXPECT_EQ(Field(cube.out, "components"), "2");
    EXPECT_EQ(Field(cube.out, "edge_components"), "2");
    EXPECT_EQ(Field(cube.out, "area"), "16");  // 6 for the cube, 10 for the arrow head
    EXPECT_EQ(Field(cube.out, "volume"), "null");  // the arrow head's boundary
    Write("closed.off", generated_meshes::ToOff(generated_meshes::SplitCube()));
    const Outcome text = Facet("info closed.off");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("\nvolume                1\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\nedge components       1\n"), std::string::npos) << text.out;
}

// The counts agree with tests/tools/mesh_counts.py, which computes them on its own, on
// files of every format; skipped where Python has no numpy.
TEST_F(FacetProgram, InfoAgreesWithTheIndependentCount) {
    const char* source = std::getenv("SPRINGDROP_SOURCE_DIR");
    if (source == nullptr) GTEST_SKIP() << "SPRINGDROP_SOURCE_DIR names the source tree (ctest sets it)";
    const std::string script = std::string(source) + "/tests/tools/mesh_counts.py";
    if (Shell("/usr/bin/python3 -c 'import numpy'").status != 0) GTEST_SKIP() << "python3 with numpy is not installed";
    const generated_meshes::MeshData torus = generated_meshes::Shuffled(generated_meshes::Torus(16, 9, 4), 5);
    Write("torus.ply", generated_meshes::ToPly(torus, generated_meshes::PlyEncoding::BigEndian));
    Write("fin.off", generated_meshes::ToOff(generated_meshes::ThreeOnOneEdge()));
    Write("mixed.obj", generated_meshes::ToObj(generated_meshes::OpenBox()) +
                           "v 5 0 0\nv 9 0 0\nv 9 4 0\nv 7 1 0\nv 5 4 0\nf 9 10 11 12 13\nf 1 1 2\n");
    const std::string stl = std::string(source) + "/tests/data/stl/";
    const Outcome run = Shell("/usr/bin/python3 " + script + " --compare " + Binary() + " torus.ply fin.off mixed.obj " +
                              stl + "Spider_binary.stl " + stl + "import.stl");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
}

TEST_F(FacetProgram, AdjacencyAndNormalsFollowTheFileNumberingAcrossSplitSeams) {
    Write("cube.obj", generated_meshes::ToObj(generated_meshes::SplitCube()));
    const Outcome adjacency = Facet("adjacency cube.obj");
    ASSERT_EQ(adjacency.status, 0) << adjacency.err;
    // Triangle 0 (0, 1, 2) of the z = 0 side: across 0-1 the x = 0 side's second triangle,
    // across 1-2 the y = 1 side's second, across 2-0 its own side's other triangle.
    std::istringstream lines(adjacency.out);
    std::string header, first;
    std::getline(lines, header);
    std::getline(lines, first);
    EXPECT_EQ(first, "9 7 1");
    const std::string entries = adjacency.out.substr(header.size() + 1);
    EXPECT_EQ(std::count(entries.begin(), entries.end(), '\n'), 12);
    EXPECT_EQ(entries.find("-1"), std::string::npos) << "the welded cube is closed";

    ASSERT_EQ(Facet("normals cube.obj -o cube-normals.ply").status, 0);
    const std::string ply = Read(Path("cube-normals.ply"));
    // Vertex 0 (the origin corner) and vertex 8 (the same corner on another side) share
    // the corner's normal, pointing away from the cube.
    std::istringstream body(ply.substr(ply.find("end_header\n") + 11));
    std::vector<std::string> rows(24);
    for (auto& row : rows) std::getline(body, row);
    EXPECT_EQ(rows[0].substr(6), rows[8].substr(6));
    EXPECT_EQ(rows[0], "0 0 0 -0.577350259 -0.577350259 -0.577350259");
}

TEST_F(FacetProgram, ConvertRoundTripsThroughEveryFormat) {
    const MeshData mesh = generated_meshes::Shuffled(generated_meshes::Torus(9, 7, 4), 11);
    const std::string original = generated_meshes::ToObj(mesh);
    Write("start.obj", original);
    const char* steps[][2] = {{"start.obj", "a.ply"}, {"a.ply", "b.off"}, {"b.off", "c.ply --binary"},
                              {"c.ply", "d.obj"}};
    for (const auto& step : steps) ASSERT_EQ(Facet(std::string("convert ") + step[0] + " " + step[1]).status, 0);
    const std::string back = Read(Path("d.obj"));
    // The same lines as the original, apart from the comment.
    EXPECT_EQ(back.substr(back.find('\n')), original.substr(original.find('\n')));
    EXPECT_EQ(Facet("info c.ply").out.find("binary little-endian") != std::string::npos, true);
}

TEST_F(FacetProgram, BadInputAndOptionsAreRefusedWithOneLineAndNoOutput) {
    Write("nan.obj", "v 0 0 0\nv 1 nan 0\nv 0 1 0\nf 1 2 3\n");
    ExpectRefused("convert nan.obj out.ply", "nan.obj: line 2: coordinate 'nan' is not a finite number");
    EXPECT_FALSE(fs::exists(Path("out.ply")));
    EXPECT_FALSE(fs::exists(Path("out.ply.partial")));
    Write("huge.ply", "ply\nformat ascii 1.0\nelement vertex 2147483648\nproperty float x\nproperty float y\n"
                      "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n");
    ExpectRefused("info huge.ply", "huge.ply: line 3: the header claims 2147483648 'vertex' elements");
    ExpectRefused("normals nan.obj -o n.obj", "nan.obj: line 2");
    EXPECT_FALSE(fs::exists(Path("n.obj")));
    ExpectRefused("adjacency missing.off", "missing.off: cannot read");
    Write("cube.off", generated_meshes::ToOff(generated_meshes::SplitCube()));
    ExpectRefused("convert cube.off ./cube.off", "is the input file");
    ExpectRefused("adjacency cube.off -o cube.off", "is the input file");
    ExpectRefused("convert cube.off cube.dae", "must end in .obj, .ply, .off or .stl");
    ExpectRefused("convert cube.off cube.obj --binary", "--binary applies to PLY and STL output only");
    ExpectRefused("normals cube.off -o n.txt", "-o OUT.ply, -o OUT.obj, -o OUT.off or -o OUT.stl");
    ExpectRefused("info cube.off --weld -1", "--weld needs a finite number");
    ExpectRefused("info cube.off --json --json", "--json is given more than once");
    ExpectRefused("sphere --obj a.obj --obj b.obj", "--obj is given more than once");
    EXPECT_FALSE(fs::exists(Path("a.obj")) || fs::exists(Path("b.obj")));
    ExpectRefused("sphere --obj s.obj --ply ./s.obj", "name the same file");
}

TEST_F(FacetProgram, SphereSaysWhyItRefusesAndSummarisesExports) {
    ExpectRefused("sphere --radius 0", "--radius must be positive");
    ExpectRefused("sphere --radius 3.4028235e38", "the value the library reads as its default");
    ExpectRefused("sphere --slices 4294967295", "the value the library reads as its default");
    ExpectRefused("sphere --slices 1", "--slices must be 2 or more");
    ExpectRefused("sphere --stacks -3", "--stacks needs a whole number");
    ExpectRefused("sphere --slices 200 --stacks 200", "79600 faces, more than the 65534");
    ExpectRefused("sphere extra", "unexpected argument 'extra'");

    Outcome run = Facet("sphere --radius 1e-40 --slices 3 --stacks 3 --ply tiny.ply");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "wrote tiny.ply: 8 vertices, 12 faces, 16-bit indices\n");
    run = Facet("sphere --slices 200 --stacks 200 --index32 --obj big.obj --list");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("faces 79600\n"), std::string::npos);
    EXPECT_NE(run.out.find("face 79599 "), std::string::npos);
    const Outcome info = Facet("info big.obj --json");
    EXPECT_EQ(Field(info.out, "faces"), "79600");
    EXPECT_EQ(Field(info.out, "index_bits"), "32");
    EXPECT_EQ(Field(info.out, "closed"), "true");
}

}  // namespace
