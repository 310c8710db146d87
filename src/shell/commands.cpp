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

CCommandRegistry::CCommandRegistry(Handler run, std::map<int, Handler> own) {
    for (const Operation& op : Operations()) {
        if (!op.menuText) continue;
        auto it = own.find(op.id);
        handlers_[op.id] = it != own.end() ? it->second : run;
    }
}

bool CCommandRegistry::Run(int id) const {
    auto it = handlers_.find(id);
    if (it == handlers_.end()) return false;
    it->second(id);
    return true;
}

int CommandIdOf(const QAction* action) {
    if (!action) return 0;
    bool ok = false;
    const int id = action->data().toInt(&ok);
    return ok ? id : 0;
}

}  // namespace dov
