#include "macro/macro_runner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "edit/name_edit.h"
#include "edit/serial.h"
#include "edit/serial_settings.h"
#include "model/item.h"

namespace dov {

namespace {

std::atomic<bool> g_macroFileOpen{false};

MacroFuncRecord Rec(const char* name, const char* sig) {
    MacroFuncRecord r{};
    std::strncpy(r.szName, name, sizeof r.szName - 1);
    std::strncpy(r.szSignature, sig, sizeof r.szSignature - 1);
    return r;
}

// STOP and the close request seen as one stop request by the edit loops, which poll only
// StopRequested(); everything else goes to the real host.
class StopOrQuitHost : public ForwardingHost {
  public:
    StopOrQuitHost(IHost& inner, const bool& quitSet) : ForwardingHost(inner), m_quitSet(quitSet) {}
    bool StopRequested() override {
        return m_quitSet || Inner().StopRequested() || Inner().QuitRequested();
    }
    bool QuitRequested() override { return m_quitSet || Inner().QuitRequested(); }

  private:
    const bool& m_quitSet;
};

// Sets an atomic flag for the lifetime of a scope.
class FlagScope {
  public:
    explicit FlagScope(std::atomic<bool>& f) : m_f(f) { m_f = true; }
    ~FlagScope() { m_f = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    std::atomic<bool>& m_f;
};

std::string TraceOrDefault(std::string path) {
    return path.empty() ? DefaultTracePath() : std::move(path);
}

}  // namespace

const std::array<MacroFuncRecord, kMacroFuncNum>& MacroFuncTable() {
    static const std::array<MacroFuncRecord, kMacroFuncNum> kTable = {
        Rec("SelectListAll", ""),
        Rec("FindItemAll", "DS"),
        Rec("CutListString", "DDS"),
        Rec("CutLeftListString", "DS"),
        Rec("CutRightListString", "DS"),
        Rec("CutBoundListStringA", "DDSS"),
        Rec("CutBoundListStringB", "DDSS"),
        Rec("PasteLeftListString", "S"),
        Rec("PasteRightListString", "S"),
        Rec("PasteLeftOnKeyListString", "DDSS"),
        Rec("PasteRightOnKeyListString", "DDSS"),
        Rec("ChangeExtListString", "S"),
        Rec("ReplaceListString", "DDSS"),
        Rec("SetModeAutoSerial", "D"),
        Rec("SetModeEffectSubItem", "D"),
        Rec("SetSerialPos", "DSSS"),
        Rec("SetSerialSepPos", "SSS"),
        Rec("SetSerialDigitType", "SD"),
        Rec("SetSerialUpDown", "S"),
        Rec("SetSerialPreset", "SD"),
        Rec("SetSerialDeltaSize", "SD"),
        Rec("AddSerialListString", ""),
        Rec("CutListStringFromLeft", "DS"),
        Rec("CutListStringFromRight", "DDS"),
        Rec("ClearAllItem", ""),
    };
    return kTable;
}

const std::array<MacroFuncRecord, kMacroExtFuncNum>& MacroExtFuncTable() {
    static const std::array<MacroFuncRecord, kMacroExtFuncNum> kTable = {
        Rec("RegexReplaceListString", "SSD"),
        Rec("ToUpperListString", ""),
        Rec("ToLowerListString", ""),
        Rec("ToCapitalListString", ""),
        Rec("ToHalfWidthListString", ""),
        Rec("ToFullWidthListString", ""),
        Rec("KanaToFullWidthListString", ""),
        Rec("KanaToHalfWidthListString", ""),
        Rec("HiraganaToKatakanaListString", ""),
        Rec("KatakanaToHiraganaListString", ""),
        Rec("NormalizeNfcListString", ""),
        Rec("NormalizeNfdListString", ""),
        Rec("SortListByDate", "D"),
        Rec("SortListNatural", "D"),
    };
    return kTable;
}

std::string MacroFileName(int iFileNum) {
    if (iFileNum < 1 || iFileNum > 12) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "DovMac%02u.txt", static_cast<unsigned>(iFileNum));
    return buf;
}

int MacroFileNumForKey(int iFKey, bool bAlt, bool bShift, bool bCtrl, int iListItemNum,
                       bool bDragging, bool bWorkerBusy) {
    if (iListItemNum < 1 || bDragging || bWorkerBusy) return 0;
    if (iFKey < 1 || iFKey > 12) return 0;
    if (bAlt || bShift || bCtrl) return 0;
    return iFKey;
}

bool IsMacroFileOpen() {
    return g_macroFileOpen.load();
}

bool MacroCanStart(int iFileNum, const std::string& tracePath) {
    if (!g_macroFileOpen.load()) return true;
    TraceF(TraceOrDefault(tracePath),
           "※　マクロファイル[%d]は既にオープンされてます。CheckAndExeFuncKey()\n", iFileNum);
    return false;
}

int ConvTextToSerialParam(const char* pText, const std::string& tracePath) {
    if (!pText) {
        TraceF(TraceOrDefault(tracePath), "※　引数が無効。ConvTextToSerialParam()\n");
        return 0;
    }
    if (*pText == '\0') {
        TraceF(TraceOrDefault(tracePath), "※　引数の文字列長が０以下  ConvTextToSerialParam()\n");
        return 0;
    }
    // Names and value texts alike, in table order; the first equal text gives its pair's value.
    for (const SerialNameRecord& r : SerialNameTable()) {
        if (std::strcmp(pText, r.szName) == 0 || std::strcmp(pText, r.szValue) == 0)
            return std::atoi(r.szValue);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------

CMacroRunner::CMacroRunner(MacroTarget& target, IHost& host, std::string tracePath)
    : m_target(target), m_host(host), m_strTracePath(TraceOrDefault(std::move(tracePath))) {}

bool CMacroRunner::StopOrQuit() {
    return m_bQuitSet || m_host.StopRequested() || m_host.QuitRequested();
}

int CMacroRunner::ExecuteMacro(int iFileNum) {
    std::string name = MacroFileName(iFileNum);
    if (name.empty()) return 0;
    return ExecuteMacroFile(ProgramFile(name));
}

int CMacroRunner::ExecuteMacroFile(const std::string& path) {
    m_iLinesRun = 0;
    m_iLinesRead = 0;
    m_bQuitSet = false;

    std::unique_ptr<IFile> file;
    int err = Fs().OpenRead(path, file);
    if (err == ENOENT) {
        // A missing macro file is created empty, so the user finds it to fill in.
        std::unique_ptr<IFile> created;
        err = Fs().CreateNew(path, created);
        if (err == 0) err = created->Close();
        if (err == 0 || err == EEXIST) err = Fs().OpenRead(path, file);
    }
    if (err != 0 || !file) {
        TraceF(m_strTracePath, "※　マクロファイル[%s]をオープンできませんでした。\n", path.c_str());
        return 0;
    }

    FlagScope open(g_macroFileOpen);
    CMacroParser parser(m_strTracePath);
    std::string pending;
    std::size_t start = 0;  // first byte of pending not yet consumed
    bool eof = false;
    bool stopped = false;
    char buf[64 * 1024];
    try {
        while (!stopped) {
            // Every complete line in the buffer.
            std::size_t nl;
            while (!stopped && (nl = pending.find('\n', start)) != std::string::npos) {
                std::size_t end = nl;
                if (end > start && pending[end - 1] == '\r') --end;
                RunLine(parser, std::string_view(pending).substr(start, end - start));
                start = nl + 1;
                stopped = StopOrQuit();
            }
            if (stopped) break;
            if (eof) {
                // The last line may lack its line end.
                if (start < pending.size()) {
                    std::size_t end = pending.size();
                    if (pending[end - 1] == '\r') --end;
                    RunLine(parser, std::string_view(pending).substr(start, end - start));
                }
                break;
            }
            pending.erase(0, start);
            start = 0;
            long long n = file->Read(buf, sizeof buf);
            if (n < 0) {
                TraceF(m_strTracePath,
                       "※　マクロファイル読み込みで例外が発生 ExecuteMacro()\n\tFileName[%s]\n",
                       path.c_str());
                break;
            }
            if (n == 0)
                eof = true;
            else
                pending.append(buf, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        TraceF(m_strTracePath,
               "※　マクロファイル読み込みで例外が発生 ExecuteMacro()\n\tFileName[%s]\n",
               path.c_str());
    }
    file->Close();
    return 1;
}

void CMacroRunner::RunLine(CMacroParser& parser, std::string_view line) {
    ++m_iLinesRead;
    if (line.empty()) return;
    if (!parser.CheckAndSetString(line)) return;
    parser.TraceParseResult();
    CMacroStatement* st = parser.GetStatement();
    int id = CheckMacroStr(st);
    if (id == -1) return;
    if (ExeMacro(id, st)) ++m_iLinesRun;
}

int CMacroRunner::CheckMacroStr(CMacroStatement* pStatement) {
    if (!pStatement) {
        TraceF(m_strTracePath, "※　引数が無効。CheckMacroStr()\n");
        return -1;
    }
    std::string key = pStatement->m_strFuncName + "_" + pStatement->BuildSignature();
    TraceF(m_strTracePath, "・マクロチェック[%s]\n", key.c_str());
    const auto& table = MacroFuncTable();
    for (int i = 0; i < kMacroFuncNum; ++i) {
        std::string entry = std::string(table[i].szName) + "_" + table[i].szSignature;
        if (entry == key) return i;
    }
    const auto& ext = MacroExtFuncTable();
    for (int i = 0; i < kMacroExtFuncNum; ++i) {
        std::string entry = std::string(ext[i].szName) + "_" + ext[i].szSignature;
        if (entry == key) return kMacroExtFuncFirst + i;
    }
    return -1;
}

void CMacroRunner::SetParamToKeyDlg(std::uint32_t dwFlag, std::uint32_t /*dwSecond*/,
                                    const std::string* pText1, const std::string* pText2,
                                    const std::string* pText3) {
    KeyWordSettings& k = m_target.keyWord;
    if (pText1) {
        k.Key1 = *pText1;
        TraceF(m_strTracePath,
               "○キーワードダイアログに文字列１をセット。SetParamToKeyDlg()\n\t[%s]\n",
               pText1->c_str());
    }
    if (pText2) {
        k.Key2 = *pText2;
        TraceF(m_strTracePath,
               "○キーワードダイアログに文字列２をセット。SetParamToKeyDlg()\n\t[%s]\n",
               pText2->c_str());
    }
    if (pText3) {
        k.Key3 = *pText3;
        TraceF(m_strTracePath,
               "○キーワードダイアログに文字列３をセット。SetParamToKeyDlg()\n\t[%s]\n",
               pText3->c_str());
    }
    // The macro functions search plainly or with wildcards, whatever mode the dialog was
    // left in.
    k.UseRegExp = 0;
    if (dwFlag != 0) {
        k.UseWildCard = 1;
        k.EnableAllTarget = 1;
        TraceF(m_strTracePath,
               "○キーワードダイアログでワイルドカード指定を有効化。SetParamToKeyDlg()\n");
        TraceF(m_strTracePath,
               "○キーワードダイアログで全てのヒットキー指定を有効化。SetParamToKeyDlg()\n");
    } else {
        k.UseWildCard = 0;
        k.EnableAllTarget = 0;
        TraceF(m_strTracePath,
               "○キーワードダイアログでワイルドカード指定を無効化。SetParamToKeyDlg()\n");
        TraceF(m_strTracePath,
               "○キーワードダイアログで全てのヒットキー指定を無効化。SetParamToKeyDlg()\n");
    }
}

int CMacroRunner::ExeMacro(int iFuncID, const CMacroStatement* pStatement) {
    if (!pStatement) {
        TraceF(m_strTracePath, "※　引数が無効。iFuncID[%d]  ExeMacro()\n", iFuncID);
        return 0;
    }
    const bool ext = iFuncID >= kMacroExtFuncFirst && iFuncID < MACRO_ExtEnd;
    if ((iFuncID < 0 || iFuncID >= kMacroFuncNum) && !ext) {
        TraceF(m_strTracePath, "※　実装されていないマクロ関数です。ExeMacro()\n\tiFuncID[%d]\n",
               iFuncID);
        CMacroStatement copy;
        copy.Copy(*pStatement);
        copy.TraceMacroData(m_strTracePath);
        return 0;
    }
    // The arguments are read by position below, so they must be those of the entry; a caller
    // that skipped CheckMacroStr gets a refusal instead of a read past the arrays.
    const char* sig =
        ext ? MacroExtFuncTable()[static_cast<std::size_t>(iFuncID - kMacroExtFuncFirst)]
                  .szSignature
            : MacroFuncTable()[static_cast<std::size_t>(iFuncID)].szSignature;
    const CMacroStatement& st = *pStatement;
    std::size_t n = std::strlen(sig);
    bool fits = st.m_nArgNum == static_cast<int>(n) && st.m_astrArg.size() == n &&
                st.m_abyArgType.size() == n && st.m_adwArgNum.size() == n;
    for (std::size_t i = 0; fits && i < n; ++i)
        fits = CMacroStatement::GetSignatureLetter(st.m_abyArgType[i]) == sig[i];
    if (!fits) {
        TraceF(m_strTracePath, "※　引数が無効。iFuncID[%d]  ExeMacro()\n", iFuncID);
        return 0;
    }

    // D1, D2 ... and S1, S2 ... by their position in the argument list (1-based).
    auto D = [&](int pos) { return st.m_adwArgNum[static_cast<std::size_t>(pos - 1)]; };
    auto S = [&](int pos) -> const std::string& {
        return st.m_astrArg[static_cast<std::size_t>(pos - 1)];
    };
    auto Serial = [&](int pos) { return ConvTextToSerialParam(S(pos).c_str(), m_strTracePath); };
    SerialSettings& ser = m_target.serial;
    if (ext) {
        ExeExtMacro(iFuncID, st);
        return 1;
    }

    switch (iFuncID) {
        case MACRO_SelectListAll:
            SelectListAll();
            break;
        case MACRO_FindItemAll:
            SetParamToKeyDlg(D(1), 0, &S(2));
            FindItemAll();
            break;
        case MACRO_CutListString:
            SetParamToKeyDlg(D(1), D(2), &S(3));
            RunEditOp(EDIT_CUT_KEY);
            break;
        case MACRO_CutLeftListString:
            SetParamToKeyDlg(D(1), 0, &S(2));
            RunEditOp(EDIT_CUT_LEFT);
            break;
        case MACRO_CutRightListString:
            SetParamToKeyDlg(D(1), 0, &S(2));
            RunEditOp(EDIT_CUT_RIGHT);
            break;
        case MACRO_CutBoundListStringA:
            SetParamToKeyDlg(D(1), D(2), &S(3), &S(4));
            RunEditOp(EDIT_CUT_BOUND1);
            break;
        case MACRO_CutBoundListStringB:
            SetParamToKeyDlg(D(1), D(2), &S(3), &S(4));
            RunEditOp(EDIT_CUT_BOUND2);
            break;
        case MACRO_PasteLeftListString:
            SetParamToKeyDlg(0, 0, &S(1));
            RunEditOp(EDIT_PASTE_LEFT);
            break;
        case MACRO_PasteRightListString:
            SetParamToKeyDlg(0, 0, &S(1));
            RunEditOp(EDIT_PASTE_RIGHT);
            break;
        case MACRO_PasteLeftOnKeyListString:
            SetParamToKeyDlg(D(1), D(2), &S(3), &S(4));
            RunEditOp(EDIT_PASTE_KEY_LEFT);
            break;
        case MACRO_PasteRightOnKeyListString:
            SetParamToKeyDlg(D(1), D(2), &S(3), &S(4));
            RunEditOp(EDIT_PASTE_KEY_RIGHT);
            break;
        case MACRO_ChangeExtListString:
        case MACRO_SetModeAutoSerial:
        case MACRO_SetModeEffectSubItem:
            break;  // accepted; no effect
        case MACRO_ReplaceListString:
            SetParamToKeyDlg(D(1), D(2), &S(3), &S(4));
            RunEditOp(EDIT_REPLACE);
            break;
        case MACRO_SetSerialPos:
            ser.UseWildCard = static_cast<int>(D(1));
            ser.InsertPosType = Serial(2);
            ser.InsertPosKey1 = S(3);
            ser.InsertPosKey2 = S(4);
            break;
        case MACRO_SetSerialSepPos:
            ser.SeparateType = Serial(1);
            ser.SeparateStrL = S(2);
            ser.SeparateStrR = S(3);
            break;
        case MACRO_SetSerialDigitType:
            ser.DigitType = Serial(1);
            ser.DigitSize = static_cast<int>(D(2));
            break;
        case MACRO_SetSerialUpDown:
            ser.UpDownType = Serial(1);
            break;
        case MACRO_SetSerialPreset:
            ser.PresetType = Serial(1);
            ser.PresetData = static_cast<int>(D(2));
            break;
        case MACRO_SetSerialDeltaSize:
            ser.DeltaType = Serial(1);
            ser.DeltaSize = static_cast<int>(D(2));
            break;
        case MACRO_AddSerialListString:
            AddSerialListString();
            break;
        case MACRO_CutListStringFromLeft:
            SetParamToKeyDlg(D(1), 0, &S(2));
            CutFromLeftOrRight(false, false);
            break;
        case MACRO_CutListStringFromRight:
            SetParamToKeyDlg(D(1), D(2), &S(3));
            CutFromLeftOrRight(true, D(2) != 0);
            break;
        case MACRO_ClearAllItem:
            ClearAllItem();
            break;
        default:
            break;
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// List operations

void CMacroRunner::EndListOperation(bool bStopped) {
    if (bStopped) return;
    CMyItem* current = m_target.RowItem(m_target.iCurrentRow);
    if (current) m_host.ItemFieldsChanged(current);
}

void CMacroRunner::SelectListAll() {
    int n = m_target.RowCount();
    if (m_target.selected.size() < static_cast<std::size_t>(n))
        m_target.selected.resize(static_cast<std::size_t>(n), 0);
    for (int row = 0; row < n; ++row) {
        if (!m_target.IsSelected(row)) {
            m_target.SetSelected(row, true);
            m_host.ListRowChanged(row);
        }
    }
    // The first selected row becomes the current item.
    if (n > 0) {
        m_target.iCurrentRow = 0;
        m_host.ItemFieldsChanged(m_target.RowItem(0));
    }
}

void CMacroRunner::FindItemAll() {
    int n = m_target.RowCount();
    std::vector<CMyItem*> rows;
    std::vector<bool> sel(static_cast<std::size_t>(n), false);
    rows.reserve(static_cast<std::size_t>(n));
    for (int row = 0; row < n; ++row) {
        rows.push_back(m_target.RowItem(row));
        sel[static_cast<std::size_t>(row)] = m_target.IsSelected(row);
    }
    StopOrQuitHost host(m_host, m_bQuitSet);
    CNameEdit edit(m_target.matcher, host, m_target.keyWord, m_strTracePath);
    edit.SelectItemsByKey(rows, sel, m_target.keyWord.Key1, m_target.keyWord.UseWildCard != 0);
    m_target.selected.assign(static_cast<std::size_t>(n), 0);
    for (int row = 0; row < n; ++row) m_target.selected[static_cast<std::size_t>(row)] = sel[row];
    EndListOperation(false);
}

void CMacroRunner::RunEditOp(int iOpCode) {
    StopOrQuitHost host(m_host, m_bQuitSet);
    CNameEdit edit(m_target.matcher, host, m_target.keyWord, m_strTracePath);
    EditRunResult r = edit.RunEditCommand(iOpCode, m_target.SelectedItems());
    EndListOperation(r.bStopped);
}

void CMacroRunner::CutFromLeftOrRight(bool bRight, bool bExt) {
    StopOrQuitHost host(m_host, m_bQuitSet);
    CNameEdit edit(m_target.matcher, host, m_target.keyWord, m_strTracePath);
    const std::string& key = m_target.keyWord.Key1;
    bool wild = m_target.keyWord.UseWildCard != 0;
    bool stopped = false;
    for (int row : m_target.SelectedRows()) {
        if (host.StopRequested()) {
            stopped = true;
            break;
        }
        CMyItem* item = m_target.RowItem(row);
        if (bRight)
            edit.CutItemStrFromRight(item, key, wild, bExt);
        else
            edit.CutItemStrFromLeft(item, key, wild);
        edit.RefreshItem(item);
        m_host.ListRowChanged(row);
    }
    EndListOperation(stopped);
}

void CMacroRunner::ExeExtMacro(int iFuncID, const CMacroStatement& st) {
    StopOrQuitHost host(m_host, m_bQuitSet);
    CNameEdit edit(m_target.matcher, host, m_target.keyWord, m_strTracePath);
    switch (iFuncID) {
        case MACRO_RegexReplaceListString: {
            const std::uint32_t flags = st.m_adwArgNum[2];
            std::string err;
            const EditRunResult r =
                edit.RegexReplaceCommand(st.m_astrArg[0], st.m_astrArg[1], (flags & 1) != 0,
                                         (flags & 2) != 0, m_target.SelectedItems(), &err);
            if (!err.empty())
                TraceF(m_strTracePath, "※　正規表現が無効です。RegexReplaceListString()\n\t%s\n",
                       err.c_str());
            EndListOperation(r.bStopped);
            break;
        }
        case MACRO_SortListByDate:
        case MACRO_SortListNatural:
            if (m_target.sortFolder)
                m_target.sortFolder(m_target, iFuncID == MACRO_SortListByDate ? 0 : 1,
                                    st.m_adwArgNum[0] != 0);
            break;
        default: {
            const auto kind = static_cast<CharConv>(iFuncID - MACRO_ToUpperListString);
            EndListOperation(edit.ConvertCommand(kind, m_target.SelectedItems()).bStopped);
            break;
        }
    }
}

void CMacroRunner::AddSerialListString() {
    StopOrQuitHost host(m_host, m_bQuitSet);
    CSerialNumber serial(m_target.matcher, host, m_strTracePath);
    serial.SerialNumberByDetail(m_target.serial, m_target.SelectedItems());
    EndListOperation(serial.Stopped());
}

void CMacroRunner::ClearAllItem() {
    int ok = 0;
    if (m_target.resetTree) {
        try {
            ok = m_target.resetTree(m_target);
        } catch (...) {
            ok = 0;
        }
    }
    if (!ok) {
        // The reset has told the user why; the run ends and the program closes afterwards.
        m_bQuitSet = true;
        if (m_target.pFlags) m_target.pFlags->quitReq = true;
    }
}

}  // namespace dov
