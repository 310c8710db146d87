#include "session/session.h"

#include <cstdio>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/sizetext.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "edit/name_edit.h"
#include "edit/name_limit.h"
#include "edit/serial.h"
#include "macro/macro_runner.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "model/savefile.h"
#include "rename/copy_rename.h"
#include "rename/make_tree.h"

namespace dov {

// The host the operations see: messages and notifications go to the front; STOP and the
// close request are the session's flags or the front's own.
class CSession::SessionHost : public IHost {
  public:
    SessionHost(CSession& s, IHost& front) : s_(s), front_(front) {}
    MsgAnswer Message(const std::string& text, MsgKind kind, MsgIcon icon,
                      const std::string& caption) override {
        return front_.Message(text, kind, icon, caption);
    }
    bool StopRequested() override { return s_.flags.stopReq.load() || front_.StopRequested(); }
    bool QuitRequested() override { return s_.flags.quitReq.load() || front_.QuitRequested(); }
    void TreeFolderAdded(CMyItem* f) override { front_.TreeFolderAdded(f); }
    void TreeFolderRemoved(CMyItem* f) override { front_.TreeFolderRemoved(f); }
    void TreeFolderChanged(CMyItem* f) override { front_.TreeFolderChanged(f); }
    void ListShowFolder(CMyItem* f) override {
        // The list's rows follow the folder shown, whoever asked for it.
        if (s_.list.pFolder != f) {
            s_.list.pFolder = f;
            s_.list.selected.clear();
            s_.list.iCurrentRow = -1;
        }
        front_.ListShowFolder(f);
    }
    void ListRowChanged(int row) override { front_.ListRowChanged(row); }
    void Progress(long long done, long long total) override { front_.Progress(done, total); }

