#include "session/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_set>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/linename.h"
#include "common/paths.h"
#include "common/sizetext.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "edit/name_edit.h"
#include "edit/name_limit.h"
#include "edit/serial.h"
#include "macro/macro_parser.h"
#include "macro/macro_runner.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "model/savefile.h"
#include "rename/conflict_preview.h"
#include "rename/copy_rename.h"
#include "rename/depth_info.h"
#include "rename/journal.h"
#include "rename/make_tree.h"
#include "rename/rename_engine.h"
#include "rename/rename_plan.h"
#include "rename/text_out.h"
#include "rename/tree_edit.h"
#include "rename/undo.h"

namespace dov {

namespace {

RenameEnd EndOf(RenameStop stop) {
    switch (stop) {
        case RenameStop::None:
            return RenameEnd::None;
        case RenameStop::PreCheck:
            return RenameEnd::PreCheck;
        case RenameStop::UserFolders:
            return RenameEnd::UserFolders;
        case RenameStop::PathRefresh:
            return RenameEnd::PathRefresh;
        case RenameStop::Stopped:
            return RenameEnd::Stopped;
        case RenameStop::Journal:
            return RenameEnd::Journal;
    }
    return RenameEnd::None;
}

}  // namespace

// The host the operations see: messages and notifications go to the front; STOP and the
// close request are the session's flags or the front's own.
class CSession::SessionHost : public ForwardingHost {
  public:
    SessionHost(CSession& s, IHost& front) : ForwardingHost(front), s_(s) {}
    bool StopRequested() override {
        // The front first: what it does when polled (a test's hook) is seen at once.
        if (s_.flags.stopReq.load() || Inner().StopRequested()) return true;
        const CJob* job = s_.running_.load();
        return job && job->StopAsked();
    }
    void Progress(long long done, long long total) override {
        if (CJob* job = s_.running_.load()) job->SetProgress(done, total);
        Inner().Progress(done, total);
    }
    bool QuitRequested() override { return s_.flags.quitReq.load() || Inner().QuitRequested(); }
    void ListShowFolder(CMyItem* f) override {
        // The list's rows follow the folder shown, whoever asked for it.
        if (s_.list_->pFolder != f) s_.list_->Show(f);
        Inner().ListShowFolder(f);
    }

