// The safety net around a direct rename: the conflict preview against what the run really does
// on randomized trees, and the journal with its undo bringing the disk back.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

#include "common/codepage.h"
#include "common/fs.h"
#include "common/trace.h"
#include "model/item.h"
#include "rename/conflict_preview.h"
#include "rename/depth_info.h"
#include "rename/journal.h"
#include "rename/rename_engine.h"
#include "rename/tree_edit.h"
#include "rename/undo.h"
#include "rename_test_util.h"

namespace {

using dovtest::Sj;
using renametest::Load;
using renametest::NewRoot;
using renametest::Snapshot;

// Few names, so that swaps, chains, cycles and duplicates come up often.
std::vector<std::string> NamePool() {
    return {"a", "b", "c", "d", "a.txt", "b.txt", Sj("日本"), Sj("写真.jpg")};
}

struct RandomTree {
    std::mt19937 rng;
    explicit RandomTree(unsigned seed) : rng(seed) {}
    int Pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    std::string Name() {
        static const std::vector<std::string> pool = NamePool();
        return pool[static_cast<std::size_t>(Pick(static_cast<int>(pool.size())))];
    }

    // Files and folders on disk (each file holding its own path), a few levels deep.
    void Fill(const dovtest::TempDir& tmp, const std::string& rel, int level) {
        // Now and then a crowded folder, which the preview lists rather than probes name by name.
        if (level == 0 && Pick(4) == 0)
            for (int i = 0; i < 40; ++i) tmp.WriteFile(rel + "/z" + std::to_string(i), "z");
        const int n = 1 + Pick(4);
        for (int i = 0; i < n; ++i) {
            const std::string name = *dov::Cp932ToUtf8(Name());
            if (tmp.Exists(rel + "/" + name)) continue;
            if (level < 2 && Pick(3) == 0) {
                tmp.MakeDir(rel + "/" + name);
                Fill(tmp, rel + "/" + name, level + 1);
            } else {
                tmp.WriteFile(rel + "/" + name, rel + "/" + name);
            }
        }
    }

    // New names from the pool (now and then one too long for the disk), a row or two moved to
    // another folder, a user-made folder with a row moved into it.
    void Edit(CMyItem* root) {
        std::vector<CMyItem*> items, folders;
        Collect(root, items, folders);
        for (CMyItem* item : items) {
            if (Pick(2) == 0) continue;
            dovtest::SetNewName(item, Pick(40) == 0 ? std::string(130, 'x') + Sj("長") : Name());
        }
        dov::NullHost host;
        if (!folders.empty() && Pick(3) == 0) {
            CMyItem* made = dov::AddFoldToTree(
                folders[static_cast<std::size_t>(Pick(static_cast<int>(folders.size())))], host);
            if (made && Pick(2) == 0) dovtest::SetNewName(made, Name());
            if (made) folders.push_back(made);
        }
        for (int moves = Pick(3); moves > 0 && !folders.empty(); --moves) {
            CMyItem* item = items[static_cast<std::size_t>(Pick(static_cast<int>(items.size())))];
            CMyItem* target =
                folders[static_cast<std::size_t>(Pick(static_cast<int>(folders.size())))];
            CMyItem* from = item->m_pParent;
            if (!from || from == target || item->m_iLayer < 2) continue;
            if (!dov::PreCheckDropToTree(target, {item}, host)) continue;
            dov::ItemDropToTree(target, {from->FindSubItemPos(item)}, {item}, host);
        }
    }

    static void Collect(CMyItem* folder, std::vector<CMyItem*>& items,
                        std::vector<CMyItem*>& folders) {
        for (int i = 0; i < static_cast<int>(folder->m_dwNumInFolder); ++i) {
            CMyItem* s = folder->GetSubItem(i);
            items.push_back(s);
            if (s->m_bIsFolder) {
                if (s->m_iLayer >= 1) folders.push_back(s);
                Collect(s, items, folders);
            }
        }
    }
};

// The real disk, with the journal's syncs counted instead of made (they only cost time here).
class CountingSyncFs : public dov::PosixFileSystem {
  public:
    int syncs = 0;
    std::vector<long long> writes;  // the size of each write to a created file
    int CreateTruncate(const std::string& path, std::unique_ptr<dov::IFile>& out) override {
        int e = PosixFileSystem::CreateTruncate(path, out);
        if (e == 0) out = std::make_unique<File>(std::move(out), *this);
        return e;
    }

