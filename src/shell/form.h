// The main view's form: its controls (the folder tree, the list, the item fields with their
// captions, the command buttons), their start-up layout in dialog units and how it grows with
// the window, and the colours of the settings. No behaviour: the view connects the controls.
#pragma once

#include <QHash>
#include <QMetaType>
#include <QRect>
#include <QSize>
#include <QString>
#include <array>
#include <memory>
#include <vector>

#include "session/settings.h"

class CMyItem;
class QLabel;
class QLineEdit;
class QObject;
class QPushButton;
class QTreeView;
class QTreeWidget;
class QWidget;

namespace dov {

class CItemListModel;

// What the item fields show for one item, read by whoever owns the tree at that moment.
struct ItemFields {
    CMyItem* item = nullptr;  // identity only
    QString org, edit, write, index, size, date;
    // Brings the item's write name up to date and reads the texts.
    static ItemFields Of(CMyItem* item);
};

class CViewForm {
  public:
    // Control ids of the form.
    enum : int {
        kIdList = 1000,
        kIdLoad = 1001,
        kIdDeleteItems = 1002,
        kIdClose = 1003,
        kIdMakeFolder = 1004,
        kIdTree = 1013,
        kIdDeleteFolder = 1014,
        kIdCopy = 1015,
        kIdRename = 1016,
        kIdStop = 1061,
    };

    // Makes every control as a child of owner and places it at the start-up layout; the
    // controls are laid out again whenever the owner is resized.
    explicit CViewForm(QWidget* owner);
    ~CViewForm();

    QTreeWidget* tree = nullptr;
    QTreeView* list = nullptr;
    CItemListModel* listModel = nullptr;
    QLineEdit *org = nullptr, *edit = nullptr, *write = nullptr, *index = nullptr, *size = nullptr,
              *date = nullptr;

    QPushButton* Button(int id) const { return buttons_.value(id, nullptr); }
    QSize ReferenceSize() const { return refSize_; }

    // Lays the controls out for the owner's new size.
    void ApplyLayout(QSize size);
    // Sets the list's column widths from their fractions of its client width.
    void FitColumns();
    // Remembers the list columns' widths as fractions of the list (after the user resized one).
    void RecordColumnFractions();
    // The colours of the settings; busy: the window's working background.
    void ApplyColors(const std::array<ColorRef, kColorCount>& colors, bool busy);

    void ClearFields();
    void ShowFields(const ItemFields& f);

  private:
    void MakeList();
    void MakeFieldsAndButtons();
    void FitDate();

    QWidget* owner_;
    std::unique_ptr<QObject> layoutFilter_;  // the owner's resizes
    std::vector<QLabel*> captions_;
    QHash<int, QPushButton*> buttons_;
    // Each control's rectangle in the start-up layout.
    struct Placed {
        QWidget* w;
        QRect ref;
    };
    std::vector<Placed> placed_;
    QSize refSize_;
    std::array<double, 4> colFractions_{};
};

}  // namespace dov

Q_DECLARE_METATYPE(dov::ItemFields)
