// The serial settings dialog: the enabling rules after every click, the field colours, the
// range resets on opening, the start-value-only mode, what OK reads and what Cancel leaves,
// and the numbering that follows through the session.
#include "shell/serialdlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "dlgtest_support.h"

using dlgtest::Sj;
using dov::CSerialDlg;

namespace {

QString U8(const char* s) {
    return QString::fromUtf8(s);
}

// A click on a button's indicator (a radio button stretched across its group only reacts
// there and on its text, not at its centre).
void Click(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// The colour the widget is drawn with in its middle.
QColor DrawnBack(QWidget* w) {
    const QImage img = w->grab().toImage();
    return img.pixelColor(img.width() / 2, img.height() / 2);
}

}  // namespace

class SerialDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void texts();
    void positionClicksEnableTheKeywordControls();
    void otherGroupsEnableTheirFields();
    void fieldsAreOrangeWhenEnabledAndGreyWhenNot();
    void outOfRangeValuesAreResetOnOpening();
    void valuesAtTheLimitsAreKept();
    void startValueOnlyMode();
    void okReadsTheControls();
    void disabledKeywordFieldsAreNotRead();
    void anyTypedCharacterIsTaken();
    void cancelLeavesTheSettings();
    void startValueCommandsNumberFromTheTypedValue();
    void detailedCommandNumbersWithTheChosenSettings();
};

void SerialDlgTest::texts() {
    CSerialDlg dlg;
    QCOMPARE(dlg.windowTitle(), U8("連番付けの設定"));
    const QStringList captions{U8("挿入位置"),           U8("区切り"),
                               U8("昇順／降順"),         U8("変化量"),
                               U8("先頭データの初期値"), U8("桁数設定")};
    const QList<QStringList> radios{{U8("左端"), U8("右端"), U8("拡張子前"), U8("キー直前"),
                                     U8("キー直後"), U8("キーの間を入換"), U8("キーと間を入換")},
                                    {U8("無し"), U8("左のみ"), U8("右のみ"), U8("左右両方")},
                                    {U8("昇順（0→1→2...）"), U8("降順（...2→1→0）")},
                                    {U8("標準（変化量=1）"), U8("変化量を指定")},
                                    {U8("初期値は0"), U8("初期値はIndex値"), U8("初期値を指定")},
                                    {U8("桁数指定無し"), U8("桁数指定")}};
    for (int g = 0; g < CSerialDlg::kGroupNum; ++g) {
        const auto group = CSerialDlg::Group(g);
        QCOMPARE(dlg.Buttons(group)->buttons().size(), radios[g].size());
        for (int v = 0; v < radios[g].size(); ++v) {
            QCOMPARE(dlg.Radio(group, v)->text(), radios[g][v]);
            auto* box = qobject_cast<QGroupBox*>(dlg.Radio(group, v)->parentWidget());
            QVERIFY(box);
            QCOMPARE(box->title(), captions[g]);
        }
    }
    QCOMPARE(dlg.WildCardCheck()->text(), U8("ワイルドカードの使用"));
    QCOMPARE(dlg.DigitList()->count(), 8);
    QCOMPARE(dlg.DigitList()->itemText(0), U8("1"));
    QCOMPARE(dlg.DigitList()->itemText(7), U8("8"));
}

void SerialDlgTest::positionClicksEnableTheKeywordControls() {
    CSerialDlg dlg;
    dlg.show();
    // Clicks in an order that switches every control on and off at least once.
    for (int pos : {5, 0, 3, 6, 1, 4, 2, 6, 3, 0}) {
        Click(dlg.Radio(CSerialDlg::kPos, pos));
        QVERIFY(dlg.Radio(CSerialDlg::kPos, pos)->isChecked());
        const bool key1 = pos >= 3;
        const bool key2 = pos >= 5;
        QCOMPARE(dlg.Key1Edit()->isEnabled(), key1);
        QCOMPARE(dlg.WildCardCheck()->isEnabled(), key1);
        QCOMPARE(dlg.Key2Edit()->isEnabled(), key2);
    }
}

