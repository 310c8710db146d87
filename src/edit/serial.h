// Serial numbering of the new names of the selected rows, in list order.
//
// Like every edit this changes new names only (then refreshes the write name, the folder label
// and the list row) and never descends into folders.
#pragma once

#include <string>
#include <vector>

#include "edit/regexp.h"
#include "edit/serial_settings.h"
#include "model/host.h"

class CMyItem;

namespace dov {

// Widest number text the detailed numbering makes (no usable name is longer).
inline constexpr int kMaxSerialWidth = 255;

// Decimal text of v ("%d"). w == 0: unchanged; w shorter than the text: its last w characters
// (a minus sign may go); otherwise zeros in front up to w (also in front of a minus sign);
// w < 0: empty. Widths above kMaxSerialWidth count as kMaxSerialWidth.
void MakeDesignatedSizeNum(long long v, int w, std::string* pOut);

// The number text with the separators the settings ask for.
void ApplyNumberSeparators(const SerialSettings& s, std::string* pOut, const std::string& num);

// Offset of the last dot when it is not at offset 0 and 1 to 4 bytes follow it, else -1.
int GetPreExtPos(const std::string& name);

// The text for commands 2045 and 2046: "%03d", then only the last three characters after any
// minus sign (1234 -> 234, -5 -> -05, -1234 -> -234).
std::string MakeSimpleSerialText(long long v);

class CSerialNumber {
  public:
    CSerialNumber(CMyRegExp& re, IHost& host, std::string tracePath = {});

    // Inserts text into *pName at the position of s.InsertPosType; whether it inserted (only
    // then does the counter move).
    bool MakeSerialNumberByManual(const SerialSettings& s, std::string* pName,
                                  const std::string& text);
    // The keyword-span positions POS_KEYBOUND and POS_KEYBOUND2.
    bool ReplaceAtSerialMode(const SerialSettings& s, std::string* pName, const std::string& text);
    // Keyword 1's first hit, then keyword 2's first hit at or after its end (both non-empty):
    // POS_KEYBOUND replaces what lies between them, POS_KEYBOUND2 replaces both with it.
    bool ReplaceBoundByRegExp(std::string* pName, const std::string& key1, const std::string& key2,
                              const std::string& text, bool bWild, int iPosType);
    // The first (non-empty) hit of key is replaced by text.
    bool ReplaceByRegExp(std::string* pName, const std::string& key, const std::string& text,
                         bool bWild);

    // Commands 2041 (0 up), 2042 (n-1 down), 2043 (1 up), 2044 (n down): "%03d" before the
    // extension (GetExtPos, a dot at offset 0 included), else at the end. Returns rows changed.
    int SerialNumberQuick(int iCommand, const std::vector<CMyItem*>& rows);
    // Commands 2045 (bUp) and 2046 from iStart (the settings' PresetData after the dialog).
    int SerialNumberSimple(int iStart, bool bUp, const std::vector<CMyItem*>& rows);
    // Command 2047 with the settings; STOP is polled before each row. Returns rows numbered.
    int SerialNumberByDetail(const SerialSettings& s, const std::vector<CMyItem*>& rows);

    bool Stopped() const { return m_bStopped; }

  private:
    int Hit(const std::string& name, const std::string& key, int iStart, bool bWild, int* piLen);
    void Refresh(CMyItem* pItem);
    bool InsertSerialText(const SerialSettings& s, std::string* pName, const std::string& text);
    int NumberBeforeExt(const std::vector<CMyItem*>& rows, long long v, int step, bool simple);

    CMyRegExp& m_re;
    IHost& m_host;
    std::string m_strTracePath;
    bool m_bStopped = false;
};

// The automatic index prefix switch: when the root's m_bNoAutoIndex does not agree with the
// option, the whole tree's write names are rebuilt (SetWriteMode). Returns 1 when it rebuilt
// them, 0 when they already agreed, -1 without a root (the host shows
// "自動連番スレッド:引数が無効なので終了").
int SwitchAutoIndexMode(CMyItem* pRoot, bool bAutoIndex, IHost& host);

}  // namespace dov
