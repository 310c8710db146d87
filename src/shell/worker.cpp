#include "shell/worker.h"

#include <exception>

#include "common/codepage.h"
#include "common/trace.h"
#include "shell/qttext.h"

namespace dov {

CWorkerRunner::CWorkerRunner(std::atomic<bool>& busy, std::string tracePath, QObject* parent)
    : QObject(parent), busy_(busy), tracePath_(std::move(tracePath)) {}

CWorkerRunner::~CWorkerRunner() {
    Join();
}

bool CWorkerRunner::Start(std::function<void()> body, std::function<void()> after) {
    if (Running()) return false;
    busy_ = true;
    failure_.clear();
    after_ = std::move(after);
    emit busyChanged(true);
    try {
        thread_ = std::thread([this, body = std::move(body)] {
            try {
                body();
            } catch (const std::exception& e) {
                failure_ = e.what();
                if (failure_.empty()) failure_ = "?";
            } catch (...) {
                failure_ = "?";
            }
            QMetaObject::invokeMethod(this, &CWorkerRunner::Done, Qt::QueuedConnection);
        });
    } catch (...) {
        busy_ = false;
        after_ = nullptr;
        emit busyChanged(false);
        return false;
    }
    return true;
}

void CWorkerRunner::Join() {
    if (thread_.joinable()) thread_.join();
}

void CWorkerRunner::Done() {
    emit ending();
    Join();
    if (!failure_.empty()) {
        // The job was cut short by an error nothing below caught: the tree holds what the job
        // did up to there.
        TraceF(tracePath_, "※　作業スレッドが例外で終了しました [%s]\n", failure_.c_str());
        if (report)
            report(U8("※　処理中にエラーが発生したので中止しました。\n") +
                   QString::fromLocal8Bit(failure_.c_str()));
        failure_.clear();
    }
    busy_ = false;
    emit busyChanged(false);
    if (after_) {
        auto after = std::move(after_);
        after_ = nullptr;
        after();
    }
    emit finished();
}

}  // namespace dov
