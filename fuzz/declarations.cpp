// The declaration conversions on arbitrary FVF codes and element arrays: no crash, no
// read past the 65 elements, and every conversion that succeeds converts back.
#include "facet/vertex_declaration.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Same elements up to and including the end marker, ignoring the tessellation method.
bool SameLayout(const D3DVERTEXELEMENT9* a, const D3DVERTEXELEMENT9* b) {
    for (UINT i = 0; i < MAX_FVF_DECL_SIZE; ++i) {
        if (a[i].Stream == 0xFF || b[i].Stream == 0xFF) return a[i].Stream == b[i].Stream;
        if (a[i].Stream != b[i].Stream || a[i].Offset != b[i].Offset || a[i].Type != b[i].Type ||
            a[i].Usage != b[i].Usage || a[i].UsageIndex != b[i].UsageIndex)
            return false;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);

    const DWORD fvf = input.ConsumeIntegral<DWORD>();
    D3DVERTEXELEMENT9 fromFormat[MAX_FVF_DECL_SIZE];
    if (facet::DeclarationFromFormat(fvf, fromFormat) == D3D_OK) {
        Check(facet::IsMeshDeclaration(fromFormat));
        DWORD back = 0;
        Check(facet::FormatFromDeclaration(fromFormat, &back) == D3D_OK);
        D3DVERTEXELEMENT9 again[MAX_FVF_DECL_SIZE];
        Check(facet::DeclarationFromFormat(back, again) == D3D_OK);
        Check(SameLayout(fromFormat, again));
    }

    const std::uint8_t stream = input.ConsumeIntegral<std::uint8_t>();
    // Exactly 65 elements, as callers must provide; the end marker may be missing.
    D3DVERTEXELEMENT9 elements[MAX_FVF_DECL_SIZE];
    const std::vector<std::uint8_t> raw = input.ConsumeRemainingBytes<std::uint8_t>();
    std::memset(elements, 0xFF, sizeof elements);
    if (!raw.empty()) std::memcpy(elements, raw.data(), std::min(raw.size(), sizeof elements));
    facet::IsMeshDeclaration(elements);
    facet::DeclarationStride(elements, stream);
    DWORD code = 0;
    if (facet::FormatFromDeclaration(elements, &code) == D3D_OK) {
        D3DVERTEXELEMENT9 rebuilt[MAX_FVF_DECL_SIZE];
        Check(facet::DeclarationFromFormat(code, rebuilt) == D3D_OK);
        Check(SameLayout(elements, rebuilt));
    }
    return 0;
}
