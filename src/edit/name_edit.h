// The bulk edits of the new names: cut, paste, replace, select, reset.
//
// Every operation changes m_strNewName only (never the original name), then brings the write
// name up to date and tells the host: a folder's tree label changes, and the command loop
// redraws the list row of each selected item. Nothing is checked for forbidden characters
// here; the rename run does that later.
//
// A hit is a byte offset and length in the new name: the leftmost hit of CMyRegExp with
// wildcards on, else the first plain (case-sensitive) occurrence of the keyword. Both searches
// step over double-byte characters whole, so a hit never begins or ends inside one. An empty
// keyword never hits, with or without wildcards.
//
// Loops over all hits end on every input: every pass either shortens the name or moves its
// search start past the text it has just produced, and an empty hit ends a loop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "edit/keyword_settings.h"
#include "edit/regex_replace.h"
#include "edit/regexp.h"
#include "edit/textconv.h"
#include "info/info_cache.h"
#include "info/info_template.h"
#include "model/host.h"

class CMyItem;

namespace dov {

// The first hit of key in name at or after iStart (plain search, or the matcher when bWild):
// its offset and its length in *piLen, or -1.
int FindKeyHit(CMyRegExp& re, const std::string& name, const std::string& key, int iStart,
               bool bWild, int* piLen);

// The list's rows are the items of the folder it shows, in array order. These give the rows a
// command runs over: all of them, those at the given positions (in the order given; positions
// outside the folder are skipped), or those whose selection flag is set.
std::vector<CMyItem*> FolderRows(const CMyItem* pFolder);
std::vector<CMyItem*> SelectedRows(const CMyItem* pFolder, const std::vector<int>& positions);
std::vector<CMyItem*> SelectedRows(const CMyItem* pFolder, const std::vector<bool>& selected);

// Operation codes of the edit worker.
enum EditOpCode : int {
    EDIT_CUT_LEFT = 0,         // 2021 StrCutLeft (Key1)
    EDIT_CUT_RIGHT = 1,        // 2022 StrCutRight (Key1)
    EDIT_CUT_KEY = 2,          // 2023 StrCutKey (Key1)
    EDIT_CUT_BOUND1 = 3,       // 2024 CutItemStrKeyBound1 (Key1, Key2)
    EDIT_CUT_BOUND2 = 4,       // 2025 CutItemStrKeyBound2 (Key1, Key2)
    EDIT_PASTE_LEFT = 5,       // 2031 PasteItemStrLeft (Key1)
    EDIT_PASTE_RIGHT = 6,      // 2032 PasteItemStrRight (Key1)
    EDIT_PASTE_KEY_LEFT = 7,   // 2033 PasteItemStrKeyLeft (Key1 keyword, Key2 text)
    EDIT_PASTE_KEY_RIGHT = 8,  // 2034 PasteItemStrKeyRight (Key1 keyword, Key2 text)
    EDIT_RESET_NAME = 9,       // 2008 ResetItemName
    EDIT_SELECT_BY_KEY = 10,   // 2005 SelectItemsByKey (Key1) - see SelectItemsByKey
    EDIT_REPLACE = 11,         // 2006 ReplaceItemStrByRegExp (Key1 search, Key2 replacement)
    EDIT_SERIAL_DETAIL = 12,   // 2047 (serial numbering, SerialNumberByDetail)
};

// What a command loop did.
struct EditRunResult {
    int iRows = 0;     // selected rows handled
    int iChanged = 0;  // of those, rows whose own new name changed
    int iFailed = 0;   // rows whose operation reported a failure
    bool bStopped = false;
    int iNoInfo = 0;  // 情報を貼り付け: rows whose file lacked a field the template asks for
};

// Where 情報を貼り付け puts a template's expansion: before the new name, before its extension,
// or in place of everything before its extension.
enum class InfoPlace { Left, Right, Whole };

// What a template can take from an item: the file is read (through the cache) only for the
// kinds asked for, and only for a file item that exists on disk.
// The item's new name with an expansion put in its place (Whole with nothing to put leaves the
// name as it is rather than bare).
std::string NameWithInfo(const CMyItem* pItem, const std::string& text, InfoPlace where);

InfoSource InfoSourceOf(const CMyItem* pItem, InfoCache& cache, unsigned kinds,
                        const std::function<bool()>& stop = {});

// The per-item operations and the command loops over the selected rows. One object serves a
// whole run; it keeps references to the matcher, the host and the keyword settings (the
// all-hits and into-folders flags are read from them at each call).
//
// Per-item results: 1 the item's own new name changed, 0 it did not, -1 failure (no item, a
// position gone wrong, or STOP; a stopped operation does not descend further).
class CNameEdit {
  public:
    CNameEdit(CMyRegExp& re, IHost& host, const KeyWordSettings& keys, std::string tracePath = {});

