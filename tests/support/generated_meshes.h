// Meshes the tests and benchmarks build for themselves: a torus cut into charts whose
// vertices are split along every chart border (as texture seams split real meshes), the
// torus with none split, a
// cube split at every edge, an open box, three triangles on one edge, shuffling of vertex
// and face order, and the same mesh written as OBJ, PLY (text and both binary orders) and
// OFF.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace generated_meshes {

struct MeshData {
    std::vector<float> positions;       // three per vertex
    std::vector<std::uint32_t> corners;  // three per triangle

    std::size_t VertexCount() const { return positions.size() / 3; }
    std::size_t FaceCount() const { return corners.size() / 3; }
    void AddVertex(float x, float y, float z) { positions.insert(positions.end(), {x, y, z}); }
    void AddFace(std::uint32_t a, std::uint32_t b, std::uint32_t c) { corners.insert(corners.end(), {a, b, c}); }
};

// A closed torus of rings x sides quads (two triangles each, wound outwards), cut into
// charts of chart x chart quads. Each chart has its own vertices, so a vertex on a chart
// border exists once per chart that touches it, at exactly the same position.
inline MeshData Torus(std::uint32_t rings, std::uint32_t sides, std::uint32_t chart) {
    MeshData mesh;
    const auto position = [&](std::uint32_t i, std::uint32_t j) {
        const double u = 2.0 * M_PI * (i % rings) / rings, v = 2.0 * M_PI * (j % sides) / sides;
        mesh.AddVertex(static_cast<float>((1.0 + 0.4 * std::cos(v)) * std::cos(u)),
                       static_cast<float>((1.0 + 0.4 * std::cos(v)) * std::sin(u)),
                       static_cast<float>(0.4 * std::sin(v)));
    };
    for (std::uint32_t ci = 0; ci < rings; ci += chart) {
        for (std::uint32_t cj = 0; cj < sides; cj += chart) {
            const std::uint32_t wide = std::min(chart, rings - ci), high = std::min(chart, sides - cj);
            const auto first = static_cast<std::uint32_t>(mesh.VertexCount());
            for (std::uint32_t i = 0; i <= wide; ++i)
                for (std::uint32_t j = 0; j <= high; ++j) position(ci + i, cj + j);
            const auto at = [&](std::uint32_t i, std::uint32_t j) { return first + i * (high + 1) + j; };
            for (std::uint32_t i = 0; i < wide; ++i)
                for (std::uint32_t j = 0; j < high; ++j) {
                    mesh.AddFace(at(i, j), at(i + 1, j), at(i + 1, j + 1));
                    mesh.AddFace(at(i, j), at(i + 1, j + 1), at(i, j + 1));
                }
        }
    }
    return mesh;
}

// The same closed torus on one vertex per point (rings x sides vertices): nothing welds.
inline MeshData WeldedTorus(std::uint32_t rings, std::uint32_t sides) {
    MeshData mesh;
    for (std::uint32_t i = 0; i < rings; ++i)
        for (std::uint32_t j = 0; j < sides; ++j) {
            const double u = 2.0 * M_PI * i / rings, v = 2.0 * M_PI * j / sides;
            mesh.AddVertex(static_cast<float>((1.0 + 0.4 * std::cos(v)) * std::cos(u)),
                           static_cast<float>((1.0 + 0.4 * std::cos(v)) * std::sin(u)),
                           static_cast<float>(0.4 * std::sin(v)));
        }
    const auto at = [&](std::uint32_t i, std::uint32_t j) { return (i % rings) * sides + j % sides; };
    for (std::uint32_t i = 0; i < rings; ++i)
        for (std::uint32_t j = 0; j < sides; ++j) {
            mesh.AddFace(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            mesh.AddFace(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    return mesh;
}

// The unit cube with four vertices per side (24 vertices, 12 triangles), wound outwards.
inline MeshData SplitCube() {
    MeshData mesh;
    static constexpr float kSides[6][4][3] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}}, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
        {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}, {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}},
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}}, {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}};
    for (const auto& side : kSides) {
        const auto first = static_cast<std::uint32_t>(mesh.VertexCount());
        for (const auto& corner : side) mesh.AddVertex(corner[0], corner[1], corner[2]);
        mesh.AddFace(first, first + 1, first + 2);
        mesh.AddFace(first, first + 2, first + 3);
    }
    return mesh;
}

// The unit cube without its top (z = 1) on 8 shared vertices: 10 triangles, 4 boundary edges.
inline MeshData OpenBox() {
    MeshData mesh;
    for (int v = 0; v < 8; ++v) mesh.AddVertex(v & 1 ? 1.f : 0.f, v & 2 ? 1.f : 0.f, v & 4 ? 1.f : 0.f);
    static constexpr std::uint32_t kQuads[5][4] = {{0, 2, 3, 1}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : kQuads) {
        mesh.AddFace(q[0], q[1], q[2]);
        mesh.AddFace(q[0], q[2], q[3]);
    }
    return mesh;
}

