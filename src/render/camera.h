// The free camera (a position, a heading `yaw` and a downward tilt `pitch`, both in
// degrees) and the view and projection built from it.
#pragma once

#include "springdrop/d3d9/d3d9.h"
#include "facet/types.h"

namespace render {

// Degrees to radians, as the 32-bit float the camera has always used.
constexpr float kDegreesToRadians = 0.017453292f;

// Sine and cosine are taken in double precision from the 32-bit radian argument and
// stored as 32-bit floats.
float SinDegrees(float degrees);
float CosDegrees(float degrees);

// The heading and its cached sine and cosine change together, through SetYaw only, so
// they always agree; pitch and position are plain values.
class Camera {
public:
    float pitch = 10.0f;
    float x = -150.0f;
    float y = 80.0f;
    float z = -150.0f;

    Camera();
    // Turns the camera to `degrees` and recomputes the heading's sine and cosine.
    void SetYaw(float degrees);
    float Yaw() const { return yaw_; }
    float SinYaw() const { return sinYaw_; }
    float CosYaw() const { return cosYaw_; }

private:
    float yaw_ = 45.0f;
    float sinYaw_;
    float cosYaw_;
};

// World, view and projection; left unset until SetupViewProjection writes view and
// projection (the world matrix is never used).
struct TransformSet {
    facet::Matrix4 world;
    facet::Matrix4 view;
    facet::Matrix4 projection;
};

// The eye, the point one unit ahead along the direction of sight, and the up direction
// (the sight turned up by 90 degrees, so never parallel to it).
struct ViewVectors {
    facet::Vector3 eye;
    facet::Vector3 dir;
    facet::Vector3 at;
    facet::Vector3 up;
};
ViewVectors ComputeViewVectors(const Camera& camera);

// Builds the view matrix from `camera` with a left-handed look-at and the fixed
// perspective projection (45 degree vertical field, aspect 1, planes 1 and 10000) into
// `transforms`, and sets both on `device` when there is one.
void SetupViewProjection(const Camera& camera, TransformSet* transforms, IDirect3DDevice9* device);

}  // namespace render
