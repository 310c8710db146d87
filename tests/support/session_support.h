// A session over a temporary folder, driven as the window and the command line drive it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "session/session.h"
#include "support/fake_fs.h"
#include "support/test_support.h"

class CMyItem;

namespace dovtest {

// CP932 path of a native (UTF-8) path.
std::string Cp(const std::string& native);

// The temporary folder (the program's own folder inside it), a recording host, the real file
// system with faults on request installed for the test, and a session over them.
struct SessionRun {
    TempDir tmp;
    RecordingHost host;
    FaultFs fs;
    dov::ScopedFileSystem scoped{&fs};
    std::unique_ptr<dov::CSession> s;

    // Loads the named entries of the temporary folder (relative, UTF-8) into a fresh session;
    // each of them must load.
    void Load(const std::vector<std::string>& names);
    // An item by its '/'-separated chain of original names (UTF-8) from the root.
    CMyItem* Item(const std::string& chain) const;
    std::string LastMessage() const;
};

}  // namespace dovtest
