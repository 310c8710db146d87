// The whole road through the session object, with no window: load a folder from disk, edit
// the new names, rename on disk, save and open again.
#include "session/session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "common/codepage.h"
#include "model/item.h"
#include "model/parts_array.h"
#include "support/test_support.h"

namespace {

using dovtest::Sj;

class SessionTest : public ::testing::Test {
  protected:
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    std::string P(const std::string& rel) { return *dov::Utf8ToCp932(tmp / rel); }
};

TEST_F(SessionTest, LoadEditRenameEndToEnd) {
    tmp.WriteFile("photos/b.jpg", "B");
    tmp.WriteFile("photos/a.jpg", "A");
    tmp.WriteFile("photos/sub/c.jpg", "C");
    dov::CSession s(host);
    ASSERT_EQ(s.LoadPaths({P("photos")}), 1);
    // The progress counter saw the picked folder and the four entries under it.
    EXPECT_EQ(s.flags.entriesRead.load(), 5);
    CMyItem* photos = s.FindFolder("photos");
    ASSERT_NE(photos, nullptr);
    EXPECT_EQ(s.FindFolder("photos/sub")->m_strNewName, "sub");
    EXPECT_EQ(s.FindFolder("photos/nothing"), nullptr);
    EXPECT_EQ(s.FindFolder("/"), s.Root());

    s.ShowFolder(photos);
    ASSERT_EQ(s.RowCount(), 3);  // sub, a.jpg, b.jpg: folders first, then by name
    EXPECT_EQ(s.RowItem(0)->m_strOrgName, "sub");
    EXPECT_EQ(s.RowItem(1)->m_strOrgName, "a.jpg");
    s.SelectAll();
    s.KeyWords().Key1 = Sj("写真_");
    EXPECT_EQ(s.RunListCommand(dov::CMD_PASTE_LEFT), 3);
    EXPECT_EQ(s.RowItem(1)->m_strNewName, Sj("写真_a.jpg"));

    host.answers = {dov::MsgAnswer::Yes, dov::MsgAnswer::Yes};
    const dov::CommandResult renamed = s.Rename();
    ASSERT_EQ(renamed.outcome, dov::Outcome::Done);
    EXPECT_EQ(renamed.counts.failed, 0u);
    EXPECT_EQ(tmp.ReadFile("photos/写真_a.jpg"), "A");
    EXPECT_EQ(tmp.ReadFile("photos/写真_b.jpg"), "B");
    EXPECT_EQ(tmp.ReadFile("photos/写真_sub/c.jpg"), "C");
    EXPECT_FALSE(tmp.Exists("photos/a.jpg"));
    EXPECT_TRUE(tmp.Exists("home/RenameLog.txt"));
}

TEST_F(SessionTest, JobsCarryTheirOwnStopAndResult) {
    tmp.WriteFile("j/a.txt", "A");
    tmp.WriteFile("j/b.txt", "B");
    dov::CSession s(host);
    ASSERT_EQ(s.LoadPaths({P("j")}), 1);
    s.ShowFolder(s.FindFolder("j"));
    s.SelectAll();
    s.KeyWords().Key1 = "x";
    ASSERT_EQ(s.RunListCommand(dov::CMD_PASTE_LEFT), 2);

    // Stopped by its own token: the session's STOP is untouched, and a second job of the same
    // session runs to its end.
    host.answers = {dov::MsgAnswer::Yes, dov::MsgAnswer::Yes};
    std::unique_ptr<dov::CJob> first = s.RenameJob();
    ASSERT_TRUE(first->Confirm());
    first->Stop();
    first->Run();
    EXPECT_EQ(first->Result().outcome, dov::Outcome::Stopped);
    EXPECT_EQ(first->Result().counts.renameStop, dov::RenameEnd::Stopped);
    EXPECT_FALSE(s.flags.stopReq.load());

    host.answers = {dov::MsgAnswer::Yes, dov::MsgAnswer::Yes};
    std::unique_ptr<dov::CJob> second = s.RenameJob();
    ASSERT_TRUE(second->Confirm());
    second->Run();
    EXPECT_EQ(second->Result().outcome, dov::Outcome::Done);
    const dov::Counts& c = second->Result().counts;
    EXPECT_EQ(second->Done(), static_cast<long long>(c.ok + c.failed));
    EXPECT_EQ(second->ToDo(), c.items);
    EXPECT_EQ(tmp.ReadFile("j/xa.txt"), "A");

    // A copy job that was never confirmed copies nothing.
    std::unique_ptr<dov::CCopyJob> copy = s.CopyJob();
    EXPECT_FALSE(copy->Prepare(P("out")));
    copy->Run();
    EXPECT_EQ(copy->Result().outcome, dov::Outcome::NotStarted);
}

TEST_F(SessionTest, EveryJobStopsThroughItsOwnToken) {
    tmp.WriteFile("k/a.txt", "A");
    tmp.WriteFile("k/b.txt", "B");
    dov::CSession s(host);
    // A load's Done() counts the entries it read: the folder and its two files.
    std::unique_ptr<dov::CJob> load = s.LoadPathsJob({P("k")});
    ASSERT_TRUE(load->Confirm());
    load->Run();
    EXPECT_EQ(load->Result().outcome, dov::Outcome::Done);
    EXPECT_EQ(load->Result().counts.added, 1);
    EXPECT_EQ(load->Done(), 3);
    s.ShowFolder(s.FindFolder("k"));
    s.SelectAll();
    s.KeyWords().Key1 = "x";
    ASSERT_EQ(s.RunListCommand(dov::CMD_PASTE_LEFT), 2);
    host.answers = {dov::MsgAnswer::Yes, dov::MsgAnswer::Yes};
    ASSERT_EQ(s.Rename().outcome, dov::Outcome::Done);
    ASSERT_TRUE(tmp.Exists("k/xa.txt"));
    s.ShowFolder(s.FindFolder("k"));
    s.SelectAll();

    // Each job stopped before its run ends early by its own token (a load after the entry it
    // is at), with the session's STOP untouched; the edit changes no name, the undo nothing on
    // disk.
    const struct {
        const char* name;
        std::function<std::unique_ptr<dov::CJob>()> make;
        bool changesNothing;
    } jobs[] = {
        {"load",
         [&] {
             return s.LoadJob(P("k"), {"xa.txt", "xb.txt"}, s.Root());
         },
         false},
        {"edit", [&] { return s.OperationJob(dov::CMD_PASTE_LEFT); }, true},
        // An undo that took nothing back keeps the edit tree.
        {"undo", [&] { return s.UndoJob(); }, true},
    };
    for (const auto& j : jobs) {
        const std::string before = s.NamesText();
        std::unique_ptr<dov::CJob> job = j.make();
        ASSERT_TRUE(job->Confirm()) << j.name;
        job->Stop();
        job->Run();
        EXPECT_EQ(job->Result().outcome, dov::Outcome::Stopped) << j.name;
        if (j.changesNothing) {
            EXPECT_EQ(s.NamesText(), before) << j.name;
        }
        EXPECT_FALSE(s.flags.stopReq.load()) << j.name;
    }
    EXPECT_TRUE(tmp.Exists("k/xa.txt"));
    EXPECT_TRUE(tmp.Exists("k/xb.txt"));
}

TEST_F(SessionTest, TypedNamesAreCheckedLikeTheWindowDoes) {
    tmp.WriteFile("d/x.txt");
    tmp.WriteFile("d/y.txt");
    dov::CSession s(host);
    s.LoadPaths({P("d")});
    s.ShowFolder(s.FindFolder("d"));
    EXPECT_EQ(s.SetNewName(0, "a/b"), 0);
    EXPECT_EQ(s.RowItem(0)->m_strNewName, "x.txt");
    ASSERT_FALSE(host.messages.empty());
    // Without the index prefix two rows may not share a name; with it they may.
    s.SetAutoIndex(false);
    EXPECT_EQ(s.SetNewName(0, "y.txt"), 0);
    s.SetAutoIndex(true);
    EXPECT_EQ(s.SetNewName(0, "y.txt"), 1);
    EXPECT_EQ(s.RowItem(0)->m_strWriteName, "000_y.txt");
}

TEST_F(SessionTest, SortByDateOrNaturalOrderThenNumber) {
    // Written in an order that is neither the names' nor the dates'.
    const char* names[] = {"第１０話.mp4", "第2話.mp4", "第1話.mp4", "b.mp4"};
    const long dates[] = {300, 100, 400, 200};
    for (int i = 0; i < 4; ++i) {
        tmp.WriteFile(std::string("v/") + names[i]);
        const timespec t[2] = {{dates[i], 0}, {dates[i], 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (tmp / (std::string("v/") + names[i])).c_str(), t, 0), 0);
    }
    dov::CSession s(host);
    ASSERT_EQ(s.LoadPaths({P("v")}), 1);
    s.ShowFolder(s.FindFolder("v"));
    auto order = [&] {
        std::string o;
        for (int r = 0; r < s.RowCount(); ++r) o += s.RowItem(r)->m_strNewName + " ";
        return o;
    };
    s.SortBy(dov::kSortModified);
    s.SelectAll();
    EXPECT_EQ(s.RunListCommand(dov::CMD_SERIAL_1_UP), 4);
    EXPECT_EQ(order(), Sj("第2話001.mp4 b002.mp4 第１０話003.mp4 第1話004.mp4 "));
    s.RunListCommand(dov::CMD_RESET_NAME);
    s.SortBy(dov::kSortModified);  // the second time descending
    EXPECT_EQ(order(), Sj("第1話.mp4 第１０話.mp4 b.mp4 第2話.mp4 "));
    s.SortBy(dov::kSortNatural);
    EXPECT_EQ(order(), Sj("b.mp4 第1話.mp4 第2話.mp4 第１０話.mp4 "));
}

TEST_F(SessionTest, NamesEditedAsText) {
    tmp.WriteFile("t/a.txt");
    tmp.WriteFile("t/b\\c.txt");  // a name a typed name could not hold
    dov::CSession s(host);
    ASSERT_EQ(s.LoadPaths({P("t")}), 1);
    s.ShowFolder(s.FindFolder("t"));
    ASSERT_EQ(s.NamesText(), "a.txt\nb\\\\c.txt\n");
    auto names = [&] { return s.RowItem(0)->m_strNewName + "|" + s.RowItem(1)->m_strNewName; };
    const struct {
        std::string text;
        int result;
    } cases[] = {
        {"x.txt\n", -1},                 // too few lines
        {"x.txt\nb\\\\c.txt\nz\n", -1},  // too many
        {"x.txt\r\nb\\\\c.txt\r\n", 1},  // CR LF, the unchanged name kept as it is
        {"y.txt\nb\\\\d.txt", -1},       // a changed name with a backslash is refused
        {"y\r.txt\nb\\\\c.txt", -1},     // a carriage return inside a line
        {std::string("y\0.txt\nb\\\\c.txt", 15), -1},
        {"\nb\\\\c.txt", -1},  // an empty name
        {"写真.txt\nb\\\\c.txt\n", 1},
    };
    for (const auto& c : cases) {
        const std::string before = names();
        EXPECT_EQ(s.SetNewNamesFromText(*dov::Utf8ToCp932(c.text)), c.result) << c.text;
        if (c.result < 0) {
            EXPECT_EQ(names(), before) << c.text;
        }
    }
    EXPECT_EQ(names(), Sj("写真.txt|b\\c.txt"));
    // Without the index prefix two rows may not share a name.
    s.SetAutoIndex(false);
    EXPECT_EQ(s.SetNewNamesFromText("x\nx\n"), -1);
}

TEST_F(SessionTest, SaveOpenRoundTripAndInfo) {
    tmp.WriteFile("d/one.txt", "12345");
    tmp.WriteFile("d/e/two.txt", "1234567890");
    dov::CSession s(host);
    s.LoadPaths({P("d")});
    ASSERT_EQ(s.SaveAs(P("tree.dvt")), dov::Outcome::Done);
    s.Reset();
    EXPECT_EQ(s.Root()->m_dwNumInFolder, 0u);
    ASSERT_EQ(s.Open(P("tree.dvt")), dov::Outcome::Done);
    ASSERT_NE(s.FindFolder("d/e"), nullptr);
    s.ShowFolder(s.Root());
    s.SelectAll();
    const std::string info = s.InfoText();
    EXPECT_NE(info.find(Sj("トータルサイズ： 15\n")), std::string::npos) << dov::DisplayUtf8(info);
    EXPECT_NE(info.find(Sj("フォルダ数： 2\n")), std::string::npos) << dov::DisplayUtf8(info);
    EXPECT_NE(info.find(Sj("ファイル数： 2\n")), std::string::npos) << dov::DisplayUtf8(info);
}

}  // namespace

