// The keyword dialog: up to three keyword fields and the two search options, shown before the
// name edit commands of the list's context menu.
//
// The dialog works on a copy of the keyword settings: SetKeyWords() fills the controls, and
// after an accepted dialog GetKeyWords() writes the texts (CP932) and both check boxes back.
// A cancelled dialog leaves the caller's settings as they were.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <string>

#include "model/host.h"
#include "session/dialog_rules.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace dov {

// Shows a refusal to the user. The dialogs default to a message box of their own; tests and
// the window put their own function in.
using DlgMessageFn = std::function<void(const QString& text)>;

// Shows a refusal with fn when there is one, else in a warning message box over parent.
void ShowDlgMessage(QWidget* parent, const DlgMessageFn& fn, const QString& text);

// Carries the edit layer's refusals (CP932 texts given to IHost::Message) to a dialog's
// message function.
class DlgMessageHost : public IHost {
  public:
    explicit DlgMessageHost(DlgMessageFn fn) : m_fn(std::move(fn)) {}
    MsgAnswer Message(const std::string& text, MsgKind kind, MsgIcon icon,
                      const std::string& caption) override;

  private:
    DlgMessageFn m_fn;
};

// CP932 text for a widget through the name bridge (ToQt).
QString Cp932ToQString(const std::string& cp932);

// Reads a typed text as CP932 through the name bridge (FromQt): any character converts. Only
// a lone surrogate that stands for no byte of the disk fails: *pRefusal then gets the message
// that names it and the result is false.
bool QStringToCp932(const QString& text, std::string* pOut, QString* pRefusal);

// One field of a dialog that holds CP932 text: it remembers the bytes it was filled with, so
// that a text the user did not touch comes back byte for byte (even bytes that do not convert).
class Cp932Field {
  public:
    void Fill(QLineEdit* edit, const std::string& cp932);
    // The field's text as CP932; false with *pRefusal set when it cannot be converted.
    bool Read(const QLineEdit* edit, std::string* pOut, QString* pRefusal) const;

  private:
    std::string m_bytes;
    QString m_shown;
};

class CKeyWordDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CKeyWordDlg(QWidget* parent = nullptr);

    // One, two or three fields; the labels become those of that number of fields and the
    // fields beyond it are hidden with their labels.
    void SetFieldNum(int iNum);
    int FieldNum() const { return m_iFieldNum; }
    // Replaces one field's label (index 0 to 2), after SetFieldNum.
    void SetLabel(int index, const QString& text);
    void SetTitle(const QString& title) { setWindowTitle(title); }
    // Which check boxes the user may change; a disabled box keeps its state.
    void SetCheckEnables(bool bWildCard, bool bAllTarget);
    // Whether the 正規表現 mode is offered (replace and search). While it is checked the
    // wildcard box is disabled: the pattern is a regular expression.
    void SetRegExpEnable(bool bRegExp);

    // The last values: the three texts and both check boxes (EffectSubItem is not shown).
    void SetKeyWords(const KeyWordSettings& keys);
    // The accepted values into *pKeys (EffectSubItem stays).
    void GetKeyWords(KeyWordSettings* pKeys) const;

    void SetMessageFunction(DlgMessageFn fn) { m_message = std::move(fn); }

    // The controls, for the tests.
    QLineEdit* KeyEdit(int index) const { return m_edits[static_cast<std::size_t>(index)]; }
    QLabel* KeyLabel(int index) const { return m_labels[static_cast<std::size_t>(index)]; }
    QCheckBox* WildCardCheck() const { return m_pWildCard; }
    QCheckBox* AllTargetCheck() const { return m_pAllTarget; }
    QCheckBox* RegExpCheck() const { return m_pRegExp; }

  public slots:
    // Reads and checks the fields; a refused input shows its message and keeps the dialog open.
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Message(const QString& text);

    std::array<QLabel*, 3> m_labels{};
    std::array<QLineEdit*, 3> m_edits{};
    std::array<Cp932Field, 3> m_fields;
    QCheckBox* m_pWildCard = nullptr;
    QCheckBox* m_pAllTarget = nullptr;
    QCheckBox* m_pRegExp = nullptr;
    bool m_bWildCardEnabled = true;
    int m_iFieldNum = 3;
    KeyWordSettings m_keys;
    DlgMessageFn m_message;
};

}  // namespace dov
