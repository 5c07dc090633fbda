// Facet's math routines.
//
// Conventions shared by every routine below: row vectors are multiplied on the left
// (v' = v * M), coordinates are left-handed, the output pointer comes first and is
// returned, and a vector routine's output may be the same object as any of its inputs.
// Array routines take (out, outStride, in, inStride, ..., n): strides in bytes between
// consecutive elements, n the element count. Nothing reports an error: degenerate inputs
// give the defined values stated per routine, or the IEEE infinities and NaNs computed.
//
// The 73 routines from Vec2Transform to MatrixAffineTransformation2D are dispatched: the
// public entry continues at the variant that the dispatch table (facet/dispatch.h) holds
// for this processor. Variants compute the same formula in single precision and may
// differ by rounding (and, for Vec3Normalize, by its documented thresholds).
#pragma once

#include <cstdint>

#include "facet/types.h"

namespace facet {

// A rectangle of the render target and its depth range, for projection and unprojection.
struct Viewport {
    std::uint32_t x, y, width, height;
    float minZ, maxZ;
};

// Up to four bone influences of one skinned vertex; unused influences carry weight 0.
struct VertexInfluence {
    float weights[4];
    std::uint8_t bones[4];
};

// ---- Vector transforms ----------------------------------------------------------------

// (x, y, 0, 1) * m.
Vector4* Vec2Transform(Vector4* out, const Vector2* v, const Matrix4* m);
// (x, y, z, 1) * m.
Vector4* Vec3Transform(Vector4* out, const Vector3* v, const Matrix4* m);
// (x, y, z, w) * m.
Vector4* Vec4Transform(Vector4* out, const Vector4* v, const Matrix4* m);
// (x, y, 0, 0) * m, keeping x and y: a direction, so the translation row is ignored.
Vector2* Vec2TransformNormal(Vector2* out, const Vector2* v, const Matrix4* m);
// (x, y, z, 0) * m, keeping x, y and z: a direction, so the translation row is ignored.
Vector3* Vec3TransformNormal(Vector3* out, const Vector3* v, const Matrix4* m);
// (x, y, 0, 1) * m, with x and y then divided by the resulting w (projective point).
Vector2* Vec2TransformCoord(Vector2* out, const Vector2* v, const Matrix4* m);
// (x, y, z, 1) * m, with x, y and z then divided by the resulting w (projective point).
Vector3* Vec3TransformCoord(Vector3* out, const Vector3* v, const Matrix4* m);

// ---- Normalisation and vector products ---------------------------------------------------

// Normalises `in` into `out` (which may equal `in`) and returns `out`; a zero-length
// vector gives the zero vector. The portable routine copies a vector whose squared length
// is within 2^-23 of 1 unchanged and gives zero when the squared length is at most 2^-126
// or NaN; the processor variants differ in these thresholds and in the accuracy of the
// reciprocal square root (at worst about 1.5e-6 relative).
Vector3* Vec3Normalize(Vector3* out, const Vector3* in);
// v / |v|; a squared length of at most 2^-126, or NaN, gives the zero vector.
Vector2* Vec2Normalize(Vector2* out, const Vector2* v);
// v / |v| over all four components; a squared length of at most 2^-126, or NaN, gives zero.
Vector4* Vec4Normalize(Vector4* out, const Vector4* v);
// The four-dimensional cross product: the vector orthogonal to u, v and w whose components
// are the signed 3 x 3 minors of the matrix with rows u, v, w.
Vector4* Vec4Cross(Vector4* out, const Vector4* u, const Vector4* v, const Vector4* w);

// ---- Curves and barycentric combinations -------------------------------------------------

// Cubic Hermite curve through p1 (s = 0) and p2 (s = 1) with tangents t1 and t2:
// (2s^3 - 3s^2 + 1) p1 + (s^3 - 2s^2 + s) t1 + (-2s^3 + 3s^2) p2 + (s^3 - s^2) t2.
Vector2* Vec2Hermite(Vector2* out, const Vector2* p1, const Vector2* t1, const Vector2* p2,
                     const Vector2* t2, float s);
Vector3* Vec3Hermite(Vector3* out, const Vector3* p1, const Vector3* t1, const Vector3* p2,
                     const Vector3* t2, float s);
Vector4* Vec4Hermite(Vector4* out, const Vector4* p1, const Vector4* t1, const Vector4* p2,
                     const Vector4* t2, float s);
// Catmull-Rom spline between v1 (s = 0) and v2 (s = 1), v0 and v3 the outer points:
// 0.5 (2 v1 + (v2 - v0) s + (2 v0 - 5 v1 + 4 v2 - v3) s^2 + (3 v1 - v0 - 3 v2 + v3) s^3).
Vector2* Vec2CatmullRom(Vector2* out, const Vector2* v0, const Vector2* v1, const Vector2* v2,
                        const Vector2* v3, float s);
Vector3* Vec3CatmullRom(Vector3* out, const Vector3* v0, const Vector3* v1, const Vector3* v2,
                        const Vector3* v3, float s);
Vector4* Vec4CatmullRom(Vector4* out, const Vector4* v0, const Vector4* v1, const Vector4* v2,
                        const Vector4* v3, float s);
// v1 + f (v2 - v1) + g (v3 - v1): the point of barycentric weights (1 - f - g, f, g).
Vector2* Vec2BaryCentric(Vector2* out, const Vector2* v1, const Vector2* v2, const Vector2* v3,
                         float f, float g);
Vector3* Vec3BaryCentric(Vector3* out, const Vector3* v1, const Vector3* v2, const Vector3* v3,
                         float f, float g);
Vector4* Vec4BaryCentric(Vector4* out, const Vector4* v1, const Vector4* v2, const Vector4* v3,
                         float f, float g);

// ---- Projection --------------------------------------------------------------------------

// Object space to screen: v * world * view * projection as a projective point, then
// x' = vp.x + (1 + x) vp.width / 2, y' = vp.y + (1 - y) vp.height / 2,
// z' = vp.minZ + z (vp.maxZ - vp.minZ). A null viewport or matrix counts as identity
// (a null viewport leaves the normalised device coordinates as they are).
Vector3* Vec3Project(Vector3* out, const Vector3* v, const Viewport* viewport,
                     const Matrix4* projection, const Matrix4* view, const Matrix4* world);
// The inverse of Vec3Project. Returns null, writing nothing, when the combined matrix is
// singular.
Vector3* Vec3Unproject(Vector3* out, const Vector3* v, const Viewport* viewport,
                       const Matrix4* projection, const Matrix4* view, const Matrix4* world);

// ---- Matrices ----------------------------------------------------------------------------

// out = a * b: out[i][j] = sum over k of a[i][k] b[k][j], so transforming by out equals
// transforming by a and then by b. out may be a, b or both; the product is then that of
// the values the operands had on entry.
Matrix4* MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b);
// out = (a * b) transposed, with the same aliasing guarantee as MatrixMultiply.
Matrix4* MatrixMultiplyTranspose(Matrix4* out, const Matrix4* a, const Matrix4* b);
// The determinant of m, expanded over the 2 x 2 minors of its upper and lower row pairs.
float MatrixDeterminant(const Matrix4* m);
// The inverse of m by its adjugate; stores the determinant through `determinant` when that
// is not null. Returns null, leaving out unwritten, when the determinant is 0.
Matrix4* MatrixInverse(Matrix4* out, float* determinant, const Matrix4* m);
// The transpose of m; out may equal m.
Matrix4* MatrixTranspose(Matrix4* out, const Matrix4* m);
// Translation by (x, y, z): the identity with _41, _42, _43 = x, y, z.
Matrix4* MatrixTranslation(Matrix4* out, float x, float y, float z);
// Scaling by (sx, sy, sz) along the axes.
Matrix4* MatrixScaling(Matrix4* out, float sx, float sy, float sz);
// Rotation by `angle` radians about the x, y or z axis, clockwise when looking along the
// axis towards the origin (left-handed): e.g. about z, _11 = _22 = cos, _12 = sin, _21 = -sin.
Matrix4* MatrixRotationX(Matrix4* out, float angle);
Matrix4* MatrixRotationY(Matrix4* out, float angle);
Matrix4* MatrixRotationZ(Matrix4* out, float angle);
// Rotation by `angle` radians about `axis` (normalised first); the same rotation as
// MatrixRotationQuaternion of QuaternionRotationAxis.
Matrix4* MatrixRotationAxis(Matrix4* out, const Vector3* axis, float angle);
// Roll about z, then pitch about x, then yaw about y: Rz(roll) * Rx(pitch) * Ry(yaw).
Matrix4* MatrixRotationYawPitchRoll(Matrix4* out, float yaw, float pitch, float roll);
// The rotation of the unit quaternion q.
Matrix4* MatrixRotationQuaternion(Matrix4* out, const Quaternion* q);
// Projects geometry onto `plane` (normalised first) from `light` (w = 0: a direction,
// w = 1: a point): out[i][j] = d * (i == j) - p[i] * light[j], where p = (a, b, c, d) of
// the plane and d = p . light.
Matrix4* MatrixShadow(Matrix4* out, const Vector4* light, const Plane* plane);
// Reflection through `plane` (normalised first): v' = v - 2 (n . v + d) n.
Matrix4* MatrixReflect(Matrix4* out, const Plane* plane);
// Scaling about scalingCenter in the frame turned by scalingRotation, then rotation about
// rotationCenter, then translation: Tsc^-1 Rsr^-1 S Rsr Tsc Trc^-1 R Trc T. Any null
// argument is the identity of its step.
Matrix4* MatrixTransformation(Matrix4* out, const Vector3* scalingCenter,
                              const Quaternion* scalingRotation, const Vector3* scaling,
                              const Vector3* rotationCenter, const Quaternion* rotation,
                              const Vector3* translation);
