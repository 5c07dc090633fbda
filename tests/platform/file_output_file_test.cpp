// Output files: what each kind of path gets (a temporary renamed over a file, a followed
// link, a device or FIFO written in place), what is refused, and that nothing partial is
// left after a failure, a discard or a full disk.
#include "springdrop/file/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::OutputFile;

struct Scratch {
    fs::path path;
    Scratch() {
        char pattern[] = "/tmp/output-file-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~Scratch() { fs::remove_all(path); }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(path), fs::directory_iterator()));
    }
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Spit(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

bool WriteAndCommit(const std::string& path, const std::string& text, std::string* error) {
    OutputFile file;
    if (!file.Open(path, error)) return false;
    std::fputs(text.c_str(), file.Stream());
    return file.Commit(error);
}

mode_t ModeOf(const fs::path& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return status.st_mode;
}

TEST(OutputFile, RegularFilesAreWrittenBesideAndRenamedOnlyWhenComplete) {
    Scratch dir;
    const fs::path target = dir.path / "out.csv";
    std::string error;
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(target.string(), &error)) << error;
        std::fputs("abc", file.Stream());
        std::fflush(file.Stream());
        EXPECT_FALSE(fs::exists(target));  // nothing at the path until it is complete
        EXPECT_EQ(dir.Entries(), 1u);
        ASSERT_TRUE(file.Commit(&error)) << error;
    }
    EXPECT_EQ(Slurp(target), "abc");
    EXPECT_EQ(dir.Entries(), 1u);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(ModeOf(target) & 0777, 0666 & ~mask);

    // A replaced file keeps its permissions; a discarded write leaves it as it was.
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WriteAndCommit(target.string(), "second", &error)) << error;
    EXPECT_EQ(Slurp(target), "second");
    EXPECT_EQ(ModeOf(target) & 0777, 0600u);
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(target.string(), &error));
        std::fputs("never", file.Stream());
    }
    EXPECT_EQ(Slurp(target), "second");
    EXPECT_EQ(dir.Entries(), 1u);

    // A program writing by name overwrites the temporary; the output gets what it wrote.
    OutputFile byPath;
    ASSERT_TRUE(byPath.Open((dir.path / "movie.gif").string(), OutputFile::Access::ByPath, &error));
    EXPECT_EQ(fs::path(byPath.WritablePath()).parent_path(), dir.path);
    Spit(byPath.WritablePath(), "GIF89a");
    ASSERT_TRUE(byPath.Commit(&error)) << error;
    EXPECT_EQ(Slurp(dir.path / "movie.gif"), "GIF89a");
    EXPECT_EQ(dir.Entries(), 2u);
}

TEST(OutputFile, SymbolicLinksAreFollowedAndKept) {
    Scratch dir;
    fs::create_directory(dir.path / "real");
    Spit(dir.path / "real" / "mesh.ply", "old");
    fs::create_symlink("real/mesh.ply", dir.path / "inner");
    fs::create_symlink("inner", dir.path / "outer");  // two links deep, both relative
    std::string error;
    ASSERT_TRUE(WriteAndCommit((dir.path / "outer").string(), "new", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.path / "outer"));
    EXPECT_TRUE(fs::is_symlink(dir.path / "inner"));
    EXPECT_EQ(Slurp(dir.path / "real" / "mesh.ply"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path / "real"), fs::directory_iterator()), 1);

    // A dangling link creates its target.
    fs::create_symlink("real/fresh.obj", dir.path / "dangling");
    ASSERT_TRUE(WriteAndCommit((dir.path / "dangling").string(), "v 0 0 0\n", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.path / "dangling"));
    EXPECT_EQ(Slurp(dir.path / "real" / "fresh.obj"), "v 0 0 0\n");

    fs::create_symlink("loop", dir.path / "loop");
    EXPECT_FALSE(WriteAndCommit((dir.path / "loop").string(), "x", &error));
    EXPECT_NE(error.find((dir.path / "loop").string()), std::string::npos) << error;
}

