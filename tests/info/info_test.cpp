// File information: the readers over sample files the libraries wrote, the template language,
// and the paste and the sort over loaded items.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>

#include "edit/info_sort.h"
#include "edit/name_edit.h"
#include "info/file_info.h"
#include "info/info_cache.h"
#include "info/info_template.h"
#include "model/item.h"
#include "session/settings.h"
#include "support/info_samples.h"
#include "support/session_support.h"

using namespace dov;
using dovtest::Sj;

namespace {

// Local time is UTC in these tests, so modification times print the same everywhere.
class InfoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

const dovtest::AudioSample kSong{"Artist", "Album", "Title", 1, 2024};

void SetMtime(const std::string& native, time_t t) {
    struct utimbuf u {
        t, t
    };
    ASSERT_EQ(utime(native.c_str(), &u), 0);
}

std::string Fields(const FileInfo& fi) {
    std::string s;
    for (const auto& [n, v] : fi.fields) s += n + "=" + v + ";";
    return s;
}

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

using InfoTemplateTest = InfoTest;
using InfoReadTest = InfoTest;
using InfoPasteTest = InfoTest;

TEST_F(InfoTemplateTest, ParsesOrExplains) {
    struct Case {
        const char* text;
        bool ok;
        unsigned kinds;
    } cases[] = {
        {"plain", true, 0},
        {"{mtime:%Y}{parent}", true, 0},
        {"{exif.date|mtime:%Y%m%d}", true, kInfoExif},
        {"{tag.track:02} {tag.title}", true, kInfoTags},
        {"{exif.model}-{tag.album}", true, kInfoExif | kInfoTags},
        {"{{x}", true, 0},
        {"", false, 0},
        {"{mtime", false, 0},
        {"{}", false, 0},
        {"{size}", false, 0},
        {"{exif.date|}", false, 0},
        {"{tag.title:5}", false, 0},
        {"{tag.track:ab}", false, 0},
        {"{mtime:}", false, 0},
    };
    for (const Case& c : cases) {
        std::string error;
        auto t = InfoTemplate::Parse(c.text, &error);
        EXPECT_EQ(t.has_value(), c.ok) << c.text;
        EXPECT_EQ(error.empty(), c.ok) << c.text;
        if (t) {
            EXPECT_EQ(t->Kinds(), c.kinds) << c.text;
        }
    }
}

TEST_F(InfoTemplateTest, ExpandsFieldsFallbacksAndSafeCharacters) {
    FileInfo fi;
    fi.Set("exif.date", "2024:05:01 10:30:00");
    fi.Set("exif.model", "Cam/X:1");
    fi.Set("exif.width", "640");
    fi.Set("tag.track", "7");
    fi.Set("tag.title", Sj("夏の歌"));
    InfoSource src{&fi, true, 1700000000, "Trip"};  // 2023-11-14 22:13:20 UTC
    InfoSource bare{nullptr, true, 1700000000, ""};
    struct Case {
        const InfoSource* src;
        std::string tmpl;
        std::string text;
        bool complete;
    } cases[] = {
        {&src, "{exif.date:%Y-%m-%d_%H%M%S}", "2024-05-01_103000", true},
        {&src, "{exif.date}", "20240501_103000", true},
        {&src, "{mtime:%Y%m%d}", "20231114", true},
        {&src, "{tag.track:02} {tag.title}", "07 " + Sj("夏の歌"), true},
        {&src, "{exif.width:05}x{exif.height}", "00640x", false},
        {&src, "{exif.model}", Sj("Cam／X：1"), true},
        {&src, "{parent}_{{", "Trip_{", true},
        {&src, "{tag.album|parent}", "Trip", false},
        {&bare, "{exif.date|mtime:%Y%m%d}", "20231114", false},
        {&bare, "a{tag.artist}b", "ab", false},
        {&bare, "{mtime:%H:%M}", Sj("22：13"), true},
        {&bare, Sj("写真}"), Sj("写真}"), true},
    };
    for (const Case& c : cases) {
        auto t = InfoTemplate::Parse(c.tmpl, nullptr);
        ASSERT_TRUE(t) << c.tmpl;
        auto e = t->Expand(*c.src);
        EXPECT_EQ(e.text, c.text) << c.tmpl;
        EXPECT_EQ(e.complete, c.complete) << c.tmpl;
    }
}

TEST_F(InfoReadTest, SamplesGiveTheirFields) {
    dovtest::TempDir tmp;
    tmp.WriteFile("a.jpg", dovtest::MakeJpeg({"2024:05:01 10:30:00", "Camera X", 4000, 3000}));
    tmp.WriteFile("b.jpg", dovtest::MakeJpeg({"0000:00:00 00:00:00", "", 0, 0}));
    tmp.WriteFile("a.mp3", dovtest::MakeMp3(kSong));
    tmp.WriteFile("a.flac", dovtest::MakeFlac({"歌手", "", "夏の歌", 12, 0}));
    struct Case {
        const char* file;
        unsigned kinds;
        std::string fields;
    } cases[] = {
        {"a.jpg", kInfoExif,
         "exif.date=2024:05:01 10:30:00;exif.model=Camera X;exif.width=4000;exif.height=3000;"},
        // A clock never set is no date; the size comes from the picture itself.
        {"b.jpg", kInfoExif, "exif.width=1;exif.height=1;"},
        {"a.jpg", kInfoTags, ""},
        {"a.mp3", kInfoTags | kInfoExif,
         "tag.artist=Artist;tag.album=Album;tag.title=Title;tag.track=1;tag.year=2024;"},
        {"a.flac", kInfoTags,
         "tag.artist=" + Sj("歌手") + ";tag.title=" + Sj("夏の歌") + ";tag.track=12;"},
    };
    for (const Case& c : cases) {
        FileInfo fi;
        ReadFileInfo(dovtest::Cp(tmp / c.file), c.kinds, fi);
        EXPECT_EQ(Fields(fi), c.fields) << c.file;
        EXPECT_EQ(fi.kindsRead, c.kinds) << c.file;
    }
}

TEST_F(InfoReadTest, DamagedMissingOrHugeFilesGiveNoInformation) {
    dovtest::TempDir tmp;
    const std::string jpeg = dovtest::MakeJpeg({"2024:05:01 10:30:00", "Camera X", 0, 0});
    tmp.WriteFile("cut.jpg", jpeg.substr(0, 40));
    tmp.WriteFile("junk.jpg", std::string("\xFF\xD8\xFF\xE1\xFF\xFF", 6) + std::string(300, 'x'));
    tmp.WriteFile("empty.mp3", "");
    // An ASF (video) header: Exiv2's video readers are never used.
    tmp.WriteFile("clip.wmv", std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA"
                                          "\x00\x62\xCE\x6C",
                                          16) +
                                  std::string(64, '\xFF'));
    tmp.WriteFile("big.jpg", jpeg + std::string(4096, '\0'));
    tmp.MakeDir("folder.jpg");
    ReadLimits small;
    small.maxBytes = 4096;
    small.jpegHead = 1024;
    struct Case {
        const char* file;
        InfoRead exif, tags;
    } cases[] = {
        {"cut.jpg", InfoRead::Damaged, InfoRead::Damaged},
        {"junk.jpg", InfoRead::Damaged, InfoRead::Damaged},
        {"empty.mp3", InfoRead::Damaged, InfoRead::Damaged},
        {"clip.wmv", InfoRead::Damaged, InfoRead::Damaged},
        {"big.jpg", InfoRead::TooBig, InfoRead::TooBig},
        {"folder.jpg", InfoRead::NoFile, InfoRead::NoFile},
        {"missing.jpg", InfoRead::NoFile, InfoRead::NoFile},
    };
    for (const Case& c : cases) {
        FileInfo fi;
        ReadFileInfo(dovtest::Cp(tmp / c.file), kInfoExif | kInfoTags, fi, small);
        EXPECT_EQ(fi.exif, c.exif) << c.file;
        EXPECT_EQ(fi.tags, c.tags) << c.file;
        EXPECT_EQ(Fields(fi), "") << c.file;
    }
    // Only the head of a big JPEG is read when Exif alone is wanted.
    FileInfo head;
    small.maxBytes = 1u << 20;
    ReadFileInfo(dovtest::Cp(tmp / "big.jpg"), kInfoExif, head, small);
    EXPECT_NE(head.Find("exif.date"), nullptr);
}

