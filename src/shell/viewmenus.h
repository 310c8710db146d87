// The main view's context menus (the list's, its header's and the tree's), built from the
// table of operations, and the commands of theirs the window does on its own: the information
// box, the names edited as text, the sorts without a column and the tree's text output. A
// chosen entry goes to the registry by its id.
#pragma once

#include <QObject>

#include "shell/commands.h"

class CMyItem;
class QMenu;

namespace dov {

class CKestrelView;

class CViewMenus : public QObject {
    Q_OBJECT
  public:
    explicit CViewMenus(CKestrelView& view);

    QMenu* ListMenu() const { return listMenu_; }
    QMenu* TreeMenu() const { return treeMenu_; }
    QMenu* HeaderMenu() const { return headerMenu_; }
    // The command dialogs' runner and message (see CommandUi).
    CommandUi& Dialogs() { return dialogs_; }

    // The rows the window does itself, by id.
    void ShowInfo();
    void EditNamesAsText();  // "名前をテキストで編集"
    void SortRows(int id);   // the sorts without a column of their own
    void WriteTextTree();    // the tree's text output of the folder the menu was opened on

  private:
    void BuildListMenus();
    void BuildTreeMenu();

    CKestrelView& view_;
    QMenu* listMenu_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    QMenu* headerMenu_ = nullptr;
    CMyItem* treeMenuTarget_ = nullptr;
    CommandUi dialogs_;
};

}  // namespace dov
