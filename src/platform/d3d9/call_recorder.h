// Internal side of the test instrumentation: every public method of every software
// Direct3D object passes through Instrumented(), which consults the injected faults,
// runs the method's body when no fault applies, and appends one call-log record.
//
// With logging off and no fault armed a call costs one counter increment and two
// branches, so long runs stay cheap.
#pragma once

#include "springdrop/d3d9/d3d9.h"

#include <cstdint>
#include <string>
#include <type_traits>

namespace d3d9sw::internal {

// Which injected faults may fail a call: calls that return counts rather than result
// codes are never failed; Direct3DCreate9 is failed by method but not by call index.
enum class Failable { Never, ByMethodOnly, Always };

// Counts the call and reports whether an injected fault makes it fail, and with which
// code.
bool TakeFault(const char* method, Failable failable, HRESULT* code);
bool LoggingEnabled();
void AppendRecord(const char* method, std::string args, std::int64_t result);

// Live-object accounting for LiveObjectCount.
void ObjectCreated();
void ObjectDestroyed();

// Configured behaviour read by the objects.
DWORD AdapterVendorId();
DWORD AdapterDeviceId();
std::uint32_t QueryPendingPolls();
bool Direct3DCreateFails();

// Argument formatting of the call log: unsigned decimal for unsigned integers and enums,
// signed decimal for signed integers, "%.9g" for floats, "null"/"ptr" for pointers and
// the registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} for interface ids.
void AppendArgument(std::string& out, float value);
void AppendArgument(std::string& out, const GUID& value);
void AppendArgument(std::string& out, std::uint64_t value);
void AppendArgument(std::string& out, std::int64_t value);

template <class T>
void AppendOne(std::string& out, const T& value) {
    if constexpr (std::is_pointer_v<T>) {
        out += value ? "ptr" : "null";
    } else if constexpr (std::is_enum_v<T>) {
        AppendArgument(out, static_cast<std::uint64_t>(value));
    } else if constexpr (std::is_floating_point_v<T>) {
        AppendArgument(out, static_cast<float>(value));
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        AppendArgument(out, static_cast<std::int64_t>(value));
    } else if constexpr (std::is_integral_v<T>) {
        AppendArgument(out, static_cast<std::uint64_t>(value));
    } else {
        AppendArgument(out, value);
    }
}

template <class... Args>
void Record(const char* method, std::int64_t result, const Args&... args) {
    if (!LoggingEnabled()) return;
    std::string text;
    // Every argument formats to non-empty text, so an empty text means "first argument".
    ((text.empty() ? void() : void(text += ','), AppendOne(text, args)), ...);
    AppendRecord(method, std::move(text), result);
}

// Runs `body` (returning HRESULT) unless an injected fault fails the call first; logs the
// call with its arguments and result either way.
template <class Body, class... Args>
HRESULT Instrumented(const char* method, Body&& body, const Args&... args) {
    HRESULT result;
    if (!TakeFault(method, Failable::Always, &result)) result = body();
    Record(method, result, args...);
    return result;
}

// For calls that return a count or a value rather than a result code: counted and
// logged, never failed.
template <class Body, class... Args>
auto Counted(const char* method, Body&& body, const Args&... args) {
    HRESULT unused;
    TakeFault(method, Failable::Never, &unused);
    auto value = body();
    Record(method, static_cast<std::int64_t>(value), args...);
    return value;
}

}  // namespace d3d9sw::internal
