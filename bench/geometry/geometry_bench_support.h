// What the geometry benchmarks share: one headless software device for the whole run and
// the faces-per-second counters.
#pragma once

#include "headless_device.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace geometry_bench {

inline IDirect3DDevice9* Device() { return facet_tools::ProcessDevice(); }

// Items per second are faces per second; "faces" shows the size.
inline void SetFaces(benchmark::State& state, std::uint64_t faces) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(faces));
    state.counters["faces"] = static_cast<double>(faces);
    state.counters["ns_per_face"] = benchmark::Counter(static_cast<double>(faces) * 1e-9,
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

}  // namespace geometry_bench
