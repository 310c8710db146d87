// The rules for path text, in one place. A path is a CP932 (inside) or UTF-8 (native) byte
// string with '/' as the separator; '/' is never a trail byte of CP932, so a byte search for it
// finds every separator. Each function below has a one-line contract.
#pragma once

#include <string>
#include <string_view>

namespace dov {

// True when the path starts with '/'.
bool IsAbsolutePath(std::string_view path);

// Whether "/" itself passes IsCleanPath: a save file names the root, an undo never touches it.
enum class RootPath { Clean, NotClean };

// Absolute, no NUL byte, and every element non-empty and neither "." nor ".." (so no repeated
// or trailing '/'); "/" itself as `root` says.
bool IsCleanPath(std::string_view path, RootPath root = RootPath::Clean);

// The path lies strictly below the folder, by whole elements; every absolute path is under "/".
bool IsUnderPath(std::string_view path, std::string_view folder);

// The path is exactly one non-empty element below the folder ("/" included).
bool IsNameIn(std::string_view path, std::string_view folder);

// The '/' bytes of a path, counted up to `most` ('/' is never a byte of a double-byte character,
// so each one is a separator).
int CountSeparators(std::string_view path, int most);

// Joins a folder and a name with one '/': "/" + "a" is "/a", "/x" + "a" is "/x/a".
std::string JoinPath(std::string_view folder, std::string_view name);

// The folder part, with the root's entries in "": "/a/b" gives "/a", "/a" gives "".
std::string ParentPath(std::string_view path);

// The folder part, with the root as "/": "/a/b" gives "/a", "/a" gives "/", "/" gives "".
std::string ParentFolder(std::string_view path);

// The last element of a path (all of it when it has no '/').
std::string BaseName(std::string_view path);

// Splits an absolute path not ending in '/' into ParentFolder() and BaseName(); false (and
// nothing set) for any other path.
bool SplitPath(std::string_view path, std::string& folder, std::string& name);

}  // namespace dov
