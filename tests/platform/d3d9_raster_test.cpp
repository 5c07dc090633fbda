// Rasterizer goldens: exact pixel sets of lines and triangles under the rule written in
// rasterizer.h, clipping at the near plane, culling, depth test, colours and Clear.
#include "support/d3d9_fixture.h"

#include <cmath>

namespace d3d9test {
namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels Column(int x, int y0, int y1) {
    Pixels pixels;
    for (int y = y0; y <= y1; ++y) pixels.insert({x, y});
    return pixels;
}

Pixels Row(int y, int x0, int x1) {
    Pixels pixels;
    for (int x = x0; x <= x1; ++x) pixels.insert({x, y});
    return pixels;
}

D3DMATRIX PerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
    float yScale = 1.0f / std::tan(fovY / 2);
    float q = zf / (zf - zn);
    D3DMATRIX m{};
    m._11 = yScale / aspect;
    m._22 = yScale;
    m._33 = q;
    m._34 = 1.0f;
    m._43 = -zn * q;
    return m;
}

class RasterTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
};

TEST_F(RasterTest, AxisAlignedLinesLightHalfOpenRanges) {
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<TransformedVertex>{{10.5f, 20.5f, 0, 1, kRed}, {20.5f, 20.5f, 0, 1, kRed}},
                   kTransformedFvf),
              D3D_OK);
    EXPECT_EQ(DrawnPixels(), Row(20, 10, 19));

    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<TransformedVertex>{{5.5f, 3.5f, 0, 1, kRed}, {5.5f, 9.5f, 0, 1, kRed}},
                   kTransformedFvf),
              D3D_OK);
    EXPECT_EQ(DrawnPixels(), Column(5, 3, 8));

    // Drawn right to left, the start is still included and the end excluded.
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<TransformedVertex>{{20.5f, 20.5f, 0, 1, kRed}, {10.5f, 20.5f, 0, 1, kRed}},
                   kTransformedFvf),
              D3D_OK);
    EXPECT_EQ(DrawnPixels(), Row(20, 11, 20));
}

TEST_F(RasterTest, SteepLineLightsOnePixelPerRow) {
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<TransformedVertex>{{5.5f, 2.5f, 0, 1, kRed}, {8.5f, 14.5f, 0, 1, kRed}},
                   kTransformedFvf),
              D3D_OK);
    // x at row j's centre is 5.5 + (j - 2) / 4; the lit column is its floor.
    Pixels expected{{5, 2}, {5, 3}, {6, 4}, {6, 5}, {6, 6}, {6, 7}, {7, 8}, {7, 9}, {7, 10}, {7, 11}, {8, 12}, {8, 13}};
    EXPECT_EQ(DrawnPixels(), expected);
}

TEST_F(RasterTest, LineStripDoesNotRelightSharedEnds) {
    std::vector<TransformedVertex> strip{{2.5f, 2.5f, 0, 1, kRed}, {6.5f, 2.5f, 0, 1, kRed}, {6.5f, 6.5f, 0, 1, kRed}};
    ASSERT_EQ(Draw(D3DPT_LINESTRIP, 2, strip, kTransformedFvf), D3D_OK);
    Pixels expected = Row(2, 2, 5);
    expected.merge(Column(6, 2, 5));
    EXPECT_EQ(DrawnPixels(), expected);
}

TEST_F(RasterTest, LineColourIsInterpolatedAndRounded) {
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1,
                   std::vector<TransformedVertex>{{0.5f, 0.5f, 0, 1, 0xFFFF0000}, {10.5f, 0.5f, 0, 1, 0xFF0000FF}},
                   kTransformedFvf),
              D3D_OK);
    EXPECT_EQ(PixelRgba(0, 0), 0xFF0000FFu);
    EXPECT_EQ(PixelRgba(5, 0), 0x800080FFu);  // halfway: 127.5 rounds up
    EXPECT_EQ(PixelRgba(9, 0), 0x1A00E6FFu);  // t = 0.9
}

