// How Win32 compares names of classes, modules and registry keys: ASCII letters without
// regard to case.
#pragma once

#include <string>

namespace platform::detail {

bool EqualsIgnoringCase(const std::string& a, const std::string& b);

}  // namespace platform::detail
