#include "rename/copy_rename.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/sjis.h"
#include "common/trace.h"
#include "model/host.h"
#include "model/item.h"
#include "rename/rename_engine.h"
#include "rename/text_out.h"

namespace dov {
namespace {

// Reads until n bytes are in buf, the file ends or an error comes: the bytes read or -errno.
long long ReadFull(IFile& f, char* buf, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        long long r = f.Read(buf + got, n - got);
        if (r < 0) return r;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(got);
}

bool WriteAll(IFile& f, const char* buf, std::size_t n) {
    long long w = f.Write(buf, n);
    return w >= 0 && static_cast<std::size_t>(w) == n;
}

// The size recorded when the item was loaded: the true 64-bit size, or for records that do not
// carry it (older save data) the listed size halves or the 32-bit status size.
std::uint64_t RecordedSize(const CMyItem& item) {
    if (item.m_status.size64) return item.m_status.size64;
    const std::uint64_t listed = (static_cast<std::uint64_t>(item.m_findData.nFileSizeHigh) << 32) |
                                 item.m_findData.nFileSizeLow;
    if (listed) return listed;
    return static_cast<std::uint32_t>(item.m_status.m_size);
}

}  // namespace

CCopyRun::CCopyRun(IHost& host, std::string tracePath)
    : m_host(host), m_strTracePath(tracePath.empty() ? DefaultTracePath() : std::move(tracePath)) {}

bool CCopyRun::Stopped() {
    return m_host.StopRequested();
}

bool CCopyRun::ConfirmStart(CMyItem* root, const CopyOptions& options) {
    if (!root || root->m_dwNumInFolder == 0) return false;
    if (!root->m_strTracePath.empty()) m_strTracePath = root->m_strTracePath;
    if (!root->CheckInvalidChar()) {
        m_host.Message(Sj("※　無効なファイル名があります。"), MsgKind::Ok, MsgIcon::Warning);
        return false;
    }
    TraceF(m_strTracePath, "=============== コピーしてリネームを実行 ===============\n");
    if (options.autoSerialNum) {
        if (m_host.Message(Sj("自動連番モードで複製改名しますがよろしいですか？"), MsgKind::YesNo,
                           MsgIcon::Question) != MsgAnswer::Yes)
            return false;
        TraceF(m_strTracePath, "自動連番モードで複製改名\n");
    }
    return true;
}

bool CCopyRun::PrepareBuffer() {
    if (m_buffer) return true;
    m_buffer.reset(new (std::nothrow) char[kBufferSize]);
    if (!m_buffer) {
        m_host.Message(Sj("コピー用バッファが確保できません。"), MsgKind::Ok, MsgIcon::Error);
        return false;
    }
    return true;
}

void CCopyRun::Run(CMyItem* root, const std::string& outputFolder, const DiskScope* loaded) {
    if (!root || outputFolder.empty()) return;
    // What is read lies below the folders holding the loaded entries; what is written lies
    // below the output folder the user chose. Nothing below either that is a link is entered.
    DiskScope scope = loaded ? *loaded : ScopeOfTree(root);
    scope.Add(outputFolder);
    OperationScope operation(scope);
    CopyItemToFolder(root, outputFolder);
}

int CCopyRun::CopyItemToFolder(CMyItem* pItem, std::string strDest) {
    if (!pItem) {
        TraceF(m_strTracePath, "　※　引数が無効です。");
        ++m_iCopyErrNum;
        return -1;
    }
    pItem->UpdateWriteName();
    const int slash = FindLastCharDbcs(strDest, '/');
    if (slash < 0 || static_cast<std::size_t>(slash) + 1 != strDest.size()) strDest += '/';
    TraceF(m_strTracePath, "【対象ファイル名】%s\n", pItem->m_strOrgPath.c_str());

    const std::string& name = pItem->m_strWriteName;
    // "." and ".." would put the copy into the output folder or above it.
    const bool nameOk = !name.empty() && name != "." && name != "..";
    const std::string target = strDest + name;

    if (!pItem->m_bIsFolder) {
        if (nameOk && CopyItemFile(pItem, target) == 0) {
            TraceF(m_strTracePath, "　○　アイテム[ %s ]を作成\n", name.c_str());
            ++m_iCopyOkNum;
        } else {
            TraceF(m_strTracePath, "　×　アイテム[ %s ]のコピーに失敗\n", name.c_str());
            ++m_iCopyErrNum;
        }
        m_host.Progress(m_iCopyOkNum + m_iCopyErrNum, 0);
        return 0;
    }

    const bool isRoot = pItem->m_iLayer == 0;
    bool copySubItems = true;
    // The folder gets the source folder's permission bits (the owner may always write into it,
    // so that its contents can be copied).
    unsigned mode = 0777;
    if (EntryInfo source; !isRoot && Fs().Stat(pItem->m_strOrgPath, source) == 0 && source.isDir)
        mode = (source.mode & 0777) | 0700;
    int err = nameOk ? Fs().MakeDirMode(target, mode) : EINVAL;
    if (err == 0) {
        ++m_iCopyOkNum;
        TraceF(m_strTracePath, "　フォルダ[ %s ]作成\n", target.c_str());
    } else {
        EntryInfo info;
        // Merge only into a real folder: not into a file, and not through a symbolic link.
        if (err == EEXIST && Fs().Stat(target, info) == 0 && info.isDir && !info.isLink) {
            TraceF(m_strTracePath, "　※　同名のフォルダが既に存在します。\n");
        } else {
            TraceF(m_strTracePath, "　※　サブフォルダを作成できませんでした.[ %s ]\n",
                   target.c_str());
            ++m_iCopyErrNum;
            if (!isRoot) return -1;
            copySubItems = false;
        }
    }
    m_host.Progress(m_iCopyOkNum + m_iCopyErrNum, 0);

    if (copySubItems) {
        const int n = static_cast<int>(pItem->m_dwNumInFolder);
        for (int i = 0; i < n; ++i) {
            if (Stopped() || m_host.QuitRequested()) {
                if (!isRoot) return 0;
                break;
            }
            CopyItemToFolder(pItem->GetSubItem(i), target);
        }
    }
    if (!isRoot) return 0;

    // The report, once, for the root.
    const bool quit = m_host.QuitRequested();
    if (Stopped() && !quit)
        m_host.Message(Sj("中止されました。"), MsgKind::Ok, MsgIcon::Information);
    const std::string result =
        FormatSj("【 実行結果 】\n\n完了ファイル数： %d\n失敗ファイル数： %d\n",
                 static_cast<int>(m_iCopyOkNum), static_cast<int>(m_iCopyErrNum));
    // The user is told where the failures are described, and how many met a taken name.
    std::string shown = result;
    if (m_iCopyErrNum > 0) {
        if (m_iCopyTakenNum > 0)
            shown += FormatSj("\n同名のファイルが既にあるためコピーしなかったファイル： %u\n",
                              static_cast<unsigned>(m_iCopyTakenNum));
        shown += Sj("\n失敗の理由は DataTrace.txt の「×」と「※」の行に記されています。\n");
    }
    if (!quit) m_host.Message(shown, MsgKind::Ok, MsgIcon::Information);
    TraceF(m_strTracePath, "========================================\n");
    TraceWrite(m_strTracePath, result);
    TraceF(m_strTracePath, "\n");
    return 0;
}

int CCopyRun::CopyItemFile(CMyItem* pItem, const std::string& strTarget) {
    if (!pItem) return -1;
    if (!m_buffer) {
        m_buffer.reset(new (std::nothrow) char[kBufferSize]);
        if (!m_buffer) {
            TraceF(m_strTracePath, "※　バッファの確保に失敗\n");
            return -1;
        }
    }
    const std::size_t chunkMax = std::clamp<std::size_t>(m_chunk, 1, kBufferSize);

    IFileSystem& fs = Fs();
    auto exists = [&]() {
        TraceF(m_strTracePath, "　※　同名のファイルが既に存在するのでコピーしません。[ %s ]\n",
               strTarget.c_str());
        ++m_iCopyTakenNum;
        return -1;
    };
    // Regular files only (a FIFO or device fails instead of blocking). The item's own path: the
    // status record's copy of it is cut at the save file's field size.
    std::unique_ptr<IFile> src;
    if (fs.OpenRead(pItem->m_strOrgPath, src) != 0) return -1;
    // The copy keeps the source's permission bits; until it is complete only the user can
    // read it.
    unsigned mode = 0644;
    if (src->GetMode(mode) != 0) mode = 0644;
    // A taken name is not worth reading the whole file for; the final no-replace rename below
    // is what guarantees nothing is overwritten.
    if (EntryInfo taken; fs.Stat(strTarget, taken) == 0) {
        src->Close();
        return exists();
    }

    // Written under a temporary name in the target folder and put in place only when complete,
    // so a copy killed half-way never leaves a cut file under the final name.
    std::unique_ptr<IFile> dst;
    std::string part;
    int createErr = EEXIST;
    const std::string folder = strTarget.substr(0, strTarget.size() - BaseName(strTarget).size());
    for (int i = 0; i < 100 && createErr == EEXIST; ++i) {
        part = folder + ".dovreth-part" + std::to_string(::getpid()) + "_" +
               std::to_string(m_iPartSerial++);
        createErr = fs.CreateNew(part, dst, 0600);
    }
    if (createErr != 0) {
        src->Close();
        return -1;
    }
    // From here on the temporary file is ours: any failure removes it again.
    auto fail = [&]() {
        src->Close();
        dst->Close();
        fs.RemoveFile(part);
        return -1;
    };

    char* buf = m_buffer.get();
    std::uint64_t remaining = RecordedSize(*pItem);
    while (remaining > 0) {
        if (Stopped()) return fail();
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunkMax, remaining));
        if (ReadFull(*src, buf, chunk) != static_cast<long long>(chunk)) {
            TraceF(m_strTracePath, "※　ファイル操作に失敗\n");
            return fail();
        }
        if (!WriteAll(*dst, buf, chunk)) {
            TraceF(m_strTracePath, "※　ファイル操作に失敗\n");
            return fail();
        }
        remaining -= chunk;
    }
    // A file that grew after it was loaded is copied whole, not cut at the recorded size.
    for (;;) {
        const long long got = ReadFull(*src, buf, chunkMax);
        if (got < 0) {
            TraceF(m_strTracePath, "※　ファイル操作に失敗\n");
            return fail();
        }
        if (got == 0) break;
        if (Stopped()) return fail();
        if (!WriteAll(*dst, buf, static_cast<std::size_t>(got))) {
            TraceF(m_strTracePath, "※　ファイル操作に失敗\n");
            return fail();
        }
    }
    src->Close();
    if (dst->SetMode(mode & 0777) != 0 || dst->Close() != 0) {
        TraceF(m_strTracePath, "※　ファイル操作に失敗\n");
        fs.RemoveFile(part);
        return -1;
    }
    if (const int err = fs.RenameNoReplace(part, strTarget); err != 0) {
        fs.RemoveFile(part);
        return err == EEXIST ? exists() : -1;
    }
    return 0;
}

int CopyAndRename(CCopyRun& run, CMyItem* root, const std::string& outputFolder,
                  const CopyOptions& options, const DiskScope* loaded) {
    if (!run.ConfirmStart(root, options)) return 1;
    if (!run.PrepareBuffer()) return 1;
    run.m_iCopyOkNum = 0;
    run.m_iCopyErrNum = 0;
    run.m_iCopyTakenNum = 0;
    run.Run(root, outputFolder, loaded);
    return 0;
}

int CopyAndRename(CMyItem* root, const std::string& outputFolder, const CopyOptions& options,
                  IHost& host) {
    CCopyRun run(host);
    return CopyAndRename(run, root, outputFolder, options);
}

}  // namespace dov
