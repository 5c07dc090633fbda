// A progress bar on standard error for work that runs longer than about a second, drawn
// only when standard error is a terminal and erased when the work is done.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

class ProgressBar {
public:
    // Draws on `out` when it is a terminal, once the work has run for `quietStart`.
    explicit ProgressBar(const char* command, std::FILE* out = stderr,
                         std::chrono::milliseconds quietStart = std::chrono::seconds(1));
    ~ProgressBar() { Finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Names the step now running; it shows at 0% until Update moves it.
    void Step(const char* label);
    void Update(double fraction);
    // Erases the bar, if one was drawn.
    void Finish();

    // A MeshReadProgress callback; `context` is the ProgressBar.
    static void OnRead(void* context, std::uint64_t done, std::uint64_t total);

private:
    void Draw();

    const char* command_;
    std::FILE* out_;
    std::chrono::milliseconds quietStart_;
    const char* label_ = "";
    double fraction_ = 0.0;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};
