// Where the program keeps its own files (settings, trace, logs, tree dumps, macro files). Paths
// inside the program are CP932 byte strings with '/' as the separator.
#pragma once

#include <string>
#include <string_view>

#include "common/pathtext.h"  // the path rules every layer shares

namespace dov {

// Where the program's own folder may come from; ChooseProgramFolder() picks among them.
struct FolderSources {
    std::string dovrethHome;  // $DOVRETH_HOME
    std::string exeFolder;    // the folder of the running executable
    std::string xdgDataHome;  // $XDG_DATA_HOME
    std::string home;         // $HOME
    std::string passwdHome;   // the user's home folder in the password database
};

// The sources of the running process.
FolderSources CurrentFolderSources();

// The program's own folder, chosen in this order: dovrethHome; the executable's folder when it
// is a build tree (CMake's files lie beside the executable) or is marked portable (a file
// "dovreth.portable" beside it); xdgDataHome/dovreth, else <home>/.local/share/dovreth with the
// home folder from $HOME, else from the password database. Only absolute paths count. A folder
// made here gets mode 0700. Never a shared folder such as /tmp: when no folder can be had the
// result is empty and `problem` says why.
std::string ChooseProgramFolder(const FolderSources& from, std::string& problem);

// The program's own folder as a native (UTF-8) path, chosen by ChooseProgramFolder() once per
// process; empty when there is none (ProgramFolderProblem() then says why).
const std::string& ProgramFolderNative();

// Why there is no program folder (empty when there is one). A program should refuse to start
// with this message.
std::string ProgramFolderProblem();

// Opens one of the program's own files for writing: created when missing (mode 0666 less the
// umask), then emptied or appended to. A symbolic link at the path is refused with ELOOP and
// anything but a regular file with EINVAL: nothing is ever written through them. Returns the
// descriptor (close-on-exec) or -errno.
int OpenOwnFileForWrite(const std::string& nativePath, bool append);

// The same folder as a CP932 path for use inside the program.
const std::string& ProgramFolder();

// A file in the program's own folder (CP932), e.g. ProgramFile("RenameLog.txt"); empty when
// there is no program folder.
std::string ProgramFile(std::string_view name);

// For tests: forget the decided folder so the next call decides again.
void ResetProgramFolderForTest();

// The capacity to give a path string of this length: the heap hands out blocks in steps of 16
// bytes anyway, so the string takes all of its block, and a path that grows by a few bytes
// (a renamed folder above it, a prefix added) mostly keeps its storage.
constexpr std::size_t PathCapacity(std::size_t length) {
    return ((length + 1 + 8 + 15) & ~std::size_t{15}) - 8 - 1;
}

}  // namespace dov
