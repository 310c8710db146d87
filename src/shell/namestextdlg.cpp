#include "shell/namestextdlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/qttext.h"

namespace dov {

CNamesTextDlg::CNamesTextDlg(QWidget* parent, const QString& text, ApplyFn apply)
    : QDialog(parent), m_apply(std::move(apply)) {
    setWindowTitle(U8("名前をテキストで編集"));
    m_pEdit = new QPlainTextEdit(this);
    m_pEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_pEdit->setPlainText(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(U8("ｷｬﾝｾﾙ"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CNamesTextDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNamesTextDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pEdit);
    layout->addWidget(buttons);
    resize(560, 420);
}

void CNamesTextDlg::accept() {
    if (m_apply && !m_apply(m_pEdit->toPlainText())) return;
    QDialog::accept();
}

}  // namespace dov
