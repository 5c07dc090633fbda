// The call log (order, method names, argument text, results) and every fault-injection
// path: by method with skip and count, by call index, Direct3D creation, and the rule
// that a failing creation call nulls its out-pointer and changes nothing.
#include "support/d3d9_fixture.h"

#include <string>

namespace d3d9test {
namespace {

using d3d9sw::CallLog;
using d3d9sw::CallRecord;

std::vector<std::string> Methods() {
    std::vector<std::string> methods;
    for (const CallRecord& record : CallLog()) methods.push_back(record.method);
    return methods;
}

TEST_F(DeviceTest, CallLogRecordsAFrameInOrderWithArguments) {
    d3d9sw::SetCallLogging(true);
    d3d9sw::ClearCallLog();
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(192, 0, kColoredFvf, D3DPOOL_DEFAULT, &buffer, nullptr), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFFFFFFFF, 1.0f, 0);
    device->BeginScene();
    void* data = nullptr;
    buffer->Lock(0, 192, &data, 0);
    buffer->Unlock();
    device->SetStreamSource(0, buffer, 0, 16);
    device->SetFVF(kColoredFvf);
    device->DrawPrimitive(D3DPT_LINELIST, 0, 6);
    device->EndScene();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    D3DMATRIX identity{};
    device->SetTransform(D3DTS_WORLD, &identity);
    buffer->Release();

    std::vector<std::string> expectedMethods{
        "Device::CreateVertexBuffer", "Device::Clear",   "Device::BeginScene",    "VertexBuffer::Lock",
        "VertexBuffer::Unlock",       "Device::SetStreamSource", "Device::SetFVF", "Device::DrawPrimitive",
        "Device::EndScene",           "Device::SetRenderState",  "Device::SetTransform", "VertexBuffer::Release"};
    ASSERT_EQ(Methods(), expectedMethods);
    const auto& log = CallLog();
    EXPECT_EQ(log[0].args, "192,0,66,0,ptr,null");
    EXPECT_EQ(log[1].args, "0,null,7,4294967295,1,0");
    EXPECT_EQ(log[1].result, D3D_OK);
    EXPECT_EQ(log[3].args, "0,192,ptr,0");
    EXPECT_EQ(log[5].args, "0,ptr,0,16");
    EXPECT_EQ(log[7].args, "2,0,6");
    EXPECT_EQ(log[9].args, "7,0");
    EXPECT_EQ(log[10].args, "256,ptr");
    EXPECT_EQ(log[11].args, "");
    EXPECT_EQ(log[11].result, 0);
}

TEST_F(DeviceTest, CallLogFormatsSignedFloatAndInterfaceIdArguments) {
    d3d9sw::SetCallLogging(true);
    d3d9sw::ClearCallLog();
    device->BeginScene();
    device->BeginScene();  // unbalanced: its failure is logged too
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -3, 0, 8, 0, 1);
    device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.1f, 0);
    void* object = nullptr;
    device->QueryInterface(IID_IUnknown, &object);
    device->Release();
    const auto& log = CallLog();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[1].result, D3DERR_INVALIDCALL);
    EXPECT_EQ(log[2].args, "4,-3,0,8,0,1");
    EXPECT_EQ(log[3].args, "0,null,2,0,0.100000001,0");
    EXPECT_EQ(log[4].method, "Device::QueryInterface");
    EXPECT_EQ(log[4].args, "{00000000-0000-0000-C000-000000000046},ptr");
    EXPECT_EQ(log[5].method, "Device::Release");
    EXPECT_EQ(log[5].result, 1);
}

TEST_F(DeviceTest, LoggingIsOffUntilTurnedOnAndOffAgainAfterAReset) {
    device->BeginScene();
    device->EndScene();
    EXPECT_TRUE(CallLog().empty());
    d3d9sw::SetCallLogging(true);
    device->BeginScene();
    EXPECT_EQ(Methods(), std::vector<std::string>{"Device::BeginScene"});
    d3d9sw::SetCallLogging(false);
    device->EndScene();
    EXPECT_EQ(CallLog().size(), 1u);
    d3d9sw::SetCallLogging(true);
    d3d9sw::ResetInstrumentation();
    device->BeginScene();
    EXPECT_TRUE(CallLog().empty());
}

TEST_F(DeviceTest, MethodFaultSkipsThenFailsCountCallsAndNullsOutPointer) {
    d3d9sw::InjectFault("Device::CreateVertexBuffer", D3DERR_OUTOFVIDEOMEMORY, 2, 1);
    IDirect3DVertexBuffer9* buffers[4] = {};
    IDirect3DVertexBuffer9* poisoned = reinterpret_cast<IDirect3DVertexBuffer9*>(&buffers);
    HRESULT results[4];
    for (int i = 0; i < 4; ++i) {
        buffers[i] = poisoned;
        results[i] = device->CreateVertexBuffer(16, 0, 0, D3DPOOL_DEFAULT, &buffers[i], nullptr);
    }
    EXPECT_EQ(results[0], D3D_OK);
    EXPECT_EQ(results[1], D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(results[2], D3DERR_OUTOFVIDEOMEMORY);
    EXPECT_EQ(results[3], D3D_OK);
    EXPECT_EQ(buffers[1], nullptr);
    EXPECT_EQ(buffers[2], nullptr);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 4);  // d3d, device and two buffers
    buffers[0]->Release();
    buffers[3]->Release();
}

