// RenameLog.txt: one entry per item that a direct rename changed, created or failed to change,
// each checked on disk; the counts of the final report come from here.
#include "rename/rename_log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "common/codepage.h"
#include "common/format.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "rename/rename_engine.h"
#include "rename/text_out.h"

namespace dov {
namespace {

const char* const kSeparator = "--------------------------------------------------\n";
// How often the log asks whether STOP has come.
constexpr int kLookStep = 256;
// From this many entries the log's looks at the disk are split over two threads.
constexpr int kSplitLooksAt = 4096;
// The log is written in blocks of this size (and what is left at the end).
constexpr std::size_t kBlock = 64 * 1024;

// A path as the log takes it: up to a NUL, as a C string.
std::string_view Field(const std::string& path) {
    return std::string_view(path.data(), std::char_traits<char>::length(path.c_str()));
}

// The text of one kind of entry, made once: CP932 with CR LF, as the file has it, cut where
// its paths go. Written as a text of the program in which {sep} stands for the separator line,
// {mark} for the mark of a file or folder and {path} for a path.
class EntryForm {
  public:
    EntryForm(const char* utf8, bool folder) {
        std::string text = Sj(utf8);
        auto put = [&](std::string_view name, const std::string& with) {
            for (std::size_t at; (at = text.find(name)) != std::string::npos;)
                text.replace(at, name.size(), with);
        };
        put("{sep}", Sj(kSeparator));
        put("{mark}", folder ? Sj("□") : Sj("■"));
        const std::string_view slot = "{path}";
        std::size_t from = 0;
        for (std::size_t at; (at = text.find(slot, from)) != std::string::npos;
             from = at + slot.size())
            AppendCrLf(pieces_.emplace_back(), std::string_view(text).substr(from, at - from));
        AppendCrLf(pieces_.emplace_back(), std::string_view(text).substr(from));
    }

    // Appends the entry with its one path, or two (each '\n' in a path as CR LF).
    void Append(std::string& out, const std::string& first,
                const std::string* second = nullptr) const {
        const std::string_view a = Field(first);
        const std::string_view b = second ? Field(*second) : std::string_view();
        if (std::memchr(a.data(), '\n', a.size()) ||
            (second && std::memchr(b.data(), '\n', b.size()))) {
            out.append(pieces_[0]);
            AppendCrLf(out, a);
            out.append(pieces_[1]);
            if (second) {
                AppendCrLf(out, b);
                out.append(pieces_[2]);
            }
            return;
        }
        // One growth of out, then plain copies.
        const std::string& p0 = pieces_[0];
        const std::string& p1 = pieces_[1];
        const std::string& p2 = second ? pieces_[2] : p1;
        const std::size_t at = out.size();
        out.resize(at + p0.size() + a.size() + p1.size() + (second ? b.size() + p2.size() : 0));
        char* p = out.data() + at;
        auto put = [&p](std::string_view s) {
            std::memcpy(p, s.data(), s.size());
            p += s.size();
        };
        put(p0);
        put(a);
        put(p1);
        if (second) {
            put(b);
            put(p2);
        }
    }

