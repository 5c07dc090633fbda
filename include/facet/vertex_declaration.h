// Vertex declarations: the conversions between FVF codes and Direct3D 9 vertex
// declarations, the rule by which a mesh accepts a declaration, and the vertex stride.
//
// A declaration is an array of at most MAX_FVF_DECL_SIZE (65) elements whose last one is
// the end marker D3DDECL_END (stream 0xFF). The routines here never read past the 65th
// element: a declaration without an end marker within that length is refused.
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace facet {

// Bytes of one element of the given D3DDECLTYPE code; 0 for D3DDECLTYPE_UNUSED and for
// codes outside the table.
UINT DeclarationTypeSize(BYTE type);

// Number of elements before the end marker, or MAX_FVF_DECL_SIZE when `declaration` is
// null or has no end marker among its first MAX_FVF_DECL_SIZE elements.
UINT DeclarationLength(const D3DVERTEXELEMENT9* declaration);

// Writes the declaration equivalent to `fvf` (elements and end marker) into `declaration`.
// D3DERR_INVALIDCALL for a null output, an FVF with a reserved bit (0x6001), more than
// eight texture coordinate sets, or five blend values without a last-beta bit.
HRESULT DeclarationFromFormat(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]);

// Writes the FVF code equivalent to `declaration` into `fvf`. D3DERR_INVALIDCALL, with
// `fvf` untouched, when either pointer is null or no FVF code describes the layout (an
// element outside stream 0, a gap, an element type or usage FVF codes cannot express, or
// elements out of FVF order).
HRESULT FormatFromDeclaration(const D3DVERTEXELEMENT9* declaration, DWORD* fvf);

// True when a mesh can use `declaration`: it is not null, it ends within
// MAX_FVF_DECL_SIZE elements, every element is in stream 0, and elements with a
// tessellation method other than D3DDECLMETHOD_DEFAULT do not overlap each other.
bool IsMeshDeclaration(const D3DVERTEXELEMENT9* declaration);

// Bytes per vertex of `stream`: the largest offset + type size over that stream's
// elements, leaving out D3DDECLMETHOD_UV elements. 0 for a null declaration.
UINT DeclarationStride(const D3DVERTEXELEMENT9* declaration, DWORD stream);

}  // namespace facet
