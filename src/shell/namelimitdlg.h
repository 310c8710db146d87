// The length limit dialog "ファイル名の長さ制限": the byte limit for the written names, typed or
// taken from one of the presets.
#pragma once

#include <QDialog>

#include "shell/keyworddlg.h"

class QButtonGroup;
class QLineEdit;
class QRadioButton;

namespace dov {

class CNameLimitDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CNameLimitDlg(QWidget* parent = nullptr);

    // The last limit (LimitSize; a negative one shows 31) and the last radio button (LimitMode;
    // one out of 0 to 4 shows "長さを指定").
    void SetLimit(int iLimitSize, int iLimitMode);
    // After an accepted dialog: the field's value and the chosen radio button.
    int LimitSize() const { return m_iLimitSize; }
    int LimitMode() const { return m_iLimitMode; }

    void SetMessageFunction(DlgMessageFn fn) { m_message = std::move(fn); }

    // The controls, for the tests; the button ids are the modes 0 to 4.
    QButtonGroup* Buttons() const { return m_pButtons; }
    QRadioButton* Radio(int iMode) const;
    QLineEdit* LimitEdit() const { return m_pEdit; }

  public slots:
    // Takes the field when it holds digits only; otherwise "数字を入力してください" and the
    // dialog stays open.
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnPreset(int iMode);
    void Message(const QString& text);

    QButtonGroup* m_pButtons = nullptr;
    QLineEdit* m_pEdit = nullptr;
    int m_iLimitSize = 31;
    int m_iLimitMode = 2;
    DlgMessageFn m_message;
};

}  // namespace dov
