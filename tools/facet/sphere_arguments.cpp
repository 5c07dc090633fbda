// Parsing the arguments of `facet sphere`: see sphere_arguments.h.
#include "sphere_arguments.h"

#include "command_line.h"
#include "text_escapes.h"

#include "springdrop/file/output_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The defaults the library's selectors choose, and the bounds it applies.
constexpr UINT kDefaultDivisions = 8;
constexpr UINT kMaxDivisions = 240;
constexpr DWORD kMaxFaces16 = 65534;

bool ParseRadius(const char* text, float* value) {
    char* end = nullptr;
    errno = 0;
    const float parsed = std::strtof(text, &end);
    const std::string quoted = QuotedArgument(text);
    // A value too small for a normal float reads as the nearest float (errno says so, and
    // is ignored); one that rounds to zero is refused as not positive.
    if (end == text || *end != '\0' || !std::isfinite(parsed))
        return RefuseSphere("--radius needs a finite number above 0, not " + quoted);
    if (!(parsed > 0.0f)) return RefuseSphere("--radius must be positive, not " + quoted);
    if (parsed == kDefaultRadiusSelector)
        return RefuseSphere("--radius " + quoted +
                            " is the value the library reads as its default; leave --radius out for radius 1");
    *value = parsed;
    return true;
}

bool ParseDivisions(const char* name, const char* text, UINT* value) {
    const std::string quoted = QuotedArgument(text);
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    if (text[0] == '-' || text[0] == '+' || end == text || *end != '\0' || errno == ERANGE || parsed > 0xFFFFFFFFull)
        return RefuseSphere(std::string(name) + " needs a whole number, 2 or more, not " + quoted);
    if (parsed < 2) return RefuseSphere(std::string(name) + " must be 2 or more, not " + quoted);
    if (parsed == kDefaultCountSelector)
        return RefuseSphere(std::string(name) + " " + quoted +
                            " is the value the library reads as its default; leave " + name + " out for 8");
    *value = static_cast<UINT>(parsed);
    return true;
}

UINT Effective(UINT divisions) {
    return divisions == kDefaultCountSelector ? kDefaultDivisions : std::min(divisions, kMaxDivisions);
}

}  // namespace

bool RefuseSphere(const std::string& why) {
    std::fprintf(stderr, "facet sphere: %s\n", why.c_str());
    return false;
}

bool ParseSphereArguments(int argc, char** argv, SphereOptions* options, bool* help) {
    ParsedCommandLine parsed;
    if (!ParseCommandLine("sphere", argc, argv,
                          {{"--radius", true}, {"--slices", true}, {"--stacks", true}, {"--normals", false},
                           {"--adjacency", false}, {"--index32", false}, {"--list", false}, {"--obj", true},
                           {"--ply", true}},
                          &parsed))
        return false;
    *help = parsed.help;
    if (parsed.help) return true;
    if (!parsed.positionals.empty())
        return RefuseSphere("unexpected argument " + QuotedArgument(parsed.positionals[0].c_str()) +
                            " (try facet sphere --help)");
    if (parsed.Has("--radius") && !ParseRadius(parsed.Value("--radius"), &options->radius)) return false;
    if (parsed.Has("--slices") && !ParseDivisions("--slices", parsed.Value("--slices"), &options->slices))
        return false;
    if (parsed.Has("--stacks") && !ParseDivisions("--stacks", parsed.Value("--stacks"), &options->stacks))
        return false;
    options->normals = parsed.Has("--normals");
    options->adjacency = parsed.Has("--adjacency");
    options->index32 = parsed.Has("--index32");
    options->list = parsed.Has("--list");
    options->objPath = parsed.Value("--obj");
    options->plyPath = parsed.Value("--ply");
    if (options->objPath != nullptr && options->plyPath != nullptr &&
        platform::SameOutputTarget(options->objPath, options->plyPath))
        return RefuseSphere("--obj and --ply name the same file");
    const UINT slices = Effective(options->slices), stacks = Effective(options->stacks);
    const DWORD faces = 2 * slices * (stacks - 1);
    if (faces > kMaxFaces16 && !options->index32)
        return RefuseSphere(std::to_string(slices) + " slices by " + std::to_string(stacks) + " stacks make " +
                            std::to_string(faces) + " faces, more than the 65534 a mesh with 16-bit indices holds; " +
                            "try --index32");
    return true;
}