namespace {

TEST(SessionLoad, PickedNamesThatAreNotNamesAreDropped) {
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    tmp.WriteFile("d/a.txt");
    dov::CSession s(host);
    const std::string d = *dov::Utf8ToCp932(tmp / "d");
    EXPECT_EQ(s.Load(d, {"", ".", "..", "x/y", "a.txt"}).added, 1);
    EXPECT_EQ(s.Root()->m_dwNumInFolder, 1u);
}

}  // namespace

namespace {

TEST(SessionOpen, AFolderReadFromASaveFileTakesOnlyTheSlotsItNeeds) {
    // A save file of many small folders must not cost a whole step of slots per folder.
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    for (int i = 0; i < 3; ++i) tmp.WriteFile("d/f" + std::to_string(i) + "/one.txt", "x");
    dov::CSession s(host);
    s.LoadPaths({*dov::Utf8ToCp932(tmp / "d")});
    const std::string file = *dov::Utf8ToCp932(tmp / "t.dvt");
    ASSERT_EQ(s.SaveAs(file), dov::Outcome::Done);
    ASSERT_EQ(s.Open(file), dov::Outcome::Done);
    CMyItem* f1 = s.FindFolder("d/f1");
    ASSERT_NE(f1, nullptr);
    EXPECT_EQ(f1->m_dwNumInFolder, 1u);
    EXPECT_EQ(f1->m_pArray->m_arParts.size(), 1u);
    // Adding to such a folder afterwards still works and grows it.
    ASSERT_NE(f1->MakeSubFile(), nullptr);
    EXPECT_EQ(f1->m_dwNumInFolder, 2u);
}

}  // namespace

