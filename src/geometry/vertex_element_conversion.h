// Reading and writing one vertex element of any declaration type as four floats, so that
// cloning can move an element between types.
#pragma once

#include "springdrop/d3d9/d3d9.h"

namespace facet {

// The element of declaration type `type` at `source` as (x, y, z, w); components the type
// lacks are 0, 0, 0, 1. Colours read as (red, green, blue, alpha) in [0, 1], normalised
// integers in [0, 1] or [-1, 1], plain integers as their values. An unknown type reads
// as (0, 0, 0, 1).
void ReadVertexElement(BYTE type, const BYTE* source, float value[4]);

// Writes the first components of `value` as an element of type `type` at `destination`,
// clamping to the type's range and rounding to nearest; a NaN is written as 0 to an
// integer type. Writes nothing for an unknown or unused type.
void WriteVertexElement(BYTE type, const float value[4], BYTE* destination);

}  // namespace facet
