// The launcher's --stats line: how long the slowest frame took and how much resident
// memory the process needed at its peak, so a long run can show that it neither stalls
// nor grows. A frame's time runs from the end of the frame before it to its own end, so
// anything that holds up the loop between two frames counts. It is taken twice: in wall
// time, which is what a viewer sees, and in the thread's CPU time, which leaves out the
// time other processes held the processor and so tells the program's own stalls apart
// from a busy machine.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace launcher {

class RunStats {
public:
    // Called at the end of every frame; `frame` counts from 1.
    void FrameEnded(std::uint64_t frame);
    // "stats: N frames, slowest frame W ms wall (frame K), C ms CPU (frame J), peak RSS
    // M KiB". The first frame has no frame before it, so it is never the slowest (frame 0
    // stands for none).
    std::string Line() const;

private:
    struct Slowest {
        std::chrono::nanoseconds time{0};
        std::uint64_t frame = 0;
    };

    std::uint64_t frames_ = 0;
    std::chrono::nanoseconds lastWallEnd_{0};
    std::chrono::nanoseconds lastCpuEnd_{0};
    Slowest slowestWall_;
    Slowest slowestCpu_;
};

}  // namespace launcher
