// The program's own files failing, what a copy gives away, and the save file: a trace that
// cannot be written never hangs, a journal that cannot be written stops the rename before its
// next change, copies keep their permission bits, --save writes through a link only of the
// user's own, and a tree saved after any edit opens again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/trace.h"
#include "hardening_util.h"
#include "model/item.h"
#include "rename/journal.h"
#include "rename/tree_edit.h"

namespace {

using namespace hardtest;

// A handler that writes the trace out, as a host does before it shows a message: a trace file
// that cannot be opened is told, and nothing waits on the trace's own lock.
TEST(OwnFiles, ATraceThatCannotBeOpenedIsNamedAndNeverHangs) {
    dovtest::TempDir tmp;
    tmp.MakeDir("folder");
    ASSERT_EQ(symlink((tmp / "x").c_str(), (tmp / "link").c_str()), 0);
    for (const std::string name : {"folder", "link", "missing/DataTrace.txt"}) {
        SCOPED_TRACE(name);
        const std::string path = Cp(tmp / name);
        std::vector<std::string> got;
        dov::SetTraceFailureHandler([&](const std::string& m) {
            dov::TraceFlush();
            got.push_back(m);
        });
        dov::TraceWrite(path, "x");
        dov::TraceFlush();
        dov::SetTraceFailureHandler(nullptr);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_NE(got[0].find(path), std::string::npos);
    }
}

// The real disk, with the journal's writes failing after `lines` lines (a full disk: each line
// is one write).
class FullJournalFs : public FaultFs {
  public:
    int lines = -1;
    int CreateTruncate(const std::string& path, std::unique_ptr<dov::IFile>& out) override {
        const int e = FaultFs::CreateTruncate(path, out);
        if (e == 0 && lines >= 0 && path == dov::JournalPath())
            out = std::make_unique<Full>(std::move(out), lines);
        return e;
    }