  private:
    std::vector<std::string> pieces_;
};

// Each kind of entry, for a file [0] and a folder [1].
struct EntryForms {
    explicit EntryForms(const char* utf8) : form{EntryForm(utf8, false), EntryForm(utf8, true)} {}
    const EntryForm& operator[](bool folder) const { return form[folder ? 1 : 0]; }
    EntryForm form[2];
};

const EntryForms& FailedForm() {
    static const EntryForms f(
        "{sep}×　{mark}リネーム失敗。\n\t元のパス= \"{path}\"\n\t希望のパス= \"{path}\"\n");
    return f;
}
const EntryForms& MadeGoneForm() {
    static const EntryForms f(
        "{sep}×　新規フォルダとして作成しましたが存在を確認出来ません。\n\t{mark}{path}\n");
    return f;
}
const EntryForms& RenamedGoneForm() {
    static const EntryForms f(
        "{sep}×　リネームしましたが FindFirstFile() で存在を確認出来ません。\n\t旧パス "
        "{mark}{path}\n\t新パス {mark}{path}\n");
    return f;
}
const EntryForms& MadeForm() {
    static const EntryForms f("{sep}◎　新規フォルダとして作成しました。\n\t{mark}{path}\n");
    return f;
}
const EntryForms& RenamedForm() {
    static const EntryForms f(
        "{sep}◎　リネームに成功しました。\n\t旧パス {mark}{path}\n\t新パス {mark}{path}\n");
    return f;
}

// The records read into info become the item's. The full path is swapped, not copied: info is
// read into again for the next item and keeps the item's old buffer for that.
void TakeFindData(CMyItem* pItem, EntryInfo& info) {
    FindData& to = pItem->m_findData;
    const FindData& from = info.findData;
    to.dwFileAttributes = from.dwFileAttributes;
    to.ftCreationTime = from.ftCreationTime;
    to.ftLastAccessTime = from.ftLastAccessTime;
    to.ftLastWriteTime = from.ftLastWriteTime;
    to.nFileSizeHigh = from.nFileSizeHigh;
    to.nFileSizeLow = from.nFileSizeLow;
    to.dwReserved0 = from.dwReserved0;
    to.dwReserved1 = from.dwReserved1;
    to.cFileName = from.cFileName;  // a short text, most often: a copy is cheaper than a swap
    to.cAlternateFileName.clear();
}

void TakeStatus(CMyItem* pItem, EntryInfo& info) {
    FileStatus& to = pItem->m_status;
    const FileStatus& from = info.status;
    to.m_ctime = from.m_ctime;
    to.m_mtime = from.m_mtime;
    to.m_atime = from.m_atime;
    to.m_size = from.m_size;
    to.m_attribute = from.m_attribute;
    to.m_padding = from.m_padding;
    to.size64 = from.size64;
    to.device = from.device;
    to.inode = from.inode;
    to.type = from.type;
    to.m_szFullName.swap(info.status.m_szFullName);
}

// Where the log reads an entry's status (kept from item to item, so that its texts keep their
// storage).
EntryInfo& LookedUp() {
    thread_local EntryInfo info;
    return info;
}

}  // namespace

// What the log found of an entry on disk (its records then taken into the item).
enum class CRenameRun::Look : std::uint8_t {
    Quick,      // not looked at (STOP or closing): the entry is made from what the run knows
    Failed,     // its rename failed (looked at only when a folder above it moved)
    Gone,       // not found where the run left it
    Unchanged,  // found, under the same name on disk
    Changed,    // found under its new name
};

CRenameRun::Look CRenameRun::LookAtEntry(CMyItem* pItem, bool quick) {
    EntryInfo& info = LookedUp();
    if (pItem->m_bRenameFailed) {
        // The item is still where m_strOrgPath says, under its own name. When a folder above it
        // was renamed, its status is read at the new place, so that later operations act on it
        // (and never on whatever holds the name it wanted).
        if (!quick && !pItem->m_strOrgPath.empty() && pItem->m_strOrgPath != pItem->m_strPrevPath &&
            Fs().Stat(pItem->m_strOrgPath, info) == 0) {
            TakeFindData(pItem, info);
            TakeStatus(pItem, info);
        }
        return Look::Failed;
    }
    if (quick) return Look::Quick;
    // One lstat answers both questions the log asks (does the entry exist, what is its status);
    // no folder is listed per item.
    if (pItem->m_strOrgPath.empty() || Fs().Stat(pItem->m_strOrgPath, info) != 0) return Look::Gone;
    TakeFindData(pItem, info);
    // Unchanged (or changed only to the other code of a character CP932 codes twice). Two
    // different ASCII paths are never the same on disk.
    const std::string& org = pItem->m_strOrgPath;
    const std::string& prev = pItem->m_strPrevPath;
    if (!(org != prev && IsAscii(org) && IsAscii(prev)) && SameOnDisk(org, prev))
        return Look::Unchanged;
    // Later operations (copy and rename) read the entry at its new place.
    TakeStatus(pItem, info);
    return Look::Changed;
}

// The entry's text is appended to strText (the log's buffer) as the file has it (CR LF).
bool CRenameRun::MakeRenameLogString(CMyItem* pItem, std::string& strText, bool& bWrite,
                                     bool quick) {
    bWrite = false;
    if (!pItem) return false;
    return AppendLogEntry(pItem, strText, bWrite, LookAtEntry(pItem, quick));
}

bool CRenameRun::AppendLogEntry(CMyItem* pItem, std::string& strText, bool& bWrite, Look look) {
    bWrite = false;
    const bool folder = pItem->m_bIsFolder != 0;
    if (pItem->m_strOrgPath.empty()) {
        TraceF(m_strTracePath,
               "%s※　新規パスが無効。。MakeRenameLogString()\n\tOrgPath= %s\"%s\"\n",
               Sj(kSeparator).c_str(), folder ? Sj("□").c_str() : Sj("■").c_str(),
               pItem->m_strPrevPath.c_str());
    }
    switch (look) {
        case Look::Failed:
            FailedForm()[folder].Append(strText, pItem->m_strPrevPath, &pItem->m_strWritePath);
            ++m_iRenameErrNum;
            bWrite = true;
            return true;
        case Look::Quick:
            // The rename call said it was made: the entry is taken to be where it went.
            if (pItem->m_strOrgPath.empty() ||
                SameOnDisk(pItem->m_strOrgPath, pItem->m_strPrevPath))
                return true;
            pItem->m_findData.cFileName = pItem->m_strOrgName;
            return AddDoneEntry(pItem, strText, bWrite);
        case Look::Gone:
            if (pItem->m_bFolderMade)
                MadeGoneForm()[folder].Append(strText, pItem->m_strOrgPath);
            else
                RenamedGoneForm()[folder].Append(strText, pItem->m_strPrevPath,
                                                 &pItem->m_strOrgPath);
            ++m_iRenameErrNum;
            bWrite = true;
            return true;
        case Look::Unchanged:
            return true;
        case Look::Changed:
            break;
    }
    return AddDoneEntry(pItem, strText, bWrite);
}

bool CRenameRun::AddDoneEntry(CMyItem* pItem, std::string& strText, bool& bWrite) {
    const bool folder = pItem->m_bIsFolder != 0;
    if (pItem->m_bFolderMade)
        MadeForm()[folder].Append(strText, pItem->m_strOrgPath);
    else
        RenamedForm()[folder].Append(strText, pItem->m_strPrevPath, &pItem->m_strOrgPath);
    ++m_iRenameOkNum;
    bWrite = true;
    return true;
}

CRenameLogWriter::CRenameLogWriter(IHost& host, std::string tracePath)
    : host_(host), trace_(std::move(tracePath)) {}

CRenameLogWriter::~CRenameLogWriter() {
    if (file_) Close();
}

void CRenameLogWriter::TellLost() {
    host_.Message(FormatSj("リネームログファイルを書き込めませんでした。\n%s", path_.c_str()),
                  MsgKind::Ok, MsgIcon::Warning);
}

bool CRenameLogWriter::Open() {
    path_ = ProgramFile("RenameLog.txt");
    if (path_.empty()) {
        TraceF(trace_, "※　リネームログファイル名の作成に失敗。\n");
        TellLost();
        return false;
    }
    // Created directly (not through a temporary name): if the program dies half-way, what was
    // written so far is still there.
    if (const int err = Fs().CreateTruncate(path_, file_); err != 0) {
        file_.reset();
        TraceF(trace_, "※　リネームログファイルのオープンに失敗。FileName= \"%s\"\n",
               path_.c_str());
        // A link in the program's folder is never written through; the user has to know the
        // log is missing and why.
        host_.Message(FormatSj(err == ELOOP ? "リネームログファイルがシンボリックリンクなので"
                                              "書き込みませんでした。\n%s"
                                            : "リネームログファイルを書き込めませんでした。\n%s",
                               path_.c_str()),
                      MsgKind::Ok, MsgIcon::Warning);
        return false;
    }
    opened_ = true;
    buf_.reserve(kBlock + 4096);
    return true;
}

void CRenameLogWriter::Entry(std::string_view text, std::string_view path) {
    if (!file_) return;
    entries_.emplace_back(buf_.size(), path);
    AppendCrLf(buf_, text);
    if (buf_.size() >= kBlock) Flush();
}

void CRenameLogWriter::Added(std::size_t at, std::string_view path) {
    if (!file_) {
        buf_.clear();
        return;
    }
    entries_.emplace_back(at, path);
    if (buf_.size() >= kBlock) Flush();
}

void CRenameLogWriter::Text(std::string_view text) {
    if (!file_) return;
    Flush();
    AppendCrLf(buf_, text);
    Flush();
}

void CRenameLogWriter::Flush() {
    if (buf_.empty()) return;
    const long long w = file_->Write(buf_.data(), buf_.size());
    if (w < 0 || static_cast<std::size_t>(w) != buf_.size()) {
        // Every entry not written whole goes to the trace.
        const std::size_t written = w < 0 ? 0 : static_cast<std::size_t>(w);
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            const std::size_t end = k + 1 < entries_.size() ? entries_[k + 1].first : buf_.size();
            if (end <= written) continue;
            const std::string path(entries_[k].second);
            const std::string entry = buf_.substr(entries_[k].first, end - entries_[k].first);
            TraceF(trace_, "※　アイテムリネーム情報の書き込みに失敗。\n\tOrgPath= \"%s\"\n%s",
                   path.c_str(), entry.c_str());
        }
        failed_ = true;
    }
    buf_.clear();
    entries_.clear();
}

