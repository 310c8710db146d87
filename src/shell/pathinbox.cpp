#include "shell/pathinbox.h"

#include <QApplication>
#include <QTimer>
#include <QUrl>

#include "common/codepage.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "shell/app.h"
#include "shell/qthost.h"
#include "shell/view.h"

namespace dov {

namespace {
// While a dialog is open, the next look comes this much later.
constexpr int kRetryMs = 200;

std::string TraceName(const QString& path) {
    const QByteArray raw = path.toUtf8();
    auto cp = Utf8ToCp932(std::string_view(raw.constData(), static_cast<std::size_t>(raw.size())));
    return cp ? *cp : EscapeBytes(raw.toStdString());
}
}  // namespace

CPathInbox::CPathInbox(CKestrelView* view) : QObject(view), view_(view) {
    connect(view_, &CKestrelView::busyChanged, this, [this](bool busy) {
        if (!busy) TryNext();
    });
}

void CPathInbox::AddStartPaths(const QStringList& paths) {
    if (paths.isEmpty()) return;
    waiting_.push_back({paths, false});
    TryNext();
}

void CPathInbox::AddHanded(const QStringList& paths) {
    if (paths.isEmpty()) return;
    QWidget* window = view_->window();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    std::string names;
    for (const QString& p : paths) names += (names.empty() ? "" : ", ") + TraceName(p);
    TraceF(DefaultTracePath(), "＞＞　別に起動されたDovrethからパスを受け取りました: %s\n",
           names.c_str());
    waiting_.push_back({paths, true});
    TryNext();
}

void CPathInbox::TryNext() {
    if (waiting_.empty() || posted_) return;
    // Looked at once the event that led here is over: a job's follow-up may start another.
    posted_ = true;
    const bool blocked = QApplication::activeModalWidget() != nullptr;
    QTimer::singleShot(blocked ? kRetryMs : 0, this, [this] {
        posted_ = false;
        if (waiting_.empty()) return;
        if (view_->WorkerRunning() || view_->Flags().transition) return;  // busyChanged comes
        if (QApplication::activeModalWidget()) return TryNext();
        Batch next = std::move(waiting_.front());
        waiting_.pop_front();
        if (next.handed) {
            QList<QUrl> urls;
            for (const QString& p : next.paths) urls << QUrl::fromLocalFile(p);
            view_->LoadDroppedUrls(urls);
        } else {
            std::string problem;
            std::vector<std::string> load = StartPaths(next.paths, problem);
            if (!problem.empty())
                view_->Host()->Message(problem, MsgKind::Ok, MsgIcon::Warning, {});
            else
                view_->LoadPaths(std::move(load));
        }
        if (!view_->WorkerRunning()) TryNext();
    });
}

}  // namespace dov
