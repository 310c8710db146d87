#include "shell/serialdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/qttext.h"

namespace dov {

namespace {

// White text on orange while enabled, on grey while disabled; the widget switches by itself.
void PaintField(QWidget* w) {
    QPalette p = w->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor back =
            g == QPalette::Disabled ? CSerialDlg::DisabledBack() : CSerialDlg::EnabledBack();
        for (QPalette::ColorRole r : {QPalette::Base, QPalette::Button, QPalette::Window})
            p.setColor(g, r, back);
        for (QPalette::ColorRole r : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
            p.setColor(g, r, Qt::white);
    }
    w->setPalette(p);
    w->setAutoFillBackground(true);
    // A closed list is drawn as a shaded button by the styles; a style sheet keeps it flat in
    // the same colours as the edit fields.
    if (qobject_cast<QComboBox*>(w)) {
        auto rgb = [](const QColor& c) {
            return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
        };
        w->setStyleSheet(
            QStringLiteral(
                "QComboBox { color: white; background-color: %1; border: 1px solid gray; }"
                "QComboBox:disabled { background-color: %2; }")
                .arg(rgb(CSerialDlg::EnabledBack()), rgb(CSerialDlg::DisabledBack())));
    }
}

}  // namespace

CSerialDlg::CSerialDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(U8("連番付けの設定"));

    auto makeGroup = [this](Group g, const QString& caption,
                            std::initializer_list<const char*> texts,
                            QVBoxLayout** ppBox) { return MakeGroup(g, caption, texts, ppBox); };
    auto makeEdit = [this]() {
        auto* e = new QLineEdit(this);
        PaintField(e);
        return e;
    };

    QVBoxLayout* v = nullptr;
    QGroupBox* pos = makeGroup(
        kPos, U8("挿入位置"),
        {"左端", "右端", "拡張子前", "キー直前", "キー直後", "キーの間を入換", "キーと間を入換"},
        &v);
    m_pWildCard = new QCheckBox(U8("ワイルドカードの使用"), pos);
    m_pKey1 = makeEdit();
    m_pKey2 = makeEdit();
    v->addWidget(m_pWildCard);
    auto* keys = new QFormLayout;
    keys->addRow(U8("Keyword 1"), m_pKey1);
    keys->addRow(U8("Keyword 2"), m_pKey2);
    v->addLayout(keys);

    QGroupBox* sep = makeGroup(kSep, U8("区切り"), {"無し", "左のみ", "右のみ", "左右両方"}, &v);
    m_pSepL = makeEdit();
    m_pSepR = makeEdit();
    auto* seps = new QFormLayout;
    seps->addRow(U8("左の区切"), m_pSepL);
    seps->addRow(U8("右の区切"), m_pSepR);
    v->addLayout(seps);

    QGroupBox* upDown =
        makeGroup(kUpDown, U8("昇順／降順"), {"昇順（0→1→2...）", "降順（...2→1→0）"}, &v);

    QGroupBox* delta = makeGroup(kDelta, U8("変化量"), {"標準（変化量=1）", "変化量を指定"}, &v);
    m_pDelta = makeEdit();
    v->addWidget(m_pDelta);

    QGroupBox* preset = makeGroup(kPreset, U8("先頭データの初期値"),
                                  {"初期値は0", "初期値はIndex値", "初期値を指定"}, &v);
    m_pPreset = makeEdit();
    auto* presetRow = new QFormLayout;
    presetRow->addRow(U8("指定初期値："), m_pPreset);
    v->addLayout(presetRow);

