#include "rename/make_tree.h"

#include <cstring>
#include <new>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"

CMyMakeTree::CMyMakeTree(std::string tracePath, dov::IHost* host)
    : m_strTracePath(tracePath.empty() ? dov::DefaultTracePath() : std::move(tracePath)),
      m_bar(dov::Sj("┃")),
      m_space(dov::Sj("　")),
      m_tee(dov::Sj("┣")),
      m_corner(dov::Sj("┗")),
      m_dash(dov::Sj("━━")),
      m_folderMark(dov::Sj("□")),
      m_fileMark(dov::Sj("■")) {
    m_pbyFlag.reset(new (std::nothrow) std::uint8_t[kFlagBytes]);
    if (m_pbyFlag) {
        std::memset(m_pbyFlag.get(), 0, kFlagBytes);
    } else if (host) {
        host->Message(dov::Sj("※　フラグメモリの確保に失敗。CMyMakeTree()\n"), dov::MsgKind::Ok,
                      dov::MsgIcon::Error);
    }
}

CMyMakeTree::~CMyMakeTree() = default;  // the writer closes the file if it is still open

void CMyMakeTree::SetFlag(int bit, bool on) {
    if (bit < 0 || bit >= m_iFlagBits) return;
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
    if (m_file.Open(strFileName) != 0) {
        dov::TraceF(m_strTracePath,
                    "※　ツリー書き込み用ファイルのオープンに失敗。FileOpen()\n\tFileName= \"%s\"\n",
                    strFileName.c_str());
        return false;
    }
    return true;
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
    m_iLayerOffset = -pStart->m_iLayer;
    MakeTree(pStart, false);
    return m_file.Close();
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

bool CMyMakeTree::MakeTreeLine(CMyItem* pItem) {
    const int level = m_iLayerOffset + pItem->m_iLayer;
    m_line.clear();
    if (level <= 0) return level == 0;
    if (level >= m_iFlagBits) {
        dov::TraceF(
            m_strTracePath,
            "※　レイヤー値がバッファサイズを超えています。MakeTreeLine()\n\tNewName= \"%s\"  "
            "OrgPath= \"%s\"\n",
            pItem->m_strNewName.c_str(), pItem->m_strOrgPath.c_str());
        return false;
    }
    const std::string& bar = m_bar;
    const std::string& space = m_space;
    for (int c = 0; c <= level - 2; ++c) {
        if (FlagAt(c)) {
            m_line += bar;
            m_line += space;
            m_line += space;
            if (m_bWide) m_line += space;
        } else {
            m_line += space;
            m_line += space;
            m_line += space;
            if (m_bWide) {
                m_line += space;
                m_line += ' ';
            }
        }
    }
    const CMyItem* parent = pItem->m_pParent;
    const bool more =
        parent && pItem->m_iArrayIndex < static_cast<std::int64_t>(parent->m_dwNumInFolder) - 1;
    m_line += more ? m_tee : m_corner;
    m_line += m_dash;
    return true;
}

void CMyMakeTree::MakeItemName(CMyItem* pItem) {
    m_line += pItem->m_bIsFolder ? m_folderMark : m_fileMark;
    const std::string& name = m_bUseOrgName ? pItem->m_strOrgName : pItem->m_strNewName;
    if (m_fnShowName) {
        m_line += m_fnShowName(name);
    } else {
        m_line += name;  // no copy of the name on the way
    }
    m_line += '\n';
    m_file.Write(m_line);
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
