// What the facet commands that work on mesh files share: exit codes, reporting a library
// failure, reading the input file, the --weld value, and welded adjacency.
#pragma once

#include "progress_bar.h"

#include "facet/mesh.h"
#include "facet/mesh_file.h"

#include <vector>

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;

// Prints "facet COMMAND: STEP failed: NAME (0xCODE)" and returns the exit code: 2 for a
// refused call, 1 for other failures.
int ReportFailure(const char* command, const char* step, HRESULT result);

// Reads `path` into a mesh, showing the progress bar. Null after printing
// "facet COMMAND: <the reader's line>".
facet::Mesh* LoadMeshFile(const char* command, IDirect3DDevice9* device, const char* path, ProgressBar* progress,
                          facet::MeshFileSummary* summary);

// Parses the --weld value (a finite number, 0 or more); epsilon 0 when `text` is null.
// False after printing one line.
bool ParseWeldEpsilon(const char* command, const char* text, float* epsilon);

// Point representatives of the vertices welded within `epsilon`, and the adjacency built
// from them.
HRESULT WeldedAdjacency(facet::Mesh* mesh, float epsilon, ProgressBar* progress, std::vector<DWORD>* pointReps,
                        std::vector<DWORD>* adjacency);