    QGroupBox* digit = makeGroup(kDigit, U8("桁数設定"), {"桁数指定無し", "桁数指定"}, &v);
    m_pDigit = new QComboBox(this);
    for (int i = 1; i <= 8; ++i) m_pDigit->addItem(QString::number(i));
    PaintField(m_pDigit);
    auto* digitRow = new QFormLayout;
    digitRow->addRow(U8("設定桁数："), m_pDigit);
    v->addLayout(digitRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSerialDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSerialDlg::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(pos, 0, 0, 2, 1);
    grid->addWidget(sep, 2, 0, 2, 1);
    grid->addWidget(upDown, 0, 1);
    grid->addWidget(delta, 1, 1);
    grid->addWidget(preset, 2, 1);
    grid->addWidget(digit, 3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    SetSettings(SerialSettings{});
}

QGroupBox* CSerialDlg::MakeGroup(Group g, const QString& caption,
                                 std::initializer_list<const char*> texts, QVBoxLayout** ppBox) {
    auto* box = new QGroupBox(caption, this);
    auto* v = new QVBoxLayout(box);
    auto* buttons = new QButtonGroup(this);
    int id = 0;
    for (const char* t : texts) {
        auto* radio = new QRadioButton(U8(t), box);
        buttons->addButton(radio, id++);
        v->addWidget(radio);
    }
    connect(buttons, &QButtonGroup::idToggled, this, [this](int, bool) { ApplyEnables(); });
    m_groups[g] = buttons;
    *ppBox = v;
    return box;
}

QRadioButton* CSerialDlg::Radio(Group g, int value) const {
    return qobject_cast<QRadioButton*>(m_groups[g]->button(value));
}

void CSerialDlg::SetSerialDlgMode(Mode mode) {
    m_mode = mode;
    if (m_mode == kStartOnly) {
        m_settings.PresetType = PRE_MANUAL;
        m_groups[kPreset]->button(PRE_MANUAL)->setChecked(true);
    }
    ApplyEnables();
}

void CSerialDlg::SetSettings(const SerialSettings& s) {
    m_settings = s;
    dialog::ResetSerialRange(m_settings);
    if (m_mode == kStartOnly) m_settings.PresetType = PRE_MANUAL;
    m_groups[kPos]->button(m_settings.InsertPosType)->setChecked(true);
    m_groups[kSep]->button(m_settings.SeparateType)->setChecked(true);
    m_groups[kUpDown]->button(m_settings.UpDownType)->setChecked(true);
    m_groups[kDelta]->button(m_settings.DeltaType)->setChecked(true);
    m_groups[kPreset]->button(m_settings.PresetType)->setChecked(true);
    m_groups[kDigit]->button(m_settings.DigitType)->setChecked(true);
    m_pWildCard->setChecked(m_settings.UseWildCard != 0);
    m_key1.Fill(m_pKey1, m_settings.InsertPosKey1);
    m_key2.Fill(m_pKey2, m_settings.InsertPosKey2);
    m_sepL.Fill(m_pSepL, m_settings.SeparateStrL);
    m_sepR.Fill(m_pSepR, m_settings.SeparateStrR);
    m_pDelta->setText(QString::number(m_settings.DeltaSize));
    m_pPreset->setText(QString::number(m_settings.PresetData));
    m_pDigit->setCurrentIndex(m_settings.DigitSize - 1);
    ApplyEnables();
}

SerialSettings CSerialDlg::ChoicesFromButtons() const {
    SerialSettings c = m_settings;
    auto take = [this](Group g, int* pValue) {
        const int id = m_groups[g] ? m_groups[g]->checkedId() : -1;
        if (id >= 0) *pValue = id;
    };
    take(kPos, &c.InsertPosType);
    take(kSep, &c.SeparateType);
    take(kUpDown, &c.UpDownType);
    take(kDelta, &c.DeltaType);
    take(kPreset, &c.PresetType);
    take(kDigit, &c.DigitType);
    return c;
}

void CSerialDlg::ApplyEnables() {
    // Called while the constructor is still adding the groups.
    for (QButtonGroup* g : m_groups)
        if (!g) return;
    if (!m_pDigit) return;
    const SerialDialogEnables e = dialog::SerialEnables(ChoicesFromButtons());
    m_pKey1->setEnabled(e.key1);
    m_pWildCard->setEnabled(e.wildCard);
    m_pKey2->setEnabled(e.key2);
    m_pSepL->setEnabled(e.sepLeft);
    m_pSepR->setEnabled(e.sepRight);
    m_pDelta->setEnabled(e.delta);
    m_pPreset->setEnabled(e.preset);
    m_pDigit->setEnabled(e.digit);
    const bool full = m_mode == kFull;
    for (Group g : {kUpDown, kDelta})
        for (QAbstractButton* b : m_groups[g]->buttons()) b->setEnabled(full);
}

void CSerialDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_mode == kStartOnly) {
        m_pPreset->setFocus(Qt::OtherFocusReason);
        m_pPreset->selectAll();
    }
}

void CSerialDlg::Message(const QString& text) {
    ShowDlgMessage(this, m_message, text);
}

void CSerialDlg::accept() {
    SerialSettings s = ChoicesFromButtons();
    // The keyword fields count only where the position uses them; the separators always.
    struct Text {
        QLineEdit* edit;
        const Cp932Field* field;
        std::string* target;
    };
    const Text texts[] = {{m_pKey1, &m_key1, &s.InsertPosKey1},
                          {m_pKey2, &m_key2, &s.InsertPosKey2},
                          {m_pSepL, &m_sepL, &s.SeparateStrL},
                          {m_pSepR, &m_sepR, &s.SeparateStrR}};
    for (const Text& t : texts) {
        if ((t.edit == m_pKey1 || t.edit == m_pKey2) && !t.edit->isEnabled()) continue;
        QString refusal;
        if (!t.field->Read(t.edit, t.target, &refusal)) {
            Message(refusal);
            t.edit->setFocus(Qt::OtherFocusReason);
            t.edit->selectAll();
            return;
        }
    }
    s.UseWildCard = m_pWildCard->isChecked() ? 1 : 0;
    if (!m_pDelta->text().isEmpty())
        s.DeltaSize = dialog::ParseLeadingInt(m_pDelta->text().toStdString());
    if (!m_pPreset->text().isEmpty())
        s.PresetData = dialog::ParseLeadingInt(m_pPreset->text().toStdString());
    const int top = m_pDigit->currentIndex();
    s.DigitSize = top >= 0 ? top + 1 : 3;
    m_settings = s;
    QDialog::accept();
}

}  // namespace dov