    // ---- Per-item operations -------------------------------------------------------------
    // 2011: the extension (last dot, not first byte, 1 to 4 bytes after it) is cut. No descent.
    int CutItemExtension(CMyItem* pItem);
    // 2012: the original extension is appended again ("%s.%s"), when there is one. No descent.
    int RestoreItemExtension(CMyItem* pItem);
    int StrCutLeft(CMyItem* pItem, const std::string& key, bool bWild);
    int StrCutRight(CMyItem* pItem, const std::string& key, bool bWild);
    int StrCutKey(CMyItem* pItem, const std::string& key, bool bWild);
    int CutItemStrKeyBound1(CMyItem* pItem, const std::string& key1, const std::string& key2,
                            bool bWild);
    int CutItemStrKeyBound2(CMyItem* pItem, const std::string& key1, const std::string& key2,
                            bool bWild);
    int PasteItemStrLeft(CMyItem* pItem, const std::string& text);
    int PasteItemStrRight(CMyItem* pItem, const std::string& text);
    int PasteItemStrKeyLeft(CMyItem* pItem, const std::string& key, const std::string& text,
                            bool bWild);
    int PasteItemStrKeyRight(CMyItem* pItem, const std::string& key, const std::string& text,
                             bool bWild);
    int ReplaceItemStrByRegExp(CMyItem* pItem, const std::string& key,
                               const std::string& replacement, bool bWild);
    int ResetItemName(CMyItem* pItem);
    // Replacement by a compiled regular expression (every hit or the first, as compiled). A
    // name the expression cannot be run on (a limit reached) stays and counts as a failure.
    int RegexReplaceItem(CMyItem* pItem, const CRegexReplace& re);
    // Character-type conversion or normalisation of the new name.
    int ConvertItemCharType(CMyItem* pItem, CharConv kind);
    // 情報を貼り付け: the template expanded for the item; *pNoInfo is bumped for every item
    // (sub-items included) whose file lacked a field's first choice.
    int PasteItemInfo(CMyItem* pItem, const InfoTemplate& tmpl, InfoPlace where, InfoCache& cache,
                      int* pNoInfo);
    // Macro only, no descent: the run of keyword occurrences that begins the name goes.
    int CutItemStrFromLeft(CMyItem* pItem, const std::string& key, bool bWild);
    // Macro only, no descent: the run of keyword occurrences that ends the name goes (with
    // bExt, the run that ends the part before a 1-to-4-byte extension).
    int CutItemStrFromRight(CMyItem* pItem, const std::string& key, bool bWild, bool bExt);

    // ---- Commands ------------------------------------------------------------------------
    // The edit worker's loop for codes 0-9 and 11: each item of rows (the selected rows in list
    // order) gets the operation with the keyword settings, then its list row is redrawn; STOP
    // is polled before each row. Code 10 and 12 are not run here (see SelectItemsByKey and
    // the serial numbering).
    EditRunResult RunEditCommand(int iOpCode, const std::vector<CMyItem*>& rows);
    // The replace command in the regular-expression mode: the pattern is compiled once; a bad
    // pattern or replacement is shown by the host and nothing changes (*pErr, when given, gets
    // the message too, and the result counts no row). Otherwise as RunEditCommand.
    EditRunResult RegexReplaceCommand(const std::string& pattern, const std::string& replacement,
                                      bool bAll, bool bIgnoreCase,
                                      const std::vector<CMyItem*>& rows,
                                      std::string* pErr = nullptr);
    // A character-type conversion over the rows, as RunEditCommand.
    EditRunResult ConvertCommand(CharConv kind, const std::vector<CMyItem*>& rows);

    // 2011 and 2012 on the window's thread.
    EditRunResult CutExtensionCommand(const std::vector<CMyItem*>& rows);
    EditRunResult RestoreExtensionCommand(const std::vector<CMyItem*>& rows);
    // 情報を貼り付け over the selected rows, with progress and STOP between rows.
    EditRunResult RunInfoPaste(const InfoTemplate& tmpl, InfoPlace where, InfoCache& cache,
                               const std::vector<CMyItem*>& rows);

    // 2005: rows are all the list's rows, selected their selection flags (same size). With at
    // most one row selected every row is tested, else only the selected ones; a tested row
    // becomes selected when its new name has a hit of key, else deselected. Rows whose flag
    // changed are redrawn. Returns the number of rows selected afterwards.
    int SelectItemsByKey(const std::vector<CMyItem*>& rows, std::vector<bool>& selected,
                         const std::string& key, bool bWild);

    // Write name up to date, folder label refreshed (shared with the serial numbering and the
    // length limit).
    void RefreshItem(CMyItem* pItem);

  private:
    template <class Op>
    int WithDescent(CMyItem* pItem, Op op);
    // Runs `pass` on the item's new name (once, or until it finds nothing more when every hit
    // is wanted), polling STOP between passes; `pass` returns 1 after a change, 0 after a pass
    // that changed nothing, -1 when there is nothing more to do.
    template <class Pass>
    int RepeatOnName(CMyItem* it, Pass pass);
    int CutKeyBound(CMyItem* pItem, const std::string& key1, const std::string& key2, bool bWild,
                    bool bWithKeys);
    int Hit(const std::string& name, const std::string& key, int iStart, bool bWild, int* piLen);
    int PasteAtKeyHits(CMyItem* pItem, const std::string& key, const std::string& text, bool bWild,
                       bool bAtEnd);
    template <class Fn>
    int Guarded(const char* where, Fn fn);
    template <class PerItem>
    EditRunResult RunRows(const std::vector<CMyItem*>& rows, PerItem perItem);
    // Counts a row's result (1 changed, 0 unchanged, -1 failed) and shows it again; true when
    // the edit asked to stop (the result says so).
    bool CountRow(EditRunResult& r, CMyItem* pItem, int res);
    bool Stop();
    std::string PtrText(const void* p) const;

    CMyRegExp& m_re;
    IHost& m_host;
    const KeyWordSettings& m_keys;
    std::string m_strTracePath;
    bool m_bStopped = false;
};

}  // namespace dov
