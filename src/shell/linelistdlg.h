// A dialog that shows a long list of lines (a journal's changes): a heading, the lines in a
// scrolling list and OK. Its size is bounded by the screen whatever the number of lines, so its
// button stays within reach.
#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace dov {

class CLineListDlg : public QDialog {
    Q_OBJECT
  public:
    CLineListDlg(const QString& heading, const QStringList& lines, QWidget* parent = nullptr);
    QListWidget* List() const { return list_; }
    // The largest size the dialog takes on a screen of this size.
    static QSize Bound(const QSize& screen);

  private:
    QListWidget* list_;
};

// Splits a text into its lines, leaving out the empty last one.
QStringList LinesOf(const QString& text);

}  // namespace dov
