// Start-up on the software device: the fixed state, the material, the camera matrices
// and the scene in their order; the start-up sphere; and start-up without a device.
#include "demo_test_support.h"
#include "facet/mesh.h"
#include "render/device_setup.h"
#include "render/frame.h"
#include "sim/scene.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using demo_test::IndexOf;

TEST(Startup, CreatesTheDeviceAndItsFixedStateThenMaterialViewAndScene) {
    d3d9sw::SetCallLogging(true);
    app::Demo demo;
    demo_test::StartHeadless(demo);
    ASSERT_NE(demo.device, nullptr);
    const std::vector<std::string> calls = demo_test::LoggedCalls();
    const std::vector<std::string> ordered = {
        "Direct3DCreate9(31)",
        "Direct3D::CreateDevice(0,1,ptr,32,ptr,ptr)",
        "Device::SetRenderState(22,2)",
        "Device::SetRenderState(137,0)",
        "Device::SetRenderState(7,0)",
        "Device::SetSamplerState(0,1,3)",
        "Device::SetMaterial(ptr)",
        "Device::SetTransform(2,ptr)",
        "Device::SetTransform(3,ptr)",
        "Device::CreateVertexBuffer(192,0,66,0,ptr,null)",
    };
    int at = 0;
    for (const std::string& call : ordered) {
        const int found = IndexOf(calls, call, at);
        ASSERT_GE(found, 0) << call << " missing or out of order";
        at = found + 1;
    }
    EXPECT_EQ(demo.dropHeight, 101.0f);
    D3DMATERIAL9 material;
    demo.device->GetMaterial(&material);
    EXPECT_EQ(material.Diffuse.a, 1.0f);
    EXPECT_EQ(material.Ambient.r, 1.0f);
    EXPECT_EQ(material.Specular.g, 0.0f);
    EXPECT_EQ(material.Power, 0.0f);
}

TEST(Startup, BuildsTheSphereWithNormalsComputedFromItsFaces) {
    app::Demo demo;
    demo_test::StartHeadless(demo);
    ASSERT_NE(demo.sphereMesh, nullptr);
    EXPECT_EQ(demo.sphereMesh->VertexCount(), 8u);
    EXPECT_EQ(demo.sphereMesh->FaceCount(), 12u);
    const float expected[8][3] = {{0, 0, 1},
                                  {-0.3693f, 0.8528f, 0.3693f},
                                  {0.9232f, -0.1066f, 0.3693f},
                                  {-0.5539f, -0.7462f, 0.3693f},
                                  {0.3693f, 0.8528f, -0.3693f},
                                  {0.5539f, -0.7462f, -0.3693f},
                                  {-0.9232f, -0.1066f, -0.3693f},
                                  {0, 0, -1}};
    void* data = nullptr;
    ASSERT_EQ(demo.sphereMesh->LockVertices(D3DLOCK_READONLY, &data), D3D_OK);
    const auto* vertices = static_cast<const float*>(data);  // position, normal
    for (int v = 0; v < 8; ++v)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(vertices[v * 6 + 3 + c], expected[v][c], 1e-4f) << v << "," << c;
    demo.sphereMesh->UnlockVertices();
}

TEST(Startup, WithoutDirect3DNothingNeedingTheDeviceRuns) {
    app::Demo demo;
    d3d9sw::SetDirect3DCreateFails(true);
    demo_test::StartHeadless(demo);
    EXPECT_EQ(demo.d3d, nullptr);
    EXPECT_EQ(demo.device, nullptr);
    EXPECT_EQ(demo.sphereMesh, nullptr);
    EXPECT_EQ(demo.dropHeight, 0.0f);
    EXPECT_EQ(demo.body->massCount, 0);  // the empty body stays empty
    EXPECT_NE(demo.hdc, nullptr);
}

TEST(Startup, FailedDeviceKeepsTheDirect3DObjectAndSkipsTheScene) {
    d3d9sw::SetCallLogging(true);
    app::Demo demo;
    d3d9sw::InjectFault("Direct3D::CreateDevice", E_FAIL);
    demo_test::StartHeadless(demo);
    EXPECT_NE(demo.d3d, nullptr);
    EXPECT_EQ(demo.device, nullptr);
    demo.d3d.Reset();  // the second InitDevice below makes a new Direct3D object
    EXPECT_EQ(render::InitDevice(nullptr, demo.d3d.Put(), demo.device.Put(), demo.sphereMesh.Put()), E_FAIL);
    EXPECT_EQ(IndexOf(demo_test::LoggedMethods(), "Device::SetMaterial"), -1);
    EXPECT_EQ(demo.dropHeight, 0.0f);
}

}  // namespace
