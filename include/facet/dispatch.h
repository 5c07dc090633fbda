// The dispatch table through which Facet's 73 speed-critical routines are called, and the
// processor detection that fills it.
//
// `DispatchTable` starts out holding a first-call stub in every slot. The first call of any
// dispatched routine runs `InitDispatchTable(1)` once: it checks the global allocator,
// copies `PortableTable`, installs the x87-tuned set, reads the "DisablePSGP" and
// "DisableFacetPSGP" settings and then installs the best family the processor offers
// (3DNow!, then SSE2, then SSE). From then on the table stays fixed and every dispatched call
// costs one indirect call.
//
// Representation: `RoutineSlots` holds one typed function pointer per routine, in slot
// order; the type of each member is that of the public routine declared in facet/math.h, so
// a slot can only ever hold a routine of its own signature. `SlotRoutine` and `SlotName` give
// type-erased access by slot number, for tests and the `facet cpu` report. Beside the
// pointers, a table records which family installed each slot.
#pragma once

#include <cstdint>

#include "facet/math.h"
#include "springdrop/system/types.h"

namespace facet {

// The dispatched routines in slot order (slot 0 first).
#define FACET_DISPATCHED_ROUTINES(X)                                                          \
    X(Vec2Transform) X(Vec3Transform) X(Vec4Transform) X(MatrixMultiply)                     \
    X(MatrixMultiplyTranspose) X(Vec2TransformNormal) X(Vec3TransformNormal) X(Vec3Normalize) \
    X(Vec4Normalize) X(Vec2TransformCoord) X(Vec3TransformCoord) X(MatrixDeterminant)        \
    X(PlaneFromPointNormal) X(PlaneFromPoints) X(Vec3Project) X(Vec3Unproject) X(Vec4Cross)  \
    X(Vec2Hermite) X(MatrixInverse) X(QuaternionMultiply) X(QuaternionNormalize)             \
    X(PlaneNormalize) X(PlaneIntersectLine) X(QuaternionToAxisAngle)                         \
    X(QuaternionRotationMatrix) X(QuaternionRotationYawPitchRoll) X(MatrixTranslation)       \
    X(MatrixShadow) X(MatrixReflect) X(QuaternionRotationAxis) X(MatrixRotationX)            \
    X(MatrixRotationY) X(MatrixRotationZ) X(MatrixScaling) X(PlaneTransform)                 \
    X(QuaternionSlerp) X(QuaternionBaryCentric) X(MatrixTranspose) X(MatrixRotationQuaternion) \
    X(MatrixTransformation) X(MatrixRotationYawPitchRoll) X(MatrixAffineTransformation)      \
    X(MatrixRotationAxis) X(QuaternionSquad) X(QuaternionInverse) X(QuaternionSquadSetup)    \
    X(Vec2Normalize) X(Vec2CatmullRom) X(Vec2BaryCentric) X(Vec3Hermite) X(Vec3CatmullRom)   \
    X(Vec3BaryCentric) X(Vec4Hermite) X(Vec4CatmullRom) X(Vec4BaryCentric) X(QuaternionLn)   \
    X(QuaternionExp) X(Float32To16Array) X(Float16To32Array) X(Vec2TransformArray)           \
    X(Vec2TransformCoordArray) X(Vec2TransformNormalArray) X(Vec3TransformArray)             \
    X(Vec3TransformCoordArray) X(Vec3TransformNormalArray) X(Vec4TransformArray)             \
    X(Vec3ProjectArray) X(Vec3UnprojectArray) X(PlaneTransformArray) X(SkinVertices)         \
    X(TessellateNPatch) X(MatrixTransformation2D) X(MatrixAffineTransformation2D)

// Slot numbers by routine name: Slot::Vec3Normalize == 7.
enum class Slot : int {
#define FACET_SLOT_ENUMERATOR(name) name,
    FACET_DISPATCHED_ROUTINES(FACET_SLOT_ENUMERATOR)
#undef FACET_SLOT_ENUMERATOR
};
inline constexpr int kSlotCount = 73;

// One typed routine pointer per slot, in slot order.
struct RoutineSlots {
#define FACET_SLOT_MEMBER(name) decltype(&::facet::name) name;
    FACET_DISPATCHED_ROUTINES(FACET_SLOT_MEMBER)
#undef FACET_SLOT_MEMBER
};

// The family whose routine a slot holds.
enum class RoutineFamily : std::uint8_t {
    FirstCallStub,
    Portable,
    X87,
    ThreeDNow,
    ExtendedThreeDNow,
    Sse,
    Sse2,
};

struct RoutineTable {
    RoutineSlots routines;
    RoutineFamily family[kSlotCount];
};

// The process-wide table every public entry calls through.
extern RoutineTable DispatchTable;
// The portable routine of every slot; only read.
extern const RoutineTable PortableTable;
// 0xFFFF until initialisation; then 0 = portable with the x87 set, 1 = 3DNow! family,
// 2 = SSE2 family, 3 = SSE family.
extern std::int32_t DispatchLevel;

inline constexpr std::int32_t kDispatchLevelUnchosen = 0xFFFF;

// Initialises the table once (every caller passes 1) and returns DispatchLevel.
std::int32_t InitDispatchTable(std::int32_t enable);

// Bits of the feature flag word of QueryCpuFeatures.
inline constexpr std::uint32_t kCpuCpuidExecuted = 0x001;
inline constexpr std::uint32_t kCpuStandardLeaves = 0x002;
inline constexpr std::uint32_t kCpuExtendedLeaves = 0x004;
inline constexpr std::uint32_t kCpuMmx = 0x020;
inline constexpr std::uint32_t kCpuSse = 0x040;
inline constexpr std::uint32_t kCpu3DNow = 0x080;
inline constexpr std::uint32_t kCpuExtended3DNow = 0x100;
inline constexpr std::uint32_t kCpuMmxExtensions = 0x200;
// Bits of the SSE word of QuerySseSupport.
inline constexpr std::uint32_t kSseWordSse = 4;
inline constexpr std::uint32_t kSseWordSse2 = 8;

// The processor's CPUID feature bits as the flag word above. Unguarded: it runs only once
// the operating system has reported 3DNow!.
std::uint32_t QueryCpuFeatures();
// 4 for SSE, 8 for SSE2, OR-ed, from CPUID alone; 0 on a processor without CPUID.
std::uint32_t QuerySseSupport();
// Reads a value under the Direct3D settings key of HKEY_LOCAL_MACHINE, opening and closing
// the key for this read. Returns 1 only when the key opened, the read succeeded and the
// stored type equals expectedType; otherwise 0.
int ReadDirect3DSetting(DWORD expectedType, const char* valueName, void* data, DWORD size);
// Once per process: checks that zero-byte allocations give unique non-null pointers and
// that deleting null is harmless, and otherwise writes four warning lines to the debugger
// output.
void CheckAllocatorConformance();

// Each writes its family into the given table at its slots and touches no other slot.
void FillX87Routines(RoutineTable* table);
void Fill3DNowRoutines(RoutineTable* table);
void FillSse2Routines(RoutineTable* table);
void FillSseRoutines(RoutineTable* table);

// Type-erased access by slot number (0 to 72).
using AnyRoutine = void (*)();
AnyRoutine SlotRoutine(const RoutineTable& table, int slot);
const char* SlotName(int slot);
const char* FamilyName(RoutineFamily family);

}  // namespace facet
