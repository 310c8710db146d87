// "名前をテキストで編集": the new names of the rows shown, one a line, in a plain text editor.
// OK hands the text to the apply function; the dialog closes only when it was taken, so a
// refused text (its message has been shown) can be mended and tried again.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QPlainTextEdit;

namespace dov {

class CNamesTextDlg : public QDialog {
    Q_OBJECT
  public:
    using ApplyFn = std::function<bool(const QString& text)>;
    CNamesTextDlg(QWidget* parent, const QString& text, ApplyFn apply);
    QPlainTextEdit* Editor() const { return m_pEdit; }

  public slots:
    void accept() override;

  private:
    QPlainTextEdit* m_pEdit = nullptr;
    ApplyFn m_apply;
};

}  // namespace dov
