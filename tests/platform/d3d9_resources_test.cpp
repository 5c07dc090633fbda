// Buffers (creation rules, lock ranges, descriptions), vertex declarations, queries and
// the validation of state calls and draws: bad calls return D3DERR_INVALIDCALL and change
// nothing.
#include "support/d3d9_fixture.h"

#include <cstdint>

namespace d3d9test {
namespace {

TEST_F(DeviceTest, BufferCreationRulesAndDescriptions) {
    IDirect3DVertexBuffer9* vertices = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &vertices, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(16, 0, 0, D3DPOOL_DEFAULT, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexBuffer(8, 0, kColoredFvf, D3DPOOL_DEFAULT, &vertices, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->CreateVertexBuffer(192, D3DUSAGE_WRITEONLY, 0x12, D3DPOOL_MANAGED, &vertices, nullptr), D3D_OK);
    owned.push_back(vertices);
    D3DVERTEXBUFFER_DESC vertexDesc{};
    ASSERT_EQ(vertices->GetDesc(&vertexDesc), D3D_OK);
    EXPECT_EQ(vertexDesc.Format, D3DFMT_VERTEXDATA);
    EXPECT_EQ(vertexDesc.Type, D3DRTYPE_VERTEXBUFFER);
    EXPECT_EQ(vertexDesc.Usage, D3DUSAGE_WRITEONLY);
    EXPECT_EQ(vertexDesc.Pool, D3DPOOL_MANAGED);
    EXPECT_EQ(vertexDesc.Size, 192u);
    EXPECT_EQ(vertexDesc.FVF, 0x12u);

    IDirect3DIndexBuffer9* indices = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(72, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &indices, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->CreateIndexBuffer(72, 0, D3DFMT_INDEX32, D3DPOOL_SYSTEMMEM, &indices, nullptr), D3D_OK);
    owned.push_back(indices);
    D3DINDEXBUFFER_DESC indexDesc{};
    ASSERT_EQ(indices->GetDesc(&indexDesc), D3D_OK);
    EXPECT_EQ(indexDesc.Format, D3DFMT_INDEX32);
    EXPECT_EQ(indexDesc.Type, D3DRTYPE_INDEXBUFFER);
    EXPECT_EQ(indexDesc.Pool, D3DPOOL_SYSTEMMEM);
    EXPECT_EQ(indexDesc.Size, 72u);
}

TEST_F(DeviceTest, LockRangesNestingAndZeroFill) {
    IDirect3DIndexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
    owned.push_back(buffer);
    void* whole = nullptr;
    ASSERT_EQ(buffer->Lock(0, 0, &whole, D3DLOCK_NOSYSLOCK), D3D_OK);
    const auto* bytes = static_cast<const std::uint8_t*>(whole);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(bytes[i], 0) << i;

    void* part = nullptr;
    ASSERT_EQ(buffer->Lock(16, 48, &part, 0), D3D_OK);  // nested, ends exactly at the end
    EXPECT_EQ(part, static_cast<std::uint8_t*>(whole) + 16);
    EXPECT_EQ(buffer->Lock(16, 49, &part, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(65, 0, &part, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 0, &part, 0x1), D3DERR_INVALIDCALL);

    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
}

// Buffers from 8 MiB on have a mapping of their own: still zero-filled, to the last byte
// of an odd length, and zero again when made anew where a released one was.
TEST_F(DeviceTest, LargeBuffersAreZeroFilledToTheirLastByte) {
    for (const UINT length : {(8u << 20) - 1, 8u << 20, (8u << 20) + 3, (40u << 20) + 1})
        for (int round = 0; round < 2; ++round) {
            IDirect3DVertexBuffer9* buffer = nullptr;
            ASSERT_EQ(device->CreateVertexBuffer(length, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK) << length;
            void* data = nullptr;
            ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
            auto* bytes = static_cast<std::uint8_t*>(data);
            for (UINT i = 0; i < length; i += 4093) ASSERT_EQ(bytes[i], 0) << length << " at " << i;
            ASSERT_EQ(bytes[length - 1], 0) << length;
            for (UINT i = 0; i < length; i += 4093) bytes[i] = 0xA5;  // left for the next round to find, if kept
            bytes[length - 1] = 0x5A;
            EXPECT_EQ(bytes[length - 1], 0x5A);
            EXPECT_EQ(buffer->Unlock(), D3D_OK);
            buffer->Release();
        }
}

TEST_F(DeviceTest, DeclarationsCopyUpToTheEndMarker) {
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
                                          D3DDECL_END(),
                                          {0, 24, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0}};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    EXPECT_EQ(device->CreateVertexDeclaration(nullptr, &declaration), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateVertexDeclaration(elements, nullptr), D3DERR_INVALIDCALL);
    const D3DVERTEXELEMENT9 repeated[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(device->CreateVertexDeclaration(repeated, &declaration), D3DERR_INVALIDCALL);
    EXPECT_EQ(declaration, nullptr);

    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    owned.push_back(declaration);
    UINT count = 0;
    ASSERT_EQ(declaration->GetDeclaration(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 3u);
    D3DVERTEXELEMENT9 copy[MAX_FVF_DECL_SIZE] = {};
    ASSERT_EQ(declaration->GetDeclaration(copy, &count), D3D_OK);
    EXPECT_EQ(copy[1].Offset, 12);
    EXPECT_EQ(copy[1].Usage, D3DDECLUSAGE_NORMAL);
    EXPECT_EQ(copy[2].Stream, 0xFF);
    EXPECT_EQ(copy[3].Stream, 0);  // nothing past the end marker
}

TEST_F(DeviceTest, LayoutSourceIsTheLaterOfFvfAndDeclaration) {
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    owned.push_back(declaration);
    DWORD fvf = 1;
    device->SetFVF(kColoredFvf);
    device->SetVertexDeclaration(declaration);
    ASSERT_EQ(device->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, 0u);
    IDirect3DVertexDeclaration9* current = nullptr;
    ASSERT_EQ(device->GetVertexDeclaration(&current), D3D_OK);
    EXPECT_EQ(current, declaration);
    current->Release();

    device->SetFVF(kColoredFvf);
    ASSERT_EQ(device->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, kColoredFvf);
    ASSERT_EQ(device->GetVertexDeclaration(&current), D3D_OK);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(device->SetFVF(D3DFVF_RESERVED0 | D3DFVF_XYZ), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, VertexCacheQueryDeliversAfterPendingPolls) {
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_VCACHE, nullptr), D3D_OK);
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, nullptr), D3DERR_NOTAVAILABLE);
    IDirect3DQuery9* query = reinterpret_cast<IDirect3DQuery9*>(this);
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &query), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(query, nullptr);

    d3d9sw::SetQueryPendingPolls(2);
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_VCACHE, &query), D3D_OK);
    owned.push_back(query);
    EXPECT_EQ(query->GetType(), D3DQUERYTYPE_VCACHE);
    EXPECT_EQ(query->GetDataSize(), 16u);
    D3DDEVINFO_VCACHE info{};
    EXPECT_EQ(query->GetData(&info, sizeof info, D3DGETDATA_FLUSH), D3DERR_INVALIDCALL);  // not issued
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    EXPECT_EQ(query->GetData(&info, 8, D3DGETDATA_FLUSH), D3DERR_INVALIDCALL);
    EXPECT_EQ(query->GetData(nullptr, 0, D3DGETDATA_FLUSH), S_FALSE);
    EXPECT_EQ(query->GetData(&info, sizeof info, D3DGETDATA_FLUSH), S_FALSE);
    EXPECT_EQ(info.Pattern, 0u);
    ASSERT_EQ(query->GetData(&info, sizeof info, D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(info.Pattern, 0x48434143u);
    EXPECT_EQ(info.OptMethod, 1u);
    EXPECT_EQ(info.CacheSize, 16u);
    EXPECT_EQ(info.MagicNumber, 7u);

    d3d9sw::SetQueryPendingPolls(UINT32_MAX);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    for (int poll = 0; poll < 100; ++poll) ASSERT_EQ(query->GetData(nullptr, 0, D3DGETDATA_FLUSH), S_FALSE);
}

TEST_F(DeviceTest, EventQuerySignalsOnceIssued) {
    d3d9sw::SetQueryPendingPolls(5);  // applies to vertex-cache queries only
    IDirect3DQuery9* query = nullptr;
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, &query), D3D_OK);
    owned.push_back(query);
    EXPECT_EQ(query->Issue(D3DISSUE_BEGIN), D3DERR_INVALIDCALL);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    BOOL done = FALSE;
    ASSERT_EQ(query->GetData(&done, sizeof done, 0), S_OK);
    EXPECT_EQ(done, TRUE);
}

