// The view and projection matrices of a left-handed camera, and the float comparison the
// portable normalisation uses.
#include <cmath>

#include "facet/math.h"

namespace facet {

int NearlyEqual(float a, float b) {
    constexpr float kEpsilon = 1.1920929e-07f;  // 2^-23
    const float d = a - b;
    return (d >= -kEpsilon && d <= kEpsilon) ? 1 : 0;
}

Matrix4* MatrixLookAtLH(Matrix4* out, const Vector3* eye, const Vector3* at, const Vector3* up) {
    Vector3 z = *at - *eye;
    Vec3Normalize(&z, &z);
    Vector3 x = Cross(*up, z);
    Vec3Normalize(&x, &x);
    const Vector3 y = Cross(z, x);

    // Each translation term sums the y product and the x product first, then the z product.
    const auto negatedDot = [eye](const Vector3& axis) {
        return -((axis.y * eye->y + axis.x * eye->x) + axis.z * eye->z);
    };
    *out = Matrix4{{{x.x, y.x, z.x, 0.0f,  //
                     x.y, y.y, z.y, 0.0f,  //
                     x.z, y.z, z.z, 0.0f,  //
                     negatedDot(x), negatedDot(y), negatedDot(z), 1.0f}}};
    return out;
}

Matrix4* MatrixPerspectiveFovLH(Matrix4* out, float fovy, float aspect, float zn, float zf) {
    const float h = fovy * 0.5f;
    const float c = static_cast<float>(std::cos(static_cast<double>(h)));
    const float s = static_cast<float>(std::sin(static_cast<double>(h)));
    const float yScale = c / s;
    const float xScale = yScale / aspect;
    const float q = zf / (zf - zn);
    *out = Matrix4{{{xScale, 0.0f, 0.0f, 0.0f,  //
                     0.0f, yScale, 0.0f, 0.0f,  //
                     0.0f, 0.0f, q, 1.0f,       //
                     0.0f, 0.0f, -(q * zn), 0.0f}}};
    return out;
}

}  // namespace facet
