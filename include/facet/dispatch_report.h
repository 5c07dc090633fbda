// A readable report of the math library's dispatch choice.
#pragma once

#include <cstdio>

namespace facet {

// Initialises the dispatch table if needed, then writes DispatchLevel, the feature flag
// word (hex), the SSE word (hex) and one line per slot: its number, routine name and the
// family installed there.
void WriteDispatchReport(std::FILE* to);

}  // namespace facet
