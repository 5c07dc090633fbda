// The module's exceptions; see errors.h.
#include "errors.h"

#include <pybind11/pybind11.h>

#include <cstdio>
#include <stdexcept>

namespace facet_python {

void ThrowValueError(const std::string& message) { throw pybind11::value_error(message); }

void ThrowOSError(const std::string& message) { throw FileError(message); }

void ThrowFailure(const char* function, const char* step, HRESULT result) {
    const std::string prefix = std::string("facet.") + function + ": ";
    if (result == E_OUTOFMEMORY || result == D3DERR_OUTOFVIDEOMEMORY)
        throw OutOfMemory(prefix + "out of memory " + step);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    const std::string message = prefix + step + " failed (" + code + ")";
    if (result == D3DERR_INVALIDCALL) ThrowValueError(message);
    throw std::runtime_error(message);
}

void RegisterExceptions() {
    pybind11::register_local_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const FileError& error) {
            PyErr_SetString(PyExc_OSError, error.what());
        } catch (const OutOfMemory& error) {
            PyErr_SetString(PyExc_MemoryError, error.what());
        }
    });
}

}  // namespace facet_python
