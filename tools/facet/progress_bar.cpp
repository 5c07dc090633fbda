// ProgressBar: see progress_bar.h. Redraws at most ten times a second.
#include "progress_bar.h"

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

}  // namespace

ProgressBar::ProgressBar(const char* command, std::FILE* out, std::chrono::milliseconds quietStart)
    : command_(command), out_(out), quietStart_(quietStart), enabled_(isatty(fileno(out)) == 1),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::Step(const char* label) {
    label_ = label;
    fraction_ = 0.0;
    Draw();
}

void ProgressBar::Update(double fraction) {
    fraction_ = std::clamp(fraction, 0.0, 1.0);
    Draw();
}

void ProgressBar::OnRead(void* context, std::uint64_t done, std::uint64_t total) {
    static_cast<ProgressBar*>(context)->Update(total == 0 ? 1.0 : static_cast<double>(done) / total);
}

void ProgressBar::Draw() {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < quietStart_ || (drawn_ && now - lastDraw_ < kRedrawInterval)) return;
    lastDraw_ = now;
    drawn_ = true;
    const int filled = static_cast<int>(fraction_ * kBarWidth);
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(out_, "\r\033[Kfacet %s: %-10s [%s] %3d%%", command_, label_, bar,
                 static_cast<int>(fraction_ * 100.0));
    std::fflush(out_);
}

void ProgressBar::Finish() {
    if (!drawn_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    drawn_ = false;
}
