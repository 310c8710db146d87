// What the files of the loaded items hold, read at most once per file: an entry is kept until
// the file's path, size or modification time changes (a rename, an edit on disk), and Clear()
// forgets everything when a new tree is loaded.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "info/file_info.h"

namespace dov {

class InfoCache {
  public:
    // The file's information with at least `kinds` read (reading what is missing).
    const FileInfo& Get(const std::string& path, std::uint64_t size, std::int64_t mtime,
                        unsigned kinds, const std::function<bool()>& stop = {});
    void Clear();
    // Files read from disk so far (for tests and benchmarks).
    long long Reads() const { return reads_; }
    ReadLimits limits;

  private:
    struct Entry {
        std::uint64_t size = 0;
        std::int64_t mtime = 0;
        FileInfo info;
    };
    std::unordered_map<std::string, Entry> entries_;
    long long reads_ = 0;
};

}  // namespace dov
