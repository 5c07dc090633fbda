// What the processor offers: the CPUID feature flag word, the SSE word, and the report
// (real or, in tests, presented) they are read from.
#include "math/dispatch_testing.h"
#include "springdrop/system/system.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace facet {

namespace {

class RealProcessor final : public ProcessorReport {
public:
    bool Cpuid(std::uint32_t leaf, CpuidResult* result) override {
#if defined(__x86_64__) || defined(__i386__)
        if (__get_cpuid_max(0, nullptr) == 0) return false;  // no CPUID instruction
        __cpuid(leaf, result->eax, result->ebx, result->ecx, result->edx);
        return true;
#else
        *result = CpuidResult{};
        (void)leaf;
        return false;
#endif
    }
    BOOL IsFeaturePresent(DWORD feature) override { return IsProcessorFeaturePresent(feature); }
};

RealProcessor g_realProcessor;
ProcessorReport* g_processor = &g_realProcessor;

bool Bit(std::uint32_t word, int bit) { return ((word >> bit) & 1u) != 0; }

// CPUID without a fault guard: a fault leaves the result zero.
CpuidResult CpuidUnguarded(std::uint32_t leaf) {
    CpuidResult result{};
    if (!g_processor->Cpuid(leaf, &result)) result = CpuidResult{};
    return result;
}

}  // namespace

ProcessorReport& CurrentProcessorReport() { return *g_processor; }

void SetProcessorReport(ProcessorReport* report) {
    g_processor = report != nullptr ? report : &g_realProcessor;
}

std::uint32_t QueryCpuFeatures() {
    CpuidUnguarded(0);  // the first execution's result is not used
    std::uint32_t flags = kCpuCpuidExecuted;
    if (CpuidUnguarded(0).eax == 0) return flags;
    flags |= kCpuStandardLeaves;
    const CpuidResult standard = CpuidUnguarded(1);
    if (Bit(standard.edx, 23)) flags |= kCpuMmx;
    if (Bit(standard.edx, 25)) flags |= kCpuSse;
    if (CpuidUnguarded(0x80000000u).eax <= 0x80000000u) return flags;
    flags |= kCpuExtendedLeaves;
    const CpuidResult extended = CpuidUnguarded(0x80000001u);
    if (Bit(extended.edx, 31)) flags |= kCpu3DNow;
    if (Bit(extended.edx, 30)) flags |= kCpuExtended3DNow;
    if (Bit(extended.edx, 22)) flags |= kCpuMmxExtensions;
    return flags;
}

std::uint32_t QuerySseSupport() {
    std::uint32_t result = 0;
    // The guard: a processor fault ends the query with what has been gathered (nothing).
    CpuidResult leaf0{};
    if (!g_processor->Cpuid(0, &leaf0)) return result;
    if (leaf0.eax == 0) return 0;
    CpuidResult leaf1{};
    if (!g_processor->Cpuid(1, &leaf1)) return result;
    if (Bit(leaf1.edx, 25)) result |= kSseWordSse;
    if (Bit(leaf1.edx, 26)) result |= kSseWordSse2;
    return result;
}

}  // namespace facet
