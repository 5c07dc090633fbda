// SpringBody::Draw: one opaque red line per spring between its masses' current
// positions, assembled in system memory and copied into the vertex buffer as one block so
// the buffer stays locked only for the copy.
#include "sim/spring_body.h"

#include <cstring>
#include <memory>
#include <new>

namespace sim {

void SpringBody::Draw() {
    if (vertexBuffer == nullptr || springs == nullptr) return;

    const std::int32_t vertexCount = 2 * springCount;
    std::unique_ptr<LineVertex[]> vertices(new (std::nothrow) LineVertex[vertexCount]);
    if (!vertices) return;
    for (std::int32_t s = 0; s < springCount; ++s) {
        const Vector3& a = masses[springs[s].massA].position;
        const Vector3& b = masses[springs[s].massB].position;
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
    device->DrawPrimitive(D3DPT_LINELIST, 0, static_cast<UINT>(springCount));
}

}  // namespace sim
