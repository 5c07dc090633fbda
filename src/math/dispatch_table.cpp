// The process-wide dispatch table, its first-call stubs and the one-time initialisation
// that chooses a routine family for this processor.
#include <cstddef>
#include <cstring>

#include "facet/dispatch.h"
#include "math/dispatch_testing.h"
#include "math/routine_install.h"

namespace facet {

namespace {

// The stub of a slot initialises the table, then continues at whatever the slot now holds
// with the caller's arguments.
template <auto Member>
struct FirstCall;
template <typename Result, typename... Args, Result (*RoutineSlots::*Member)(Args...)>
struct FirstCall<Member> {
    static Result Call(Args... args) {
        InitDispatchTable(1);
        return (DispatchTable.routines.*Member)(args...);
    }
};

constexpr RoutineTable MakeStubTable() {
    RoutineTable table{};
#define FACET_INSTALL_STUB(name)                                            \
    table.routines.name = &FirstCall<&RoutineSlots::name>::Call;            \
    table.family[static_cast<int>(Slot::name)] = RoutineFamily::FirstCallStub;
    FACET_DISPATCHED_ROUTINES(FACET_INSTALL_STUB)
#undef FACET_INSTALL_STUB
    return table;
}

constexpr RoutineTable kStubTable = MakeStubTable();

struct SlotInfo {
    const char* name;
    std::size_t offset;
};

constexpr SlotInfo kSlots[kSlotCount] = {
#define FACET_SLOT_INFO(name) {#name, offsetof(RoutineSlots, name)},
    FACET_DISPATCHED_ROUTINES(FACET_SLOT_INFO)
#undef FACET_SLOT_INFO
};

static_assert(sizeof(RoutineSlots) == kSlotCount * sizeof(AnyRoutine),
              "one routine pointer per slot, nothing else");

std::int32_t ReadMode() {
    DWORD mode = 0;
    if (ReadDirect3DSetting(REG_DWORD, "DisablePSGP", &mode, sizeof(mode)) == 0) mode = 0;
    DWORD facetMode = 0;
    if (ReadDirect3DSetting(REG_DWORD, "DisableFacetPSGP", &facetMode, sizeof(facetMode)) == 1) {
        mode = facetMode;
    }
    return static_cast<std::int32_t>(mode);
}

}  // namespace

RoutineTable DispatchTable = kStubTable;
std::int32_t DispatchLevel = kDispatchLevelUnchosen;

std::int32_t InitDispatchTable(std::int32_t /*enable*/) {
    CheckAllocatorConformance();
    if (DispatchLevel != kDispatchLevelUnchosen) return DispatchLevel;

    // The level leaves 0xFFFF before the copy, so a caller arriving meanwhile returns at
    // once and retries its slot instead of starting a second fill.
    DispatchLevel = 0;
    DispatchTable = PortableTable;
    FillX87Routines(&DispatchTable);

    const std::int32_t mode = ReadMode();
    if (mode == 1) return DispatchLevel;

    ProcessorReport& processor = CurrentProcessorReport();
    if (mode != 2 && processor.IsFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE) != 0) {
        Fill3DNowRoutines(&DispatchTable);
        DispatchLevel = 1;
    } else if ((QuerySseSupport() & kSseWordSse2) != 0) {
        FillSse2Routines(&DispatchTable);
        DispatchLevel = 2;
    } else if (processor.IsFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0) {
        FillSseRoutines(&DispatchTable);
        DispatchLevel = 3;
    }
    return DispatchLevel;
}

AnyRoutine SlotRoutine(const RoutineTable& table, int slot) {
    if (slot < 0 || slot >= kSlotCount) return nullptr;
    AnyRoutine routine = nullptr;
    std::memcpy(&routine, reinterpret_cast<const char*>(&table.routines) + kSlots[slot].offset,
                sizeof(routine));
    return routine;
}

const char* SlotName(int slot) {
    if (slot < 0 || slot >= kSlotCount) return "";
    return kSlots[slot].name;
}

const char* FamilyName(RoutineFamily family) {
    switch (family) {
        case RoutineFamily::FirstCallStub: return "first-call stub";
        case RoutineFamily::Portable: return "portable";
        case RoutineFamily::X87: return "x87";
        case RoutineFamily::ThreeDNow: return "3dnow";
        case RoutineFamily::ExtendedThreeDNow: return "3dnow-ext";
        case RoutineFamily::Sse: return "sse";
        case RoutineFamily::Sse2: return "sse2";
    }
    return "unknown";
}


void ResetDispatchForTesting() {
    DispatchTable = kStubTable;
    DispatchLevel = kDispatchLevelUnchosen;
    ResetAllocatorCheckForTesting();
}

}  // namespace facet
