#include "rename/undo.h"

#include <cerrno>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/trace.h"
#include "model/host.h"
#include "rename/rename_log.h"
#include "rename/text_out.h"

namespace dov {
namespace {

const char* const kSeparator = "--------------------------------------------------\n";

class Undoer {
  public:
    Undoer(std::string tracePath, CJournalWriter& journal, const DiskScope& scope, IHost& host)
        : trace_(std::move(tracePath)),
          journal_(journal),
          scope_(scope),
          host_(host),
          log_(host, trace_) {}

    void Run(const Journal& j) {
        log_.Open();
        for (auto it = j.steps.rbegin(); it != j.steps.rend(); ++it) {
            if (it->failed) continue;
            if (host_.StopRequested() || host_.QuitRequested()) {
                for (; it != j.steps.rend(); ++it)
                    if (!it->failed) ++report.notAttempted;
                break;
            }
            // A journal is a file like any other: a path that is not plain is never acted on,
            // nor one outside the folders it records.
            if (!IsCleanPath(it->from, RootPath::NotClean) ||
                (it->kind == JournalStep::Rename && !IsCleanPath(it->to, RootPath::NotClean))) {
                Skip(it->to, it->from, "パスが不正です");
                continue;
            }
            if (!scope_.Contains(it->from) ||
                (it->kind == JournalStep::Rename && !scope_.Contains(it->to))) {
                Skip(it->to, it->from, "記録された範囲の外です");
                continue;
            }
            switch (it->kind) {
                case JournalStep::Rename:
                    Rename(it->to, it->from, it->id);
                    break;
                case JournalStep::MakeDir:
                    RemoveDir(it->from);
                    break;
                case JournalStep::RemoveDir:
                    MakeDir(it->from);
                    break;
            }
        }
        report.logFailed = !log_.Close();
    }

    UndoReport report;

  private:
    static const std::string& Mark(bool dir) { return dir ? Sj("□") : Sj("■"); }

    // path: the entry the text is about (named in the trace if the log cannot take it).
    void Log(const std::string& text, const std::string& path) { log_.Entry(text, path); }

    void Skip(const std::string& from, const std::string& to, const char* why) {
        ++report.skipped;
        Log(FormatSj("%s×　リネーム失敗。\n\t元のパス= \"%s\"\n\t希望のパス= \"%s\"\n\t理由= %s\n",
                     Sj(kSeparator).c_str(), from.c_str(), to.c_str(), Sj(why).c_str()),
            from);
        TraceF(trace_, "※　元に戻せません（%s）。\n\t\"%s\" -> \"%s\"\n", Sj(why).c_str(),
               from.c_str(), to.c_str());
    }

    // Moves the entry at from (where the run put it) back to to (where it was), when it is
    // still the entry the run moved.
    void Rename(const std::string& from, const std::string& to, const EntryId& id) {
        EntryInfo at, old;
        const bool there = Fs().Stat(from, at) == 0;
        const bool taken = Fs().Stat(to, old) == 0;
        if (id.type == 0) {
            // What was moved is not known: only a change never made is recognised.
            if (!there && taken) {
                ++report.already;
                return;
            }
            return Skip(from, to, "記録に識別情報がありません");
        }
        const bool same = there && IdOf(at) == id;
        if (!same) {
            if (taken && IdOf(old) == id) {
                ++report.already;  // announced, never made (or taken back before)
                return;
            }
            return Skip(from, to, there ? "別のエントリに置き換えられています" : "見つかりません");
        }
        if (taken) return Skip(from, to, "元の名前が使われています");
        int err = journal_.AddRename(from, to, id) ? Fs().RenameNoReplace(from, to) : EIO;
        if (err != 0) {
            journal_.AddFailure(err);
            return Skip(from, to, "改名に失敗しました");
        }
        ++report.reverted;
        Log(FormatSj("%s◎　リネームに成功しました。\n\t旧パス %s%s\n\t新パス %s%s\n",
                     Sj(kSeparator).c_str(), Mark(at.isDir).c_str(), from.c_str(),
                     Mark(at.isDir).c_str(), to.c_str()),
            from);
    }

    // Removes a folder the run created, when it is empty.
    void RemoveDir(const std::string& path) {
        EntryInfo info;
        if (Fs().Stat(path, info) != 0) {
            ++report.already;
            return;
        }
        int err = ENOTDIR;
        if (info.isDir) err = journal_.AddRemoveDir(path) ? Fs().RemoveDir(path) : EIO;
        if (err != 0) {
            if (info.isDir) journal_.AddFailure(err);
            ++report.skipped;
            Log(FormatSj("%s×　作成したフォルダを削除できません。\n\t%s%s\n",
                         Sj(kSeparator).c_str(), Mark(true).c_str(), path.c_str()),
                path);
            TraceF(trace_, "※　作成したフォルダを削除できません。[%d]\n\t\"%s\"\n", err,
                   path.c_str());
            return;
        }
        ++report.reverted;
        Log(FormatSj("%s◎　作成したフォルダを削除しました。\n\t%s%s\n", Sj(kSeparator).c_str(),
                     Mark(true).c_str(), path.c_str()),
            path);
    }

