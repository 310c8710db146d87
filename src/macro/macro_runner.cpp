#include "macro/macro_runner.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "edit/operations.h"
#include "edit/serial.h"
#include "edit/serial_settings.h"
#include "model/item.h"

namespace dov {

namespace {

std::atomic<bool> g_macroFileOpen{false};

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

const std::vector<MacroFuncRecord>& MacroFuncTable() {
    static const std::vector<MacroFuncRecord> kTable = [] {
        std::vector<MacroFuncRecord> t;
        for (const MacroFunction& f : MacroFunctions())
            t.push_back({f.spelling->name, f.spelling->signature});
        return t;
    }();
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

CMacroRunner::CMacroRunner(MacroTarget& target, IHost& host, std::string tracePath,
                           IMacroRequests* requests)
    : m_target(target),
      m_host(host),
      m_strTracePath(TraceOrDefault(std::move(tracePath))),
      m_requests(requests) {}

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
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::string entry = std::string(table[i].szName) + "_" + table[i].szSignature;
        if (entry == key) return static_cast<int>(i);
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
    const std::span<const MacroFunction> functions = MacroFunctions();
    if (iFuncID < 0 || iFuncID >= static_cast<int>(functions.size())) {
        TraceF(m_strTracePath, "※　実装されていないマクロ関数です。ExeMacro()\n\tiFuncID[%d]\n",
               iFuncID);
        CMacroStatement copy;
        copy.Copy(*pStatement);
        copy.TraceMacroData(m_strTracePath);
        return 0;
    }
    // The arguments are read by position below, so they must be those of the entry; a caller
    // that skipped CheckMacroStr gets a refusal instead of a read past the arrays.
    const MacroFunction& func = functions[static_cast<std::size_t>(iFuncID)];
    const char* sig = func.spelling->signature;
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

    ApplyArgs(func.spelling->args, st);
    const OpRun run = func.spelling->run ? func.spelling->run : func.op->run;
    if (!run) return 1;  // settings only
    StopOrQuitHost host(m_host, m_bQuitSet);
    OpContext context{m_target, host, m_strTracePath};
    if (func.spelling->args == MacroArgs::FlagKey1Arg2) context.macroArg2 = st.m_adwArgNum[1];
    if (func.spelling->args == MacroArgs::RegexSSD) context.macroFlags = st.m_adwArgNum[2];
    if (func.spelling->args == MacroArgs::SortOrder) context.macroFlags = st.m_adwArgNum[0];
    const OpResult r = run(context);
    switch (r.request) {
        case OpRequest::None:
            EndListOperation(r.stopped);
            break;
        case OpRequest::ResetTree:
            ClearAllItem();
            break;
        case OpRequest::WriteTextTree:
        case OpRequest::ShowFolder:
            break;  // not a macro's to ask for
        case OpRequest::SortModified:
        case OpRequest::SortNatural:
            if (m_requests)
                m_requests->SortFolder(m_target, r.request == OpRequest::SortModified ? 0 : 1,
                                       context.macroFlags != 0);
            break;
    }
    return 1;
}

void CMacroRunner::ApplyArgs(MacroArgs args, const CMacroStatement& st) {
    // D1, D2 ... and S1, S2 ... by their position in the argument list (1-based).
    auto D = [&](int pos) { return st.m_adwArgNum[static_cast<std::size_t>(pos - 1)]; };
    auto S = [&](int pos) -> const std::string& {
        return st.m_astrArg[static_cast<std::size_t>(pos - 1)];
    };
    auto Serial = [&](int pos) { return ConvTextToSerialParam(S(pos).c_str(), m_strTracePath); };
    SerialSettings& ser = m_target.serial;

    switch (args) {
        case MacroArgs::None:
            break;
        case MacroArgs::Key1:
            SetParamToKeyDlg(0, 0, &S(1));
            break;
        case MacroArgs::FlagKey1:
            SetParamToKeyDlg(D(1), 0, &S(2));
            break;
        case MacroArgs::FlagKey1Arg2:
            SetParamToKeyDlg(D(1), D(2), &S(3));
            break;
        case MacroArgs::FlagKey12:
            SetParamToKeyDlg(D(1), D(2), &S(3), &S(4));
            break;
        case MacroArgs::RegexSSD:
            m_target.keyWord.Key1 = S(1);
            m_target.keyWord.Key2 = S(2);
            break;
        case MacroArgs::SortOrder:
            break;  // the order goes to the sort itself
        case MacroArgs::Template:
            m_target.infoTemplate = S(1);
            break;
        case MacroArgs::SerialPos:
            ser.UseWildCard = static_cast<int>(D(1));
            ser.InsertPosType = Serial(2);
            ser.InsertPosKey1 = S(3);
            ser.InsertPosKey2 = S(4);
            break;
        case MacroArgs::SerialSepPos:
            ser.SeparateType = Serial(1);
            ser.SeparateStrL = S(2);
            ser.SeparateStrR = S(3);
            break;
        case MacroArgs::SerialDigit:
            ser.DigitType = Serial(1);
            ser.DigitSize = static_cast<int>(D(2));
            break;
        case MacroArgs::SerialUpDown:
            ser.UpDownType = Serial(1);
            break;
        case MacroArgs::SerialPreset:
            ser.PresetType = Serial(1);
            ser.PresetData = static_cast<int>(D(2));
            break;
        case MacroArgs::SerialDelta:
            ser.DeltaType = Serial(1);
            ser.DeltaSize = static_cast<int>(D(2));
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// List operations

void CMacroRunner::EndListOperation(bool bStopped) {
    if (bStopped) return;
    CMyItem* current = m_target.RowItem(m_target.iCurrentRow);
    if (current) m_host.ItemFieldsChanged(current);
}

void CMacroRunner::ClearAllItem() {
    int ok = 0;
    if (m_requests) {
        try {
            ok = m_requests->ResetTree(m_target);
        } catch (...) {
            ok = 0;
        }
    }
    // The reset has told the user why; the run ends and the program closes afterwards.
    if (!ok) m_bQuitSet = true;
}

}  // namespace dov
