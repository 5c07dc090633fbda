// The allocator check: silent for a conforming allocator, four warning lines otherwise,
// and once per process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "math/dispatch_testing.h"

namespace {

// While set, every zero-byte allocation returns the same block: a non-conforming allocator.
bool g_zeroByteAllocationsShareOneBlock = false;
alignas(16) unsigned char g_sharedBlock[16];

}  // namespace

namespace {

void* Allocate(std::size_t size) {
    if (g_zeroByteAllocationsShareOneBlock && size == 0) return g_sharedBlock;
    return std::malloc(size != 0 ? size : 1);
}

}  // namespace

// Every plain, array and nothrow form is replaced, so that each allocation and its
// release meet in one allocator (a sanitizer's own operator new would otherwise hand out
// blocks that the replaced delete frees).
void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept {
    if (p != g_sharedBlock) std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { operator delete(p); }

namespace facet {
namespace {

TEST(AllocatorConformance, ConformingAllocatorWritesNothing) {
    ResetDispatchForTesting();
    ::testing::internal::CaptureStderr();
    CheckAllocatorConformance();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(AllocatorConformance, SharedZeroByteBlocksProduceTheFourWarningsOnce) {
    ResetDispatchForTesting();
    g_zeroByteAllocationsShareOneBlock = true;
    ::testing::internal::CaptureStderr();
    InitDispatchTable(1);  // initialisation runs the check and carries on
    InitDispatchTable(1);
    CheckAllocatorConformance();
    const std::string output = ::testing::internal::GetCapturedStderr();
    g_zeroByteAllocationsShareOneBlock = false;

    const std::string prefix = "Facet: (WARN) ";
    const std::string rest =
        "Facet: (WARN) An allocation of zero bytes should return a unique non-null pointer to at\r\n"
        "Facet: (WARN) least zero bytes. Deletion of a null pointer should quietly do nothing.\r\n"
        "Facet: (WARN) Facet relies upon this behavior.\r\n";
    ASSERT_EQ(output.rfind(prefix, 0), 0u) << output;
    const std::size_t firstLineEnd = output.find("\r\n");
    ASSERT_NE(firstLineEnd, std::string::npos);
    EXPECT_GT(firstLineEnd, prefix.size());
    EXPECT_EQ(output.substr(firstLineEnd + 2), rest);
    EXPECT_NE(DispatchLevel, 0xFFFF);
}

}  // namespace
}  // namespace facet