// Uniform scaling, then rotation about rotationCenter, then translation:
// S Trc^-1 R Trc T. Any null argument is the identity of its step.
Matrix4* MatrixAffineTransformation(Matrix4* out, float scaling, const Vector3* rotationCenter,
                                    const Quaternion* rotation, const Vector3* translation);
// MatrixTransformation in the xy plane: rotations are angles about z, vectors have z = 0
// and the scaling leaves z unchanged.
Matrix4* MatrixTransformation2D(Matrix4* out, const Vector2* scalingCenter, float scalingRotation,
                                const Vector2* scaling, const Vector2* rotationCenter, float rotation,
                                const Vector2* translation);
// MatrixAffineTransformation in the xy plane: the rotation is an angle about z and the
// scaling is applied to x and y only.
Matrix4* MatrixAffineTransformation2D(Matrix4* out, float scaling, const Vector2* rotationCenter,
                                      float rotation, const Vector2* translation);

// ---- Quaternions (x, y, z, w) --------------------------------------------------------------

// The rotation q1 followed by q2, which is the Hamilton product q2 q1; so
// MatrixRotationQuaternion(q1 * q2) = MatrixRotationQuaternion(q1) * MatrixRotationQuaternion(q2).
Quaternion* QuaternionMultiply(Quaternion* out, const Quaternion* q1, const Quaternion* q2);
// q / |q|; a squared length of at most 2^-126, or NaN, gives the zero quaternion.
Quaternion* QuaternionNormalize(Quaternion* out, const Quaternion* q);
// The conjugate divided by the squared length; the zero quaternion gives zero.
Quaternion* QuaternionInverse(Quaternion* out, const Quaternion* q);
// The unit quaternion of the rotation part of m (an orthonormal upper 3 x 3 block).
Quaternion* QuaternionRotationMatrix(Quaternion* out, const Matrix4* m);
// Rotation by `angle` radians about `axis` (normalised first).
Quaternion* QuaternionRotationAxis(Quaternion* out, const Vector3* axis, float angle);
// The rotation of MatrixRotationYawPitchRoll as a unit quaternion.
Quaternion* QuaternionRotationYawPitchRoll(Quaternion* out, float yaw, float pitch, float roll);
// Writes the vector part of q to *axis (not normalised) and 2 acos(w) to *angle.
void QuaternionToAxisAngle(const Quaternion* q, Vector3* axis, float* angle);
// Spherical interpolation from q1 (t = 0) to q2 (t = 1) along the shorter arc; nearly
// equal quaternions are interpolated linearly.
Quaternion* QuaternionSlerp(Quaternion* out, const Quaternion* q1, const Quaternion* q2, float t);
// Slerp(Slerp(q1, q2, f + g), Slerp(q1, q3, f + g), g / (f + g)); q1 when f + g = 0.
Quaternion* QuaternionBaryCentric(Quaternion* out, const Quaternion* q1, const Quaternion* q2,
                                  const Quaternion* q3, float f, float g);
