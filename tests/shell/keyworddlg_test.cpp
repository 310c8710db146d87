// The keyword dialog: its set-up per command, the focus on opening, the refusals on OK, and the
// way its values reach the session (OK writes, Cancel leaves).
#include "shell/keyworddlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "dlgtest_support.h"

using dlgtest::Sj;
using dov::CKeyWordDlg;

namespace {

QString U8(const char* s) {
    return QString::fromUtf8(s);
}

dov::KeyWordSettings Keys(const char* k1, const char* k2 = "", const char* k3 = "", int wild = 0,
                          int all = 0) {
    dov::KeyWordSettings k;
    k.Key1 = Sj(k1);
    k.Key2 = Sj(k2);
    k.Key3 = Sj(k3);
    k.UseWildCard = wild;
    k.EnableAllTarget = all;
    return k;
}

}  // namespace

class KeyWordDlgTest : public QObject {
    Q_OBJECT
  private slots:
    void setUpPerCommand_data();
    void setUpPerCommand();
    void commandsWithoutKeywordsLeaveTheDialogAlone();
    void openingFocusesAndSelectsTheFirstField();
    void disabledCheckBoxesKeepTheirState();
    void emptyKeywordsAreRefused_data();
    void emptyKeywordsAreRefused();
    void anyTypedCharacterIsTaken();
    void untouchedFieldsKeepTheirBytes();
    void okWritesAndCancelLeavesTheSession();
    void replaceWithoutSearchTextStartsNothing();
    void cutCommandsDoNotStartWhileBusy();
    void cutThroughTheDialogEditsTheNames();
    void typedWaveDashFindsAndReplaces();
};

void KeyWordDlgTest::setUpPerCommand_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("labels");  // one per shown field
    QTest::addColumn<bool>("wild");
    QTest::addColumn<bool>("all");
    const QStringList one{U8("指定文字列")};
    const QStringList two{U8("指定文字列１"), U8("指定文字列２")};
    QTest::newRow("2021") << 2021 << U8("キーワードの入力： 指定文字列より左側をカット") << one
                          << true << false;
    QTest::newRow("2022") << 2022 << U8("キーワードの入力： 指定文字列より右側をカット") << one
                          << true << false;
    QTest::newRow("2023") << 2023 << U8("キーワードの入力： 指定文字列を消去") << one << true
                          << true;
    QTest::newRow("2024") << 2024 << U8("キーワードの入力： 二つの指定文字列の区間を削除") << two
                          << true << true;
    QTest::newRow("2025") << 2025 << U8("キーワードの入力： 二つの指定文字列の区間を削除") << two
                          << true << true;
    QTest::newRow("2031") << 2031 << U8("キーワードの入力： 指定文字列を先頭に追加") << one << false
                          << false;
    QTest::newRow("2032") << 2032 << U8("キーワードの入力： 指定文字列を後方に追加") << one << false
                          << false;
    QTest::newRow("2033") << 2033 << U8("キーワードの入力： 指定文字列をキーワードの直前に追加")
                          << two << true << true;
    QTest::newRow("2034") << 2034 << U8("キーワードの入力： 指定文字列をキーワードの直後に追加")
                          << two << true << true;
    QTest::newRow("2005") << 2005 << U8("指定文字列を含むファイルを選択")
                          << QStringList{U8("検索する文字列")} << true << false;
    QTest::newRow("2006") << 2006 << U8("文字列の置換")
                          << QStringList{U8("検索する文字列"), U8("置き換えるの文字列")} << true
                          << true;
}

void KeyWordDlgTest::setUpPerCommand() {
    QFETCH(int, id);
    QFETCH(QString, title);
    QFETCH(QStringList, labels);
    QFETCH(bool, wild);
    QFETCH(bool, all);
    CKeyWordDlg dlg;
    QVERIFY(dov::SetUpKeyWordDlg(dlg, id));
    QCOMPARE(dlg.windowTitle(), title);
    QCOMPARE(dlg.FieldNum(), labels.size());
    for (int i = 0; i < 3; ++i) {
        const bool shown = i < labels.size();
        QCOMPARE(!dlg.KeyLabel(i)->isHidden(), shown);
        QCOMPARE(!dlg.KeyEdit(i)->isHidden(), shown);
        if (shown) QCOMPARE(dlg.KeyLabel(i)->text(), labels[i]);
    }
    QCOMPARE(dlg.WildCardCheck()->isEnabled(), wild);
    QCOMPARE(dlg.AllTargetCheck()->isEnabled(), all);
    QCOMPARE(dlg.WildCardCheck()->text(), U8("ワイルドカードを使う"));
    QCOMPARE(dlg.AllTargetCheck()->text(), U8("ヒットするキーを全て対象にする"));
}

