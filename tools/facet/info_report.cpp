// The counts and JSON object of `facet info`; see info_report.h.
#include "info_report.h"

#include "text_escapes.h"

#include "geometry/work_array.h"

#include "facet/weld.h"

#include <cstdio>
#include <vector>

const char* MeshFormatName(facet::MeshFileFormat format) {
    switch (format) {
        case facet::MeshFileFormat::Obj: return "OBJ";
        case facet::MeshFileFormat::Ply: return "PLY";
        case facet::MeshFileFormat::Off: return "OFF";
        case facet::MeshFileFormat::Stl: return "STL";
    }
    return "";
}

const char* MeshEncodingName(facet::MeshFileEncoding encoding) {
    switch (encoding) {
        case facet::MeshFileEncoding::Text: return "text";
        case facet::MeshFileEncoding::BinaryLittleEndian: return "binary little-endian";
        case facet::MeshFileEncoding::BinaryBigEndian: return "binary big-endian";
    }
    return "";
}

std::string RoundTripDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

HRESULT CountMeshForInfo(facet::Mesh* mesh, const facet::MeshFileSummary& summary, float epsilon,
                         ProgressBar* progress, facet::MeshStatistics* statistics, facet::ThreadPool* pool) {
    if (mesh == nullptr) {
        *statistics = facet::MeshStatistics{};
        statistics->vertices = summary.vertices;
        statistics->unreferencedVertices = summary.vertices;
        return D3D_OK;
    }
    if (progress != nullptr) progress->Step("welding");
    // Working storage rather than a vector: the counting reads the representatives in no
    // particular order, which huge pages make cheaper, and they need no zeroing first.
    facet::WorkArray<DWORD> reps;
    if (!reps.Allocate(mesh->VertexCount())) return E_OUTOFMEMORY;
    HRESULT result = facet::PointRepsFromPositions(mesh, epsilon, reps.get(), pool);
    if (progress != nullptr) progress->Step("counting");
    if (SUCCEEDED(result)) result = facet::ComputeMeshStatistics(mesh, reps.get(), statistics, pool);
    return result;
}

std::string InfoJson(const char* path, const facet::MeshFileSummary& file, const facet::MeshStatistics& s) {
    const bool hasFaces = s.faces > 0;
    const std::string fileJson = path != nullptr ? JsonString(path) : std::string("null");
    char text[2048];
    std::snprintf(text, sizeof text,
                  "\"format\": \"%s\", \"encoding\": \"%s\", \"vertices\": %u, \"faces\": %u, "
                  "\"polygons\": %u, \"split_polygons\": %u, \"non_convex_polygons\": %u, \"index_bits\": %s, "
                  "\"degenerate_faces\": %u, \"zero_area_faces\": %u, \"unreferenced_vertices\": %u, "
                  "\"welded_points\": %s, \"joined_corners\": %s, \"boundary_edges\": %llu, \"non_manifold_edges\": %llu, "
                  "\"misoriented_edges\": %llu, \"components\": %u, \"edge_components\": %u, \"closed\": %s, "
                  "\"area\": %s, \"volume\": %s, \"bounding_box\": {\"min\": [%.9g, %.9g, %.9g], "
                  "\"max\": [%.9g, %.9g, %.9g]}}",
                  MeshFormatName(file.format), MeshEncodingName(file.encoding), s.vertices, s.faces,
                  file.polygons, file.splitPolygons, file.nonConvexPolygons,
                  !hasFaces ? "null" : s.indices32 ? "32" : "16", s.degenerateFaces, s.zeroAreaFaces,
                  s.unreferencedVertices, hasFaces ? std::to_string(s.weldedPoints).c_str() : "null",
                  file.format == facet::MeshFileFormat::Stl ? std::to_string(file.joinedCorners).c_str() : "null",
                  static_cast<unsigned long long>(s.boundaryEdges), static_cast<unsigned long long>(s.nonManifoldEdges),
                  static_cast<unsigned long long>(s.misorientedEdges), s.components, s.edgeComponents,
                  s.closed ? "true" : "false", RoundTripDecimal(s.area).c_str(),
                  s.hasVolume ? RoundTripDecimal(s.volume).c_str() : "null", file.minimum[0], file.minimum[1],
                  file.minimum[2], file.maximum[0], file.maximum[1], file.maximum[2]);
    // The file name can be of any length, so it is joined to the fixed-size rest.
    return "{\"file\": " + fileJson + ", " + text;
}
