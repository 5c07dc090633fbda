// Processor feature queries from CPUID. On x86-64 Linux the operating system saves the
// SSE state whenever the processor reports SSE, so the CPUID bit alone decides.
#include "springdrop/system/system.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)
bool CpuidEdxBit(unsigned leaf, unsigned bit) {
    unsigned highest = __get_cpuid_max(leaf & 0x80000000u, nullptr);
    if (highest < leaf) return false;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(leaf, &eax, &ebx, &ecx, &edx)) return false;
    return (edx >> bit) & 1u;
}
#endif

}  // namespace

BOOL IsProcessorFeaturePresent(DWORD feature) {
#if defined(__x86_64__) || defined(__i386__)
    switch (feature) {
        case PF_XMMI_INSTRUCTIONS_AVAILABLE: return CpuidEdxBit(1, 25) ? TRUE : FALSE;
        case PF_3DNOW_INSTRUCTIONS_AVAILABLE: return CpuidEdxBit(0x80000001u, 31) ? TRUE : FALSE;
        case PF_XMMI64_INSTRUCTIONS_AVAILABLE: return CpuidEdxBit(1, 26) ? TRUE : FALSE;
        default: return FALSE;
    }
#else
    (void)feature;
    return FALSE;
#endif
}
