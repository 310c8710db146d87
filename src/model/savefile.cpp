#include "model/savefile.h"

#include <unistd.h>

#include <cerrno>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/paths.h"
#include "common/pathtext.h"
#include "common/trace.h"
#include "model/item.h"
#include "model/parts_array.h"

namespace dov {
namespace {

// A C field of n bytes holds at most n - 1 bytes and ends at the first NUL.
std::string FitField(std::string s, std::size_t field) {
    const std::size_t nul = s.find('\0');
    if (nul != std::string::npos) s.resize(nul);
    if (s.size() > field - 1) s.resize(field - 1);
    return s;
}

void PutTime(CArchive& ar, const FileTime& t) {
    ar.WriteU32(t.high);
    ar.WriteU32(t.low);
}

FileTime GetTime(CArchive& ar) {
    FileTime t;
    t.high = ar.ReadU32();
    t.low = ar.ReadU32();
    return t;
}

// The path of an item, its stored parent path and its name agree, and the status path is the
// path as far as its field holds it.
bool ItemPathAgrees(const CMyItem& item) {
    const std::string& path = item.m_strOrgPath;
    if (!IsCleanPath(path)) return false;
    // Byte by byte: the name is one whole element whatever its bytes are.
    if (path == "/") {
        if (!item.m_strParentPath.empty()) return false;
    } else if (item.m_strOrgName.find('/') != std::string::npos ||
               path != item.m_strParentPath + "/" + item.m_strOrgName) {
        return false;
    }
    return item.m_status.m_szFullName == FitField(path, 260);
}

bool SubPathsConsistent(const CMyItem& folder, std::string* why) {
    if (!folder.m_pArray) return true;
    for (int i = 0; i < folder.m_pArray->GetSize(); ++i) {
        const CMyItem* sub = folder.m_pArray->GetAt(i);
        if (!sub) continue;
        // An item keeps the path where it is on disk wherever the tree shows it (a loaded entry
        // dragged into another folder is moved there by the next rename); the folders the
        // entries lie in are what the rename and the copy may reach (see ScopeOfTree).
        const bool ok = sub->m_strOrgPath.empty() ? sub->m_bIsFolder && sub->m_bUserMakeFold
                                                  : ItemPathAgrees(*sub);
        if (!ok) {
            if (why) *why = sub->m_strOrgPath;
            return false;
        }
        if (sub->m_bIsFolder && !SubPathsConsistent(*sub, why)) return false;
    }
    return true;
}

}  // namespace

bool StoredPathsConsistent(const CMyItem& root, std::string* why) {
    return SubPathsConsistent(root, why);
}

CSaveDataFile::CSaveDataFile(IHost& host, std::string tracePath, bool autoIndex)
    : m_strTracePath(std::move(tracePath)), m_bAutoIndex(autoIndex), host_(host) {}

void CSaveDataFile::Fail(const char* text) {
    TraceWrite(m_strTracePath, Sj(text));
    host_.Message(Sj(text), MsgKind::Ok, MsgIcon::Error);
}

// ---- records --------------------------------------------------------------------------------

void CSaveDataFile::Serialize(CArchive& ar, CMyItem& item) {
    if (ar.IsStoring()) {
        Store(ar, item);
    } else {
        Load(ar, item);
    }
}

void CSaveDataFile::Store(CArchive& ar, CMyItem& item) {
    if (ar.Failed()) return;
    // The records that follow a folder's record: its sub-items as the array holds them. The
    // count written is the number of records that really follow, so the file always reads
    // back in step even when the folder's own count disagrees with its array.
    std::uint32_t records = 0;
    if (item.m_bIsFolder && item.m_pArray) {
        for (int i = 0; i < static_cast<int>(item.m_dwNumInFolder); ++i) {
            if (item.m_pArray->GetAt(i)) ++records;
        }
    }
    ar.WriteI32(item.m_bIsFolder);
    ar.WriteU32(item.m_bIsFolder ? records : item.m_dwNumInFolder);
    ar.WriteI32(item.m_iSpare2);
    ar.WriteI32(item.m_iSpare1);
    ar.WriteU32(item.m_dwSizeLow);
    ar.WriteU32(item.m_dwSpare7);
    ar.WriteI32(item.m_iFileNum);
    ar.WriteI32(item.m_iFoldNum);
    ar.WriteI32(item.m_iKindIndex);
    ar.WriteI32(item.m_iLayer);
    ar.WriteI32(item.m_iOrgNameLen);
    ar.WriteI32(item.m_iAddOrder);
    ar.WriteI32(item.m_iSpare6);
    ar.WriteI32(item.m_iSpare3);
    ar.WriteI32(item.m_iSpare4);
    ar.WriteI32(item.m_iSpare5);
    ar.WriteI32(item.m_bNoAutoIndex);
    ar.WriteString(item.m_strNewName);
    ar.WriteString(item.m_strOrgName);
    ar.WriteString(item.m_strOrgExt);
    ar.WriteString(item.m_strParentPath);
    ar.WriteString(item.m_strOrgPath);
    ar.WriteString(item.m_strSpare);
    ar.WriteString(item.m_strTracePath);
    ar.WriteString(item.m_strWriteName);
    ar.WriteString(item.m_strWritePath);
    ar.WriteI32(item.m_bUserMakeFold);
    ar.WriteU8(item.m_byDepth);
    const FileStatus& st = item.m_status;
    ar.WriteU8(st.m_padding);
    ar.WriteI32(st.m_atime);
    ar.WriteU8(st.m_attribute);
    ar.WriteI32(st.m_ctime);
    ar.WriteI32(st.m_mtime);
    ar.WriteI32(st.m_size);
    ar.WriteString(st.m_szFullName);
    const FindData& fd = item.m_findData;
    ar.WriteU32(fd.nFileSizeHigh);
    ar.WriteU32(fd.nFileSizeLow);
    ar.WriteU32(fd.dwFileAttributes);
    ar.WriteU32(fd.dwReserved0);
    ar.WriteU32(fd.dwReserved1);
    PutTime(ar, fd.ftCreationTime);
    PutTime(ar, fd.ftLastAccessTime);
    PutTime(ar, fd.ftLastWriteTime);
    ar.WriteString(fd.cAlternateFileName);
    ar.WriteString(fd.cFileName);
    if (item.m_bIsFolder) SerializeSubItems(ar, item, true);
}

void CSaveDataFile::Load(CArchive& ar, CMyItem& item) {
    if (ar.Failed() || m_bLoadError) return;
    // 1. Whatever the item held goes.
    item.m_pArray.reset();
    item.m_dwNumInFolder = 0;
    item.m_iFileNum = 0;
    item.m_iFoldNum = 0;
    // 2. The kind of the record.
    const std::int32_t isFolder = ar.ReadI32();
    if (ar.Failed()) return;
    if (isFolder) {
        if (item.ChangeToFolderByForce() != 0 || !item.m_pArray) {
            // Out of memory: the rest of the stream cannot be read in step.
            TraceF(m_strTracePath, "※　フォルダの作成に失敗 Serialize()\n");
            ar.Fail(CArchive::Error::Damaged);
            return;
        }
    } else {
        item.m_bIsFolder = 0;
    }
    // 3. The fields, in file order.
    const std::int32_t expectedLayer = item.m_iLayer;  // given by the parent (root: 0)
    item.m_dwNumInFolder = ar.ReadU32();
    item.m_iSpare2 = ar.ReadI32();
    item.m_iSpare1 = ar.ReadI32();
    item.m_dwSizeLow = ar.ReadU32();
    item.m_dwSpare7 = ar.ReadU32();
    item.m_iFileNum = ar.ReadI32();
    item.m_iFoldNum = ar.ReadI32();
    item.m_iKindIndex = ar.ReadI32();
    const std::int32_t storedLayer = ar.ReadI32();
    item.m_iOrgNameLen = ar.ReadI32();
    item.m_iAddOrder = ar.ReadI32();
    item.m_iSpare6 = ar.ReadI32();
    item.m_iSpare3 = ar.ReadI32();
    item.m_iSpare4 = ar.ReadI32();
    item.m_iSpare5 = ar.ReadI32();
    item.m_bNoAutoIndex = ar.ReadI32();
    item.m_strNewName = ar.ReadString();
    item.m_strOrgName = ar.ReadString();
    item.m_strOrgExt = ar.ReadString();
    item.m_strParentPath = ar.ReadString();
    item.m_strOrgPath = ar.ReadString();
    item.m_strSpare = ar.ReadString();
    // The stored trace path names a file on the machine that wrote the save; this program's
    // items keep writing to its own trace file.
    (void)ar.ReadString();
    item.m_strWriteName = ar.ReadString();
    item.m_strWritePath = ar.ReadString();
    item.m_bUserMakeFold = ar.ReadI32();
    item.m_byDepth = ar.ReadU8();
    FileStatus& st = item.m_status;
    st.m_padding = ar.ReadU8();
    st.m_atime = ar.ReadI32();
    st.m_attribute = ar.ReadU8();
    st.m_ctime = ar.ReadI32();
    st.m_mtime = ar.ReadI32();
    st.m_size = ar.ReadI32();
    st.m_szFullName = FitField(ar.ReadString(), 260);
    FindData& fd = item.m_findData;
    fd.nFileSizeHigh = ar.ReadU32();
    fd.nFileSizeLow = ar.ReadU32();
    fd.dwFileAttributes = ar.ReadU32();
    fd.dwReserved0 = ar.ReadU32();
    fd.dwReserved1 = ar.ReadU32();
    fd.ftCreationTime = GetTime(ar);
    fd.ftLastAccessTime = GetTime(ar);
    fd.ftLastWriteTime = GetTime(ar);
    fd.cAlternateFileName = FitField(ar.ReadString(), 14);
    fd.cFileName = FitField(ar.ReadString(), 260);
    st.size64 = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    if (ar.Failed()) return;
    item.m_strTracePath = m_strTracePath;
    if (item.m_pArray) item.m_pArray->m_strTracePath = m_strTracePath;
    if (storedLayer != expectedLayer) {
        TraceF(m_strTracePath, "○　階層データを直しました Serialize()\n\tName[%s] Layer[%d]→[%d]\n",
               item.m_strNewName.c_str(), storedLayer, expectedLayer);
    }
    item.m_iLayer = expectedLayer;
    // 4. The sub-items.
    item.m_bReadingSubItems = 1;
    if (item.m_bIsFolder) SerializeSubItems(ar, item, false);
    item.m_bReadingSubItems = 0;
}

void CSaveDataFile::SerializeSubItems(CArchive& ar, CMyItem& item, bool storing) {
    if (!item.m_pArray) {
        TraceF(m_strTracePath,
               "※　フォルダなのにPartsArrayクラスへのポインタが無い\n　　Name[%s] Pos【%s】\n",
               item.m_strOrgName.c_str(), item.PosString().c_str());
        return;
    }
    const std::uint32_t count = item.m_dwNumInFolder;
    if (count > static_cast<std::uint32_t>(kMaxSubItemNum)) {
        TraceF(m_strTracePath,
               "※　ファイル数データが異常です。SerializeSubItems()\n\tNewName= \"%s\"  OrgPath= "
               "\"%s\"  "
               "Num=%d\n",
               item.m_strNewName.c_str(), item.m_strOrgPath.c_str(), static_cast<int>(count));
        if (storing) {
            // A folder this large cannot be read back: the save fails rather than write it.
            ar.Fail(CArchive::Error::WriteFailed);
        } else {
            m_bLoadError = true;
        }
        return;
    }
    if (count == 0) {
        if (!storing) item.m_iFileNum = item.m_iFoldNum = 0;
        return;
    }
    if (depth_ >= kMaxSaveDepth) {
        TraceF(m_strTracePath,
               "※　フォルダの階層が深すぎます SerializeSubItems()\n\tNewName= \"%s\"  Layer=%d\n",
               item.m_strNewName.c_str(), depth_ + 1);
        ar.Fail(storing ? CArchive::Error::WriteFailed : CArchive::Error::Damaged);
        return;
    }
    ++depth_;
    if (storing) {
        for (int i = 0; i < static_cast<int>(count) && !ar.Failed(); ++i) {
            if (CMyItem* sub = item.m_pArray->GetAt(i)) Store(ar, *sub);
        }
    } else {
        // More records than the rest of the file could hold: it was cut or is damaged.
        if (auto rest = ar.Remaining();
            rest && static_cast<std::uint64_t>(count) * kMinRecordBytes > *rest) {
            ar.Fail(CArchive::Error::EndOfStream);
        }
        // The slots for exactly the items that follow: memory stays in proportion to the file
        // even when it holds many small folders.
        if (!ar.Failed() && item.m_pArray->ReserveSlots(static_cast<std::int32_t>(count)) != 0) {
            ar.Fail(CArchive::Error::Damaged);
        }
        std::int32_t files = 0, folders = 0;
        for (std::uint32_t i = 0; i < count && !ar.Failed() && !m_bLoadError; ++i) {
            CMyItem* sub = item.MakeSubFile();
            if (!sub) {
                ar.Fail(CArchive::Error::Damaged);
                break;
            }
            Load(ar, *sub);
            if (sub->m_bIsFolder) {
                ++folders;
            } else {
                ++files;
            }
        }
        if (!ar.Failed() && !m_bLoadError &&
            (files != item.m_iFileNum || folders != item.m_iFoldNum)) {
            TraceF(m_strTracePath,
                   "○　サブアイテムの数を直しました SerializeSubItems()\n\tNewName= \"%s\"  "
                   "iFileNum=%d→%d  iFoldNum=%d→%d\n",
                   item.m_strNewName.c_str(), item.m_iFileNum, files, item.m_iFoldNum, folders);
            item.m_iFileNum = files;
            item.m_iFoldNum = folders;
        }
    }
    --depth_;
}

// ---- the tree control -----------------------------------------------------------------------

int CSaveDataFile::SetItemToTreeWithSubFold(CMyItem* folder) {
    if (!folder->m_bIsFolder || !folder->m_pArray) {
        TraceF(m_strTracePath,
               "※　フォルダではありません。SetItemToTreeWithSubFold\n\tFileName[ %s ]\n",
               folder->m_strNewName.c_str());
        return 0;
    }
    int remaining = folder->m_iFoldNum;
    const int n = static_cast<int>(folder->m_dwNumInFolder);
    for (int i = 0; i < n && remaining > 0; ++i) {
        CMyItem* sub = folder->m_pArray->GetAt(i);
        if (!sub || !sub->m_bIsFolder) continue;
        --remaining;
        host_.TreeFolderAdded(sub);
        if (!SetItemToTreeWithSubFold(sub)) return 0;
    }
    return 1;
}

int CSaveDataFile::RewriteAllItemToTree(CMyItem* root) {
    if (!root) {
        TraceF(m_strTracePath, "※　ルートアイテムが存在しません。At RewriteAllItemToTree()\n");
        return 0;
    }
    if (!root->m_bIsFolder || !root->m_pArray) {
        TraceF(m_strTracePath,
               "※　フォルダではありません。SetItemToTreeWithSubFold\n\tFileName[ %s ]\n",
               root->m_strNewName.c_str());
        return 0;
    }
    host_.TreeFolderAdded(root);
    return SetItemToTreeWithSubFold(root);
}

// ---- reset ----------------------------------------------------------------------------------

int CSaveDataFile::ResetTree(std::unique_ptr<CMyItem>& root) {
    std::unique_ptr<CMyItem> fresh = MakeRootItem(m_strTracePath, m_bAutoIndex);
    if (!fresh) {
        host_.Message(Sj("ルートアイテムの確保が出来なかったので終了します。"), MsgKind::Ok,
                      MsgIcon::Error);
        return 0;
    }
    if (root) host_.TreeFolderRemoved(root.get());
    root = std::move(fresh);
    host_.TreeFolderAdded(root.get());
    host_.ListShowFolder(root.get());
    return 1;
}

int CSaveDataFile::Reset(std::unique_ptr<CMyItem>& root) {
    try {
        return m_fnResetTree ? m_fnResetTree(root) : ResetTree(root);
    } catch (...) {
        return 0;
    }
}

// ---- saving ---------------------------------------------------------------------------------

namespace {

// What the chosen path is: a new file, a regular file (mode gets its permission bits), or a
// link of the user's own, which is then replaced by the path it leads to as the kernel resolves
// it (a link of anyone else is refused: in a shared folder it may lead to another file of the
// user's). 0, or the errno that stops the save.
int OwnTarget(std::string& path, std::optional<unsigned>& mode) {
    EntryInfo info;
    int err = Fs().Stat(path, info);
    if (err == ENOENT) return 0;  // a new file
    if (err != 0) return err;
    if (info.isLink) {
        if (info.uid != ::geteuid()) return EPERM;
        std::string target;
        if ((err = Fs().ResolveOwnLink(path, target)) != 0) return err;
        path = std::move(target);
        if ((err = Fs().Stat(path, info)) != 0) return err == ENOENT ? 0 : err;
    }
    if (info.isRegular) mode = info.mode;
    return 0;
}

}  // namespace

int CSaveDataFile::SaveWorker(CMyItem& root, const std::string& chosen) {
    try {
        std::unique_ptr<IFile> file;
        std::string tmp;
        int err = EINVAL;
        // A link is followed: its target is what gets replaced, in the target's own folder, and
        // the new file keeps the old one's permissions.
        std::string path = chosen;
        std::optional<unsigned> mode;
        if (IsAbsolutePath(path)) err = OwnTarget(path, mode);
        if (err == 0 && IsAbsolutePath(path) && !BaseName(path).empty()) {
            for (int i = 0; i < 100; ++i) {
                tmp = path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(i);
                err = Fs().CreateNew(tmp, file);
                if (err != EEXIST) break;
            }
        }
        if (err != 0) {
            Fail("※　ファイルをオープンできません\n");
            return 0;
        }
        depth_ = 0;
        CArchive ar = CArchive::StoreTo(*file);
        ar.WriteString(kSaveVersionText);
        Serialize(ar, root);
        bool ok = ar.Flush();
        const int closeErr = file->Close();
        ok = ok && closeErr == 0;
        if (ok && mode && (err = Fs().SetMode(tmp, *mode)) != 0) ok = false;
        if (ok && (err = Fs().RenameReplace(tmp, path)) != 0) ok = false;
        if (!ok) {
            Fs().RemoveFile(tmp);
            TraceF(m_strTracePath,
                   "※　セーブデータの書き込みに失敗 SaveWorker()\n\t[%s] errno[%d]\n", path.c_str(),
                   ar.SysError() ? ar.SysError() : (closeErr ? closeErr : err));
            host_.Message(Sj("※　セーブデータを書き込めませんでした。\n元のファイルはそのまま残って"
                             "います。\n"),
                          MsgKind::Ok, MsgIcon::Error);
            return 0;
        }
        return 1;
    } catch (...) {
        Fail("※　ファイルをオープンできません\n");
        return 0;
    }
}

// ---- loading --------------------------------------------------------------------------------

int CSaveDataFile::LoadWorker(std::unique_ptr<CMyItem>& root, const std::string& path) {
    m_bLoadError = false;
    depth_ = 0;
    if (!root) {
        Reset(root);
        return 0;
    }
    bool readError = false;
    bool oldVersion = false;
    try {
        std::unique_ptr<IFile> file;
        if (!IsAbsolutePath(path) || Fs().OpenRead(path, file) != 0) {
            Fail("※　ファイルをオープンできません\n");
            Reset(root);
            return 0;
        }
        std::optional<std::uint64_t> size;
        if (EntryInfo info; Fs().Stat(path, info) == 0 && info.isRegular) size = info.size;
        CArchive ar = CArchive::LoadFrom(*file, size);
        const std::string version = ar.ReadString();
        if (ar.Failed()) {
            readError = true;
        } else if (version != kSaveVersionText) {
            oldVersion = true;
        } else {
            Serialize(ar, *root);
            // The root record always stands for a folder: anything else is damaged data. So is
            // a tree whose stored paths lead somewhere the tree does not show.
            readError = ar.Failed() || (!m_bLoadError && !root->m_bIsFolder);
            std::string why;
            if (!readError && !m_bLoadError && !StoredPathsConsistent(*root, &why)) {
                TraceF(m_strTracePath, "※　保存されたパスがツリーと一致しません\n\t[%s]\n",
                       why.c_str());
                readError = true;
            }
        }
        file->Close();
    } catch (...) {
        // Out of memory inside the stream: it cannot be read on in step.
        readError = true;
    }
    if (oldVersion) {
        Fail("※　古いバージョンのセーブデータは読み込めません。\n");
        Reset(root);
        return 1;
    }
    if (readError) {
        TraceF(m_strTracePath, "※　データセーブエラー\n");
        m_bLoadError = false;
        Reset(root);
        return 0;
    }
    if (m_bLoadError) {
        m_bLoadError = false;
        Fail("※　セーブデータ読み込み中にエラーが出たのでクリアします\n");
        Reset(root);
        return 0;
    }
    if (!RewriteAllItemToTree(root.get())) {
        Fail("※　ツリーへの登録失敗。終了します。\n");
        Reset(root);
        return 0;
    }
    host_.ListShowFolder(root.get());
    m_strLoadedPath = path;
    return 1;
}

// ---- the commands ---------------------------------------------------------------------------

int CSaveDataFile::Open(std::unique_ptr<CMyItem>& root, const std::string& path) {
    std::unique_ptr<CMyItem> fresh;
    try {
        fresh = std::make_unique<CMyItem>();
    } catch (...) {
        Fail("※　ルートアイテムの作成に失敗。終了します。\n");
        return 0;  // the old tree stays
    }
    fresh->m_strTracePath = m_strTracePath;
    if (root) host_.TreeFolderRemoved(root.get());
    root = std::move(fresh);
    m_strLoadedPath.clear();
    m_strChosenPath = path;
    return LoadWorker(root, path);
}

int CSaveDataFile::Save(CMyItem& root) {
    if (m_strLoadedPath.empty()) return -1;
    host_.Message(Sj("次のファイルに保存します。\n[ ") + m_strLoadedPath + " ]", MsgKind::Ok,
                  MsgIcon::Information);
    return SaveWorker(root, m_strLoadedPath);
}

int CSaveDataFile::SaveAs(CMyItem& root, const std::string& path) {
    m_strChosenPath = path;
    return SaveWorker(root, path);
}

}  // namespace dov
