// One way to write every file the programs produce, so an output is either complete or
// absent and never replaces something the user did not mean to replace.
//
// What the path names decides how it is written:
// - a regular file or a path that does not exist yet: the bytes go to a temporary beside
//   it (same folder, so the final rename stays on one file system and is atomic), which
//   is synced and renamed over the path on Commit; a new file gets the permissions the
//   umask allows, a replaced one keeps its own;
// - a symbolic link: followed (however many links deep) and its final target written as
//   above; the link itself stays a link;
// - a character device, FIFO or socket (a terminal, /dev/null, a pipe a reader waits on):
//   written in place as the bytes come and never replaced;
// - a folder, a block device, an existing file nobody may write: refused.
// Every error names the path as the user gave it, with the reason the system gave at the
// call that failed (a write buffered long before Commit included). Discard, a failed
// Commit and the destructor leave no temporary behind; a signal handler can remove the
// temporaries of every open output with RemovePartialOutputs.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include <sys/types.h>

namespace platform {

class OutputFile {
public:
    // How the bytes arrive: through Stream(), or from another program that writes a file
    // by name (WritablePath()), such as an encoder running as a child process.
    enum class Access { Stream, ByPath };

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Prepares `path` for writing: creates the temporary or opens the device. False, with
    // one line in `error`, when the path cannot be written; nothing is then left behind.
    // A FIFO blocks here until a reader opens it, as a shell redirection does.
    bool Open(const std::string& path, Access access, std::string* error);
    bool Open(const std::string& path, std::string* error) { return Open(path, Access::Stream, error); }

    // The stream to write (Stream access); buffered, checked on Commit.
    std::FILE* Stream() const { return stream_; }
    // The errno of the stream's first failed write (EPIPE once a pipe's reader has gone),
    // or 0 while every write went through. Kept until the next Open.
    int WriteFailure() const { return writeFailure_; }
    // A file another program may write or overwrite by name (ByPath access); what it
    // holds at Commit is what the output gets.
    const std::string& WritablePath() const { return writable_; }
    // The path as the user gave it.
    const std::string& Path() const { return path_; }
    // Whether the output is written in place (a device, FIFO or socket).
    bool InPlace() const { return inPlace_; }

    // Completes the output: flushes and syncs, then renames the temporary over the target
    // (or copies the staged bytes into the device). False, with one line in `error`, on
    // any write failure; the temporary is then removed and the target left as it was.
    bool Commit(std::string* error);
    // Abandons the output: the temporary is removed, the target left as it was.
    void Discard();

private:
    bool OpenInPlace(const std::string& target, Access access, std::string* error);
    bool OpenTemporary(const std::string& target, mode_t permissions, Access access, std::string* error);
    bool OpenStream(int descriptor, std::string* error);
    bool Fail(const std::string& reason, std::string* error);
    static ssize_t WriteToDescriptor(void* cookie, const char* data, std::size_t size);
    static int CloseDescriptor(void* cookie);
    void StartWriteback(std::size_t size);

    // How many written bytes the disk is asked to start on at a time.
    static constexpr std::size_t kWritebackStep = std::size_t{8} << 20;

    std::string path_;
    std::string target_;    // the final file, symlinks resolved
    std::string writable_;  // the temporary (or staging file) written by name
    std::FILE* stream_ = nullptr;
    int streamDescriptor_ = -1;  // what stream_ writes to; closed with it
    int writeFailure_ = 0;
    std::size_t written_ = 0;           // bytes through the stream so far
    std::size_t writebackStarted_ = 0;  // the disk was asked to write those before this
    int device_ = -1;       // the device, FIFO or socket written in place (ByPath access)
    int partialSlot_ = -1;  // this output's entry among the partial files
    bool inPlace_ = false;
};

// Whether two output paths end up at the same file: the same existing file, or the same
// new path once symbolic links and "." and ".." are resolved.
bool SameOutputTarget(const std::string& first, const std::string& second);

// Removes the temporaries of every output still open. Async-signal-safe: meant for a
// signal handler that is about to end the process at once.
void RemovePartialOutputs();

}  // namespace platform
