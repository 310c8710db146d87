// The context menus (structure, texts, ids) and the commands that ask nothing or only show a
// message.
#include "shell/commands.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <algorithm>

#include "dlgtest_support.h"
#include "shell/infodlg.h"
#include "support/info_samples.h"

using dlgtest::Sj;

namespace {

QString U8(const char* s) {
    return QString::fromUtf8(s);
}

struct Entry {
    int id;
    const char* text;
};

void CompareEntries(const QMenu* menu, const std::vector<Entry>& want) {
    const QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), qsizetype(want.size()));
    for (std::size_t i = 0; i < want.size(); ++i) {
        const QAction* a = actions[qsizetype(i)];
        QCOMPARE(a->text(), U8(want[i].text));
        QCOMPARE(dov::CommandIdOf(a), want[i].id);
        QVERIFY(a->isEnabled());
        QVERIFY(!a->menu());
    }
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void listMenuStructure();
    void treeMenu();
    void everyMenuIdIsACommand();
    void everyRowWithAMenuEntryIsInAMenu();
    void informationIsShownAndRunsNothing();
    void infoPasteNamesPhotosByDateTaken();
};

void CommandsTest::listMenuStructure() {
    std::unique_ptr<QMenu> menu(dov::BuildListContextMenu(nullptr));
    const QList<QAction*> top = menu->actions();
    QCOMPARE(top.size(), 15);  // the last four: a separator, two submenus, the text editor
    const char* subTitles[] = {"拡張子", "カット", "ペースト", "連番付け"};
    for (int i = 0; i < 4; ++i) {
        QVERIFY(top[i]->menu());
        QCOMPARE(top[i]->text(), U8(subTitles[i]));
        QCOMPARE(dov::CommandIdOf(top[i]), 0);
    }
    CompareEntries(top[0]->menu(), {{2011, "拡張子を削除"}, {2012, "拡張子を復帰"}});
    CompareEntries(top[1]->menu(), {{2021, "指定文字列より左側をカット"},
                                    {2022, "指定文字列より右側をカット"},
                                    {2023, "指定文字列をカット"},
                                    {2024, "指定文字列1,2の区間をカット"},
                                    {2025, "指定文字列1,2(含)の区間をカット"},
                                    {2026, "長さ制限"}});
    CompareEntries(top[2]->menu(), {{2031, "先頭に文字列を追加"},
                                    {2032, "末尾に文字列を追加"},
                                    {2033, "指定文字列の直前に文字列を追加"},
                                    {2034, "指定文字列の直後に文字列を追加"},
                                    {2035, "情報を貼り付け（先頭）"},
                                    {2036, "情報を貼り付け（末尾）"},
                                    {2037, "情報を貼り付け（名前全体）"}});
    CompareEntries(top[3]->menu(), {{2041, "0から昇順で連番付け"},
                                    {2042, "0から降順で連番付け"},
                                    {2043, "1から昇順で連番付け"},
                                    {2044, "1から降順で連番付け"},
                                    {2045, "指定番号から昇順で連番付け"},
                                    {2046, "指定番号から降順で連番付け"},
                                    {2047, "詳細な設定で連番付け"}});
    QCOMPARE(top[4]->text(), U8("検索"));
    QCOMPARE(dov::CommandIdOf(top[4]), 2005);
    QCOMPARE(top[5]->text(), U8("置換"));
    QCOMPARE(dov::CommandIdOf(top[5]), 2006);
    QVERIFY(top[6]->isSeparator());
    QCOMPARE(dov::CommandIdOf(top[6]), 0);
    QCOMPARE(top[7]->text(), U8("元のファイル名に戻す"));
    QCOMPARE(dov::CommandIdOf(top[7]), 2008);
    QCOMPARE(top[8]->text(), U8("全て選択"));
    QCOMPARE(dov::CommandIdOf(top[8]), 2009);
    QCOMPARE(top[9]->text(), U8("情報"));
    QCOMPARE(dov::CommandIdOf(top[9]), 2010);
    QCOMPARE(top[10]->text(), U8("撮影日時順に並べ替え"));
    QCOMPARE(dov::CommandIdOf(top[10]), 2048);
    QCOMPARE(dov::CommandIdOf(nullptr), 0);
}

void CommandsTest::treeMenu() {
    std::unique_ptr<QMenu> menu(dov::BuildTreeContextMenu(nullptr));
    CompareEntries(menu.get(), {{2100, "ツリー構造をテキスト出力"}});
}

