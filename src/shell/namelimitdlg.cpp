#include "shell/namelimitdlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "session/dialog_rules.h"
#include "shell/qttext.h"

namespace dov {

namespace {

constexpr int kModeNum = 5;

}  // namespace

CNameLimitDlg::CNameLimitDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(U8("ファイル名の長さ制限"));
    auto* group = new QGroupBox(U8("選択"), this);
    auto* v = new QVBoxLayout(group);
    m_pButtons = new QButtonGroup(this);
    int id = 0;
    for (const char* text : {"長さを指定", "DOS形式", "ISO Level2", "JOLIET", "ROMEO"}) {
        auto* radio = new QRadioButton(U8(text), group);
        m_pButtons->addButton(radio, id++);
        v->addWidget(radio);
    }
    m_pEdit = new QLineEdit(group);
    v->addWidget(m_pEdit);
    connect(m_pButtons, &QButtonGroup::idClicked, this, &CNameLimitDlg::OnPreset);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNameLimitDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNameLimitDlg::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    setMinimumWidth(260);

    SetLimit(m_iLimitSize, m_iLimitMode);
}

QRadioButton* CNameLimitDlg::Radio(int iMode) const {
    return qobject_cast<QRadioButton*>(m_pButtons->button(iMode));
}

void CNameLimitDlg::SetLimit(int iLimitSize, int iLimitMode) {
    m_iLimitSize = iLimitSize;
    m_iLimitMode = iLimitMode;
    const int shownMode = iLimitMode >= 0 && iLimitMode < kModeNum ? iLimitMode : 0;
    m_pButtons->button(shownMode)->setChecked(true);
    m_pEdit->setText(QString::number(dialog::LimitInitialValue(iLimitSize)));
}

void CNameLimitDlg::OnPreset(int iMode) {
    const int value = dialog::LimitPresetValue(iMode);
    if (value >= 0) m_pEdit->setText(QString::number(value));
    m_pEdit->setFocus(Qt::OtherFocusReason);
}

void CNameLimitDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_pEdit->setFocus(Qt::OtherFocusReason);
    m_pEdit->selectAll();
}

void CNameLimitDlg::Message(const QString& text) {
    ShowDlgMessage(this, m_message, text);
}

void CNameLimitDlg::accept() {
    int value = 0;
    DlgMessageHost host([this](const QString& text) { Message(text); });
    // Only ASCII digits pass, so the UTF-8 bytes serve the check as well as CP932 would.
    if (!dialog::ParseLimitField(m_pEdit->text().toStdString(), &value, &host)) {
        m_pEdit->setFocus(Qt::OtherFocusReason);
        m_pEdit->selectAll();
        return;
    }
    m_iLimitSize = value;
    m_iLimitMode = m_pButtons->checkedId() >= 0 ? m_pButtons->checkedId() : 0;
    QDialog::accept();
}

}  // namespace dov