bool CRenameLogWriter::Close() {
    if (!file_) return false;
    Flush();
    if (file_->Close() != 0) failed_ = true;
    file_.reset();
    if (failed_) {
        TraceF(trace_, "※　リネームログの書き込みに失敗。FileName= \"%s\"\n", path_.c_str());
        TellLost();
        return false;
    }
    return opened_;
}

bool CRenameRun::LeftAlone(int index, const CMyItem* item) const {
    // Items STOP left alone are where they were: only the folders created before are looked at.
    return index <= m_iNotReachedFrom && !item->m_bFolderMade;
}

std::vector<CRenameRun::Look> CRenameRun::LookAtEntries(int n) {
    std::vector<Look> looks(static_cast<std::size_t>(std::max(n, 0)), Look::Quick);
    // Once STOP or closing is asked for, the disk is not looked at again, so that the user
    // hears at once. Only this thread asks the host.
    std::atomic<bool> quick = m_host.StopRequested() || m_host.QuitRequested();
    // Entries [from, to) of the depth index, the last first (the log's order). Each item is
    // looked at by one thread only.
    auto lookAt = [&](int from, int to, bool asks) {
        int count = 0;
        for (int index = to - 1; index >= from; --index) {
            if (quick.load(std::memory_order_relaxed)) return;
            CMyItem* item = m_depth.GetItemADRS(index);
            if (!item || LeftAlone(index, item)) continue;
            if (asks && ++count % kLookStep == 0 &&
                (m_host.StopRequested() || m_host.QuitRequested())) {
                quick = true;
                return;
            }
            looks[static_cast<std::size_t>(index)] = LookAtEntry(item, false);
        }
    };
    // A large tree is looked at on two threads, when the file system allows it: the first
    // half of the entries here, the other half beside.
    const int split =
        n >= kSplitLooksAt && Fs().ConcurrentStat() && std::thread::hardware_concurrency() > 1
            ? n / 2
            : 0;
    std::exception_ptr failed;
    std::thread helper;
    if (split > 0) {
        helper = std::thread([&] {
            try {
                lookAt(0, split, false);
            } catch (...) {
                failed = std::current_exception();
                quick = true;
            }
        });
    }
    try {
        lookAt(split, n, true);
    } catch (...) {
        quick = true;
        if (helper.joinable()) helper.join();
        throw;
    }
    if (helper.joinable()) helper.join();
    if (failed) std::rethrow_exception(failed);
    return looks;
}

