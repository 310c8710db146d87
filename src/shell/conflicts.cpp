#include "shell/conflicts.h"

#include <QStringList>
#include <cstdio>
#include <unordered_map>

#include "common/codepage.h"
#include "common/workerflags.h"
#include "shell/failurelist.h"
#include "shell/linelistdlg.h"
#include "shell/listmodel.h"
#include "shell/listpane.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/view.h"
#include "shell/viewmenus.h"

namespace dov {

CConflictDisplay::CConflictDisplay(CKestrelView& view) : QObject(&view), view_(view) {}

void CConflictDisplay::Update() {
    Apply(view_.Session().Check());
}

void CConflictDisplay::Apply(const ConflictCheck& check) {
    std::unordered_map<const CMyItem*, QString> items;
    for (const Conflict& c : check.conflicts) items.emplace(c.item, FailureReasonText(c.reason));
    conflicts_ = check.conflicts;
    const ColorRef c = view_.Prefs().colors[kConflictText];
    view_.Form().listModel->SetConflicts(std::move(items), QColor(RedOf(c), GreenOf(c), BlueOf(c)));
    count_ = static_cast<int>(check.conflicts.size());
    emit conflictsChanged(count_);
}

void CConflictDisplay::ShowFailureList() {
    if (view_.WorkerRunning() || view_.Flags().transition || conflicts_.empty()) return;
    CFailureListDlg dlg(conflicts_, &view_);
    const CommandUi& ui = view_.Menus().Dialogs();
    if (ui.runDialog)
        ui.runDialog(dlg);
    else
        dlg.exec();
    // The chosen item is looked up among the ones still listed as failing: the list is the
    // prediction of the tree as it is now, but the tree must not have changed meanwhile.
    CMyItem* item = dlg.Chosen();
    if (!item || view_.WorkerRunning()) return;
    for (const Conflict& c : conflicts_)
        if (c.item == item) return view_.Pane().GoToItem(item);
}

void CConflictDisplay::OfferUnfinishedRun() {
    CSession& session = view_.Session();
    const JournalInfo j = session.LastJournal();
    if (!j.exists || j.finished || j.changes == 0) return;
    char text[512];
    std::snprintf(
        text, sizeof text,
        Sj("前回の%sは途中で終わりました（記録された変更[%u]個）。\n記録を表示しますか？").c_str(),
        (j.kind == "undo" ? Sj("元に戻す操作") : Sj("直接変更")).c_str(),
        static_cast<unsigned>(j.changes));
    QtHost* host = view_.Host();
    if (host->Message(text, MsgKind::YesNo, MsgIcon::Question, {}) == MsgAnswer::Yes) {
        const QString heading = U8("記録された変更");
        const QStringList lines = LinesOf(ToQt(session.JournalText()));
        host->ShowBox(heading + QLatin1Char('\n') + lines.join(QLatin1Char('\n')), [&] {
            CLineListDlg box(heading, lines, &view_);
            box.exec();
        });
    }
    view_.OnUndo();
}

}  // namespace dov
