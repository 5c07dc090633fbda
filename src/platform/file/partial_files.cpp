// The table of partial files and their removal from a signal handler.
#include "springdrop/file/partial_files.h"
#include "springdrop/file/output_file.h"

#include <atomic>
#include <climits>
#include <cstring>

#include <unistd.h>

namespace platform {

namespace {

// More outputs than this open at once is not something the programs do.
constexpr int kSlotCount = 32;

struct PartialSlot {
    std::atomic<bool> claimed{false};  // owned by a writer
    std::atomic<bool> ready{false};    // `path` is complete and may be removed
    char path[PATH_MAX];
};

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler reads the flags");

PartialSlot g_slots[kSlotCount];

}  // namespace

int RegisterPartialFile(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlotCount; ++i) {
        bool expected = false;
        if (!g_slots[i].claimed.compare_exchange_strong(expected, true)) continue;
        std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
        g_slots[i].ready.store(true);
        return i;
    }
    return -1;
}

void ReleasePartialFile(int slot) {
    if (slot < 0 || slot >= kSlotCount) return;
    g_slots[slot].ready.store(false);
    g_slots[slot].claimed.store(false);
}

void RemovePartialOutputs() {
    for (PartialSlot& slot : g_slots)
        if (slot.ready.load()) unlink(slot.path);
}

}  // namespace platform
