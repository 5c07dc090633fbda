// How the module's functions fail: ValueError for data they refuse, OSError for files
// (with the reader's or writer's one line), MemoryError when memory runs out, and
// RuntimeError for anything else the library reports. Each message starts with the
// function's name ("facet.weld: ...") unless it is a file's own line. They are C++
// exceptions that pybind11 turns into Python's when they leave a function.
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

namespace facet_python {

// A file that cannot be read or written: OSError with the reader's or writer's line.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Memory ran out: MemoryError with "facet.FUNCTION: out of memory STEP".
class OutOfMemory : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Makes FileError an OSError and OutOfMemory a MemoryError for this module's functions.
void RegisterExceptions();

[[noreturn]] void ThrowValueError(const std::string& message);
[[noreturn]] void ThrowOSError(const std::string& message);

// A failed library call: "facet.FUNCTION: STEP failed (CODE)", or "out of memory STEP".
[[noreturn]] void ThrowFailure(const char* function, const char* step, HRESULT result);

}  // namespace facet_python
