// Camera, view and projection.
#include "render/camera.h"

#include "facet/math.h"

#include <cmath>
#include <cstring>

namespace render {

float SinDegrees(float degrees) {
    const float radians = degrees * kDegreesToRadians;
    return static_cast<float>(std::sin(static_cast<double>(radians)));
}

float CosDegrees(float degrees) {
    const float radians = degrees * kDegreesToRadians;
    return static_cast<float>(std::cos(static_cast<double>(radians)));
}

Camera::Camera() { SetYaw(yaw_); }

void Camera::SetYaw(float degrees) {
    yaw_ = degrees;
    sinYaw_ = SinDegrees(degrees);
    cosYaw_ = CosDegrees(degrees);
}

ViewVectors ComputeViewVectors(const Camera& camera) {
    const float sinPitch = SinDegrees(camera.pitch);
    const float cosPitch = CosDegrees(camera.pitch);
    ViewVectors vectors;
    vectors.eye = {camera.x, camera.y, camera.z};
    vectors.dir = {cosPitch * camera.SinYaw(), -sinPitch, cosPitch * camera.CosYaw()};
    vectors.at = vectors.eye + vectors.dir;
    vectors.up = {sinPitch * camera.SinYaw(), cosPitch, sinPitch * camera.CosYaw()};
    return vectors;
}

namespace {

constexpr float kFieldOfView = 0.78539819f;  // a quarter turn of pi: 45 degrees
constexpr float kAspect = 1.0f;
constexpr float kNearPlane = 1.0f;
constexpr float kFarPlane = 10000.0f;

void SetDeviceTransform(IDirect3DDevice9* device, D3DTRANSFORMSTATETYPE state, const facet::Matrix4& matrix) {
    D3DMATRIX deviceMatrix;
    static_assert(sizeof(deviceMatrix) == sizeof(matrix), "both are sixteen floats row by row");
    std::memcpy(&deviceMatrix, &matrix, sizeof(deviceMatrix));
    device->SetTransform(state, &deviceMatrix);
}

}  // namespace

void SetupViewProjection(const Camera& camera, TransformSet* transforms, IDirect3DDevice9* device) {
    const ViewVectors vectors = ComputeViewVectors(camera);
    facet::MatrixLookAtLH(&transforms->view, &vectors.eye, &vectors.at, &vectors.up);
    facet::MatrixPerspectiveFovLH(&transforms->projection, kFieldOfView, kAspect, kNearPlane, kFarPlane);
    if (device == nullptr) return;
    SetDeviceTransform(device, D3DTS_VIEW, transforms->view);
    SetDeviceTransform(device, D3DTS_PROJECTION, transforms->projection);
}

}  // namespace render
