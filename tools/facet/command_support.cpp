// The facet commands' shared steps; see command_support.h.
#include "command_support.h"

#include "springdrop/file/output_file.h"
#include "text_escapes.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

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
    if (result == E_OUTOFMEMORY || result == D3DERR_OUTOFVIDEOMEMORY) {
        std::fprintf(stderr, "facet %s: out of memory %s\n", command, step);
        return kExitFailed;
    }
    std::fprintf(stderr, "facet %s: %s failed: %s (0x%08X)\n", command, step, ResultName(result),
                 static_cast<unsigned>(result));
    return result == D3DERR_INVALIDCALL ? kExitRefused : kExitFailed;
}

int ParseFileCommand(const char* command, int argc, char** argv, std::initializer_list<OptionSpec> specs,
                     std::size_t files, const char* filesText, void (*printUsage)(std::FILE*),
                     ParsedCommandLine* parsed) {
    if (!ParseCommandLine(command, argc, argv, specs, parsed)) return kExitRefused;
    if (parsed->help) {
        printUsage(stdout);
        return 0;
    }
    if (parsed->positionals.size() != files) {
        std::fprintf(stderr, "facet %s: give %s (try facet %s --help)\n", command, filesText, command);
        return kExitRefused;
    }
    return -1;
}

bool CheckOutputIsNotInput(const char* command, const char* input, const char* output) {
    if (!platform::SameOutputTarget(input, output)) return true;
    std::fprintf(stderr, "facet %s: the output %s is the input file\n", command, QuotedArgument(output).c_str());
    return false;
}

int CommandMesh::Load(const char* path, bool allowNoFaces, facet::ThreadPool* pool) {
    HRESULT result = device_.Create();
    if (FAILED(result)) return ReportFailure(command_, "creating the software device", result);
    facet::MeshReadOptions options;
    options.progress = &ProgressBar::OnRead;
    options.progressContext = &progress;
    options.allowNoFaces = allowNoFaces;
    options.pool = pool;
    progress.Step("reading");
    std::string error;
    // "-" is standard input, read as any other input (size cap, early refusal, format from
    // its first bytes).
    result = std::strcmp(path, "-") == 0
                 ? facet::ReadMeshDescriptor(device_.device(), STDIN_FILENO, "standard input", options, &mesh_,
                                             &summary, &error)
                 : facet::ReadMeshFile(device_.device(), path, options, &mesh_, &summary, &error);
    if (SUCCEEDED(result)) return 0;
    progress.Finish();
    if (error.empty()) return ReportFailure(command_, "reading the mesh", result);
    std::fprintf(stderr, "facet %s: %s\n", command_, PrintableText(error).c_str());
    return kExitRefused;
}

void CommandMesh::Release() {
    if (mesh_ != nullptr) mesh_->Release();
    mesh_ = nullptr;
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

bool WriteMeshOutput(CommandOutput* output, const facet::MeshFileData& data, const facet::MeshWriteOptions& writing,
                     ProgressBar* progress) {
    progress->Step("writing");
    const bool written =
        output->Write([&](std::FILE* to) { return facet::WriteMeshData(to, data, writing); }) && output->Commit();
    progress->Finish();
    return written;
}
