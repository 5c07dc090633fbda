// What the facet commands that work on mesh files share: exit codes, reporting a library
// failure, reading the input file, the --weld value, and welded adjacency.
#pragma once

#include "command_line.h"
#include "headless_device.h"
#include "output_files.h"
#include "progress_bar.h"

#include "facet/mesh.h"
#include "facet/mesh_file.h"
#include "facet/thread_pool.h"

#include <cstdio>
#include <initializer_list>

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;

// Prints one line and returns the exit code. Memory running out (E_OUTOFMEMORY, or
// D3DERR_OUTOFVIDEOMEMORY from a device pool) is "facet COMMAND: out of memory STEP",
// exit 1; other codes are "facet COMMAND: STEP failed: NAME (0xCODE)", exit 2 for a
// refused call and 1 for other failures. `step` reads as a gerund phrase ("reading the
// mesh", "computing the normals").
int ReportFailure(const char* command, const char* step, HRESULT result);

// Parses the arguments of a command that takes `files` file names (described by
// `filesText` in its refusal) besides `specs`. -1 when the command is to run; otherwise
// its exit code, after the usage (--help) or one line on standard error.
int ParseFileCommand(const char* command, int argc, char** argv, std::initializer_list<OptionSpec> specs,
                     std::size_t files, const char* filesText, void (*printUsage)(std::FILE*),
                     ParsedCommandLine* parsed);

// False after one line on standard error when `output` resolves to the file `input`.
bool CheckOutputIsNotInput(const char* command, const char* input, const char* output);

// A command's software device and the mesh it reads, with the progress bar of its work.
class CommandMesh {
public:
    explicit CommandMesh(const char* command) : progress(command), command_(command) {}
    ~CommandMesh() { Release(); }
    CommandMesh(const CommandMesh&) = delete;
    CommandMesh& operator=(const CommandMesh&) = delete;

    // Creates the device and reads `path`, showing the progress bar. 0, or the exit code
    // after one line on standard error ("facet COMMAND: <the reader's line>"). With
    // `allowNoFaces` a file without faces is read too, and mesh() is then null. With a
    // `pool`, the reader may spread its work over it (the mesh is the same).
    int Load(const char* path, bool allowNoFaces = false, facet::ThreadPool* pool = nullptr);
    facet::Mesh* mesh() const { return mesh_; }
    // Lets the mesh go once the command needs it no more.
    void Release();

    ProgressBar progress;
    facet::MeshFileSummary summary;

private:
    const char* command_;
    facet_tools::HeadlessDevice device_;
    facet::Mesh* mesh_ = nullptr;
};

// Parses the --weld value (a finite number, 0 or more); epsilon 0 when `text` is null.
// False after printing one line.
bool ParseWeldEpsilon(const char* command, const char* text, float* epsilon);

// Writes a mesh the command has finished with into its opened output and keeps the file,
// showing the writing on `progress`. False after one line, with nothing kept.
bool WriteMeshOutput(CommandOutput* output, const facet::MeshFileData& data, const facet::MeshWriteOptions& writing,
                     ProgressBar* progress);
