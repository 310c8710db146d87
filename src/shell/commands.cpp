#include "shell/commands.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <algorithm>
#include <utility>
#include <vector>

#include "session/dialog_rules.h"
#include "session/operations.h"
#include "session/session.h"
#include "shell/form.h"
#include "shell/infodlg.h"
#include "shell/keyworddlg.h"
#include "shell/namelimitdlg.h"
#include "shell/namestextdlg.h"
#include "shell/qttext.h"
#include "shell/serialdlg.h"

namespace dov {

namespace {

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
        dialog::PrepareSerialSimple(s.Serial(), id == CMD_SERIAL_FROM_UP);
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

bool KeyWordCommand(QWidget* parent, CSession& s, const Operation& op, const CommandUi& ui) {
    // These never wait for a running worker: they simply do not start.
    if ((op.flags & kNotWhileBusy) && s.flags.busy) return false;
    CKeyWordDlg dlg(parent);
    if (ui.message) dlg.SetMessageFunction(ui.message);
    SetUpKeyWordDlg(dlg, op.id);
    dlg.SetKeyWords(s.KeyWords());
    if (RunDialog(ui, dlg) != QDialog::Accepted) return false;
    dlg.GetKeyWords(&s.KeyWords());
    if ((op.flags & kNeedsKey1) && s.KeyWords().Key1.empty()) return false;
    return true;
}

// 情報を貼り付け: the template dialog over the current row; the accepted template goes to the
// top of the last templates, where the command takes it.
bool InfoPasteCommand(QWidget* parent, CSession& s, int id, const CommandUi& ui) {
    const int row = s.List().iCurrentRow >= 0 ? s.List().iCurrentRow : 0;
    auto field = [&s, row](const QString& name) -> std::optional<QString> {
        const auto v = s.InfoFieldOfRow(row, name.toStdString());
        if (!v) return std::nullopt;
        return ToQt(*v);
    };
    auto preview = [&s, row, id](const QString& tmpl) -> std::optional<QString> {
        const auto cp = FromQt(tmpl);
        const auto name = cp ? s.PreviewInfoName(*cp, row, id) : std::nullopt;
        if (!name) return std::nullopt;
        return ToQt(*name);
    };
    const char* place = id == CMD_PASTE_INFO_LEFT ? "名前の先頭に追加します。"
                        : id == CMD_PASTE_INFO_RIGHT ? "名前の末尾（拡張子の前）に追加します。"
                                                     : "拡張子の前までを置き換えます。";
    CInfoDlg dlg(U8(place), field, preview, parent);
    if (ui.message) dlg.SetMessageFunction(ui.message);
    QStringList history;
    for (const std::string& t : s.settings.infoTemplates) history << ToQt(t);
    if (history.isEmpty()) history << U8("{exif.date:%Y-%m-%d_%H%M%S|mtime:%Y-%m-%d_%H%M%S}");
    dlg.SetHistory(history);
    if (RunDialog(ui, dlg) != QDialog::Accepted) return false;
    std::vector<std::string> kept;
    for (const QString& t : dlg.History())
        if (auto cp = FromQt(t)) kept.push_back(*cp);
    s.settings.infoTemplates = kept;
    return !kept.empty();
}

}  // namespace

bool SetUpKeyWordDlg(CKeyWordDlg& dlg, int id) {
    const Operation* op = FindOperation(id);
    const KeyWordAsk* k = op && op->asks == Asks::KeyWords ? op->keyWords : nullptr;
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
    const Operation* op = FindOperation(id);
    if (!op || !op->menuText) return false;
    switch (op->asks) {
        case Asks::KeyWords:
            return KeyWordCommand(parent, s, *op, ui);
        case Asks::Limit:
            return LimitCommand(parent, s, ui);
        case Asks::NamesText:
            EditNamesAsText(parent, s, ui);  // the dialog applies the names itself
            return false;
        case Asks::SerialStart:
        case Asks::SerialFull:
            return SerialCommand(parent, s, id, ui);
        case Asks::InfoTemplate:
            return InfoPasteCommand(parent, s, id, ui);
        case Asks::Info: {
            const std::string text = s.InfoText();
            if (ui.message)
                ui.message(Cp932ToQString(text));
            else
                s.Front().Message(text, MsgKind::Ok, MsgIcon::Information);
            return false;
        }
        case Asks::Nothing:
            return true;
    }
    return false;
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

// The entries of one place of the menus, in their order.
void AddEntries(QMenu* menu, MenuPlace place) {
    std::vector<const Operation*> rows;
    for (const Operation& op : Operations())
        if (op.menuText && op.place == place) rows.push_back(&op);
    std::stable_sort(rows.begin(), rows.end(), [](const Operation* a, const Operation* b) {
        return a->menuOrder < b->menuOrder;
    });
    for (const Operation* op : rows) {
        QAction* a = menu->addAction(U8(op->menuText));
        a->setData(op->id);
    }
}

}  // namespace

QMenu* BuildListContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const std::pair<const char*, MenuPlace> subMenus[] = {{"拡張子", MenuPlace::Extension},
                                                          {"カット", MenuPlace::Cut},
                                                          {"ペースト", MenuPlace::Paste},
                                                          {"連番付け", MenuPlace::Serial}};
    for (const auto& [title, place] : subMenus) AddEntries(menu->addMenu(U8(title)), place);
    AddEntries(menu, MenuPlace::Top);
    menu->addSeparator();
    AddEntries(menu, MenuPlace::Bottom);
    // The tools beyond the keyword matcher, after the entries above.
    menu->addSeparator();
    AddEntries(menu->addMenu(U8("文字種の変換")), MenuPlace::CharType);
    AddEntries(menu->addMenu(U8("並べ替え")), MenuPlace::Sort);
    AddEntries(menu, MenuPlace::Tools);
    return menu;
}