  private:
    CSession& s_;
    IHost& front_;
};

CSession::CSession(IHost& front)
    : tracePath(DefaultTracePath()),
      front_(front),
      host_(std::make_unique<SessionHost>(*this, front)) {
    settings = DefaultSettings();
    list.pFlags = &flags;
    list.resetTree = [this](MacroTarget&) { return Reset(); };
    Reset();
}

CSession::~CSession() = default;

IHost& CSession::Host() {
    return *host_;
}

CItemLoader& CSession::Loader() {
    // One loader for the whole run: it remembers each column's next sort direction.
    if (!loader_) loader_ = std::make_unique<CItemLoader>(Host(), tracePath);
    return *loader_;
}

void CSession::LoadSettingsFile() {
    LoadSettings(SettingsPath(), settings);
    list.keyWord = settings.keyWord;
    list.serial = settings.serial;
    if (root_) SwitchAutoIndexMode(root_.get(), AutoIndex(), Host());
}

int CSession::SaveSettingsFile() {
    settings.keyWord = list.keyWord;
    settings.serial = list.serial;
    return SaveSettings(SettingsPath(), settings);
}

int CSession::Reset() {
    if (root_) front_.TreeFolderRemoved(root_.get());
    list.pFolder = nullptr;
    list.selected.clear();
    list.iCurrentRow = -1;
    root_.reset();
    root_ = MakeRootItem(tracePath, AutoIndex());
    if (!root_) {
        Host().Message(Sj("ルートアイテムの確保が出来なかったので終了します。"));
        return 0;
    }
    front_.TreeFolderAdded(root_.get());
    ShowFolder(root_.get());
    return 1;
}

CItemLoader::LoadResult CSession::Load(const std::string& diskFolder,
                                       const std::vector<std::string>& names, CMyItem* under) {
    if (!under) under = list.pFolder ? list.pFolder : root_.get();
    std::vector<EntryInfo> picked;
    picked.reserve(names.size());
    for (const std::string& n : names) {
        if (n.empty() || n == "." || n == ".." || FindCharDbcs(n, '/') >= 0) continue;
        // The picked entries carry their directory records, as the file dialog's listing
        // gives them; an entry that cannot be read is dropped by the loader's own check.
        EntryInfo e;
        if (Fs().Stat(JoinPath(diskFolder, n), e) != 0) {
            e = EntryInfo{};
            e.name = n;
            e.findData.cFileName = n;
        }
        picked.push_back(std::move(e));
    }
    return Loader().LoadPickedEntries(under, diskFolder, std::move(picked));
}

int CSession::LoadPaths(const std::vector<std::string>& paths) {
    int added = 0;
    for (const std::string& p : paths) {
        if (Host().StopRequested() || Host().QuitRequested()) break;
        std::string path = p;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        std::string parent = ParentPath(path);
        const std::string folder = parent.empty() ? std::string(1, '/') : std::move(parent);
        added += Load(folder, {BaseName(path)}, root_.get()).added;
    }
    ShowFolder(list.pFolder ? list.pFolder : root_.get());
    return added;
}

void CSession::ShowFolder(CMyItem* folder) {
    list.pFolder = folder;
    list.selected.assign(static_cast<std::size_t>(list.RowCount()), 0);
    list.iCurrentRow = -1;
    front_.ListShowFolder(folder);
}

CMyItem* CSession::FindFolder(const std::string& treePath) const {
    CMyItem* cur = root_.get();
    std::size_t p = 0;
    while (cur && p < treePath.size()) {
        std::size_t slash = p;
        while (slash < treePath.size() && treePath[slash] != '/')
            slash += SjisCharLen(treePath, slash);
        std::string part = treePath.substr(p, slash - p);
        p = slash + 1;
        if (part.empty()) continue;
        CMyItem* next = nullptr;
        for (std::uint32_t i = 0; i < cur->m_dwNumInFolder; ++i) {
            CMyItem* sub = cur->GetSubItem(static_cast<int>(i));
            if (sub && sub->m_bIsFolder && sub->m_strNewName == part) {
                next = sub;
                break;
            }
        }
        cur = next;
    }
    return cur;
}

void CSession::SelectAll() {
    list.selected.assign(static_cast<std::size_t>(list.RowCount()), 1);
}

void CSession::SelectOnly(int row) {
    list.selected.assign(static_cast<std::size_t>(list.RowCount()), 0);
    if (row >= 0 && row < list.RowCount()) {
        list.selected[static_cast<std::size_t>(row)] = 1;
        list.iCurrentRow = row;
    }
}

void CSession::ClearSelection() {
    list.selected.assign(static_cast<std::size_t>(list.RowCount()), 0);
}

int CSession::RunListCommand(int id) {
    IHost& host = Host();
    const std::vector<CMyItem*> rows = list.SelectedItems();
    CNameEdit edit(list.matcher, host, list.keyWord, tracePath);
    auto run = [&](int op) { return edit.RunEditCommand(op, rows).iChanged; };
    switch (id) {
        case CMD_CUT_EXT:
            return edit.CutExtensionCommand(rows).iChanged;
        case CMD_RESTORE_EXT:
            return edit.RestoreExtensionCommand(rows).iChanged;
        case CMD_CUT_LEFT:
            return run(EDIT_CUT_LEFT);
        case CMD_CUT_RIGHT:
            return run(EDIT_CUT_RIGHT);
        case CMD_CUT_KEY:
            return run(EDIT_CUT_KEY);
        case CMD_CUT_BOUND1:
            return run(EDIT_CUT_BOUND1);
        case CMD_CUT_BOUND2:
            return run(EDIT_CUT_BOUND2);
        case CMD_PASTE_LEFT:
            return run(EDIT_PASTE_LEFT);
        case CMD_PASTE_RIGHT:
            return run(EDIT_PASTE_RIGHT);
        case CMD_PASTE_KEY_LEFT:
            return run(EDIT_PASTE_KEY_LEFT);
        case CMD_PASTE_KEY_RIGHT:
            return run(EDIT_PASTE_KEY_RIGHT);
        case CMD_RESET_NAME:
            return run(EDIT_RESET_NAME);
        case CMD_REPLACE:
            return run(EDIT_REPLACE);
        case CMD_FIND: {
            std::vector<CMyItem*> all;
            std::vector<bool> sel;
            for (int r = 0; r < list.RowCount(); ++r) {
                all.push_back(list.RowItem(r));
                sel.push_back(list.IsSelected(r));
            }
            int n =
                edit.SelectItemsByKey(all, sel, list.keyWord.Key1, list.keyWord.UseWildCard != 0);
            for (int r = 0; r < list.RowCount(); ++r)
                list.SetSelected(r, sel[static_cast<std::size_t>(r)]);
            return n;
        }
        case CMD_SELECT_ALL:
            SelectAll();
            return list.RowCount();
        case CMD_LIMIT:
            return LimitLength(settings.limitSize);
        case CMD_SERIAL_0_UP:
        case CMD_SERIAL_0_DOWN:
        case CMD_SERIAL_1_UP:
        case CMD_SERIAL_1_DOWN: {
            CSerialNumber serial(list.matcher, host, tracePath);
            return serial.SerialNumberQuick(id, rows);
        }
        case CMD_SERIAL_FROM_UP:
        case CMD_SERIAL_FROM_DOWN: {
            CSerialNumber serial(list.matcher, host, tracePath);
            return serial.SerialNumberSimple(list.serial.PresetData, id == CMD_SERIAL_FROM_UP,
                                             rows);
        }
        case CMD_SERIAL_DETAIL: {
            CSerialNumber serial(list.matcher, host, tracePath);
            return serial.SerialNumberByDetail(list.serial, rows);
        }
        case CMD_TEXT_TREE:
            return WriteTextTree() ? 1 : 0;
        default:
            return -1;
    }
}

int CSession::LimitLength(int limit) {
    return LimitNameLengthCommand(list.SelectedItems(), limit, list.keyWord.EffectSubItem != 0,
                                  Host());
}

std::string CSession::InfoText() const {
    std::uint64_t size = 0, folders = 0, files = 0, count = 0;
    for (CMyItem* item : list.SelectedItems()) {
        ++count;
        std::uint32_t hi = 0, lo = 0;
        item->GetFoldSize64(&hi, &lo);
        size += (static_cast<std::uint64_t>(hi) << 32) | lo;
        if (item->m_bIsFolder) {
            folders += static_cast<std::uint64_t>(item->GetFolderNum());
            files += static_cast<std::uint64_t>(item->GetTotalFileNum());
        } else {
            ++files;
        }
    }
    auto text = [](std::uint64_t v) {
        return InsertComma(
            FormatSize64(static_cast<std::uint32_t>(v >> 32), static_cast<std::uint32_t>(v)));
    };
    const std::string& fmt =
        Sj("【アイテム情報】\n\n選択アイテム数 ： %s \nトータルサイズ： %s\nフォルダ数： "
           "%s\nファイル数： %s\n");
    std::string a = text(count), b = text(size), c = text(folders), d = text(files);
    int n = std::snprintf(nullptr, 0, fmt.c_str(), a.c_str(), b.c_str(), c.c_str(), d.c_str());
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), fmt.c_str(), a.c_str(), b.c_str(), c.c_str(), d.c_str());
    out.resize(static_cast<std::size_t>(n));
    return out;
}

