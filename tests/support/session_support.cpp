#include "support/session_support.h"

#include <gtest/gtest.h>

#include "common/codepage.h"
#include "support/tree_support.h"

namespace dovtest {

std::string Cp(const std::string& native) {
    return dov::Utf8ToCp932(native).value();
}

void SessionRun::Load(const std::vector<std::string>& names) {
    s = std::make_unique<dov::CSession>(host);
    std::vector<std::string> paths;
    for (const std::string& n : names) paths.push_back(Cp(tmp / n));
    ASSERT_EQ(s->LoadPaths(paths), static_cast<int>(names.size()));
}

CMyItem* SessionRun::Item(const std::string& chain) const {
    return AtOrgNames(s->Root(), Cp(chain));
}

std::string SessionRun::LastMessage() const {
    return host.messages.empty() ? "" : host.messages.back().text;
}

}  // namespace dovtest
