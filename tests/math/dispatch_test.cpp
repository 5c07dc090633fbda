// Dispatch initialisation with presented processors and settings: level, the family in
// every slot, the mode switches and their override, and the processor words.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "facet/dispatch.h"
#include "fake_processor.h"

namespace facet {
namespace {

using testing::FakeProcessor;
using testing::PresentProcessor;

std::set<int> Range(int from, int to) {
    std::set<int> s;
    for (int i = from; i <= to; ++i) s.insert(i);
    return s;
}
std::set<int> Union(std::initializer_list<std::set<int>> parts) {
    std::set<int> s;
    for (const auto& p : parts) s.insert(p.begin(), p.end());
    return s;
}

// Every slot in `slots` holds `family`; returns the slots that do.
void ExpectFamily(const std::set<int>& slots, RoutineFamily family) {
    for (int slot : slots) {
        EXPECT_EQ(DispatchTable.family[slot], family)
            << "slot " << slot << " " << SlotName(slot) << " holds " << FamilyName(DispatchTable.family[slot]);
    }
}
void ExpectOthersPortable(const std::set<int>& taken) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (taken.count(slot) == 0) {
            EXPECT_EQ(SlotRoutine(DispatchTable, slot), SlotRoutine(PortableTable, slot)) << "slot " << slot;
        }
    }
}

const std::set<int> kX87Slots = Union({Range(0, 7), {34}});
const std::set<int> kSse2Slots =
    Union({Range(0, 11), {13}, Range(16, 22), {24, 25, 27, 28, 34}, Range(47, 54), Range(58, 65), Range(68, 70)});
const std::set<int> kSseArraySlots = Union({Range(59, 65), {68}});
const std::set<int> kSharedSseSlots = Union({{0, 3, 4, 5, 8, 9, 17, 19, 20, 22}, Range(47, 54), {69, 70}});

TEST(Dispatch, StartsWithStubsAndTheFirstCallInitialisesOnce) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    PresentProcessor present(&cpu);
    EXPECT_EQ(DispatchLevel, 0xFFFF);
    ExpectFamily(Range(0, 72), RoutineFamily::FirstCallStub);

    const Vector3 in{0, -1, -1};
    Vector3 out;
    EXPECT_EQ(Vec3Normalize(&out, &in), &out);  // through the stub of slot 7
    EXPECT_NEAR(out.y, -0.70710677f, 1e-6f);
    EXPECT_NEAR(out.z, -0.70710677f, 1e-6f);
    EXPECT_EQ(DispatchLevel, 2);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_NE(DispatchTable.family[slot], RoutineFamily::FirstCallStub) << slot;
    }
}

TEST(Dispatch, Sse2ProcessorGetsTheSse2FamilyAndLeavesQuaternionInversePortable) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    PresentProcessor present(&cpu);
    EXPECT_EQ(InitDispatchTable(1), 2);
    ExpectFamily(kSse2Slots, RoutineFamily::Sse2);
    ExpectOthersPortable(kSse2Slots);
    EXPECT_EQ(DispatchTable.family[44], RoutineFamily::Portable);
}

TEST(Dispatch, SseOnlyProcessorGetsLevelThreeWithItsOwnQuaternionInverse) {
    FakeProcessor cpu = FakeProcessor::SseOnly();
    PresentProcessor present(&cpu);
    EXPECT_EQ(InitDispatchTable(1), 3);
    const std::set<int> sseSlots = Union({kSse2Slots, {44}});
    ExpectFamily(sseSlots, RoutineFamily::Sse);
    ExpectOthersPortable(sseSlots);
}

TEST(Dispatch, SseAndSse2ShareExactlyTheListedRoutines) {
    RoutineTable sse = PortableTable, sse2 = PortableTable;
    FillSseRoutines(&sse);
    FillSse2Routines(&sse2);
    for (int slot : kSse2Slots) {
        const bool same = SlotRoutine(sse, slot) == SlotRoutine(sse2, slot);
        EXPECT_EQ(same, kSharedSseSlots.count(slot) == 1) << "slot " << slot << " " << SlotName(slot);
    }
}

