#include "shell/commands.h"

#include <QAction>
#include <QDialog>
#include <QMenu>

#include "edit/serial_settings.h"
#include "session/session.h"
#include "shell/keyworddlg.h"
#include "shell/namelimitdlg.h"
#include "shell/namestextdlg.h"
#include "shell/qttext.h"
#include "shell/serialdlg.h"

namespace dov {

namespace {

struct KeyWordDlgSetup {
    int id;
    int fieldNum;
    const char* title;
    bool wildCard;
    bool allTarget;
    const char* label1;  // replaces the first label when not null
    const char* label2;  // replaces the second label when not null
};

constexpr KeyWordDlgSetup kKeyWordDlgSetups[] = {
    {CMD_CUT_LEFT, 1, "キーワードの入力： 指定文字列より左側をカット", true, false, nullptr,
     nullptr},
    {CMD_CUT_RIGHT, 1, "キーワードの入力： 指定文字列より右側をカット", true, false, nullptr,
     nullptr},
    {CMD_CUT_KEY, 1, "キーワードの入力： 指定文字列を消去", true, true, nullptr, nullptr},
    {CMD_CUT_BOUND1, 2, "キーワードの入力： 二つの指定文字列の区間を削除", true, true, nullptr,
     nullptr},
    {CMD_CUT_BOUND2, 2, "キーワードの入力： 二つの指定文字列の区間を削除", true, true, nullptr,
     nullptr},
    {CMD_PASTE_LEFT, 1, "キーワードの入力： 指定文字列を先頭に追加", false, false, nullptr,
     nullptr},
    {CMD_PASTE_RIGHT, 1, "キーワードの入力： 指定文字列を後方に追加", false, false, nullptr,
     nullptr},
    {CMD_PASTE_KEY_LEFT, 2, "キーワードの入力： 指定文字列をキーワードの直前に追加", true, true,
     nullptr, nullptr},
    {CMD_PASTE_KEY_RIGHT, 2, "キーワードの入力： 指定文字列をキーワードの直後に追加", true, true,
     nullptr, nullptr},
    {CMD_FIND, 1, "指定文字列を含むファイルを選択", true, false, "検索する文字列", nullptr},
    {CMD_REPLACE, 2, "文字列の置換", true, true, "検索する文字列", "置き換えるの文字列"},
};

const KeyWordDlgSetup* FindKeyWordDlgSetup(int id) {
    for (const KeyWordDlgSetup& k : kKeyWordDlgSetups)
        if (k.id == id) return &k;
    return nullptr;
}

int RunDialog(const CommandUi& ui, QDialog& dlg) {
    return ui.runDialog ? ui.runDialog(dlg) : dlg.exec();
}

bool SerialCommand(QWidget* parent, CSession& s, int id, const CommandUi& ui) {
    CSerialDlg dlg(parent);
    if (ui.message) dlg.SetMessageFunction(ui.message);
    if (id == CMD_SERIAL_DETAIL) {
        dlg.SetSerialDlgMode(CSerialDlg::kFull);
    } else {
        // The direction and the start-value choice stay in the settings even on Cancel.
        PrepareSerialSimple(s.Serial(), id == CMD_SERIAL_FROM_UP);
        dlg.SetSerialDlgMode(CSerialDlg::kStartOnly);
    }
    dlg.SetSettings(s.Serial());
    if (RunDialog(ui, dlg) != QDialog::Accepted) return false;
    s.Serial() = dlg.GetSettings();
    return true;
}

bool LimitCommand(QWidget* parent, CSession& s, const CommandUi& ui) {
    CNameLimitDlg dlg(parent);
    if (ui.message) dlg.SetMessageFunction(ui.message);
    dlg.SetLimit(s.settings.limitSize, s.settings.limitMode);
    if (RunDialog(ui, dlg) != QDialog::Accepted) return false;
    s.settings.limitSize = dlg.LimitSize();
    s.settings.limitMode = dlg.LimitMode();
    return true;
}

bool KeyWordCommand(QWidget* parent, CSession& s, int id, const CommandUi& ui) {
    // These three never wait for a running worker: they simply do not start.
    if ((id == CMD_CUT_LEFT || id == CMD_CUT_RIGHT || id == CMD_CUT_KEY) && s.flags.busy)
        return false;
    CKeyWordDlg dlg(parent);
    if (ui.message) dlg.SetMessageFunction(ui.message);
    SetUpKeyWordDlg(dlg, id);
    dlg.SetKeyWords(s.KeyWords());
    if (RunDialog(ui, dlg) != QDialog::Accepted) return false;
    dlg.GetKeyWords(&s.KeyWords());
    if (id == CMD_REPLACE && s.KeyWords().Key1.empty()) return false;
    return true;
}

}  // namespace

bool SetUpKeyWordDlg(CKeyWordDlg& dlg, int id) {
    const KeyWordDlgSetup* k = FindKeyWordDlgSetup(id);
    if (!k) return false;
    dlg.SetFieldNum(k->fieldNum);
    if (k->label1) dlg.SetLabel(0, U8(k->label1));
    if (k->label2) dlg.SetLabel(1, U8(k->label2));
    dlg.SetTitle(U8(k->title));
    dlg.SetCheckEnables(k->wildCard, k->allTarget);
    dlg.SetRegExpEnable(id == CMD_FIND || id == CMD_REPLACE);
    return true;
}

bool PrepareListCommand(QWidget* parent, CSession& s, int id, const CommandUi& ui) {
    if (FindKeyWordDlgSetup(id)) return KeyWordCommand(parent, s, id, ui);
    switch (id) {
        case CMD_LIMIT:
            return LimitCommand(parent, s, ui);
        case CMD_EDIT_NAMES_AS_TEXT:
            EditNamesAsText(parent, s, ui);  // the dialog applies the names itself
            return false;
        case CMD_SERIAL_FROM_UP:
        case CMD_SERIAL_FROM_DOWN:
        case CMD_SERIAL_DETAIL:
            return SerialCommand(parent, s, id, ui);
        case CMD_INFO: {
            const std::string text = s.InfoText();
            if (ui.message)
                ui.message(Cp932ToQString(text));
            else
                s.Front().Message(text, MsgKind::Ok, MsgIcon::Information);
            return false;
        }
        case CMD_RESET_NAME:
        case CMD_SELECT_ALL:
        case CMD_CUT_EXT:
        case CMD_RESTORE_EXT:
        case CMD_SERIAL_0_UP:
        case CMD_SERIAL_0_DOWN:
        case CMD_SERIAL_1_UP:
        case CMD_SERIAL_1_DOWN:
        case CMD_TEXT_TREE:
        case CMD_SORT_MODIFIED:
        case CMD_SORT_NATURAL:
            return true;
        default:
            return id >= CMD_CHARCONV_FIRST && id <= CMD_CHARCONV_LAST;
    }
}

bool EditNamesAsText(QWidget* parent, CSession& s, const CommandUi& ui) {
    CNamesTextDlg dlg(parent, Cp932ToQString(s.NamesText()), [&](const QString& text) {
        std::string cp;
        QString refusal;
        if (!QStringToCp932(text, &cp, &refusal)) {
            ShowDlgMessage(parent, ui.message, refusal);
            return false;
        }
        return s.SetNewNamesFromText(cp) >= 0;
    });
    return RunDialog(ui, dlg) == QDialog::Accepted;
}

namespace {

struct MenuEntry {
    int id;
    const char* text;
};

void AddEntries(QMenu* menu, std::initializer_list<MenuEntry> entries) {
    for (const MenuEntry& e : entries) {
        QAction* a = menu->addAction(U8(e.text));
        a->setData(e.id);
    }
}

QMenu* AddSubMenu(QMenu* menu, const char* title, std::initializer_list<MenuEntry> entries) {
    QMenu* sub = menu->addMenu(U8(title));
    AddEntries(sub, entries);
    return sub;
}

}  // namespace

QMenu* BuildListContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    AddSubMenu(menu, "拡張子", {{CMD_CUT_EXT, "拡張子を削除"}, {CMD_RESTORE_EXT, "拡張子を復帰"}});
    AddSubMenu(menu, "カット",
               {{CMD_CUT_LEFT, "指定文字列より左側をカット"},
                {CMD_CUT_RIGHT, "指定文字列より右側をカット"},
                {CMD_CUT_KEY, "指定文字列をカット"},
                {CMD_CUT_BOUND1, "指定文字列1,2の区間をカット"},
                {CMD_CUT_BOUND2, "指定文字列1,2(含)の区間をカット"},
                {CMD_LIMIT, "長さ制限"}});
    AddSubMenu(menu, "ペースト",
               {{CMD_PASTE_LEFT, "先頭に文字列を追加"},
                {CMD_PASTE_RIGHT, "末尾に文字列を追加"},
                {CMD_PASTE_KEY_LEFT, "指定文字列の直前に文字列を追加"},
                {CMD_PASTE_KEY_RIGHT, "指定文字列の直後に文字列を追加"}});
    AddSubMenu(menu, "連番付け",
               {{CMD_SERIAL_0_UP, "0から昇順で連番付け"},
                {CMD_SERIAL_0_DOWN, "0から降順で連番付け"},
                {CMD_SERIAL_1_UP, "1から昇順で連番付け"},
                {CMD_SERIAL_1_DOWN, "1から降順で連番付け"},
                {CMD_SERIAL_FROM_UP, "指定番号から昇順で連番付け"},
                {CMD_SERIAL_FROM_DOWN, "指定番号から降順で連番付け"},
                {CMD_SERIAL_DETAIL, "詳細な設定で連番付け"}});
    AddEntries(menu, {{CMD_FIND, "検索"}, {CMD_REPLACE, "置換"}});
    menu->addSeparator();
    AddEntries(menu, {{CMD_RESET_NAME, "元のファイル名に戻す"},
                      {CMD_SELECT_ALL, "全て選択"},
                      {CMD_INFO, "情報"}});
    // The tools beyond the keyword matcher, after the entries above.
    menu->addSeparator();
    AddSubMenu(menu, "文字種の変換",
               {{CMD_TO_UPPER, "大文字に"},
                {CMD_TO_LOWER, "小文字に"},
                {CMD_TO_CAPITAL, "先頭を大文字に"},
                {CMD_FULL_TO_HALF, "全角英数記号を半角に"},
                {CMD_HALF_TO_FULL, "半角英数記号を全角に"},
                {CMD_KANA_HALF_TO_FULL, "半角カナを全角に"},
                {CMD_KANA_FULL_TO_HALF, "全角カナを半角に"},
                {CMD_HIRA_TO_KATA, "ひらがなをカタカナに"},
                {CMD_KATA_TO_HIRA, "カタカナをひらがなに"},
                {CMD_NFC, "合成済みに正規化"},
                {CMD_NFD, "分解して正規化"}});
    AddSubMenu(menu, "並べ替え",
               {{CMD_SORT_MODIFIED, "更新日時で並べ替え"}, {CMD_SORT_NATURAL, "自然順で並べ替え"}});
    AddEntries(menu, {{CMD_EDIT_NAMES_AS_TEXT, "名前をテキストで編集"}});
    return menu;
}

QMenu* BuildListHeaderMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    AddEntries(menu,
               {{CMD_SORT_MODIFIED, "更新日時で並べ替え"}, {CMD_SORT_NATURAL, "自然順で並べ替え"}});
    return menu;
}

QMenu* BuildTreeContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    AddEntries(menu, {{CMD_TEXT_TREE, "ツリー構造をテキスト出力"}});
    return menu;
}

int CommandIdOf(const QAction* action) {
    if (!action) return 0;
    bool ok = false;
    const int id = action->data().toInt(&ok);
    return ok ? id : 0;
}

}  // namespace dov