  private:
    struct File : dov::IFile {
        File(std::unique_ptr<dov::IFile> f, CountingSyncFs& fs) : f_(std::move(f)), fs_(fs) {}
        long long Read(void* b, std::size_t n) override { return f_->Read(b, n); }
        long long Write(const void* b, std::size_t n) override {
            fs_.writes.push_back(static_cast<long long>(n));
            return f_->Write(b, n);
        }
        int Close() override { return f_->Close(); }
        int Sync() override { return ++fs_.syncs, 0; }
        std::unique_ptr<dov::IFile> f_;
        CountingSyncFs& fs_;
    };
};

// 1,000 random trees: the preview names exactly the items whose rename then fails (or says the
// run stops when it does), and the undo of the journaled run restores the listing.
TEST(SafetyNet, PredictionEqualsTheRunAndUndoRestoresTheDisk) {
    dovtest::TempDir tmp;
    CountingSyncFs fs;
    dov::ScopedFileSystem scoped(&fs);
    int predictedFailures = 0, stops = 0;
    for (unsigned seed = 1; seed <= 1000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string rel = "t" + std::to_string(seed);
        RandomTree gen(seed);
        tmp.MakeDir(rel);
        gen.Fill(tmp, rel, 0);
        // Some entries stay unloaded: they hold their names on disk all the same.
        std::vector<std::string> names;
        for (const auto& [path, content] : Snapshot(tmp / rel))
            if (path.find('/') == std::string::npos && gen.Pick(4) != 0)
                names.push_back(*dov::Utf8ToCp932(path));
        auto root = NewRoot();
        Load(root.get(), *dov::Utf8ToCp932(tmp / rel), names);
        gen.Edit(root.get());
        const auto before = Snapshot(tmp / rel);

        const dov::ConflictPrediction predicted = dov::PredictConflicts(root.get());
        ASSERT_EQ(Snapshot(tmp / rel), before) << "the preview wrote to disk";
        std::set<const CMyItem*> expected;
        for (const auto& f : predicted.failures) expected.insert(f.item);
        // Asked whether to give up, the answer "no" changes nothing and "yes" ends it unfinished.
        const auto kept = dov::PredictConflicts(root.get(), [] { return false; });
        ASSERT_FALSE(kept.abandoned);
        ASSERT_EQ(kept.failures.size(), predicted.failures.size());
        const auto dropped = dov::PredictConflicts(root.get(), [] { return true; });
        ASSERT_TRUE(dropped.abandoned);
        ASSERT_TRUE(dropped.failures.empty());

        dovtest::RecordingHost host;
        CMyDepthInfo depth;
        dov::CJournalWriter journal(dov::JournalPath(), "rename");
        dov::RenameOptions options;
        options.watcher = &journal;
        const int result = dov::DirectRename(root.get(), depth, options, host);
        std::vector<CMyItem*> items, folders;
        RandomTree::Collect(root.get(), items, folders);
        std::set<const CMyItem*> actual;
        for (CMyItem* item : items)
            if (item->m_bRenameFailed) actual.insert(item);
        ASSERT_EQ(predicted.stops, result == -1);
        if (!predicted.stops) {
            ASSERT_EQ(expected, actual);
        }
        predictedFailures += static_cast<int>(expected.size());
        stops += predicted.stops;

        dov::UndoReport report;
        ASSERT_NE(dov::UndoLastRun(host, dov::DefaultTracePath(), &report), -1);
        ASSERT_EQ(report.skipped, 0u);
        ASSERT_EQ(Snapshot(tmp / rel), before);
        std::filesystem::remove_all(tmp / rel);
    }
    // The trees did exercise failures and stopped runs.
    EXPECT_GT(predictedFailures, 300);
    EXPECT_GT(stops, 5);
}

}  // namespace