TEST(Dispatch, DisablePSGPHoldsTheLibraryToPortableAndX87) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    PresentProcessor present(&cpu);
    setenv("DisablePSGP", "1", 1);
    EXPECT_EQ(InitDispatchTable(1), 0);
    ExpectFamily(kX87Slots, RoutineFamily::X87);
    ExpectOthersPortable(kX87Slots);
}

TEST(Dispatch, DisableFacetPSGPOverridesEvenWithZero) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    PresentProcessor present(&cpu);
    setenv("DisablePSGP", "1", 1);
    setenv("DisableFacetPSGP", "0", 1);
    EXPECT_EQ(InitDispatchTable(1), 2);
}

TEST(Dispatch, DisableFacetPSGPAloneAlsoSelectsTheMode) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    PresentProcessor present(&cpu);
    setenv("DisableFacetPSGP", "0x1", 1);
    EXPECT_EQ(InitDispatchTable(1), 0);
}

TEST(Dispatch, SwitchStoredAsTextCountsAsAbsent) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    PresentProcessor present(&cpu);
    setenv("DisablePSGP", "yes", 1);
    setenv("DisableFacetPSGP", "one", 1);
    EXPECT_EQ(InitDispatchTable(1), 2);
}

TEST(Dispatch, ModeTwoSkips3DNowInFavourOfSse2) {
    FakeProcessor cpu = FakeProcessor::Full3DNow(/*withSse2=*/true);
    PresentProcessor present(&cpu);
    setenv("DisablePSGP", "2", 1);
    EXPECT_EQ(InitDispatchTable(1), 2);
    ExpectFamily(kSse2Slots, RoutineFamily::Sse2);
}

TEST(Dispatch, OtherModeValuesMeanFullDetection) {
    FakeProcessor cpu = FakeProcessor::Full3DNow(/*withSse2=*/true);
    PresentProcessor present(&cpu);
    setenv("DisablePSGP", "3", 1);
    EXPECT_EQ(InitDispatchTable(1), 1);  // 3DNow! is preferred over SSE2
}

TEST(Dispatch, Full3DNowProcessorGetsBothThreeDNowSetsAndTheSseArrays) {
    FakeProcessor cpu = FakeProcessor::Full3DNow();
    PresentProcessor present(&cpu);
    EXPECT_EQ(InitDispatchTable(1), 1);
    const std::set<int> extended{15, 18, 24, 38};
    std::set<int> plain = Union({Range(0, 38), Range(40, 58)});
    for (int slot : extended) plain.erase(slot);
    ExpectFamily(plain, RoutineFamily::ThreeDNow);
    ExpectFamily(extended, RoutineFamily::ExtendedThreeDNow);
    ExpectFamily(kSseArraySlots, RoutineFamily::Sse);
    ExpectFamily({39, 66, 67, 69, 70, 71, 72}, RoutineFamily::Portable);
}

TEST(Dispatch, ThreeDNowWithoutExtensionsKeepsThePlainRoutines) {
    FakeProcessor cpu = FakeProcessor::Full3DNow();
    cpu.extendedEdx &= ~FakeProcessor::kMmxExtensions;
    PresentProcessor present(&cpu);
    EXPECT_EQ(InitDispatchTable(1), 1);
    ExpectFamily({15, 18, 24, 38}, RoutineFamily::ThreeDNow);
}

TEST(Dispatch, ThreeDNowReportedWithoutTheCpuidBitsInstallsOnlyTheSseArrays) {
    FakeProcessor cpu = FakeProcessor::Full3DNow();
    cpu.standardEdx &= ~FakeProcessor::kMmx;
    PresentProcessor present(&cpu);
    EXPECT_EQ(InitDispatchTable(1), 1);
    ExpectFamily(kX87Slots, RoutineFamily::X87);
    ExpectFamily(kSseArraySlots, RoutineFamily::Sse);
    ExpectOthersPortable(Union({kX87Slots, kSseArraySlots}));
}

TEST(Dispatch, ThreeDNowReportedWithNeitherCpuidBitNorSseInstallsNothingButStaysLevelOne) {
    FakeProcessor cpu;
    cpu.osReports3DNow = true;
    PresentProcessor present(&cpu);
    EXPECT_EQ(InitDispatchTable(1), 1);
    ExpectFamily(kX87Slots, RoutineFamily::X87);
    ExpectOthersPortable(kX87Slots);
}

