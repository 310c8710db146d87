// The edits the window makes at once, on its own thread: "アイテム削除", "フォルダ作成", "削除"
// and the names typed into the tree's and the list's labels. Each checks the window's state,
// hands the edit to the session and shows the result.
#pragma once

#include <QString>

class QTreeWidgetItem;

namespace dov {

class CKestrelView;

class CItemEdits {
  public:
    explicit CItemEdits(CKestrelView& view) : view_(view) {}
    void OnDeleteItems();   // "アイテム削除"
    void OnMakeFolder();    // "フォルダ作成"
    void OnDeleteFolder();  // "削除"
    void OnTreeLabelEdited(QTreeWidgetItem* node);
    void OnListLabelEdited(int row, const QString& text);

  private:
    CKestrelView& view_;
};

}  // namespace dov