TEST_F(RasterTest, OneColourLineStillTestsItsInterpolatedDepth) {
    // A green band at depth 0.5 over row 5, then a red line whose depth runs 0 -> 1 across
    // it: only the columns where the line's depth is at most 0.5 (x = 0..15) come out red.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 2,
                   std::vector<TransformedVertex>{{0, 4, 0.5f, 1, 0xFF00FF00},
                                                  {32, 4, 0.5f, 1, 0xFF00FF00},
                                                  {0, 7, 0.5f, 1, 0xFF00FF00},
                                                  {32, 4, 0.5f, 1, 0xFF00FF00},
                                                  {32, 7, 0.5f, 1, 0xFF00FF00},
                                                  {0, 7, 0.5f, 1, 0xFF00FF00}},
                   kTransformedFvf),
              D3D_OK);
    const std::vector<TransformedVertex> line{{0.5f, 5.5f, 0.0f, 1, kRed}, {30.5f, 5.5f, 1.0f, 1, kRed}};
    device->SetStreamSource(0, Buffer(line), 0, sizeof(TransformedVertex));
    device->BeginScene();
    ASSERT_EQ(device->DrawPrimitive(D3DPT_LINELIST, 0, 1), D3D_OK);
    device->EndScene();
    EXPECT_EQ(PixelRgba(0, 5), 0xFF0000FFu);
    EXPECT_EQ(PixelRgba(15, 5), 0xFF0000FFu);
    EXPECT_EQ(PixelRgba(16, 5), 0x00FF00FFu);
    EXPECT_EQ(PixelRgba(29, 5), 0x00FF00FFu);
}

TEST_F(RasterTest, ModelLinesGoThroughIdentityTransformsAndViewport) {
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<ColoredVertex>{{-0.5f, 0.0f, 0.5f, kRed}, {0.5f, 0.0f, 0.5f, kRed}},
                   kColoredFvf),
              D3D_OK);
    EXPECT_EQ(DrawnPixels(), Row(16, 8, 23));
    EXPECT_EQ(PixelRgba(8, 16), 0xFF0000FFu);
}

TEST_F(RasterTest, LineCrossingTheNearPlaneIsClippedNotWrapped) {
    D3DMATRIX projection = PerspectiveFovLH(3.14159265f / 2, 1.0f, 1.0f, 100.0f);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    // From x = 2 in front of the eye to x = 2 behind it: only the part in front (right
    // of the centre, screen x from 22.4 outwards) may show.
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<ColoredVertex>{{2.0f, 0.0f, 5.0f, kRed}, {2.0f, 0.0f, -5.0f, kRed}},
                   kColoredFvf),
              D3D_OK);
    Pixels drawn = DrawnPixels();
    EXPECT_EQ(drawn, Row(16, 22, 31));
}

TEST_F(RasterTest, TriangleBehindTheEyeDrawsNothing) {
    D3DMATRIX projection = PerspectiveFovLH(3.14159265f / 2, 1.0f, 1.0f, 100.0f);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    std::vector<ColoredVertex> behind{{-1, -1, -5, kRed}, {1, -1, -5, kRed}, {0, 1, -5, kRed}};
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, behind, kColoredFvf), D3D_OK);
    EXPECT_TRUE(DrawnPixels().empty());
}

TEST_F(RasterTest, TopLeftRuleExcludesRightEdgeCentres) {
    // Clockwise on screen; the hypotenuse passes through pixel centres with i + j = 3.
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1,
                   std::vector<TransformedVertex>{{0, 0, 0, 1, kRed}, {4, 0, 0, 1, kRed}, {0, 4, 0, 1, kRed}},
                   kTransformedFvf),
              D3D_OK);
    Pixels expected{{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {0, 2}};
    EXPECT_EQ(DrawnPixels(), expected);
}

TEST_F(RasterTest, TrianglesSharingAnEdgeCoverEachPixelOnce) {
    // Two triangles of a strip over the square [2, 10) × [2, 10), each half a different
    // colour; every pixel is drawn, and the diagonal belongs to exactly one of them.
    std::vector<TransformedVertex> strip{
        {2, 2, 0, 1, 0xFFFF0000}, {10, 2, 0, 1, 0xFFFF0000}, {2, 10, 0, 1, 0xFFFF0000}, {10, 10, 0, 1, 0xFFFF0000}};
    ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, strip, kTransformedFvf), D3D_OK);
    Pixels square;
    for (int y = 2; y < 10; ++y)
        for (int x = 2; x < 10; ++x) square.insert({x, y});
    EXPECT_EQ(DrawnPixels(), square);
}

TEST_F(RasterTest, CullModeDecidesByScreenWinding) {
    std::vector<TransformedVertex> clockwise{{4, 4, 0, 1, kRed}, {28, 4, 0, 1, kRed}, {4, 28, 0, 1, kRed}};
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, clockwise, kTransformedFvf), D3D_OK);
    EXPECT_TRUE(DrawnPixels().empty());

    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, clockwise, kTransformedFvf), D3D_OK);
    EXPECT_EQ(DrawnPixels().size(), 276u);  // centres with (x - 4) + (y - 4) < 24

    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, clockwise, kTransformedFvf), D3D_OK);
    EXPECT_FALSE(DrawnPixels().empty());

    // Lines are never culled.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<TransformedVertex>{{1.5f, 1.5f, 0, 1, kRed}, {3.5f, 1.5f, 0, 1, kRed}},
                   kTransformedFvf),
              D3D_OK);
    EXPECT_EQ(DrawnPixels(), Row(1, 1, 2));
}