bool CRenameRun::MakeRenameLog() {
    m_bLogFailed = true;
    CRenameLogWriter log(m_host, m_strTracePath);
    if (!log.Open()) return false;
    m_iRenameOkNum = 0;
    m_iRenameErrNum = 0;
    int logFailures = 0;

    const int n = m_depth.GetItemNum();
    const std::vector<Look> looks = LookAtEntries(n);
    for (int index = n - 1; index >= 0; --index) {
        CMyItem* item = m_depth.GetItemADRS(index);
        if (!item) {
            TraceF(m_strTracePath, "※　深さ情報クラスからアイテムのアドレス取得に失敗() [%d]\n",
                   index);
            ++logFailures;
            continue;
        }
        if (LeftAlone(index, item)) continue;
        bool write = false;
        // The entry goes straight into the log's buffer.
        std::string& buf = log.Buffer();
        const std::size_t at = buf.size();
        // Not looked at: a failed item is reported as failed all the same.
        Look look = looks[static_cast<std::size_t>(index)];
        if (look == Look::Quick) look = LookAtEntry(item, true);
        if (!AppendLogEntry(item, buf, write, look)) {
            buf.resize(at);
            TraceF(m_strTracePath, "※　アイテムのリネーム情報生成に失敗 MakeRenameLog()\n");
            ++logFailures;
        } else if (write) {
            log.Added(at, item->m_strOrgPath);
        } else {
            buf.resize(at);
        }
        item->m_bFolderMade = 0;
    }

    if (logFailures > 0) {
        const std::string summary = FormatSj(
            "==================================================\n\t※　[%d]個のアイテムのうち、[%d]"
            "個のリネーム情報生成に失敗\n==================================================\n",
            n, logFailures);
        log.Text(summary);
        m_host.Message(summary, MsgKind::Ok, MsgIcon::Warning);
    }
    if (!log.Close()) return false;
    m_bLogFailed = false;
    return true;
}

}  // namespace dov
