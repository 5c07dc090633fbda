// Decodes fuzz input into a small mesh on a shared headless software device: either index
// width, a vertex layout from a short list, arbitrary vertex bytes, indices that may be
// out of range or mark unused faces, and an optional, possibly inconsistent group table.
#pragma once

#include "headless_device.h"
#include "springdrop/d3d9/instrumentation.h"
#include "facet/mesh.h"
#include "facet/thread_pool.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzz_input {

constexpr DWORD kMaxVertices = 48;
constexpr DWORD kMaxFaces = 64;

inline IDirect3DDevice9* SharedDevice() { return facet_tools::ProcessDevice(); }

// The pool of the targets that compare work on a pool with work alone. Three threads:
// parts that do not halve evenly, and more threads than a two-core machine has.
inline facet::ThreadPool& SharedPool() {
    static facet::ThreadPool pool(3);
    return pool;
}

// Null when the mesh cannot be created (then the input is uninteresting).
inline facet::Mesh* DecodeMesh(FuzzedDataProvider& input) {
    const DWORD options = facet::MeshOptions::Managed | (input.ConsumeBool() ? facet::MeshOptions::Indices32Bit : 0);
    const DWORD vertices = input.ConsumeIntegralInRange<DWORD>(1, kMaxVertices);
    const DWORD faces = input.ConsumeIntegralInRange<DWORD>(1, kMaxFaces);
    const DWORD fvf = input.PickValueInArray({0x12u, 0x2u, 0x112u, 0x52u, 0x1012u | 0x6u});
    facet::Mesh* mesh = nullptr;
    if (facet::CreateMeshFromFormat(faces, vertices, options, fvf, SharedDevice(), &mesh) != D3D_OK) return nullptr;

    void* data = nullptr;
    if (mesh->LockIndices(0, &data) == D3D_OK) {
        const bool wide = (options & facet::MeshOptions::Indices32Bit) != 0;
        for (DWORD i = 0; i < 3 * faces; ++i) {
            // Mostly valid indices; vertices itself is out of range, vertices + 1 is the empty value.
            DWORD index = input.ConsumeIntegralInRange<DWORD>(0, vertices + 1);
            if (index == vertices + 1) index = wide ? 0xFFFFFFFF : 0xFFFF;
            if (wide)
                static_cast<DWORD*>(data)[i] = index;
            else
                static_cast<WORD*>(data)[i] = static_cast<WORD>(index);
        }
        mesh->UnlockIndices();
    }
    if (mesh->LockVertices(0, &data) == D3D_OK) {
        const std::size_t bytes = std::size_t{vertices} * mesh->VertexStride();
        const std::vector<std::uint8_t> raw = input.ConsumeBytes<std::uint8_t>(bytes);
        std::memset(data, 0, bytes);
        if (!raw.empty()) std::memcpy(data, raw.data(), raw.size());
        mesh->UnlockVertices();
    }
    const DWORD groups = input.ConsumeIntegralInRange<DWORD>(0, 3);
    std::vector<facet::GroupEntry> table(groups);
    for (auto& entry : table) {
        entry.attributeId = input.ConsumeIntegral<std::uint8_t>();
        entry.firstFace = input.ConsumeIntegralInRange<DWORD>(0, faces + 1);
        entry.faceCount = input.ConsumeIntegralInRange<DWORD>(0, faces + 1);
        entry.firstVertex = 0;
        entry.vertexCount = vertices;
    }
    if (groups > 0) mesh->SetGroupTable(table.data(), groups);
    return mesh;
}

// An array of `count` entries below `limit` or 0xFFFFFFFF; `limit` itself is out of range.
inline std::vector<DWORD> DecodeEntries(FuzzedDataProvider& input, DWORD count, DWORD limit) {
    std::vector<DWORD> entries(count);
    for (DWORD& entry : entries) {
        entry = input.ConsumeIntegralInRange<DWORD>(0, limit + 1);
        if (entry == limit + 1) entry = 0xFFFFFFFF;
    }
    return entries;
}

}  // namespace fuzz_input