void KeyWordDlgTest::commandsWithoutKeywordsLeaveTheDialogAlone() {
    CKeyWordDlg dlg;
    for (int id : {2008, 2011, 2012, 2026, 2041, 2045, 2047, 2009, 2010}) {
        QVERIFY(!dov::SetUpKeyWordDlg(dlg, id));
    }
    // The dialog as it comes: three fields, the default title and labels.
    QCOMPARE(dlg.windowTitle(), U8("キーワードの入力"));
    QCOMPARE(dlg.KeyLabel(0)->text(), U8("キーワード1"));
    QCOMPARE(dlg.KeyLabel(1)->text(), U8("キーワード2"));
    QCOMPARE(dlg.KeyLabel(2)->text(), U8("キーワード3"));
    // Three fields labelled for insertion.
    dlg.SetFieldNum(3);
    QCOMPARE(dlg.KeyLabel(2)->text(), U8("挿入文字列"));
    QVERIFY(!dlg.KeyEdit(2)->isHidden());
}

void KeyWordDlgTest::openingFocusesAndSelectsTheFirstField() {
    CKeyWordDlg dlg;
    dov::SetUpKeyWordDlg(dlg, 2024);
    dlg.SetKeyWords(Keys("前の語", "後"));
    dlg.KeyEdit(1)->setFocus();
    dlg.show();
    QCOMPARE(dlg.focusWidget(), dlg.KeyEdit(0));
    QCOMPARE(dlg.KeyEdit(0)->selectedText(), U8("前の語"));
    QCOMPARE(dlg.KeyEdit(1)->text(), U8("後"));
}

void KeyWordDlgTest::disabledCheckBoxesKeepTheirState() {
    // 2031 offers neither box: both keep their last state through OK.
    CKeyWordDlg dlg;
    dov::SetUpKeyWordDlg(dlg, 2031);
    dlg.SetKeyWords(Keys("x", "", "", 1, 1));
    QVERIFY(dlg.WildCardCheck()->isChecked());
    QVERIFY(dlg.AllTargetCheck()->isChecked());
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    dov::KeyWordSettings out;
    out.EffectSubItem = 1;
    dlg.GetKeyWords(&out);
    QCOMPARE(out.UseWildCard, 1);
    QCOMPARE(out.EnableAllTarget, 1);
    QCOMPARE(out.EffectSubItem, 1);  // not the dialog's

    // 2021 offers only the wildcard box: unticking it is taken, the other keeps its state.
    CKeyWordDlg dlg2;
    dov::SetUpKeyWordDlg(dlg2, 2021);
    dlg2.SetKeyWords(Keys("x", "", "", 1, 1));
    QTest::mouseClick(dlg2.WildCardCheck(), Qt::LeftButton);
    QTest::mouseClick(dlg2.AllTargetCheck(), Qt::LeftButton);  // disabled: no effect
    dlg2.accept();
    dlg2.GetKeyWords(&out);
    QCOMPARE(out.UseWildCard, 0);
    QCOMPARE(out.EnableAllTarget, 1);
}

void KeyWordDlgTest::emptyKeywordsAreRefused_data() {
    QTest::addColumn<int>("fields");
    QTest::addColumn<QString>("k1");
    QTest::addColumn<QString>("k2");
    QTest::addColumn<QString>("k3");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("one field, empty") << 1 << ""
                                      << "ignored"
                                      << "" << false;
    QTest::newRow("one field, filled") << 1 << "a"
                                       << ""
                                       << "" << true;
    QTest::newRow("two fields, both empty") << 2 << ""
                                            << ""
                                            << "" << false;
    QTest::newRow("two fields, second only") << 2 << ""
                                             << "b"
                                             << "" << true;
    QTest::newRow("two fields, first only") << 2 << "a"
                                            << ""
                                            << "" << true;
    QTest::newRow("three fields, third only") << 3 << ""
                                              << ""
                                              << "c" << false;
}

