// facet info: reads mesh files (or files of points without faces) and reports their
// counts, as text or as one JSON object per file. One file is counted with the work of
// each step spread over the threads; a collection (several files, or folders searched
// for mesh files) is counted a file per thread, and reported in the order given.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "info_report.h"
#include "standard_output.h"
#include "text_escapes.h"

#include "facet/thread_pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "usage: facet info FILE|FOLDER... [--weld EPS] [--json] [--threads N]\n"
        "Reads an OBJ, PLY, OFF or STL mesh, or a file of points or lines without faces, and\n"
        "reports what it holds. Vertices at one position (or within EPS) count as one point.\n"
        "Given several files, or a folder (searched, with its subfolders, for files named\n"
        ".obj, .ply, .off or .stl), it reports each file in turn, in the order given (a\n"
        "folder's files by name), working on several files at once; a file that cannot be\n"
        "read or counted is reported on its own line and the rest go on. The exit status is\n"
        "then 1 when any file failed.\n"
        "  vertices, faces        faces are triangles; polygons, split_polygons and\n"
        "                         non_convex_polygons count the file's polygons, those of more\n"
        "                         than three corners, and those of them not convex in their own\n"
        "                         plane (split by ear clipping rather than as a fan)\n"
        "  index_bits             16 or 32 (null without faces)\n"
        "  degenerate_faces       faces with two corners at one point\n"
        "  zero_area_faces        other faces whose corners' cross product is exactly zero\n"
        "  unreferenced_vertices  vertices no face uses\n"
        "  welded_points          vertices joined into another point (null without faces)\n"
        "  joined_corners         STL: corners read as the vertex of an earlier corner at\n"
        "                         their position (null for the other formats)\n"
        "  boundary_edges         edges of one face; edges are those of non-degenerate faces\n"
        "  non_manifold_edges     edges of three faces or more\n"
        "  misoriented_edges      edges of two faces that run through them the same way\n"
        "  components             groups of faces joined through shared points\n"
        "  edge_components        groups of non-degenerate faces joined through shared edges\n"
        "  closed                 a face with area, no boundary and no non-manifold edge (a\n"
        "                         fan of zero-area faces is not closed; false without faces)\n"
        "  area                   the sum of the triangles' areas, in double\n"
        "  volume                 for a closed mesh without misoriented edges, its signed volume\n"
        "                         (positive when the faces wind outwards), in double; null\n"
        "                         otherwise\n"
        "  bounding_box           of all vertices\n"
        "FILE - reads standard input.\n"
        "  --weld EPS     join vertices within EPS in each coordinate (default 0: equal positions)\n"
        "  --json         print one JSON object per file, one per line, instead of text (bytes\n"
        "                 of the file name that are not UTF-8 appear as U+FFFD); a file that\n"
        "                 failed is {\"file\": NAME, \"error\": WHY}\n"
        "  --threads N    work on N threads (default: all the processor's); the output is\n"
        "                 the same for every N\n"
        "examples: facet info bunny.ply --json\n"
        "          facet info scans/ --json > scans.jsonl\n",
        to);
}

void PrintText(std::FILE* out, const char* path, const facet::MeshFileSummary& file,
               const facet::MeshStatistics& s) {
    const bool hasFaces = s.faces > 0;
    std::fprintf(out, "file                  %s (%s, %s)\n", PrintableText(path).c_str(),
                 MeshFormatName(file.format), MeshEncodingName(file.encoding));
    std::fprintf(out, "vertices              %u\n", s.vertices);
    std::fprintf(out, "faces                 %u (from %u polygons, %u of them split into triangles, %u not convex)\n",
                 s.faces, file.polygons, file.splitPolygons, file.nonConvexPolygons);
    std::fprintf(out, "index width           %s\n", !hasFaces ? "none" : s.indices32 ? "32-bit" : "16-bit");
    std::fprintf(out, "degenerate faces      %u\n", s.degenerateFaces);
    std::fprintf(out, "zero-area faces       %u\n", s.zeroAreaFaces);
    std::fprintf(out, "unreferenced vertices %u\n", s.unreferencedVertices);
    if (hasFaces)
        std::fprintf(out, "welded points         %u\n", s.weldedPoints);
    else
        std::fprintf(out, "welded points         none (no faces)\n");
    if (file.format == facet::MeshFileFormat::Stl)
        std::fprintf(out, "joined corners        %u\n", file.joinedCorners);
    else
        std::fprintf(out, "joined corners        none (not STL)\n");
    std::fprintf(out, "boundary edges        %llu\n", static_cast<unsigned long long>(s.boundaryEdges));
    std::fprintf(out, "non-manifold edges    %llu\n", static_cast<unsigned long long>(s.nonManifoldEdges));
    std::fprintf(out, "misoriented edges     %llu\n", static_cast<unsigned long long>(s.misorientedEdges));
    std::fprintf(out, "components            %u\n", s.components);
    std::fprintf(out, "edge components       %u\n", s.edgeComponents);
    std::fprintf(out, "closed                %s\n", s.closed ? "yes" : "no");
    std::fprintf(out, "area                  %s\n", RoundTripDecimal(s.area).c_str());
    std::fprintf(out, "volume                %s\n",
                 s.hasVolume ? RoundTripDecimal(s.volume).c_str() : "none (not closed)");
    std::fprintf(out, "bounding box          %.9g %.9g %.9g to %.9g %.9g %.9g\n", file.minimum[0], file.minimum[1],
                 file.minimum[2], file.maximum[0], file.maximum[1], file.maximum[2]);
}

