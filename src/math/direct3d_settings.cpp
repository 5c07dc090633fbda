// Reading one value of the Direct3D settings key through the platform's registry calls.
#include "facet/dispatch.h"
#include "springdrop/system/system.h"

namespace facet {

int ReadDirect3DSetting(DWORD expectedType, const char* valueName, void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, DIRECT3D_SETTINGS_KEY, &key) != ERROR_SUCCESS) return 0;
    DWORD storedType = REG_NONE;
    DWORD storedSize = size;
    const LSTATUS status =
        RegQueryValueExA(key, valueName, nullptr, &storedType, static_cast<LPBYTE>(data), &storedSize);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && storedType == expectedType ? 1 : 0;
}

}  // namespace facet
