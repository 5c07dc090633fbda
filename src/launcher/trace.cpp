// Writing the --trace CSV.
#include "launcher/trace.h"

namespace launcher {

bool TraceWriter::Open(const std::string& path, int massCount, std::string* error) {
    if (!file_.Open(path, error)) return false;
    stream_ = file_.Stream();
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
    stream_ = nullptr;
    return file_.Commit(error);
}

}  // namespace launcher