QMenu* BuildListHeaderMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    AddEntries(menu, MenuPlace::Sort);
    return menu;
}

QMenu* BuildTreeContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    AddEntries(menu, MenuPlace::Tree);
    return menu;
}

namespace {
constexpr int Ctrl(Qt::Key key) {
    return (Qt::CTRL | key).toCombined();
}
}  // namespace

const std::vector<WindowCommand>& WindowCommands() {
    using P = WindowPlace;
    static const std::vector<WindowCommand> rows = {
        {CViewForm::kIdLoad, P::Button, nullptr, "load", 0, 0},
        {CViewForm::kIdDeleteItems, P::Button, nullptr, "deleteItems", 0, 0},
        {CViewForm::kIdRename, P::Button, nullptr, "rename", 0, 0},
        {CViewForm::kIdCopy, P::Button, nullptr, "copy", 0, 0},
        {CViewForm::kIdStop, P::Button, nullptr, "stop", 0, 0},
        {CViewForm::kIdClose, P::Button, nullptr, "close", 0, 0},
        {CViewForm::kIdMakeFolder, P::Button, nullptr, "makeFolder", 0, 0},
        {CViewForm::kIdDeleteFolder, P::Button, nullptr, "deleteFolder", 0, 0},
        {WIN_FILE_NEW, P::File, "新規作成(&N)", "fileNew", Ctrl(Qt::Key_N), 0},
        {WIN_FILE_OPEN, P::File, "開く(&O)...", "fileOpen", Ctrl(Qt::Key_O), 0},
        {WIN_FILE_SAVE, P::File, "上書き保存(&S)", "fileSave", Ctrl(Qt::Key_S), 0},
        {WIN_FILE_SAVE_AS, P::File, "名前を付けて保存(&A)...", "fileSaveAs", 0, 0},
        {0, P::File, "最近使ったﾌｧｲﾙ", "recentFiles", 0, kSeparatorBefore | kRecentFiles},
        {WIN_EXIT, P::File, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "fileExit", 0, kSeparatorBefore},
        {WIN_UNDO, P::Edit, "元に戻す(&U)", "editUndo", Ctrl(Qt::Key_Z),
         kWidgetShortcut | kOnTreeAndList},
        {0, P::Edit, "切り取り(&T)", nullptr, Ctrl(Qt::Key_X), kWidgetShortcut},
        {0, P::Edit, "ｺﾋﾟｰ(&C)", nullptr, Ctrl(Qt::Key_C), kWidgetShortcut},
        {0, P::Edit, "貼り付け(&P)", nullptr, Ctrl(Qt::Key_V), kWidgetShortcut},
        {0, P::View, "ﾂｰﾙ ﾊﾞｰ(&T)", nullptr, 0, 0},
        {WIN_STATUS_BAR, P::View, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", "viewStatusBar", 0, kCheckable},
        {WIN_FAILURES, P::View, "失敗の予測の一覧", "viewFailures", 0, 0},
        {WIN_OPTIONS, P::Options, "動作設定", "options", 0, 0},
        {WIN_COLORS, P::Options, "色の設定", "colors", 0, 0},
        {WIN_ABOUT, P::Help, "Dovreth のﾊﾞｰｼﾞｮﾝ情報(&A)...", "about", 0, 0},
    };
    return rows;
}

const char* WindowMenuTitle(WindowPlace place) {
    switch (place) {
        case WindowPlace::File:
            return "ﾌｧｲﾙ(&F)";
        case WindowPlace::Edit:
            return "編集(&E)";
        case WindowPlace::View:
            return "表示(&V)";
        case WindowPlace::Options:
            return "オプション(&M)";
        case WindowPlace::Help:
            return "ﾍﾙﾌﾟ(&H)";
        case WindowPlace::Button:
            break;
    }
    return nullptr;
}

CCommandRegistry::CCommandRegistry(Handler run, std::map<int, Handler> own) {
    for (const Operation& op : Operations()) {
        if (!op.menuText) continue;
        auto it = own.find(op.id);
        handlers_[op.id] = it != own.end() ? it->second : run;
    }
    for (const WindowCommand& c : WindowCommands())
        if (c.id != 0) handlers_.emplace(c.id, Handler{});
}

bool CCommandRegistry::Set(int id, Handler handler) {
    auto it = handlers_.find(id);
    if (it == handlers_.end()) return false;
    it->second = std::move(handler);
    return true;
}

bool CCommandRegistry::Run(int id) const {
    auto it = handlers_.find(id);
    if (it == handlers_.end() || !it->second) return false;
    it->second(id);
    return true;
}

bool CCommandRegistry::Has(int id) const {
    auto it = handlers_.find(id);
    return it != handlers_.end() && it->second;
}

std::vector<int> CCommandRegistry::Ids() const {
    std::vector<int> ids;
    for (const auto& [id, handler] : handlers_) ids.push_back(id);
    return ids;
}

int CommandIdOf(const QAction* action) {
    if (!action) return 0;
    bool ok = false;
    const int id = action->data().toInt(&ok);
    return ok ? id : 0;
}

}  // namespace dov