// Three triangles on the edge from vertex 0 to vertex 1, fanned around it.
inline MeshData ThreeOnOneEdge() {
    MeshData mesh;
    mesh.AddVertex(0, 0, 0);
    mesh.AddVertex(0, 0, 1);
    mesh.AddVertex(1, 0, 0.5f);
    mesh.AddVertex(-1, 0.2f, 0.5f);
    mesh.AddVertex(-1, -0.2f, 0.5f);
    mesh.AddFace(0, 1, 2);
    mesh.AddFace(1, 0, 3);
    mesh.AddFace(1, 0, 4);
    return mesh;
}

// The mesh with its vertices renumbered and its faces reordered by a seeded shuffle.
inline MeshData Shuffled(const MeshData& mesh, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint32_t> newIndex(mesh.VertexCount()), faceOrder(mesh.FaceCount());
    std::iota(newIndex.begin(), newIndex.end(), 0u);
    std::iota(faceOrder.begin(), faceOrder.end(), 0u);
    std::shuffle(newIndex.begin(), newIndex.end(), random);
    std::shuffle(faceOrder.begin(), faceOrder.end(), random);
    MeshData out;
    out.positions.resize(mesh.positions.size());
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v)
        std::copy_n(&mesh.positions[3 * v], 3, &out.positions[3 * std::size_t{newIndex[v]}]);
    out.corners.reserve(mesh.corners.size());
    for (const std::uint32_t f : faceOrder)
        for (int k = 0; k < 3; ++k) out.corners.push_back(newIndex[mesh.corners[3 * std::size_t{f} + k]]);
    return out;
}

inline std::string FloatText(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

inline std::string ToObj(const MeshData& mesh) {
    std::string text = "# generated\n";
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v)
        text += "v " + FloatText(mesh.positions[3 * v]) + " " + FloatText(mesh.positions[3 * v + 1]) + " " +
                FloatText(mesh.positions[3 * v + 2]) + "\n";
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f)
        text += "f " + std::to_string(mesh.corners[3 * f] + 1) + " " + std::to_string(mesh.corners[3 * f + 1] + 1) +
                " " + std::to_string(mesh.corners[3 * f + 2] + 1) + "\n";
    return text;
}

inline std::string ToOff(const MeshData& mesh) {
    std::string text = "OFF\n" + std::to_string(mesh.VertexCount()) + " " + std::to_string(mesh.FaceCount()) + " 0\n";
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v)
        text += FloatText(mesh.positions[3 * v]) + " " + FloatText(mesh.positions[3 * v + 1]) + " " +
                FloatText(mesh.positions[3 * v + 2]) + "\n";
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f)
        text += "3 " + std::to_string(mesh.corners[3 * f]) + " " + std::to_string(mesh.corners[3 * f + 1]) + " " +
                std::to_string(mesh.corners[3 * f + 2]) + "\n";
    return text;
}

enum class PlyEncoding { Text, LittleEndian, BigEndian };

inline std::string ToPly(const MeshData& mesh, PlyEncoding encoding) {
    const char* names[] = {"ascii", "binary_little_endian", "binary_big_endian"};
    std::string text = std::string("ply\nformat ") + names[static_cast<int>(encoding)] +
                       " 1.0\nelement vertex " + std::to_string(mesh.VertexCount()) +
                       "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                       std::to_string(mesh.FaceCount()) + "\nproperty list uchar int vertex_indices\nend_header\n";
    const auto append = [&](const void* value, std::size_t size) {
        char bytes[4];
        std::memcpy(bytes, value, size);
        if (encoding == PlyEncoding::BigEndian) std::reverse(bytes, bytes + size);
        text.append(bytes, size);
    };
    for (std::size_t v = 0; v < mesh.VertexCount(); ++v) {
        for (int k = 0; k < 3; ++k) {
            if (encoding == PlyEncoding::Text)
                text += FloatText(mesh.positions[3 * v + k]) + (k == 2 ? "\n" : " ");
            else
                append(&mesh.positions[3 * v + k], 4);
        }
    }
    for (std::size_t f = 0; f < mesh.FaceCount(); ++f) {
        if (encoding == PlyEncoding::Text) {
            text += "3 " + std::to_string(mesh.corners[3 * f]) + " " + std::to_string(mesh.corners[3 * f + 1]) + " " +
                    std::to_string(mesh.corners[3 * f + 2]) + "\n";
            continue;
        }
        text += '\3';
        for (int k = 0; k < 3; ++k) append(&mesh.corners[3 * f + k], 4);
    }
    return text;
}

}  // namespace generated_meshes