namespace {

std::string ReadJournalFile() {
    return dovtest::ReadNative(*dov::Cp932ToUtf8(dov::JournalPath()));
}

// Every byte a name may hold survives the journal, and a journal cut anywhere reads as the
// whole lines before the cut: never a step that was not written whole.
TEST(Journal, CrcIsTheStandardOneAtEveryLengthAndAlignment) {
    EXPECT_EQ(dov::Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(dov::Crc32(""), 0u);
    // Against the plain bitwise definition, for every length around the steps of 8 and 16 bytes.
    std::string bytes;
    for (int i = 0; i < 200; ++i) bytes += static_cast<char>(i * 37 + 200);
    for (std::size_t from = 0; from < 8; ++from) {
        for (std::size_t len = 0; from + len <= bytes.size(); ++len) {
            std::uint32_t c = 0xFFFFFFFFu;
            for (std::size_t i = from; i < from + len; ++i) {
                c ^= static_cast<unsigned char>(bytes[i]);
                for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            EXPECT_EQ(dov::Crc32(std::string_view(bytes).substr(from, len)), c ^ 0xFFFFFFFFu);
        }
    }
}

// Written line by line ("X" after the failed step) or as one block ("F" naming it after the
// block): the same steps read back, and a cut keeps exactly the lines that end before it.
TEST(Journal, HoldsAnyBytesAndSurvivesACutAtEveryByte) {
    std::string odd;
    for (int c = 1; c < 256; ++c) odd += static_cast<char>(c);
    const std::vector<dov::JournalStep> steps = {
        {dov::JournalStep::MakeDir, "/x/" + Sj("新規フォルダ_001"), "", false, 0, {}},
        {dov::JournalStep::Rename, "/x/a\tb\nc%41", "/x/" + odd, true, 17, {1, 2, 'l'}},
        {dov::JournalStep::Rename, "/x/ %25", "/x/" + Sj("表ソ"), false, 0, {UINT64_MAX, 0, 'd'}},
        {dov::JournalStep::RemoveDir, "/x/d", "", false, 0, {}},
    };
    for (const bool block : {false, true}) {
        SCOPED_TRACE(block ? "block" : "line by line");
        dovtest::TempDir tmp;
        CountingSyncFs fs;
        dov::ScopedFileSystem scoped(&fs);
        dov::CJournalWriter w(dov::JournalPath(), "rename");
        ASSERT_EQ(w.Begin(), 0);
        for (const auto& s : steps) {
            if (block && s.kind == dov::JournalStep::MakeDir) w.QueueMakeDir(s.from);
            if (block && s.kind == dov::JournalStep::Rename) w.QueueRename(s.from, s.to, s.id);
            if (block && s.kind == dov::JournalStep::RemoveDir) {
                ASSERT_TRUE(w.Flush());
            }
            if (!block && s.kind == dov::JournalStep::MakeDir) w.AddMakeDir(s.from);
            if (!block && s.kind == dov::JournalStep::Rename) w.AddRename(s.from, s.to, s.id);
            if (s.kind == dov::JournalStep::RemoveDir) w.AddRemoveDir(s.from);
            if (!block && s.failed) w.AddFailure(s.err);
        }
        if (block) w.QueueFailure(1, steps[1].err);
        ASSERT_EQ(w.Steps(), steps.size());
        ASSERT_EQ(w.Finish(), 0);
        // Line by line: one write per line. A block: M R R in one write, then D, F, E.
        EXPECT_EQ(fs.writes.size(), block ? 5u : 7u);
        EXPECT_EQ(fs.syncs, 2);

        const std::string data = ReadJournalFile();
        dov::Journal j;
        ASSERT_TRUE(dov::ParseJournal(data, j));
        EXPECT_EQ(j.kind, "rename");
        EXPECT_TRUE(j.finished);
        ASSERT_EQ(j.steps.size(), steps.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(j.steps[i].kind, steps[i].kind);
            EXPECT_EQ(j.steps[i].from, steps[i].from);
            EXPECT_EQ(j.steps[i].to, steps[i].to);
            EXPECT_EQ(j.steps[i].failed, steps[i].failed);
            EXPECT_EQ(j.steps[i].err, steps[i].err);
            EXPECT_EQ(j.steps[i].id, steps[i].id);
        }

        std::vector<std::size_t> ends;
        for (std::size_t p = 0; p < data.size(); ++p)
            if (data[p] == '\n') ends.push_back(p + 1);
        // The failure mark of step 1 is whole line 4 (X) or line 6 (F) counted from 1.
        const std::size_t markLine = block ? 6 : 4;
        for (std::size_t len = 0; len < data.size(); ++len) {
            dov::Journal cut;
            const bool ok = dov::ParseJournal(std::string_view(data).substr(0, len), cut);
            ASSERT_EQ(ok, len >= ends[0]) << len;
            std::size_t whole = 0;
            while (whole < ends.size() && ends[whole] <= len) ++whole;
            const std::size_t stepLines = whole <= 1 ? 0 : whole - 1 - (whole >= markLine ? 1 : 0);
            ASSERT_EQ(cut.steps.size(), std::min(stepLines, steps.size())) << len;
            ASSERT_FALSE(cut.finished) << len;
            if (cut.steps.size() > 1) {
                ASSERT_EQ(cut.steps[1].failed, whole >= markLine) << len;
            }
        }
    }
}

// A byte to escape at any place of a path of any length (around the blocks of 8 and 16 bytes the
// writer looks at) comes back as it was; so do the bytes next to the escaped ones.
TEST(Journal, EscapesAByteAtAnyPlaceOfAPath) {
    dovtest::TempDir tmp;
    CountingSyncFs fs;
    dov::ScopedFileSystem scoped(&fs);
    dov::CJournalWriter w(dov::JournalPath(), "rename");
    ASSERT_EQ(w.Begin(), 0);
    std::vector<std::string> paths;
    for (std::size_t len = 1; len <= 40; ++len) {
        for (std::size_t at = 0; at < len; ++at) {
            for (const char c : {'\x01', ' ', '%', '\x7f', '!', '\x80', '\xff'}) {
                std::string path = "/" + std::string(len, 'a');
                path[1 + at] = c;
                paths.push_back(path);
                ASSERT_TRUE(w.QueueRename(path, "/b" + path, {}));
            }
        }
    }
    ASSERT_EQ(w.Finish(), 0);
    dov::Journal j;
    ASSERT_TRUE(dov::ParseJournal(ReadJournalFile(), j));
    ASSERT_EQ(j.steps.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(j.steps[i].from, paths[i]) << i;
        EXPECT_EQ(j.steps[i].to, "/b" + paths[i]) << i;
    }
}

TEST(Journal, BadHeadersAndDamagedLinesAreRefusedOrEndTheReading) {
    const std::string good = "DOVRETH-JOURNAL\t2\trename";
    const std::string v1 = "DOVRETH-JOURNAL\t1\trename";
    const std::string v3 = "DOVRETH-JOURNAL\t3\trename";
    auto line = [](const std::string& body) {
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", dov::Crc32(body));
        return body + "\t" + crc + "\n";
    };
    struct Case {
        std::string data;
        bool ok;
        std::size_t steps;
    };
    const Case cases[] = {
        {"", false, 0},
        {line("DOVRETH-JOURNAL\t4\trename"), false, 0},
        {line("DOVRETH-JOURNAL\t2\tcopy"), false, 0},
        {good + "\t00000000\n", false, 0},
        {line(good) + line("R\t/a\t/b\t1\t2\tf") + line("Q\t/a") + line("R\t/c\t/d\t1\t2\tf"), true,
         1},
        {line(good) + line("R\t/a\t/b%4\t1\t2\tf"), true, 0},
        {line(good) + line("R\t/a\t/b%41\t1\t2\tf"), true, 0},  // never written escaped
        {line(good) + line("X\t2"), true, 0},                   // a failure of nothing
        // "F" names a step written before it, once, and only from version 3 on.
        {line(v3) + line("M\t/a") + line("F\t0\t2") + line("M\t/b"), true, 2},
        {line(v3) + line("M\t/a") + line("F\t1\t2") + line("M\t/b"), true, 1},
        {line(v3) + line("M\t/a") + line("F\t0\t2") + line("F\t0\t2") + line("M\t/b"), true, 1},
        {line(v3) + line("M\t/a") + line("F\t00\t2") + line("M\t/b"), true, 1},
        {line(good) + line("M\t/a") + line("F\t0\t2") + line("M\t/b"), true, 1},
        {line(good) + line("R\t/a\t/b\t1\t2\tf") + "R\t/c\t/d\t1\t2\tf\t00000000\n", true, 1},
        {line(good) + line("M\t/a") + line("E") + line("M\t/b"), true, 1},
        // The identity and the scope: whole numbers and a known type; the scope comes first.
        {line(good) + line("R\t/a\t/b") + line("M\t/c"), true, 0},  // no identity in version 2
        {line(good) + line("R\t/a\t/b\t01\t2\tf"), true, 0},
        {line(good) + line("R\t/a\t/b\t1\t2\tx"), true, 0},
        {line(good) + line("R\t/a\t/b\t1\t-2\td") + line("M\t/c"), true, 0},
        {line(good) + line("S\t/t\t1\t2") + line("R\t/t/a\t/t/b\t1\t3\t-"), true, 1},
        {line(good) + line("M\t/t/a") + line("S\t/t\t1\t2"), true, 1},
        // An older journal: no identity, no scope.
        {line(v1) + line("R\t/a\t/b") + line("M\t/c"), true, 2},
        {line(v1) + line("S\t/t\t1\t2") + line("M\t/c"), true, 0},

    };
    for (const Case& c : cases) {
        dov::Journal j;
        EXPECT_EQ(dov::ParseJournal(c.data, j), c.ok) << c.data;
        EXPECT_EQ(j.steps.size(), c.steps) << c.data;
    }
}

// A watcher that journals the first `made` changes, announces one more that it never lets
// happen, then lets nothing through: the journal of a run killed in the middle.
class KilledRun : public dov::IRenameWatcher {
  public:
    KilledRun(dov::CJournalWriter& j, int made) : j_(j), left_(made) {}
    bool RunStarting(const dov::DiskScope& scope) override { return j_.Begin(scope) == 0; }
    bool FolderCreating(const std::string& path) override {
        if (left_ == 0) j_.AddMakeDir(path);
        return Let() && j_.AddMakeDir(path);
    }
    bool EntryRenaming(const std::string& from, const std::string& to,
                       const dov::EntryId& id) override {
        if (left_ == 0) j_.AddRename(from, to, id);
        return Let() && j_.AddRename(from, to, id);
    }
    void ChangeFailed(int err) override { j_.AddFailure(err); }
    void RunEnded() override {}

  private:
    bool Let() { return left_-- > 0; }
    dov::CJournalWriter& j_;
    int left_;
};

struct UndoFixture {
    dovtest::TempDir tmp;
    CountingSyncFs fs;
    dov::ScopedFileSystem scoped{&fs};
    std::unique_ptr<CMyItem> root = NewRoot();
    dovtest::RecordingHost host;
    CMyDepthInfo depth;

    // data/ with a renamed folder holding a renamed file, a file moved into a user-made folder
    // and a Japanese name.
    std::string Data() { return *dov::Utf8ToCp932(tmp / "data"); }
    UndoFixture() {
        tmp.WriteFile("data/f/x.txt", "x");
        tmp.WriteFile("data/f/y.txt", "y");
        tmp.WriteFile("data/" + *dov::Cp932ToUtf8(Sj("夏.jpg")), "s");
        Load(root.get(), Data(), {"f", Sj("夏.jpg")});
        CMyItem* f = dovtest::ByNewName(root.get(), "f");
        dovtest::SetNewName(dovtest::ByNewName(f, "x.txt"), Sj("エックス.txt"));
        dovtest::SetNewName(f, "g");
        dovtest::SetNewName(dovtest::ByNewName(root.get(), Sj("夏.jpg")), Sj("冬.jpg"));
        CMyItem* made = dov::AddFoldToTree(f, host);
        CMyItem* y = dovtest::ByNewName(f, "y.txt");
        dov::ItemDropToTree(made, {f->FindSubItemPos(y)}, {y}, host);
    }
    int Run(dov::IRenameWatcher* w) {
        dov::RenameOptions options;
        options.watcher = w;
        return dov::DirectRename(root.get(), depth, options, host);
    }
    dov::UndoReport Undo() {
        dov::UndoReport r;
        EXPECT_EQ(dov::UndoLastRun(host, dov::DefaultTracePath(), &r), 0);
        return r;
    }
};

TEST(Undo, BringsBackWhatAKilledRunChangedAtEveryPoint) {
    for (int made = 0; made <= 5; ++made) {
        SCOPED_TRACE(made);
        UndoFixture t;
        const auto before = Snapshot(t.tmp / "data");
        dov::CJournalWriter journal(dov::JournalPath(), "rename");
        KilledRun killed(journal, made);
        t.Run(&killed);
        const dov::JournalState st = dov::ReadJournalState();
        EXPECT_TRUE(st.exists);
        EXPECT_FALSE(st.finished);
        const dov::UndoReport r = t.Undo();
        EXPECT_EQ(r.skipped, 0u);
        EXPECT_EQ(r.already, made < 5 ? 1u : 0u);  // the change announced but never made
        EXPECT_EQ(Snapshot(t.tmp / "data"), before);
        // The undo's journal took the place of the run's; the question named the changes.
        EXPECT_TRUE(dov::ReadJournalState().finished);
        EXPECT_EQ(dov::ReadJournalState().kind, "undo");
        EXPECT_FALSE(t.tmp.Exists("home/RenameJournal.undo.txt"));
    }
}

TEST(Undo, SkipsWhatWasChangedSinceAndCanItselfBeUndone) {
    UndoFixture t;
    dov::CJournalWriter journal(dov::JournalPath(), "rename");
    ASSERT_EQ(t.Run(&journal), 0);
    const auto after = Snapshot(t.tmp / "data");
    ASSERT_TRUE(after.count("g/" + *dov::Cp932ToUtf8(Sj("新規フォルダ_000")) + "/y.txt"));
    // Since the run: the old name of 冬.jpg is taken, a file was added to the made folder.
    const std::string summer = *dov::Cp932ToUtf8(Sj("夏.jpg"));
    t.tmp.WriteFile("data/" + summer, "new");
    const std::string made = "data/g/" + *dov::Cp932ToUtf8(Sj("新規フォルダ_000"));
    t.tmp.WriteFile(made + "/z", "z");

    const dov::UndoReport r = t.Undo();
    EXPECT_EQ(r.skipped, 2u);  // 冬.jpg stays, the made folder stays
    EXPECT_EQ(t.tmp.ReadFile("data/" + summer), "new");
    EXPECT_EQ(t.tmp.ReadFile("data/" + *dov::Cp932ToUtf8(Sj("冬.jpg"))), "s");
    EXPECT_EQ(t.tmp.ReadFile("data/f/y.txt"), "y");
    EXPECT_EQ(t.tmp.ReadFile("data/f/x.txt"), "x");
    EXPECT_EQ(t.tmp.ReadFile("data/f/" + made.substr(7) + "/z"), "z");
    const std::string log = renametest::HomeFile("RenameLog.txt");
    EXPECT_EQ(renametest::Count(log, Sj("×　")), 2);
    // The question named the number of changes.
    bool asked = false;
    for (const auto& m : t.host.messages)
        asked |= m.text == Sj("記録された変更[5]個を元に戻しますか？");
    EXPECT_TRUE(asked);

    // Undoing the undo redoes what it took back.
    std::filesystem::remove(t.tmp / ("data/" + summer));
    std::filesystem::remove(t.tmp / ("data/f/" + made.substr(7) + "/z"));
    const dov::UndoReport again = t.Undo();
    EXPECT_EQ(again.skipped, 0u);
    EXPECT_EQ(Snapshot(t.tmp / "data"), after);
}

}  // namespace

namespace {

TEST(Undo, NeverActsOnAPathThatIsNotPlain) {
    dovtest::TempDir tmp;
    tmp.WriteFile("d/b", "b");
    const std::string d = tmp / "d";
    {
        dov::CJournalWriter j(dov::JournalPath(), "rename");
        ASSERT_EQ(j.Begin(), 0);
        j.AddRename(d + "/x/../a", d + "/b");
        j.AddRename(d + "/a", d + "//b");
        j.AddMakeDir(d + "/.");
        j.Finish();
    }
    dovtest::RecordingHost host;
    dov::UndoReport r;
    ASSERT_EQ(dov::UndoLastRun(host, dov::DefaultTracePath(), &r), 0);
    EXPECT_EQ(r.skipped, 3u);
    EXPECT_EQ(r.reverted, 0u);
    EXPECT_EQ(Snapshot(d), (std::map<std::string, std::string>{{"b", "b"}}));
}

}  // namespace

namespace {

// Predicted failures are named in a question ahead of the others; No (the default) stops.
TEST(SafetyNet, PredictedFailuresAreAskedAboutFirst) {
    for (auto answer : {dov::MsgAnswer::No, dov::MsgAnswer::Yes}) {
        UndoFixture t;
        t.host.answers = {answer, dov::MsgAnswer::No};
        dov::RenameOptions options;
        options.predictedFailures = 2;
        EXPECT_EQ(dov::DirectRename(t.root.get(), t.depth, options, t.host), 1);
        ASSERT_EQ(t.host.messages.size(), answer == dov::MsgAnswer::Yes ? 2u : 1u);
        EXPECT_EQ(t.host.messages[0].text,
                  Sj("直接改名すると[2]個のアイテムが失敗すると予測されます。\n続けますか？"));
        EXPECT_EQ(t.host.messages[0].kind, dov::MsgKind::YesNo);
    }
}

}  // namespace