void SerialDlgTest::otherGroupsEnableTheirFields() {
    CSerialDlg dlg;
    dlg.show();
    for (int sep : {3, 0, 1, 2, 0, 3}) {
        Click(dlg.Radio(CSerialDlg::kSep, sep));
        QCOMPARE(dlg.SepLeftEdit()->isEnabled(), sep == 1 || sep == 3);
        QCOMPARE(dlg.SepRightEdit()->isEnabled(), sep == 2 || sep == 3);
    }
    for (int d : {1, 0, 1}) {
        Click(dlg.Radio(CSerialDlg::kDelta, d));
        QCOMPARE(dlg.DeltaEdit()->isEnabled(), d == 1);
    }
    for (int p : {2, 0, 1, 2, 1}) {
        Click(dlg.Radio(CSerialDlg::kPreset, p));
        QCOMPARE(dlg.PresetEdit()->isEnabled(), p == 2);
    }
    for (int d : {1, 0, 1}) {
        Click(dlg.Radio(CSerialDlg::kDigit, d));
        QCOMPARE(dlg.DigitList()->isEnabled(), d == 1);
    }
    // The groups do not reach into each other: the keyword fields stayed as position 0 has
    // them, and the direction buttons are all usable in full mode.
    QVERIFY(!dlg.Key1Edit()->isEnabled());
    for (QAbstractButton* b : dlg.Buttons(CSerialDlg::kUpDown)->buttons()) QVERIFY(b->isEnabled());
}

void SerialDlgTest::fieldsAreOrangeWhenEnabledAndGreyWhenNot() {
    CSerialDlg dlg;
    dov::SerialSettings s;
    s.InsertPosType = dov::POS_KEYLEFT;  // keyword 1 on, keyword 2 off
    s.SeparateType = dov::SEP_NONE;
    s.DigitType = dov::DIGIT_MANUAL;
    dlg.SetSettings(s);
    dlg.show();
    const QColor orange(208, 104, 0), grey(127, 127, 127);
    QCOMPARE(DrawnBack(dlg.Key1Edit()), orange);
    QCOMPARE(DrawnBack(dlg.Key2Edit()), grey);
    QCOMPARE(DrawnBack(dlg.SepLeftEdit()), grey);
    QCOMPARE(DrawnBack(dlg.DigitList()), orange);
    QCOMPARE(dlg.Key1Edit()->palette().color(QPalette::Active, QPalette::Text), QColor(Qt::white));
    // The colour follows a click.
    Click(dlg.Radio(CSerialDlg::kPos, 0));
    QCOMPARE(DrawnBack(dlg.Key1Edit()), grey);
    Click(dlg.Radio(CSerialDlg::kSep, 3));
    QCOMPARE(DrawnBack(dlg.SepLeftEdit()), orange);
    Click(dlg.Radio(CSerialDlg::kDigit, 0));
    QCOMPARE(DrawnBack(dlg.DigitList()), grey);
    if (!qEnvironmentVariableIsEmpty("DOVRETH_DLG_PICTURE"))
        dlg.grab().save(qEnvironmentVariable("DOVRETH_DLG_PICTURE"));
}

void SerialDlgTest::outOfRangeValuesAreResetOnOpening() {
    dov::SerialSettings s;
    s.InsertPosType = 7;
    s.SeparateType = -1;
    s.UpDownType = 2;
    s.DeltaType = -1;
    s.DeltaSize = 1000001;
    s.PresetType = 3;
    s.PresetData = -10000001;
    s.DigitType = 2;
    s.DigitSize = 9;
    CSerialDlg dlg;
    dlg.SetSettings(s);
    QVERIFY(dlg.Radio(CSerialDlg::kPos, 0)->isChecked());
    QVERIFY(dlg.Radio(CSerialDlg::kSep, 2)->isChecked());  // "右のみ"
    QVERIFY(dlg.Radio(CSerialDlg::kUpDown, 0)->isChecked());
    QVERIFY(dlg.Radio(CSerialDlg::kDelta, 0)->isChecked());
    QCOMPARE(dlg.DeltaEdit()->text(), U8("1"));
    QVERIFY(dlg.Radio(CSerialDlg::kPreset, 0)->isChecked());
    QCOMPARE(dlg.PresetEdit()->text(), U8("0"));
    QVERIFY(dlg.Radio(CSerialDlg::kDigit, 1)->isChecked());  // "桁数指定"
    QCOMPARE(dlg.DigitList()->currentText(), U8("3"));
    // The enabling follows the reset values, not the stored ones.
    QVERIFY(!dlg.SepLeftEdit()->isEnabled());
    QVERIFY(dlg.SepRightEdit()->isEnabled());
    QVERIFY(dlg.DigitList()->isEnabled());

    // The other end of each range.
    s.DigitSize = 0;
    s.DeltaSize = -1000001;
    s.SeparateType = 4;
    dlg.SetSettings(s);
    QCOMPARE(dlg.DigitList()->currentText(), U8("3"));
    QCOMPARE(dlg.DeltaEdit()->text(), U8("1"));
    QVERIFY(dlg.Radio(CSerialDlg::kSep, 2)->isChecked());
}

