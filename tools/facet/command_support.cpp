// The facet commands' shared steps; see command_support.h.
#include "command_support.h"

#include "command_line.h"

#include "facet/weld.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* ResultName(HRESULT result) {
    switch (result) {
        case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL";
        case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY";
        case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE";
        case D3DERR_DEVICELOST: return "D3DERR_DEVICELOST";
        case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
        case E_FAIL: return "E_FAIL";
        default: return "an unexpected result";
    }
}

}  // namespace

int ReportFailure(const char* command, const char* step, HRESULT result) {
    std::fprintf(stderr, "facet %s: %s failed: %s (0x%08X)\n", command, step, ResultName(result),
                 static_cast<unsigned>(result));
    return result == D3DERR_INVALIDCALL ? kExitRefused : kExitFailed;
}

facet::Mesh* LoadMeshFile(const char* command, IDirect3DDevice9* device, const char* path, ProgressBar* progress,
                          facet::MeshFileSummary* summary) {
    facet::MeshReadOptions options;
    options.progress = &ProgressBar::OnRead;
    options.progressContext = progress;
    progress->Step("reading");
    facet::Mesh* mesh = nullptr;
    std::string error;
    const HRESULT result = facet::ReadMeshFile(device, path, options, &mesh, summary, &error);
    if (SUCCEEDED(result)) return mesh;
    progress->Finish();
    if (error.empty())
        ReportFailure(command, "reading the mesh", result);
    else
        std::fprintf(stderr, "facet %s: %s\n", command, error.c_str());
    return nullptr;
}

bool ParseWeldEpsilon(const char* command, const char* text, float* epsilon) {
    *epsilon = 0.0f;
    if (text == nullptr) return true;
    char* end = nullptr;
    errno = 0;
    const float parsed = std::strtof(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(parsed) || parsed < 0.0f) {
        std::fprintf(stderr, "facet %s: --weld needs a finite number, 0 or more, not %s\n", command,
                     QuotedArgument(text).c_str());
        return false;
    }
    *epsilon = parsed;
    return true;
}

HRESULT WeldedAdjacency(facet::Mesh* mesh, float epsilon, ProgressBar* progress, std::vector<DWORD>* pointReps,
                        std::vector<DWORD>* adjacency) {
    pointReps->resize(mesh->VertexCount());
    adjacency->resize(std::size_t{3} * mesh->FaceCount());
    progress->Step("welding");
    HRESULT result = facet::PointRepsFromPositions(mesh, epsilon, pointReps->data());
    if (FAILED(result)) return result;
    progress->Step("adjacency");
    return mesh->AdjacencyFromPointReps(pointReps->data(), adjacency->data());
}