// Spherical quadrangle interpolation: Slerp(Slerp(q1, c, t), Slerp(a, b, t), 2t(1 - t)),
// with a, b, c from QuaternionSquadSetup.
Quaternion* QuaternionSquad(Quaternion* out, const Quaternion* q1, const Quaternion* a,
                            const Quaternion* b, const Quaternion* c, float t);
// The control points of QuaternionSquad for the segment q1 to q2 with neighbours q0 and
// q3 (each flipped onto the hemisphere of its predecessor): *c = q2 and, in Hamilton
// products, *a = q1 exp(-(ln(q1^-1 q2) + ln(q1^-1 q0)) / 4),
// *b = q2 exp(-(ln(q2^-1 q3) + ln(q2^-1 q1)) / 4).
void QuaternionSquadSetup(Quaternion* a, Quaternion* b, Quaternion* c, const Quaternion* q0,
                          const Quaternion* q1, const Quaternion* q2, const Quaternion* q3);
// The logarithm of a unit quaternion: (axis * theta, 0) where q = (axis sin theta, cos theta).
Quaternion* QuaternionLn(Quaternion* out, const Quaternion* q);
// The exponential of a pure quaternion (w ignored): (v sin|v| / |v|, cos|v|).
Quaternion* QuaternionExp(Quaternion* out, const Quaternion* q);

