#include "rename/make_tree.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"

namespace {
constexpr std::size_t kBufBytes = 1 << 20;  // written out whenever this much is waiting
}

CMyMakeTree::CMyMakeTree(std::string tracePath, dov::IHost* host)
    : m_strTracePath(tracePath.empty() ? dov::DefaultTracePath() : std::move(tracePath)),
      m_bar(dov::Sj("┃")),
      m_space(dov::Sj("　")),
      m_folderMark(dov::Sj("□")),
      m_fileMark(dov::Sj("■")) {
    const std::string& dash = dov::Sj("━━");
    for (int more = 0; more < 2; ++more) {
        for (int folder = 0; folder < 2; ++folder) {
            m_head[more][folder] =
                (more ? dov::Sj("┣") : dov::Sj("┗")) + dash + (folder ? m_folderMark : m_fileMark);
        }
    }
    m_pbyFlag.reset(new (std::nothrow) std::uint8_t[kFlagBytes]);
    if (m_pbyFlag) {
        std::memset(m_pbyFlag.get(), 0, kFlagBytes);
    } else if (host) {
        host->Message(dov::Sj("※　フラグメモリの確保に失敗。CMyMakeTree()\n"), dov::MsgKind::Ok,
                      dov::MsgIcon::Error);
    }
}

CMyMakeTree::~CMyMakeTree() {
    if (m_file) FileClose();
}

void CMyMakeTree::SetFlag(int bit, bool on) {
    if (bit < 0 || bit >= m_iFlagBits) return;
    if (FlagAt(bit) != on) m_prefixLevel = -1;
    if (on)
        m_pbyFlag[bit >> 3] = static_cast<std::uint8_t>(m_pbyFlag[bit >> 3] | (1u << (bit & 7)));
    else
        m_pbyFlag[bit >> 3] = static_cast<std::uint8_t>(m_pbyFlag[bit >> 3] & ~(1u << (bit & 7)));
}

bool CMyMakeTree::FileOpen(const std::string& strFileName) {
    if (strFileName.empty()) {
        dov::TraceF(m_strTracePath, "※　ファイル名が無効です。FileOpen()\n");
        return false;
    }
    if (m_file) FileClose();
    m_used = 0;
    m_failed = false;
    if (dov::Fs().CreateTruncate(strFileName, m_file) != 0) {
        m_file.reset();
        dov::TraceF(m_strTracePath,
                    "※　ツリー書き込み用ファイルのオープンに失敗。FileOpen()\n\tFileName= \"%s\"\n",
                    strFileName.c_str());
        return false;
    }
    return true;
}

void CMyMakeTree::Flush() {
    if (m_used == 0) return;
    const long long w = m_file->Write(m_buf.get(), m_used);
    if (w < 0 || static_cast<std::size_t>(w) != m_used) m_failed = true;
    m_used = 0;
}

bool CMyMakeTree::FileClose() {
    Flush();
    bool ok = !m_failed;
    if (m_file->Close() != 0) ok = false;
    m_file.reset();
    return ok;
}

char* CMyMakeTree::Room(std::size_t n) {
    if (m_used + n > m_size) {
        Flush();
        if (n > m_size) {
            m_size = std::max(n, kBufBytes + 64 * 1024);
            m_buf.reset(new char[m_size]);
        }
    }
    return m_buf.get() + m_used;
}

bool CMyMakeTree::MakeTree(CMyItem* pStart, const std::string& strFileName, bool bUseOrgName) {
    if (!m_pbyFlag) {
        dov::TraceF(m_strTracePath, "※　フラグバッファが確保できていません。MakeTree()\n");
        return false;
    }
    if (!pStart || strFileName.empty() || pStart->m_iLayer < 0) {
        dov::TraceF(m_strTracePath, "※　引数が無効。MakeTree()\n");
        return false;
    }
    if (!FileOpen(strFileName)) return false;
    m_bUseOrgName = bUseOrgName;
    std::memset(m_pbyFlag.get(), 0, kFlagBytes);
    m_prefixLevel = -1;
    m_iLayerOffset = -pStart->m_iLayer;
    MakeTree(pStart, false);
    return FileClose();
}

void CMyMakeTree::MakeTree(CMyItem* pItem, bool bIsLast) {
    if (!MakeTreeLine(pItem)) return;
    MakeItemName(pItem);
    const int level = m_iLayerOffset + pItem->m_iLayer;
    if (level > 0 && bIsLast) SetFlag(level - 1, false);
    if (!pItem->m_bIsFolder) return;
    SetFlag(level, true);
    const int n = static_cast<int>(pItem->m_dwNumInFolder);
    for (int i = 0; i < n; ++i) {
        CMyItem* sub = pItem->GetSubItem(i);
        if (!sub) {
            dov::TraceF(m_strTracePath,
                        "※　サブアイテムが得られません。MakeTree()\n\t親フォルダ名= \"%s\"  "
                        "Index[%d]\n",
                        pItem->m_strNewName.c_str(), i);
            return;
        }
        MakeTree(sub, i == n - 1);
    }
}

