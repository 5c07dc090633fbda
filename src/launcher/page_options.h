// The web page's address options as launcher arguments. The page hands over its query as
// the address bar has it (`?frames=600&fixedFps=100&input=100:F1,300:W&trace=1`); it is
// split and percent-decoded here as a form's fields are, and each option becomes one
// "--name=value" argument, so a value is only ever a value: it can neither end early nor
// carry a second option.
//
// Refused, with one line in `error`: a name other than frames, fixedFps, input and trace;
// a control character (a NUL or a line break included) in a name or a value; an option
// given twice; a trace value other than 0, 1, true or false. trace=1 traces into
// kPageTracePath in the page's in-memory file system, trace=0 does not trace.
#pragma once

#include <string>
#include <vector>

namespace launcher {

inline constexpr const char* kPageTracePath = "/tmp/trace.csv";

bool PageOptionsToArguments(const std::string& query, std::vector<std::string>* arguments, std::string* error);

}  // namespace launcher
