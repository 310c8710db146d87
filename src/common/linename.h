// A CP932 name on one line of text: a backslash, tab, line feed or carriage return standing
// alone (not the second byte of a double-byte character) is written as \\, \t, \n or \r, so
// that every name stays on its line and in its column.
#pragma once

#include <string>

namespace dov {

std::string EscapeLineName(const std::string& name);

}  // namespace dov