TEST(OutputFile, DevicesFifosAndSocketsAreWrittenInPlace) {
    Scratch dir;
    std::string error;
    const fs::path fifo = dir.path / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const auto access : {OutputFile::Access::Stream, OutputFile::Access::ByPath}) {
        std::string received;
        std::thread reader([&] { received = Slurp(fifo); });
        OutputFile file;
        ASSERT_TRUE(file.Open(fifo.string(), access, &error)) << error;
        if (access == OutputFile::Access::Stream) std::fputs("streamed", file.Stream());
        else Spit(file.WritablePath(), "staged");
        ASSERT_TRUE(file.Commit(&error)) << error;
        reader.join();
        EXPECT_EQ(received, access == OutputFile::Access::Stream ? "streamed" : "staged");
        EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
    }

    // A descriptor's link in /proc names an open pipe, not a path to create.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(WriteAndCommit("/proc/self/fd/" + std::to_string(fds[1]), "through", &error)) << error;
    close(fds[1]);
    char buffer[16] = {};
    EXPECT_EQ(read(fds[0], buffer, sizeof(buffer)), 7);
    EXPECT_STREQ(buffer, "through");
    close(fds[0]);
    // The same for an open regular file: written through the descriptor, not replaced.
    Spit(dir.path / "opened", "");
    std::FILE* opened = std::fopen((dir.path / "opened").c_str(), "a");
    struct stat before {};
    struct stat after {};
    stat((dir.path / "opened").c_str(), &before);
    ASSERT_TRUE(WriteAndCommit("/proc/self/fd/" + std::to_string(fileno(opened)), "kept", &error)) << error;
    std::fclose(opened);
    stat((dir.path / "opened").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Slurp(dir.path / "opened"), "kept");

    const fs::path socketPath = dir.path / "socket";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    ASSERT_TRUE(WriteAndCommit(socketPath.string(), "hello", &error)) << error;
    const int connection = accept(listener, nullptr, nullptr);
    EXPECT_EQ(read(connection, buffer, sizeof(buffer)), 5);
    close(connection);
    close(listener);
    EXPECT_TRUE(S_ISSOCK(ModeOf(socketPath)));

    ASSERT_TRUE(WriteAndCommit("/dev/null", "gone", &error)) << error;
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
    // A device that fails the write fails the output, naming it.
    EXPECT_FALSE(WriteAndCommit("/dev/full", "lost", &error));
    EXPECT_EQ(error, "cannot write \"/dev/full\": No space left on device");
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/full")));
}

TEST(OutputFile, UnwritablePathsAreRefusedNamingThePathAndLeavingNothing) {
    Scratch dir;
    const fs::path readOnly = dir.path / "kept.txt";
    Spit(readOnly, "precious");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
    std::string error;
    EXPECT_FALSE(WriteAndCommit(readOnly.string(), "over", &error));
    EXPECT_NE(error.find("\"" + readOnly.string() + "\""), std::string::npos) << error;
    EXPECT_EQ(Slurp(readOnly), "precious");

    const std::string missing = (dir.path / "missing" / "a.png").string();
    EXPECT_FALSE(WriteAndCommit(missing, "x", &error));
    EXPECT_EQ(error, "cannot write \"" + missing + "\": No such file or directory");
    EXPECT_FALSE(WriteAndCommit(dir.path.string(), "x", &error));
    EXPECT_EQ(error, "cannot write \"" + dir.path.string() + "\": it is a directory");
    EXPECT_FALSE(WriteAndCommit("", "x", &error));
    EXPECT_EQ(dir.Entries(), 1u);

    OutputFile never;
    EXPECT_FALSE(never.Commit(&error));
}

// A full disk: a 64 KiB tmpfs, mounted where the test may (as root, with the privilege to
// mount); elsewhere the test is skipped and says why.
// Outputs of many megabytes have their writing to disk started as they go: the file still
// holds every byte in order, and a disk that fills up past that point still fails the
// commit with its reason and leaves nothing.
TEST(OutputFile, LargeOutputsArriveWholeAndStillFailWhole) {
    Scratch dir;
    std::string pattern(20 * 1024 * 1024 + 7, '\0');
    std::uint32_t state = 12345;
    for (char& byte : pattern) byte = static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
    const fs::path target = dir.path / "mesh.ply";
    std::string error;
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(target.string(), &error)) << error;
        // Pieces of uneven sizes, some larger than the stream's buffer.
        for (std::size_t at = 0, piece = 1; at < pattern.size(); at += piece, piece = piece * 7 % 300007 + 1)
            ASSERT_EQ(std::fwrite(pattern.data() + at, 1, std::min(piece, pattern.size() - at), file.Stream()),
                      std::min(piece, pattern.size() - at));
        ASSERT_TRUE(file.Commit(&error)) << error;
    }
    EXPECT_TRUE(Slurp(target) == pattern);

    Scratch small;
    if (mount("tmpfs", small.path.c_str(), "tmpfs", 0, "size=12m") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); needs root";
    const fs::path full = small.path / "mesh.ply";
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(full.string(), &error)) << error;
        std::fwrite(pattern.data(), 1, pattern.size(), file.Stream());
        EXPECT_FALSE(file.Commit(&error));
    }
    EXPECT_EQ(error, "cannot write \"" + full.string() + "\": No space left on device");
    EXPECT_EQ(small.Entries(), 0u);
    umount(small.path.c_str());
}

