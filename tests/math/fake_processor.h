// A processor presented to the dispatch initialisation in place of the real one.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "math/dispatch_testing.h"

namespace facet::testing {

struct FakeProcessor final : ProcessorReport {
    bool hasCpuid = true;
    std::uint32_t maxStandardLeaf = 1;
    std::uint32_t maxExtendedLeaf = 0x80000001u;
    std::uint32_t standardEdx = 0;   // leaf 1
    std::uint32_t extendedEdx = 0;   // leaf 0x80000001
    bool osReports3DNow = false;     // feature 7
    bool osReportsSse = false;       // feature 6

    bool Cpuid(std::uint32_t leaf, CpuidResult* result) override {
        if (!hasCpuid) return false;
        *result = CpuidResult{};
        if (leaf == 0) result->eax = maxStandardLeaf;
        if (leaf == 1) result->edx = standardEdx;
        if (leaf == 0x80000000u) result->eax = maxExtendedLeaf;
        if (leaf == 0x80000001u) result->edx = extendedEdx;
        return true;
    }
    BOOL IsFeaturePresent(DWORD feature) override {
        if (feature == PF_3DNOW_INSTRUCTIONS_AVAILABLE) return osReports3DNow ? 1 : 0;
        if (feature == PF_XMMI_INSTRUCTIONS_AVAILABLE) return osReportsSse ? 1 : 0;
        return 0;
    }

    static constexpr std::uint32_t kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26;
    static constexpr std::uint32_t k3DNow = 1u << 31, kExtended3DNow = 1u << 30, kMmxExtensions = 1u << 22;

    static FakeProcessor Sse2() {
        FakeProcessor p;
        p.standardEdx = kMmx | kSse | kSse2;
        p.osReportsSse = true;
        return p;
    }
    static FakeProcessor SseOnly() {
        FakeProcessor p;
        p.standardEdx = kMmx | kSse;
        p.osReportsSse = true;
        return p;
    }
    // MMX, 3DNow!, extended 3DNow!, MMX extensions and SSE (and, optionally, SSE2).
    static FakeProcessor Full3DNow(bool withSse2 = false) {
        FakeProcessor p;
        p.standardEdx = kMmx | kSse | (withSse2 ? kSse2 : 0u);
        p.extendedEdx = k3DNow | kExtended3DNow | kMmxExtensions;
        p.osReports3DNow = true;
        p.osReportsSse = true;
        return p;
    }
};

// Presents `processor` for the lifetime of the guard and starts from a clean table.
class PresentProcessor {
public:
    explicit PresentProcessor(FakeProcessor* processor) {
        unsetenv("DisablePSGP");
        unsetenv("DisableFacetPSGP");
        SetProcessorReport(processor);
        ResetDispatchForTesting();
    }
    ~PresentProcessor() {
        SetProcessorReport(nullptr);
        ResetDispatchForTesting();
    }
    PresentProcessor(const PresentProcessor&) = delete;
    PresentProcessor& operator=(const PresentProcessor&) = delete;
};

}  // namespace facet::testing
