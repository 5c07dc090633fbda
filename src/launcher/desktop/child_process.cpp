// Child processes of the launcher: spawning, waiting and capturing their output.
#include "launcher/desktop/child_process.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace launcher {

namespace {

void RedirectOrDiscard(posix_spawn_file_actions_t* actions, int from, int to, int flags) {
    if (from >= 0) posix_spawn_file_actions_adddup2(actions, from, to);
    else posix_spawn_file_actions_addopen(actions, to, "/dev/null", flags, 0);
}

}  // namespace

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return "";
    std::istringstream directories(path);
    std::string directory;
    while (std::getline(directories, directory, ':')) {
        const std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

pid_t SpawnChild(const std::vector<std::string>& arguments, int stdinFd, int stdoutFd, int stderrFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    RedirectOrDiscard(&actions, stdinFd, STDIN_FILENO, O_RDONLY);
    RedirectOrDiscard(&actions, stdoutFd, STDOUT_FILENO, O_WRONLY);
    RedirectOrDiscard(&actions, stderrFd, STDERR_FILENO, O_WRONLY);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int failure = posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failure == 0 ? child : -1;
}

int WaitForExit(pid_t child) {
    int status = 0;
    pid_t waited = -1;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string ReadWhole(int descriptor) {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    off_t offset = 0;
    while ((got = pread(descriptor, buffer, sizeof(buffer), offset)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
    return text;
}

int RunAndCapture(const std::vector<std::string>& arguments, std::string* output, std::string* messages) {
    // Unlinked files rather than pipes: a chatty child can never block on a full pipe.
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    int code = -1;
    if (out && err) {
        const pid_t child = SpawnChild(arguments, -1, fileno(out), fileno(err));
        if (child > 0) code = WaitForExit(child);
        *output = ReadWhole(fileno(out));
        *messages = ReadWhole(fileno(err));
    }
    if (out) std::fclose(out);
    if (err) std::fclose(err);
    return code;
}

}  // namespace launcher
