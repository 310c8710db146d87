#include "info/info_cache.h"

namespace dov {

const FileInfo& InfoCache::Get(const std::string& path, std::uint64_t size, std::int64_t mtime,
                               unsigned kinds, const std::function<bool()>& stop) {
    Entry& e = entries_[path];
    if (e.size != size || e.mtime != mtime) {
        e = Entry{};
        e.size = size;
        e.mtime = mtime;
    }
    if (kinds & ~e.info.kindsRead) {
        ++reads_;
        ReadFileInfo(path, kinds, e.info, limits, stop);
    }
    return e.info;
}

void InfoCache::Clear() {
    entries_.clear();
}

}  // namespace dov
