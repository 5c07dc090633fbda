// The once-per-process check that the global allocation operators behave as the library
// relies on: a zero-byte allocation gives a unique non-null pointer, and deleting null
// does nothing.
#include <cstdint>
#include <new>

#include "facet/dispatch.h"
#include "springdrop/system/system.h"
#include "math/routine_install.h"

namespace facet {

namespace {

std::uint32_t g_allocatorChecked = 0;

constexpr const char* kWarningLines[] = {
    ("Facet: (WARN) The overloaded global operators new and delete do not conform to the C++ "
     "standard.\r\n"),
    "Facet: (WARN) An allocation of zero bytes should return a unique non-null pointer to at\r\n",
    "Facet: (WARN) least zero bytes. Deletion of a null pointer should quietly do nothing.\r\n",
    "Facet: (WARN) Facet relies upon this behavior.\r\n",
};

}  // namespace

void CheckAllocatorConformance() {
    if (g_allocatorChecked != 0) return;
    g_allocatorChecked = 1;

    void* first = ::operator new(0, std::nothrow);
    void* second = ::operator new(0, std::nothrow);
    const bool conforms = first != nullptr && second != nullptr && first != second;
    if (first != nullptr) ::operator delete(first);
    if (second != nullptr && second != first) ::operator delete(second);
    ::operator delete(static_cast<void*>(nullptr));

    if (!conforms) {
        for (const char* line : kWarningLines) OutputDebugStringA(line);
    }
}

void ResetAllocatorCheckForTesting() { g_allocatorChecked = 0; }

}  // namespace facet
