// Facet's value types: vectors, quaternions, planes and the 4 x 4 matrix, all of 32-bit
// floats. Row vectors are multiplied on the left (v' = v * M), translations sit in
// _41, _42, _43, and coordinates are left-handed with y up.
#pragma once

#include <cmath>

namespace facet {

struct Vector2 {
    float x, y;
};

// Every operation returns a new vector whose components are rounded to float. Default
// construction leaves the components unset, as plain records do.
struct Vector3 {
    float x, y, z;

    Vector3() = default;
    constexpr Vector3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

    friend Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend Vector3 operator*(const Vector3& v, float f) { return {v.x * f, v.y * f, v.z * f}; }
    friend Vector3 operator*(float f, const Vector3& v) { return {v.x * f, v.y * f, v.z * f}; }
    // Division multiplies by the reciprocal, itself first rounded to a float, so that a
    // division costs one reciprocal and three products, as the simulation's numbers expect.
    friend Vector3 operator/(const Vector3& v, float f) {
        const float reciprocal = 1.0f / f;
        return v * reciprocal;
    }
    // The square root of x*x + y*y + z*z, summed in that order in single precision.
    float Length() const { return std::sqrt(x * x + y * y + z * z); }
    // The cross product a x b, each component rounded once after its two products.
    friend Vector3 Cross(const Vector3& a, const Vector3& b) {
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    }
};

struct Vector4 {
    float x, y, z, w;
};

struct Quaternion {
    float x, y, z, w;
};

// The plane a*x + b*y + c*z + d*w = 0.
struct Plane {
    float a, b, c, d;
};

// Sixteen floats stored row by row: _11, _12, _13, _14, _21, ..., _44.
struct Matrix4 {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };
};

static_assert(sizeof(Vector3) == 12, "Vector3 is three packed floats");
static_assert(sizeof(Matrix4) == 64, "Matrix4 is sixteen packed floats");

}  // namespace facet