void CSession::SortByColumn(int column) {
    if (!list.pFolder) return;
    Loader().SortSubItems(list.pFolder, column);
    ShowFolder(list.pFolder);
}

int CSession::SetNewName(int row, const std::string& name) {
    CMyItem* item = list.RowItem(row);
    if (!item) return 0;
    if (!CMyItem::IsUsableNameString(name)) {
        Host().Message(Sj("\\ / : , ; * ? < > | \nの文字はファイル名として使えません"));
        return 0;
    }
    if (root_ && root_->m_bNoAutoIndex == 1) {
        for (int r = 0; r < list.RowCount(); ++r) {
            if (r != row && list.RowItem(r)->m_strNewName == name) {
                Host().Message(Sj("一つのフォルダに同じ名前は使えません"));
                return 0;
            }
        }
    }
    if (name.empty()) return 0;
    item->m_strNewName = name;
    item->UpdateWriteName();
    front_.ListRowChanged(row);
    if (item->m_bIsFolder) front_.TreeFolderChanged(item);
    return 1;
}

void CSession::SetAutoIndex(bool on) {
    settings.autoSerialNum = on ? 1 : 0;
    if (root_) SwitchAutoIndexMode(root_.get(), on, Host());
}

int CSession::Rename(RenameCounts* counts, const ConflictPrediction* known) {
    RenameOptions options;
    options.autoSerialNum = AutoIndex();
    options.predictedFailures = known ? known->failures.size() : Check().failures.size();
    // Every change is journaled before it is made, so that it can be undone.
    CJournalWriter journal(JournalPath(), "rename");
    options.watcher = &journal;
    switch (DirectRename(root_.get(), depth, options, Host(), counts)) {
        case 0:
            return 1;  // completed
        case 1:
            return 0;  // a check failed or the user declined
        default:
            return -1;  // stopped early
    }
}

