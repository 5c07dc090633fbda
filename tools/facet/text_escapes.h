// Text from outside the program (file names, arguments, lines that quote a file) made
// safe to print: a message stays one line, cannot drive the terminal, and JSON output
// stays valid JSON whatever bytes a file name holds.
#pragma once

#include <string>
#include <string_view>

// `text` with control characters escaped (\n, \r, \t, \xHH for the other C0 bytes, DEL
// and the UTF-8 encoded C1 controls) and each byte that is not part of valid UTF-8 shown
// as \xHH; valid UTF-8 passes through.
std::string PrintableText(std::string_view text);

// "'text'", escaped as PrintableText.
std::string QuotedArgument(std::string_view text);

// A JSON string literal: quotes and backslashes escaped, control characters as \u00XX,
// and each byte that is not part of valid UTF-8 replaced by U+FFFD (\ufffd), since JSON
// text is Unicode and has no way to carry a raw byte; valid UTF-8 passes through.
std::string JsonString(std::string_view text);
