// The two settings dialogs of the options menu: "動作設定" and the colour settings.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "session/settings.h"

class QCheckBox;
class QPushButton;

class QMessageBox;

namespace dov {

// "動作設定": the automatic index prefix and the into-folders option.
class COptionDlg : public QDialog {
    Q_OBJECT
  public:
    explicit COptionDlg(QWidget* parent = nullptr);
    // The dialog object's values (kept between openings; OK takes the boxes into them).
    int m_iAutoSerialNum = 0;
    int m_iEffectSubItem = 0;
    int m_iAllowLinuxNames = 0;
    int exec() override;
    void accept() override;
    // Puts the values into the boxes (exec does this first).
    void Prepare();
    QCheckBox* AutoBox() const { return auto_; }
    QCheckBox* EffectBox() const { return effect_; }
    QCheckBox* LinuxNamesBox() const { return linux_; }

  private:
    QCheckBox* auto_;
    QCheckBox* effect_;
    QCheckBox* linux_;
};

// "Dovreth　カラー設定ダイアログ": sixteen swatches, each opening the colour chooser, and
// below them the swatch of the changed names' colour (id kChangedNameSwatch).
class CColorDlg : public QDialog {
    Q_OBJECT
  public:
    CColorDlg(const std::array<ColorRef, kColorCount>& colors, QWidget* parent = nullptr);
    const std::array<ColorRef, kColorCount>& Colors() const { return colors_; }
    static constexpr int kChangedNameSwatch = kColorCount;
    ColorRef ChangedNameColor() const { return changedName_; }
    void SetChangedNameColor(ColorRef c);
    // The swatch of a colour (tests click it).
    QPushButton* Swatch(int id) const { return swatches_[static_cast<std::size_t>(id)]; }
    // Sets a swatch as the chooser would after OK (also kChangedNameSwatch).
    void SetColor(int id, ColorRef c);

    // For tests: picks the colour instead of the chooser (return false for "cancelled").
    std::function<bool(ColorRef& inOut)> chooser;

  private:
    void Choose(int id);
    void Paint(int id);
    ColorRef& ColorOf(int id);
    std::array<ColorRef, kColorCount> colors_;
    ColorRef changedName_ = kDefaultChangedNameText;
    std::array<QPushButton*, kColorCount + 1> swatches_{};
};

// The about box: the version and the folder the program keeps its files in. The folder stays
// on one line and the box is wide enough for its whole title.
void SetUpAboutBox(QMessageBox& box, QWidget* parent);
void ShowAboutBox(QWidget* parent);

}  // namespace dov