TEST_F(DeviceTest, FailedCallChangesNothing) {
    d3d9sw::InjectFault("Device::SetRenderState", D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3DERR_INVALIDCALL);
    DWORD cull = 0;
    ASSERT_EQ(device->GetRenderState(D3DRS_CULLMODE, &cull), D3D_OK);
    EXPECT_EQ(cull, D3DCULL_CCW);

    d3d9sw::InjectFault("Device::BeginScene", D3DERR_DEVICELOST);
    EXPECT_EQ(device->BeginScene(), D3DERR_DEVICELOST);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);  // the scene never began
}

TEST_F(DeviceTest, FaultAtCallIndexHitsExactlyThatCall) {
    d3d9sw::SetCallLogging(true);
    d3d9sw::ClearCallLog();
    d3d9sw::InjectFaultAtCallIndex(2, D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(device->SetFVF(kColoredFvf), D3D_OK);
    EXPECT_EQ(device->SetFVF(kColoredFvf), D3D_OK);
    EXPECT_EQ(device->SetFVF(kColoredFvf), D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(device->SetFVF(kColoredFvf), D3D_OK);
    EXPECT_EQ(CallLog()[2].result, D3DERR_DRIVERINTERNALERROR);

    // Counting calls are counted but never failed.
    d3d9sw::InjectFaultAtCallIndex(0, D3DERR_DRIVERINTERNALERROR);
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(device->SetFVF(kColoredFvf), D3D_OK);
}

TEST_F(DeviceTest, ClearFaultsDisarmsEverything) {
    d3d9sw::InjectFault("Device::SetFVF", D3DERR_INVALIDCALL, 5);
    d3d9sw::InjectFaultAtCallIndex(1, D3DERR_INVALIDCALL);
    d3d9sw::ClearFaults();
    EXPECT_EQ(device->SetFVF(kColoredFvf), D3D_OK);
    EXPECT_EQ(device->SetFVF(kColoredFvf), D3D_OK);
}

TEST(D3d9Instrumentation, Direct3DCreationFailsOnDemandAndForBadVersions) {
    d3d9sw::ResetInstrumentation();
    d3d9sw::SetCallLogging(true);
    EXPECT_EQ(Direct3DCreate9(30), nullptr);
    EXPECT_EQ(Direct3DCreate9(33), nullptr);

    d3d9sw::SetDirect3DCreateFails(true);
    EXPECT_EQ(Direct3DCreate9(32), nullptr);
    d3d9sw::SetDirect3DCreateFails(false);

    d3d9sw::InjectFault("Direct3DCreate9", E_FAIL);
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(31);
    ASSERT_NE(d3d, nullptr);
    d3d->Release();

    const auto& log = CallLog();
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[0].method, "Direct3DCreate9");
    EXPECT_EQ(log[0].args, "30");
    EXPECT_EQ(log[0].result, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(log[4].result, D3D_OK);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 0);
}

TEST(D3d9Instrumentation, CreateDeviceFaultLeavesNoDevice) {
    d3d9sw::ResetInstrumentation();
    IDirect3D9* d3d = Direct3DCreate9(31);
    d3d9sw::InjectFault("Direct3D::CreateDevice", D3DERR_NOTAVAILABLE);
    D3DPRESENT_PARAMETERS parameters = WindowedParameters(8, 8);
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(&parameters);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d9sw::LiveObjectCount(), 1);
    d3d->Release();
}

TEST(D3d9Instrumentation, AdapterIdentityIsConfigurable) {
    d3d9sw::ResetInstrumentation();
    IDirect3D9* d3d = Direct3DCreate9(32);
    D3DADAPTER_IDENTIFIER9 identifier{};
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &identifier), D3D_OK);
    EXPECT_STREQ(identifier.Description, "Springdrop software rasterizer");
    EXPECT_EQ(identifier.VendorId, 0x5344u);
    EXPECT_EQ(identifier.DeviceId, 0x0001u);

    d3d9sw::SetAdapterIdentity(0x1002, 0x5145);
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &identifier), D3D_OK);
    EXPECT_EQ(identifier.VendorId, 0x1002u);
    EXPECT_EQ(identifier.DeviceId, 0x5145u);
    EXPECT_EQ(d3d->GetAdapterIdentifier(1, 0, &identifier), D3DERR_INVALIDCALL);

    d3d9sw::ResetInstrumentation();
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &identifier), D3D_OK);
    EXPECT_EQ(identifier.VendorId, 0x5344u);
    d3d->Release();
}

}  // namespace
}  // namespace d3d9test
