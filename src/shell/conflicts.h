// What the window shows of the renames expected to fail: the list's conflict colours and
// reasons, their count (for the status bar), the list of the predicted failures, and at start
// the offer to show and undo a run that did not finish.
#pragma once

#include <QObject>
#include <vector>

#include "session/session.h"

namespace dov {

class CKestrelView;

class CConflictDisplay : public QObject {
    Q_OBJECT
  public:
    explicit CConflictDisplay(CKestrelView& view);

    // The prediction made again (after an edit), or one made on the worker.
    void Update();
    void Apply(const ConflictCheck& check);
    // The renames the prediction expects to fail.
    int Count() const { return count_; }
    // The list of the predicted failures ("失敗の予測: N" clicked); a row chosen there is shown.
    void ShowFailureList();
    // At start: a run whose journal has no end is offered to be shown and undone.
    void OfferUnfinishedRun();

  signals:
    void conflictsChanged(int count);

  private:
    CKestrelView& view_;
    int count_ = 0;
    std::vector<Conflict> conflicts_;  // the last prediction's failures
};

}  // namespace dov
