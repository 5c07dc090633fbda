// What `facet info` finds in a mesh and its one-line JSON object, shared by the program
// and the Python module so that both report the same counts with the same keys and values.
#pragma once

#include "progress_bar.h"

#include "facet/mesh.h"
#include "facet/mesh_file.h"
#include "facet/thread_pool.h"
#include "geometry/mesh_statistics.h"

#include <string>

// The format and encoding as the report names them ("PLY", "binary little-endian").
const char* MeshFormatName(facet::MeshFileFormat format);
const char* MeshEncodingName(facet::MeshFileEncoding encoding);

// A double with enough digits to read back the same value.
std::string RoundTripDecimal(double value);

// Counts `mesh` with its vertices welded within `epsilon`; a null mesh (a file without
// faces) has only the summary's vertices, all of them unreferenced. `progress` may be null.
// The library's failure code when welding or counting fails. With a pool, the work is
// shared among its threads; the counts are the same for every thread count.
HRESULT CountMeshForInfo(facet::Mesh* mesh, const facet::MeshFileSummary& summary, float epsilon,
                         ProgressBar* progress, facet::MeshStatistics* statistics, facet::ThreadPool* pool = nullptr);

// The JSON object `facet info --json` prints, without the newline; "file" is null when
// `path` is.
std::string InfoJson(const char* path, const facet::MeshFileSummary& file, const facet::MeshStatistics& s);
