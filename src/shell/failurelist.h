// The renames the conflict preview expects to fail, as a list the user can follow up: the
// entry's path, its new name and the reason in Japanese. Choosing a row (double click or
// Enter) closes the list with that row's item chosen.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class CMyItem;
class QTreeWidget;

namespace dov {

struct Conflict;

// The reason of a predicted failure (the preview's English word) as the user reads it.
QString FailureReasonText(const std::string& reason);

// Runs `clicked` when the widget (a status bar label) is clicked with the left button.
void OnClick(QWidget* widget, std::function<void()> clicked);

class CFailureListDlg : public QDialog {
    Q_OBJECT
  public:
    CFailureListDlg(const std::vector<Conflict>& failures, QWidget* parent = nullptr);
    QTreeWidget* List() const { return list_; }
    // The item of the row chosen; none when the list was closed otherwise.
    CMyItem* Chosen() const { return chosen_; }
    // Chooses a row as a double click would.
    void Choose(int row);

  private:
    QTreeWidget* list_;
    std::vector<CMyItem*> items_;
    CMyItem* chosen_ = nullptr;
};

}  // namespace dov
