// The camera's vectors and the view and projection it sets, with the math routines'
// documented examples that the camera relies on.
#include "demo_test_support.h"
#include "facet/math.h"
#include "render/camera.h"
#include "render/device_setup.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Camera, StartsAtItsEyePointLookingTenDegreesDownTowardTheOrigin) {
    render::Camera camera;
    EXPECT_EQ(camera.SinYaw(), 0.70710677f);
    EXPECT_EQ(camera.CosYaw(), 0.70710677f);
    const render::ViewVectors v = render::ComputeViewVectors(camera);
    EXPECT_FLOAT_EQ(v.dir.x, 0.69636422f);
    EXPECT_FLOAT_EQ(v.dir.y, -0.17364818f);
    EXPECT_FLOAT_EQ(v.dir.z, 0.69636422f);
    EXPECT_FLOAT_EQ(v.at.x, -149.30363f);
    EXPECT_FLOAT_EQ(v.at.y, 79.826355f);
    EXPECT_FLOAT_EQ(v.up.x, 0.12278780f);
    EXPECT_FLOAT_EQ(v.up.y, 0.98480773f);
    EXPECT_FLOAT_EQ(v.up.z, 0.12278780f);
}

TEST(Camera, AtNinetyDegreesPitchUpIsTheHeading) {
    render::Camera camera;
    camera.pitch = 90.0f;
    const render::ViewVectors v = render::ComputeViewVectors(camera);
    EXPECT_NEAR(v.dir.x, 0.0f, 1e-7f);
    EXPECT_EQ(v.dir.y, -1.0f);
    EXPECT_FLOAT_EQ(v.up.x, camera.SinYaw());
    EXPECT_NEAR(v.up.y, 0.0f, 1e-7f);
}

TEST(Camera, StartupSetsTheLookAtViewAndTheFixedProjection) {
    app::Demo demo;
    demo_test::StartHeadless(demo);
    D3DMATRIX view;
    D3DMATRIX projection;
    demo.device->GetTransform(D3DTS_VIEW, &view);
    demo.device->GetTransform(D3DTS_PROJECTION, &projection);
    // The third column is the direction of sight; the eye maps to the origin.
    // The normalisation variant depends on the processor: a few float steps apart.
    EXPECT_NEAR(view._13, 0.69636422f, 1e-5f);
    EXPECT_NEAR(view._23, -0.17364818f, 1e-5f);
    const float eyeZ = -150.0f * view._13 + 80.0f * view._23 - 150.0f * view._33 + view._43;
    EXPECT_NEAR(eyeZ, 0.0f, 1e-3f);
    EXPECT_FLOAT_EQ(projection._11, 2.4142134f);
    EXPECT_FLOAT_EQ(projection._22, 2.4142134f);
    EXPECT_EQ(projection._33, 1.000100016593933f);
    EXPECT_EQ(projection._34, 1.0f);
    EXPECT_FLOAT_EQ(projection._43, -1.0001f);
    EXPECT_EQ(projection._44, 0.0f);
}

TEST(CameraMath, LookAtAlongZIsTheIdentityShiftedByTheEyeDistance) {
    const facet::Vector3 eye{0, 0, -5}, at{0, 0, 0}, up{0, 1, 0};
    facet::Matrix4 m;
    facet::MatrixLookAtLH(&m, &eye, &at, &up);
    for (int r = 0; r < 3; ++r)
        // The axes are normalised through the dispatched routine, whose reciprocal square
        // root estimate differs between processors: one is within a few ulps, not exact.
        for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(m.m[r][c], r == c ? 1.0f : 0.0f) << r << c;
    EXPECT_EQ(m._43, 5.0f);
    EXPECT_TRUE(std::signbit(m._41));
    EXPECT_EQ(m._44, 1.0f);
}

}  // namespace
