// Writes a generated mesh file for the scale benchmarks: the seamed torus of the tests'
// generated meshes, its vertices and faces shuffled (so no step can lean on the file's
// order), as binary little-endian PLY, text PLY, OBJ or OFF.
//
// usage: bench_generate_mesh FACES OUT.ply|OUT.obj|OUT.off [--text] [--seed N]
// FACES is rounded to an even number of triangles of a torus about twice as long around
// as through.
#include "../../tests/support/generated_meshes.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_generate_mesh FACES OUT.ply|OUT.obj|OUT.off [--text] [--seed N]\n");
        return 2;
    }
    const double faces = std::strtod(argv[1], nullptr);
    const std::string out = argv[2];
    bool text = false;
    unsigned seed = 1;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--text") == 0) text = true;
        if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) seed = static_cast<unsigned>(std::atoi(argv[++i]));
    }
    if (!(faces >= 2) || faces > 4e9) {
        std::fprintf(stderr, "bench_generate_mesh: FACES must be from 2 to 4e9\n");
        return 2;
    }
    const auto sides = static_cast<std::uint32_t>(std::max(3.0, std::sqrt(faces / 4.0)));
    const auto rings = static_cast<std::uint32_t>(std::max(3.0, std::round(faces / 2.0 / sides)));
    const generated_meshes::MeshData mesh = generated_meshes::Shuffled(generated_meshes::Torus(rings, sides, 16), seed);
    std::string bytes;
    const std::string extension = out.size() >= 4 ? out.substr(out.size() - 4) : "";
    if (extension == ".obj")
        bytes = generated_meshes::ToObj(mesh);
    else if (extension == ".off")
        bytes = generated_meshes::ToOff(mesh);
    else
        bytes = generated_meshes::ToPly(mesh, text ? generated_meshes::PlyEncoding::Text
                                                   : generated_meshes::PlyEncoding::LittleEndian);
    std::FILE* file = std::fopen(out.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "bench_generate_mesh: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %zu vertices, %zu faces, %zu bytes\n", out.c_str(), mesh.VertexCount(), mesh.FaceCount(),
                bytes.size());
    return 0;
}
