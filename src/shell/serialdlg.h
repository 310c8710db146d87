// The serial settings dialog "連番付けの設定": where and how the detailed serial numbering puts
// its numbers, and the start value of the numbering from a given number.
//
// It works on a copy of the serial settings. SetSettings() takes them (values out of range are
// put back to usable ones first); after an accepted dialog GetSettings() gives what the controls
// hold. Cancel leaves the caller's settings untouched.
#pragma once

#include <QColor>
#include <QDialog>
#include <array>
#include <initializer_list>

#include "session/dialog_rules.h"
#include "shell/keyworddlg.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QGroupBox;
class QRadioButton;
class QVBoxLayout;

namespace dov {

class CSerialDlg : public QDialog {
    Q_OBJECT
  public:
    enum Mode {
        kFull,       // every group (command 2047)
        kStartOnly,  // only the start value matters (commands 2045 and 2046)
    };

    // The field colours: enabled fields white on orange, disabled ones on grey.
    static QColor EnabledBack() { return QColor(208, 104, 0); }
    static QColor DisabledBack() { return QColor(127, 127, 127); }

    explicit CSerialDlg(QWidget* parent = nullptr);

    // Call before SetSettings: the start-value-only mode chooses "初期値を指定".
    void SetSerialDlgMode(Mode mode);
    Mode SerialDlgMode() const { return m_mode; }

    void SetSettings(const SerialSettings& s);
    const SerialSettings& GetSettings() const { return m_settings; }

    void SetMessageFunction(DlgMessageFn fn) { m_message = std::move(fn); }

    // The controls, for the tests. Groups: position (7 buttons), separator (4), direction (2),
    // step (2), start (3), digits (2); button ids are the setting values.
    enum Group { kPos, kSep, kUpDown, kDelta, kPreset, kDigit, kGroupNum };
    QButtonGroup* Buttons(Group g) const { return m_groups[g]; }
    QRadioButton* Radio(Group g, int value) const;
    QCheckBox* WildCardCheck() const { return m_pWildCard; }
    QLineEdit* Key1Edit() const { return m_pKey1; }
    QLineEdit* Key2Edit() const { return m_pKey2; }
    QLineEdit* SepLeftEdit() const { return m_pSepL; }
    QLineEdit* SepRightEdit() const { return m_pSepR; }
    QLineEdit* DeltaEdit() const { return m_pDelta; }
    QLineEdit* PresetEdit() const { return m_pPreset; }
    QComboBox* DigitList() const { return m_pDigit; }

  public slots:
    // Reads every control back into the settings and closes; a text that CP932 cannot hold is
    // refused and the dialog stays open.
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // Enables the fields for the radio choices and the mode (after every click).
    void ApplyEnables();
    // A titled group of radio buttons (values 0, 1, ... in order); *ppBox gets its layout.
    QGroupBox* MakeGroup(Group g, const QString& caption, std::initializer_list<const char*> texts,
                         QVBoxLayout** ppBox);
    SerialSettings ChoicesFromButtons() const;
    void Message(const QString& text);

    Mode m_mode = kFull;
    SerialSettings m_settings;
    std::array<QButtonGroup*, kGroupNum> m_groups{};
    QCheckBox* m_pWildCard = nullptr;
    QLineEdit* m_pKey1 = nullptr;
    QLineEdit* m_pKey2 = nullptr;
    QLineEdit* m_pSepL = nullptr;
    QLineEdit* m_pSepR = nullptr;
    QLineEdit* m_pDelta = nullptr;
    QLineEdit* m_pPreset = nullptr;
    QComboBox* m_pDigit = nullptr;
    Cp932Field m_key1, m_key2, m_sepL, m_sepR;
    DlgMessageFn m_message;
};

}  // namespace dov
