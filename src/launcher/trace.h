// The launcher's --trace output: a CSV with the header
// frame,drop_height,x0,y0,z0,vx0,vy0,vz0,...,x3,y3,z3,vx3,vy3,vz3 and one row per frame in
// which the body was stepped, taken after the step. Floats are printed with "%.9g", so
// every value reads back bit for bit.
#pragma once

#include "springdrop/file/output_file.h"
#include "sim/spring_body.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace launcher {

class TraceWriter {
public:
    // Opens the output and writes the header for `massCount` masses.
    bool Open(const std::string& path, int massCount, std::string* error);
    // Appends the row of `frame`: the drop height and every mass's position and velocity.
    void WriteRow(std::uint64_t frame, float dropHeight, const sim::SpringBody& body);
    // Completes the output (see platform::OutputFile::Commit).
    bool Commit(std::string* error);
    // The errno of the first failed write, or 0 (see platform::OutputFile::WriteFailure).
    int WriteFailure() const { return file_.WriteFailure(); }

private:
    platform::OutputFile file_;
    std::FILE* stream_ = nullptr;
    int massCount_ = 0;
};

}  // namespace launcher
