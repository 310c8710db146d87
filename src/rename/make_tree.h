// CMyMakeTree: draws a branch of the edit tree as text with box-drawing characters
// (PreRenameTree.txt, TextTree.txt), CP932 with CR LF.
//
//   □Root
//   ┣━━□photo
//   ┃　　　┣━━■a.jpg
//   ┃　　　┗━━■b.jpg
//   ┗━━□docs
//   　　　　 ┗━━■c.txt
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/fs.h"

class CMyItem;

namespace dov {
class IHost;
}

class CMyMakeTree {
  public:
    static constexpr int kFlagBytes = 501;
    explicit CMyMakeTree(std::string tracePath = {}, dov::IHost* host = nullptr);
    ~CMyMakeTree();
    CMyMakeTree(const CMyMakeTree&) = delete;
    CMyMakeTree& operator=(const CMyMakeTree&) = delete;

    // Writes the drawing of pStart and everything below it to strFileName (CP932 path).
    // bUseOrgName: names from m_strOrgName (set) or m_strNewName.
    bool MakeTree(CMyItem* pStart, const std::string& strFileName, bool bUseOrgName);

    std::unique_ptr<std::uint8_t[]> m_pbyFlag;
    int m_iFlagBits = kFlagBytes * 8;
    int m_iLayerOffset = 0;
    bool m_bUseOrgName = false;
    bool m_bWide = true;
    // When set, each name is drawn as this gives it (e.g. with its line breaks escaped).
    std::function<std::string(const std::string&)> m_fnShowName;

  private:
    bool FileOpen(const std::string& strFileName);
    bool FileClose();
    void Flush();
    void MakeTree(CMyItem* pItem, bool bIsLast);
    bool MakeTreeLine(CMyItem* pItem);
    void MakeItemName(CMyItem* pItem);
    bool FlagAt(int bit) const { return (m_pbyFlag[bit >> 3] >> (bit & 7)) & 1; }
    void SetFlag(int bit, bool on);
    // Room for n more bytes at m_used (flushing, or growing for a line longer than the buffer).
    char* Room(std::size_t n);

    std::string m_strTracePath;
    // The file and the lines waiting for it, CR LF already in place.
    std::unique_ptr<dov::IFile> m_file;
    std::unique_ptr<char[]> m_buf;
    std::size_t m_size = 0, m_used = 0;
    bool m_failed = false;
    // The bars and spaces in front of the lines of one level, kept while the flags they come
    // from stay (-1: none kept).
    std::string m_prefix;
    int m_prefixLevel = -1;
    bool m_prefixWide = true;
    // The head of a line in CP932 (after the prefix): [another follows][is a folder]; and the
    // marks of a line without a prefix.
    std::string m_head[2][2];
    std::string m_bar, m_space, m_folderMark, m_fileMark;
};

namespace dov {

// The tree as it is before a direct rename, with the names on disk, to PreRenameTree.txt in the
// program's folder. resultHost: where "テキスト出力完了" / "テキスト出力に失敗" is shown
// (nullptr during a rename run, which shows nothing).
bool WritePreRenameTree(CMyItem* pRoot, IHost* resultHost = nullptr);

// The text tree command: the branch of pItem with the new names to TextTree.txt in the program's
// folder, then the result message. Nothing happens without an item.
bool TextTreeOutput(CMyItem* pItem, IHost& host);

}  // namespace dov
