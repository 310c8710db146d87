#include "support/tree_support.h"

#include "common/trace.h"

namespace dovtest {

TreeFixture::TreeFixture() : trace(dov::DefaultTracePath()), root(MakeRootItem(trace, true)) {
    dov::TraceReset(trace);
}

namespace {
template <class Name>
CMyItem* Find(CMyItem* folder, Name name) {
    if (!folder) return nullptr;
    for (std::uint32_t i = 0; i < folder->m_dwNumInFolder; ++i) {
        CMyItem* s = folder->GetSubItem(static_cast<int>(i));
        if (s && name(*s)) return s;
    }
    return nullptr;
}
}  // namespace

CMyItem* ByNewName(CMyItem* folder, const std::string& newName) {
    return Find(folder, [&](const CMyItem& s) { return s.m_strNewName == newName; });
}

CMyItem* ByOrgName(CMyItem* folder, const std::string& orgName) {
    return Find(folder, [&](const CMyItem& s) { return s.m_strOrgName == orgName; });
}

namespace {
CMyItem* Walk(CMyItem* folder, const std::string& chain,
              CMyItem* (*step)(CMyItem*, const std::string&)) {
    std::size_t start = 0;
    CMyItem* cur = folder;
    while (cur && start <= chain.size()) {
        std::size_t slash = chain.find('/', start);
        if (slash == std::string::npos) slash = chain.size();
        cur = step(cur, chain.substr(start, slash - start));
        start = slash + 1;
    }
    return cur;
}
}  // namespace

CMyItem* AtNewNames(CMyItem* folder, const std::string& chain) {
    return Walk(folder, chain, ByNewName);
}

CMyItem* AtOrgNames(CMyItem* folder, const std::string& chain) {
    return Walk(folder, chain, ByOrgName);
}

void SetNewName(CMyItem* item, const std::string& newName) {
    item->m_strNewName = newName;
    item->UpdateWriteName();
}

}  // namespace dovtest
