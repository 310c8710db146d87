// Helpers of the hardening tests: a full listing of a folder on disk (that works on any name
// and at any depth), a session over a temporary folder, and a file system with faults. A test
// file takes them all with `using namespace hardtest;`.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/fs.h"
#include "session/session.h"
#include "support/fake_fs.h"
#include "support/session_support.h"
#include "support/test_support.h"
#include "support/tree_support.h"

namespace hardtest {

// One entry of a listing: its kind and, for a file, its size and content (a digest for large
// files), for a link its target.
struct Entry {
    char kind = '?';  // 'd' folder, 'f' file, 'l' link, 'p' FIFO, '?' anything else
    unsigned mode = 0;
    unsigned long long size = 0;
    std::string content;  // the file's bytes up to 64 KiB, else a digest; the link's target
    bool operator==(const Entry&) const = default;
};

// Every entry below a native folder by its relative path (raw bytes as on disk), links not
// followed. Works through descriptors, so neither path length nor names get in the way.
// The program's own folder "home" is left out at the top level.
using Listing = std::map<std::string, Entry>;
Listing List(const std::string& folder);

// A readable account of the difference between two listings (empty when equal).
std::string Diff(const Listing& before, const Listing& after);

// The file contents of a listing as a multiset: what must survive any run.
std::multiset<std::string> Contents(const Listing& l);

using dovtest::FaultFs;

using dovtest::Cp;

using dovtest::ByOrgName;
using dovtest::CopyReport;
using dovtest::SetNewName;
using dovtest::Sj;

// Counts the occurrences of needle in hay; the program's own files of the current test.
using dovtest::Count;
using dovtest::HomeFile;

// Whether permission bits bind this process (they do not for root).
bool PermissionsBind();

}  // namespace hardtest