void PrintJson(std::FILE* out, const char* path, const facet::MeshFileSummary& file,
               const facet::MeshStatistics& s) {
    std::fprintf(out, "%s\n", InfoJson(path, file, s).c_str());
}

struct InfoSettings {
    float epsilon = 0.0f;
    bool json = false;
    unsigned threads = 1;
};

void PrintReport(std::FILE* out, bool json, const char* path, const facet::MeshFileSummary& file,
                 const facet::MeshStatistics& statistics) {
    if (json)
        PrintJson(out, path, file, statistics);
    else
        PrintText(out, path, file, statistics);
}

int RunOnOneFile(const char* path, const InfoSettings& settings) {
    CommandMesh input("info");
    facet::ThreadPool pool(settings.threads);
    if (const int loadExit = input.Load(path, true, &pool); loadExit != 0) return loadExit;
    facet::MeshStatistics statistics;
    const HRESULT result = CountMeshForInfo(input.mesh(), input.summary, settings.epsilon, &input.progress, &statistics, &pool);
    input.Release();
    input.progress.Finish();
    if (FAILED(result)) return ReportFailure("info", "counting", result);
    const bool written = WriteStandardOutput("info", [&](std::FILE* out) {
        PrintReport(out, settings.json, path, input.summary, statistics);
        return StreamGood(out);
    });
    return written ? 0 : kExitRefused;
}

// What one file of a collection gives: its report, or the line saying why it failed.
struct FileReport {
    bool failed = false;
    std::string output;  // for standard output
    std::string error;   // for standard error, without "facet info: " and the newline
};

std::string Printed(const std::function<void(std::FILE*)>& print) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* memory = open_memstream(&buffer, &size);
    if (memory == nullptr) throw std::bad_alloc();
    print(memory);
    std::fclose(memory);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

std::string FailureText(const char* step, HRESULT result) {
    if (result == E_OUTOFMEMORY || result == D3DERR_OUTOFVIDEOMEMORY) return std::string("out of memory ") + step;
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (0x%08X)", step, static_cast<unsigned>(result));
    return text;
}

FileReport Failed(const std::string& path, bool json, const std::string& why) {
    FileReport report;
    report.failed = true;
    report.error = why;
    if (json) report.output = "{\"file\": " + JsonString(path) + ", \"error\": " + JsonString(why) + "}\n";
    return report;
}

FileReport ReportOfFile(const std::string& path, const InfoSettings& settings) {
    const std::string shown = PrintableText(path);
    facet_tools::HeadlessDevice device;
    HRESULT result = device.Create();
    if (FAILED(result)) return Failed(path, settings.json, shown + ": " + FailureText("creating the software device", result));
    facet::MeshReadOptions options;
    options.allowNoFaces = true;
    facet::Mesh* mesh = nullptr;
    facet::MeshFileSummary summary;
    std::string error;
    result = facet::ReadMeshFile(device.device(), path.c_str(), options, &mesh, &summary, &error);
    if (FAILED(result))
        return Failed(path, settings.json,
                      error.empty() ? shown + ": " + FailureText("reading the mesh", result) : PrintableText(error));
    facet::MeshStatistics statistics;
    result = CountMeshForInfo(mesh, summary, settings.epsilon, nullptr, &statistics);
    if (mesh != nullptr) mesh->Release();
    if (FAILED(result)) return Failed(path, settings.json, shown + ": " + FailureText("counting", result));
    FileReport report;
    report.output = Printed([&](std::FILE* out) { PrintReport(out, settings.json, path.c_str(), summary, statistics); });
    return report;
}

