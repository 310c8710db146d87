#include "shell/form.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "model/item.h"
#include "shell/listmodel.h"
#include "shell/qttext.h"
#include "shell/treelines.h"

namespace dov {

namespace {

// Dialog units of the form to pixels of the start-up layout.
constexpr double kDluX = 1.75;
constexpr double kDluY = 1.75;

QRect Dlu(int x, int y, int w, int h) {
    return QRect(static_cast<int>(std::lround(x * kDluX)), static_cast<int>(std::lround(y * kDluY)),
                 static_cast<int>(std::lround(w * kDluX)),
                 static_cast<int>(std::lround(h * kDluY)));
}

QColor ToQColor(ColorRef c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

void SetColors(QWidget* w, ColorRef text, ColorRef back) {
    QPalette p = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Base, ToQColor(back));
        p.setColor(group, QPalette::Window, ToQColor(back));
        p.setColor(group, QPalette::Text, ToQColor(text));
        p.setColor(group, QPalette::WindowText, ToQColor(text));
        p.setColor(group, QPalette::AlternateBase, ToQColor(back));
    }
    // Read-only fields keep their colours when disabled too.
    p.setColor(QPalette::Disabled, QPalette::Base, ToQColor(back));
    p.setColor(QPalette::Disabled, QPalette::Window, ToQColor(back));
    w->setPalette(p);
}

}  // namespace

ItemFields ItemFields::Of(CMyItem* item) {
    ItemFields f;
    f.item = item;
    if (!item) return f;
    item->UpdateWriteName();
    f.org = ToQt(item->m_strOrgName);
    f.edit = ToQt(item->m_strNewName);
    f.write = ToQt(item->m_strWriteName);
    f.index = QString::number(item->m_iKindIndex);
    const std::uint64_t size = (static_cast<std::uint64_t>(item->m_findData.nFileSizeHigh) << 32) |
                               item->m_findData.nFileSizeLow;
    f.size = SizeText(size);
    f.date = ItemDateText(item->m_status.m_mtime);
    return f;
}

namespace {

// Lays a form out again whenever its owner is resized.
class LayoutFilter : public QObject {
  public:
    explicit LayoutFilter(CViewForm* form) : form_(form) {}

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() == QEvent::Resize) form_->ApplyLayout(static_cast<QWidget*>(obj)->size());
        return false;
    }

  private:
    CViewForm* form_;
};

}  // namespace

CViewForm::~CViewForm() = default;

CViewForm::CViewForm(QWidget* owner) : owner_(owner) {
    owner->setAutoFillBackground(true);
    tree = new QTreeWidget(owner);
    tree->setObjectName("tree");
    tree->setHeaderHidden(true);
    tree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    tree->setIndentation(16);
    UseTreeLines(tree);
    MakeList();
    MakeFieldsAndButtons();
    for (const Placed& p : placed_) p.w->setGeometry(p.ref);
    RecordColumnFractions();
    layoutFilter_ = std::make_unique<LayoutFilter>(this);
    owner->installEventFilter(layoutFilter_.get());
}