namespace {

// Only a file that was really loaded becomes the file in use: after a refused (older version)
// or damaged file, Save asks for a file and the recent files do not gain the refused one.
TEST(SessionOpen, OnlyALoadedFileBecomesTheFileInUse) {
    struct Case {
        const char* name;
        void (*spoil)(std::string& data);
    };
    const Case cases[] = {
        {"older version", [](std::string& d) { d[d.find("version is 3") + 11] = '2'; }},
        {"cut short", [](std::string& d) { d.resize(d.size() / 2); }},
    };
    for (const Case& c : cases) {
        dovtest::TempDir tmp;
        dovtest::RecordingHost host;
        tmp.WriteFile("d/a.txt");
        dov::CSession s(host);
        s.LoadPaths({*dov::Utf8ToCp932(tmp / "d")});
        const std::string good = *dov::Utf8ToCp932(tmp / "good.dvt");
        const std::string bad = *dov::Utf8ToCp932(tmp / "bad.dvt");
        ASSERT_EQ(s.SaveAs(good), dov::Outcome::Done);
        std::string data = tmp.ReadFile("good.dvt");
        c.spoil(data);
        tmp.WriteFile("bad.dvt", data);
        ASSERT_EQ(s.Open(good), dov::Outcome::Done);
        EXPECT_EQ(s.saveFilePath, good);

        EXPECT_EQ(s.Open(bad), dov::Outcome::Failed) << c.name;
        EXPECT_EQ(s.Root()->m_dwNumInFolder, 0u) << c.name;
        EXPECT_EQ(s.saveFilePath, "") << c.name;
        EXPECT_EQ(s.Save(), dov::Outcome::NotStarted) << c.name;
        for (const std::string& r : s.settings.recentFiles) EXPECT_NE(r, bad) << c.name;
    }
}

TEST(SessionOpen, NewAndOpenAskBeforeDiscarding) {
    dovtest::TempDir tmp;
    dovtest::RecordingHost host;
    dov::CSession s(host);
    EXPECT_FALSE(s.ConfirmNew());  // nothing to discard: no question
    EXPECT_TRUE(s.ConfirmDiscard());
    EXPECT_TRUE(host.messages.empty());
    tmp.WriteFile("d/a.txt");
    s.LoadPaths({*dov::Utf8ToCp932(tmp / "d")});
    host.answers = {dov::MsgAnswer::No, dov::MsgAnswer::Yes, dov::MsgAnswer::No};
    EXPECT_FALSE(s.ConfirmNew());
    EXPECT_TRUE(s.ConfirmNew());
    EXPECT_FALSE(s.ConfirmDiscard());
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[0].text, Sj("現在の内容を破棄しますか？"));
    EXPECT_EQ(host.messages[0].kind, dov::MsgKind::YesNo);
    EXPECT_EQ(host.messages[2].text, Sj("現在のデータは全て破棄されますがよろしいですか？"));
    s.saveFilePath = "/x.dvt";
    CMyItem* old = s.Root();
    EXPECT_EQ(s.New(), 1);
    EXPECT_EQ(s.saveFilePath, "");
    EXPECT_EQ(s.Root()->m_dwNumInFolder, 0u);
    EXPECT_EQ(host.treeRemoved.back(), old);
}

// A macro's refresh of the item fields reaches the front.
TEST(SessionMacro, FieldRefreshesReachTheFront) {
    struct FieldsHost : dovtest::RecordingHost {
        std::vector<CMyItem*> fields;
        void ItemFieldsChanged(CMyItem* item) override { fields.push_back(item); }
    };
    dovtest::TempDir tmp;
    FieldsHost host;
    tmp.WriteFile("d/a.txt");
    dov::CSession s(host);
    s.LoadPaths({*dov::Utf8ToCp932(tmp / "d")});
    s.ShowFolder(s.FindFolder("d"));
    EXPECT_EQ(s.RunStatement("SelectListAll()").problem, dov::StatementResult::Problem::None);
    ASSERT_EQ(host.fields.size(), 1u);
    EXPECT_EQ(host.fields[0], s.RowItem(0));
    EXPECT_EQ(s.RunStatement("NoSuch(1)").problem, dov::StatementResult::Problem::NoSuchFunction);
    EXPECT_EQ(s.RunStatement("(").problem, dov::StatementResult::Problem::NotAStatement);
}

}  // namespace