bool IsMeshFileName(const std::filesystem::path& path) {
    facet::MeshFileFormat format;
    return facet::MeshFileFormatOfPath(path.c_str(), &format);
}

// The files a command line names: each file as given, each folder's mesh files (by
// extension, searched recursively) sorted by name. A folder that cannot be searched is
// kept as given, so that reading it reports why.
std::vector<std::string> CollectFiles(const std::vector<std::string>& arguments) {
    std::vector<std::string> files;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (!std::filesystem::is_directory(argument, error)) {
            files.push_back(argument);
            continue;
        }
        std::vector<std::string> found;
        const auto walkOptions = std::filesystem::directory_options::skip_permission_denied;
        std::filesystem::recursive_directory_iterator walk(argument, walkOptions, error), end;
        if (error) {
            files.push_back(argument);
            continue;
        }
        for (; walk != end; walk.increment(error)) {
            if (error) break;
            std::error_code typeError;
            if (walk->is_regular_file(typeError) && IsMeshFileName(walk->path())) found.push_back(walk->path().string());
        }
        std::sort(found.begin(), found.end());
        files.insert(files.end(), found.begin(), found.end());
    }
    return files;
}

// Counts the files on `settings.threads` threads, a file each, and prints each report as
// soon as those before it are printed. 0 when every file was counted, 1 when any failed,
// 2 when standard output could not be written.
int RunOnCollection(const std::vector<std::string>& files, const InfoSettings& settings) {
    std::vector<std::optional<FileReport>> reports(files.size());
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> nextFile{0};
    const auto work = [&] {
        for (std::size_t i = nextFile++; i < files.size(); i = nextFile++) {
            FileReport report;
            try {
                report = ReportOfFile(files[i], settings);
            } catch (const std::bad_alloc&) {
                report = Failed(files[i], settings.json, PrintableText(files[i]) + ": out of memory");
            }
            std::lock_guard<std::mutex> lock(mutex);
            reports[i] = std::move(report);
            ready.notify_one();
        }
    };
    const std::size_t workers = std::min<std::size_t>(settings.threads, files.size());
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < workers; ++t) threads.emplace_back(work);

    ProgressBar progress("info");
    progress.Step("files");
    bool anyFailed = false;
    bool written = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        FileReport report;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [&] { return reports[i].has_value(); });
            report = std::move(*reports[i]);
            reports[i].reset();
        }
        anyFailed = anyFailed || report.failed;
        if (report.failed) {
            progress.Finish();
            std::fprintf(stderr, "facet info: %s\n", report.error.c_str());
        }
        if (written && !report.output.empty()) {
            const bool separate = !settings.json && i > 0;
            written = WriteStandardOutput("info", [&](std::FILE* out) {
                if (separate) std::fputc('\n', out);
                std::fwrite(report.output.data(), 1, report.output.size(), out);
                return StreamGood(out);
            });
        }
        progress.Update(static_cast<double>(i + 1) / static_cast<double>(files.size()));
    }
    for (std::thread& thread : threads) thread.join();
    progress.Finish();
    if (!written) return kExitRefused;
    return anyFailed ? kExitFailed : 0;
}

}  // namespace

int RunInfoCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    if (!ParseCommandLine("info", argc, argv, {{"--weld", true}, {"--json", false}, {"--threads", true}}, &parsed))
        return kExitRefused;
    if (parsed.help) {
        PrintUsage(stdout);
        return 0;
    }
    if (parsed.positionals.empty()) {
        std::fprintf(stderr, "facet info: give one or more mesh files or folders (try facet info --help)\n");
        return kExitRefused;
    }
    InfoSettings settings;
    if (!ParseWeldEpsilon("info", parsed.Value("--weld"), &settings.epsilon)) return kExitRefused;
    if (!ParseThreadCount("info", parsed.Value("--threads"), &settings.threads)) return kExitRefused;
    settings.json = parsed.Has("--json");
    std::error_code error;
    if (parsed.positionals.size() == 1 && !std::filesystem::is_directory(parsed.positionals[0], error))
        return RunOnOneFile(parsed.positionals[0].c_str(), settings);
    for (const std::string& positional : parsed.positionals)
        if (positional == "-") {
            std::fprintf(stderr, "facet info: standard input (-) can only be read on its own\n");
            return kExitRefused;
        }
    const std::vector<std::string> files = CollectFiles(parsed.positionals);
    if (files.empty()) {
        std::fprintf(stderr, "facet info: no mesh files (.obj, .ply, .off, .stl) in the folders given\n");
        return kExitFailed;
    }
    return RunOnCollection(files, settings);
}
