// The routines the SSE and SSE2 families share, compiled for SSE.
#pragma once

#include "facet/math.h"

namespace facet::sse {

Vector4* Vec2Transform(Vector4* out, const Vector2* v, const Matrix4* m);
Matrix4* MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b);
Matrix4* MatrixMultiplyTranspose(Matrix4* out, const Matrix4* a, const Matrix4* b);
Vector2* Vec2TransformNormal(Vector2* out, const Vector2* v, const Matrix4* m);
Vector4* Vec4Normalize(Vector4* out, const Vector4* v);
Vector2* Vec2TransformCoord(Vector2* out, const Vector2* v, const Matrix4* m);
Vector2* Vec2Hermite(Vector2* out, const Vector2* p1, const Vector2* t1, const Vector2* p2,
                     const Vector2* t2, float s);
Quaternion* QuaternionMultiply(Quaternion* out, const Quaternion* q1, const Quaternion* q2);
Quaternion* QuaternionNormalize(Quaternion* out, const Quaternion* q);
Vector3* PlaneIntersectLine(Vector3* out, const Plane* p, const Vector3* v1, const Vector3* v2);
Vector2* Vec2CatmullRom(Vector2* out, const Vector2* v0, const Vector2* v1, const Vector2* v2,
                        const Vector2* v3, float s);
Vector2* Vec2BaryCentric(Vector2* out, const Vector2* v1, const Vector2* v2, const Vector2* v3,
                         float f, float g);
Vector3* Vec3Hermite(Vector3* out, const Vector3* p1, const Vector3* t1, const Vector3* p2,
                     const Vector3* t2, float s);
Vector3* Vec3CatmullRom(Vector3* out, const Vector3* v0, const Vector3* v1, const Vector3* v2,
                        const Vector3* v3, float s);
Vector3* Vec3BaryCentric(Vector3* out, const Vector3* v1, const Vector3* v2, const Vector3* v3,
                         float f, float g);
Vector4* Vec4Hermite(Vector4* out, const Vector4* p1, const Vector4* t1, const Vector4* p2,
                     const Vector4* t2, float s);
Vector4* Vec4CatmullRom(Vector4* out, const Vector4* v0, const Vector4* v1, const Vector4* v2,
                        const Vector4* v3, float s);
Vector4* Vec4BaryCentric(Vector4* out, const Vector4* v1, const Vector4* v2, const Vector4* v3,
                         float f, float g);
Vector3* SkinVertices(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride,
                      const Vector3* positions, const Vector3* normals, std::uint32_t inStride,
                      const VertexInfluence* influences, const Matrix4* boneMatrices,
                      const Matrix4* normalMatrices, std::uint32_t n);
Vector3* TessellateNPatch(Vector3* outPositions, Vector3* outNormals, std::uint32_t outStride,
                          const Vector3 positions[3], const Vector3 normals[3],
                          const Vector2* barycentrics, std::uint32_t n);

}  // namespace facet::sse