TEST_F(RasterTest, DepthTestKeepsTheNearerTriangleOnlyWhenEnabled) {
    std::vector<TransformedVertex> both{{0, 0, 0.25f, 1, 0xFFFF0000}, {8, 0, 0.25f, 1, 0xFFFF0000},
                                        {0, 8, 0.25f, 1, 0xFFFF0000}, {0, 0, 0.75f, 1, 0xFF0000FF},
                                        {8, 0, 0.75f, 1, 0xFF0000FF}, {0, 8, 0.75f, 1, 0xFF0000FF}};
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 2, both, kTransformedFvf), D3D_OK);
    EXPECT_EQ(PixelRgba(1, 1), 0xFF0000FFu);

    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 2, both, kTransformedFvf), D3D_OK);
    EXPECT_EQ(PixelRgba(1, 1), 0x0000FFFFu);
}

TEST_F(RasterTest, LightingWithoutLightsUsesEmissivePlusAmbient) {
    D3DMATERIAL9 material{};
    material.Emissive = {0.2f, 0.0f, 0.0f, 0.0f};
    material.Ambient = {1.0f, 1.0f, 0.0f, 0.0f};
    material.Diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
    device->SetMaterial(&material);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF808080);
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<ColoredVertex>{{-0.5f, 0.0f, 0.5f, kRed}, {0.5f, 0.0f, 0.5f, kRed}},
                   kColoredFvf),
              D3D_OK);
    // red 0.2 + 128/255 → 179, green 128/255 → 128, blue 0, alpha from the diffuse.
    EXPECT_EQ(PixelRgba(10, 16), 0xB38000FFu);
}

TEST_F(RasterTest, VertexWithoutDiffuseIsWhiteAndDeclarationsWork) {
    struct PositionOnly {
        float x, y, z, rhw;
    };
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITIONT, 0}, D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    owned.push_back(declaration);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->SetStreamSource(0, Buffer(std::vector<PositionOnly>{{1.5f, 1.5f, 0, 1}, {4.5f, 1.5f, 0, 1}}), 0,
                            sizeof(PositionOnly));
    device->SetVertexDeclaration(declaration);
    device->BeginScene();
    ASSERT_EQ(device->DrawPrimitive(D3DPT_LINELIST, 0, 1), D3D_OK);
    device->EndScene();
    EXPECT_EQ(PixelRgba(2, 1), 0xFFFFFFFFu);
    EXPECT_EQ(PixelRgba(2, 2), 0x000000FFu);
}

TEST_F(RasterTest, ClearFillsViewportOrRectanglesWithArgbColour) {
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80336699, 1.0f, 0), D3D_OK);
    EXPECT_EQ(PixelRgba(0, 0), 0x33669980u);
    EXPECT_EQ(PixelRgba(31, 31), 0x33669980u);

    D3DRECT rect{4, 4, 8, 6};
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    EXPECT_EQ(PixelRgba(4, 4), 0x000000FFu);
    EXPECT_EQ(PixelRgba(7, 5), 0x000000FFu);
    EXPECT_EQ(PixelRgba(8, 5), 0x33669980u);
    EXPECT_EQ(PixelRgba(7, 6), 0x33669980u);
}

TEST_F(RasterTest, ViewportScissorsAndPlacesDrawing) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kWhite, 1.0f, 0);
    D3DVIEWPORT9 viewport{8, 8, 16, 16, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(Draw(D3DPT_LINELIST, 1, std::vector<ColoredVertex>{{-2.0f, 0.0f, 0.5f, kRed}, {2.0f, 0.0f, 0.5f, kRed}},
                   kColoredFvf),
              D3D_OK);
    EXPECT_EQ(DrawnPixels(), Row(16, 8, 23));
}

TEST_F(RasterTest, ExtremeCoordinatesStayInsideTheViewport) {
    const float nan = std::nanf("");
    std::vector<TransformedVertex> wild{{-1e30f, 5.5f, 0, 1, kRed}, {1e30f, 5.5f, 0, 1, kRed},
                                        {nan, 0, 0, 1, kRed},      {3, 3, 0, 1, kRed},
                                        {-1e30f, -1e30f, 0, 1, kRed}, {1e30f, 0, 0, 1, kRed}};
    ASSERT_EQ(Draw(D3DPT_LINELIST, 2, wild, kTransformedFvf), D3D_OK);
    EXPECT_EQ(DrawnPixels(), Row(5, 0, 31));
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 2, wild, kTransformedFvf), D3D_OK);
    EXPECT_LE(DrawnPixels().size(), static_cast<std::size_t>(kWidth * kHeight));
}

}  // namespace
}  // namespace d3d9test
