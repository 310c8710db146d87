// Drags inside the main view: list rows (the selected rows) and tree folders, tracked from the
// mouse events of the list's and the tree's surfaces. A press on a row (list) or on a folder
// other than the top node (tree) makes a drag pending; moving far enough with the button held
// starts it; releasing the button ends it where the pointer is. A move without the button held
// clears every drag. What a drop does is the view's business (the callbacks).
#pragma once

#include <QPoint>
#include <functional>
#include <vector>

class CMyItem;
class QEvent;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace dov {

class CItemListModel;
class CTreePane;

class CDragTracker {
  public:
    CDragTracker(QTreeWidget* tree, QTreeView* list, CItemListModel* model, CTreePane* pane);
    ~CDragTracker();

    // Whether a drag may start now (no worker, no transition).
    std::function<bool()> mayStart;
    // The root item (its node is never dragged; empty tree space drops on it).
    std::function<CMyItem*()> root;
    // Drops: rows (ascending) with their items onto a folder of the tree; a folder onto
    // another; rows onto a row of the list (the last row for empty list space).
    std::function<void(CMyItem* target, std::vector<int> rows, std::vector<CMyItem*> items)>
        rowsOnFolder;
    std::function<void(CMyItem* dragged, CMyItem* target)> folderOnFolder;
    std::function<void(std::vector<int> rows, int dropRow)> rowsOnRow;

    // A mouse event of the list's (onList) or the tree's surface; true when it is consumed.
    bool HandleMouse(bool onList, QEvent* e);
    bool BeginListDrag();
    bool BeginTreeDrag(QTreeWidgetItem* node);
    void EndDragAt(const QPoint& global);
    void Cancel();
    bool Dragging() const { return listDrag_ || treeDrag_ != nullptr; }
    bool ListDragging() const { return listDrag_; }
    bool Pending() const { return listDragPending_ || treeDragPending_ != nullptr; }
    bool ListPending() const { return listDragPending_; }

  private:
    void SetCursor(bool on);
    bool MayStart() const { return !mayStart || mayStart(); }

    QTreeWidget* tree_;
    QTreeView* list_;
    CItemListModel* model_;
    CTreePane* pane_;
    bool listDragPending_ = false;
    QPoint pressPos_;
    bool listDrag_ = false;
    std::vector<int> rows_;
    std::vector<CMyItem*> items_;
    QTreeWidgetItem* treeDragPending_ = nullptr;
    QTreeWidgetItem* treeDrag_ = nullptr;
    bool cursorOverridden_ = false;
};

}  // namespace dov
