// RenameLog.txt: one entry per item that a direct rename changed, created or failed to change,
// each checked on disk; the counts of the final report come from here.
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

}  // namespace

bool CRenameRun::MakeRenameLogString(CMyItem* pItem, std::string& strText, bool& bWrite) {
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
        if (!pItem->m_strOrgPath.empty() && pItem->m_strOrgPath != pItem->m_strPrevPath &&
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
    if (pItem->m_strOrgPath == pItem->m_strPrevPath) return true;  // unchanged

    if (pItem->m_bFolderMade) {
        AppendFormatSj(strText, "%s◎　新規フォルダとして作成しました。\n\t%s%s\n", sep.c_str(),
                       mark.c_str(), pItem->m_strOrgPath.c_str());
    } else {
        AppendFormatSj(strText, "%s◎　リネームに成功しました。\n\t旧パス %s%s\n\t新パス %s%s\n",
                       sep.c_str(), mark.c_str(), pItem->m_strPrevPath.c_str(), mark.c_str(),
                       pItem->m_strOrgPath.c_str());
    }
    ++m_iRenameOkNum;
    // Later operations (copy and rename) read the entry at its new place.
    pItem->m_status = info.status;
    bWrite = true;
    return true;
}

bool CRenameRun::MakeRenameLog() {
    const std::string path = ProgramFile("RenameLog.txt");
    m_bLogFailed = true;
    // A log that cannot be written is told to the user: it is the only record of the run.
    auto tellLost = [&]() {
        m_host.Message(FormatSj("リネームログファイルを書き込めませんでした。\n%s", path.c_str()),
                       MsgKind::Ok, MsgIcon::Warning);
    };
    if (path.empty()) {
        TraceF(m_strTracePath, "※　リネームログファイル名の作成に失敗。\n");
        tellLost();
        return false;
    }
    // Created directly (not through a temporary name): if the program dies half-way, what was
    // written so far is still there.
    std::unique_ptr<IFile> file;
    if (const int err = Fs().CreateTruncate(path, file); err != 0) {
        TraceF(m_strTracePath, "※　リネームログファイルのオープンに失敗。FileName= \"%s\"\n",
               path.c_str());
        // A link in the program's folder is never written through; the user has to know the
        // log is missing and why.
        m_host.Message(FormatSj(err == ELOOP ? "リネームログファイルがシンボリックリンクなので"
                                               "書き込みませんでした。\n%s"
                                             : "リネームログファイルを書き込めませんでした。\n%s",
                                path.c_str()),
                       MsgKind::Ok, MsgIcon::Warning);
        return false;
    }
    m_iRenameOkNum = 0;
    m_iRenameErrNum = 0;
    int logFailures = 0;
    bool writeFailed = false;

    // Entries are collected in a buffer and written in large blocks; an entry whose block could
    // not be written is traced and counted as a log failure.
    std::string buf;
    std::vector<std::pair<std::size_t, CMyItem*>> pending;  // entry start in buf, its item
    auto flush = [&]() {
        if (buf.empty()) return;
        long long w = file->Write(buf.data(), buf.size());
        if (w < 0 || static_cast<std::size_t>(w) != buf.size()) {
            const std::size_t written = w < 0 ? 0 : static_cast<std::size_t>(w);
            for (std::size_t k = 0; k < pending.size(); ++k) {
                const std::size_t end = k + 1 < pending.size() ? pending[k + 1].first : buf.size();
                if (end <= written) continue;
                const std::string entry = buf.substr(pending[k].first, end - pending[k].first);
                TraceF(m_strTracePath,
                       "※　アイテムリネーム情報の書き込みに失敗。\n\tOrgPath= \"%s\"\n%s",
                       pending[k].second->m_strOrgPath.c_str(), entry.c_str());
            }
            writeFailed = true;
        }
        buf.clear();
        pending.clear();
    };

    const int n = m_depth.GetItemNum();
    std::string text;
    for (int index = n - 1; index >= 0; --index) {
        CMyItem* item = m_depth.GetItemADRS(index);
        if (!item) {
            TraceF(m_strTracePath, "※　深さ情報クラスからアイテムのアドレス取得に失敗() [%d]\n",
                   index);
            ++logFailures;
            continue;
        }
        bool write = false;
        if (!MakeRenameLogString(item, text, write)) {
            TraceF(m_strTracePath, "※　アイテムのリネーム情報生成に失敗 MakeRenameLog()\n");
            ++logFailures;
        } else if (write) {
            pending.emplace_back(buf.size(), item);
            AppendCrLf(buf, text);
            if (buf.size() >= (1u << 20)) flush();
        }
        item->m_bFolderMade = 0;
    }
    flush();

    if (logFailures > 0) {
        const std::string summary = FormatSj(
            "==================================================\n\t※　[%d]個のアイテムのうち、[%d]"
            "個のリネーム情報生成に失敗\n==================================================\n",
            n, logFailures);
        std::string crlf;
        AppendCrLf(crlf, summary);
        const long long w = file->Write(crlf.data(), crlf.size());
        if (w < 0 || static_cast<std::size_t>(w) != crlf.size()) writeFailed = true;
        m_host.Message(summary, MsgKind::Ok, MsgIcon::Warning);
    }
    if (file->Close() != 0) writeFailed = true;
    if (writeFailed) {
        TraceF(m_strTracePath, "※　リネームログの書き込みに失敗。FileName= \"%s\"\n", path.c_str());
        tellLost();
        return false;
    }
    m_bLogFailed = false;
    return true;
}

}  // namespace dov