// ---- Planes (a, b, c, d): a x + b y + c z + d = 0 -------------------------------------------

// The plane through `point` with normal `normal`: (n, -(point . n)).
Plane* PlaneFromPointNormal(Plane* out, const Vector3* point, const Vector3* normal);
// The plane through three points with the unit normal (p2 - p1) x (p3 - p1).
Plane* PlaneFromPoints(Plane* out, const Vector3* p1, const Vector3* p2, const Vector3* p3);
// The plane scaled so that (a, b, c) has unit length; a zero normal gives the zero plane.
Plane* PlaneNormalize(Plane* out, const Plane* p);
// Where the line through v1 and v2 meets the plane; null, writing nothing, when the line
// is parallel to it.
Vector3* PlaneIntersectLine(Vector3* out, const Plane* p, const Vector3* v1, const Vector3* v2);
// (a, b, c, d) * m, the same product as Vec4Transform. To move a plane by a transform,
// pass the inverse transpose of that transform.
Plane* PlaneTransform(Plane* out, const Plane* p, const Matrix4* m);

// ---- Half floats -------------------------------------------------------------------------

// IEEE binary16 from n floats, rounded to nearest even; overflow gives infinity and NaNs
// stay NaNs. Returns out.
std::uint16_t* Float32To16Array(std::uint16_t* out, const float* in, std::uint32_t n);
// n floats from IEEE binary16 values (exact). Returns out.
float* Float16To32Array(float* out, const std::uint16_t* in, std::uint32_t n);

// ---- Array transforms: element k reads in + k*inStride and writes out + k*outStride --------

Vector4* Vec2TransformArray(Vector4* out, std::uint32_t outStride, const Vector2* in,
                            std::uint32_t inStride, const Matrix4* m, std::uint32_t n);
Vector2* Vec2TransformCoordArray(Vector2* out, std::uint32_t outStride, const Vector2* in,
                                 std::uint32_t inStride, const Matrix4* m, std::uint32_t n);
Vector2* Vec2TransformNormalArray(Vector2* out, std::uint32_t outStride, const Vector2* in,
                                  std::uint32_t inStride, const Matrix4* m, std::uint32_t n);
Vector4* Vec3TransformArray(Vector4* out, std::uint32_t outStride, const Vector3* in,
                            std::uint32_t inStride, const Matrix4* m, std::uint32_t n);