TEST_F(DeviceTest, StateCallsRejectBadArgumentsAndKeepDefaults) {
    D3DMATRIX world{};
    ASSERT_EQ(device->GetTransform(D3DTS_WORLD, &world), D3D_OK);
    EXPECT_EQ(world._11, 1.0f);
    EXPECT_EQ(world._44, 1.0f);
    EXPECT_EQ(world._41, 0.0f);
    EXPECT_EQ(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1), &world), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(0), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(400), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    DWORD address = 0;
    ASSERT_EQ(device->GetSamplerState(0, D3DSAMP_ADDRESSU, &address), D3D_OK);
    EXPECT_EQ(address, D3DTADDRESS_CLAMP);

    D3DVIEWPORT9 viewport{};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, kWidth);
    EXPECT_EQ(viewport.Height, kHeight);
    EXPECT_EQ(viewport.MaxZ, 1.0f);
    D3DVIEWPORT9 tooWide{1, 0, kWidth, kHeight, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&tooWide), D3DERR_INVALIDCALL);

    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetMaterial(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetDirect3D(nullptr), D3DERR_INVALIDCALL);

    D3DCAPS9 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    EXPECT_EQ(caps.MaxPrimitiveCount, 0xFFFFFu);
    EXPECT_EQ(caps.MaxVertexIndex, 0xFFFFFFu);
    EXPECT_EQ(caps.MaxStreams, 16u);
}

