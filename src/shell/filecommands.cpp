#include "shell/filecommands.h"

#include <QFileDialog>
#include <QPushButton>

#include "common/paths.h"
#include "common/workerflags.h"
#include "session/session.h"
#include "shell/listpane.h"
#include "shell/qtfiledialogs.h"
#include "shell/qttext.h"
#include "shell/view.h"

namespace dov {

WindowChoosers WindowChoosers::Dialogs(QWidget* parent) {
    WindowChoosers c;
    c.folder = [parent](const QString& start) {
        return ChooseFolder(parent, U8("フォルダの選択"), start);
    };
    auto fileChooser = [parent](bool save, const QString& start) {
        QFileDialog dlg(parent, U8(save ? "Dovreth　データセーブ" : "Dovreth　データロード"), start,
                        U8("Save Files (*.dvt)"));
        dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dlg.setDefaultSuffix(QStringLiteral("dvt"));
        MakeJapanese(dlg);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return QString();
        return dlg.selectedFiles().front();
    };
    c.openFile = [fileChooser](const QString& start) { return fileChooser(false, start); };
    c.saveFile = [fileChooser](const QString& start) { return fileChooser(true, start); };
    return c;
}

void CFileCommands::NewTree() {
    CSession& session = view_.Session();
    if (view_.WorkerRunning()) return;
    std::shared_ptr<CJob> job = session.NewJob();
    if (!job->Confirm()) return;
    view_.Pane().DropItem();
    CKestrelView::JobSteps steps;
    steps.confirmed = true;
    // Without a root the program cannot go on: it closes.
    steps.onWorker = [&view = view_](const CJob& j) {
        if (j.Result().outcome != Outcome::Done) view.Flags().quitReq = true;
    };
    if (view_.RunJob(std::move(job), std::move(steps)))
        view_.Form().Button(CViewForm::kIdStop)->setEnabled(false);
}

void CFileCommands::OnOpen() {
    if (view_.WorkerRunning() || !view_.Session().ConfirmDiscard()) return;
    const QString path = view_.FileChoosers().openFile(ToQt(ProgramFolder()));
    if (path.isEmpty()) return;
    view_.OpenFile(path);
}

}  // namespace dov
