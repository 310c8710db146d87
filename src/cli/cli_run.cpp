#include "cli/cli_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/linename.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "model/item.h"
#include "model/loader.h"
#include "session/session.h"

namespace dov::cli {

namespace {

// A path made absolute against the current folder without changing it, with ".", ".." and
// repeated separators resolved by their text (as the shell shows them).
std::optional<std::string> AbsolutePath(const std::string& path) {
    std::string full;
    if (IsAbsolutePath(path)) {
        full = path;
    } else {
        std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
        if (!cwd) return std::nullopt;
        full = std::string(cwd.get()) + "/" + path;
    }
    std::vector<std::string> parts;
    std::size_t p = 0;
    while (p <= full.size()) {
        std::size_t slash = full.find('/', p);
        if (slash == std::string::npos) slash = full.size();
        std::string part = full.substr(p, slash - p);
        p = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(std::move(part));
    }
    std::string out;
    for (const std::string& part : parts) out += "/" + part;
    return out.empty() ? std::string("/") : out;
}

// A temporary file of our own, removed when the object goes.
class TempFile {
  public:
    TempFile() {
        const char* dir = std::getenv("TMPDIR");
        std::string base = dir && *dir ? dir : "/tmp";
        for (int attempt = 0; attempt < 2 && native_.empty(); ++attempt) {
            std::string tmpl = base + "/dovreth-cli-XXXXXX";
            int fd = mkstemp(tmpl.data());
            if (fd >= 0) {
                close(fd);
                auto cp = Utf8ToCp932(tmpl);
                if (cp) {
                    native_ = tmpl;
                    cp932_ = *cp;
                } else {
                    unlink(tmpl.c_str());
                }
            }
            base = "/tmp";
        }
    }
    ~TempFile() {
        if (!native_.empty()) unlink(native_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    bool ok() const { return !native_.empty(); }
    const std::string& native() const { return native_; }
    const std::string& cp932() const { return cp932_; }

  private:
    std::string native_, cp932_;
};

bool ReadWholeFile(const std::string& native, std::string& out, int& err) {
    std::FILE* f = std::fopen(native.c_str(), "rb");
    if (!f) {
        err = errno;
        return false;
    }
    out.clear();
    char buf[64 * 1024];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    err = bad ? EIO : 0;
    return !bad;
}

std::string RenameStopReason(const Counts& counts) {
    switch (counts.renameStop) {
        case RenameEnd::PreCheck:
            return "nothing was renamed: the check before the rename refused the edit tree (see "
                   "DataTrace.txt)";
        case RenameEnd::UserFolders:
            return "nothing was renamed: a folder made in the edit tree could not be created";
        case RenameEnd::PathRefresh:
            return "the paths could not be brought up to date after the rename; see RenameLog.txt";
        case RenameEnd::Journal:
            return "the rename stopped before its next change: the journal '" +
                   ProgramFolderNative() + "/RenameJournal.txt' could not be written; " +
                   std::to_string(counts.notAttempted) +
                   " item(s) were not attempted; see RenameLog.txt";
        case RenameEnd::Stopped:
            return "the rename was stopped by Ctrl+C: " + std::to_string(counts.notAttempted) +
                   " item(s) were not attempted; see RenameLog.txt";
        case RenameEnd::None:
            break;
    }
    return "the rename ended early; see RenameLog.txt";
}

bool WriteWholeFile(const std::string& native, const std::string& data) {
    std::FILE* f = std::fopen(native.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

class Runner {
  public:
    explicit Runner(TerminalHost& host) : host_(host), session_(host) {}

    RunResult Run(const Args& args) {
        InstallInterruptHandler(&session_.flags.stopReq);
        TraceReset(session_.tracePath);
        SetTraceFailureHandler([this](const std::string& msg) {
            host_.Message(msg, MsgKind::Ok, MsgIcon::Warning, {});
        });
        session_.LoadSettingsFile();
        NoticeCutShortRun();

        bool ok = LoadPaths(args.paths);
        for (std::size_t i = 0; ok && i < args.actions.size(); ++i) {
            ok = Perform(args.actions[i]);
            if (!ok || !Stopped()) continue;
            // A direct rename that ran to its end despite Ctrl+C (pressed while its log was
            // written): when it was the last thing asked for, everything asked for was done.
            if (args.actions[i].kind == ActionKind::Rename ||
                args.actions[i].kind == ActionKind::Undo) {
                if (i + 1 == args.actions.size()) break;
                ok = Fail(kExitFailed,
                          "stopped by Ctrl+C: the rename ran to its end, the options after it "
                          "were not run");
            } else {
                ok = Fail(kExitFailed, "stopped by Ctrl+C during " + args.actions[i].option);
            }
        }
        host_.EndProgress();
        std::fflush(stdout);
        SetTraceFailureHandler(nullptr);
        return result_;
    }

  private:
    void NoticeCutShortRun() {
        const JournalInfo st = session_.LastJournal();
        if (st.exists && !st.finished)
            std::fprintf(stderr,
                         "dovreth-cli: the last %s did not finish; its journal holds %zu "
                         "change(s) (--undo takes them back)\n",
                         st.kind.c_str(), st.changes);
        if (st.undoCutShort)
            std::fprintf(stderr, "dovreth-cli: an undo was cut short (--undo again finishes it)\n");
        if (st.refused)
            std::fprintf(stderr,
                         "dovreth-cli: the journal in %s is not your own or others can write it; "
                         "it is not used\n",
                         ProgramFolderNative().c_str());
    }

    bool Stopped() { return session_.flags.stopReq.load() || Interrupted(); }

    bool Fail(int status, std::string reason) {
        result_.status = status;
        result_.reason = std::move(reason);
        return false;
    }

    // A path from the command line as an absolute CP932 path; native gets it as UTF-8.
    bool ProgramPath(const std::string& given, std::string& cp932, std::string* native = nullptr) {
        auto abs = AbsolutePath(given);
        if (!abs)
            return Fail(kExitUsage,
                        "cannot tell the current folder: " + std::string(std::strerror(errno)));
        auto cp = Utf8ToCp932(*abs);
        if (!cp)
            return Fail(kExitUsage, "'" + given +
                                        "': the path is not valid UTF-8 or has a character that "
                                        "CP932 cannot hold");
        cp932 = std::move(*cp);
        if (native) *native = std::move(*abs);
        return true;
    }

    bool LoadPaths(const std::vector<std::string>& paths) {
        if (paths.empty()) return true;
        std::vector<std::string> cp932Paths;
        std::map<std::string, std::string> given;  // absolute path -> as written
        for (const std::string& path : paths) {
            std::string cp, native;
            if (!ProgramPath(path, cp, &native)) return false;
            if (native == "/")
                return Fail(kExitUsage, "'" + path + "': the file-system root cannot be loaded");
            struct stat st;
            if (lstat(native.c_str(), &st) != 0)
                return Fail(kExitUsage, "cannot read '" + path + "': " + std::strerror(errno));
            if (auto [it, fresh] = given.emplace(native, path); !fresh)
                return Fail(kExitUsage,
                            "'" + path + "' and '" + it->second + "' are the same path");
            cp932Paths.push_back(std::move(cp));
        }
        // An entry loaded twice would be renamed twice: refuse paths inside other paths.
        for (const auto& [native, path] : given) {
            for (std::string up = ParentFolder(native); !up.empty(); up = ParentFolder(up)) {
                auto it = given.find(up);
                if (it != given.end())
                    return Fail(kExitUsage, "'" + path + "' lies inside '" + it->second +
                                                "', which is loaded with everything in it");
            }
        }
        const std::size_t count = cp932Paths.size();
        std::unique_ptr<CJob> load = session_.LoadPathsJob(std::move(cp932Paths));
        if (load->Confirm()) {
            LoadProgressLine line(host_, *load);
            load->Run();
        }
        const long long added = load->Result().counts.added;
        host_.EndProgress();
        ReportLeftOut();
        if (Stopped()) return Fail(kExitFailed, "stopped by Ctrl+C while loading");
        if (added < static_cast<long long>(count))
            return Fail(kExitUsage, std::to_string(count - static_cast<std::size_t>(added)) +
                                        " of " + std::to_string(count) +
                                        " paths could not be loaded; nothing was done");
        return true;
    }

    // The entries of the folders read that the tree could not take, one line each.
    void ReportLeftOut() {
        const CItemLoader::LeftOut& left = session_.LeftOutEntries();
        if (left.count == 0) return;
        for (const std::string& path : left.paths)
            std::fprintf(stderr, "dovreth-cli: left out: %s\n", DisplayUtf8(path).c_str());
        const long long unnamed = left.count - static_cast<long long>(left.paths.size());
        if (unnamed > 0) std::fprintf(stderr, "dovreth-cli: left out: %lld more\n", unnamed);
        std::fprintf(stderr,
                     "dovreth-cli: %lld entr%s left out (unreadable or gone); see "
                     "DataTrace.txt\n",
                     left.count, left.count == 1 ? "y was" : "ies were");
    }

    bool Perform(const Action& a) {
        switch (a.kind) {
            case ActionKind::Open:
                return Open(a);
            case ActionKind::Folder:
                return ShowFolder(a);
            case ActionKind::Operation:
                return RunOperation(a);
            case ActionKind::Exec:
                return Exec(a);
            case ActionKind::Macro:
                return Macro(a);
            case ActionKind::MakeDir:
                return MakeDir();
            case ActionKind::MoveTo:
                return MoveTo(a);
            case ActionKind::IntoFolders:
                session_.SetIntoFolders(a.number != 0);
                return true;
            case ActionKind::AutoIndex:
                session_.SetAutoIndex(a.number != 0);
                return true;
            case ActionKind::List:
                return List();
            case ActionKind::Tree:
                return Tree();
            case ActionKind::Save:
                return Save(a);
            case ActionKind::Rename:
                return Rename();
            case ActionKind::CopyTo:
                return CopyTo(a);
            case ActionKind::Check:
                return Check();
            case ActionKind::Info:
                return PrintInfo(a.text);
            case ActionKind::Undo:
                return Undo();
            case ActionKind::NamesFrom:
                return NamesFrom(a);
            case ActionKind::DiscardJournal:
                if (!session_.DiscardJournal())
                    return Fail(kExitFailed, "--discard-journal: the journal in '" +
                                                 ProgramFolderNative() + "' could not be removed");
                return true;
        }
        return Fail(kExitUsage, "unknown option " + a.option);
    }

    // An operation of the table over the selected rows; a value given with it becomes the
    // setting it stands for, for this run only (settings are never written).
    bool RunOperation(const Action& a) {
        const Operation* op = FindOperation(a.op);
        if (!op) return Fail(kExitUsage, "unknown option " + a.option);
        std::string shown = a.option;
        if (op->cliValue == CliValue::Limit) {
            session_.settings.limitSize = a.number;
            shown += " " + std::to_string(a.number);
        }
        if (op->cliValue == CliValue::Template) {
            auto cp = Utf8ToCp932(a.text);
            if (!cp)
                return Fail(kExitUsage, a.option +
                                            ": the template is not valid UTF-8 or has a "
                                            "character CP932 cannot hold");
            session_.settings.infoTemplates.insert(session_.settings.infoTemplates.begin(), *cp);
            const OpResult r = session_.RunOperation(*op);
            if (r.changed < 0) return Fail(kExitUsage, a.option + ": the template cannot be used");
            if (r.noInfo > 0)
                std::fprintf(stderr, "dovreth-cli: no information: %d item(s)\n", r.noInfo);
            return true;
        }
        if (session_.RunListCommand(op->id) < 0) return Fail(kExitUsage, shown + " was refused");
        return true;
    }

    bool Open(const Action& a) {
        std::string cp, native;
        if (!ProgramPath(a.text, cp, &native)) return false;
        struct stat st;
        if (stat(native.c_str(), &st) != 0)
            return Fail(kExitUsage, "cannot read '" + a.text + "': " + std::strerror(errno));
        if (session_.Open(cp) != Outcome::Done)
            return Fail(kExitUsage, "'" + a.text + "' could not be read as a save data file");
        return true;
    }

    bool TreeFolder(const Action& a, CMyItem*& folder) {
        auto cp = Utf8ToCp932(a.text);
        if (!cp)
            return Fail(kExitUsage, a.option + " '" + a.text + "': not valid UTF-8 or not CP932");
        folder = session_.FindFolder(*cp);
        if (!folder)
            return Fail(kExitUsage, a.option + ": the edit tree has no folder '" + a.text + "'");
        return true;
    }

    bool ShowFolder(const Action& a) {
        CMyItem* folder = nullptr;
        if (!TreeFolder(a, folder)) return false;
        session_.ShowFolder(folder);
        return true;
    }

    bool Exec(const Action& a) {
        auto cp = Utf8ToCp932(a.text);
        if (!cp)
            return Fail(
                kExitUsage,
                "--exec: the statement is not valid UTF-8 or has a character CP932 cannot hold");
        using Problem = StatementResult::Problem;
        const StatementResult r = session_.RunStatement(*cp);
        if (r.problem == Problem::NotAStatement)
            return Fail(kExitUsage, "--exec: '" + a.text + "' is not a valid macro statement");
        if (r.problem == Problem::NoSuchFunction)
            return Fail(kExitUsage, "--exec: no macro function '" + DisplayUtf8(r.funcName) +
                                        "' takes the arguments (" + r.signature + ")");
        if (r.problem == Problem::NotRun)
            return Fail(kExitUsage, "--exec: '" + a.text + "' could not be run");
        return true;
    }

    bool Macro(const Action& a) {
        std::string cp, native, data;
        if (!ProgramPath(a.text, cp, &native)) return false;
        int err = 0;
        if (!ReadWholeFile(native, data, err))
            return Fail(kExitUsage, "cannot read '" + a.text + "': " + std::strerror(err));
        Outcome r = Outcome::Failed;
        static const char kBom[] = "\xEF\xBB\xBF";
        if (data.rfind(kBom, 0) == 0) {
            // A UTF-8 macro file: the engine reads CP932, so it gets a converted copy.
            auto conv = Utf8ToCp932(std::string_view(data).substr(3));
            if (!conv)
                return Fail(kExitUsage, "'" + a.text +
                                            "' begins with a UTF-8 byte-order mark but is not "
                                            "valid UTF-8 or has a character CP932 cannot hold");
            TempFile tmp;
            if (!tmp.ok() || !WriteWholeFile(tmp.native(), *conv))
                return Fail(kExitFailed, "cannot write a temporary file for '" + a.text + "'");
            r = session_.RunMacroFile(tmp.cp932());
        } else {
            r = session_.RunMacroFile(cp);
        }
        if (r != Outcome::Done)
            return Fail(kExitUsage, "cannot read the macro file '" + a.text + "'");
        return true;
    }

    bool MakeDir() {
        CMyItem* folder = session_.CurFolder();
        CMyItem* made = session_.MakeFolder(folder);
        if (!made) return Fail(kExitFailed, "--mkdir: the new folder could not be made");
        session_.SelectOnly(folder->FindSubItemPos(made));
        return true;
    }

    bool MoveTo(const Action& a) {
        CMyItem* target = nullptr;
        if (!TreeFolder(a, target)) return false;
        std::vector<int> rows = session_.SelectedRows();
        std::vector<CMyItem*> items = session_.SelectedItems();
        if (rows.empty()) return Fail(kExitUsage, "--move-to: no row is selected");
        if (!session_.MoveRowsToFolder(target, rows, items))
            return Fail(kExitUsage, "--move-to '" + a.text + "': the move was refused");
        session_.ShowFolder(session_.CurFolder());
        return true;
    }

    bool List() {
        for (int r = 0; r < session_.RowCount(); ++r) {
            CMyItem* item = session_.RowItem(r);
            if (!item) continue;
            std::string line = DisplayUtf8(EscapeLineName(item->m_strOrgName)) + "\t" +
                               DisplayUtf8(EscapeLineName(item->m_strNewName)) + "\t" +
                               DisplayUtf8(EscapeLineName(item->m_strWriteName)) + "\n";
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
        std::fflush(stdout);
        return true;
    }

    bool NamesFrom(const Action& a) {
        std::string data;
        int err = 0;
        if (a.text == "-") {
            char buf[64 * 1024];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) data.append(buf, n);
            if (std::ferror(stdin))
                return Fail(kExitUsage, "--names-from: cannot read standard input");
        } else {
            std::string cp, native;
            if (!ProgramPath(a.text, cp, &native)) return false;
            if (!ReadWholeFile(native, data, err))
                return Fail(kExitUsage, "cannot read '" + a.text + "': " + std::strerror(err));
        }
        if (data.find('\0') != std::string::npos)
            return Fail(kExitUsage, "--names-from: a line holds a NUL byte; no name was changed");
        auto cp = Utf8ToCp932(data);
        if (!cp)
            return Fail(kExitUsage,
                        "--names-from: the text is not valid UTF-8 or has a character CP932 "
                        "cannot hold; no name was changed");
        if (session_.SetNewNamesFromText(*cp) < 0)
            return Fail(kExitUsage, "--names-from: the names were refused; no name was changed");
        return true;
    }

    bool Tree() {
        TempFile tmp;
        if (!tmp.ok()) return Fail(kExitFailed, "--tree: cannot make a temporary file");
        if (!session_.DrawTree(tmp.cp932(), EscapeLineName))
            return Fail(kExitFailed, "--tree: the tree could not be drawn");
        std::string data;
        int err = 0;
        if (!ReadWholeFile(tmp.native(), data, err))
            return Fail(kExitFailed, "--tree: cannot read the drawing back");
        std::string text = DisplayUtf8(data);
        std::string out;
        out.reserve(text.size());
        for (char c : text)
            if (c != '\r') out += c;
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        return true;
    }

    bool Save(const Action& a) {
        std::string cp;
        if (!ProgramPath(a.text, cp)) return false;
        if (session_.SaveAs(cp) != Outcome::Done)
            return Fail(kExitFailed, "the save data file '" + a.text + "' could not be written");
        return true;
    }

    bool Check() {
        const ConflictCheck p = session_.Check();
        std::string out;
        for (const Conflict& f : p.conflicts)
            out += f.reason + "\t" + DisplayUtf8(f.path) + "\t" + DisplayUtf8(f.writePath) + "\n";
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        if (!p.conflicts.empty())
            return Fail(kExitFailed,
                        std::to_string(p.conflicts.size()) + " rename(s) are predicted to fail");
        if (p.stops) return Fail(kExitFailed, "the rename would stop at its depth check");
        return true;
    }

    bool Undo() {
        host_.SetAnswerYes(true);
        // A second Ctrl+C waits for the log of what was done.
        DeferQuit(true);
        const CommandResult r = session_.Undo();
        DeferQuit(false);
        host_.SetAnswerYes(false);
        const std::string folder = ProgramFolderNative();
        if (r.outcome == Outcome::Failed && r.counts.journalRefused)
            return Fail(kExitFailed, "the journal '" + folder +
                                         "/RenameJournal.txt' is not your own or others can "
                                         "write it; nothing changed");
        if (r.outcome == Outcome::Failed)
            return Fail(kExitFailed, "the undo could not write its journal '" + folder +
                                         "/RenameJournal.undo.txt'; nothing changed");
        if (r.counts.logFailed)
            return Fail(kExitFailed,
                        "the rename log '" + folder + "/RenameLog.txt' could not be written");
        if (r.outcome == Outcome::Stopped)
            return Fail(kExitFailed,
                        "the undo was stopped by Ctrl+C: " + std::to_string(r.counts.notAttempted) +
                            " change(s) were not undone (--undo again goes on)");
        if (r.counts.failed > 0)
            return Fail(kExitFailed, std::to_string(r.counts.failed) +
                                         " change(s) could not be undone; see RenameLog.txt");
        return true;
    }

    bool Rename() {
        // The journal of a run that did not finish is what can still undo it.
        const JournalInfo st = session_.LastJournal();
        if (st.Unfinished())
            return Fail(kExitFailed,
                        "nothing was renamed: the last " + (st.kind.empty() ? "run" : st.kind) +
                            " did not finish and its journal can still undo it; run --undo first, "
                            "or give --discard-journal before --rename to give it up");
        // One plan: its preview's count is told before the run starts.
        const auto told = [](std::size_t failures) {
            std::fprintf(stderr, "dovreth-cli: %zu rename(s) predicted to fail\n", failures);
        };
        host_.SetAnswerYes(true);
        // A second Ctrl+C waits for the log of what was done.
        DeferQuit(true);
        const CommandResult r = session_.Rename(nullptr, told);
        DeferQuit(false);
        host_.SetAnswerYes(false);
        host_.EndProgress();
        if (r.outcome == Outcome::NotStarted)
            return Fail(kExitFailed, "nothing was renamed: the name check refused the edit tree");
        const std::string log = ProgramFolderNative() + "/RenameLog.txt";
        if (r.counts.renameStop == RenameEnd::Journal)
            return Fail(kExitFailed, RenameStopReason(r.counts));
        if (r.counts.logFailed)
            return Fail(kExitFailed, "the rename log '" + log + "' could not be written");
        if (r.outcome != Outcome::Done) return Fail(kExitFailed, RenameStopReason(r.counts));
        if (r.counts.failed > 0)
            return Fail(kExitFailed, std::to_string(r.counts.failed) +
                                         " item(s) could not be renamed; see RenameLog.txt");
        return true;
    }

    bool CopyTo(const Action& a) {
        std::string cp, native;
        if (!ProgramPath(a.text, cp, &native)) return false;
        struct stat st;
        if (stat(native.c_str(), &st) != 0)
            return Fail(kExitUsage, "--copy-to '" + a.text + "': " + std::strerror(errno));
        if (!S_ISDIR(st.st_mode))
            return Fail(kExitUsage, "--copy-to '" + a.text + "': not a folder");
        host_.SetAnswerYes(true);
        const CommandResult r = session_.CopyTo(cp);
        host_.SetAnswerYes(false);
        host_.EndProgress();
        if (r.outcome == Outcome::NotStarted)
            return Fail(kExitFailed, "nothing was copied: the name check refused the edit tree");
        if (Stopped()) return Fail(kExitFailed, "the copy was stopped by Ctrl+C");
        if (r.counts.failed > 0)
            return Fail(kExitFailed,
                        std::to_string(r.counts.failed) + " item(s) could not be copied");
        return true;
    }

    // --info: the fields of one file, as the templates name them.
    bool PrintInfo(const std::string& given) {
        std::string cp;
        if (!ProgramPath(given, cp)) return false;
        std::vector<std::pair<std::string, std::string>> fields;
        if (int err = session_.InfoFieldsOf(cp, fields))
            return Fail(kExitUsage, "cannot read '" + given + "': " + std::strerror(err));
        for (const auto& [name, value] : fields)
            std::printf("%s\t%s\n", name.c_str(), DisplayUtf8(EscapeLineName(value)).c_str());
        return true;
    }

    TerminalHost& host_;
    CSession session_;
    RunResult result_;
};

}  // namespace

RunResult RunCommandLine(const Args& args, TerminalHost& host, TreeAtEnd tree) {
    if (tree == TreeAtEnd::kLeave) {
        // Never deleted: the process ends right after, and the trace is flushed by then.
        Runner* runner = new Runner(host);
        return runner->Run(args);
    }
    Runner runner(host);
    return runner.Run(args);
}

}  // namespace dov::cli
