// The allocator check: silent for a conforming allocator, four warning lines otherwise,
// and once per process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "facet/dispatch.h"

namespace {

// While set, every zero-byte allocation returns the same block: a non-conforming allocator.
bool g_zeroByteAllocationsShareOneBlock = false;
alignas(16) unsigned char g_sharedBlock[16];

}  // namespace

void* operator new(std::size_t size) {
    if (g_zeroByteAllocationsShareOneBlock && size == 0) return g_sharedBlock;
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    if (p != g_sharedBlock) std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

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
