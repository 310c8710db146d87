#include "shell/qthost.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <iterator>

#include "common/codepage.h"
#include "common/trace.h"
#include "common/workerflags.h"
#include "model/item.h"
#include "shell/qttext.h"

namespace dov {

namespace {
// How long one delivery of a worker's notifications may keep the window thread.
constexpr qint64 kDeliveryBudgetMs = 20;
}  // namespace

QtHost::QtHost(QWidget* window, WorkerFlags* flags, QObject* parent)
    : QObject(parent), window_(window), flags_(flags) {
    qRegisterMetaType<dov::ListRow>();
    qRegisterMetaType<std::vector<dov::ListRow>>();
    qRegisterMetaType<dov::ItemFields>();
}

bool QtHost::OnWindowThread() const {
    return QThread::currentThread() == thread();
}

void QtHost::Post(std::function<void()> f) {
    if (OnWindowThread()) {
        Deliver(-1);  // whatever a worker said before comes first
        f();
        return;
    }
    std::lock_guard<std::mutex> lock(notesMutex_);
    notes_.push_back(Note{std::move(f), nullptr, {}});
    PostDeliveryLocked();
}

void QtHost::PostDeliveryLocked() {
    if (deliveryPosted_) return;
    deliveryPosted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { Deliver(kDeliveryBudgetMs); }, Qt::QueuedConnection);
}

void QtHost::Deliver(qint64 budgetMs) {
    // A notification's receiver that leads to another delivery must not overtake the notes
    // still in hand.
    if (delivering_) return;
    std::vector<Note> notes;
    {
        std::lock_guard<std::mutex> lock(notesMutex_);
        notes.swap(notes_);
        deliveryPosted_ = false;
    }
    if (notes.empty()) return;
    QElapsedTimer clock;
    clock.start();
    std::size_t i = 0;
    delivering_ = true;
    for (; i < notes.size(); ++i) {
        if (budgetMs >= 0 && i > 0 && clock.elapsed() >= budgetMs) break;
        Note& n = notes[i];
        if (n.call)
            n.call();
        else
            emit listRowsChanged(n.folder, std::move(n.rows));
    }
    delivering_ = false;
    if (i == notes.size()) return;
    // The rest goes before whatever the worker said meanwhile.
    std::lock_guard<std::mutex> lock(notesMutex_);
    notes_.insert(notes_.begin(), std::make_move_iterator(notes.begin() + static_cast<long>(i)),
                  std::make_move_iterator(notes.end()));
    PostDeliveryLocked();
}

MsgAnswer QtHost::Ask(const QString& text, MsgKind kind, MsgIcon icon, const QString& caption) {
    messages_.push_back(text);
    if (answerer_) return answerer_(text, kind);
    if (shuttingDown_) return kind == MsgKind::YesNo ? MsgAnswer::No : MsgAnswer::Ok;

    QMessageBox box(window_);
    box.setWindowTitle(caption.isEmpty() ? U8("Dovreth") : caption);
    box.setText(text);
    switch (icon) {
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::None:
            break;
    }
    if (kind == MsgKind::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(U8("はい(&Y)"));
        box.button(QMessageBox::No)->setText(U8("いいえ(&N)"));
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

std::string QtHost::UndoHint() const {
    return Sj("（編集 → 元に戻す で、この改名を取り消せます）");
}

void QtHost::ShowBox(const QString& record, const std::function<void()>& show) {
    messages_.push_back(record);
    if (answerer_) {
        answerer_(record, MsgKind::Ok);
        return;
    }
    if (!shuttingDown_) show();
}

MsgAnswer QtHost::Message(const std::string& text, MsgKind kind, MsgIcon icon,
                          const std::string& caption) {
    TraceFlush();  // what led to the message is on disk before it shows
    const QString qtext = ToQt(text);
    const QString qcaption = caption.empty() ? QString() : ToQt(caption);
    // A window that is going (closed while a job ran) asks and tells nothing more.
    if (shuttingDown_ || (flags_ && flags_->quitReq.load()))
        return kind == MsgKind::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    if (OnWindowThread()) return Ask(qtext, kind, icon, qcaption);
    // The worker waits here until the window has the answer; the window keeps running.
    MsgAnswer answer = kind == MsgKind::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    QMetaObject::invokeMethod(
        this, [&] { answer = Ask(qtext, kind, icon, qcaption); }, Qt::BlockingQueuedConnection);
    return answer;
}

bool QtHost::StopRequested() {
    if (stopPollHook_) stopPollHook_();
    return flags_ && flags_->stopReq.load();
}
bool QtHost::QuitRequested() {
    return flags_ && flags_->quitReq.load();
}

void QtHost::TreeFolderAdded(CMyItem* folder) {
    if (!folder) return;
    CMyItem* parent = folder->m_pParent;
    QString label = ToQt(folder->m_strNewName);
    Post([this, folder, parent, label] { emit treeFolderAdded(folder, parent, label); });
}

void QtHost::TreeFolderRemoved(CMyItem* folder) {
    if (!folder) return;
    Post([this, folder] { emit treeFolderRemoved(folder); });
}

void QtHost::TreeFolderChanged(CMyItem* folder) {
    if (!folder) return;
    QString label = ToQt(folder->m_strNewName);
    Post([this, folder, label] { emit treeFolderChanged(folder, label); });
}

void QtHost::ListShowFolder(CMyItem* folder) {
    shownFolder_ = folder;
    std::vector<ListRow> rows = ListRow::OfFolder(folder);
    Post([this, folder, rows = std::move(rows)]() mutable {
        emit listShowFolder(folder, std::move(rows));
    });
}

void QtHost::ItemFieldsChanged(CMyItem* item) {
    ItemFields f = ItemFields::Of(item);
    Post([this, f = std::move(f)] { emit itemFieldsChanged(f); });
}

void QtHost::ListRowChanged(int row) {
    CMyItem* folder = shownFolder_;
    if (!folder || !folder->m_bIsFolder || row < 0 ||
        row >= static_cast<int>(folder->m_dwNumInFolder))
        return;
    RowUpdate u{row, ListRow::Of(folder->GetSubItem(row))};
    if (OnWindowThread()) {
        Deliver(-1);
        emit listRowsChanged(folder, {std::move(u)});
        return;
    }
    std::lock_guard<std::mutex> lock(notesMutex_);
    if (notes_.empty() || notes_.back().call || notes_.back().folder != folder)
        notes_.push_back(Note{nullptr, folder, {}});
    notes_.back().rows.push_back(std::move(u));
    PostDeliveryLocked();
}

void QtHost::Progress(long long done, long long total) {
    if (progressHook_) progressHook_(done, total);
    // Only counters: the window's timer reads them; no call is queued per step.
    progressTotal_.store(total, std::memory_order_relaxed);
    progressDone_.store(done, std::memory_order_relaxed);
}

void QtHost::ResetProgress() {
    progressDone_.store(0);
    progressTotal_.store(0);
}

}  // namespace dov
