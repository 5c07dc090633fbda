// The launcher's outputs as a user meets them: a GIF whose colours and timing survive,
// paths of every kind, outputs that collide, a full disk, a stop signal or a reader that
// goes away in the middle of a run.
#include "demo/process_support.h"
#include "launcher/desktop/recording.h"
#include "launcher/options.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using demo_test::ReadFile;
using demo_test::ScratchDir;
using demo_test::SpringdropBinary;

constexpr std::size_t kFrameBytes = 640 * 480 * 4;

bool IsRed(const std::uint8_t* p) { return p[0] > 200 && p[1] < 80 && p[2] < 80; }
bool IsYellow(const std::uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] < 80; }

std::string Probe(const fs::path& file, const std::string& entry, const fs::path& dir) {
    std::string out;
    demo_test::Run({"ffprobe", "-v", "error", "-count_packets", "-show_entries", entry, "-of", "csv=p=0", file.string()}, dir,
        &out);
    return out.substr(0, out.find('\n'));
}

bool ReadsAsPng(const fs::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    png_image_free(&image);
    return true;
}

// Files whose names mark them as unfinished outputs.
bool HasPartialFile(const ScratchDir& dir) {
    const auto names = dir.Files();
    return std::any_of(names.begin(), names.end(),
                       [](const std::string& name) { return name.find(".partial-") != std::string::npos; });
}

// Waits up to a minute for `done`; its last answer.
bool WaitUntil(const std::function<bool()>& done) {
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(10)))
        if (done()) return true;
    return done();
}

// The size of the unfinished output written for `name`, 0 while there is none.
std::uintmax_t PartialSize(const ScratchDir& dir, const std::string& name) {
    for (const std::string& file : dir.Files())
        if (file.rfind("." + name + ".partial-", 0) == 0) return fs::file_size(dir.path / file);
    return 0;
}

// Whether `signal` sent to `pid` has been delivered (no longer pending).
bool SignalDelivered(pid_t pid, int signal) {
    std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
    const unsigned long long bit = 1ull << (signal - 1);
    for (std::string line; std::getline(status, line);)
        if ((line.rfind("SigPnd:", 0) == 0 || line.rfind("ShdPnd:", 0) == 0) &&
            (std::stoull(line.substr(7), nullptr, 16) & bit) != 0)
            return false;
    return true;
}

