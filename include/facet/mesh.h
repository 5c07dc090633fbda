// Mesh: Facet's reference-counted indexed triangle mesh on one Direct3D 9 device: a vertex
// buffer laid out by a vertex declaration, an index buffer of 16-bit or 32-bit indices
// (three per face), one 32-bit attribute id per face and an optional group table.
//
// The operations come in the order of the object's operation table. Every operation that
// refuses its arguments writes nothing: no output and no change to the mesh.
#pragma once

#include "springdrop/d3d9/d3d9.h"
#include "facet/result_buffer.h"

namespace facet {

// {4F5621A3-7F25-46DC-8239-820B823795CB}
constexpr IID IID_BaseMesh = {0x4F5621A3, 0x7F25, 0x46DC, {0x82, 0x39, 0x82, 0x0B, 0x82, 0x37, 0x95, 0xCB}};
// {29E3EB8D-4DD6-4524-B1A2-1EF0581E778D}
constexpr IID IID_Mesh = {0x29E3EB8D, 0x4DD6, 0x4524, {0xB1, 0xA2, 0x1E, 0xF0, 0x58, 0x1E, 0x77, 0x8D}};

// Creation options. Bits outside MeshOptions::Valid are refused at creation.
namespace MeshOptions {
constexpr DWORD Indices32Bit = 0x1;
constexpr DWORD DoNotClip = 0x2;                  // D3DUSAGE_DONOTCLIP on both buffers
constexpr DWORD Points = 0x4;                     // D3DUSAGE_POINTS on both buffers
constexpr DWORD RtPatches = 0x8;                  // D3DUSAGE_RTPATCHES on both buffers
constexpr DWORD VertexSystemMemory = 0x10;        // wins over VertexManaged
constexpr DWORD VertexManaged = 0x20;
constexpr DWORD VertexWriteOnly = 0x40;
constexpr DWORD VertexDynamic = 0x80;
constexpr DWORD IndexSystemMemory = 0x100;        // wins over IndexManaged
constexpr DWORD IndexManaged = 0x200;
constexpr DWORD IndexWriteOnly = 0x400;
constexpr DWORD IndexDynamic = 0x800;
constexpr DWORD VertexBufferShared = 0x1000;      // refused at creation
constexpr DWORD NPatches = 0x4000;                // D3DUSAGE_NPATCHES on both buffers
constexpr DWORD VertexSoftwareProcessing = 0x8000;
constexpr DWORD IndexSoftwareProcessing = 0x10000;
constexpr DWORD Managed = VertexManaged | IndexManaged;
constexpr DWORD Valid = 0x1CFFF;
}  // namespace MeshOptions

// One entry of a mesh's group table: the faces and vertices of one attribute id.
struct GroupEntry {
    DWORD attributeId;
    DWORD firstFace;
    DWORD faceCount;
    DWORD firstVertex;
    DWORD vertexCount;
};
static_assert(sizeof(GroupEntry) == 20, "a group entry is five 32-bit fields");

// The value of an adjacency entry with no neighbour.
constexpr DWORD NoNeighbour = 0xFFFFFFFF;

// Steps of Mesh::OptimizeSelf and Mesh::OptimizeInto, applied in this order. Each face
// keeps its corners in their order, so the set of triangles is unchanged but for the
// faces compacting removes.
namespace OptimizeFlags {
// Removes the faces that are not triangles (unused faces and faces with two equal corner
// indices; faces of zero area with three different indices stay), then the vertices no
// remaining face uses.
constexpr DWORD Compact = 0x1;
// Orders the faces by attribute id, ascending, keeping the order of faces with one id,
// and builds the group table (one entry per id: its faces and the range of vertex indices
// they use), which DrawGroup then uses.
constexpr DWORD AttributeSort = 0x2;
// Reorders the triangles of each run of faces with one attribute id for a post-transform
// vertex cache (a 16 to 32 entry cache is assumed); faces that are not triangles follow
// their run's triangles. Expected time linear in the face count.
constexpr DWORD VertexCache = 0x4;
// Renumbers the vertices in the order the faces first use them, so drawing reads the
// vertex buffer front to back; unused vertices follow (or go, with Compact).
constexpr DWORD VertexFetch = 0x8;
constexpr DWORD All = Compact | AttributeSort | VertexCache | VertexFetch;
}  // namespace OptimizeFlags

class Mesh : public IUnknown {
public:
    // Draws the faces carrying `attributeId` as indexed triangle lists. 0 when nothing is
    // drawn; otherwise the result of the last draw (see the implementation's contract).
    virtual HRESULT DrawGroup(DWORD attributeId) = 0;
    virtual DWORD FaceCount() = 0;
    virtual DWORD VertexCount() = 0;
    // The FVF code equivalent to the declaration, 0 when none exists.
    virtual DWORD VertexFormat() = 0;
    // Copies the declaration including its end marker. D3DERR_INVALIDCALL for null.
    virtual HRESULT CopyDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) = 0;
    virtual DWORD VertexStride() = 0;
    virtual DWORD Options() = 0;
    // Stores the device with a new reference. D3DERR_INVALIDCALL for a null out-pointer.
    virtual HRESULT Device(IDirect3DDevice9** device) = 0;
    // Converts `fvf` (its failure is returned) and continues as CloneWithDeclaration.
    virtual HRESULT CloneWithFormat(DWORD options, DWORD fvf, IDirect3DDevice9* device, Mesh** cloneOut) = 0;
    // A new mesh on `device` with `options` and `declaration`, holding this mesh's faces
    // (in the index width the options choose; an unused face stays unused), attribute ids
    // and group table (valid for drawing when it is here), stored in `*cloneOut` with a
    // count of 1. Each element of the new declaration is filled from this mesh's element
    // of the same usage and usage index, converted between any two element types through
    // four floats (components a type lacks read as 0, 0, 0, 1; values beyond the target
    // type's range are clamped; 16-bit floats round to nearest even); an element without
    // such a counterpart is zero-filled. Elements of one type are copied bit for bit.
    // D3DERR_INVALIDCALL, with `*cloneOut` not written: a null `cloneOut`, write-only index
    // or vertex data in this mesh, a used face of this mesh naming a vertex at or past its
    // vertex count, arguments CreateMeshFromDeclaration refuses, and with 16-bit indices
    // more than 65534 faces or vertices. Failures of the new mesh's creation
    // and of the locks are returned, with nothing left alive.
    virtual HRESULT CloneWithDeclaration(DWORD options, const D3DVERTEXELEMENT9* declaration,
                                         IDirect3DDevice9* device, Mesh** cloneOut) = 0;
    // Store the buffer with a new reference. D3DERR_INVALIDCALL for a null out-pointer.
    virtual HRESULT VertexBuffer(IDirect3DVertexBuffer9** buffer) = 0;
    virtual HRESULT IndexBuffer(IDirect3DIndexBuffer9** buffer) = 0;
    // Lock the whole buffer with `flags` | D3DLOCK_NOSYSLOCK; the device's result is returned.
    virtual HRESULT LockVertices(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockVertices() = 0;
    virtual HRESULT LockIndices(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockIndices() = 0;
    // Stores the group count when `count` is not null and the entries when `entries` is not
    // null. Always 0.
    virtual HRESULT CopyGroupTable(GroupEntry* entries, DWORD* count) = 0;
    // Fills `adjacency` (3 entries per face) from shared point representatives (`pointReps`,
    // one per vertex) or, when null, from shared vertex indices.
    virtual HRESULT AdjacencyFromPointReps(const DWORD* pointReps, DWORD* adjacency) = 0;
    // Fills `pointReps` (one per vertex) by walking around each vertex through `adjacency`.
    virtual HRESULT PointRepsFromAdjacency(const DWORD* adjacency, DWORD* pointReps) = 0;
    // Fills `adjacency` (3 entries per face) treating vertices whose positions differ by at
    // most `epsilon` in each component as one point: PointRepsFromPositions (facet/weld.h),
    // then AdjacencyFromPointReps with those representatives. D3DERR_INVALIDCALL, nothing
    // written, for a null `adjacency`, a negative or NaN epsilon, write-only index or
    // vertex data, or a layout without a three-float POSITION 0; E_OUTOFMEMORY when the
    // representatives cannot be allocated; otherwise the result of those two steps.
    virtual HRESULT BuildAdjacency(float epsilon, DWORD* adjacency) = 0;
    // Makes `declaration` the layout of the vertex data as it stands (nothing is converted:
    // it reinterprets the bytes, for example to rename a texture coordinate set). It must be
    // valid for a mesh and have the current stride; anything else, null included, is
    // D3DERR_INVALIDCALL with nothing changed. The vertex format and the declaration object
    // follow the new declaration (a device that refuses the layout leaves the mesh without
    // a declaration object, as at creation).
    virtual HRESULT ReplaceDeclaration(const D3DVERTEXELEMENT9* declaration) = 0;
    // Hands out the attribute ids (one per face). Unless `flags` has D3DLOCK_READONLY the
    // group table is discarded first, since the ids may change.
    virtual HRESULT LockAttributes(DWORD flags, DWORD** attributeIds) = 0;
    virtual HRESULT UnlockAttributes() = 0;
    // As OptimizeSelf, on a new mesh with this mesh's options, declaration and device,
    // stored in `*optimizedOut` with a count of 1; this mesh is not changed. Refusals are
    // OptimizeSelf's and a null `optimizedOut`; `*optimizedOut` is written only on success.
    virtual HRESULT OptimizeInto(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                 ResultBuffer** vertexRemap, Mesh** optimizedOut) = 0;
    // Applies the OptimizeFlags steps in `flags` to the mesh; F and V are the face and
    // vertex counts before, F' and V' after (smaller only with Compact). Outputs, each
    // optional (null):
    //   adjacencyOut  3·F entries: the adjacency in the new face numbering (3·F' used, the
    //                 rest NoNeighbour). It is `adjacencyIn` (3·F entries, each a face below
    //                 F or NoNeighbour) carried over, neighbours removed by compacting
    //                 becoming NoNeighbour; without adjacencyIn it is computed from shared
    //                 indices as AdjacencyFromPointReps(null) does. It may be adjacencyIn.
    //   faceRemap     F entries: new face i was old face faceRemap[i] (0xFFFFFFFF past F').
    //   vertexRemap   a new result buffer of V DWORDs: new vertex i was old vertex [i]
    //                 (0xFFFFFFFF past V').
    // Without AttributeSort a group table is kept only when no face moved. D3DERR_INVALIDCALL,
    // nothing written: flags outside OptimizeFlags::All, write-only index or vertex data, a
    // used face naming a vertex at or past V, an adjacencyIn entry naming no face, or, when
    // adjacencyOut is computed here and the group table is kept, a table reaching past the
    // faces (which the adjacency would refuse).
    // E_OUTOFMEMORY when the working storage cannot be allocated; a failed lock's code.
    virtual HRESULT OptimizeSelf(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                 ResultBuffer** vertexRemap) = 0;
    // Replaces the group table with `count` entries (count 0 with null entries empties it).
    // The table is used for drawing only once attribute sorting has validated it.
    virtual HRESULT SetGroupTable(const GroupEntry* entries, DWORD count) = 0;
    // Asks the device for its vertex cache description again (the mesh records it when it
    // is created or resized); a failing device call's code is returned.
    virtual HRESULT InternalStep() = 0;

protected:
    ~Mesh() = default;
};

// Creates an empty mesh of `faces` faces and `vertices` vertices laid out by `fvf`.
// D3DERR_INVALIDCALL for an FVF of 0, with bit 0x1, or of transformed positions
// (D3DFVF_XYZRHW); otherwise as CreateMeshFromDeclaration.
HRESULT CreateMeshFromFormat(DWORD faces, DWORD vertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                             Mesh** meshOut);

// Creates an empty mesh (zero-filled buffers, attribute ids 0, no group table) holding
// its own reference to `device`, and stores it in `*meshOut` with a count of 1.
// D3DERR_INVALIDCALL for options outside MeshOptions::Valid, a null device or out-pointer,
// a declaration a mesh cannot use, zero faces or vertices, and, with 16-bit indices, more
// than 65534 faces or vertices. A failing device call's code is passed through and nothing
// is left alive; `*meshOut` is null after any failure past the argument checks.
HRESULT CreateMeshFromDeclaration(DWORD faces, DWORD vertices, DWORD options,
                                  const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                                  Mesh** meshOut);

}  // namespace facet