TEST(OutputFile, AFullDiskFailsTheCommitAndLeavesNoFile) {
    Scratch dir;
    if (mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); needs root";
    std::string error;
    const std::string big(256 * 1024, 'x');
    const fs::path target = dir.path / "trace.csv";
    EXPECT_FALSE(WriteAndCommit(target.string(), big, &error));
    EXPECT_EQ(error, "cannot write \"" + target.string() + "\": No space left on device");
    EXPECT_EQ(dir.Entries(), 0u);
    // A small file still fits: the failed one gave its space back.
    EXPECT_TRUE(WriteAndCommit(target.string(), "small", &error)) << error;
    umount(dir.path.c_str());
}

// A write that fails while the stream's buffer is flushed, long before Commit: the
// reason given is that write's, not whatever errno held by the time Commit ran, and
// nothing more is sent after it (a closed pipe would otherwise raise SIGPIPE each time).
TEST(OutputFile, TheFirstFailedWriteGivesTheReasonWhateverHappenedSince) {
    const std::string big(256 * 1024, 'x');
    std::string error;
    {
        OutputFile file;
        ASSERT_TRUE(file.Open("/dev/full", &error)) << error;
        std::fputs(big.c_str(), file.Stream());
        EXPECT_EQ(file.WriteFailure(), ENOSPC);
        errno = ENOENT;  // what an unrelated later call leaves behind
        EXPECT_FALSE(file.Commit(&error));
        EXPECT_EQ(error, "cannot write \"/dev/full\": No space left on device");
        EXPECT_EQ(file.WriteFailure(), ENOSPC);  // still there for the caller to look at
    }

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    signal(SIGPIPE, SIG_IGN);
    OutputFile file;
    ASSERT_TRUE(file.Open("/proc/self/fd/" + std::to_string(ends[1]), &error)) << error;
    close(ends[1]);  // the output holds its own copy of the descriptor
    std::fputs(big.c_str(), file.Stream());
    EXPECT_EQ(file.WriteFailure(), EPIPE);
    EXPECT_FALSE(file.Commit(&error));
    EXPECT_NE(error.find("Broken pipe"), std::string::npos) << error;
    signal(SIGPIPE, SIG_DFL);

    ASSERT_TRUE(file.Open("/dev/null", &error)) << error;
    EXPECT_EQ(file.WriteFailure(), 0);  // a new output starts clean
    EXPECT_TRUE(file.Commit(&error)) << error;
}

TEST(OutputFile, SameTargetSeesThroughLinksAndDotsAndNewNames) {
    Scratch dir;
    Spit(dir.path / "a", "1");
    fs::create_symlink("a", dir.path / "link");
    fs::create_symlink("later", dir.path / "pending");
    const auto p = [&](const char* name) { return (dir.path / name).string(); };
    EXPECT_TRUE(platform::SameOutputTarget(p("a"), p("link")));
    EXPECT_TRUE(platform::SameOutputTarget(p("a"), (dir.path / "." / "x" / ".." / "a").string()));
    EXPECT_TRUE(platform::SameOutputTarget(p("new"), p("./new")));
    EXPECT_TRUE(platform::SameOutputTarget(p("later"), p("pending")));
    EXPECT_FALSE(platform::SameOutputTarget(p("a"), p("b")));
    EXPECT_FALSE(platform::SameOutputTarget(p("new"), p("new2")));
}

TEST(OutputFile, PartialOutputsCanBeRemovedFromASignalHandler) {
    Scratch dir;
    std::string error;
    OutputFile first;
    OutputFile second;
    ASSERT_TRUE(first.Open((dir.path / "a.csv").string(), &error));
    ASSERT_TRUE(second.Open((dir.path / "b.mp4").string(), OutputFile::Access::ByPath, &error));
    EXPECT_EQ(dir.Entries(), 2u);
    platform::RemovePartialOutputs();
    EXPECT_EQ(dir.Entries(), 0u);
}

}  // namespace
