// Running the encoder's programs as child processes. Each child gets its own process
// group, so a Ctrl+C at the terminal reaches only the launcher, which then finishes the
// child's work through its own close path; what a child prints is captured, never shown.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace launcher {

// The full path of `program` in a PATH folder, or empty when there is none.
std::string FindOnPath(const std::string& program);

// Starts `arguments` (the first is the program's path) with standard input from
// `stdinFd`, standard output to `stdoutFd` and standard error to `stderrFd`, each
// /dev/null when -1. Returns the child's id, or -1.
pid_t SpawnChild(const std::vector<std::string>& arguments, int stdinFd, int stdoutFd, int stderrFd);

// Waits for `child` and returns its exit code; -1 when it was killed or cannot be waited for.
int WaitForExit(pid_t child);

// Runs `arguments` to the end. Returns the exit code (-1 when it did not run or was
// killed); `output` and `messages` receive what it wrote to standard output and error.
int RunAndCapture(const std::vector<std::string>& arguments, std::string* output, std::string* messages);

// Everything written to the file behind `descriptor`, from its start.
std::string ReadWhole(int descriptor);

}  // namespace launcher