TEST_F(InfoReadTest, EveryCutOfTheSamplesIsSafe) {
    for (const std::string& whole :
         {dovtest::MakeJpeg({"2024:05:01 10:30:00", "Camera X", 4000, 3000}),
          dovtest::MakeMp3(kSong), dovtest::MakeFlac(kSong)}) {
        for (std::size_t n = 0; n <= whole.size(); ++n) {
            FileInfo fi;
            ParseExif(Bytes(whole), n, fi);
            ParseTags(Bytes(whole), n, fi);
        }
    }
}

// A folder of photos (two with Exif dates, one without) and one of songs, loaded.
struct Loaded : dovtest::SessionRun {
    Loaded() {
        tmp.WriteFile("p/b.jpg", dovtest::MakeJpeg({"2024:05:01 10:30:00", "", 0, 0}));
        tmp.WriteFile("p/a.jpg", dovtest::MakeJpeg({"2024:05:02 08:00:00", "", 0, 0}));
        tmp.WriteFile("p/c.jpg", std::string("\xFF\xD8\xFF", 3) + "damaged");
        tmp.WriteFile("s/x.mp3", dovtest::MakeMp3(kSong));
        SetMtime(tmp / "p/c.jpg", 1714000000);  // 2024-04-24 23:06:40
        Load({"p", "s"});
    }
    std::string Names(const char* folder) {
        std::string out;
        for (CMyItem* it : FolderRows(Item(folder))) out += it->m_strNewName + " ";
        return out;
    }
    KeyWordSettings keys;
    CMyRegExp re;
    InfoCache cache;
};