void KeyWordDlgTest::emptyKeywordsAreRefused() {
    QFETCH(int, fields);
    QFETCH(QString, k1);
    QFETCH(QString, k2);
    QFETCH(QString, k3);
    QFETCH(bool, accepted);
    CKeyWordDlg dlg;
    QStringList messages;
    dlg.SetMessageFunction([&](const QString& t) { messages << t; });
    dlg.SetFieldNum(fields);
    dlg.SetKeyWords(Keys("old1", "old2", "old3"));
    dlg.show();
    dlg.KeyEdit(0)->setText(k1);
    dlg.KeyEdit(1)->setText(k2);
    dlg.KeyEdit(2)->setText(k3);
    dlg.accept();
    QCOMPARE(dlg.result() == QDialog::Accepted, accepted);
    QCOMPARE(dlg.isVisible(), !accepted);
    dov::KeyWordSettings out;
    dlg.GetKeyWords(&out);
    if (accepted) {
        QVERIFY(messages.isEmpty());
        QCOMPARE(out.Key1, k1.toStdString());
        QCOMPARE(out.Key2, k2.toStdString());
    } else {
        QCOMPARE(messages, QStringList{U8("キーワードサイズが無効です")});
        QCOMPARE(out.Key1, std::string("old1"));  // nothing taken from a refused dialog
        QCOMPARE(dlg.focusWidget(), dlg.KeyEdit(0));
    }
}

void KeyWordDlgTest::anyTypedCharacterIsTaken() {
    CKeyWordDlg dlg;
    QStringList messages;
    dlg.SetMessageFunction([&](const QString& t) { messages << t; });
    dlg.SetFieldNum(2);
    dlg.SetKeyWords(Keys("a", "b"));
    dlg.show();
    // 〜 é ♥ and an emoji go through the name bridge; Japanese text stays as it was.
    for (const char* typed : {"\u301c\u00e9\u2665\U0001F600", "写真ー～"}) {
        dlg.KeyEdit(1)->setText(U8(typed));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        dov::KeyWordSettings out;
        dlg.GetKeyWords(&out);
        QCOMPARE(out.Key2, *dov::Utf8ToCp932(typed));
    }
    QVERIFY(messages.isEmpty());
    // Only a lone surrogate, which stands for no character, is refused and named.
    dlg.setResult(0);
    dlg.KeyEdit(1)->setText(QString(QChar(0xD800)));
    dlg.accept();
    QVERIFY(dlg.result() != QDialog::Accepted);
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].contains(U8("Shift_JIS")));
    QCOMPARE(dlg.focusWidget(), dlg.KeyEdit(1));
}

void KeyWordDlgTest::untouchedFieldsKeepTheirBytes() {
    // A keyword from the settings file may hold bytes that are no valid CP932 (a lone lead
    // byte). Shown escaped, it must come back unchanged when the user does not touch it.
    dov::KeyWordSettings keys = Keys("a");
    keys.Key2 = "x\x81";
    keys.Key3 = "\xFF\xFE";
    CKeyWordDlg dlg;
    dlg.SetFieldNum(1);
    dlg.SetKeyWords(keys);
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    dov::KeyWordSettings out;
    dlg.GetKeyWords(&out);
    QCOMPARE(out.Key2, std::string("x\x81"));
    QCOMPARE(out.Key3, std::string("\xFF\xFE"));
}