  private:
    CSession& s_;
};

CSession::CSession(IHost& front)
    : tracePath(DefaultTracePath()),
      front_(front),
      host_(std::make_unique<SessionHost>(*this, front)),
      list_(std::make_unique<EditTarget>()),
      depth_(std::make_unique<CMyDepthInfo>()) {
    settings = DefaultSettings();
    list_->pInfo = info_.get();
    Reset();
}

CSession::~CSession() = default;

IHost& CSession::Host() {
    return *host_;
}

CMyItem* CSession::CurFolder() const {
    return list_->pFolder;
}
ListState& CSession::List() {
    return *list_;
}
const ListState& CSession::List() const {
    return *list_;
}
KeyWordSettings& CSession::KeyWords() {
    return list_->keyWord;
}
SerialSettings& CSession::Serial() {
    return list_->serial;
}
int CSession::RowCount() const {
    return list_->RowCount();
}
CMyItem* CSession::RowItem(int row) const {
    return list_->RowItem(row);
}
std::vector<CMyItem*> CSession::SelectedItems() const {
    return list_->SelectedItems();
}
std::vector<int> CSession::SelectedRows() const {
    return list_->SelectedRows();
}
void CSession::SetIntoFolders(bool on) {
    list_->keyWord.EffectSubItem = on ? 1 : 0;
}

CItemLoader& CSession::Loader() {
    // One loader for the whole run: it remembers each column's next sort direction.
    if (!loader_) {
        loader_ = std::make_unique<CItemLoader>(Host(), tracePath);
        loader_->m_pEntriesRead = &flags.entriesRead;
    }
    return *loader_;
}

void CSession::LoadSettingsFile() {
    LoadSettings(SettingsPath(), settings);
    CMyItem::SetAllowLinuxNames(settings.allowLinuxNames != 0);
    list_->keyWord = settings.keyWord;
    list_->serial = settings.serial;
    if (root_) SwitchAutoIndexMode(root_.get(), AutoIndex(), Host());
}

int CSession::SaveSettingsFile() {
    settings.keyWord = list_->keyWord;
    settings.serial = list_->serial;
    return SaveSettings(SettingsPath(), settings);
}

int CSession::Reset() {
    if (root_) front_.TreeFolderRemoved(root_.get());
    list_->Show(nullptr);
    root_.reset();
    scope_.Clear();
    info_->Clear();
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
    if (!under) under = list_->pFolder ? list_->pFolder : root_.get();
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
    // The folder the user named is pinned now: the rename and the copy reach it only while
    // its path still leads to it.
    scope_.Add(diskFolder);
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
    ShowFolder(list_->pFolder ? list_->pFolder : root_.get());
    return added;
}

void CSession::ShowFolder(CMyItem* folder) {
    list_->Show(folder);
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
    list_->selected.assign(static_cast<std::size_t>(list_->RowCount()), 1);
}

void CSession::SelectOnly(int row) {
    list_->selected.assign(static_cast<std::size_t>(list_->RowCount()), 0);
    if (row >= 0 && row < list_->RowCount()) {
        list_->selected[static_cast<std::size_t>(row)] = 1;
        list_->iCurrentRow = row;
    }
}

void CSession::ClearSelection() {
    list_->selected.assign(static_cast<std::size_t>(list_->RowCount()), 0);
}

void CSession::SetSelection(const std::vector<int>& rows, int current) {
    ClearSelection();
    const int n = list_->RowCount();
    for (int r : rows)
        if (r >= 0 && r < n) list_->SetSelected(r, true);
    list_->iCurrentRow = current >= 0 && current < n ? current : -1;
}

int CSession::RunListCommand(int id) {
    const Operation* op = FindOperation(id);
    if (!op || !op->run) return -1;
    const OpResult r = RunOperation(*op);
    if (r.noInfo > 0)
        Host().Message(Sj("情報を貼り付け： no information ") + std::to_string(r.noInfo) +
                           Sj(" 件（項目のないファイル）"),
                       MsgKind::Ok, MsgIcon::Information);
    return r.changed;
}

OpResult CSession::RunOperation(const Operation& op) {
    // 情報を貼り付け takes the newest of the last templates (the dialog's, or the command
    // line's for its run); with none it keeps the one it has.
    if (op.asks == Asks::InfoTemplate && !settings.infoTemplates.empty())
        list_->infoTemplate = settings.infoTemplates.front();
    OpContext context{*list_, Host(), tracePath, settings.limitSize};
    OpResult r = dov::RunOperation(op, context);
    switch (r.request) {
        case OpRequest::None:
            break;
        case OpRequest::ResetTree:
            r.changed = Reset();
            break;
        case OpRequest::WriteTextTree:
            r.changed = WriteTextTree() ? 1 : 0;
            break;
        case OpRequest::SortModified:
        case OpRequest::SortNatural:
            SortBy(r.request == OpRequest::SortModified ? kSortModified : kSortNatural);
            r.changed = RowCount();
            break;
        case OpRequest::ShowFolder:
            ShowFolder(list_->pFolder);
            break;
    }
    return r;
}

int CSession::LimitLength(int limit) {
    return LimitNameLengthCommand(list_->SelectedItems(), limit, list_->keyWord.EffectSubItem != 0,
                                  Host());
}

std::string CSession::InfoText() const {
    std::uint64_t size = 0, folders = 0, files = 0, count = 0;
    for (CMyItem* item : list_->SelectedItems()) {
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
    if (!list_->pFolder) return;
    Loader().SortSubItems(list_->pFolder, column);
    ShowFolder(list_->pFolder);
}

static_assert(CMD_NFD - CMD_CHARCONV_FIRST == static_cast<int>(CharConv::Nfd) &&
              CMD_HIRA_TO_KATA - CMD_CHARCONV_FIRST == static_cast<int>(CharConv::HiraToKata));

bool CheckRegexInput(const std::string& pattern, const std::string& replacement,
                     std::string* pErr) {
    CRegexReplace re;
    return re.Compile(pattern, replacement, false, false, pErr);
}

void CSession::SortBy(ExtraSort order) {
    if (!list_->pFolder) return;
    Loader().SortSubItemsBy(list_->pFolder, order);
    ShowFolder(list_->pFolder);
}

void CSession::SortFolderKeepingSelection(ExtraSort order, bool ascending) {
    if (!list_->pFolder) return;
    Loader().m_iExtraSortFlag[order == kSortModified ? 0 : 1] = ascending ? 1 : 0;
    // The rows selected before stay selected, wherever the sort puts them.
    const std::vector<CMyItem*> items = list_->SelectedItems();
    const std::unordered_set<CMyItem*> selected(items.begin(), items.end());
    SortBy(order);
    for (int r = 0; r < list_->RowCount(); ++r)
        if (selected.count(list_->RowItem(r))) list_->SetSelected(r, true);
}

int CSession::RegexReplace(const std::string& pattern, const std::string& replacement, bool bAll,
                           bool bIgnoreCase, std::string* pErr) {
    CNameEdit edit(list_->matcher, Host(), list_->keyWord, tracePath);
    std::string err;
    const EditRunResult r = edit.RegexReplaceCommand(pattern, replacement, bAll, bIgnoreCase,
                                                     list_->SelectedItems(), &err);
    if (!err.empty()) {
        if (pErr) *pErr = err;
        return -1;
    }
    return r.iChanged;
}

std::string CSession::NamesText() const {
    std::string out;
    for (int r = 0; r < list_->RowCount(); ++r) {
        const CMyItem* item = list_->RowItem(r);
        if (item) out += EscapeLineName(item->m_strNewName);
        out += '\n';
    }
    return out;
}

int CSession::SetNewNamesFromText(const std::string& text, std::string* pErr) {
    auto refuse = [&](const std::string& msg) {
        Host().Message(msg);
        if (pErr) *pErr = msg;
        return -1;
    };
    auto lineMsg = [&](std::size_t line, const char* utf8) {
        return std::to_string(line) + Sj("行目: ") + Sj(utf8);
    };
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t no = names.size() + 1;
        if (line.find('\r') != std::string::npos || line.find('\0') != std::string::npos)
            return refuse(lineMsg(no, "改行かNUL文字が含まれています"));
        // The escapes NamesText writes are undone; any other backslash stays as it is.
        std::string name;
        for (std::size_t p = 0; p < line.size();) {
            const std::size_t len = SjisCharLen(line, p);
            if (len == 1 && line[p] == '\\' && p + 1 < line.size()) {
                const char n = line[p + 1];
                const char* from = "\\tnr";
                const char* to = "\\\t\n\r";
                if (const char* f = std::strchr(from, n); f && n != '\0') {
                    name += to[f - from];
                    p += 2;
                    continue;
                }
            }
            name.append(line, p, len);
            p += len;
        }
        names.push_back(std::move(name));
    }
    const int rows = list_->RowCount();
    if (static_cast<int>(names.size()) != rows) {
        char buf[160];
        std::snprintf(buf, sizeof buf, Sj("行の数(%d)が一覧の行の数(%d)と違います").c_str(),
                      static_cast<int>(names.size()), rows);
        return refuse(buf);
    }
    // Every line is checked before any name changes.
    const bool noIndex = root_ && root_->m_bNoAutoIndex == 1;
    for (int r = 0; r < rows; ++r) {
        const std::string& name = names[static_cast<std::size_t>(r)];
        const CMyItem* item = list_->RowItem(r);
        if (item && name == item->m_strNewName) continue;
        if (name.empty()) return refuse(lineMsg(static_cast<std::size_t>(r) + 1, "名前が空です"));
        if (!CMyItem::IsUsableNameString(name))
            return refuse(lineMsg(static_cast<std::size_t>(r) + 1,
                                  "\\ / : , ; * ? < > | \nの文字はファイル名として使えません"));
    }
    if (noIndex) {
        std::map<std::string_view, int> uses;
        for (const std::string& name : names) ++uses[name];
        for (int r = 0; r < rows; ++r) {
            const std::string& name = names[static_cast<std::size_t>(r)];
            const CMyItem* item = list_->RowItem(r);
            if (item && name != item->m_strNewName && uses[name] > 1)
                return refuse(Sj("一つのフォルダに同じ名前は使えません"));
        }
    }
    int changed = 0;
    for (int r = 0; r < rows; ++r) {
        CMyItem* item = list_->RowItem(r);
        std::string& name = names[static_cast<std::size_t>(r)];
        if (!item || name == item->m_strNewName) continue;
        item->m_strNewName = std::move(name);
        item->UpdateWriteName();
        front_.ListRowChanged(r);
        if (item->m_bIsFolder) front_.TreeFolderChanged(item);
        ++changed;
    }
    return changed;
}

int CSession::SetNewName(int row, const std::string& name) {
    CMyItem* item = list_->RowItem(row);
    if (!item) return 0;
    // The loaded name is always allowed back: it exists on the disk.
    if (name != item->m_strOrgName && !CMyItem::IsUsableNameString(name)) {
        Host().Message(Sj("\\ / : , ; * ? < > | \nの文字はファイル名として使えません"));
        return 0;
    }
    if (root_ && root_->m_bNoAutoIndex == 1) {
        for (int r = 0; r < list_->RowCount(); ++r) {
            if (r != row && list_->RowItem(r)->m_strNewName == name) {
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

int CSession::SetFolderName(CMyItem* folder, const std::string& name) {
    if (!folder || folder == root_.get()) return 0;
    if (name != folder->m_strOrgName && !CMyItem::IsUsableNameString(name)) {
        Host().Message(Sj("\\ / : , ; * ? < > | \nの文字はファイル名として使えません"));
        return 0;
    }
    const int row = list_->RowOf(folder);
    if (row >= 0) return SetNewName(row, name);
    if (name.empty()) return 0;
    // A folder of the tree that the list does not show.
    folder->m_strNewName = name;
    folder->UpdateWriteName();
    front_.TreeFolderChanged(folder);
    return 1;
}

void CSession::SetAutoIndex(bool on) {
    settings.autoSerialNum = on ? 1 : 0;
    if (root_) SwitchAutoIndexMode(root_.get(), on, Host());
}

// ---- Edits of the tree ---------------------------------------------------------------------

CMyItem* CSession::MakeFolder(CMyItem* parent) {
    return parent ? AddFoldToTree(parent, Host()) : nullptr;
}

CMyItem* CSession::RemoveFolder(CMyItem* folder) {
    if (!folder || folder == root_.get()) return nullptr;
    return RemoveTreeFolder(folder, Host());
}

RowsDeleted CSession::DeleteRows(const std::vector<int>& rows) {
    RowsDeleted out;
    if (!list_->pFolder || rows.empty()) return out;
    const ListDeleteResult r = DeleteSelectListItems(list_->pFolder, rows, Host());
    out.ok = r.ok;
    out.currentRow = r.currentRow;
    out.hasCurrentItem = r.hasCurrentItem;
    return out;
}

int CSession::MoveRows(const std::vector<int>& rows, int dropRow) {
    if (!list_->pFolder || dropRow < 0) return -1;
    return ListDropMove(list_->pFolder, rows, dropRow, Host());
}

bool CSession::MoveRowsToFolder(CMyItem* target, const std::vector<int>& rows,
                                const std::vector<CMyItem*>& items) {
    return target && ItemDropToTree(target, rows, items, Host());
}

bool CSession::MoveFolder(CMyItem* dragged, CMyItem* target, CMyItem* selected) {
    if (!dragged || dragged == root_.get()) return false;
    return TreeItemDropToTree(dragged, target, Host(), selected);
}

// ---- Disk ------------------------------------------------------------------------------------

namespace {

// STOP for a job: its own token, then the session's requests.
class JobHost : public ForwardingHost {
  public:
    JobHost(IHost& inner, const std::atomic<bool>& stop) : ForwardingHost(inner), stop_(stop) {}
    bool StopRequested() override { return Inner().StopRequested() || stop_; }

  private:
    const std::atomic<bool>& stop_;
};

class RenameJobImpl final : public CJob {
  public:
    RenameJobImpl(CSession& s, CMyItem* root, CMyDepthInfo& depth, std::string journalPath,
                  const ConflictCheck* known)
        : s_(s),
          root_(root),
          depth_(depth),
          journalPath_(std::move(journalPath)),
          host_(s.Host(), stop_) {
        if (known) known_ = known->conflicts.size();
    }

    bool Confirm() override {
        run_.reset();
        if (!root_) return false;
        if (!s_.JournalAllowsRename(false)) return false;
        auto run = std::make_unique<CRenameRun>(root_, depth_, host_);
        RenameOptions options;
        options.autoSerialNum = s_.AutoIndex();
        // One plan: the preview replays it here, the run carries it out.
        plan_ = std::make_unique<CRenamePlan>(root_, depth_, &s_.Scope(), run->TracePath());
        options.predictedFailures = known_ ? *known_ : PredictConflicts(*plan_).failures.size();
        if (!run->ConfirmStart(options)) {
            plan_.reset();
            return false;
        }
        run_ = std::move(run);
        return true;
    }

    void Run() override {
        std::unique_ptr<CRenameRun> run = std::move(run_);
        if (!run) return;
        CSession::RunningJob running(s_, *this);
        // Every change is journaled before it is made, so that it can be undone.
        CJournalWriter journal(journalPath_, "rename");
        run->SetWatcher(&journal);
        run->SetScope(&s_.Scope());
        const std::unique_ptr<CRenamePlan> plan = std::move(plan_);
        run->SetPlan(plan.get());
        todo_ = depth_.GetItemNum();
        const int r = run->RenameItemBySort();
        result_.outcome = r == 0 ? Outcome::Done : Outcome::Stopped;
        result_.counts.ok = run->m_iRenameOkNum;
        result_.counts.failed = run->m_iRenameErrNum;
        result_.counts.items = depth_.GetItemNum();
        result_.counts.notAttempted = run->m_iNotAttemptedNum;
        result_.counts.renameStop = EndOf(run->m_stop);
        result_.counts.logFailed = run->m_bLogFailed;
        done_ = static_cast<long long>(result_.counts.ok) + result_.counts.failed;
    }

  private:
    CSession& s_;
    CMyItem* root_;
    CMyDepthInfo& depth_;
    std::string journalPath_;
    std::optional<std::size_t> known_;
    JobHost host_;
    std::unique_ptr<CRenamePlan> plan_;
    std::unique_ptr<CRenameRun> run_;
};

class CopyJobImpl final : public CCopyJob {
  public:
    CopyJobImpl(CSession& s, CMyItem* root)
        : s_(s), root_(root), host_(s.Host(), stop_), run_(host_, s.tracePath) {}

    bool Confirm() override {
        CopyOptions options;
        options.autoSerialNum = s_.AutoIndex();
        confirmed_ = run_.ConfirmStart(root_, options);
        return confirmed_;
    }

    bool Prepare(const std::string& outputFolder) override {
        prepared_ = confirmed_ && run_.PrepareBuffer();
        folder_ = outputFolder;
        return prepared_;
    }

    void Run() override {
        if (!prepared_) return;
        prepared_ = false;
        CSession::RunningJob running(s_, *this);
        s_.settings.writeFolder = folder_;
        run_.Run(root_, folder_, &s_.Scope());
        result_.outcome = host_.StopRequested() ? Outcome::Stopped : Outcome::Done;
        result_.counts.ok = run_.m_iCopyOkNum;
        result_.counts.failed = run_.m_iCopyErrNum;
        done_ = static_cast<long long>(result_.counts.ok) + result_.counts.failed;
    }

  private:
    CSession& s_;
    CMyItem* root_;
    JobHost host_;
    CCopyRun run_;
    bool confirmed_ = false, prepared_ = false;
    std::string folder_;
};

}  // namespace

std::unique_ptr<CJob> CSession::RenameJob(const ConflictCheck* known) {
    return std::make_unique<RenameJobImpl>(*this, root_.get(), *depth_, JournalPath(), known);
}

std::unique_ptr<CCopyJob> CSession::CopyJob() {
    return std::make_unique<CopyJobImpl>(*this, root_.get());
}

bool CSession::JournalAllowsRename(bool undoHere) {
    const JournalInfo st = LastJournal();
    if (!st.Unfinished()) return true;
    if (st.refused) {
        Host().Message(FormatSj("※　%s は自分の所有でないか、他のユーザが書き込めるので使えませ"
                                "ん。\nフォルダ: %s\n",
                                JournalPath().c_str(), ProgramFolder().c_str()),
                       MsgKind::Ok, MsgIcon::Error);
        return false;
    }
    if (Host().Message(FormatSj("前回の処理は完了していません（記録された変更[%u]個）。\n"
                                "直接変更の前に元に戻しますか？",
                                static_cast<unsigned>(st.changes)),
                       MsgKind::YesNo, MsgIcon::Question) == MsgAnswer::Yes) {
        if (undoHere) {
            Undo();
        } else {
            undoRequested_ = true;
        }
        return false;
    }
    if (Host().Message(Sj("記録を破棄すると前回の変更は元に戻せなくなります。\n"
                          "記録を破棄して直接変更しますか？"),
                       MsgKind::YesNo, MsgIcon::Warning) != MsgAnswer::Yes)
        return false;
    return DiscardJournal();
}

bool CSession::DiscardJournal() {
    Fs().RemoveFile(UndoJournalPath());
    Fs().RemoveFile(JournalPath());
    EntryInfo info;
    return Fs().Stat(JournalPath(), info) == ENOENT && Fs().Stat(UndoJournalPath(), info) == ENOENT;
}

CommandResult CSession::Rename(const ConflictCheck* known,
                               const std::function<void(std::size_t)>& predicted) {
    if (!JournalAllowsRename(true)) return {};
    RenameOptions options;
    options.scope = &scope_;
    options.autoSerialNum = AutoIndex();
    // One plan: the preview replays it here (unless its result is known), the run carries it
    // out.
    CRenamePlan plan(
        root_.get(), *depth_, &scope_,
        root_ && !root_->m_strTracePath.empty() ? root_->m_strTracePath : DefaultTracePath());
    options.plan = &plan;
    options.predictedFailures =
        known ? known->conflicts.size() : PredictConflicts(plan).failures.size();
    if (predicted) predicted(options.predictedFailures);
    // Every change is journaled before it is made, so that it can be undone.
    CJournalWriter journal(JournalPath(), "rename");
    options.watcher = &journal;
    RenameCounts counts;
    CommandResult out;
    switch (DirectRename(root_.get(), *depth_, options, Host(), &counts)) {
        case 0:
            out.outcome = Outcome::Done;
            break;
        case 1:
            return out;  // a check failed or the user declined
        default:
            out.outcome = Outcome::Stopped;
            break;
    }
    out.counts.ok = counts.ok;
    out.counts.failed = counts.failed;
    out.counts.items = counts.itemNum;
    out.counts.notAttempted = counts.notAttempted;
    out.counts.renameStop = EndOf(counts.stop);
    out.counts.logFailed = counts.logFailed;
    return out;
}

namespace {

ConflictCheck ToCheck(ConflictPrediction p) {
    ConflictCheck out;
    out.stops = p.stops;
    out.conflicts.reserve(p.failures.size());
    for (PredictedFailure& f : p.failures)
        out.conflicts.push_back(
            {f.item, ConflictReasonText(f.reason), std::move(f.path), std::move(f.writePath)});
    return out;
}

}  // namespace

ConflictCheck CSession::Check() {
    return ToCheck(PredictConflicts(root_.get(), {}, &scope_));
}

std::optional<ConflictCheck> CSession::CheckUnlessStopped(const CJob* job) {
    ConflictPrediction p = PredictConflicts(
        root_.get(),
        [this, job] {
            return (job && job->StopAsked()) || Host().StopRequested() || Host().QuitRequested();
        },
        &scope_);
    if (p.abandoned) return std::nullopt;
    return ToCheck(std::move(p));
}

CommandResult CSession::Undo() {
    CommandResult out;
    UndoReport report;
    const int r = UndoLastRun(Host(), tracePath, &report);
    if (r == 1) return out;
    if (r != 0) {
        out.outcome = Outcome::Failed;
        out.counts.journalRefused = r == -2;
        return out;
    }
    out.outcome = report.notAttempted > 0 ? Outcome::Stopped : Outcome::Done;
    out.counts.ok = report.reverted;
    out.counts.failed = report.skipped;
    out.counts.notAttempted = report.notAttempted;
    out.counts.logFailed = report.logFailed;
    out.counts.items = static_cast<int>(report.reverted + report.already + report.skipped);
    // Items stand where the tree says until a change is taken back: an undo stopped before its
    // first step leaves the edits alone.
    if (root_ && root_->m_dwNumInFolder > 0 && report.reverted + report.already > 0) {
        Reset();
        Host().Message(Sj("元に戻したので、編集中のデータを破棄しました。"), MsgKind::Ok,
                       MsgIcon::Information);
    }
    return out;
}

JournalInfo CSession::LastJournal() const {
    const JournalState st = ReadJournalState();
    return {st.exists, st.finished, st.undoCutShort, st.changes, st.kind, st.refused};
}

std::string CSession::JournalText() const {
    std::string data, text;
    Journal j;
    if (ReadWholeFile(JournalPath(), data) != 0 || !ParseJournal(data, j)) return text;
    constexpr std::size_t kShown = 300;
    for (std::size_t i = 0; i < j.steps.size() && i < kShown; ++i) {
        const JournalStep& s = j.steps[i];
        if (s.kind == JournalStep::MakeDir) text += Sj("作成 ") + s.from;
        if (s.kind == JournalStep::RemoveDir) text += Sj("削除 ") + s.from;
        if (s.kind == JournalStep::Rename) text += Sj("改名 ") + s.from + " -> " + s.to;
        if (s.failed) text += Sj("（失敗）");
        text += '\n';
    }
    if (j.steps.size() > kShown) text += FormatSj("……他[%zu]個\n", j.steps.size() - kShown);
    return text;
}

CommandResult CSession::CopyTo(const std::string& outputFolder) {
    CCopyRun run(Host(), tracePath);
    CopyOptions options;
    options.autoSerialNum = AutoIndex();
    CommandResult out;
    if (CopyAndRename(run, root_.get(), outputFolder, options, &scope_) != 0) return out;
    settings.writeFolder = outputFolder;
    out.outcome = Host().StopRequested() ? Outcome::Stopped : Outcome::Done;
    out.counts.ok = run.m_iCopyOkNum;
    out.counts.failed = run.m_iCopyErrNum;
    return out;
}

bool CSession::WriteTextTree(CMyItem* folder) {
    return TextTreeOutput(folder ? folder : root_.get(), Host());
}

bool CSession::DrawTree(const std::string& path,
                        std::function<std::string(const std::string&)> showName) {
    CMyMakeTree maker(tracePath, &Host());
    maker.m_fnShowName = std::move(showName);
    return maker.MakeTree(root_.get(), path, false);
}

// ---- Save data file ----------------------------------------------------------------------

namespace {
CSaveDataFile MakeSaveFile(CSession& s) {
    CSaveDataFile file(s.Host(), s.tracePath, s.AutoIndex());
    file.m_fnResetTree = [&s](std::unique_ptr<CMyItem>&) { return s.Reset(); };
    file.m_strLoadedPath = s.saveFilePath;
    return file;
}
}  // namespace

bool CSession::ConfirmNew() {
    if (!root_ || root_->m_dwNumInFolder == 0) return false;
    return Host().Message(Sj("現在の内容を破棄しますか？"), MsgKind::YesNo, MsgIcon::Question) ==
           MsgAnswer::Yes;
}

bool CSession::ConfirmDiscard() {
    if (saveFilePath.empty() && !(root_ && root_->m_dwNumInFolder > 0)) return true;
    return Host().Message(Sj("現在のデータは全て破棄されますがよろしいですか？"), MsgKind::YesNo,
                          MsgIcon::Question) == MsgAnswer::Yes;
}

int CSession::New() {
    saveFilePath.clear();  // a later Save asks for a file again
    return Reset();
}

Outcome CSession::SaveAs(const std::string& path) {
    CSaveDataFile file = MakeSaveFile(*this);
    if (file.SaveAs(*root_, path) != 1) return Outcome::Failed;
    saveFilePath = path;
    AddRecentFile(settings, path);
    return Outcome::Done;
}

Outcome CSession::Save() {
    if (saveFilePath.empty()) return Outcome::NotStarted;
    CSaveDataFile file = MakeSaveFile(*this);
    return file.SaveWorker(*root_, saveFilePath) == 1 ? Outcome::Done : Outcome::Failed;
}

Outcome CSession::Open(const std::string& path) {
    CSaveDataFile file = MakeSaveFile(*this);
    list_->Show(nullptr);
    // Whatever happens, the tree no longer comes from the file in use before.
    saveFilePath.clear();
    file.Open(root_, path);
    // The file counts as loaded only when its tree was read: an old version's file is
    // refused (the engine reports that as handled) and leaves an empty tree like a damaged
    // one; a later Save must not write either over.
    const bool loaded = file.m_strLoadedPath == path && !path.empty();
    // The folders the file's entries came from are pinned as it is opened.
    scope_ = ScopeOfTree(root_.get());
    if (loaded) {
        saveFilePath = path;
        AddRecentFile(settings, path);
    }
    if (!list_->pFolder || list_->pFolder != root_.get()) ShowFolder(root_.get());
    return loaded ? Outcome::Done : Outcome::Failed;
}

// ---- Macros ----------------------------------------------------------------------------------

int CSession::MacroForKey(int fKey, bool alt, bool shift, bool ctrl, bool dragging,
                          bool busy) const {
    return MacroFileNumForKey(fKey, alt, shift, ctrl, list_->RowCount(), dragging, busy);
}

bool CSession::MacroCanStart(int fileNum) const {
    return dov::MacroCanStart(fileNum, tracePath);
}

std::string CSession::MacroFilePath(int fileNum) const {
    const std::string name = MacroFileName(fileNum);
    return name.empty() ? name : ProgramFile(name);
}

namespace {

// A macro's ClearAllItem is the session's reset; its sorts are the session's sorts.
class ResetOnRequest final : public IMacroRequests {
  public:
    explicit ResetOnRequest(CSession& s) : s_(s) {}
    int ResetTree(MacroTarget&) override { return s_.Reset(); }
    void SortFolder(MacroTarget&, int order, bool ascending) override {
        s_.SortFolderKeepingSelection(order == 0 ? kSortModified : kSortNatural, ascending);
    }

  private:
    CSession& s_;
};

}  // namespace

Outcome CSession::RunMacroNumberOrFile(int fileNum, const std::string* path, bool* closeAsked) {
    ResetOnRequest requests(*this);
    CMacroRunner runner(*list_, Host(), tracePath, &requests);
    const int opened = path ? runner.ExecuteMacroFile(*path) : runner.ExecuteMacro(fileNum);
    *closeAsked = runner.CloseAsked();
    return opened == 1 ? Outcome::Done : Outcome::Failed;
}

Outcome CSession::RunMacro(int fileNum) {
    bool close = false;
    const Outcome r = RunMacroNumberOrFile(fileNum, nullptr, &close);
    if (close) flags.quitReq = true;
    return r;
}

Outcome CSession::RunMacroFile(const std::string& path) {
    bool close = false;
    const Outcome r = RunMacroNumberOrFile(0, &path, &close);
    if (close) flags.quitReq = true;
    return r;
}

StatementResult CSession::RunStatement(const std::string& statement) {
    StatementResult out;
    CMacroParser parser(tracePath);
    if (!parser.CheckAndSetString(statement)) {
        out.problem = StatementResult::Problem::NotAStatement;
        return out;
    }
    parser.TraceParseResult();
    ResetOnRequest requests(*this);
    CMacroRunner runner(*list_, Host(), tracePath, &requests);
    CMacroStatement* st = parser.GetStatement();
    const int id = runner.CheckMacroStr(st);
    if (id < 0) {
        out.problem = StatementResult::Problem::NoSuchFunction;
        out.funcName = st->m_strFuncName;
        out.signature = st->BuildSignature();
        return out;
    }
    if (!runner.ExeMacro(id, st)) out.problem = StatementResult::Problem::NotRun;
    if (runner.CloseAsked()) flags.quitReq = true;
    return out;
}

}  // namespace dov
