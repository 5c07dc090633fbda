// The registry's stand-in: one readable key, the Direct3D settings key under
// HKEY_LOCAL_MACHINE, whose values are environment variables named exactly as the value.
// Text that parses completely as an unsigned 32-bit decimal or 0x-hex number reads as a
// REG_DWORD (4 bytes, little-endian); any other text as a REG_SZ with its terminating
// NUL; an unset variable as a missing value.
#include "springdrop/system/names.h"
#include "springdrop/system/system.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

// The open handles, shared by every thread: the library reads its settings on whichever
// thread creates a mesh, and several read meshes at once.
struct OpenKeys {
    std::mutex mutex;
    std::set<std::uintptr_t> handles;
    std::uintptr_t next = 0x5E770000;
};

OpenKeys& Keys() {
    static OpenKeys keys;
    return keys;
}

bool IsOpen(HKEY key) {
    OpenKeys& keys = Keys();
    const std::lock_guard<std::mutex> lock(keys.mutex);
    return keys.handles.count(reinterpret_cast<std::uintptr_t>(key)) != 0;
}

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9') value = c - '0';
    if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    return value < base ? value : -1;
}

std::optional<DWORD> ParseDword(const std::string& text) {
    int base = 10;
    std::size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    }
    if (start >= text.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        int digit = DigitValue(text[i], base);
        if (digit < 0) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<DWORD>(value);
}

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

StoredValue ValueFromText(const std::string& text) {
    StoredValue value;
    if (auto number = ParseDword(text)) {
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i) value.bytes.push_back(static_cast<BYTE>((*number >> (8 * i)) & 0xFF));
    } else {
        value.type = REG_SZ;
        value.bytes.assign(text.begin(), text.end());
        value.bytes.push_back(0);
    }
    return value;
}

}  // namespace

LSTATUS RegOpenKeyA(HKEY key, LPCSTR subKey, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (key != HKEY_LOCAL_MACHINE || !subKey ||
        !platform::detail::EqualsIgnoringCase(subKey, DIRECT3D_SETTINGS_KEY))
        return ERROR_FILE_NOT_FOUND;
    OpenKeys& keys = Keys();
    const std::lock_guard<std::mutex> lock(keys.mutex);
    std::uintptr_t handle = keys.next;
    keys.next += 4;
    keys.handles.insert(handle);
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (!IsOpen(key)) return ERROR_INVALID_HANDLE;
    if (data && !dataSize) return ERROR_INVALID_PARAMETER;
    const char* text = valueName && *valueName ? std::getenv(valueName) : nullptr;
    if (!text) return ERROR_FILE_NOT_FOUND;
    StoredValue value = ValueFromText(text);
    const auto needed = static_cast<DWORD>(value.bytes.size());
    if (type) *type = value.type;
    if (!data) {
        if (dataSize) *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    std::copy(value.bytes.begin(), value.bytes.end(), data);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
    OpenKeys& keys = Keys();
    const std::lock_guard<std::mutex> lock(keys.mutex);
    return keys.handles.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
