#pragma once

#include <string>
#include <string_view>

// Text as it may go to a terminal or a log: control characters and bytes
// that are not UTF-8 are written as escapes (\n, \t, \x1b, ...), so a file
// name can neither break a message over several lines nor send commands to
// the terminal.
std::string PrintableText(std::string_view text);
