// PortableTable: the portable routine of every slot, in slot order.
#include "math/portable_routines.h"

namespace facet {

namespace {

constexpr RoutineSlots kPortableRoutines = {
    .Vec2Transform = &formula::Vec2Transform<portable::Arithmetic>,
    .Vec3Transform = &formula::Vec3Transform<portable::Arithmetic>,
    .Vec4Transform = &formula::Vec4Transform<portable::Arithmetic>,
    .MatrixMultiply = &formula::MatrixMultiply<portable::Arithmetic>,
    .MatrixMultiplyTranspose = &formula::MatrixMultiplyTranspose<portable::Arithmetic>,
    .Vec2TransformNormal = &formula::Vec2TransformNormal<portable::Arithmetic>,
    .Vec3TransformNormal = &formula::Vec3TransformNormal<portable::Arithmetic>,
    .Vec3Normalize = &portable::Vec3Normalize,
    .Vec4Normalize = &formula::Vec4Normalize<portable::Arithmetic>,
    .Vec2TransformCoord = &formula::Vec2TransformCoord<portable::Arithmetic>,
    .Vec3TransformCoord = &formula::Vec3TransformCoord<portable::Arithmetic>,
    .MatrixDeterminant = &formula::MatrixDeterminant<portable::Arithmetic>,
    .PlaneFromPointNormal = &formula::PlaneFromPointNormal<portable::Arithmetic>,
    .PlaneFromPoints = &formula::PlaneFromPoints<portable::Arithmetic>,
    .Vec3Project = &formula::Vec3Project<portable::Arithmetic>,
    .Vec3Unproject = &formula::Vec3Unproject<portable::Arithmetic>,
    .Vec4Cross = &formula::Vec4Cross<portable::Arithmetic>,
    .Vec2Hermite = &formula::Vec2Hermite<portable::Arithmetic>,
    .MatrixInverse = &formula::MatrixInverse<portable::Arithmetic>,
    .QuaternionMultiply = &formula::QuaternionMultiply<portable::Arithmetic>,
    .QuaternionNormalize = &formula::QuaternionNormalize<portable::Arithmetic>,
    .PlaneNormalize = &formula::PlaneNormalize<portable::Arithmetic>,
    .PlaneIntersectLine = &formula::PlaneIntersectLine<portable::Arithmetic>,
    .QuaternionToAxisAngle = &formula::QuaternionToAxisAngle<portable::Arithmetic>,
    .QuaternionRotationMatrix = &formula::QuaternionRotationMatrix<portable::Arithmetic>,
    .QuaternionRotationYawPitchRoll = &formula::QuaternionRotationYawPitchRoll<portable::Arithmetic>,
    .MatrixTranslation = &formula::MatrixTranslation<portable::Arithmetic>,
    .MatrixShadow = &formula::MatrixShadow<portable::Arithmetic>,
    .MatrixReflect = &formula::MatrixReflect<portable::Arithmetic>,
    .QuaternionRotationAxis = &formula::QuaternionRotationAxis<portable::Arithmetic>,
    .MatrixRotationX = &formula::MatrixRotationX<portable::Arithmetic>,
    .MatrixRotationY = &formula::MatrixRotationY<portable::Arithmetic>,
    .MatrixRotationZ = &formula::MatrixRotationZ<portable::Arithmetic>,
    .MatrixScaling = &formula::MatrixScaling<portable::Arithmetic>,
    .PlaneTransform = &formula::PlaneTransform<portable::Arithmetic>,
    .QuaternionSlerp = &formula::QuaternionSlerp<portable::Arithmetic>,
    .QuaternionBaryCentric = &formula::QuaternionBaryCentric<portable::Arithmetic>,
    .MatrixTranspose = &formula::MatrixTranspose<portable::Arithmetic>,
    .MatrixRotationQuaternion = &formula::MatrixRotationQuaternion<portable::Arithmetic>,
    .MatrixTransformation = &formula::MatrixTransformation<portable::Arithmetic>,
    .MatrixRotationYawPitchRoll = &formula::MatrixRotationYawPitchRoll<portable::Arithmetic>,
    .MatrixAffineTransformation = &formula::MatrixAffineTransformation<portable::Arithmetic>,
    .MatrixRotationAxis = &formula::MatrixRotationAxis<portable::Arithmetic>,
    .QuaternionSquad = &formula::QuaternionSquad<portable::Arithmetic>,
    .QuaternionInverse = &formula::QuaternionInverse<portable::Arithmetic>,
    .QuaternionSquadSetup = &formula::QuaternionSquadSetup<portable::Arithmetic>,
    .Vec2Normalize = &formula::Vec2Normalize<portable::Arithmetic>,
    .Vec2CatmullRom = &formula::Vec2CatmullRom<portable::Arithmetic>,
    .Vec2BaryCentric = &formula::Vec2BaryCentric<portable::Arithmetic>,
    .Vec3Hermite = &formula::Vec3Hermite<portable::Arithmetic>,
    .Vec3CatmullRom = &formula::Vec3CatmullRom<portable::Arithmetic>,
    .Vec3BaryCentric = &formula::Vec3BaryCentric<portable::Arithmetic>,
    .Vec4Hermite = &formula::Vec4Hermite<portable::Arithmetic>,
    .Vec4CatmullRom = &formula::Vec4CatmullRom<portable::Arithmetic>,
    .Vec4BaryCentric = &formula::Vec4BaryCentric<portable::Arithmetic>,
    .QuaternionLn = &formula::QuaternionLn<portable::Arithmetic>,
    .QuaternionExp = &formula::QuaternionExp<portable::Arithmetic>,
    .Float32To16Array = &formula::Float32To16Array<portable::Arithmetic>,
    .Float16To32Array = &formula::Float16To32Array<portable::Arithmetic>,
    .Vec2TransformArray = &formula::Vec2TransformArray<portable::Arithmetic>,
    .Vec2TransformCoordArray = &formula::Vec2TransformCoordArray<portable::Arithmetic>,
    .Vec2TransformNormalArray = &formula::Vec2TransformNormalArray<portable::Arithmetic>,
    .Vec3TransformArray = &formula::Vec3TransformArray<portable::Arithmetic>,
    .Vec3TransformCoordArray = &formula::Vec3TransformCoordArray<portable::Arithmetic>,
    .Vec3TransformNormalArray = &formula::Vec3TransformNormalArray<portable::Arithmetic>,
    .Vec4TransformArray = &formula::Vec4TransformArray<portable::Arithmetic>,
    .Vec3ProjectArray = &formula::Vec3ProjectArray<portable::Arithmetic>,
    .Vec3UnprojectArray = &formula::Vec3UnprojectArray<portable::Arithmetic>,
    .PlaneTransformArray = &formula::PlaneTransformArray<portable::Arithmetic>,
    .SkinVertices = &formula::SkinVertices<portable::Arithmetic>,
    .TessellateNPatch = &formula::TessellateNPatch<portable::Arithmetic>,
    .MatrixTransformation2D = &formula::MatrixTransformation2D<portable::Arithmetic>,
    .MatrixAffineTransformation2D = &formula::MatrixAffineTransformation2D<portable::Arithmetic>,
};

constexpr RoutineTable MakePortableTable() {
    RoutineTable table{};
    table.routines = kPortableRoutines;
    for (RoutineFamily& family : table.family) family = RoutineFamily::Portable;
    return table;
}

}  // namespace

const RoutineTable PortableTable = MakePortableTable();

}  // namespace facet
