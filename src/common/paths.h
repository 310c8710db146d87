// Where the program keeps its own files (settings, trace, logs, tree dumps, macro files), and
// the path helpers shared by every layer. Paths inside the program are CP932 byte strings with
// '/' as the separator.
#pragma once

#include <string>
#include <string_view>

namespace dov {

// The program's own folder as a native (UTF-8) path, chosen in this order: $DOVRETH_HOME;
// the executable's folder when it is writable; $XDG_DATA_HOME/dovreth (default
// ~/.local/share/dovreth), created when missing. Decided once per process.
const std::string& ProgramFolderNative();

// The same folder as a CP932 path for use inside the program.
const std::string& ProgramFolder();

// A file in the program's own folder (CP932), e.g. ProgramFile("RenameLog.txt").
std::string ProgramFile(std::string_view name);

// For tests: forget the decided folder so the next call decides again.
void ResetProgramFolderForTest();

// Joins a folder and a name with one '/': "/" + "a" is "/a", "/x" + "a" is "/x/a".
std::string JoinPath(std::string_view folder, std::string_view name);

// The folder part of a full path: "/a/b" gives "/a", "/a" gives "" (the root's entries).
std::string ParentPath(std::string_view path);

// The last element of a full path.
std::string BaseName(std::string_view path);

}  // namespace dov