TEST(LauncherOutputs, GifKeepsTheBodyRedInEveryFrameAndLastsAsLongAsTheRun) {
    if (!demo_test::OnPath("ffmpeg") || !demo_test::OnPath("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    ScratchDir dir;
    const fs::path gif = dir.path / "fall.gif";
    std::string err;
    ASSERT_EQ(demo_test::Run({SpringdropBinary(), "--headless", "--frames", "300", "--fixed-fps", "100", "--record", gif},
                  dir.path, nullptr, &err),
              0)
        << err;
    // 300 frames at 100 a second are three seconds, shown as 150 frames of 2 cs each.
    EXPECT_NEAR(std::strtod(Probe(gif, "format=duration", dir.path).c_str(), nullptr), 3.0, 0.02);
    EXPECT_EQ(Probe(gif, "stream=nb_read_packets", dir.path), "150");

    const fs::path raw = dir.path / "frames.rgba";
    ASSERT_EQ(demo_test::Run({"ffmpeg", "-v", "error", "-i", gif.string(), "-f", "rawvideo", "-pix_fmt", "rgba", raw.string()},
                  dir.path),
              0);
    const std::string frames = ReadFile(raw);
    ASSERT_EQ(frames.size(), 150 * kFrameBytes);
    for (std::size_t frame = 0; frame < 150; ++frame) {
        const auto* pixels = reinterpret_cast<const std::uint8_t*>(frames.data()) + frame * kFrameBytes;
        int red = 0, yellow = 0;
        for (std::size_t p = 0; p < kFrameBytes; p += 4) {
            red += IsRed(pixels + p);
            yellow += IsYellow(pixels + p);
        }
        EXPECT_GT(red, 100) << "frame " << frame;
        EXPECT_EQ(yellow, 0) << "frame " << frame;
    }
}

TEST(LauncherOutputs, GifFrameRatesAreWholeCentisecondsNeverFasterThanTheRun) {
    EXPECT_EQ(launcher::GifCentisecondsPerFrame(1000.0), 2);
    EXPECT_EQ(launcher::GifCentisecondsPerFrame(100.0 / 3.0), 3);  // exact rates are kept
    EXPECT_EQ(launcher::GifCentisecondsPerFrame(30.0), 4);
}

// Each kind of path is the output writer's business (tested with it); here, that the
// program's outputs go through it: a FIFO is written in place and stays a FIFO, a device
// that cannot take the bytes fails the run and stays a device.
TEST(LauncherOutputs, FifosAndDevicesAreWrittenInPlace) {
    ScratchDir dir;
    const fs::path fifo = dir.path / "trace.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    demo_test::Child child =
        demo_test::Start({SpringdropBinary(), "--headless", "--frames", "50", "--trace", fifo}, dir.path);
    const std::string trace = ReadFile(fifo);
    EXPECT_EQ(child.Wait(), 0) << child.Stderr();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 51);
    struct stat status {};
    ASSERT_EQ(lstat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    std::string err;
    EXPECT_EQ(demo_test::Run({SpringdropBinary(), "--headless", "--frames", "3", "--png", "/dev/full"}, dir.path,
                             nullptr, &err),
              2);
    EXPECT_EQ(err, "springdrop: cannot write \"/dev/full\": No space left on device\n");
    ASSERT_EQ(stat("/dev/full", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    EXPECT_FALSE(HasPartialFile(dir));
}

TEST(LauncherOutputs, TwoOutputsAtOneFileAreRefusedBeforeAnythingIsWritten) {
    ScratchDir dir;
    fs::create_symlink("same.gif", dir.path / "alias.gif");
    const std::vector<std::vector<std::string>> cases = {
        {"--png", "same.out", "--trace", "same.out"},
        {"--png", "same.gif", "--record", "./same.gif"},
        {"--record", "alias.gif", "--trace", "same.gif"},
    };
    for (const auto& outputs : cases) {
        std::vector<std::string> command = {SpringdropBinary(), "--headless", "--frames", "3"};
        for (const std::string& argument : outputs)
            command.push_back(argument.rfind("--", 0) == 0 ? argument : (dir.path / argument).string());
        std::string err;
        EXPECT_EQ(demo_test::Run(command, dir.path, nullptr, &err), 2) << outputs[1];
        EXPECT_NE(err.find("name the same file"), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_EQ(dir.Files(), std::vector<std::string>{"alias.gif"}) << outputs[1];
    }
}

// A full disk: a 64 KiB tmpfs where the test may mount one (as root); skipped elsewhere.
TEST(LauncherOutputs, AFullDiskFailsTheRecordingWithOneLineAndKeepsNoFile) {
    if (!demo_test::OnPath("ffmpeg") || !demo_test::OnPath("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    ScratchDir logs;
    ScratchDir dir;
    if (mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); needs root";
    for (const char* name : {"r.mp4", "r.gif", "t.csv"}) {
        const bool trace = std::strcmp(name, "t.csv") == 0;
        std::string err;
        EXPECT_EQ(demo_test::Run({SpringdropBinary(), "--headless", "--frames", "300", trace ? "--trace" : "--record",
                       dir.path / name},
                      logs.path, nullptr, &err),
                  2)
            << name;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find("No space left on device"), std::string::npos) << err;
        EXPECT_NE(err.find(std::string("\"") + (dir.path / name).string() + "\""), std::string::npos) << err;
        EXPECT_TRUE(fs::is_empty(dir.path)) << name;
    }
    // With a PNG beside the trace the reason is still the full disk, not an errno left
    // over from opening the other output; the PNG still fits once the trace gave its
    // space back.
    std::string err;
    EXPECT_EQ(demo_test::Run({SpringdropBinary(), "--headless", "--frames", "300", "--trace", dir.path / "t.csv",
                              "--png", dir.path / "p.png"},
                             logs.path, nullptr, &err),
              2);
    EXPECT_EQ(err, "springdrop: cannot write \"" + (dir.path / "t.csv").string() + "\": No space left on device\n");
    EXPECT_TRUE(ReadsAsPng(dir.path / "p.png"));
    umount(dir.path.c_str());
}

// A run without --frames ends by a signal: every output is finished, nothing partial is
// left, the encoder says nothing, and the exit code tells which signal it was. A closed
// terminal (SIGHUP), SIGQUIT and SIGPIPE count as much as Ctrl+C, recording or not.
TEST(LauncherOutputs, EveryStopSignalFinishesEveryOutputAndExitsWithTheSignal) {
    const bool record = demo_test::OnPath("ffmpeg") && demo_test::OnPath("ffprobe");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
        ScratchDir dir;
        std::vector<std::string> command = {SpringdropBinary(), "--headless", "--trace", dir.path / "t.csv",
                                            "--png", dir.path / "p.png"};
        if (record) command.insert(command.end(), {"--record", dir.path / "r.mp4"});
        demo_test::Child child = demo_test::Start(command, dir.path);
        // The trace's first buffer reaches its file after a few dozen frames.
        ASSERT_TRUE(WaitUntil([&] { return PartialSize(dir, "t.csv") > 0; })) << child.Stderr();
        kill(child.pid, signal);
        EXPECT_EQ(child.Wait(), 128 + signal) << strsignal(signal);
        EXPECT_EQ(child.Stderr(), "");
        EXPECT_FALSE(HasPartialFile(dir));
        EXPECT_TRUE(ReadsAsPng(dir.path / "p.png"));
        const std::string trace = ReadFile(dir.path / "t.csv");
        EXPECT_GT(std::count(trace.begin(), trace.end(), '\n'), 2);
        EXPECT_EQ(trace.back(), '\n');  // the last row is whole
        if (record) {
            EXPECT_GT(std::atoi(Probe(dir.path / "r.mp4", "stream=nb_read_packets", dir.path).c_str()), 0);
        }
    }
}

// Reads `fifo` up to the end of its first line and closes it, as `head -1` does.
std::string ReadFirstLineAndClose(const fs::path& fifo) {
    const int reader = open(fifo.c_str(), O_RDONLY);
    std::string line;
    char c = 0;
    while (reader >= 0 && read(reader, &c, 1) == 1 && c != '\n') line += c;
    close(reader);
    return line;
}

// The trace's reader going away (`--trace /dev/stdout | head -1`) ends an endless run at
// once, recording or not, and the other outputs are still finished: exit 128 + SIGPIPE,
// silently, as a pipeline expects.
TEST(LauncherOutputs, ATraceReaderThatGoesAwayEndsTheRunWithTheOtherOutputsFinished) {
    const bool record = demo_test::OnPath("ffmpeg") && demo_test::OnPath("ffprobe");
    for (const bool recording : {false, true}) {
        if (recording && !record) continue;
        ScratchDir dir;
        const fs::path fifo = dir.path / "trace.fifo";
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::vector<std::string> command = {SpringdropBinary(), "--headless", "--trace", fifo, "--png",
                                            dir.path / "p.png"};
        if (recording) command.insert(command.end(), {"--record", dir.path / "r.mp4"});
        demo_test::Child child = demo_test::Start(command, dir.path);
        EXPECT_EQ(ReadFirstLineAndClose(fifo).rfind("frame,drop_height,x0,", 0), 0u);
        EXPECT_EQ(child.Wait(), 128 + SIGPIPE) << "recording " << recording;
        EXPECT_EQ(child.Stderr(), "");
        EXPECT_FALSE(HasPartialFile(dir));
        EXPECT_TRUE(ReadsAsPng(dir.path / "p.png"));
        if (recording) {
            EXPECT_GT(std::atoi(Probe(dir.path / "r.mp4", "stream=nb_read_packets", dir.path).c_str()), 0);
        }
    }
}

// While a Ctrl+C is being honoured, the trace's reader going away raises SIGPIPE again
// from the run's own writes: that is no second signal, and the other outputs are kept.
// The trace goes to a FIFO the test fills and never reads, so the run is stuck writing
// until the test closes it.
TEST(LauncherOutputs, AReaderGoingAwayAfterCtrlCStillFinishesTheOtherOutputs) {
    ScratchDir dir;
    const fs::path fifo = dir.path / "stalled.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    demo_test::Child child = demo_test::Start(
        {SpringdropBinary(), "--headless", "--trace", fifo, "--png", dir.path / "p.png"}, dir.path);
    const int reader = open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(WaitUntil([reader] {
        int waiting = 0;
        return ioctl(reader, FIONREAD, &waiting) == 0 && waiting >= fcntl(reader, F_GETPIPE_SZ);
    }));
    kill(child.pid, SIGINT);
    ASSERT_TRUE(WaitUntil([&] { return SignalDelivered(child.pid, SIGINT); }));
    close(reader);
    EXPECT_EQ(child.Wait(), 128 + SIGINT);
    EXPECT_EQ(child.Stderr(), "");
    EXPECT_FALSE(HasPartialFile(dir));
    EXPECT_TRUE(ReadsAsPng(dir.path / "p.png"));
}

// A second signal while the first is being honoured ends the run at once; the outputs
// are then lost, but no temporary stays behind. The trace goes to a FIFO the test opens
// and never reads, so the run is certainly still busy when the signals come.
TEST(LauncherOutputs, ASecondSignalEndsAtOnceAndRemovesPartialFiles) {
    ScratchDir dir;
    const fs::path fifo = dir.path / "stalled.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    demo_test::Child child = demo_test::Start(
        {SpringdropBinary(), "--headless", "--trace", fifo, "--png", dir.path / "p.png"}, dir.path);
    const int reader = open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    // Once the pipe is full the run is stuck writing a trace row.
    const auto pipeFull = [reader] {
        int waiting = 0;
        return ioctl(reader, FIONREAD, &waiting) == 0 && waiting >= fcntl(reader, F_GETPIPE_SZ);
    };
    ASSERT_TRUE(WaitUntil(pipeFull));
    EXPECT_TRUE(HasPartialFile(dir));  // the PNG's temporary
    kill(child.pid, SIGINT);
    ASSERT_TRUE(WaitUntil([&] { return SignalDelivered(child.pid, SIGINT); }));
    kill(child.pid, SIGTERM);
    EXPECT_EQ(child.Wait(), 128 + SIGTERM);
    close(reader);
    EXPECT_FALSE(HasPartialFile(dir));
    EXPECT_FALSE(fs::exists(dir.path / "p.png"));
}

}  // namespace