    // Makes again a folder that an undo removed.
    void MakeDir(const std::string& path) {
        EntryInfo info;
        if (Fs().Stat(path, info) == 0 && info.isDir) {
            ++report.already;
            return;
        }
        int err = journal_.AddMakeDir(path) ? Fs().MakeDir(path) : EIO;
        if (err != 0) {
            journal_.AddFailure(err);
            ++report.skipped;
            Log(FormatSj("%s×　新規フォルダを作成できません。\n\t%s%s\n", Sj(kSeparator).c_str(),
                         Mark(true).c_str(), path.c_str()),
                path);
            return;
        }
        ++report.reverted;
        Log(FormatSj("%s◎　新規フォルダとして作成しました。\n\t%s%s\n", Sj(kSeparator).c_str(),
                     Mark(true).c_str(), path.c_str()),
            path);
    }

    std::string trace_;
    CJournalWriter& journal_;
    const DiskScope& scope_;
    IHost& host_;
    CRenameLogWriter log_;
};

}  // namespace

std::size_t UndoableChanges(const Journal& journal) {
    std::size_t n = 0;
    for (const JournalStep& s : journal.steps)
        if (!s.failed) ++n;
    return n;
}

int UndoLastRun(IHost& host, const std::string& tracePath, UndoReport* report) {
    Journal journal;
    const int readErr = ReadJournal(JournalPath(), journal);
    if (readErr == EPERM) {
        const std::string text = FormatSj(
            "※　%s は自分の所有でないか、他のユーザが書き込めるので使えません。\nフォルダ: %s\n",
            JournalPath().c_str(), ProgramFolder().c_str());
        TraceWrite(tracePath, text);
        host.Message(text, MsgKind::Ok, MsgIcon::Error);
        return -2;
    }
    if (readErr != 0 || UndoableChanges(journal) == 0) {
        host.Message(Sj("元に戻す変更はありません。"), MsgKind::Ok, MsgIcon::Information);
        return 1;
    }
    const auto changes = static_cast<unsigned>(UndoableChanges(journal));
    if (host.Message(FormatSj("記録された変更[%u]個を元に戻しますか？", changes), MsgKind::YesNo,
                     MsgIcon::Question) != MsgAnswer::Yes)
        return 1;
    TraceF(tracePath, "=============== 元に戻す ===============\n");

    DiskScope scope;
    for (const ScopeRoot& root : journal.scope) scope.AddPinned(root);
    CJournalWriter own(UndoJournalPath(), "undo");
    // An undo cut short goes on in its own journal, so that it keeps every change taken back.
    Journal cut;
    const bool goOn = ReadJournal(UndoJournalPath(), cut) == 0 && cut.kind == "undo" &&
                      !cut.finished && cut.scope == journal.scope;
    if ((goOn ? own.Continue(cut.wholeBytes) : own.Begin(scope)) != 0) {
        const std::string text =
            FormatSj("※　ジャーナル %s を書き込めないので元に戻す操作を中止します。\n",
                     UndoJournalPath().c_str());
        TraceWrite(tracePath, text);
        host.Message(text, MsgKind::Ok, MsgIcon::Error);
        return -1;
    }
    Undoer undoer(tracePath, own, scope, host);
    {
        OperationScope operation(scope);
        undoer.Run(journal);
    }
    const UndoReport& r = undoer.report;
    if (report) *report = r;
    if (r.notAttempted > 0) {
        // Left unfinished: the next undo goes on with it.
        if (!host.QuitRequested())
            host.Message(Sj("中止ボタンによって中止されました"), MsgKind::Ok, MsgIcon::Information);
    } else if (own.Finish() == 0) {
        // The undo's journal becomes the last run's: undoing again redoes what was undone.
        Fs().RenameReplace(UndoJournalPath(), JournalPath());
    } else {
        const std::string text =
            FormatSj("※　ジャーナル %s を書き込めませんでした。\n", UndoJournalPath().c_str());
        TraceWrite(tracePath, text);
        host.Message(text, MsgKind::Ok, MsgIcon::Error);
    }

    std::string text =
        FormatSj("----- 元に戻す完了 -----\n　　戻した変更： %10u\n　　戻せない変更： %10u\n",
                 r.reverted, r.skipped);
    if (r.notAttempted > 0) text += FormatSj("　　　　未実行： %10u\n", r.notAttempted);
    text += FormatSj("記録された変更： %10u\n", changes);
    TraceWrite(tracePath, text);
    host.Message(text, MsgKind::Ok, r.skipped ? MsgIcon::Warning : MsgIcon::Information);
    return 0;
}

}  // namespace dov
