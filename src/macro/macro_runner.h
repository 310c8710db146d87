// The macro runner: reads a macro file DovMac01.txt to DovMac12.txt from the program's own
// folder, parses each line and performs the function it calls on the list of a MacroTarget.
//
// Each line calls one of the functions of the table of operations (edit/operations.h), found
// by its name and the types of its arguments (signature: D for a number, S for a string). The
// functions set the keyword and serial settings exactly as their dialogs would and run the same
// edits as the list's context-menu commands, on the selected rows only. STOP and the close request
// are polled through the host between lines and between items. Nothing is shown to the user: parse
// errors, unknown functions and failed operations go to the trace log and the run goes on with the
// next line.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "macro/macro_parser.h"
#include "macro/macro_target.h"
#include "model/host.h"

namespace dov {

struct WorkerFlags;

// One entry of the function table: the name and the signature.
struct MacroFuncRecord {
    const char* szName;
    const char* szSignature;
};

// The table in function-number order, built from the table of operations: the macro
// functions of its rows, in row order.
const std::vector<MacroFuncRecord>& MacroFuncTable();

// Function numbers of the functions the program has always had (the table keeps them).
enum MacroFuncId : int {
    MACRO_SelectListAll = 0,
    MACRO_FindItemAll = 1,
    MACRO_CutListString = 2,
    MACRO_CutLeftListString = 3,
    MACRO_CutRightListString = 4,
    MACRO_CutBoundListStringA = 5,
    MACRO_CutBoundListStringB = 6,
    MACRO_PasteLeftListString = 7,
    MACRO_PasteRightListString = 8,
    MACRO_PasteLeftOnKeyListString = 9,
    MACRO_PasteRightOnKeyListString = 10,
    MACRO_ChangeExtListString = 11,
    MACRO_ReplaceListString = 12,
    MACRO_SetModeAutoSerial = 13,
    MACRO_SetModeEffectSubItem = 14,
    MACRO_SetSerialPos = 15,
    MACRO_SetSerialSepPos = 16,
    MACRO_SetSerialDigitType = 17,
    MACRO_SetSerialUpDown = 18,
    MACRO_SetSerialPreset = 19,
    MACRO_SetSerialDeltaSize = 20,
    MACRO_AddSerialListString = 21,
    MACRO_CutListStringFromLeft = 22,
    MACRO_CutListStringFromRight = 23,
    MACRO_ClearAllItem = 24,
};

// The functions added after them are numbered on in the order of the table's rows: look them
// up by name in MacroFuncTable(). Among them: PasteLeftListInfo, PasteRightListInfo and
// PasteWholeListInfo (S: a template, pasted before the name, before its extension, in place of
// the name before its extension); RegexReplaceListString (pattern, replacement, flags D:
// 1 every hit, 2 ignore case); the character-type conversions, in CharConv order; and
// SortListByDate and SortListNatural (D: 1 ascending, 0 descending).

// The file name of a macro number 1 to 12 ("DovMac%02u.txt"); empty for any other number.
std::string MacroFileName(int iFileNum);

// The file number for a function key press, or 0 when the key starts no macro: F1 to F12
// (iFKey 1 to 12) without Alt, Shift or Ctrl, with at least one item in the list, no list
// drag in progress and no worker running.
int MacroFileNumForKey(int iFKey, bool bAlt, bool bShift, bool bCtrl, int iListItemNum,
                       bool bDragging, bool bWorkerBusy);

// Set while a macro file is open (a second start is refused then).
bool IsMacroFileOpen();

// Whether macro iFileNum may start now: false, with the trace line
// "※　マクロファイル[%d]は既にオープンされてます。CheckAndExeFuncKey()", while a macro file is
// open.
bool MacroCanStart(int iFileNum, const std::string& tracePath = {});

// The value of a serial constant name ("POS_LEFT" ... "DELTA_MANUAL"), or of a value text
// ("0" ... "6"); 0 for anything else. A null or empty text is traced.
int ConvTextToSerialParam(const char* pText, const std::string& tracePath = {});

class CMacroRunner {
  public:
    // tracePath empty: DataTrace.txt in the program's own folder. requests: what ClearAllItem
    // asks for (without it that function fails like a failed reset).
    CMacroRunner(MacroTarget& target, IHost& host, std::string tracePath = {},
                 IMacroRequests* requests = nullptr);

    // Reads and runs DovMacNN.txt (iFileNum 1 to 12) from the program's own folder; a missing
    // file is created empty. 1 when the file was opened (whatever its lines did), else 0.
    int ExecuteMacro(int iFileNum);
    // The same for a file given by its CP932 path.
    int ExecuteMacroFile(const std::string& path);

    // The statement's function number, or -1 when no entry has its name and signature.
    int CheckMacroStr(CMacroStatement* pStatement);

    // Performs one function; 1 when the number is known (and the arguments fit its entry),
    // else 0.
    int ExeMacro(int iFuncID, const CMacroStatement* pStatement);

    // Sets the keyword settings: each given text into keyword 1, 2, 3; the flag into both the
    // wildcard and the all-hits flag. The second number has no effect.
    void SetParamToKeyDlg(std::uint32_t dwFlag, std::uint32_t dwSecond, const std::string* pText1,
                          const std::string* pText2 = nullptr, const std::string* pText3 = nullptr);

    // Lines run by the last ExecuteMacro (functions performed) and lines seen.
    int LinesRun() const { return m_iLinesRun; }
    int LinesRead() const { return m_iLinesRead; }
    // A failed ClearAllItem ended the run: the program should close (the owner sets its close
    // request).
    bool CloseAsked() const { return m_bQuitSet; }

  private:
    bool StopOrQuit();
    void RunLine(CMacroParser& parser, std::string_view line);
    // Fills the settings from a function's arguments.
    void ApplyArgs(MacroArgs args, const CMacroStatement& st);
    void ClearAllItem();
    void EndListOperation(bool bStopped);

    MacroTarget& m_target;
    IHost& m_host;
    std::string m_strTracePath;
    IMacroRequests* m_requests;
    int m_iLinesRun = 0;
    int m_iLinesRead = 0;
    bool m_bQuitSet = false;  // a failed ClearAllItem asked for the close
};

}  // namespace dov
