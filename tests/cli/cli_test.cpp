// dovreth-cli end to end: the built binary run on temporary folders, its standard output,
// standard error, exit status and what it leaves on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "session/operations.h"
#include "support/info_samples.h"
#include "support/test_support.h"

namespace {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string CliBinary() {
    const char* dir = std::getenv("DOVRETH_TEST_BIN_DIR");
    return std::string(dir ? dir : ".") + "/src/cli/dovreth-cli";
}

class CliTest : public ::testing::Test {
  protected:
    dovtest::TempDir tmp;

    void SetUp() override {
        tmp.MakeDir("home");
        tmp.WriteFile("photos/b.jpg", "B");
        tmp.WriteFile("photos/a.jpg", "A");
        tmp.WriteFile("photos/sub/c.txt", "C");
    }

    // Runs the binary with the temporary folder as its current folder. closedOutput: both
    // outputs are pipes nobody reads (as after `| head -1`).
    // fileLimit: the largest file the program may write (ulimit -f), 0 for no limit. A run
    // that has not ended after two minutes is ended (status -1).
    CliResult Run(const std::vector<std::string>& args, bool closedOutput = false,
                  rlim_t fileLimit = 0) {
        CliResult r;
        const std::string outPath = tmp / "stdout.txt", errPath = tmp / "stderr.txt";
        pid_t pid = fork();
        if (pid == 0) {
            int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int p[2];
            if (closedOutput && (pipe(p) != 0 || close(p[0]) != 0 || (o = e = p[1]) < 0))
                _exit(127);
            if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 ||
                chdir(tmp.path().c_str()) != 0)
                _exit(127);
            const struct rlimit limit = {fileLimit, fileLimit};
            if (fileLimit > 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
            alarm(120);
            std::vector<char*> argv;
            std::string bin = CliBinary();
            argv.push_back(bin.data());
            std::vector<std::string> copy = args;
            for (std::string& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        int ws = 0;
        if (pid > 0 && waitpid(pid, &ws, 0) == pid && WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
        r.out = dovtest::ReadNative(outPath);
        r.err = dovtest::ReadNative(errPath);
        return r;
    }

    // The one-line reason of a failed run: the last line of standard error.
    static std::string LastLine(const std::string& text) {
        std::string t = text;
        while (!t.empty() && t.back() == '\n') t.pop_back();
        std::size_t nl = t.rfind('\n');
        return nl == std::string::npos ? t : t.substr(nl + 1);
    }

    const std::vector<std::string> kPrefixAll = {
        "photos", "--folder", "photos", "--select-all", "--exec", "PasteLeftListString(\"2024_\")"};
    std::vector<std::string> With(std::vector<std::string> more) const {
        std::vector<std::string> all = kPrefixAll;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    }
    bool PhotosUntouched() const {
        return tmp.Exists("photos/a.jpg") && tmp.Exists("photos/b.jpg") &&
               tmp.Exists("photos/sub/c.txt") && !tmp.Exists("photos/2024_a.jpg");
    }
};

const char kListed[] =
    "sub\t2024_sub\t2024_sub\n"
    "a.jpg\t2024_a.jpg\t2024_a.jpg\n"
    "b.jpg\t2024_b.jpg\t2024_b.jpg\n";

TEST_F(CliTest, LoadEditListLeavesTheDiskAlone) {
    CliResult r = Run(With({"--list"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kListed);
    EXPECT_TRUE(PhotosUntouched());
    // The settings file is read, never written.
    EXPECT_FALSE(tmp.Exists("home/dovreth.ini"));
}

TEST_F(CliTest, EveryOperationWithASpellingRuns) {
    for (const dov::Operation& op : dov::Operations()) {
        if (!op.cli) continue;
        std::vector<std::string> args = With({op.cli});
        if (op.cliValue == dov::CliValue::Limit) args.push_back("40");
        if (op.cliValue == dov::CliValue::Template) args.push_back("{parent}");
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 0) << op.cli << ": " << r.err;
    }
}

TEST_F(CliTest, AbsolutePathsAndDotSegmentsLoadTheSameFolder) {
    for (const std::string& path :
         {tmp / "photos", std::string("./photos/"), std::string("photos/sub/..")}) {
        CliResult r = Run({path, "--folder", "photos", "--select-all", "--exec",
                           "PasteLeftListString(\"2024_\")", "--list"});
        EXPECT_EQ(r.status, 0) << path << ": " << r.err;
        EXPECT_EQ(r.out, kListed) << path;
    }
}

TEST_F(CliTest, JapaneseNamesAreShownInUtf8AndRenamed) {
    tmp.WriteFile("写真/夏.jpg", "S");
    CliResult r = Run({"写真", "--folder", "写真", "--select-all", "--exec",
                       "PasteLeftListString(\"旅行_\")", "--list", "--rename"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "夏.jpg\t旅行_夏.jpg\t旅行_夏.jpg\n");
    EXPECT_TRUE(tmp.Exists("写真/旅行_夏.jpg"));
    EXPECT_EQ(tmp.ReadFile("写真/旅行_夏.jpg"), "S");
}

TEST_F(CliTest, TreePrintsTheWholeEditTreeWithNewNames) {
    CliResult r = Run(With({"--tree"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "□Root\n"
              "┗━━□photos\n"
              "　　　　 ┣━━□2024_sub\n"
              "　　　　 ┃　　　┗━━■c.txt\n"
              "　　　　 ┣━━■2024_a.jpg\n"
              "　　　　 ┗━━■2024_b.jpg\n");
    EXPECT_FALSE(tmp.Exists("home/TextTree.txt"));
}

TEST_F(CliTest, RenameWritesTheLogAndReportsCompletion) {
    CliResult r = Run(With({"--rename"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(tmp.Exists("photos/2024_a.jpg"));
    EXPECT_TRUE(tmp.Exists("photos/2024_b.jpg"));
    EXPECT_TRUE(tmp.Exists("photos/2024_sub/c.txt"));
    EXPECT_EQ(tmp.ReadFile("photos/2024_a.jpg"), "A");
    EXPECT_FALSE(tmp.Exists("photos/a.jpg"));
    // The question was answered yes, and the completion report reached standard error.
    EXPECT_NE(r.err.find("直接改名するとやり直しは出来ませんがよろしいですか？\n"
                         "（dovreth-cli --undo で、この改名を取り消せます） -> yes"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("リネーム完了"), std::string::npos) << r.err;
    const std::string log = tmp.ReadFile("home/RenameLog.txt");
    EXPECT_NE(log.find(dovtest::Sj("2024_a.jpg")), std::string::npos);
    EXPECT_TRUE(tmp.Exists("home/PreRenameTree.txt"));
}

TEST_F(CliTest, RefusedNamesRenameNothing) {
    for (const char* bad : {"x:", "a*", "q?", "p|", "<", "a;b"}) {
        CliResult r = Run({"photos", "--folder", "photos", "--select-all", "--exec",
                           std::string("PasteLeftListString(\"") + bad + "\")", "--rename"});
        EXPECT_EQ(r.status, 1) << bad << ": " << r.err;
        EXPECT_EQ(LastLine(r.err).rfind("dovreth-cli: ", 0), 0u) << r.err;
        EXPECT_TRUE(PhotosUntouched()) << bad;
        EXPECT_FALSE(tmp.Exists("home/RenameLog.txt")) << bad;
    }
}

TEST_F(CliTest, AnItemThatFailsToRenameGivesStatusOne) {
    tmp.WriteFile("clash/b.txt", "b");
    tmp.WriteFile("clash/c.txt", "c");
    CliResult r = Run({"clash", "--folder", "clash", "--exec", "FindItemAll(0,\"b.txt\")", "--exec",
                       "ReplaceListString(0,0,\"b\",\"c\")", "--list", "--rename"});
    EXPECT_EQ(r.out, "b.txt\tc.txt\tc.txt\nc.txt\tc.txt\tc.txt\n");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(LastLine(r.err).find("could not be renamed"), std::string::npos) << r.err;
    // Nothing was overwritten.
    EXPECT_EQ(tmp.ReadFile("clash/b.txt"), "b");
    EXPECT_EQ(tmp.ReadFile("clash/c.txt"), "c");
}

TEST_F(CliTest, CopyWritesTheTreeUnderNewNamesAndKeepsTheOriginals) {
    tmp.MakeDir("out");
    CliResult r = Run(With({"--copy-to", "out"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(tmp.ReadFile("out/Root/photos/2024_a.jpg"), "A");
    EXPECT_EQ(tmp.ReadFile("out/Root/photos/2024_b.jpg"), "B");
    EXPECT_EQ(tmp.ReadFile("out/Root/photos/2024_sub/c.txt"), "C");
    EXPECT_TRUE(PhotosUntouched());

    // A second copy over the first writes nothing over it and says so.
    tmp.WriteFile("photos/a.jpg", "changed");
    r = Run(With({"--copy-to", "out"}));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(tmp.ReadFile("out/Root/photos/2024_a.jpg"), "A");
}

TEST_F(CliTest, SaveThenOpenGivesTheSameTree) {
    CliResult saved = Run(With({"--save", "edit.dvt", "--tree"}));
    ASSERT_EQ(saved.status, 0) << saved.err;
    ASSERT_TRUE(tmp.Exists("edit.dvt"));
    CliResult opened = Run({"--open", "edit.dvt", "--tree", "--folder", "photos", "--list"});
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(opened.out, saved.out + kListed);

    // The opened tree renames the files it was saved from.
    CliResult renamed = Run({"--open", tmp / "edit.dvt", "--rename"});
    EXPECT_EQ(renamed.status, 0) << renamed.err;
    EXPECT_TRUE(tmp.Exists("photos/2024_a.jpg"));
}

TEST_F(CliTest, MacroFilesInCp932AndInUtf8WithByteOrderMark) {
    const std::string body = "SelectListAll()\r\nPasteLeftListString(\"写真_\")\r\n";
    tmp.WriteFile("cp932.txt", dovtest::Sj(body.c_str()));
    tmp.WriteFile("utf8.txt", "\xEF\xBB\xBF" + body);
    const std::string expected =
        "sub\t写真_sub\t写真_sub\na.jpg\t写真_a.jpg\t写真_a.jpg\nb.jpg\t写真_b.jpg\t写真_b.jpg\n";
    for (const char* file : {"cp932.txt", "utf8.txt"}) {
        CliResult r = Run({"photos", "--folder", "photos", "--macro", file, "--list"});
        EXPECT_EQ(r.status, 0) << file << ": " << r.err;
        EXPECT_EQ(r.out, expected) << file;
    }
}

TEST_F(CliTest, MakeFolderMoveRowsIntoItAndRename) {
    CliResult r = Run({"photos", "--folder", "photos", "--mkdir", "--list", "--exec",
                       "FindItemAll(0,\"b.jpg\")", "--move-to", "photos/新規フォルダ_001",
                       "--folder", "photos/新規フォルダ_001", "--list", "--rename"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "sub\tsub\tsub\na.jpg\ta.jpg\ta.jpg\nb.jpg\tb.jpg\tb.jpg\n"
              "\t新規フォルダ_001\t新規フォルダ_001\n"
              "b.jpg\tb.jpg\tb.jpg\n");
    EXPECT_EQ(tmp.ReadFile("photos/新規フォルダ_001/b.jpg"), "B");
    EXPECT_FALSE(tmp.Exists("photos/b.jpg"));
}

TEST_F(CliTest, LimitAndAutoIndexOptions) {
    tmp.WriteFile("lim/abcdefgh.txt");
    tmp.WriteFile("lim/xy.txt");
    CliResult r = Run({"lim", "--folder", "lim", "--select-all", "--limit", "7", "--auto-index",
                       "--list", "--no-auto-index", "--list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "abcdefgh.txt\tabc.txt\t000_abc.txt\nxy.txt\txy.txt\t001_xy.txt\n"
              "abcdefgh.txt\tabc.txt\tabc.txt\nxy.txt\txy.txt\txy.txt\n");
}

TEST_F(CliTest, UsageErrorsAndUnreadableInputsGiveStatusTwo) {
    tmp.WriteFile("old.dvt", std::string("\x1B") + "This save data version is 2");  // refused
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--bogus"},
        {"photos", "--folder"},
        {"photos", "--limit", "abc"},
        {"photos", "--limit", "0"},
        {"photos", "--select-all", "--auto-index", "--limit", "5"},
        {"photos", "--select-all=yes"},
        {"photos", "--folder", "nothing"},
        {"photos", "--exec", "NoSuchFunction(\"a\")"},
        {"photos", "--exec", "PasteLeftListString(\"a\""},
        {"photos", "--exec", "PasteLeftListString(1)"},
        {"photos", "--macro", "missing.txt"},
        {"--open", "missing.dvt"},
        {"--open", "photos/a.jpg"},
        {"--open", "old.dvt"},
        {"photos", "--copy-to", "missing-folder"},
        {"photos", "--copy-to", "photos/a.jpg"},
        {"photos", "--move-to", "photos"},
        {"photos", "caf\xC3\xA9"},
        {"photos", "bad\xFF"},
        {"photos", "./photos"},
        {"photos", "photos/sub/c.txt", "--rename"},
        {"photos/a.jpg", tmp.path(), "--rename"},
        {"", "--rename"},  // a script's empty variable must not load the current folder
        {"photos", "--", ""},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args) shown += " " + a;
        CliResult r = Run(args);
        EXPECT_EQ(r.status, 2) << shown << "\n" << r.err;
        EXPECT_EQ(LastLine(r.err).rfind("dovreth-cli: ", 0), 0u) << shown << "\n" << r.err;
        EXPECT_TRUE(r.out.empty()) << shown;
    }
    EXPECT_FALSE(tmp.Exists("missing.txt"));  // a missing macro file is not created
}

TEST_F(CliTest, AMissingPathStopsBeforeAnythingIsRenamed) {
    CliResult r = Run({"photos", "no-such-folder", "--folder", "photos", "--select-all", "--exec",
                       "PasteLeftListString(\"2024_\")", "--list", "--rename"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(LastLine(r.err).find("no-such-folder"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(PhotosUntouched());
}

TEST_F(CliTest, AFailedStepStopsTheLaterOnes) {
    CliResult r = Run(With({"--folder", "photos/nothing", "--rename"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(PhotosUntouched());
}

TEST_F(CliTest, HelpAndVersion) {
    CliResult v = Run({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "Dovreth Version 2.65\n");
    CliResult h = Run({"photos", "--help", "--rename"});
    EXPECT_EQ(h.status, 0);
    EXPECT_EQ(h.out.rfind("Usage: dovreth-cli", 0), 0u);
    EXPECT_TRUE(PhotosUntouched());  // --help does nothing else
}

TEST_F(CliTest, SettingsComeFromTheIniFile) {
    tmp.WriteFile("home/dovreth.ini", "[OptionData]\nAutoSerialNum=1\n");
    const std::string before = tmp.ReadFile("home/dovreth.ini");
    CliResult r = Run({"photos", "--folder", "photos", "--list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sub\tsub\t000_sub\na.jpg\ta.jpg\t000_a.jpg\nb.jpg\tb.jpg\t001_b.jpg\n");
    EXPECT_EQ(tmp.ReadFile("home/dovreth.ini"), before);
}

TEST_F(CliTest, NoProgressLineWhenStandardErrorIsNotATerminal) {
    for (int i = 0; i < 4000; ++i) tmp.WriteFile("many/f" + std::to_string(i));
    CliResult r = Run({"many", "--folder", "many", "--select-all", "--exec",
                       "PasteLeftListString(\"p_\")", "--rename"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(tmp.Exists("many/p_f3999"));
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
}

TEST_F(CliTest, EveryNameLoadsShowsAndRenamesAsItsRealCharacters) {
    // é and 〜 CP932 cannot hold exactly; 0xFF is no UTF-8 at all.
    const std::vector<std::string> names = {"a.txt", "caf\xC3\xA9.txt", "〜.txt", "bad\xFF.txt"};
    for (const std::string& n : names) tmp.WriteFile("mixed/" + n, n);
    CliResult r = Run({"mixed", "--folder", "mixed", "--select-all", "--exec",
                       "PasteLeftListString(\"p_〜\")", "--list", "--rename"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("left out"), std::string::npos) << r.err;
    for (const std::string& n : names) {
        // A byte that is not UTF-8 is shown as \xNN; everything else as it is.
        const std::string shown = n == "bad\xFF.txt" ? "bad\\xFF.txt" : n;
        EXPECT_NE(r.out.find(shown + "\tp_〜" + shown + "\tp_〜" + shown + "\n"), std::string::npos)
            << r.out;
        EXPECT_EQ(tmp.ReadFile("mixed/p_〜" + n), n);
    }
}

// --check lists what the name check would refuse, and never says 0 before a refusal.
TEST_F(CliTest, CheckListsTheNamesTheNameCheckRefuses) {
    tmp.WriteFile("odd/a:b.txt");
    CliResult r = Run({"odd", "--folder", "odd", "--select-all", "--exec",
                       "PasteLeftListString(\"p_\")", "--check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "refused name\t" + tmp.path() + "/odd/a:b.txt\t" + tmp.path() + "/odd/p_a:b.txt\n");
    EXPECT_NE(r.err.find("1 rename(s) are predicted to fail"), std::string::npos) << r.err;
}

// A closed output ends the output, not the run: the rename still gets to its log.
TEST_F(CliTest, AClosedOutputDoesNotCostTheRenameLog) {
    tmp.WriteFile("photos/2024_a.jpg", "in the way");
    CliResult r = Run({"photos/a.jpg", "photos/b.jpg", "--folder", "/", "--select-all", "--exec",
                       "PasteLeftListString(\"2024_\")", "--rename"},
                      true);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp.Exists("photos/2024_b.jpg"));
    EXPECT_NE(tmp.ReadFile("home/RenameLog.txt").find("2024_b.jpg"), std::string::npos);
}

// Why a rename did not do everything is said as it is.
TEST_F(CliTest, ARenameThatEndedEarlySaysWhy) {
    tmp.MakeDir("home/RenameLog.txt");
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {With({"--rename"}),
         "the rename log '" + tmp.home() + "/RenameLog.txt' could not be written"},
        {{"photos", "--folder", "/", "--mkdir", "--rename"},
         "nothing was renamed: the check before the rename refused the edit tree (see "
         "DataTrace.txt)"},
    };
    for (const auto& c : cases) {
        CliResult r = Run(c.args);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(LastLine(r.err), "dovreth-cli: " + c.reason);
    }
    EXPECT_TRUE(tmp.Exists("photos/2024_a.jpg"));  // the first run renamed
}

// Names holding a tab, a line break or a backslash keep --list and --tree unambiguous.
TEST_F(CliTest, ListAndTreeEscapeNamesThatWouldBreakTheirLines) {
    tmp.WriteFile("odd/tab\there", "t");
    tmp.WriteFile("odd/line\nbreak", "n");
    tmp.WriteFile("odd/back\\slash", "b");
    CliResult r = Run({"odd", "--folder", "odd", "--list", "--tree"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "back\\\\slash\tback\\\\slash\tback\\\\slash\n"
              "line\\nbreak\tline\\nbreak\tline\\nbreak\n"
              "tab\\there\ttab\\there\ttab\\there\n"
              "□Root\n┗━━□odd\n　　　　 ┣━━■back\\\\slash\n　　　　 ┣━━■line\\nbreak\n"
              "　　　　 ┗━━■tab\\there\n");
}

}  // namespace

namespace {

TEST_F(CliTest, CheckPrintsThePredictedFailuresAndChangesNothing) {
    tmp.WriteFile("clash/b.txt", "b");
    tmp.WriteFile("clash/c.txt", "c");
    CliResult r = Run({"clash", "--folder", "clash", "--exec", "FindItemAll(0,\"b.txt\")", "--exec",
                       "ReplaceListString(0,0,\"b\",\"c\")", "--check"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "taken\t" + tmp / "clash/b.txt" + "\t" + tmp / "clash/c.txt" + "\n");
    EXPECT_EQ(tmp.ReadFile("clash/b.txt"), "b");
    r = Run(With({"--check"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(PhotosUntouched());
}

TEST_F(CliTest, UndoTakesBackTheLastRenameAndAnUnfinishedOneIsNoticed) {
    CliResult r = Run(With({"--rename"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("dovreth-cli: 0 rename(s) predicted to fail\n"), std::string::npos);
    EXPECT_FALSE(PhotosUntouched());
    // As if the run had been killed before its end marker: the journal's last line cut off.
    std::string journal = tmp.ReadFile("home/RenameJournal.txt");
    ASSERT_EQ(journal.substr(journal.size() - 11, 2), "E\t");
    tmp.WriteFile("home/RenameJournal.txt", journal.substr(0, journal.size() - 11));
    r = Run({"--undo"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("the last rename did not finish; its journal holds 3 change(s)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("記録された変更[3]個を元に戻しますか？ -> yes"), std::string::npos)
        << r.err;
    EXPECT_TRUE(PhotosUntouched());
    EXPECT_EQ(tmp.ReadFile("photos/sub/c.txt"), "C");
}

// The program's own files failing: each failure ends the run with a reason naming the file,
// never a hang or a silent end.
TEST_F(CliTest, OwnFilesThatCannotBeWrittenAreNamed) {
    struct Case {
        const char* what;
        const char* folderAt;  // a folder in the place of this file of the program
        bool undo;             // --undo after the rename
        int status;
        const char* named;  // in standard error
    };
    const Case cases[] = {
        {"trace", "home/DataTrace.txt", false, 0, "DataTrace.txt"},
        {"journal", "home/RenameJournal.txt", false, 1, "RenameJournal.txt"},
        {"log of an undo", "home/RenameLog.txt", true, 1, "RenameLog.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        tmp.MakeDir(c.folderAt);
        CliResult r = Run(With({"--rename"}));
        if (c.undo) r = Run({"--undo"});
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        std::filesystem::remove_all(tmp / "home");
        std::filesystem::remove_all(tmp / "photos");
    }
}

// A disk that fills (here the file size limit) stops the rename before its next change; the
// next rename does not replace the journal, which undoes what was done.
TEST_F(CliTest, AFullDiskStopsTheRenameAndItsJournalStillUndoesIt) {
    // (Standard error is a file here too, so it is cut by the same limit: only the status is
    // looked at. Not killed by SIGXFSZ: the run ends with status 1.)
    CliResult r = Run(With({"--rename"}), false, 300);
    EXPECT_EQ(r.status, 1) << r.err;
    r = Run(With({"--rename"}));
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(LastLine(r.err).find("run --undo first"), std::string::npos) << r.err;
    r = Run({"--undo"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(PhotosUntouched());
    r = Run(With({"--discard-journal", "--rename"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(PhotosUntouched());
}

// Names from what the files hold: photos by their Exif date (a damaged one by its time,
// counted), songs by their tags; --info lists a file's fields.
TEST_F(CliTest, NamesFromPhotoDatesAndAudioTags) {
    tmp.WriteFile("shots/x.jpg", dovtest::MakeJpeg({"2024:05:01 10:30:00", "Cam", 0, 0}));
    tmp.WriteFile("shots/y.jpg", dovtest::MakeJpeg({"2024:05:02 07:00:00", "Cam", 0, 0}));
    tmp.WriteFile("shots/z.jpg", "\xFF\xD8\xFF damaged");
    struct timespec times[2] = {{1714000000, 0}, {1714000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (tmp / "shots/z.jpg").c_str(), times, 0), 0);
    tmp.WriteFile("songs/track.mp3", dovtest::MakeMp3({"Artist", "Album", "Title", 1, 2024}));
    setenv("TZ", "UTC", 1);
    CliResult r = Run({"shots", "--folder", "shots", "--select-all", "--paste-info",
                       "{exif.date:%Y-%m-%d_%H%M%S|mtime:%Y-%m-%d_%H%M%S}", "--rename"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("no information: 1 item(s)"), std::string::npos) << r.err;
    for (const char* name :
         {"2024-05-01_103000.jpg", "2024-05-02_070000.jpg", "2024-04-24_230640.jpg"})
        EXPECT_TRUE(tmp.Exists(std::string("shots/") + name)) << name;
    r = Run({"songs", "--folder", "songs", "--select-all", "--paste-info",
             "{tag.track:02} {tag.title}", "--rename"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(tmp.Exists("songs/01 Title.mp3"));
    r = Run({"--info", "songs/01 Title.mp3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("tag.title\tTitle\ntag.track\t1\n"), std::string::npos) << r.out;
    EXPECT_EQ(Run({"shots", "--paste-info", "{nonsense}"}).status, 2);
}

}  // namespace

namespace {

// The tools beyond the keyword matcher, each renaming on disk through dovreth-cli.
TEST_F(CliTest, RegexConversionsAndSortBeforeNumbering) {
    const struct {
        const char* file;
        const char* statement;
        const char* renamed;
    } cases[] = {
        {"IMG_20240131.jpg",
         "RegexReplaceListString(\"IMG_(\\d{4})(\\d{2})(\\d{2})\", "
         "\"$1-$2-$3\", 0)",
         "2024-01-31.jpg"},
        {"ｶﾞｰﾙ.txt", "KanaToFullWidthListString()", "ガール.txt"},
        {"ＡＢＣ.txt", "ToHalfWidthListString()", "ABC.txt"},
        {"か\u3099.txt", "NormalizeNfcListString()", "が.txt"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(dov::Utf8ToCp932(c.file) && dov::Utf8ToCp932(c.renamed)) << c.file;
        dovtest::TempDir dir;
        dir.WriteFile(std::string("d/") + c.file, "x");
        CliResult r =
            Run({dir / "d", "--folder", "d", "--select-all", "--exec", c.statement, "--rename"});
        EXPECT_EQ(r.status, 0) << c.statement << ": " << r.err;
        EXPECT_TRUE(dir.Exists(std::string("d/") + c.renamed)) << c.statement;
    }
    // A bad pattern changes nothing and says where it is wrong.
    CliResult bad = Run(With({"--exec", "RegexReplaceListString(\"(a\", \"b\", 1)", "--rename"}));
    EXPECT_TRUE(tmp.Exists("photos/2024_a.jpg")) << bad.err;
    EXPECT_NE(bad.err.find("3文字目"), std::string::npos) << bad.err;

    // Numbers follow the dates, not the names.
    const char* names[] = {"c.jpg", "a.jpg", "b.jpg"};
    for (int i = 0; i < 3; ++i) {
        tmp.WriteFile(std::string("dated/") + names[i], "x");
        const timespec t[2] = {{1000 + i, 0}, {1000 + i, 0}};
        utimensat(AT_FDCWD, (tmp / (std::string("dated/") + names[i])).c_str(), t, 0);
    }
    CliResult r = Run({"dated", "--folder", "dated", "--exec", "SortListByDate(1)", "--select-all",
                       "--exec", "SetSerialPos(0, \"POS_LEFT\", \"\", \"\")", "--exec",
                       "AddSerialListString()", "--list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "c.jpg\t0c.jpg\t0c.jpg\na.jpg\t1a.jpg\t1a.jpg\nb.jpg\t2b.jpg\t2b.jpg\n");
}

TEST_F(CliTest, NamesFromMakeARoundTripWithList) {
    const auto base = std::vector<std::string>{"photos", "--folder", "photos"};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> all = base;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    CliResult listed = Run(with({"--list"}));
    ASSERT_EQ(listed.out, "sub\tsub\tsub\na.jpg\ta.jpg\ta.jpg\nb.jpg\tb.jpg\tb.jpg\n");
    // The scripted edit: the second column, with only a.jpg changed.
    tmp.WriteFile("names.txt", "sub\nx.jpg\nb.jpg\n");
    CliResult r = Run(with({"--names-from", "names.txt", "--list", "--rename"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sub\tsub\tsub\na.jpg\tx.jpg\tx.jpg\nb.jpg\tb.jpg\tb.jpg\n");
    EXPECT_TRUE(tmp.Exists("photos/x.jpg"));
    EXPECT_TRUE(tmp.Exists("photos/b.jpg"));

    // A different number of lines, or a refused name, renames nothing.
    for (const char* text : {"sub\nq.jpg\n", "sub\nq/r\nb.jpg\n"}) {
        tmp.WriteFile("names.txt", text);
        CliResult refused = Run(with({"--names-from", "names.txt", "--rename"}));
        EXPECT_EQ(refused.status, 2) << text;
        EXPECT_TRUE(tmp.Exists("photos/x.jpg")) << text;
    }
}

}  // namespace
