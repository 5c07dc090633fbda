// Element conversions. Packed types follow their layouts: D3DCOLOR is a little-endian
// A8R8G8B8 word, UDEC3 and DEC3N hold x, y, z in bits 0-9, 10-19 and 20-29.
#include "geometry/vertex_element_conversion.h"

#include "facet/math.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace facet {

namespace {

template <typename T>
T Load(const BYTE* source, int i) {
    T value;
    std::memcpy(&value, source + i * sizeof(T), sizeof(T));
    return value;
}

template <typename T>
void Store(BYTE* destination, int i, T value) {
    std::memcpy(destination + i * sizeof(T), &value, sizeof(T));
}

// value clamped to [low, high] and rounded to the nearest integer; NaN gives 0.
long Quantise(float value, float low, float high) {
    if (std::isnan(value)) return 0;
    return std::lround(std::clamp(value, low, high));
}

std::uint32_t PackTen(const float value[4], float scale, float low, float high) {
    std::uint32_t word = 0;
    for (int i = 0; i < 3; ++i)
        word |= (static_cast<std::uint32_t>(Quantise(value[i] * scale, low, high)) & 0x3FF) << (10 * i);
    return word;
}

}  // namespace

void ReadVertexElement(BYTE type, const BYTE* source, float value[4]) {
    value[0] = value[1] = value[2] = 0.0f;
    value[3] = 1.0f;
    switch (type) {
        case D3DDECLTYPE_FLOAT1:
        case D3DDECLTYPE_FLOAT2:
        case D3DDECLTYPE_FLOAT3:
        case D3DDECLTYPE_FLOAT4:
            std::memcpy(value, source, (type - D3DDECLTYPE_FLOAT1 + 1) * sizeof(float));
            break;
        case D3DDECLTYPE_D3DCOLOR: {
            const auto word = Load<std::uint32_t>(source, 0);
            for (int i = 0; i < 3; ++i) value[i] = static_cast<float>((word >> (16 - 8 * i)) & 0xFF) / 255.0f;
            value[3] = static_cast<float>(word >> 24) / 255.0f;
            break;
        }
        case D3DDECLTYPE_UBYTE4:
        case D3DDECLTYPE_UBYTE4N:
            for (int i = 0; i < 4; ++i)
                value[i] = static_cast<float>(source[i]) / (type == D3DDECLTYPE_UBYTE4N ? 255.0f : 1.0f);
            break;
        case D3DDECLTYPE_SHORT2:
        case D3DDECLTYPE_SHORT4:
        case D3DDECLTYPE_SHORT2N:
        case D3DDECLTYPE_SHORT4N: {
            const bool four = type == D3DDECLTYPE_SHORT4 || type == D3DDECLTYPE_SHORT4N;
            const bool normalised = type == D3DDECLTYPE_SHORT2N || type == D3DDECLTYPE_SHORT4N;
            for (int i = 0; i < (four ? 4 : 2); ++i) {
                const float raw = Load<std::int16_t>(source, i);
                value[i] = normalised ? std::max(raw / 32767.0f, -1.0f) : raw;
            }
            break;
        }
        case D3DDECLTYPE_USHORT2N:
        case D3DDECLTYPE_USHORT4N:
            for (int i = 0; i < (type == D3DDECLTYPE_USHORT4N ? 4 : 2); ++i)
                value[i] = Load<std::uint16_t>(source, i) / 65535.0f;
            break;
        case D3DDECLTYPE_UDEC3:
        case D3DDECLTYPE_DEC3N: {
            const auto word = Load<std::uint32_t>(source, 0);
            for (int i = 0; i < 3; ++i) {
                const std::uint32_t bits = (word >> (10 * i)) & 0x3FF;
                if (type == D3DDECLTYPE_UDEC3) {
                    value[i] = static_cast<float>(bits);
                } else {
                    const int signedBits = bits >= 512 ? static_cast<int>(bits) - 1024 : static_cast<int>(bits);
                    value[i] = std::max(static_cast<float>(signedBits) / 511.0f, -1.0f);
                }
            }
            break;
        }
        case D3DDECLTYPE_FLOAT16_2:
        case D3DDECLTYPE_FLOAT16_4: {
            std::uint16_t halves[4];
            const std::uint32_t n = type == D3DDECLTYPE_FLOAT16_4 ? 4 : 2;
            std::memcpy(halves, source, n * sizeof(std::uint16_t));
            Float16To32Array(value, halves, n);
            break;
        }
        default:
            break;
    }
}

void WriteVertexElement(BYTE type, const float value[4], BYTE* destination) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1:
        case D3DDECLTYPE_FLOAT2:
        case D3DDECLTYPE_FLOAT3:
        case D3DDECLTYPE_FLOAT4:
            std::memcpy(destination, value, (type - D3DDECLTYPE_FLOAT1 + 1) * sizeof(float));
            break;
        case D3DDECLTYPE_D3DCOLOR: {
            std::uint32_t word = static_cast<std::uint32_t>(Quantise(value[3] * 255.0f, 0, 255)) << 24;
            for (int i = 0; i < 3; ++i)
                word |= static_cast<std::uint32_t>(Quantise(value[i] * 255.0f, 0, 255)) << (16 - 8 * i);
            Store(destination, 0, word);
            break;
        }
        case D3DDECLTYPE_UBYTE4:
        case D3DDECLTYPE_UBYTE4N:
            for (int i = 0; i < 4; ++i)
                destination[i] = static_cast<BYTE>(
                    Quantise(value[i] * (type == D3DDECLTYPE_UBYTE4N ? 255.0f : 1.0f), 0, 255));
            break;
        case D3DDECLTYPE_SHORT2:
        case D3DDECLTYPE_SHORT4:
        case D3DDECLTYPE_SHORT2N:
        case D3DDECLTYPE_SHORT4N: {
            const bool four = type == D3DDECLTYPE_SHORT4 || type == D3DDECLTYPE_SHORT4N;
            const bool normalised = type == D3DDECLTYPE_SHORT2N || type == D3DDECLTYPE_SHORT4N;
            for (int i = 0; i < (four ? 4 : 2); ++i) {
                const long raw = normalised ? Quantise(value[i] * 32767.0f, -32767, 32767)
                                            : Quantise(value[i], -32768, 32767);
                Store(destination, i, static_cast<std::int16_t>(raw));
            }
            break;
        }
        case D3DDECLTYPE_USHORT2N:
        case D3DDECLTYPE_USHORT4N:
            for (int i = 0; i < (type == D3DDECLTYPE_USHORT4N ? 4 : 2); ++i)
                Store(destination, i, static_cast<std::uint16_t>(Quantise(value[i] * 65535.0f, 0, 65535)));
            break;
        case D3DDECLTYPE_UDEC3:
            Store(destination, 0, PackTen(value, 1.0f, 0, 1023));
            break;
        case D3DDECLTYPE_DEC3N:
            Store(destination, 0, PackTen(value, 511.0f, -511, 511));
            break;
        case D3DDECLTYPE_FLOAT16_2:
        case D3DDECLTYPE_FLOAT16_4: {
            std::uint16_t halves[4];
            const std::uint32_t n = type == D3DDECLTYPE_FLOAT16_4 ? 4 : 2;
            Float32To16Array(halves, value, n);
            std::memcpy(destination, halves, n * sizeof(std::uint16_t));
            break;
        }
        default:
            break;
    }
}

}  // namespace facet
