// RenameLog.txt: one entry per item that a direct rename changed, created or failed to change,
// each checked on disk; the counts of the final report come from here.
#include "rename/rename_log.h"

#include <cerrno>
#include <string>
#include <vector>

#include "common/codepage.h"
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

}  // namespace

bool CRenameRun::MakeRenameLogString(CMyItem* pItem, std::string& strText, bool& bWrite,
                                     bool quick) {
    strText.clear();
    bWrite = false;
    if (!pItem) return false;
    const std::string& sep = Sj(kSeparator);
    const std::string& mark = pItem->m_bIsFolder ? Sj("□") : Sj("■");

    if (pItem->m_strOrgPath.empty()) {
        TraceF(m_strTracePath,
               "%s※　新規パスが無効。。MakeRenameLogString()\n\tOrgPath= %s\"%s\"\n", sep.c_str(),
               mark.c_str(), pItem->m_strPrevPath.c_str());
    }

    if (pItem->m_bRenameFailed) {
        // The item is still where m_strOrgPath says, under its own name. When a folder above it
        // was renamed, its status is read at the new place, so that later operations act on it
        // (and never on whatever holds the name it wanted).
        EntryInfo info;
        if (!quick && !pItem->m_strOrgPath.empty() && pItem->m_strOrgPath != pItem->m_strPrevPath &&
            Fs().Stat(pItem->m_strOrgPath, info) == 0) {
            info.findData.cAlternateFileName.clear();
            pItem->m_findData = info.findData;
            pItem->m_status = info.status;
        }
        AppendFormatSj(strText, "%s×　%sリネーム失敗。\n\t元のパス= \"%s\"\n\t希望のパス= \"%s\"\n",
                       sep.c_str(), mark.c_str(), pItem->m_strPrevPath.c_str(),
                       pItem->m_strWritePath.c_str());
        ++m_iRenameErrNum;
        bWrite = true;
        return true;
    }

    // One lstat answers both questions the log asks (does the entry exist, what is its status);
    // no folder is listed per item.
    if (quick) {
        // The rename call said it was made: the entry is taken to be where it went.
        if (pItem->m_strOrgPath.empty() || SameOnDisk(pItem->m_strOrgPath, pItem->m_strPrevPath))
            return true;
        pItem->m_findData.cFileName = pItem->m_strOrgName;
        return AddDoneEntry(pItem, strText, bWrite);
    }
    EntryInfo info;
    const int err = pItem->m_strOrgPath.empty() ? ENOENT : Fs().Stat(pItem->m_strOrgPath, info);
    if (err != 0) {
        if (pItem->m_bFolderMade) {
            AppendFormatSj(strText,
                           "%s×　新規フォルダとして作成しましたが存在を確認出来ません。\n\t%s%s\n",
                           sep.c_str(), mark.c_str(), pItem->m_strOrgPath.c_str());
        } else {
            AppendFormatSj(
                strText,
                "%s×　リネームしましたが FindFirstFile() で存在を確認出来ません。\n\t旧パス "
                "%s%s\n\t新パス %s%s\n",
                sep.c_str(), mark.c_str(), pItem->m_strPrevPath.c_str(), mark.c_str(),
                pItem->m_strOrgPath.c_str());
        }
        ++m_iRenameErrNum;
        bWrite = true;
        return true;
    }
    info.findData.cAlternateFileName.clear();
    pItem->m_findData = info.findData;
    // Unchanged (or changed only to the other code of a character CP932 codes twice).
    if (SameOnDisk(pItem->m_strOrgPath, pItem->m_strPrevPath)) return true;

    // Later operations (copy and rename) read the entry at its new place.
    pItem->m_status = info.status;
    return AddDoneEntry(pItem, strText, bWrite);
}

bool CRenameRun::AddDoneEntry(CMyItem* pItem, std::string& strText, bool& bWrite) {
    const std::string& sep = Sj(kSeparator);
    const std::string& mark = pItem->m_bIsFolder ? Sj("□") : Sj("■");
    if (pItem->m_bFolderMade) {
        AppendFormatSj(strText, "%s◎　新規フォルダとして作成しました。\n\t%s%s\n", sep.c_str(),
                       mark.c_str(), pItem->m_strOrgPath.c_str());
    } else {
        AppendFormatSj(strText, "%s◎　リネームに成功しました。\n\t旧パス %s%s\n\t新パス %s%s\n",
                       sep.c_str(), mark.c_str(), pItem->m_strPrevPath.c_str(), mark.c_str(),
                       pItem->m_strOrgPath.c_str());
    }
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
    return true;
}

void CRenameLogWriter::Entry(std::string_view text, std::string_view path) {
    if (!file_) return;
    entries_.emplace_back(buf_.size(), path);
    AppendCrLf(buf_, text);
    if (buf_.size() >= (1u << 20)) Flush();
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

bool CRenameRun::MakeRenameLog() {
    m_bLogFailed = true;
    CRenameLogWriter log(m_host, m_strTracePath);
    if (!log.Open()) return false;
    m_iRenameOkNum = 0;
    m_iRenameErrNum = 0;
    int logFailures = 0;

    const int n = m_depth.GetItemNum();
    std::string text;
    bool quick = m_host.StopRequested() || m_host.QuitRequested();
    for (int index = n - 1; index >= 0; --index) {
        CMyItem* item = m_depth.GetItemADRS(index);
        if (!item) {
            TraceF(m_strTracePath, "※　深さ情報クラスからアイテムのアドレス取得に失敗() [%d]\n",
                   index);
            ++logFailures;
            continue;
        }
        // Items STOP left alone are where they were: only the folders created before are
        // looked at.
        if (index <= m_iNotReachedFrom && !item->m_bFolderMade) continue;
        // Once STOP or closing is asked for, the log is made without looking at the disk again,
        // so that the user hears at once.
        if (!quick && (n - index) % kLookStep == 0)
            quick = m_host.StopRequested() || m_host.QuitRequested();
        bool write = false;
        if (!MakeRenameLogString(item, text, write, quick)) {
            TraceF(m_strTracePath, "※　アイテムのリネーム情報生成に失敗 MakeRenameLog()\n");
            ++logFailures;
        } else if (write) {
            log.Entry(text, item->m_strOrgPath);
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
