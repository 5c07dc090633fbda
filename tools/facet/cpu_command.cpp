// facet cpu: which math routine family this processor gets, slot by slot.
#include "command_line.h"
#include "command_support.h"
#include "commands.h"
#include "standard_output.h"
#include "text_escapes.h"

#include "facet/dispatch_report.h"

#include <cstdio>

namespace {

void PrintCpuUsage(std::FILE* to) {
    std::fputs(
        "usage: facet cpu [--help]\n"
        "Detects the processor, fills the math dispatch table and prints the dispatch level\n"
        "(0 portable+x87, 1 3DNow!, 2 SSE2, 3 SSE), the feature flag word, the SSE word and\n"
        "the routine family installed in each of the 73 slots.\n"
        "The settings DisablePSGP and DisableFacetPSGP (environment) restrict the choice.\n"
        "example: DisablePSGP=1 facet cpu\n",
        to);
}

}  // namespace

int RunCpuCommand(int argc, char** argv) {
    ParsedCommandLine parsed;
    if (!ParseCommandLine("cpu", argc, argv, {}, &parsed)) return kExitRefused;
    if (parsed.help) {
        PrintCpuUsage(stdout);
        return 0;
    }
    if (!parsed.positionals.empty()) {
        std::fprintf(stderr, "facet cpu: unexpected argument %s (try facet cpu --help)\n",
                     QuotedArgument(parsed.positionals[0]).c_str());
        return kExitRefused;
    }
    const bool written = WriteStandardOutput("cpu", [](std::FILE* out) {
        facet::WriteDispatchReport(out);
        return StreamGood(out);
    });
    return written ? 0 : kExitRefused;
}