void SerialDlgTest::valuesAtTheLimitsAreKept() {
    dov::SerialSettings s;
    s.InsertPosType = 6;
    s.SeparateType = 3;
    s.UpDownType = 1;
    s.DeltaType = 1;
    s.DeltaSize = -1000000;
    s.PresetType = 2;
    s.PresetData = 10000000;
    s.DigitType = 0;
    s.DigitSize = 8;
    CSerialDlg dlg;
    dlg.SetSettings(s);
    QVERIFY(dlg.Radio(CSerialDlg::kPos, 6)->isChecked());
    QVERIFY(dlg.Radio(CSerialDlg::kSep, 3)->isChecked());
    QVERIFY(dlg.Radio(CSerialDlg::kUpDown, 1)->isChecked());
    QVERIFY(dlg.Radio(CSerialDlg::kDelta, 1)->isChecked());
    QCOMPARE(dlg.DeltaEdit()->text(), U8("-1000000"));
    QVERIFY(dlg.Radio(CSerialDlg::kPreset, 2)->isChecked());
    QCOMPARE(dlg.PresetEdit()->text(), U8("10000000"));
    QVERIFY(dlg.Radio(CSerialDlg::kDigit, 0)->isChecked());
    QCOMPARE(dlg.DigitList()->currentText(), U8("8"));
    dlg.accept();
    QCOMPARE(dlg.GetSettings().DeltaSize, -1000000);
    QCOMPARE(dlg.GetSettings().PresetData, 10000000);
    QCOMPARE(dlg.GetSettings().DigitSize, 8);
}

void SerialDlgTest::startValueOnlyMode() {
    dov::SerialSettings s;
    s.PresetType = dov::PRE_INDEX;
    s.PresetData = 41;
    s.DeltaType = dov::DELTA_MANUAL;
    CSerialDlg dlg;
    dlg.SetSerialDlgMode(CSerialDlg::kStartOnly);
    dlg.SetSettings(s);
    dlg.show();
    QVERIFY(dlg.Radio(CSerialDlg::kPreset, dov::PRE_MANUAL)->isChecked());
    QVERIFY(dlg.PresetEdit()->isEnabled());
    QCOMPARE(dlg.focusWidget(), dlg.PresetEdit());
    QCOMPARE(dlg.PresetEdit()->selectedText(), U8("41"));
    for (auto g : {CSerialDlg::kUpDown, CSerialDlg::kDelta})
        for (QAbstractButton* b : dlg.Buttons(g)->buttons()) QVERIFY(!b->isEnabled());
    // The rest behaves as in full mode, the step field included.
    QVERIFY(dlg.DeltaEdit()->isEnabled());
    Click(dlg.Radio(CSerialDlg::kPos, 5));
    QVERIFY(dlg.Key2Edit()->isEnabled());
    Click(dlg.Radio(CSerialDlg::kPreset, 0));
    QVERIFY(!dlg.PresetEdit()->isEnabled());
    // ... and the disabled groups stay disabled after other clicks.
    QVERIFY(!dlg.Radio(CSerialDlg::kUpDown, 0)->isEnabled());
    QVERIFY(!dlg.Radio(CSerialDlg::kDelta, 1)->isEnabled());

    // Full mode enables every radio group.
    CSerialDlg full;
    full.SetSerialDlgMode(CSerialDlg::kFull);
    full.SetSettings(s);
    QVERIFY(full.Radio(CSerialDlg::kPreset, dov::PRE_INDEX)->isChecked());
    for (int g = 0; g < CSerialDlg::kGroupNum; ++g)
        for (QAbstractButton* b : full.Buttons(CSerialDlg::Group(g))->buttons())
            QVERIFY(b->isEnabled());
}

