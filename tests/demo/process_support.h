// Running programs from tests: the built springdrop binary (found beside the test
// program: <build>/tests/test_demo and <build>/src/springdrop) and helper tools.
#pragma once

#include "support/path_lookup.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace demo_test {

inline std::filesystem::path SpringdropBinary() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "src" / "springdrop";
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using test_support::OnPath;

// A started child process; its output goes to files in `outputDir`.
struct Child {
    pid_t pid = -1;
    std::filesystem::path stdoutPath;
    std::filesystem::path stderrPath;

    // Waits up to `timeout` for the exit; returns the exit code (-1 for a signal), or -1
    // after a kill.
    int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        const int code = WaitFor(timeout);
        if (code != kStillRunning) return code;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
        return -1;
    }

    // Waits up to `timeout` for the exit and leaves the process running when it has not
    // ended by then: the exit code (-1 for a signal), or kStillRunning.
    static constexpr int kStillRunning = -2;
    int WaitFor(std::chrono::milliseconds timeout) {
        if (pid <= 0) return -1;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return kStillRunning;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Stdout() const { return ReadFile(stdoutPath); }
    std::string Stderr() const { return ReadFile(stderrPath); }
};

// Starts `arguments` (the first found on PATH unless it has a slash) with extra
// environment entries ("NAME=value"), in `outputDir`.
inline Child Start(const std::vector<std::string>& arguments, const std::filesystem::path& outputDir,
                   const std::vector<std::string>& extraEnvironment = {}) {
    Child child;
    static int counter = 0;
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    child.stdoutPath = outputDir / ("stdout-" + tag);
    child.stderrPath = outputDir / ("stderr-" + tag);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, child.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, child.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string& extra : extraEnvironment)
            replaced = replaced || text.substr(0, text.find('=') + 1) == extra.substr(0, extra.find('=') + 1);
        if (!replaced) environment.push_back(text);
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Runs to completion; returns the exit code.
inline int Run(const std::vector<std::string>& arguments, const std::filesystem::path& outputDir,
               std::string* out = nullptr, std::string* err = nullptr,
               const std::vector<std::string>& extraEnvironment = {}) {
    Child child = Start(arguments, outputDir, extraEnvironment);
    const int code = child.Wait();
    if (out) *out = child.Stdout();
    if (err) *err = child.Stderr();
    return code;
}

// A fresh empty directory for one test, removed with the object.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir() {
        char pattern[] = "/tmp/springdrop-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("stdout-", 0) != 0 && name.rfind("stderr-", 0) != 0) names.push_back(name);
        }
        return names;
    }
};

}  // namespace demo_test
