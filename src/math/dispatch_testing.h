// The dispatch table's test seams, outside the installed headers: the processor report
// that detection reads (tests install fake processors through it) and the reset that lets
// a test run the first-call initialisation again. Facet's own detection and the tests
// include this; no caller of the library sees it.
#pragma once

#include <cstdint>

#include "facet/dispatch.h"

namespace facet {

// What the processor and the operating system report. Production answers from the CPUID
// instruction and the platform's IsProcessorFeaturePresent; tests present fake processors.
struct CpuidResult {
    std::uint32_t eax, ebx, ecx, edx;
};
class ProcessorReport {
public:
    virtual ~ProcessorReport() = default;
    // Executes CPUID with `leaf`; false when the processor faults (it has no CPUID).
    virtual bool Cpuid(std::uint32_t leaf, CpuidResult* result) = 0;
    virtual BOOL IsFeaturePresent(DWORD feature) = 0;
};
// The report in use; by default the real processor.
ProcessorReport& CurrentProcessorReport();
// Installs `report` (null restores the real processor). Not owned.
void SetProcessorReport(ProcessorReport* report);

// Restores the first-call stubs, DispatchLevel 0xFFFF and the allocator-check flag, so
// that initialisation runs again from a clean table.
void ResetDispatchForTesting();

}  // namespace facet
