#include "shell/settingsdialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "common/paths.h"
#include "shell/qttext.h"

namespace dov {

namespace {
QDialogButtonBox* OkCancel(QDialog* d) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
    box->button(QDialogButtonBox::Ok)->setText(U8("OK"));
    QObject::connect(box, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return box;
}
QColor ToQColor(ColorRef c) {
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}
}  // namespace

// ---- COptionDlg ---------------------------------------------------------------------------

COptionDlg::COptionDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(U8("動作設定"));
    auto_ = new QCheckBox(U8("編集ファイル名の先頭に自動でIndex値を付ける"), this);
    auto_->setObjectName("autoSerialNum");
    effect_ =
        new QCheckBox(U8("右クリックメニューによる動作をフォルダの内部にも\n影響させる"), this);
    effect_->setObjectName("effectSubItem");
    linux_ = new QCheckBox(
        U8("変更した名前に / 以外の全ての文字を許す\n(Windows に持って行かないファイル向け)"),
        this);
    linux_->setObjectName("allowLinuxNames");
    auto* v = new QVBoxLayout(this);
    v->addWidget(auto_);
    v->addWidget(effect_);
    v->addWidget(linux_);
    v->addStretch();
    v->addWidget(OkCancel(this));
}

void COptionDlg::Prepare() {
    auto_->setChecked(m_iAutoSerialNum != 0);
    effect_->setChecked(m_iEffectSubItem != 0);
    linux_->setChecked(m_iAllowLinuxNames != 0);
}

int COptionDlg::exec() {
    Prepare();
    return QDialog::exec();
}

void COptionDlg::accept() {
    m_iAutoSerialNum = auto_->isChecked() ? 1 : 0;
    m_iEffectSubItem = effect_->isChecked() ? 1 : 0;
    m_iAllowLinuxNames = linux_->isChecked() ? 1 : 0;
    QDialog::accept();
}

// ---- CColorDlg ----------------------------------------------------------------------------

CColorDlg::CColorDlg(const std::array<ColorRef, kColorCount>& colors, QWidget* parent)
    : QDialog(parent), colors_(colors) {
    setWindowTitle(U8("Dovreth　カラー設定ダイアログ"));
    static const struct {
        const char* caption;
        int id;
    } kRows[kColorCount] = {
        {"ツリーの文字色", kTreeText},
        {"ツリーの背景色", kTreeBack},
        {"リストの文字色", kListText},
        {"リストの背景色", kListBack},
        {"メイン画面の背景色", kMainBack},
        {"動作中の背景色", kMainWork},
        {"項目名の文字色", kTitleText},
        {"項目名の背景色", kTitleBack},
        {"ファイル名部の文字色", kOrgFileName},
        {"ファイル名部の背景色", kOrgFileNameBack},
        {"編集部の文字色", kEditName},
        {"編集部の背景色", kEditNameBack},
        {"確認部の文字色", kMakeName},
        {"確認部の背景色", kMakeNameBack},
        {"補助情報の文字色", kFileInfoText},
        {"補助情報の背景色", kFileInfoBack},
        {"失敗が予測される行の文字色", kConflictText},
    };
    auto* grid = new QGridLayout;
    auto addSwatch = [&](int id, const char* key, const char* caption, int row, int col) {
        auto* swatch = new QPushButton(this);
        swatch->setObjectName(QString::fromLatin1(key));
        swatch->setFixedSize(44, 22);
        swatch->setFlat(true);
        swatch->setAutoFillBackground(true);
        swatches_[static_cast<std::size_t>(id)] = swatch;
        connect(swatch, &QPushButton::clicked, this, [this, id] { Choose(id); });
        grid->addWidget(swatch, row, col);
        grid->addWidget(new QLabel(U8(caption), this), row, col + 1);
        Paint(id);
    };
    for (int i = 0; i < kColorCount; ++i)
        addSwatch(kRows[i].id, ColorKey(kRows[i].id), kRows[i].caption, i / 2, (i % 2) * 2);
    // The changed names' swatch takes the next free cell after the colour table's.
    addSwatch(kChangedNameSwatch, kChangedNameTextKey, "名前が変わる行の文字色", kColorCount / 2,
              (kColorCount % 2) * 2);
    grid->setHorizontalSpacing(10);
    grid->setColumnMinimumWidth(1, 150);
    grid->setColumnMinimumWidth(3, 150);
    auto* v = new QVBoxLayout(this);
    v->addLayout(grid);
    v->addWidget(OkCancel(this));
}

ColorRef& CColorDlg::ColorOf(int id) {
    return id == kChangedNameSwatch ? changedName_ : colors_[static_cast<std::size_t>(id)];
}

void CColorDlg::SetChangedNameColor(ColorRef c) {
    SetColor(kChangedNameSwatch, c);
}

void CColorDlg::Paint(int id) {
    QPushButton* s = swatches_[static_cast<std::size_t>(id)];
    const QColor c = ToQColor(ColorOf(id));
    s->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid #404040; }")
            .arg(c.name()));
}

void CColorDlg::SetColor(int id, ColorRef c) {
    if (id < 0 || id > kChangedNameSwatch) return;
    ColorOf(id) = c & 0xFFFFFFu;
    Paint(id);
}

void CColorDlg::Choose(int id) {
    ColorRef c = ColorOf(id);
    bool ok = false;
    if (chooser) {
        ok = chooser(c);
    } else {
        const QColor q = QColorDialog::getColor(ToQColor(c), this);
        ok = q.isValid();
        if (ok)
            c = MakeRgb(static_cast<unsigned>(q.red()), static_cast<unsigned>(q.green()),
                        static_cast<unsigned>(q.blue()));
    }
    if (ok) SetColor(id, c);
}

// ---- About box ----------------------------------------------------------------------------

void SetUpAboutBox(QMessageBox& box, QWidget* parent) {
    const QString title = U8("Dovrethのバージョン情報");
    box.setWindowTitle(title);
    box.setIconPixmap(parent ? parent->windowIcon().pixmap(48, 48) : QPixmap());
    box.setText(U8("Dovreth Version 2.65"));
    box.setInformativeText(U8("設定・ログの保存先: ") +
                           QString::fromStdString(ProgramFolderNative()));
    box.setStandardButtons(QMessageBox::Ok);
    // A path breaks at every '/' when wrapped: keep it whole.
    if (auto* info = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        info->setWordWrap(false);
    // The title bar shows the whole title only when the box is wide enough for it and for the
    // window manager's buttons.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = box.fontMetrics().horizontalAdvance(title) * 3 / 2 + 120;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

void ShowAboutBox(QWidget* parent) {
    QMessageBox box(parent);
    SetUpAboutBox(box, parent);
    box.exec();
}

}  // namespace dov
