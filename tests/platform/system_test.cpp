// Processor features, modules and exports, and debugger output.
#include "springdrop/shell/shell.h"

#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

int g_exportCalls = 0;
void CountingExport() { ++g_exportCalls; }

}  // namespace

TEST(Win32System, ProcessorFeaturesFollowCpuid) {
#if defined(__x86_64__)
    // Every x86-64 processor has SSE and SSE2.
    EXPECT_TRUE(IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE));
    EXPECT_TRUE(IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE));
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool extended = static_cast<unsigned>(__get_cpuid_max(0x80000000u, nullptr)) >= 0x80000001u &&
                    __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx);
    EXPECT_EQ(IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE) != 0, extended && (edx >> 31) != 0);
#else
    EXPECT_FALSE(IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE));
#endif
    EXPECT_FALSE(IsProcessorFeaturePresent(0));
    EXPECT_FALSE(IsProcessorFeaturePresent(12345));
}

TEST(Win32System, OnlyRegisteredModulesAreLoadedAndFindTheirExports) {
    EXPECT_EQ(GetModuleHandleA("d3d9.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("d3d9.dll"), nullptr);
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);  // the program itself

    platform::RegisterModuleExport("d3d9.dll", "DebugSetMute", CountingExport);
    HMODULE module = GetModuleHandleA("D3D9.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetModuleHandleA("d3d9"), module);  // no extension means the .dll
    EXPECT_EQ(LoadLibraryA("d3d9.dll"), module);
    EXPECT_EQ(GetModuleHandleA("d3d9d.dll"), nullptr);

    FARPROC found = GetProcAddress(module, "DebugSetMute");
    ASSERT_NE(found, nullptr);
    found();
    EXPECT_EQ(g_exportCalls, 1);
    EXPECT_EQ(GetProcAddress(module, "debugsetmute"), nullptr);  // export names keep their case
    EXPECT_EQ(GetProcAddress(module, "Other"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "DebugSetMute"), nullptr);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(Win32System, DebugOutputGoesToStandardErrorUnchanged) {
    testing::internal::CaptureStderr();
    OutputDebugStringA("warning: first line\n");
    OutputDebugStringA("no newline");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: first line\nno newline");
}
