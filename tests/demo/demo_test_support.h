// Helpers for the demo's in-process tests: a headless main window whose creation runs
// the real start-up, and views of the software device's call log.
#pragma once

#include "app/demo.h"
#include "app/entry.h"
#include "app/lifecycle.h"
#include "springdrop/d3d9/instrumentation.h"
#include "springdrop/shell/shell.h"

#include <functional>
#include <string>
#include <vector>

namespace demo_test {

// Allocates the long-lived objects, registers the class and creates the main window
// headless, as RunDemo does; the start-up runs inside. Returns the window.
inline HWND StartHeadless(app::Demo& demo) {
    platform::SetBackend(platform::Backend::Headless);
    app::AllocateLongLivedObjects(demo);
    app::RegisterWindowClass(demo, nullptr);
    app::CreateMainWindow(demo, nullptr, SW_SHOWDEFAULT);
    return demo.hwnd;
}

// "method(args)" for every logged call from index `from` on.
inline std::vector<std::string> LoggedCalls(std::size_t from = 0) {
    std::vector<std::string> calls;
    const auto& log = d3d9sw::CallLog();
    for (std::size_t i = from; i < log.size(); ++i) calls.push_back(log[i].method + "(" + log[i].args + ")");
    return calls;
}

// The logged method names only, without AddRef/Release/QueryInterface bookkeeping when
// `withoutReferences` is set.
inline std::vector<std::string> LoggedMethods(bool withoutReferences = false) {
    std::vector<std::string> methods;
    for (const auto& record : d3d9sw::CallLog()) {
        const bool reference = record.method.find("::AddRef") != std::string::npos ||
                               record.method.find("::Release") != std::string::npos ||
                               record.method.find("::QueryInterface") != std::string::npos;
        if (!(withoutReferences && reference)) methods.push_back(record.method);
    }
    return methods;
}

inline int IndexOf(const std::vector<std::string>& items, const std::string& item, int from = 0) {
    for (int i = from; i < static_cast<int>(items.size()); ++i)
        if (items[i] == item) return i;
    return -1;
}

// Runs the demo headless as WinMain does; before each frame `beforeFrame(n)` (n = 1, 2,
// ...) may inject input. Returns RunDemo's result.
inline int RunHeadless(app::Demo& demo, const std::function<void(int frame)>& beforeFrame) {
    platform::SetBackend(platform::Backend::Headless);
    int frame = 0;
    platform::SetIdleHook([&] { beforeFrame(++frame); });
    const int result = app::RunDemo(demo, nullptr, SW_SHOWDEFAULT);
    platform::SetIdleHook({});
    return result;
}

}  // namespace demo_test