Vector3* Vec3TransformCoordArray(Vector3* out, std::uint32_t outStride, const Vector3* in,
                                 std::uint32_t inStride, const Matrix4* m, std::uint32_t n);
Vector3* Vec3TransformNormalArray(Vector3* out, std::uint32_t outStride, const Vector3* in,
                                  std::uint32_t inStride, const Matrix4* m, std::uint32_t n);
Vector4* Vec4TransformArray(Vector4* out, std::uint32_t outStride, const Vector4* in,
                            std::uint32_t inStride, const Matrix4* m, std::uint32_t n);
// Vec3Project / Vec3Unproject of n points with one combined matrix. Vec3UnprojectArray
// returns null, writing nothing, when that matrix is singular.
Vector3* Vec3ProjectArray(Vector3* out, std::uint32_t outStride, const Vector3* in,
                          std::uint32_t inStride, const Viewport* viewport, const Matrix4* projection,
                          const Matrix4* view, const Matrix4* world, std::uint32_t n);
Vector3* Vec3UnprojectArray(Vector3* out, std::uint32_t outStride, const Vector3* in,
                            std::uint32_t inStride, const Viewport* viewport,
                            const Matrix4* projection, const Matrix4* view, const Matrix4* world,
                            std::uint32_t n);
Plane* PlaneTransformArray(Plane* out, std::uint32_t outStride, const Plane* in,
                           std::uint32_t inStride, const Matrix4* m, std::uint32_t n);

// ---- Mesh kernels ------------------------------------------------------------------------

// Blends n skinned vertices. For vertex k with influences (w_i, bone_i):
// position' = sum of w_i * (position, 1) * boneMatrices[bone_i] (x, y, z of the product),
// normal' = sum of w_i * (normal, 0) * normalMatrices[bone_i], not renormalised.
// Positions and normals share inStride, the outputs share outStride; normals and
// outNormals may both be null to skip normals. The processor variants require both bone
// matrix arrays to be 16-byte aligned. Returns outPositions.
Vector3* SkinVertices(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride,
                      const Vector3* positions, const Vector3* normals, std::uint32_t inStride,
                      const VertexInfluence* influences, const Matrix4* boneMatrices,
                      const Matrix4* normalMatrices, std::uint32_t n);
// Evaluates the cubic point-normal triangle patch of the corners positions[0..2] with
// normals normals[0..2] at n barycentric samples (u, v), the third weight w = 1 - u - v
// belonging to corner 0, u to corner 1, v to corner 2. Positions follow the cubic Bezier
// triangle whose edge control points are the corners' thirds projected onto the corner
// tangent planes and whose centre point is E + (E - V) / 2 (E the mean of the six edge
// points, V of the corners); normals follow the quadratic patch with edge normals
// reflected across the edge's perpendicular plane, normalised. Returns outPositions.
Vector3* TessellateNPatch(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride,
                          const Vector3 positions[3], const Vector3 normals[3],
                          const Vector2* barycentrics, std::uint32_t n);

// ---- Plain routines (not dispatched) ---------------------------------------------------

// Left-handed look-at view matrix: z = normalise(at - eye), x = normalise(up x z),
// y = z x x (not renormalised), rows of the rotation the columns x, y, z, translation the
// negated dot products with eye. Normalisation goes through the dispatched Vec3Normalize.
// `out` must not overlap the inputs.
Matrix4* MatrixLookAtLH(Matrix4* out, const Vector3* eye, const Vector3* at, const Vector3* up);

// Left-handed perspective projection from a vertical field of view in radians:
// _11 = yScale / aspect, _22 = yScale = cos(fovy/2) / sin(fovy/2), _33 = Q = zf / (zf - zn),
// _34 = 1, _43 = -Q zn, every other element 0. Arguments are not checked.
Matrix4* MatrixPerspectiveFovLH(Matrix4* out, float fovy, float aspect, float zn, float zf);

// 1 when a and b differ by at most 2^-23 (both bounds inclusive), else 0 (0 for a NaN
// difference).
int NearlyEqual(float a, float b);

}  // namespace facet
