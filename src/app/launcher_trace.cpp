// Writing the --trace CSV.
#include "app/launcher_trace.h"

#include <cerrno>
#include <cstring>

namespace launcher {

TraceWriter::~TraceWriter() {
    if (stream_ != nullptr) std::fclose(stream_);
}

bool TraceWriter::Open(const std::string& path, int massCount, std::string* error) {
    if (!file_.Create(path, error)) return false;
    stream_ = std::fopen(file_.TemporaryPath().c_str(), "w");
    if (stream_ == nullptr) {
        *error = "cannot write \"" + path + "\": " + std::strerror(errno);
        file_.Discard();
        return false;
    }
    massCount_ = massCount;
    std::fputs("frame,drop_height", stream_);
    for (int i = 0; i < massCount_; ++i) std::fprintf(stream_, ",x%d,y%d,z%d,vx%d,vy%d,vz%d", i, i, i, i, i, i);
    std::fputc('\n', stream_);
    return true;
}

void TraceWriter::WriteRow(std::uint64_t frame, float dropHeight, const sim::SpringBody& body) {
    std::fprintf(stream_, "%llu,%.9g", static_cast<unsigned long long>(frame), static_cast<double>(dropHeight));
    // A rebuilt body always has the same masses; a short one leaves its columns empty.
    for (int i = 0; i < massCount_; ++i) {
        if (i >= body.massCount) {
            std::fputs(",,,,,,", stream_);
            continue;
        }
        const sim::MassPoint& m = body.masses[i];
        const float values[6] = {m.position.x, m.position.y, m.position.z, m.velocity.x, m.velocity.y, m.velocity.z};
        for (float value : values) std::fprintf(stream_, ",%.9g", static_cast<double>(value));
    }
    std::fputc('\n', stream_);
}

bool TraceWriter::Commit(std::string* error) {
    const bool written = std::ferror(stream_) == 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!written || !closed) {
        *error = "cannot write \"" + file_.TargetPath() + "\": " + std::strerror(errno);
        file_.Discard();
        return false;
    }
    return file_.Commit(error);
}

}  // namespace launcher
