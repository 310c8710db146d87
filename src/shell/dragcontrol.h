// Drags and drops of the main view: list rows and tree folders dragged inside the window (the
// mouse tracked by CDragTracker, the drops moved on the worker), and files and folders dropped
// from a file manager (loaded by the view).
#pragma once

#include <QObject>
#include <QPoint>
#include <memory>
#include <vector>

class CMyItem;
class QTreeWidgetItem;

namespace dov {

class CDragTracker;
class CKestrelView;

class CDragControl : public QObject {
    Q_OBJECT
  public:
    explicit CDragControl(CKestrelView& view);
    ~CDragControl() override;

    // A mouse event of the list's (onList) or the tree's surface; true when it is consumed.
    bool HandleMouse(bool onList, QEvent* e);
    // Drags of list rows (the selected rows) and tree folders. A point is in global
    // coordinates.
    bool BeginListDrag();
    bool BeginTreeDrag(QTreeWidgetItem* node);
    void EndDragAt(const QPoint& global);
    void Cancel();
    bool Dragging() const;
    bool ListDragging() const;
    bool ListPending() const;

  protected:
    // Files from a file manager, over the view.
    bool eventFilter(QObject* obj, QEvent* e) override;

  private:
    bool ListDropWithin(const std::vector<int>& rows, int dropRow);
    void DropRowsOnFolder(CMyItem* target, std::vector<int> rows, std::vector<CMyItem*> items);
    void DropFolderOnFolder(CMyItem* dragged, CMyItem* target);

    CKestrelView& view_;
    std::unique_ptr<CDragTracker> tracker_;
};

}  // namespace dov