TEST(Dispatch, ProcessorWithoutCpuidRunsOnPortableAndX87) {
    FakeProcessor cpu;
    cpu.hasCpuid = false;
    PresentProcessor present(&cpu);
    EXPECT_EQ(QuerySseSupport(), 0u);
    EXPECT_EQ(InitDispatchTable(1), 0);
    ExpectOthersPortable(kX87Slots);
}

TEST(Dispatch, SecondInitialisationReturnsTheStoredLevelAndChangesNothing) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    PresentProcessor present(&cpu);
    EXPECT_EQ(InitDispatchTable(1), 2);
    const RoutineTable before = DispatchTable;
    setenv("DisablePSGP", "1", 1);
    cpu.standardEdx = 0;
    EXPECT_EQ(InitDispatchTable(1), 2);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(SlotRoutine(DispatchTable, slot), SlotRoutine(before, slot));
    }
}

TEST(Dispatch, FillRoutinesTouchOnlyTheirSlots) {
    const RoutineTable blank{};
    RoutineTable table = blank;
    FillX87Routines(&table);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(SlotRoutine(table, slot) != nullptr, kX87Slots.count(slot) == 1) << slot;
    }
    table = blank;
    FillSse2Routines(&table);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(SlotRoutine(table, slot) != nullptr, kSse2Slots.count(slot) == 1) << slot;
    }
}

TEST(ProcessorWords, FeatureFlagsFollowTheCpuidBits) {
    FakeProcessor cpu = FakeProcessor::Full3DNow();
    PresentProcessor present(&cpu);
    EXPECT_EQ(QueryCpuFeatures(), 0x001u | 0x002u | 0x004u | 0x020u | 0x040u | 0x080u | 0x100u | 0x200u);
    cpu.maxExtendedLeaf = 0x80000000u;  // no extended leaf beyond the query itself
    EXPECT_EQ(QueryCpuFeatures(), 0x001u | 0x002u | 0x020u | 0x040u);
    cpu.maxStandardLeaf = 0;
    EXPECT_EQ(QueryCpuFeatures(), 0x001u);
}

TEST(ProcessorWords, SseWordComesFromCpuidAlone) {
    FakeProcessor cpu = FakeProcessor::Sse2();
    cpu.osReportsSse = false;
    PresentProcessor present(&cpu);
    EXPECT_EQ(QuerySseSupport(), 4u | 8u);
    cpu.standardEdx = FakeProcessor::kSse;
    EXPECT_EQ(QuerySseSupport(), 4u);
    cpu.maxStandardLeaf = 0;
    EXPECT_EQ(QuerySseSupport(), 0u);
}

TEST(Direct3DSetting, OnlyAStoredDwordOfTheExpectedTypeCounts) {
    DWORD value = 77;
    unsetenv("FacetTestSetting");
    EXPECT_EQ(ReadDirect3DSetting(REG_DWORD, "FacetTestSetting", &value, sizeof(value)), 0);
    setenv("FacetTestSetting", "0x2A", 1);
    EXPECT_EQ(ReadDirect3DSetting(REG_DWORD, "FacetTestSetting", &value, sizeof(value)), 1);
    EXPECT_EQ(value, 42u);
    EXPECT_EQ(ReadDirect3DSetting(REG_SZ, "FacetTestSetting", &value, sizeof(value)), 0);
    setenv("FacetTestSetting", "text", 1);
    EXPECT_EQ(ReadDirect3DSetting(REG_DWORD, "FacetTestSetting", &value, sizeof(value)), 0);
}

TEST(SlotNames, FollowTheSlotOrder) {
    EXPECT_STREQ(SlotName(0), "Vec2Transform");
    EXPECT_STREQ(SlotName(7), "Vec3Normalize");
    EXPECT_STREQ(SlotName(34), "PlaneTransform");
    EXPECT_STREQ(SlotName(72), "MatrixAffineTransformation2D");
    EXPECT_STREQ(SlotName(73), "");
    EXPECT_EQ(SlotRoutine(PortableTable, -1), nullptr);
}

}  // namespace
}  // namespace facet
