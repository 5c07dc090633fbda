// A Facet mesh made from checked arrays, for the routines that work on meshes. Its
// vertices hold a position and a normal (the reader's layout, so that every routine and
// the writers take it), its faces the given corners; it uses 32-bit indices when it has
// more than 65534 vertices or faces, as a mesh read from a file does, so that counts such
// as the index width agree with the program's. Each thread gets its own software device,
// so calls from threads that run while the interpreter lock is released never share one.
// Made and used without the interpreter lock (the arrays stay alive with their callers).
#pragma once

#include "array_input.h"

#include "facet/mesh.h"

#include <cstddef>

namespace facet_python {

// This thread's software device, made on first use and kept until the thread ends.
HRESULT ThreadDevice(IDirect3DDevice9** device);

class ArrayMesh {
public:
    ArrayMesh() = default;
    ArrayMesh(const ArrayMesh&) = delete;
    ArrayMesh& operator=(const ArrayMesh&) = delete;
    ~ArrayMesh();

    // `vertices` positions (three floats each) and `faces` (null: one face of corners 0,
    // which no routine here looks at, for the routines that only read positions). Null
    // positions leave them zero. The library's code when the mesh cannot be made.
    HRESULT Create(const float* positions, std::size_t vertices, const FaceArray* faces);

    facet::Mesh* get() const { return mesh_; }

private:
    facet::Mesh* mesh_ = nullptr;
};

}  // namespace facet_python
