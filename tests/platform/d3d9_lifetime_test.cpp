// Reference counting and object lifetimes of the software device: who holds whom, what
// the last Release destroys, QueryInterface answers, and bindings of dying resources.
#include "support/d3d9_fixture.h"

namespace d3d9test {
namespace {

TEST(D3d9Lifetime, DeviceReleasedBeforeItsBufferDiesWithTheBuffer) {
    d3d9sw::ResetInstrumentation();
    IDirect3D9* d3d = Direct3DCreate9(31);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(16, 16);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
              D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
    device->SetStreamSource(0, buffer, 0, 16);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 3);

    // The device holds the Direct3D object; the buffer holds the device.
    EXPECT_EQ(d3d->Release(), 1u);
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 3);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST_F(DeviceTest, EveryResourceHoldsItsDevice) {
    IDirect3DIndexBuffer9* indices = nullptr;
    IDirect3DQuery9* query = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, &query), D3D_OK);
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    EXPECT_EQ(device->AddRef(), 5u);  // creator + three resources + this one
    EXPECT_EQ(device->Release(), 4u);

    IDirect3DDevice9* fromBuffer = nullptr;
    ASSERT_EQ(indices->GetDevice(&fromBuffer), D3D_OK);
    EXPECT_EQ(fromBuffer, device);
    fromBuffer->Release();

    IDirect3D9* fromDevice = nullptr;
    ASSERT_EQ(device->GetDirect3D(&fromDevice), D3D_OK);
    EXPECT_EQ(fromDevice, d3d);
    EXPECT_EQ(fromDevice->Release(), 2u);  // the caller's and the device's

    indices->Release();
    query->Release();
    declaration->Release();
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
}

TEST_F(DeviceTest, QueryInterfaceAnswersOwnIdAndUnknownOnly) {
    void* object = nullptr;
    ASSERT_EQ(device->QueryInterface(IID_IDirect3DDevice9, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(device));
    device->Release();
    ASSERT_EQ(device->QueryInterface(IID_IUnknown, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(device));
    device->Release();

    object = device;
    EXPECT_EQ(device->QueryInterface(IID_IDirect3D9, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    IDirect3DVertexBuffer9* buffer = Buffer(std::vector<float>{0, 0, 0});
    ASSERT_EQ(buffer->QueryInterface(IID_IDirect3DVertexBuffer9, &object), S_OK);
    static_cast<IDirect3DVertexBuffer9*>(object)->Release();
    EXPECT_EQ(buffer->QueryInterface(IID_IDirect3DIndexBuffer9, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    ASSERT_EQ(d3d->QueryInterface(IID_IDirect3D9, &object), S_OK);
    d3d->Release();
}

TEST_F(DeviceTest, ReleasedResourcesAreUnboundNotKeptAlive) {
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(48, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(6, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &indices, nullptr), D3D_OK);
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);

    device->SetStreamSource(0, buffer, 0, 12);
    device->SetIndices(indices);
    device->SetVertexDeclaration(declaration);
    // Binding takes no reference: one Release destroys each.
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(indices->Release(), 0u);
    EXPECT_EQ(declaration->Release(), 0u);

    IDirect3DVertexDeclaration9* current = declaration;
    ASSERT_EQ(device->GetVertexDeclaration(&current), D3D_OK);
    EXPECT_EQ(current, nullptr);
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1), D3DERR_INVALIDCALL);
    device->EndScene();
}

}  // namespace
}  // namespace d3d9test
