// The dispatch report behind `facet cpu`, and the command's option handling.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "facet/dispatch.h"
#include "facet/dispatch_report.h"

// The command is part of the facet program's own library, tested here in-process.
#include "commands.h"

namespace facet {
namespace {

std::string Report() {
    std::FILE* file = std::tmpfile();
    WriteDispatchReport(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
}

std::string SlotLine(const std::string& report, int slot) {
    char start[8];
    std::snprintf(start, sizeof(start), "\n%2d  ", slot);
    const std::size_t at = report.find(start);
    if (at == std::string::npos) return "";
    return report.substr(at + 1, report.find('\n', at + 1) - at - 1);
}

bool HostHasSse2() {
#if defined(__x86_64__)
    return true;
#else
    return false;
#endif
}

TEST(DispatchReport, ThisMachineRunsTheSse2Family) {
    if (!HostHasSse2()) GTEST_SKIP() << "not an x86-64 host";
    unsetenv("DisablePSGP");
    unsetenv("DisableFacetPSGP");
    const std::string report = Report();
    EXPECT_EQ(report.rfind("DispatchLevel: 2\n", 0), 0u) << report;
    EXPECT_NE(report.find("Feature flags: 0x"), std::string::npos);
    EXPECT_NE(report.find("SSE word: 0xC\n"), std::string::npos);
    EXPECT_EQ(SlotLine(report, 7), " 7  Vec3Normalize                    sse2");
    EXPECT_EQ(SlotLine(report, 72), "72  MatrixAffineTransformation2D     portable");
}

TEST(DispatchReport, DisablePSGPShowsLevelZeroWithTheX87Set) {
    setenv("DisablePSGP", "1", 1);
    const std::string report = Report();
    EXPECT_EQ(report.rfind("DispatchLevel: 0\n", 0), 0u);
    for (int slot : {0, 1, 2, 3, 4, 5, 6, 7, 34}) {
        const std::string line = SlotLine(report, slot);
        EXPECT_EQ(line.substr(line.size() - 3), "x87") << line;
    }
    EXPECT_EQ(SlotLine(report, 8).substr(SlotLine(report, 8).size() - 8), "portable");
}

TEST(DispatchReport, DisableFacetPSGPZeroRestoresFullDetection) {
    if (!HostHasSse2()) GTEST_SKIP() << "not an x86-64 host";
    setenv("DisablePSGP", "1", 1);
    setenv("DisableFacetPSGP", "0", 1);
    EXPECT_EQ(Report().rfind("DispatchLevel: 2\n", 0), 0u);
}

TEST(CpuCommand, HelpSucceedsAndUnknownOptionsAreRefused) {
    char help[] = "--help";
    char* helpArgs[] = {help};
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(RunCpuCommand(1, helpArgs), 0);
    const std::string usage = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(usage.find("example: "), std::string::npos);

    char bogus[] = "--bogus";
    char* bogusArgs[] = {bogus};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunCpuCommand(1, bogusArgs), 2);
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(error.find("--bogus"), std::string::npos);
    EXPECT_EQ(error.find('\n'), error.size() - 1);  // one line
    EXPECT_EQ(DispatchLevel, 0xFFFF);              // refused before initialising
}

}  // namespace
}  // namespace facet
