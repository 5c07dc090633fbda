// The body's lines, assembled in system memory and copied into the vertex buffer as one
// block so the buffer stays locked only for the copy.
#include "render/body_lines.h"

#include <cstring>
#include <memory>
#include <new>

namespace render {

void BodyLines::Create(IDirect3DDevice9* device, std::int32_t springCount) {
    Release();
    const UINT length = static_cast<UINT>(springCount) * 2u * sizeof(LineVertex);
    device->CreateVertexBuffer(length, 0, kLineVertexFormat, D3DPOOL_DEFAULT, &vertexBuffer_, nullptr);
}

void BodyLines::Release() {
    if (vertexBuffer_ != nullptr) vertexBuffer_->Release();
    vertexBuffer_ = nullptr;
}

void DrawBody(IDirect3DDevice9* device, const BodyLines& lines, const sim::SpringBody& body) {
    IDirect3DVertexBuffer9* vertexBuffer = lines.vertexBuffer();
    if (vertexBuffer == nullptr || body.springs == nullptr) return;

    const std::int32_t vertexCount = 2 * body.springCount;
    std::unique_ptr<LineVertex[]> vertices(new (std::nothrow) LineVertex[vertexCount]);
    if (!vertices) return;
    for (std::int32_t s = 0; s < body.springCount; ++s) {
        const facet::Vector3& a = body.masses[body.springs[s].massA].position;
        const facet::Vector3& b = body.masses[body.springs[s].massB].position;
        vertices[2 * s] = {a.x, a.y, a.z, kSpringColor};
        vertices[2 * s + 1] = {b.x, b.y, b.z, kSpringColor};
    }

    const UINT byteCount = static_cast<UINT>(vertexCount) * sizeof(LineVertex);
    void* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, byteCount, &data, 0)) || data == nullptr) return;
    std::memcpy(data, vertices.get(), byteCount);
    vertexBuffer->Unlock();

    device->SetStreamSource(0, vertexBuffer, 0, sizeof(LineVertex));
    device->SetFVF(kLineVertexFormat);
    device->DrawPrimitive(D3DPT_LINELIST, 0, static_cast<UINT>(body.springCount));
}

}  // namespace render
