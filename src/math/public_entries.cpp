// The public entries of the dispatched routines: each continues, with the caller's
// arguments untouched, at the routine its slot of the dispatch table holds.
#include "facet/dispatch.h"

namespace facet {

Vector4* Vec2Transform(Vector4* out, const Vector2* v, const Matrix4* m) {
    return DispatchTable.routines.Vec2Transform(out, v, m);
}
Vector4* Vec3Transform(Vector4* out, const Vector3* v, const Matrix4* m) {
    return DispatchTable.routines.Vec3Transform(out, v, m);
}
Vector4* Vec4Transform(Vector4* out, const Vector4* v, const Matrix4* m) {
    return DispatchTable.routines.Vec4Transform(out, v, m);
}
Matrix4* MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    return DispatchTable.routines.MatrixMultiply(out, a, b);
}
Matrix4* MatrixMultiplyTranspose(Matrix4* out, const Matrix4* a, const Matrix4* b) {
    return DispatchTable.routines.MatrixMultiplyTranspose(out, a, b);
}
Vector2* Vec2TransformNormal(Vector2* out, const Vector2* v, const Matrix4* m) {
    return DispatchTable.routines.Vec2TransformNormal(out, v, m);
}
Vector3* Vec3TransformNormal(Vector3* out, const Vector3* v, const Matrix4* m) {
    return DispatchTable.routines.Vec3TransformNormal(out, v, m);
}
Vector3* Vec3Normalize(Vector3* out, const Vector3* in) {
    return DispatchTable.routines.Vec3Normalize(out, in);
}
Vector4* Vec4Normalize(Vector4* out, const Vector4* v) {
    return DispatchTable.routines.Vec4Normalize(out, v);
}
Vector2* Vec2TransformCoord(Vector2* out, const Vector2* v, const Matrix4* m) {
    return DispatchTable.routines.Vec2TransformCoord(out, v, m);
}
Vector3* Vec3TransformCoord(Vector3* out, const Vector3* v, const Matrix4* m) {
    return DispatchTable.routines.Vec3TransformCoord(out, v, m);
}
float MatrixDeterminant(const Matrix4* m) {
    return DispatchTable.routines.MatrixDeterminant(m);
}
Plane* PlaneFromPointNormal(Plane* out, const Vector3* point, const Vector3* normal) {
    return DispatchTable.routines.PlaneFromPointNormal(out, point, normal);
}
Plane* PlaneFromPoints(Plane* out, const Vector3* p1, const Vector3* p2, const Vector3* p3) {
    return DispatchTable.routines.PlaneFromPoints(out, p1, p2, p3);
}
Vector3* Vec3Project(Vector3* out, const Vector3* v, const Viewport* viewport, const Matrix4* projection, const Matrix4* view, const Matrix4* world) {
    return DispatchTable.routines.Vec3Project(out, v, viewport, projection, view, world);
}
Vector3* Vec3Unproject(Vector3* out, const Vector3* v, const Viewport* viewport, const Matrix4* projection, const Matrix4* view, const Matrix4* world) {
    return DispatchTable.routines.Vec3Unproject(out, v, viewport, projection, view, world);
}
Vector4* Vec4Cross(Vector4* out, const Vector4* u, const Vector4* v, const Vector4* w) {
    return DispatchTable.routines.Vec4Cross(out, u, v, w);
}
Vector2* Vec2Hermite(Vector2* out, const Vector2* p1, const Vector2* t1, const Vector2* p2, const Vector2* t2, float s) {
    return DispatchTable.routines.Vec2Hermite(out, p1, t1, p2, t2, s);
}
Matrix4* MatrixInverse(Matrix4* out, float* determinant, const Matrix4* m) {
    return DispatchTable.routines.MatrixInverse(out, determinant, m);
}
Quaternion* QuaternionMultiply(Quaternion* out, const Quaternion* q1, const Quaternion* q2) {
    return DispatchTable.routines.QuaternionMultiply(out, q1, q2);
}
Quaternion* QuaternionNormalize(Quaternion* out, const Quaternion* q) {
    return DispatchTable.routines.QuaternionNormalize(out, q);
}
Plane* PlaneNormalize(Plane* out, const Plane* p) {
    return DispatchTable.routines.PlaneNormalize(out, p);
}
Vector3* PlaneIntersectLine(Vector3* out, const Plane* p, const Vector3* v1, const Vector3* v2) {
    return DispatchTable.routines.PlaneIntersectLine(out, p, v1, v2);
}
void QuaternionToAxisAngle(const Quaternion* q, Vector3* axis, float* angle) {
    DispatchTable.routines.QuaternionToAxisAngle(q, axis, angle);
}
Quaternion* QuaternionRotationMatrix(Quaternion* out, const Matrix4* m) {
    return DispatchTable.routines.QuaternionRotationMatrix(out, m);
}
Quaternion* QuaternionRotationYawPitchRoll(Quaternion* out, float yaw, float pitch, float roll) {
    return DispatchTable.routines.QuaternionRotationYawPitchRoll(out, yaw, pitch, roll);
}
Matrix4* MatrixTranslation(Matrix4* out, float x, float y, float z) {
    return DispatchTable.routines.MatrixTranslation(out, x, y, z);
}
Matrix4* MatrixShadow(Matrix4* out, const Vector4* light, const Plane* plane) {
    return DispatchTable.routines.MatrixShadow(out, light, plane);
}
Matrix4* MatrixReflect(Matrix4* out, const Plane* plane) {
    return DispatchTable.routines.MatrixReflect(out, plane);
}
Quaternion* QuaternionRotationAxis(Quaternion* out, const Vector3* axis, float angle) {
    return DispatchTable.routines.QuaternionRotationAxis(out, axis, angle);
}
Matrix4* MatrixRotationX(Matrix4* out, float angle) {
    return DispatchTable.routines.MatrixRotationX(out, angle);
}
Matrix4* MatrixRotationY(Matrix4* out, float angle) {
    return DispatchTable.routines.MatrixRotationY(out, angle);
}
Matrix4* MatrixRotationZ(Matrix4* out, float angle) {
    return DispatchTable.routines.MatrixRotationZ(out, angle);
}
Matrix4* MatrixScaling(Matrix4* out, float sx, float sy, float sz) {
    return DispatchTable.routines.MatrixScaling(out, sx, sy, sz);
}
Plane* PlaneTransform(Plane* out, const Plane* p, const Matrix4* m) {
    return DispatchTable.routines.PlaneTransform(out, p, m);
}
Quaternion* QuaternionSlerp(Quaternion* out, const Quaternion* q1, const Quaternion* q2, float t) {
    return DispatchTable.routines.QuaternionSlerp(out, q1, q2, t);
}
Quaternion* QuaternionBaryCentric(Quaternion* out, const Quaternion* q1, const Quaternion* q2, const Quaternion* q3, float f, float g) {
    return DispatchTable.routines.QuaternionBaryCentric(out, q1, q2, q3, f, g);
}
Matrix4* MatrixTranspose(Matrix4* out, const Matrix4* m) {
    return DispatchTable.routines.MatrixTranspose(out, m);
}
Matrix4* MatrixRotationQuaternion(Matrix4* out, const Quaternion* q) {
    return DispatchTable.routines.MatrixRotationQuaternion(out, q);
}
Matrix4* MatrixTransformation(Matrix4* out, const Vector3* scalingCenter, const Quaternion* scalingRotation, const Vector3* scaling, const Vector3* rotationCenter, const Quaternion* rotation, const Vector3* translation) {
    return DispatchTable.routines.MatrixTransformation(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation);
}
Matrix4* MatrixRotationYawPitchRoll(Matrix4* out, float yaw, float pitch, float roll) {
    return DispatchTable.routines.MatrixRotationYawPitchRoll(out, yaw, pitch, roll);
}
Matrix4* MatrixAffineTransformation(Matrix4* out, float scaling, const Vector3* rotationCenter, const Quaternion* rotation, const Vector3* translation) {
    return DispatchTable.routines.MatrixAffineTransformation(out, scaling, rotationCenter, rotation, translation);
}
Matrix4* MatrixRotationAxis(Matrix4* out, const Vector3* axis, float angle) {
    return DispatchTable.routines.MatrixRotationAxis(out, axis, angle);
}
Quaternion* QuaternionSquad(Quaternion* out, const Quaternion* q1, const Quaternion* a, const Quaternion* b, const Quaternion* c, float t) {
    return DispatchTable.routines.QuaternionSquad(out, q1, a, b, c, t);
}
Quaternion* QuaternionInverse(Quaternion* out, const Quaternion* q) {
    return DispatchTable.routines.QuaternionInverse(out, q);
}
void QuaternionSquadSetup(Quaternion* a, Quaternion* b, Quaternion* c, const Quaternion* q0, const Quaternion* q1, const Quaternion* q2, const Quaternion* q3) {
    DispatchTable.routines.QuaternionSquadSetup(a, b, c, q0, q1, q2, q3);
}
Vector2* Vec2Normalize(Vector2* out, const Vector2* v) {
    return DispatchTable.routines.Vec2Normalize(out, v);
}
Vector2* Vec2CatmullRom(Vector2* out, const Vector2* v0, const Vector2* v1, const Vector2* v2, const Vector2* v3, float s) {
    return DispatchTable.routines.Vec2CatmullRom(out, v0, v1, v2, v3, s);
}
Vector2* Vec2BaryCentric(Vector2* out, const Vector2* v1, const Vector2* v2, const Vector2* v3, float f, float g) {
    return DispatchTable.routines.Vec2BaryCentric(out, v1, v2, v3, f, g);
}
Vector3* Vec3Hermite(Vector3* out, const Vector3* p1, const Vector3* t1, const Vector3* p2, const Vector3* t2, float s) {
    return DispatchTable.routines.Vec3Hermite(out, p1, t1, p2, t2, s);
}
Vector3* Vec3CatmullRom(Vector3* out, const Vector3* v0, const Vector3* v1, const Vector3* v2, const Vector3* v3, float s) {
    return DispatchTable.routines.Vec3CatmullRom(out, v0, v1, v2, v3, s);
}
Vector3* Vec3BaryCentric(Vector3* out, const Vector3* v1, const Vector3* v2, const Vector3* v3, float f, float g) {
    return DispatchTable.routines.Vec3BaryCentric(out, v1, v2, v3, f, g);
}
Vector4* Vec4Hermite(Vector4* out, const Vector4* p1, const Vector4* t1, const Vector4* p2, const Vector4* t2, float s) {
    return DispatchTable.routines.Vec4Hermite(out, p1, t1, p2, t2, s);
}
Vector4* Vec4CatmullRom(Vector4* out, const Vector4* v0, const Vector4* v1, const Vector4* v2, const Vector4* v3, float s) {
    return DispatchTable.routines.Vec4CatmullRom(out, v0, v1, v2, v3, s);
}
Vector4* Vec4BaryCentric(Vector4* out, const Vector4* v1, const Vector4* v2, const Vector4* v3, float f, float g) {
    return DispatchTable.routines.Vec4BaryCentric(out, v1, v2, v3, f, g);
}
Quaternion* QuaternionLn(Quaternion* out, const Quaternion* q) {
    return DispatchTable.routines.QuaternionLn(out, q);
}
Quaternion* QuaternionExp(Quaternion* out, const Quaternion* q) {
    return DispatchTable.routines.QuaternionExp(out, q);
}
std::uint16_t* Float32To16Array(std::uint16_t* out, const float* in, std::uint32_t n) {
    return DispatchTable.routines.Float32To16Array(out, in, n);
}
float* Float16To32Array(float* out, const std::uint16_t* in, std::uint32_t n) {
    return DispatchTable.routines.Float16To32Array(out, in, n);
}
Vector4* Vec2TransformArray(Vector4* out, std::uint32_t outStride, const Vector2* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.Vec2TransformArray(out, outStride, in, inStride, m, n);
}
Vector2* Vec2TransformCoordArray(Vector2* out, std::uint32_t outStride, const Vector2* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.Vec2TransformCoordArray(out, outStride, in, inStride, m, n);
}
Vector2* Vec2TransformNormalArray(Vector2* out, std::uint32_t outStride, const Vector2* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.Vec2TransformNormalArray(out, outStride, in, inStride, m, n);
}
Vector4* Vec3TransformArray(Vector4* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.Vec3TransformArray(out, outStride, in, inStride, m, n);
}
Vector3* Vec3TransformCoordArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.Vec3TransformCoordArray(out, outStride, in, inStride, m, n);
}
Vector3* Vec3TransformNormalArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.Vec3TransformNormalArray(out, outStride, in, inStride, m, n);
}
Vector4* Vec4TransformArray(Vector4* out, std::uint32_t outStride, const Vector4* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.Vec4TransformArray(out, outStride, in, inStride, m, n);
}
Vector3* Vec3ProjectArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride, const Viewport* viewport, const Matrix4* projection, const Matrix4* view, const Matrix4* world, std::uint32_t n) {
    return DispatchTable.routines.Vec3ProjectArray(out, outStride, in, inStride, viewport, projection, view, world, n);
}
Vector3* Vec3UnprojectArray(Vector3* out, std::uint32_t outStride, const Vector3* in, std::uint32_t inStride, const Viewport* viewport, const Matrix4* projection, const Matrix4* view, const Matrix4* world, std::uint32_t n) {
    return DispatchTable.routines.Vec3UnprojectArray(out, outStride, in, inStride, viewport, projection, view, world, n);
}
Plane* PlaneTransformArray(Plane* out, std::uint32_t outStride, const Plane* in, std::uint32_t inStride, const Matrix4* m, std::uint32_t n) {
    return DispatchTable.routines.PlaneTransformArray(out, outStride, in, inStride, m, n);
}
Vector3* SkinVertices(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride, const Vector3* positions, const Vector3* normals, std::uint32_t inStride, const VertexInfluence* influences, const Matrix4* boneMatrices, const Matrix4* normalMatrices, std::uint32_t n) {
    return DispatchTable.routines.SkinVertices(outPositions, outNormals, outStride, positions, normals, inStride, influences, boneMatrices, normalMatrices, n);
}
Vector3* TessellateNPatch(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride, const Vector3 positions[3], const Vector3 normals[3], const Vector2* barycentrics, std::uint32_t n) {
    return DispatchTable.routines.TessellateNPatch(outPositions, outNormals, outStride, positions, normals, barycentrics, n);
}
Matrix4* MatrixTransformation2D(Matrix4* out, const Vector2* scalingCenter, float scalingRotation, const Vector2* scaling, const Vector2* rotationCenter, float rotation, const Vector2* translation) {
    return DispatchTable.routines.MatrixTransformation2D(out, scalingCenter, scalingRotation, scaling, rotationCenter, rotation, translation);
}
Matrix4* MatrixAffineTransformation2D(Matrix4* out, float scaling, const Vector2* rotationCenter, float rotation, const Vector2* translation) {
    return DispatchTable.routines.MatrixAffineTransformation2D(out, scaling, rotationCenter, rotation, translation);
}

}  // namespace facet
