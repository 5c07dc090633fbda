// The portable Vec3Normalize: the reference behaviour of the routine the geometry library
// and the look-at matrix normalise with.
#include <cmath>

#include "math/portable_routines.h"

namespace facet::portable {

Vector3* Vec3Normalize(Vector3* out, const Vector3* in) {
    const float lenSq = in->x * in->x + in->y * in->y + in->z * in->z;
    if (NearlyEqual(lenSq, 1.0f) != 0) {
        if (out != in) *out = *in;
        return out;
    }
    // Also catches NaN: no square root of a value that cannot be inverted.
    if (!(lenSq > 1.17549435e-38f)) {
        *out = Vector3{0.0f, 0.0f, 0.0f};
        return out;
    }
    const float k = 1.0f / std::sqrt(lenSq);
    *out = Vector3{in->x * k, in->y * k, in->z * k};
    return out;
}

}  // namespace facet::portable
