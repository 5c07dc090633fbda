// What the geometry benchmarks share: one headless software device for the whole run and
// the faces-per-second counters.
#pragma once

#include "../../tools/facet/headless_device.h"
#include "d3d9/instrumentation.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

namespace geometry_bench {

inline IDirect3DDevice9* Device() {
    static facet_tools::HeadlessDevice* holder = [] {
        d3d9sw::SetCallLogging(false);
        auto* created = new facet_tools::HeadlessDevice();
        if (created->Create() != D3D_OK) std::abort();
        return created;
    }();
    return holder->device();
}

// Items per second are faces per second; "faces" shows the size.
inline void SetFaces(benchmark::State& state, std::uint64_t faces) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(faces));
    state.counters["faces"] = static_cast<double>(faces);
    state.counters["ns_per_face"] = benchmark::Counter(static_cast<double>(faces) * 1e-9,
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

}  // namespace geometry_bench
