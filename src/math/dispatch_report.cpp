// The text report of the dispatch choice: level, processor words and every slot's family.
#include <cstdio>

#include "facet/dispatch.h"
#include "facet/dispatch_report.h"

namespace facet {

void WriteDispatchReport(std::FILE* to) {
    InitDispatchTable(1);
    std::fprintf(to, "DispatchLevel: %d\n", DispatchLevel);
    std::fprintf(to, "Feature flags: 0x%03X\n", QueryCpuFeatures());
    std::fprintf(to, "SSE word: 0x%X\n", QuerySseSupport());
    for (int slot = 0; slot < kSlotCount; ++slot) {
        std::fprintf(to, "%2d  %-32s %s\n", slot, SlotName(slot), FamilyName(DispatchTable.family[slot]));
    }
}

}  // namespace facet
