// Drawing the spring body: one opaque red line per spring between its masses' current
// positions, drawn as one line list from a vertex buffer of two vertices per spring. The
// buffer lives as long as the body it draws: made when the body is built, released when
// the body goes.
#pragma once

#include "springdrop/d3d9/d3d9.h"
#include "sim/spring_body.h"

namespace render {

// The drawing vertex: position and opaque diffuse colour, flexible vertex format 0x42.
struct LineVertex {
    float x, y, z;
    D3DCOLOR color;
};
static_assert(sizeof(LineVertex) == 16, "a line vertex is 16 bytes");

constexpr DWORD kLineVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE;
constexpr D3DCOLOR kSpringColor = 0xFFFF0000;

class BodyLines {
public:
    BodyLines() = default;
    ~BodyLines() { Release(); }
    BodyLines(const BodyLines&) = delete;
    BodyLines& operator=(const BodyLines&) = delete;

    // Creates the vertex buffer for `springCount` springs on `device`; a failed creation
    // leaves none, and the body is then not drawn.
    void Create(IDirect3DDevice9* device, std::int32_t springCount);
    // Releases the buffer, if any.
    void Release();

    IDirect3DVertexBuffer9* vertexBuffer() const { return vertexBuffer_; }

private:
    IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
};

// Copies every spring of `body` into the buffer as a red line and draws them as one
// line list. Draws nothing without a buffer or springs, or when the lock fails.
void DrawBody(IDirect3DDevice9* device, const BodyLines& lines, const sim::SpringBody& body);

}  // namespace render
