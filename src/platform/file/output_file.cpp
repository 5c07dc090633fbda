// Writing an output file: by temporary and rename, or in place for devices, FIFOs and
// sockets.
#include "springdrop/file/output_file.h"

#include "springdrop/file/partial_files.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// The kernel's own limit on links followed while resolving one path.
constexpr int kMaxLinkDepth = 40;
// The temporary's name repeats the target's, shortened so it stays a legal file name.
constexpr std::size_t kTemporaryStemLimit = 200;

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where the bytes of `path` finally land, symbolic links followed. `throughProc` is set
// when a link leads into /proc: a descriptor's link (/dev/stdout) names an open file
// rather than a path, so such an output is written in place through the link.
bool FollowLinks(const std::string& path, std::string* target, bool* throughProc, int* failure) {
    std::string current = path;
    *throughProc = false;
    for (int depth = 0; depth <= kMaxLinkDepth; ++depth) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            *target = current;
            return true;
        }
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t length = readlink(current.c_str(), link.data(), PATH_MAX);
        if (length < 0) {
            *failure = errno;
            return false;
        }
        if (current.rfind("/proc/", 0) == 0) *throughProc = true;
        const std::string next(link.data(), static_cast<std::size_t>(length));
        current = next.front() == '/' ? next : DirectoryOf(current) + "/" + next;
        if (current.rfind("/proc/", 0) == 0) *throughProc = true;
    }
    *failure = ELOOP;
    return false;
}

mode_t UmaskPermissions() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A Unix socket takes no open(); a stream connection to it is what writing it means.
int ConnectSocket(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof(address.sun_path)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int socketFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socketFd < 0) return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (connect(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int code = errno;
        close(socketFd);
        errno = code;
        return -1;
    }
    return socketFd;
}

// The descriptor a path names outright (/dev/stdout, /dev/fd/N, /proc/self/fd/N), or -1.
// Such an output is written through a copy of the descriptor: reopening it by name would
// ask for permission on the pipe or file again, which its owner may not grant.
int DescriptorNamed(const std::string& path) {
    if (path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::string folder = prefix;
        if (path.rfind(folder, 0) != 0 || path.size() == folder.size() || path.size() > folder.size() + 9) continue;
        if (path.find_first_not_of("0123456789", folder.size()) != std::string::npos) continue;
        return std::atoi(path.c_str() + folder.size());
    }
    return -1;
}

