// The length limit dialog: the presets, the field on opening, the digits-only check, and the
// limit through the session (OK writes, Cancel leaves, the refusal in automatic index mode).
#include "shell/namelimitdlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "dlgtest_support.h"

using dlgtest::Sj;
using dov::CNameLimitDlg;

namespace {

QString U8(const char* s) {
    return QString::fromUtf8(s);
}

void Click(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

}  // namespace

class NameLimitDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void texts();
    void presetsFillTheFieldAndFocusIt();
    void openingShowsTheLastLimit();
    void onlyDigitsAreTaken_data();
    void onlyDigitsAreTaken();
    void okWritesAndCancelLeavesTheSession();
    void limitThroughTheSession();
    void smallLimitIsRefusedInAutomaticIndexMode();
};

void NameLimitDlgTest::texts() {
    CNameLimitDlg dlg;
    QCOMPARE(dlg.windowTitle(), U8("ファイル名の長さ制限"));
    const QStringList radios{U8("長さを指定"), U8("DOS形式"), U8("ISO Level2"), U8("JOLIET"),
                             U8("ROMEO")};
    QCOMPARE(dlg.Buttons()->buttons().size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(dlg.Radio(i)->text(), radios[i]);
        QCOMPARE(qobject_cast<QGroupBox*>(dlg.Radio(i)->parentWidget())->title(), U8("選択"));
    }
}

void NameLimitDlgTest::presetsFillTheFieldAndFocusIt() {
    CNameLimitDlg dlg;
    dlg.SetLimit(50, 0);
    dlg.show();
    const struct {
        int mode;
        const char* value;
    } steps[] = {{1, "12"}, {2, "31"}, {3, "64"}, {4, "124"}, {1, "12"}};
    for (const auto& st : steps) {
        dlg.LimitEdit()->setText("7");
        dlg.Radio(st.mode)->setFocus();
        Click(dlg.Radio(st.mode));
        QCOMPARE(dlg.LimitEdit()->text(), U8(st.value));
        QCOMPARE(dlg.focusWidget(), dlg.LimitEdit());
    }
    // "長さを指定" leaves the typed value.
    dlg.LimitEdit()->setText("99");
    Click(dlg.Radio(0));
    QVERIFY(dlg.Radio(0)->isChecked());
    QCOMPARE(dlg.LimitEdit()->text(), U8("99"));
    QCOMPARE(dlg.focusWidget(), dlg.LimitEdit());
    dlg.accept();
    QCOMPARE(dlg.LimitSize(), 99);
    QCOMPARE(dlg.LimitMode(), 0);
}

void NameLimitDlgTest::openingShowsTheLastLimit() {
    CNameLimitDlg dlg;
    dlg.SetLimit(-4, 3);
    dlg.show();
    QCOMPARE(dlg.LimitEdit()->text(), U8("31"));  // a negative limit shows 31
    QVERIFY(dlg.Radio(3)->isChecked());           // the field is not filled from the radio
    QCOMPARE(dlg.focusWidget(), dlg.LimitEdit());
    QCOMPARE(dlg.LimitEdit()->selectedText(), U8("31"));

    CNameLimitDlg dlg2;
    dlg2.SetLimit(0, 9);  // an unknown mode shows the first button
    QCOMPARE(dlg2.LimitEdit()->text(), U8("0"));
    QVERIFY(dlg2.Radio(0)->isChecked());
}

void NameLimitDlgTest::onlyDigitsAreTaken_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");
    QTest::newRow("digits") << "20" << true << 20;
    QTest::newRow("empty gives 0") << "" << true << 0;
    QTest::newRow("leading zeros") << "007" << true << 7;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("trailing letter") << "12a" << false << 0;
    QTest::newRow("minus") << "-3" << false << 0;
    QTest::newRow("blank") << " 12" << false << 0;
    QTest::newRow("full-width digits") << U8("１２") << false << 0;
}

void NameLimitDlgTest::onlyDigitsAreTaken() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, value);
    CNameLimitDlg dlg;
    QStringList messages;
    dlg.SetMessageFunction([&](const QString& t) { messages << t; });
    dlg.SetLimit(40, 2);
    dlg.show();
    Click(dlg.Radio(0));
    dlg.LimitEdit()->setText(text);
    dlg.accept();
    QCOMPARE(dlg.result() == QDialog::Accepted, accepted);
    if (accepted) {
        QVERIFY(messages.isEmpty());
        QCOMPARE(dlg.LimitSize(), value);
    } else {
        QCOMPARE(messages, QStringList{U8("数字を入力してください")});
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.LimitSize(), 40);
        QCOMPARE(dlg.focusWidget(), dlg.LimitEdit());
    }
}

void NameLimitDlgTest::okWritesAndCancelLeavesTheSession() {
    dlgtest::Fixture fx;
    dov::CSession& s = *fx.session;
    s.settings.limitSize = 40;
    s.settings.limitMode = 0;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CNameLimitDlg>([](CNameLimitDlg& d) {
        QCOMPARE(d.LimitEdit()->text(), U8("40"));
        Click(d.Radio(4));
        d.reject();
    });
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2026, ui));
    QCOMPARE(s.settings.limitSize, 40);
    QCOMPARE(s.settings.limitMode, 0);

    ui.runDialog = dlgtest::Play<CNameLimitDlg>([](CNameLimitDlg& d) {
        Click(d.Radio(4));
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2026, ui));
    QCOMPARE(s.settings.limitSize, 124);
    QCOMPARE(s.settings.limitMode, 4);

    // A refused field, then a good one, in the same opening.
    QStringList messages;
    ui.message = [&](const QString& t) { messages << t; };
    ui.runDialog = dlgtest::Play<CNameLimitDlg>([](CNameLimitDlg& d) {
        d.LimitEdit()->setText("x");
        d.accept();
        d.LimitEdit()->setText("16");
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2026, ui));
    QCOMPARE(messages, QStringList{U8("数字を入力してください")});
    QCOMPARE(s.settings.limitSize, 16);
    QCOMPARE(s.settings.limitMode, 4);  // the button stayed where it was
}

void NameLimitDlgTest::limitThroughTheSession() {
    dlgtest::Fixture fx({"abcdefghij.txt", "short.txt"});
    dov::CSession& s = *fx.session;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CNameLimitDlg>([](CNameLimitDlg& d) {
        Click(d.Radio(1));  // DOS形式: 12
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2026, ui));
    s.RunListCommand(2026);
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{"abcdefgh.txt", "short.txt"}));
    QVERIFY(fx.front.messages.empty());
}

void NameLimitDlgTest::smallLimitIsRefusedInAutomaticIndexMode() {
    dlgtest::Fixture fx({"abcdefghij.txt"});
    dov::CSession& s = *fx.session;
    s.SetAutoIndex(true);
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CNameLimitDlg>([](CNameLimitDlg& d) {
        d.LimitEdit()->setText("7");
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2026, ui));
    s.RunListCommand(2026);
    QCOMPARE(fx.front.messages,
             (std::vector<std::string>{Sj("自動インデックスモードでは使えないサイズです")}));
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{"abcdefghij.txt"}));

    // 12 is allowed: the index prefix takes four of the bytes.
    ui.runDialog = dlgtest::Play<CNameLimitDlg>([](CNameLimitDlg& d) {
        d.LimitEdit()->setText("12");
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2026, ui));
    s.RunListCommand(2026);
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{"abcd.txt"}));
}

QTEST_MAIN(NameLimitDlgTest)
#include "namelimitdlg_test.moc"
