// The browsing side of the main view: which folder the list shows and which item the fields
// show, the rows' selection (written into the session's list state while idle, shown from it
// after a worker changed it), the keys and mouse of the tree and the list, the states of the
// tree's buttons and the colours. It edits nothing: what a key or a click asks for beyond
// showing is a command of the registry, or a job the view starts.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

class CMyItem;
class QKeyEvent;
class QTreeWidgetItem;

namespace dov {

class CKestrelView;
class CSession;
class CTreePane;
class CViewForm;
struct WorkerFlags;

// The refusal of a typed name the program cannot hold.
inline constexpr const char* kNotAName =
    "入力された文字にはファイル名として使えない文字が含まれています";

class CListPane : public QObject {
    Q_OBJECT
  public:
    CListPane(CKestrelView& view, CTreePane& tree);
    CTreePane& TreePane() const { return tree_; }

    // What the pane shows.
    CMyItem* RootItem() const;
    CMyItem* CurrentFolder() const;  // the folder the list shows
    QString CurrentFolderText() const;
    CMyItem* CurrentItem() const { return curItem_; }  // the item the fields show
    void SetCurrentItem(CMyItem* item) { curItem_ = item; }
    int CurrentRow() const;

    // Tree click or selection change: the folder's rows in the list.
    void ShowFolderNode(QTreeWidgetItem* node);
    void OpenFolderRow(int row);  // list double click
    // Shows an item's folder and selects its row.
    void GoToItem(CMyItem* item);
    // A row becomes the one the fields show (click, menu, drop).
    void ShowItem(int row);
    void ChooseRow(int row);  // ShowItem, and the row counts as chosen by the user
    // The fields let go of their item (a job will free it); forgetRow: no row counts as chosen.
    void DropItem(bool forgetRow = false);
    void FocusList() { focusSide_ = 1; }
    bool TypeNewName(const QString& text);  // Enter in field 1011
    void SortByColumn(int column);          // list header click
    void SelectAllRows();                   // "全て選択" and Ctrl+A, then the select-item step
    void SelectListRow(int row);

    void ShowFields(CMyItem* item);
    void ClearFields();
    void ShowMessage(const char* utf8);
    std::vector<int> SelectedRows() const;
    void WriteSelectionToSession();
    void ShowSessionSelection();
    void RefreshRowsKeepingSelection();
    void RefreshRows();
    // The window goes once the running job has ended: what the job left is not shown.
    bool Closing() const;
    void CheckAndChangeTreeBtnState(bool setAll, bool state);
    void ApplyColors();

  signals:
    void currentFolderChanged();

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

  private:
    void ConnectHost();
    void ConnectControls();
    // The select-item step: the list gets the focus and the first selected row becomes the
    // current row and item, with the fields refreshed.
    void SelectItemMessage();
    bool ListKey(QKeyEvent* k);
    bool KeyPress(QObject* obj, QKeyEvent* k);

    CKestrelView& view_;
    CViewForm& form_;
    CTreePane& tree_;
    CMyItem* curItem_ = nullptr;  // the item the fields show (a row or the folder shown)
    int focusSide_ = 0;           // 0 the tree, 1 the list
    bool rowChosen_ = false;      // a row was clicked since the list was last filled
};

}  // namespace dov
