// The result buffer's size, reference count and interface queries.
#include "facet/mesh.h"
#include "facet/result_buffer.h"

#include <gtest/gtest.h>

namespace {

TEST(ResultBuffer, HoldsItsSizeAndDiesWithTheLastReference) {
    facet::ResultBuffer* buffer = nullptr;
    ASSERT_EQ(facet::CreateResultBuffer(144, &buffer), D3D_OK);
    EXPECT_EQ(buffer->Size(), 144u);
    ASSERT_NE(buffer->Data(), nullptr);
    static_cast<BYTE*>(buffer->Data())[143] = 1;  // the whole block is writable
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST(ResultBuffer, QueriesAndRefusals) {
    facet::ResultBuffer* buffer = nullptr;
    ASSERT_EQ(facet::CreateResultBuffer(0, &buffer), D3D_OK);
    EXPECT_EQ(buffer->Size(), 0u);
    void* same = nullptr;
    ASSERT_EQ(buffer->QueryInterface(facet::IID_ResultBuffer, &same), S_OK);
    EXPECT_EQ(same, buffer);
    ASSERT_EQ(buffer->QueryInterface(IID_IUnknown, &same), S_OK);
    EXPECT_EQ(same, static_cast<IUnknown*>(buffer));
    void* other = buffer;
    EXPECT_EQ(buffer->QueryInterface(facet::IID_Mesh, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(buffer->Release(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(facet::CreateResultBuffer(4, nullptr), D3DERR_INVALIDCALL);
}

}  // namespace
