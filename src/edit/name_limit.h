// The name length limit (command 2026): new names are shortened so that the written names fit
// a byte limit. The extension stays; the cut is taken from the end of the part before it, and
// never splits a double-byte character.
#pragma once

#include <string>
#include <vector>

#include "model/host.h"

class CMyItem;

namespace dov {

// Section NameSizeLimit of dovreth.ini.
struct NameLimitSettings {
    int LimitSize = 31;  // the limit in bytes
    int LimitMode = 2;   // radio button chosen last: 0 manual, 1 DOS, 2 ISO Level2, 3 Joliet,
                         // 4 Romeo (only remembered)
};

// The value a preset radio button puts into the field: 12, 31, 64, 124; -1 for mode 0 (the
// field is left as it is) and unknown modes.
int LimitPresetValue(int iMode);
// What the field shows when the dialog opens: the limit, or 31 when it is negative.
int LimitDialogInitialValue(int iLimitSize);
// The dialog's check on OK: every character a decimal digit (empty gives 0; values beyond the
// int range are clamped). On refusal the host, when given, shows "数字を入力してください".
bool ParseLimitField(const std::string& text, int* pValue, IHost* pHost = nullptr);

// Whether the tree the item belongs to is in automatic index mode (its root's m_bNoAutoIndex
// is 0).
bool IsAutoIndexMode(const CMyItem* pItem);

// Shortens one item's new name so that its write name fits iLimit bytes. Returns 1 when the
// name changed, 0 when not, -1 for no item.
int LimitNameLength(CMyItem* pItem, int iLimit, IHost* pHost = nullptr);
// LimitNameLength on every item inside the folder, at all depths, in array order.
void LimitSubItemNameLength(CMyItem* pFolder, int iLimit, IHost* pHost = nullptr);

// Command 2026 over the selected rows. A limit of 7 or less in automatic index mode is refused
// with "自動インデックスモードでは使えないサイズです" (result -1, nothing changes); otherwise the
// number of selected rows whose own name changed.
int LimitNameLengthCommand(const std::vector<CMyItem*>& rows, int iLimit, bool bEffectSubItem,
                           IHost& host);

}  // namespace dov
