// Fault sweep of the demo: a short run (start-up, three frames with an F1 rebuild before
// the second, then the close path) is repeated once for every device call it makes, with
// exactly that call failing. Each run happens in a forked child so it starts from fresh
// process-wide state. Every run must end without a crash through the close path with
// exit code 0, keep drawing the three overlay lines on every frame, and leave no device
// object alive.
#include "app/lifecycle.h"
#include "demo_test_support.h"
#include "render/device_setup.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kFramesBeforeClose = 3;
constexpr int kRebuildBeforeFrame = 2;
constexpr HRESULT kInjectedCode = D3DERR_INVALIDCALL;

// What a child reports to the sweeping parent.
struct RunReport {
    int winMainResult = -1;
    int liveObjectsAfterClose = -1;
    int framesWithOverlay = 0;
    int callCount = 0;
    bool faultHit = false;
    char faultedMethod[48] = {};
};

// True when each of the three overlay lines left dark text pixels in its band.
bool OverlayVisible(HWND hwnd) {
    platform::Image image;
    if (!platform::ReadClientImage(hwnd, &image)) return false;
    for (int line = 0; line < 3; ++line) {
        int dark = 0;
        for (int y = 10 + 20 * line; y < 26 + 20 * line; ++y)
            for (int x = 0; x < 200; ++x)
                if (image.rgba[(y * image.width + x) * 4] < 128) ++dark;
        if (dark < 20) return false;
    }
    return true;
}

// The short run, with the call at `faultIndex` failing (none when negative).
RunReport ShortRun(int faultIndex) {
    RunReport report;
    app::Demo demo;
    d3d9sw::ResetInstrumentation();
    if (faultIndex >= 0) d3d9sw::InjectFaultAtCallIndex(static_cast<unsigned>(faultIndex), kInjectedCode);
    report.winMainResult = demo_test::RunHeadless(demo, [&](int frame) {
        if (frame > 1 && OverlayVisible(demo.hwnd)) ++report.framesWithOverlay;
        if (frame == kRebuildBeforeFrame) platform::InjectKeyDown(demo.hwnd, VK_F1);
        if (frame == kFramesBeforeClose + 1) PostMessageA(demo.hwnd, WM_CLOSE, 0, 0);
    });
    report.liveObjectsAfterClose = d3d9sw::LiveObjectCount();
    const auto& log = d3d9sw::CallLog();
    report.callCount = static_cast<int>(log.size());
    if (faultIndex >= 0 && faultIndex < report.callCount) {
        const d3d9sw::CallRecord& faulted = log[static_cast<std::size_t>(faultIndex)];
        report.faultHit = faulted.result == kInjectedCode;
        std::snprintf(report.faultedMethod, sizeof(report.faultedMethod), "%s", faulted.method.c_str());
    }
    return report;
}

// Runs ShortRun in a forked child; `methods` receives the child's logged method names.
// `crashed` tells a signal or an unexpected exit status (a sanitizer report) apart from
// a report.
RunReport ShortRunInChild(int faultIndex, bool* crashed, std::vector<std::string>* methods = nullptr) {
    int channel[2];
    if (pipe(channel) != 0) {
        *crashed = true;
        return {};
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(channel[0]);
        const RunReport report = ShortRun(faultIndex);
        std::string payload(reinterpret_cast<const char*>(&report), sizeof(report));
        for (const auto& record : d3d9sw::CallLog()) payload += record.method + "\n";
        bool written = true;
        for (std::size_t sent = 0; written && sent < payload.size();) {
            const ssize_t count = write(channel[1], payload.data() + sent, payload.size() - sent);
            written = count > 0;
            sent += written ? static_cast<std::size_t>(count) : 0;
        }
        close(channel[1]);
        // exit rather than _exit, so a leak checker linked into the test gets its say.
        std::exit(written ? 0 : 3);
    }
    close(channel[1]);
    std::string payload;
    char chunk[4096];
    for (ssize_t count; (count = read(channel[0], chunk, sizeof(chunk))) > 0;) payload.append(chunk, count);
    close(channel[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    RunReport report;
    const bool received = payload.size() >= sizeof(report);
    if (received) std::memcpy(&report, payload.data(), sizeof(report));
    *crashed = !received || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    if (methods != nullptr && received) {
        methods->clear();
        for (std::size_t start = sizeof(report), end; (end = payload.find('\n', start)) != std::string::npos;
             start = end + 1)
            methods->push_back(payload.substr(start, end - start));
    }
    return report;
}

// Calls that return a count or an object rather than a result code cannot be failed.
bool CanFail(const std::string& method) {
    static const std::set<std::string> kNeverFailed = {"Direct3DCreate9", "Direct3D::GetAdapterCount", "Query::GetType",
                                                       "Query::GetDataSize"};
    return kNeverFailed.count(method) == 0 && method.find("::AddRef") == std::string::npos &&
           method.find("::Release") == std::string::npos;
}

TEST(FaultSweep, EveryFailingDeviceCallStillEndsThroughTheClosePathWithTheOverlay) {
    bool crashed = false;
    // The calls before a faulted index are the baseline's, so the baseline's method
    // list tells which call each index fails.
    std::vector<std::string> methods;
    const RunReport baseline = ShortRunInChild(-1, &crashed, &methods);
    ASSERT_FALSE(crashed);
    ASSERT_EQ(baseline.winMainResult, 0);
    ASSERT_EQ(baseline.framesWithOverlay, kFramesBeforeClose);
    ASSERT_EQ(methods.size(), static_cast<std::size_t>(baseline.callCount));
    ASSERT_GT(baseline.callCount, 50);

    int injected = 0;
    std::set<std::string> failedMethods;
    for (int index = 0; index < baseline.callCount; ++index) {
        if (!CanFail(methods[static_cast<std::size_t>(index)])) continue;
        const RunReport run = ShortRunInChild(index, &crashed);
        const std::string where = "fault at call " + std::to_string(index) + " (" + methods[static_cast<std::size_t>(index)] + ")";
        ASSERT_FALSE(crashed) << where;
        EXPECT_TRUE(run.faultHit) << where;
        EXPECT_EQ(run.winMainResult, 0) << where;
        EXPECT_EQ(run.framesWithOverlay, kFramesBeforeClose) << where;
        EXPECT_EQ(run.liveObjectsAfterClose, 0) << where;
        if (run.faultHit) {
            ++injected;
            failedMethods.insert(run.faultedMethod);
        }
    }
    std::printf("fault sweep (demo): %d injected failures over %d calls, %zu distinct methods\n", injected,
                baseline.callCount, failedMethods.size());
    EXPECT_GT(injected, 0);
}

}  // namespace
