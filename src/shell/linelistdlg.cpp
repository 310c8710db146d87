#include "shell/linelistdlg.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace dov {

CLineListDlg::CLineListDlg(const QString& heading, const QStringList& lines, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Dovreth"));
    setObjectName("lineList");
    auto* label = new QLabel(heading, this);
    label->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setObjectName("lines");
    list_->setUniformItemSizes(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->addItems(lines);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* v = new QVBoxLayout(this);
    v->addWidget(label);
    v->addWidget(list_, 1);
    v->addWidget(buttons);
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize bound = Bound(screen ? screen->availableSize() : QSize(1024, 768));
    setMaximumSize(bound);
    resize(std::min(bound.width(), 720), std::min(bound.height(), 480));
}

QSize CLineListDlg::Bound(const QSize& screen) {
    return {std::max(320, screen.width() * 4 / 5), std::max(240, screen.height() * 4 / 5)};
}

QStringList LinesOf(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace dov