bool WriteAll(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(descriptor, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Copies the file at `source` into `destination`; errno tells why on failure.
bool CopyInto(const std::string& source, int destination) {
    const int input = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) return false;
    char buffer[65536];
    bool copied = true;
    for (;;) {
        const ssize_t got = read(input, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        if (!WriteAll(destination, buffer, static_cast<std::size_t>(got))) {
            copied = false;
            break;
        }
    }
    const int code = errno;
    close(input);
    errno = code;
    return copied;
}

// Holds every signal that can be held, for the moment between creating a temporary and
// registering it: a signal's handler removes the registered temporaries, and one arriving
// in between would find the file made but not yet listed, and leave it behind. (Held in
// the opening thread; the programs open their outputs before they start any other.)
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &previous_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

bool SyncByName(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool synced = fsync(descriptor) == 0;
    const int code = errno;
    close(descriptor);
    errno = code;
    return synced;
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Fail(const std::string& reason, std::string* error) {
    if (error) *error = "cannot write \"" + path_ + "\": " + reason;
    Discard();
    return false;
}

bool OutputFile::Open(const std::string& path, Access access, std::string* error) {
    Discard();
    path_ = path;
    writeFailure_ = 0;
    if (path.empty()) return Fail("empty file name", error);

    struct stat status {};
    const bool exists = stat(path.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return Fail(std::strerror(errno), error);
    if (exists && S_ISDIR(status.st_mode)) return Fail("it is a directory", error);
    if (exists && S_ISBLK(status.st_mode)) return Fail("it is a block device", error);

    std::string target;
    bool throughProc = false;
    int failure = 0;
    if (!FollowLinks(path, &target, &throughProc, &failure)) return Fail(std::strerror(failure), error);
    if ((exists && !S_ISREG(status.st_mode)) || throughProc) return OpenInPlace(path, access, error);

    if (exists) {
        // A file nobody may write stays as it is, for root too; renaming over it would
        // get round the permission the file itself states.
        if (::access(path.c_str(), W_OK) != 0) return Fail(std::strerror(errno), error);
        if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Fail("the file is read-only", error);
    }
    return OpenTemporary(target, exists ? status.st_mode & 07777 : UmaskPermissions(), access, error);
}

bool OutputFile::OpenInPlace(const std::string& target, Access access, std::string* error) {
    struct stat status {};
    const int named = DescriptorNamed(target);
    if (named >= 0) device_ = fcntl(named, F_DUPFD_CLOEXEC, 0);
    else if (stat(target.c_str(), &status) == 0 && S_ISSOCK(status.st_mode)) device_ = ConnectSocket(target);
    else device_ = open(target.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    if (device_ < 0) return Fail(std::strerror(errno), error);
    inPlace_ = true;
    target_ = target;
    if (access == Access::Stream) {
        const int descriptor = std::exchange(device_, -1);
        return OpenStream(descriptor, error);
    }
    // A program writing by name may need to seek (an MP4's index goes at the front), and
    // a recording is checked before it is kept, so it is staged in a private file and
    // copied into the device on Commit.
    const char* folder = std::getenv("TMPDIR");
    std::string staging = std::string(folder && *folder ? folder : "/tmp") + "/output-XXXXXX";
    {
        const SignalsHeld held;
        const int descriptor = mkstemp(staging.data());
        if (descriptor < 0) return Fail("no staging file: " + std::string(std::strerror(errno)), error);
        close(descriptor);
        partialSlot_ = RegisterPartialFile(staging);
    }
    writable_ = staging;
    return true;
}

bool OutputFile::OpenTemporary(const std::string& target, mode_t permissions, Access access, std::string* error) {
    std::string temporary =
        DirectoryOf(target) + "/." + NameOf(target).substr(0, kTemporaryStemLimit) + ".partial-XXXXXX";
    int descriptor = -1;
    {
        const SignalsHeld held;
        descriptor = mkostemp(temporary.data(), O_CLOEXEC);
        if (descriptor < 0) return Fail(std::strerror(errno), error);
        partialSlot_ = RegisterPartialFile(temporary);
    }
    writable_ = temporary;
    target_ = target;
    // mkstemp creates the file for its owner only.
    fchmod(descriptor, permissions);
    if (access == Access::ByPath) {
        close(descriptor);
        return true;
    }
    return OpenStream(descriptor, error);
}

// A stream of our own over the descriptor rather than fdopen's: the C library keeps only
// an error flag when a buffered write fails, and errno has moved on by the time anyone
// asks, so the reason is recorded here, at the failing call.
bool OutputFile::OpenStream(int descriptor, std::string* error) {
    const cookie_io_functions_t functions{nullptr, &OutputFile::WriteToDescriptor, nullptr,
                                          &OutputFile::CloseDescriptor};
    streamDescriptor_ = descriptor;
    written_ = 0;
    writebackStarted_ = 0;
    stream_ = fopencookie(this, "w", functions);
    if (stream_) return true;
    const int code = errno;
    close(descriptor);
    streamDescriptor_ = -1;
    return Fail(std::strerror(code), error);
}

ssize_t OutputFile::WriteToDescriptor(void* cookie, const char* data, std::size_t size) {
    auto* file = static_cast<OutputFile*>(cookie);
    if (file->writeFailure_ == 0 && WriteAll(file->streamDescriptor_, data, size)) {
        if (!file->inPlace_) file->StartWriteback(size);
        return static_cast<ssize_t>(size);
    }
    if (file->writeFailure_ == 0) file->writeFailure_ = errno;
    // Nothing more goes to an output that failed once: a later write could succeed and
    // leave a file with a hole in it, and a closed pipe would only raise SIGPIPE again.
    errno = file->writeFailure_;
    return 0;
}

// The sync on Commit would otherwise wait for the whole file to reach the disk at once:
// the kernel holds a large output's written pages until then (far below its own
// thresholds on a machine with memory to spare). Started as the bytes come, the disk
// writes them while the program forms the rest. Only a hint: Commit's sync still decides,
// so a system without the call, or a refusal, changes nothing.
void OutputFile::StartWriteback(std::size_t size) {
    written_ += size;
    if (written_ - writebackStarted_ < kWritebackStep) return;
#ifdef __linux__
    sync_file_range(streamDescriptor_, static_cast<off_t>(writebackStarted_),
                    static_cast<off_t>(written_ - writebackStarted_), SYNC_FILE_RANGE_WRITE);
#endif
    writebackStarted_ = written_;
}

int OutputFile::CloseDescriptor(void* cookie) {
    auto* file = static_cast<OutputFile*>(cookie);
    const int closed = close(std::exchange(file->streamDescriptor_, -1));
    if (closed != 0 && file->writeFailure_ == 0) file->writeFailure_ = errno;
    return closed;
}

bool OutputFile::Commit(std::string* error) {
    if (path_.empty()) return Fail("the file was never opened", error);
    if (stream_) {
        std::fflush(stream_);
        if (writeFailure_ == 0 && !inPlace_ && fsync(streamDescriptor_) != 0) writeFailure_ = errno;
        std::fclose(std::exchange(stream_, nullptr));
        if (writeFailure_ != 0) return Fail(std::strerror(writeFailure_), error);
    } else if (inPlace_) {
        if (!CopyInto(writable_, device_)) return Fail(std::strerror(errno), error);
    } else if (!SyncByName(writable_)) {
        return Fail(std::strerror(errno), error);
    }
    if (!inPlace_ && std::rename(writable_.c_str(), target_.c_str()) != 0) return Fail(std::strerror(errno), error);
    if (!inPlace_) writable_.clear();
    Discard();
    return true;
}

void OutputFile::Discard() {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
    if (device_ >= 0) close(device_);
    device_ = -1;
    if (!writable_.empty()) unlink(writable_.c_str());
    writable_.clear();
    ReleasePartialFile(partialSlot_);
    partialSlot_ = -1;
    inPlace_ = false;
}

bool SameOutputTarget(const std::string& first, const std::string& second) {
    struct stat a {};
    struct stat b {};
    if (stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0) return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    std::string targets[2];
    const std::string* paths[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        bool throughProc = false;
        int failure = 0;
        if (!FollowLinks(*paths[i], &targets[i], &throughProc, &failure)) return false;
        std::error_code ignored;
        targets[i] =
            std::filesystem::weakly_canonical(std::filesystem::absolute(targets[i], ignored), ignored).string();
    }
    return targets[0] == targets[1];
}

}  // namespace platform