void CViewForm::MakeList() {
    listModel = new CItemListModel(owner_);
    list = new QTreeView(owner_);
    list->setObjectName("list");
    list->setModel(listModel);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setItemsExpandable(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    list->header()->setSectionsClickable(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
    // The order the rows are in: by name upward as a folder is loaded, then the last sort.
    list->header()->setSortIndicatorShown(true);
    list->header()->setSortIndicator(0, Qt::AscendingOrder);
    list->setColumnWidth(0, 175);
    list->setColumnWidth(1, 40);
    list->setColumnWidth(2, 153);
    list->setColumnWidth(3, 90);
    list->setDragEnabled(true);  // a press on a selected row keeps the selection for a drag
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void CViewForm::MakeFieldsAndButtons() {
    auto field = [this](const char* name, bool right) {
        auto* e = new QLineEdit(owner_);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setFrame(true);
        if (right) e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return e;
    };
    org = field("orgName", false);
    edit = field("editName", false);
    edit->setReadOnly(false);
    write = field("writeName", false);
    index = field("index", true);
    size = field("size", true);
    date = field("date", true);

    auto caption = [this](const char* text) {
        auto* l = new QLabel(U8(text), owner_);
        l->setAlignment(Qt::AlignCenter);
        l->setAutoFillBackground(true);
        captions_.push_back(l);
        return l;
    };
    auto button = [this](int id, const char* text, const char* name) {
        auto* b = new QPushButton(U8(text), owner_);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons_.insert(id, b);
        return b;
    };
    QLabel* c1054 = caption("元ファイル名");
    QLabel* c1055 = caption("編集");
    QLabel* c1056 = caption("作成ファイル名");
    QLabel* c1057 = caption("Index");
    QLabel* c1058 = caption("Size");
    QLabel* c1059 = caption("Date");
    QPushButton* load = button(kIdLoad, "読み込み", "load");
    QPushButton* delItems = button(kIdDeleteItems, "アイテム削除", "deleteItems");
    QPushButton* rename = button(kIdRename, "直接変更", "rename");
    QPushButton* copy = button(kIdCopy, "コピーして実行", "copy");
    QPushButton* stop = button(kIdStop, "STOP", "stop");
    stop->setCheckable(true);
    QPushButton* close = button(kIdClose, "CLOSE", "close");
    QPushButton* makeFold = button(kIdMakeFolder, "フォルダ作成", "makeFolder");
    QPushButton* delFold = button(kIdDeleteFolder, "削除", "deleteFolder");
    QFont bold = stop->font();
    bold.setBold(true);
    stop->setFont(bold);
    stop->setStyleSheet(
        "QPushButton#stop:enabled { color: #b00000; }"
        "QPushButton#stop:checked { background-color: #d04040; color: white; }");

    // The start-up layout of the form, in dialog units.
    placed_ = {
        {tree, Dlu(0, 0, 86, 208)},      {list, Dlu(87, 0, 264, 108)},
        {c1054, Dlu(95, 112, 57, 15)},   {org, Dlu(156, 111, 194, 16)},
        {c1055, Dlu(95, 130, 57, 15)},   {edit, Dlu(156, 129, 194, 16)},
        {c1056, Dlu(95, 148, 57, 15)},   {write, Dlu(156, 148, 194, 16)},
        {c1057, Dlu(92, 170, 26, 15)},   {index, Dlu(119, 169, 35, 16)},
        {c1058, Dlu(161, 170, 26, 15)},  {size, Dlu(188, 169, 55, 16)},
        {c1059, Dlu(250, 170, 26, 15)},  {date, Dlu(277, 169, 73, 16)},
        {load, Dlu(95, 190, 50, 15)},    {delItems, Dlu(95, 208, 50, 15)},
        {rename, Dlu(149, 193, 50, 30)}, {copy, Dlu(201, 193, 60, 30)},
        {stop, Dlu(263, 191, 33, 32)},   {close, Dlu(298, 203, 50, 20)},
        {makeFold, Dlu(0, 209, 56, 14)}, {delFold, Dlu(59, 209, 27, 14)},
    };
    refSize_ = QSize(static_cast<int>(std::lround(352 * kDluX)),
                     static_cast<int>(std::lround(224 * kDluY)));
    owner_->setMinimumSize(0, 0);
}

void CViewForm::RecordColumnFractions() {
    // The client width; before the list is first shown (and empty) its frame's inside.
    const int w = std::max(
        1, list->isVisible() ? list->viewport()->width() : list->width() - 2 * list->frameWidth());
    for (int c = 0; c < 4; ++c)
        colFractions_[static_cast<std::size_t>(c)] = list->columnWidth(c) / double(w);
}

void CViewForm::ApplyLayout(QSize size) {
    // The form grows with the view, and shrinks with it too: at the window's minimum size the
    // view is a little lower than the start-up layout, whose bottom row would be cut off.
    const double sx = size.width() / double(refSize_.width());
    const double sy = size.height() / double(refSize_.height());
    for (const Placed& p : placed_) {
        p.w->setGeometry(static_cast<int>(std::lround(p.ref.x() * sx)),
                         static_cast<int>(std::lround(p.ref.y() * sy)),
                         static_cast<int>(std::lround(p.ref.width() * sx)),
                         static_cast<int>(std::lround(p.ref.height() * sy)));
    }
    FitDate();
    // The columns follow once the list's viewport has its new size (FitColumns).
}

void CViewForm::FitDate() {
    // The date shows whole: it takes the room it lacks from the size field on its left...
    const QString sample = QStringLiteral("0000/00/00 (Wed) 00:00:00");
    const QFont base = owner_->font();
    const int lack = std::min(QFontMetrics(base).horizontalAdvance(sample) + 16 - date->width(),
                              size->width() / 3);
    if (lack > 0 && captions_.size() == 6) {
        QLabel* dateCaption = captions_[5];
        size->resize(size->width() - lack, size->height());
        dateCaption->move(dateCaption->x() - lack, dateCaption->y());
        date->setGeometry(date->x() - lack, date->y(), date->width() + lack, date->height());
    }
    // ...and when that is not enough for a large font, its own font gets smaller.
    QFont font = base;
    const int text = QFontMetrics(font).horizontalAdvance(sample);
    const int room = date->width() - 16;
    if (text > room && font.pointSizeF() > 0)
        font.setPointSizeF(std::max(6.0, font.pointSizeF() * room / text));
    date->setFont(font);
}

void CViewForm::FitColumns() {
    // The client width: without the frame and without a vertical scroll bar when one shows.
    const int w = list->viewport()->width();
    if (w <= 1) return;
    QSignalBlocker block(list->header());
    // Rounded at the column edges, so the widths add up to the share of the width they had.
    double edge = 0;
    int left = 0;
    for (int c = 0; c < 4; ++c) {
        edge += w * colFractions_[static_cast<std::size_t>(c)];
        const int right = static_cast<int>(std::lround(edge));
        list->setColumnWidth(c, right - left);
        left = right;
    }
}

void CViewForm::ApplyColors(const std::array<ColorRef, kColorCount>& c, bool busy) {
    SetColors(tree, c[kTreeText], c[kTreeBack]);
    SetColors(list, c[kListText], c[kListBack]);
    SetColors(org, c[kOrgFileName], c[kOrgFileNameBack]);
    SetColors(edit, c[kEditName], c[kEditNameBack]);
    SetColors(write, c[kMakeName], c[kMakeNameBack]);
    for (QLineEdit* f : {index, size, date}) SetColors(f, c[kFileInfoText], c[kFileInfoBack]);
    for (QLabel* l : captions_) SetColors(l, c[kTitleText], c[kTitleBack]);
    QPalette p = owner_->palette();
    p.setColor(QPalette::Window, ToQColor(busy ? c[kMainWork] : c[kMainBack]));
    owner_->setPalette(p);
    // The children keep their own colours.
    for (QWidget* w : owner_->findChildren<QPushButton*>()) w->setPalette(QApplication::palette(w));
    owner_->update();
}

void CViewForm::ClearFields() {
    for (QLineEdit* f : {org, edit, write, index, size, date}) f->clear();
    // No item shown: nothing to type a name for.
    edit->setEnabled(false);
}

void CViewForm::ShowFields(const ItemFields& f) {
    if (!f.item) return ClearFields();
    org->setText(f.org);
    edit->setEnabled(true);
    edit->setText(f.edit);
    write->setText(f.write);
    index->setText(f.index);
    size->setText(f.size);
    date->setText(f.date);
}

}  // namespace dov