TEST_F(InfoPasteTest, PastesLeftRightWholeAndCountsNoInformation) {
    struct Case {
        const char* folder;
        const char* tmpl;
        InfoPlace where;
        const char* names;
        int noInfo;
    } cases[] = {
        {"p", "{exif.date:%Y-%m-%d_%H%M%S|mtime:%Y-%m-%d_%H%M%S}", InfoPlace::Whole,
         "2024-05-02_080000.jpg 2024-05-01_103000.jpg 2024-04-24_230640.jpg ", 1},
        {"p", "{exif.date:%m%d}_", InfoPlace::Left, "0502_a.jpg 0501_b.jpg _c.jpg ", 1},
        {"p", "_{parent}", InfoPlace::Right, "a_p.jpg b_p.jpg c_p.jpg ", 0},
        {"s", "{tag.track:02} {tag.title}", InfoPlace::Whole, "01 Title.mp3 ", 0},
    };
    for (const Case& c : cases) {
        Loaded run;
        CNameEdit edit(run.re, run.host, run.keys);
        auto t = InfoTemplate::Parse(c.tmpl, nullptr);
        ASSERT_TRUE(t);
        EditRunResult r = edit.RunInfoPaste(*t, c.where, run.cache, FolderRows(run.Item(c.folder)));
        EXPECT_EQ(run.Names(c.folder), c.names) << c.tmpl;
        EXPECT_EQ(r.iNoInfo, c.noInfo) << c.tmpl;
        EXPECT_FALSE(r.bStopped);
    }
}

TEST_F(InfoPasteTest, MacroFunctionsPasteAndABadTemplateIsExplained) {
    Loaded run;
    run.s->ShowFolder(run.Item("s"));
    run.s->SelectAll();
    run.s->RunStatement("PasteRightListInfo(\"_{tag.year}\")");
    run.s->RunStatement("PasteLeftListInfo(\"{tag.artist} \")");
    EXPECT_EQ(run.Names("s"), "Artist x_2024.mp3 ");
    run.s->RunStatement("PasteWholeListInfo(\"{tag.track:02} {tag.title}\")");
    EXPECT_EQ(run.Names("s"), "01 Title.mp3 ");
    run.s->RunStatement("PasteWholeListInfo(\"{tag.nothing}\")");
    EXPECT_EQ(run.LastMessage(), Sj("テンプレートに知らない項目があります：tag.nothing"));
}

TEST_F(InfoPasteTest, ReadsEachFileOnceUntilItChanges) {
    Loaded run;
    CNameEdit edit(run.re, run.host, run.keys);
    auto t = InfoTemplate::Parse("{exif.date}", nullptr);
    const auto rows = FolderRows(run.Item("p"));
    edit.RunInfoPaste(*t, InfoPlace::Left, run.cache, rows);
    edit.RunInfoPaste(*t, InfoPlace::Left, run.cache, rows);
    EXPECT_EQ(run.cache.Reads(), 3);
    rows[0]->m_status.m_mtime += 1;  // reloaded after an edit on disk
    edit.RunInfoPaste(*t, InfoPlace::Left, run.cache, rows);
    EXPECT_EQ(run.cache.Reads(), 4);
    // A template without file fields reads nothing; STOP ends the run before any row.
    InfoCache fresh;
    edit.RunInfoPaste(*InfoTemplate::Parse("{mtime}", nullptr), InfoPlace::Left, fresh, rows);
    run.host.stop = true;
    EditRunResult r = edit.RunInfoPaste(*t, InfoPlace::Left, fresh, rows);
    EXPECT_TRUE(r.bStopped);
    EXPECT_EQ(fresh.Reads(), 0);
}

TEST_F(InfoPasteTest, SortsByDateTakenThenModificationTime) {
    Loaded run;
    ASSERT_TRUE(SortByDateTaken(run.Item("p"), run.cache, run.host));
    EXPECT_EQ(run.Names("p"), "c.jpg b.jpg a.jpg ");
    ASSERT_TRUE(SortByDateTaken(run.Item("p"), run.cache, run.host, true));
    EXPECT_EQ(run.Names("p"), "a.jpg b.jpg c.jpg ");
    EXPECT_EQ(run.Item("p/a.jpg")->m_iKindIndex, 0);
    run.host.stop = true;
    EXPECT_FALSE(SortByDateTaken(run.Item("p"), run.cache, run.host));
}

}  // namespace

namespace {

TEST(InfoSettingsTest, LastTemplatesRoundTripAndStayOutUntilUsed) {
    dovtest::TempDir tmp;
    const std::string ini = dovtest::Cp(tmp / "dovreth.ini");
    Settings s = DefaultSettings();
    ASSERT_EQ(SaveSettings(ini, s), 0);
    EXPECT_EQ(tmp.ReadFile("dovreth.ini").find("InfoTemplate"), std::string::npos);
    s.infoTemplates = {"{exif.date}", Sj("{tag.title}　曲")};
    ASSERT_EQ(SaveSettings(ini, s), 0);
    Settings back = DefaultSettings();
    LoadSettings(ini, back);
    EXPECT_EQ(back.infoTemplates, s.infoTemplates);
}

}  // namespace