void KeyWordDlgTest::okWritesAndCancelLeavesTheSession() {
    dlgtest::Fixture fx;
    dov::CSession& s = *fx.session;
    s.KeyWords() = Keys("k1", "k2", "k3", 0, 0);
    s.KeyWords().EffectSubItem = 1;

    int shown = 0;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CKeyWordDlg>(
        [](CKeyWordDlg& d) {
            QCOMPARE(d.windowTitle(), U8("キーワードの入力： 指定文字列をキーワードの直前に追加"));
            QCOMPARE(d.KeyEdit(0)->text(), U8("k1"));  // the last values are shown
            d.KeyEdit(0)->setText(U8("変更"));
            d.WildCardCheck()->setChecked(true);
            d.reject();
        },
        &shown);
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2033, ui));
    QCOMPARE(shown, 1);
    QCOMPARE(s.KeyWords().Key1, std::string("k1"));
    QCOMPARE(s.KeyWords().UseWildCard, 0);

    ui.runDialog = dlgtest::Play<CKeyWordDlg>([](CKeyWordDlg& d) {
        d.KeyEdit(0)->setText(U8("変更"));
        d.KeyEdit(1)->setText(U8("#"));
        d.WildCardCheck()->setChecked(true);
        d.AllTargetCheck()->setChecked(true);
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2033, ui));
    QCOMPARE(s.KeyWords().Key1, Sj("変更"));
    QCOMPARE(s.KeyWords().Key2, std::string("#"));
    QCOMPARE(s.KeyWords().Key3, std::string("k3"));
    QCOMPARE(s.KeyWords().UseWildCard, 1);
    QCOMPARE(s.KeyWords().EnableAllTarget, 1);
    QCOMPARE(s.KeyWords().EffectSubItem, 1);
}

void KeyWordDlgTest::replaceWithoutSearchTextStartsNothing() {
    dlgtest::Fixture fx;
    dov::CSession& s = *fx.session;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CKeyWordDlg>([](CKeyWordDlg& d) {
        d.KeyEdit(0)->clear();
        d.KeyEdit(1)->setText("b");
        d.accept();
    });
    // The dialog takes a lone replacement text (the pair is not empty) ...
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2006, ui));
    QCOMPARE(s.KeyWords().Key2, std::string("b"));
    // ... but only "置換" refuses to run without a search text; the paste commands run.
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2033, ui));
}

void KeyWordDlgTest::cutCommandsDoNotStartWhileBusy() {
    dlgtest::Fixture fx;
    dov::CSession& s = *fx.session;
    int shown = 0;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CKeyWordDlg>([](CKeyWordDlg& d) { d.accept(); }, &shown);
    s.KeyWords() = Keys("k");
    s.flags.busy = true;
    for (int id : {2021, 2022, 2023}) QVERIFY(!dov::PrepareListCommand(nullptr, s, id, ui));
    QCOMPARE(shown, 0);
    // The others ask and leave the waiting to the worker.
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2024, ui));
    QCOMPARE(shown, 1);
    s.flags.busy = false;
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2021, ui));
}

void KeyWordDlgTest::cutThroughTheDialogEditsTheNames() {
    dlgtest::Fixture fx({"photo_2004.jpg", "a_b_c.txt"});
    dov::CSession& s = *fx.session;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CKeyWordDlg>([](CKeyWordDlg& d) {
        d.KeyEdit(0)->setText("_");
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2023, ui));
    QVERIFY(s.RunListCommand(2023) > 0);
    // Rows are sorted by name: a_b_c.txt first. Without "all hits" only the first "_" goes.
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{"ab_c.txt", "photo2004.jpg"}));
    QVERIFY(fx.front.messages.empty());
}

void KeyWordDlgTest::typedWaveDashFindsAndReplaces() {
    // 〜 (U+301C, what input methods on Linux type) beside ～ (U+FF5E, which CP932 holds).
    dlgtest::Fixture fx({"a\u301cb.mp4", "c\uff5ed.mp4", "plain.mp4"});
    dov::CSession& s = *fx.session;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<CKeyWordDlg>([](CKeyWordDlg& d) {
        d.KeyEdit(0)->setText(U8("\u301c"));
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2005, ui));  // select the names holding it
    s.RunListCommand(2005);
    QCOMPARE(s.SelectedRows(), (std::vector<int>{0}));
    ui.runDialog = dlgtest::Play<CKeyWordDlg>([](CKeyWordDlg& d) {
        d.KeyEdit(0)->setText(U8("\u301c"));
        d.KeyEdit(1)->setText(U8(" \u2665 "));
        d.accept();
    });
    s.SelectAll();
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2006, ui));
    QVERIFY(s.RunListCommand(2006) > 0);
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{*dov::Utf8ToCp932("a \u2665 b.mp4"),
                                                      Sj("c～d.mp4"), "plain.mp4"}));
    QCOMPARE(dov::Cp932ToQString(fx.NewNames()[0]), U8("a \u2665 b.mp4"));
}

QTEST_MAIN(KeyWordDlgTest)
#include "keyworddlg_test.moc"
