#include "shell/keyworddlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/codepage.h"
#include "session/session.h"
#include "shell/qttext.h"

namespace dov {

MsgAnswer DlgMessageHost::Message(const std::string& text, MsgKind kind, MsgIcon,
                                  const std::string&) {
    if (m_fn) m_fn(Cp932ToQString(text));
    return kind == MsgKind::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

QString Cp932ToQString(const std::string& cp932) {
    return ToQt(cp932);
}

bool QStringToCp932(const QString& text, std::string* pOut, QString* pRefusal) {
    if (auto cp = FromQt(text)) {
        if (pOut) *pOut = std::move(*cp);
        return true;
    }
    // Only a lone surrogate that stands for no byte of the disk fails: name it.
    QString bad;
    for (const QChar c : text) {
        if (c.isSurrogate() && !FromQt(QString(c))) {
            bad = QString(c);
            break;
        }
    }
    if (pRefusal)
        *pRefusal =
            U8("入力された文字列に Shift_JIS で表せない文字「%1」が含まれています").arg(bad);
    return false;
}

void Cp932Field::Fill(QLineEdit* edit, const std::string& cp932) {
    m_bytes = cp932;
    m_shown = Cp932ToQString(cp932);
    edit->setText(m_shown);
}

bool Cp932Field::Read(const QLineEdit* edit, std::string* pOut, QString* pRefusal) const {
    const QString text = edit->text();
    if (text == m_shown) {
        if (pOut) *pOut = m_bytes;
        return true;
    }
    return QStringToCp932(text, pOut, pRefusal);
}

CKeyWordDlg::CKeyWordDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(U8("キーワードの入力"));
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        auto* edit = new QLineEdit(this);
        label->setBuddy(edit);
        grid->addWidget(label, i, 0);
        grid->addWidget(edit, i, 1);
        m_labels[static_cast<std::size_t>(i)] = label;
        m_edits[static_cast<std::size_t>(i)] = edit;
    }
    grid->setColumnStretch(1, 1);
    m_pWildCard = new QCheckBox(U8("ワイルドカードを使う"), this);
    m_pAllTarget = new QCheckBox(U8("ヒットするキーを全て対象にする"), this);
    m_pRegExp = new QCheckBox(U8("正規表現"), this);
    m_pRegExp->setEnabled(false);
    connect(m_pRegExp, &QCheckBox::toggled, this,
            [this](bool on) { m_pWildCard->setEnabled(m_bWildCardEnabled && !on); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CKeyWordDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CKeyWordDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_pWildCard);
    layout->addWidget(m_pAllTarget);
    layout->addWidget(m_pRegExp);
    layout->addWidget(buttons);
    setMinimumWidth(420);

    m_labels[0]->setText(U8("キーワード1"));
    m_labels[1]->setText(U8("キーワード2"));
    m_labels[2]->setText(U8("キーワード3"));
}

void CKeyWordDlg::SetFieldNum(int iNum) {
    m_iFieldNum = iNum < 1 ? 1 : (iNum > 3 ? 3 : iNum);
    if (m_iFieldNum == 1) {
        m_labels[0]->setText(U8("指定文字列"));
    } else {
        m_labels[0]->setText(U8("指定文字列１"));
        m_labels[1]->setText(U8("指定文字列２"));
        m_labels[2]->setText(U8("挿入文字列"));
    }
    for (int i = 0; i < 3; ++i) {
        const bool shown = i < m_iFieldNum;
        m_labels[static_cast<std::size_t>(i)]->setVisible(shown);
        m_edits[static_cast<std::size_t>(i)]->setVisible(shown);
    }
}

void CKeyWordDlg::SetLabel(int index, const QString& text) {
    if (index >= 0 && index < 3) m_labels[static_cast<std::size_t>(index)]->setText(text);
}

void CKeyWordDlg::SetCheckEnables(bool bWildCard, bool bAllTarget) {
    m_bWildCardEnabled = bWildCard;
    m_pWildCard->setEnabled(bWildCard && !(m_pRegExp->isEnabled() && m_pRegExp->isChecked()));
    m_pAllTarget->setEnabled(bAllTarget);
}

void CKeyWordDlg::SetRegExpEnable(bool bRegExp) {
    m_pRegExp->setEnabled(bRegExp);
    m_pWildCard->setEnabled(m_bWildCardEnabled && !(bRegExp && m_pRegExp->isChecked()));
}

void CKeyWordDlg::SetKeyWords(const KeyWordSettings& keys) {
    m_keys = keys;
    m_fields[0].Fill(m_edits[0], keys.Key1);
    m_fields[1].Fill(m_edits[1], keys.Key2);
    m_fields[2].Fill(m_edits[2], keys.Key3);
    m_pWildCard->setChecked(keys.UseWildCard != 0);
    m_pAllTarget->setChecked(keys.EnableAllTarget != 0);
    m_pRegExp->setChecked(keys.UseRegExp != 0);
    m_pWildCard->setEnabled(m_bWildCardEnabled && !(m_pRegExp->isEnabled() && keys.UseRegExp));
}

void CKeyWordDlg::GetKeyWords(KeyWordSettings* pKeys) const {
    if (!pKeys) return;
    pKeys->Key1 = m_keys.Key1;
    pKeys->Key2 = m_keys.Key2;
    pKeys->Key3 = m_keys.Key3;
    pKeys->UseWildCard = m_keys.UseWildCard;
    pKeys->EnableAllTarget = m_keys.EnableAllTarget;
    pKeys->UseRegExp = m_keys.UseRegExp;
}

void CKeyWordDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_edits[0]->setFocus(Qt::OtherFocusReason);
    m_edits[0]->selectAll();
}

void ShowDlgMessage(QWidget* parent, const DlgMessageFn& fn, const QString& text) {
    if (fn) {
        fn(text);
        return;
    }
    QMessageBox box(parent);
    box.setWindowTitle(U8("Dovreth"));
    box.setIcon(QMessageBox::Warning);
    box.setText(text);
    box.exec();
}

void CKeyWordDlg::Message(const QString& text) {
    ShowDlgMessage(this, m_message, text);
}

void CKeyWordDlg::accept() {
    std::array<std::string, 3> texts;
    for (std::size_t i = 0; i < 3; ++i) {
        QString refusal;
        if (!m_fields[i].Read(m_edits[i], &texts[i], &refusal)) {
            Message(refusal);
            m_edits[i]->setFocus(Qt::OtherFocusReason);
            m_edits[i]->selectAll();
            return;
        }
    }
    DlgMessageHost host([this](const QString& text) { Message(text); });
    if (!CheckKeyWordInput(m_iFieldNum, texts[0], texts[1], &host)) {
        m_edits[0]->setFocus(Qt::OtherFocusReason);
        return;
    }
    // A regular expression is checked here, so a bad one is mended before anything runs.
    if (m_pRegExp->isEnabled() && m_pRegExp->isChecked()) {
        std::string err;
        if (!CheckRegexInput(texts[0], m_iFieldNum >= 2 ? texts[1] : std::string(), &err)) {
            Message(Cp932ToQString(err));
            m_edits[0]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    m_keys.Key1 = texts[0];
    m_keys.Key2 = texts[1];
    m_keys.Key3 = texts[2];
    m_keys.UseWildCard = m_pWildCard->isChecked() ? 1 : 0;
    m_keys.EnableAllTarget = m_pAllTarget->isChecked() ? 1 : 0;
    // A box the command does not offer keeps its state.
    if (m_pRegExp->isEnabled()) m_keys.UseRegExp = m_pRegExp->isChecked() ? 1 : 0;
    QDialog::accept();
}

}  // namespace dov
