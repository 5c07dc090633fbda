// The facet program's progress bar, drawn on a pseudo-terminal and on a pipe.
#include "progress_bar.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <pty.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// One end to draw on; the other is read from the start by a thread, so that drawing
// never waits on a full terminal buffer.
struct Terminal {
    int reader = -1;
    std::FILE* out = nullptr;
    std::string text;
    std::thread follower;

    explicit Terminal(bool pseudoTerminal) {
        int writer = -1;
        if (pseudoTerminal) {
            EXPECT_EQ(openpty(&reader, &writer, nullptr, nullptr, nullptr), 0);
        } else {
            int ends[2];
            EXPECT_EQ(pipe(ends), 0);
            reader = ends[0];
            writer = ends[1];
        }
        out = fdopen(writer, "w");
        follower = std::thread([this] {
            char buffer[512];
            for (ssize_t got; (got = read(reader, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
        });
    }
    ~Terminal() {
        if (out != nullptr) Drawn();
        close(reader);
    }
    // Everything drawn, once the drawing end is closed: a pipe then ends, and a
    // pseudo-terminal hands over what it holds before it reports the hang-up.
    std::string Drawn() {
        std::fclose(out);
        out = nullptr;
        follower.join();
        return text;
    }
};

TEST(ProgressBar, DrawsOnATerminalAndErasesItselfWhenDone) {
    Terminal terminal(true);
    {
        ProgressBar bar("info", terminal.out, 0ms);
        bar.Step("reading");
        std::this_thread::sleep_for(120ms);
        ProgressBar::OnRead(&bar, 1, 2);
    }
    EXPECT_EQ(terminal.Drawn(), "\r\033[Kfacet info: reading    [..............................]   0%"
                                "\r\033[Kfacet info: reading    [###############...............]  50%"
                                "\r\033[K");
}

TEST(ProgressBar, RedrawsAtMostTenTimesASecond) {
    Terminal terminal(true);
    const auto start = std::chrono::steady_clock::now();
    {
        ProgressBar bar("adjacency", terminal.out, 0ms);
        bar.Step("matching");
        for (int i = 1; i <= 1000; ++i) bar.Update(i / 1000.0);
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string drawn = terminal.Drawn();
    EXPECT_EQ(drawn.rfind("\r\033[Kfacet adjacency: matching   [..............................]   0%", 0), 0u) << drawn;
    std::size_t draws = 0;
    for (std::size_t at = 0; (at = drawn.find("facet adjacency:", at)) != std::string::npos; ++at) ++draws;
    EXPECT_LE(draws, 1 + static_cast<std::size_t>(elapsed / 100ms)) << drawn;
}

TEST(ProgressBar, StaysSilentOnShortWorkAndOffATerminal) {
    for (const bool pseudoTerminal : {true, false}) {
        Terminal terminal(pseudoTerminal);
        {
            ProgressBar bar("normals", terminal.out, pseudoTerminal ? 1000ms : 0ms);
            bar.Step("reading");
            bar.Update(1.0);
        }
        EXPECT_EQ(terminal.Drawn(), "") << (pseudoTerminal ? "short work" : "a pipe");
    }
}

}  // namespace