void SerialDlgTest::okReadsTheControls() {
    CSerialDlg dlg;
    dlg.SetSettings(dov::SerialSettings{});
    dlg.show();
    Click(dlg.Radio(CSerialDlg::kPos, 5));
    dlg.Key1Edit()->setText(U8("［"));
    dlg.Key2Edit()->setText(U8("]"));
    Click(dlg.WildCardCheck());
    Click(dlg.Radio(CSerialDlg::kSep, 3));
    dlg.SepLeftEdit()->setText(U8("("));
    dlg.SepRightEdit()->setText(U8("）"));
    Click(dlg.Radio(CSerialDlg::kUpDown, 1));
    Click(dlg.Radio(CSerialDlg::kDelta, 1));
    dlg.DeltaEdit()->setText(U8("12abc"));  // the leading digits count
    Click(dlg.Radio(CSerialDlg::kPreset, 2));
    dlg.PresetEdit()->setText(U8("-7"));
    Click(dlg.Radio(CSerialDlg::kDigit, 1));
    dlg.DigitList()->setCurrentIndex(4);
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    const dov::SerialSettings& s = dlg.GetSettings();
    QCOMPARE(s.InsertPosType, dov::POS_KEYBOUND);
    QCOMPARE(s.InsertPosKey1, Sj("［"));
    QCOMPARE(s.InsertPosKey2, std::string("]"));
    QCOMPARE(s.UseWildCard, 1);
    QCOMPARE(s.SeparateType, dov::SEP_BOTH);
    QCOMPARE(s.SeparateStrL, std::string("("));
    QCOMPARE(s.SeparateStrR, Sj("）"));
    QCOMPARE(s.UpDownType, dov::UPDOWN_DOWN);
    QCOMPARE(s.DeltaType, dov::DELTA_MANUAL);
    QCOMPARE(s.DeltaSize, 12);
    QCOMPARE(s.PresetType, dov::PRE_MANUAL);
    QCOMPARE(s.PresetData, -7);
    QCOMPARE(s.DigitType, dov::DIGIT_MANUAL);
    QCOMPARE(s.DigitSize, 5);

    // An empty number field keeps the value; one without leading digits gives 0; no digit
    // entry chosen gives width 3.
    CSerialDlg dlg2;
    dov::SerialSettings in;
    in.DeltaSize = 9;
    in.PresetData = 5;
    in.DigitSize = 7;
    dlg2.SetSettings(in);
    dlg2.DeltaEdit()->clear();
    dlg2.PresetEdit()->setText(U8("abc"));
    dlg2.DigitList()->setCurrentIndex(-1);
    dlg2.accept();
    QCOMPARE(dlg2.GetSettings().DeltaSize, 9);
    QCOMPARE(dlg2.GetSettings().PresetData, 0);
    QCOMPARE(dlg2.GetSettings().DigitSize, 3);
}

void SerialDlgTest::disabledKeywordFieldsAreNotRead() {
    dov::SerialSettings in;
    in.InsertPosType = dov::POS_KEYLEFT;
    in.InsertPosKey1 = "k1";
    in.InsertPosKey2 = "k2";
    in.SeparateType = dov::SEP_NONE;
    CSerialDlg dlg;
    dlg.SetSettings(in);
    dlg.show();
    dlg.Key1Edit()->setText(U8("new1"));
    QVERIFY(!dlg.Key2Edit()->isEnabled());
    dlg.Key2Edit()->setText(U8("new2"));  // typed while disabled: ignored
    dlg.SepLeftEdit()->setText(U8("<"));  // separators are read even while disabled
    dlg.accept();
    QCOMPARE(dlg.GetSettings().InsertPosKey1, std::string("new1"));
    QCOMPARE(dlg.GetSettings().InsertPosKey2, std::string("k2"));
    QCOMPARE(dlg.GetSettings().SeparateStrL, std::string("<"));

    // Position 0 disables both: neither is read.
    CSerialDlg dlg2;
    dlg2.SetSettings(in);
    Click(dlg2.Radio(CSerialDlg::kPos, 0));
    dlg2.Key1Edit()->setText(U8("x"));
    dlg2.accept();
    QCOMPARE(dlg2.GetSettings().InsertPosKey1, std::string("k1"));
    QCOMPARE(dlg2.GetSettings().InsertPosType, dov::POS_LEFT);
}