TEST_F(DeviceTest, ScenesMustBalance) {
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, BadDrawsAreRefusedAndDrawNothing) {
    std::vector<TransformedVertex> triangle{{0, 0, 0, 1, kRed}, {8, 0, 0, 1, kRed}, {0, 8, 0, 1, kRed}};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kWhite, 1.0f, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(kTransformedFvf);

    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // no stream
    device->SetStreamSource(0, Buffer(triangle), 0, sizeof(TransformedVertex));
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);  // past the end
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(7), 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);  // no indices
    EXPECT_EQ(device->SetStreamSource(16, nullptr, 0, 0), D3DERR_INVALIDCALL);
    device->EndScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);  // outside a scene
    EXPECT_TRUE(DrawnPixels().empty());
}

TEST_F(DeviceTest, IndexedDrawsChecksEveryIndexAndHonoursTheBase) {
    std::vector<TransformedVertex> vertices{{99, 99, 0, 1, kRed}, {0, 0, 0, 1, kRed}, {4, 0, 0, 1, kRed},
                                            {0, 4, 0, 1, kRed}};
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(8, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
    owned.push_back(indices);
    void* data = nullptr;
    indices->Lock(0, 0, &data, 0);
    const std::uint16_t values[4] = {0, 1, 2, 3};
    std::memcpy(data, values, sizeof values);
    indices->Unlock();

    device->Clear(0, nullptr, D3DCLEAR_TARGET, kWhite, 1.0f, 0);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(kTransformedFvf);
    device->SetStreamSource(0, Buffer(vertices), 0, sizeof(TransformedVertex));
    device->SetIndices(indices);
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 3, 1, 1), D3DERR_INVALIDCALL);  // index 4
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 3, 0, 1), D3DERR_INVALIDCALL);  // vertex −1
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 2, 1), D3DERR_INVALIDCALL);  // past indices
    EXPECT_TRUE(DrawnPixels().empty());
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 1, 3, 1, 1), D3D_OK);  // vertices 1, 2, 3
    device->EndScene();
    EXPECT_EQ(DrawnPixels().size(), 6u);
}

}  // namespace
}  // namespace d3d9test