  private:
    struct Full : dov::IFile {
        Full(std::unique_ptr<dov::IFile> f, int left) : f_(std::move(f)), left_(left) {}
        long long Read(void* b, std::size_t n) override { return f_->Read(b, n); }
        long long Write(const void* b, std::size_t n) override {
            return left_-- > 0 ? f_->Write(b, n) : -ENOSPC;
        }
        int Close() override { return f_->Close(); }
        int SetMode(unsigned mode) override { return f_->SetMode(mode); }
        std::unique_ptr<dov::IFile> f_;
        int left_;
    };
};

// The journal fills after its header, its scope and the first block of changes: the second
// block is not made, and the message names RenameJournal.txt; the journal undoes the first.
TEST(OwnFiles, AJournalWriteFailureStopsTheRenameBeforeTheNextChange) {
    dovtest::TempDir tmp;
    FullJournalFs fs;
    dov::ScopedFileSystem scoped(&fs);
    constexpr unsigned kFiles = 300, kBlock = 256;
    std::vector<std::string> paths;
    for (unsigned i = 0; i < kFiles; ++i) {
        const std::string n = "f" + std::to_string(i);
        tmp.WriteFile("t/" + n, n);
        paths.push_back(Cp(tmp / ("t/" + n)));
    }
    dovtest::RecordingHost host;
    dov::CSession s(host);
    ASSERT_EQ(s.LoadPaths(paths), static_cast<int>(kFiles));
    for (unsigned i = 0; i < kFiles; ++i) {
        const std::string n = "f" + std::to_string(i);
        SetNewName(dovtest::ByOrgName(s.FindFolder(""), n), "p_" + n);
    }
    const Listing before = List(tmp / "t");
    fs.lines = 3;
    host.answers = {dov::MsgAnswer::Yes};
    const dov::CommandResult r = s.Rename();
    EXPECT_EQ(r.counts.renameStop, dov::RenameEnd::Journal);
    EXPECT_EQ(r.counts.ok, kBlock);
    EXPECT_EQ(r.counts.notAttempted, kFiles - kBlock);
    bool named = false;
    for (const auto& m : host.messages)
        named |= m.text.find("RenameJournal.txt") != std::string::npos;
    EXPECT_TRUE(named);
    fs.lines = -1;
    host.answers = {dov::MsgAnswer::Yes};
    EXPECT_EQ(s.Undo().counts.ok, kBlock);
    EXPECT_EQ(Diff(before, List(tmp / "t")), "");
}

// Copies keep the permission bits of their sources; a file is only the user's while it is
// written.
TEST(OwnFiles, CopiesKeepTheirSourcesPermissionBits) {
    dovtest::SessionRun r;
    struct Case {
        const char* name;
        unsigned mode;
    };
    const Case files[] = {{"d/key", 0600}, {"d/group", 0640}, {"d/run", 0755}, {"d/ro", 0444}};
    for (const Case& c : files) {
        r.tmp.WriteFile(c.name, "x");
        ASSERT_EQ(chmod((r.tmp / c.name).c_str(), c.mode), 0);
    }
    r.tmp.WriteFile("d/private/in", "x");
    ASSERT_EQ(chmod((r.tmp / "d/private").c_str(), 0700), 0);
    ASSERT_EQ(chmod((r.tmp / "d").c_str(), 0750), 0);
    r.Load({"d"});
    r.tmp.MakeDir("out");
    std::vector<unsigned> partModes;
    r.fs.wrapCreate = [&](const std::string& p, std::unique_ptr<dov::IFile> f) {
        struct stat st {};
        if (::stat(dov::Cp932ToUtf8(p)->c_str(), &st) == 0) partModes.push_back(st.st_mode & 0777);
        return f;
    };
    ASSERT_EQ(r.s->CopyTo(Cp(r.tmp / "out")).counts.failed, 0u);
    auto modeOf = [&](const std::string& rel) {
        struct stat st {};
        return ::lstat((r.tmp / rel).c_str(), &st) == 0 ? st.st_mode & 0777 : 01000u;
    };
    for (const Case& c : files)
        EXPECT_EQ(modeOf(std::string("out/Root/") + c.name), c.mode) << c.name;
    EXPECT_EQ(modeOf("out/Root/d/private"), 0700u);
    EXPECT_EQ(modeOf("out/Root/d"), 0750u);
    EXPECT_EQ(partModes, std::vector<unsigned>(5, 0600u));
}

// --save over a link: through the user's own link to the file it leads to; another user's link
// (planted in a shared folder) is refused and what it leads to stays as it was.
TEST(OwnFiles, SaveWritesThroughALinkOnlyOfTheUsersOwn) {
    for (const bool own : {true, false}) {
        SCOPED_TRACE(own);
        dovtest::SessionRun r;
        r.tmp.WriteFile("t/a", "a");
        r.tmp.WriteFile("doc.txt", "my document");
        ASSERT_EQ(symlink((r.tmp / "doc.txt").c_str(), (r.tmp / "s.dat").c_str()), 0);
        if (!own && (geteuid() != 0 || lchown((r.tmp / "s.dat").c_str(), 65534, 65534) != 0))
            GTEST_SKIP() << "cannot give a link to another user (needs root)";
        r.Load({"t/a"});
        EXPECT_EQ(r.s->SaveAs(Cp(r.tmp / "s.dat")),
                  own ? dov::Outcome::Done : dov::Outcome::Failed);
        EXPECT_EQ(r.tmp.ReadFile("doc.txt") == "my document", !own);
        struct stat st {};
        ASSERT_EQ(::lstat((r.tmp / "s.dat").c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
    }
}

// Every item of a tree as text: its path in the tree, names and path on disk.
void Describe(const CMyItem* folder, const std::string& at, std::string& out) {
    for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i) {
        const CMyItem* item = const_cast<CMyItem*>(folder)->GetSubItem(i);
        const std::string here = at + "/" + item->m_strNewName;
        out += here + "|" + item->m_strOrgName + "|" + item->m_strOrgPath + "|" +
               std::to_string(item->m_iLayer) + "\n";
        if (item->m_bIsFolder) Describe(item, here, out);
    }
}

// A tree saved after moves (of a loaded entry into a loaded folder, of a file between
// folders), a dragged folder, a folder made by the user and renames opens again as it was.
TEST(OwnFiles, ATreeSavedAfterAnyEditOpensAgain) {
    dovtest::SessionRun r;
    r.tmp.WriteFile("t/a.txt", "a");
    r.tmp.WriteFile("u/b/c.txt", "c");
    r.tmp.WriteFile("u/e/f.txt", "f");
    r.Load({"t/a.txt", "u"});
    CMyItem* root = r.s->FindFolder("");
    CMyItem* u = r.Item("u");
    CMyItem* b = r.s->FindFolder("u/b");
    CMyItem* e = r.s->FindFolder("u/e");
    CMyItem* a = r.Item("a.txt");
    ASSERT_TRUE(dov::ItemDropToTree(b, {root->FindSubItemPos(a)}, {a}, r.host));
    CMyItem* f = e->GetSubItem(0);
    ASSERT_TRUE(dov::ItemDropToTree(b, {e->FindSubItemPos(f)}, {f}, r.host));
    CMyItem* made = dov::AddFoldToTree(u, r.host);
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(r.s->MoveFolder(e, made, e));
    SetNewName(b, "bb");
    SetNewName(a, "aa.txt");
    std::string before;
    Describe(root, "", before);
    ASSERT_EQ(r.s->SaveAs(Cp(r.tmp / "s.dat")), dov::Outcome::Done);
    ASSERT_EQ(r.s->Open(Cp(r.tmp / "s.dat")), dov::Outcome::Done);
    std::string after;
    Describe(r.s->FindFolder(""), "", after);
    EXPECT_EQ(after, before);
    // And the reopened tree renames as the edited one would have.
    r.host.answers = {dov::MsgAnswer::Yes};
    EXPECT_EQ(r.s->Rename().counts.failed, 0u);
    EXPECT_EQ(r.tmp.ReadFile("u/bb/aa.txt"), "a");
    EXPECT_EQ(r.tmp.ReadFile("u/bb/f.txt"), "f");
}

}  // namespace
