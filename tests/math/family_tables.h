// The routine tables of every family, each filled over the portable table the way
// initialisation fills the dispatch table, for comparing variants with the portable routines.
#pragma once

#include <string>
#include <vector>

#include "facet/dispatch.h"
#include "fake_processor.h"

namespace facet::testing {

struct FamilyTable {
    std::string name;
    RoutineTable table;
};

inline std::vector<FamilyTable> AllFamilyTables() {
    std::vector<FamilyTable> tables;
    RoutineTable x87 = PortableTable;
    FillX87Routines(&x87);
    tables.push_back({"x87", x87});

    FakeProcessor full = FakeProcessor::Full3DNow();
    SetProcessorReport(&full);
    RoutineTable extended = PortableTable;
    Fill3DNowRoutines(&extended);
    tables.push_back({"3dnow-ext", extended});
    FakeProcessor plain = FakeProcessor::Full3DNow();
    plain.extendedEdx &= ~FakeProcessor::kExtended3DNow;
    SetProcessorReport(&plain);
    RoutineTable threeDNow = PortableTable;
    Fill3DNowRoutines(&threeDNow);
    tables.push_back({"3dnow", threeDNow});
    SetProcessorReport(nullptr);

#if defined(__x86_64__)
    RoutineTable sse = PortableTable, sse2 = PortableTable;
    FillSseRoutines(&sse);
    FillSse2Routines(&sse2);
    tables.push_back({"sse", sse});
    tables.push_back({"sse2", sse2});
#endif
    return tables;
}

}  // namespace facet::testing