void CommandsTest::everyMenuIdIsACommand() {
    // Every entry either asks its dialog (answered with OK at once) or runs without one; none
    // is unknown to the dialog step. Only "情報" runs nothing: its box is the whole command.
    dlgtest::Fixture fx({"a.txt"});
    dov::CSession& s = *fx.session;
    s.KeyWords().Key1.assign(1, 'a');  // (a plain literal trips a false GCC -Wrestrict)
    int dialogs = 0;
    dov::CommandUi ui;
    ui.runDialog = [&](QDialog& d) {
        ++dialogs;
        d.show();
        d.accept();
        return d.result();
    };
    ui.message = [](const QString&) {};
    std::unique_ptr<QMenu> menu(dov::BuildListContextMenu(nullptr));
    QList<QAction*> all;
    for (QAction* a : menu->actions()) {
        if (a->menu())
            all += a->menu()->actions();
        else if (!a->isSeparator())
            all << a;
    }
    QCOMPARE(all.size(), 28 + 11 + 2 + 1);
    const QList<int> withDialog{2021, 2022, 2023, 2024, 2025, 2026, 2031, 2032, 2033, 2034,
                                2035, 2036, 2037, 2045, 2046, 2047, 2005, 2006, 2140};
    for (QAction* a : all) {
        const int id = dov::CommandIdOf(a);
        const int before = dialogs;
        const bool run = dov::PrepareListCommand(nullptr, s, id, ui);
        QCOMPARE(run, id != 2010 && id != 2140);
        QCOMPARE(dialogs - before, withDialog.contains(id) ? 1 : 0);
    }
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 1234, ui));
}

void CommandsTest::everyRowWithAMenuEntryIsInAMenu() {
    std::unique_ptr<QMenu> list(dov::BuildListContextMenu(nullptr));
    std::unique_ptr<QMenu> tree(dov::BuildTreeContextMenu(nullptr));
    QList<QAction*> all = tree->actions();
    for (QAction* a : list->actions()) all += a->menu() ? a->menu()->actions() : QList{a};
    int rows = 0;
    for (const dov::Operation& op : dov::Operations()) {
        if (!op.menuText) continue;
        ++rows;
        const auto hit = std::find_if(all.begin(), all.end(), [&](const QAction* a) {
            return dov::CommandIdOf(a) == op.id && a->text() == U8(op.menuText);
        });
        QVERIFY2(hit != all.end(), op.menuText);
    }
    QVERIFY(rows >= 25);  // the 24 list entries and the tree's one, at least
}

void CommandsTest::informationIsShownAndRunsNothing() {
    dlgtest::Fixture fx({"a.txt", "b.txt"});
    dov::CSession& s = *fx.session;
    QStringList messages;
    dov::CommandUi ui;
    ui.message = [&](const QString& t) { messages << t; };
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2010, ui));
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].startsWith(U8("【アイテム情報】\n\n選択アイテム数 ： 2 \n")));
    QVERIFY(messages[0].contains(U8("ファイル数： 2\n")));

    // Without a message function the box goes to the session's front (the window's host).
    QVERIFY(!dov::PrepareListCommand(nullptr, s, 2010, {}));
    QCOMPARE(fx.front.messages.size(), std::size_t(1));
    QCOMPARE(fx.front.messages[0], s.InfoText());
}

void CommandsTest::infoPasteNamesPhotosByDateTaken() {
    // y.jpg stays empty: no date, so the fallback names it and it is counted.
    dlgtest::Fixture fx({"x.jpg", "y.jpg"});
    {
        QFile f(fx.dir.path() + "/work/x.jpg");
        QVERIFY(f.open(QIODevice::WriteOnly));
        const std::string jpeg = dovtest::MakeJpeg({"2024:05:01 10:30:00", "Cam", 0, 0});
        f.write(jpeg.data(), qint64(jpeg.size()));
    }
    dov::CSession& s = *fx.session;
    const QString tmpl = U8("{exif.date:%Y-%m-%d_%H%M%S|mtime:no date}");
    QString example, preview;
    dov::CommandUi ui;
    ui.runDialog = dlgtest::Play<dov::CInfoDlg>([&](dov::CInfoDlg& d) {
        d.TemplateBox()->setEditText(tmpl);
        example = d.FieldTable()->item(0, 2)->text();
        preview = d.PreviewLabel()->text();
        d.accept();
    });
    QVERIFY(dov::PrepareListCommand(nullptr, s, 2037, ui));
    QCOMPARE(example, U8("20240501_103000"));
    QVERIFY2(preview.endsWith(U8("2024-05-01_103000.jpg")), qPrintable(preview));
    QCOMPARE(s.settings.infoTemplates.front(),
             dlgtest::Sj("{exif.date:%Y-%m-%d_%H%M%S|mtime:no date}"));
    QCOMPARE(s.RunListCommand(2037), 2);
    QCOMPARE(fx.front.messages.size(), std::size_t(1));
    QVERIFY(fx.front.messages[0].find(" no information 1") != std::string::npos);
    QCOMPARE(fx.NewNames(), (std::vector<std::string>{"2024-05-01_103000.jpg", "no date.jpg"}));
}

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
