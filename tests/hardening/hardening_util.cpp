#include "hardening_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <set>

#include "model/item.h"

namespace hardtest {

namespace {

std::string ReadFd(int fd, unsigned long long size) {
    std::string out;
    // Small files are compared by content; large ones by a digest of all their bytes.
    constexpr unsigned long long kWhole = 64 * 1024;
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a over the whole file
    char buf[65536];
    for (;;) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r <= 0) break;
        if (size <= kWhole) out.append(buf, static_cast<std::size_t>(r));
        for (ssize_t i = 0; i < r; ++i) {
            h ^= static_cast<unsigned char>(buf[i]);
            h *= 1099511628211ull;
        }
    }
    if (size > kWhole) {
        char d[40];
        std::snprintf(d, sizeof d, "<fnv %016llx>", static_cast<unsigned long long>(h));
        out = d;
    }
    return out;
}

void ListAt(int dfd, const std::string& prefix, bool top, Listing& out) {
    DIR* dir = ::fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return;
    }
    std::vector<std::string> names;
    while (struct dirent* de = ::readdir(dir)) {
        std::string n = de->d_name;
        if (n == "." || n == "..") continue;
        if (top && n == "home") continue;
        names.push_back(n);
    }
    for (const std::string& n : names) {
        struct stat st {};
        if (::fstatat(dirfd(dir), n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        Entry e;
        e.mode = st.st_mode & 07777;
        const std::string rel = prefix.empty() ? n : prefix + "/" + n;
        if (S_ISDIR(st.st_mode)) {
            e.kind = 'd';
            out[rel] = e;
            int sub = ::openat(dirfd(dir), n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (sub >= 0) ListAt(sub, rel, false, out);
            continue;
        }
        e.size = static_cast<unsigned long long>(st.st_size);
        if (S_ISREG(st.st_mode)) {
            e.kind = 'f';
            int fd = ::openat(dirfd(dir), n.c_str(), O_RDONLY | O_NOFOLLOW);
            if (fd >= 0) {
                e.content = ReadFd(fd, e.size);
                ::close(fd);
            }
        } else if (S_ISLNK(st.st_mode)) {
            e.kind = 'l';
            char buf[4096];
            ssize_t r = ::readlinkat(dirfd(dir), n.c_str(), buf, sizeof buf);
            if (r > 0) e.content.assign(buf, static_cast<std::size_t>(r));
        } else if (S_ISFIFO(st.st_mode)) {
            e.kind = 'p';
        }
        out[rel] = e;
    }
    ::closedir(dir);
}

}  // namespace

Listing List(const std::string& folder) {
    Listing out;
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) ListAt(fd, "", true, out);
    return out;
}

std::string Diff(const Listing& before, const Listing& after) {
    std::string d;
    for (const auto& [k, v] : before) {
        auto it = after.find(k);
        if (it == after.end())
            d += "lost: " + k + "\n";
        else if (!(it->second == v))
            d += "changed: " + k + "\n";
    }
    for (const auto& [k, v] : after)
        if (!before.count(k)) d += "new: " + k + "\n";
    return d;
}

std::multiset<std::string> Contents(const Listing& l) {
    std::multiset<std::string> out;
    for (const auto& [k, v] : l)
        if (v.kind == 'f') out.insert(v.content);
    return out;
}

bool PermissionsBind() {
    return ::geteuid() != 0;
}

}  // namespace hardtest