void SerialDlgTest::anyTypedCharacterIsTaken() {
    CSerialDlg dlg;
    QStringList messages;
    dlg.SetMessageFunction([&](const QString& t) { messages << t; });
    dlg.SetSettings(dov::SerialSettings{});
    dlg.show();
    Click(dlg.Radio(CSerialDlg::kSep, 2));
    // A lone surrogate stands for no character: refused.
    dlg.SepRightEdit()->setText(QString(QChar(0xD800)));
    dlg.accept();
    QVERIFY(dlg.result() != QDialog::Accepted);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(dlg.focusWidget(), dlg.SepRightEdit());
    QCOMPARE(dlg.GetSettings().SeparateStrR, std::string("_"));
    // é goes through the name bridge.
    dlg.SepRightEdit()->setText(U8("\u00e9"));
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.GetSettings().SeparateStrR, *dov::Utf8ToCp932("\u00e9"));
    QCOMPARE(messages.size(), 1);
}

void SerialDlgTest::cancelLeavesTheSettings() {
    dlgtest::Fixture fx;
    dov::CSession& s = *fx.session;
    s.Serial().InsertPosType = 9;  // out of range: shown reset, but kept on Cancel
    s.Serial().PresetType = dov::PRE_INDEX;
    s.Serial().UpDownType = dov::UPDOWN_DOWN;
    const dov::SerialSettings before = s.Serial();
    auto cancel = dlgtest::Play<CSerialDlg>([](CSerialDlg& d) {
        Click(d.Radio(CSerialDlg::kPos, 3));
        d.Key1Edit()->setText("x");
        d.PresetEdit()->setText("77");
        d.reject();
    });
    dov::CommandUi ui;
    ui.runDialog = cancel;
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2047, ui));
    QCOMPARE(s.Serial().InsertPosType, 9);
    QCOMPARE(s.Serial().PresetType, dov::PRE_INDEX);
    QCOMPARE(s.Serial().InsertPosKey1, before.InsertPosKey1);

    // 2045 chose the direction and the given start value before asking; that stays.
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2045, ui));
    QCOMPARE(s.Serial().UpDownType, dov::UPDOWN_UP);
    QCOMPARE(s.Serial().PresetType, dov::PRE_MANUAL);
    QCOMPARE(s.Serial().PresetData, before.PresetData);
    QCOMPARE(s.Serial().InsertPosType, 9);
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2046, ui));
    QCOMPARE(s.Serial().UpDownType, dov::UPDOWN_DOWN);
}

void SerialDlgTest::startValueCommandsNumberFromTheTypedValue() {
    dlgtest::Fixture fx({"a.txt", "b.txt", "c"});
    dov::CSession& s = *fx.session;
    bool sawStartOnly = false;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CSerialDlg>([&](CSerialDlg& d) {
        sawStartOnly =
            d.SerialDlgMode() == CSerialDlg::kStartOnly && d.focusWidget() == d.PresetEdit();
        d.PresetEdit()->setText("998");
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2045, ui));
    QVERIFY(sawStartOnly);
    QCOMPARE(s.Serial().PresetData, 998);
    QCOMPARE(s.RunListCommand(2045), 3);
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{"a998.txt", "b999.txt", "c000"}));
}

void SerialDlgTest::detailedCommandNumbersWithTheChosenSettings() {
    dlgtest::Fixture fx({"a.txt", "b.txt", "c"});
    dov::CSession& s = *fx.session;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CSerialDlg>([](CSerialDlg& d) {
        QVERIFY(d.Radio(CSerialDlg::kDelta, 1)->isEnabled());
        Click(d.Radio(CSerialDlg::kPos, 0));
        Click(d.Radio(CSerialDlg::kSep, 2));
        d.SepRightEdit()->setText("_");
        Click(d.Radio(CSerialDlg::kDigit, 1));
        d.DigitList()->setCurrentIndex(1);
        Click(d.Radio(CSerialDlg::kPreset, 2));
        d.PresetEdit()->setText("98");
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2047, ui));
    QCOMPARE(s.RunListCommand(2047), 3);
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{"98_a.txt", "99_b.txt", "00_c"}));
}

QTEST_MAIN(SerialDlgTest)
#include "serialdlg_test.moc"
