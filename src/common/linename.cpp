#include "common/linename.h"

#include "common/sjis.h"

namespace dov {

std::string EscapeLineName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t p = 0; p < name.size();) {
        const std::size_t len = SjisCharLen(name, p);
        const char c = name[p];
        if (len == 1 && (c == '\\' || c == '\t' || c == '\n' || c == '\r')) {
            out += '\\';
            out += c == '\\' ? '\\' : c == '\t' ? 't' : c == '\n' ? 'n' : 'r';
        } else {
            out.append(name, p, len);
        }
        p += len;
    }
    return out;
}

}  // namespace dov