ConflictPrediction CSession::Check() {
    return PredictConflicts(root_.get());
}

int CSession::Undo(UndoReport* report) {
    const int r = UndoLastRun(Host(), tracePath, report);
    if (r == 0 && root_ && root_->m_dwNumInFolder > 0) {
        Reset();
        Host().Message(Sj("元に戻したので、編集中のデータを破棄しました。"), MsgKind::Ok,
                       MsgIcon::Information);
    }
    return r == 0 ? 1 : (r == 1 ? 0 : -1);
}

int CSession::CopyTo(const std::string& outputFolder) {
    CopyOptions options;
    options.autoSerialNum = AutoIndex();
    settings.writeFolder = outputFolder;
    return CopyAndRename(root_.get(), outputFolder, options, Host()) == 0 ? 1 : 0;
}

bool CSession::WriteTextTree() {
    return TextTreeOutput(root_.get(), Host());
}

namespace {
CSaveDataFile MakeSaveFile(CSession& s) {
    CSaveDataFile file(s.Host(), s.tracePath, s.AutoIndex());
    file.m_fnResetTree = [&s](std::unique_ptr<CMyItem>&) { return s.Reset(); };
    file.m_strLoadedPath = s.saveFilePath;
    return file;
}
}  // namespace

int CSession::SaveAs(const std::string& path) {
    CSaveDataFile file = MakeSaveFile(*this);
    int r = file.SaveAs(*root_, path);
    if (r == 1) {
        saveFilePath = path;
        AddRecentFile(settings, path);
    }
    return r;
}

int CSession::Save() {
    if (saveFilePath.empty()) return -1;
    CSaveDataFile file = MakeSaveFile(*this);
    return file.SaveWorker(*root_, saveFilePath);
}

int CSession::Open(const std::string& path) {
    CSaveDataFile file = MakeSaveFile(*this);
    list.pFolder = nullptr;
    list.selected.clear();
    int r = file.Open(root_, path);
    if (r == 1) {
        saveFilePath = path;
        AddRecentFile(settings, path);
    }
    if (!list.pFolder || list.pFolder != root_.get()) ShowFolder(root_.get());
    return r;
}

int CSession::RunMacro(int fileNum) {
    flags.macroRunning = true;
    CMacroRunner runner(list, Host(), tracePath);
    int r = runner.ExecuteMacro(fileNum);
    flags.macroRunning = false;
    return r;
}

int CSession::RunMacroFile(const std::string& path) {
    flags.macroRunning = true;
    CMacroRunner runner(list, Host(), tracePath);
    int r = runner.ExecuteMacroFile(path);
    flags.macroRunning = false;
    return r;
}

}  // namespace dov