// Starts the line of pItem: the bars and spaces of the levels above it, then its branch and
// mark (only the mark at level 0). false (nothing written): a level that cannot be drawn.
bool CMyMakeTree::MakeTreeLine(CMyItem* pItem) {
    const int level = m_iLayerOffset + pItem->m_iLayer;
    const int isFolder = pItem->m_bIsFolder ? 1 : 0;
    if (level <= 0) {
        if (level < 0) return false;
        const std::string& mark = isFolder ? m_folderMark : m_fileMark;
        std::memcpy(Room(mark.size()), mark.data(), mark.size());
        m_used += mark.size();
        return true;
    }
    if (level >= m_iFlagBits) {
        dov::TraceF(
            m_strTracePath,
            "※　レイヤー値がバッファサイズを超えています。MakeTreeLine()\n\tNewName= \"%s\"  "
            "OrgPath= \"%s\"\n",
            pItem->m_strNewName.c_str(), pItem->m_strOrgPath.c_str());
        return false;
    }
    if (level != m_prefixLevel || m_bWide != m_prefixWide) {
        m_prefix.clear();
        for (int c = 0; c <= level - 2; ++c) {
            if (FlagAt(c)) {
                m_prefix += m_bar;
                m_prefix += m_space;
                m_prefix += m_space;
                if (m_bWide) m_prefix += m_space;
            } else {
                m_prefix += m_space;
                m_prefix += m_space;
                m_prefix += m_space;
                if (m_bWide) {
                    m_prefix += m_space;
                    m_prefix += ' ';
                }
            }
        }
        m_prefixLevel = level;
        m_prefixWide = m_bWide;
    }
    const CMyItem* parent = pItem->m_pParent;
    const bool more =
        parent && pItem->m_iArrayIndex < static_cast<std::int64_t>(parent->m_dwNumInFolder) - 1;
    const std::string& head = m_head[more ? 1 : 0][isFolder];
    char* p = Room(m_prefix.size() + head.size());
    std::memcpy(p, m_prefix.data(), m_prefix.size());
    std::memcpy(p + m_prefix.size(), head.data(), head.size());
    m_used += m_prefix.size() + head.size();
    return true;
}

// Ends the line with the name, each '\n' in it written as CR LF, then CR LF.
void CMyMakeTree::MakeItemName(CMyItem* pItem) {
    const std::string& stored = m_bUseOrgName ? pItem->m_strOrgName : pItem->m_strNewName;
    std::string shown;
    if (m_fnShowName) shown = m_fnShowName(stored);
    const std::string_view name = m_fnShowName ? std::string_view(shown) : stored;
    char* p = Room(name.size() * 2 + 2);
    if (!std::memchr(name.data(), '\n', name.size())) {
        std::memcpy(p, name.data(), name.size());
        p += name.size();
    } else {
        for (const char c : name) {
            if (c == '\n') *p++ = '\r';
            *p++ = c;
        }
    }
    *p++ = '\r';
    *p++ = '\n';
    m_used = static_cast<std::size_t>(p - m_buf.get());
}

namespace dov {
namespace {

// A failure names the file; without a host it goes to the trace.
void ShowResult(IHost* host, bool ok, const std::string& path, const std::string& trace) {
    if (!ok) TraceF(trace, "※　%s を書き込めませんでした。\n", path.c_str());
    if (!host) return;
    host->Message(ok ? Sj("テキスト出力完了") : Sj("テキスト出力に失敗") + "\n" + path, MsgKind::Ok,
                  ok ? MsgIcon::Information : MsgIcon::Warning);
}

}  // namespace

bool WritePreRenameTree(CMyItem* pRoot, IHost* resultHost) {
    const std::string path = ProgramFile("PreRenameTree.txt");
    const std::string trace =
        pRoot && !pRoot->m_strTracePath.empty() ? pRoot->m_strTracePath : DefaultTracePath();
    if (path.empty()) {
        TraceF(trace, "※　リネーム前のツリーを書き込むファイル名を得られません.\n");
        return false;
    }
    CMyMakeTree tree(trace, resultHost);
    tree.m_bWide = true;
    bool ok = tree.MakeTree(pRoot, path, true);
    ShowResult(resultHost, ok, path, trace);
    return ok;
}

bool TextTreeOutput(CMyItem* pItem, IHost& host) {
    if (!pItem) return false;
    const std::string trace =
        !pItem->m_strTracePath.empty() ? pItem->m_strTracePath : DefaultTracePath();
    CMyMakeTree tree(trace, &host);
    tree.m_bWide = true;
    const std::string path = ProgramFile("TextTree.txt");
    bool ok = tree.MakeTree(pItem, path, false);
    ShowResult(&host, ok, path, trace);
    return ok;
}

}  // namespace dov
