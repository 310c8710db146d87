#include "common/pathtext.h"

#include <gtest/gtest.h>

#include <string>

namespace dov {
namespace {

using namespace std::string_literals;

TEST(PathText, Absolute) {
    const struct {
        std::string path;
        bool want;
    } rows[] = {
        {"", false}, {"/", true}, {"/a", true}, {"a/b", false}, {"./a", false}, {"\0/"s, false},
    };
    for (const auto& r : rows) EXPECT_EQ(IsAbsolutePath(r.path), r.want) << r.path;
}

TEST(PathText, Clean) {
    // path, clean when "/" counts, clean when it does not
    const struct {
        std::string path;
        bool rootClean, rootNot;
    } rows[] = {
        {"/", true, false},       {"", false, false},           {"a", false, false},
        {"/a", true, true},       {"/a/b\x81\x5c", true, true}, {"/a/", false, false},
        {"//a", false, false},    {"/a//b", false, false},      {"/.", false, false},
        {"/a/..", false, false},  {"/a/./b", false, false},     {"/..a/.b", true, true},
        {"/a\0b"s, false, false}, {"/\0"s, false, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IsCleanPath(r.path), r.rootClean) << r.path;
        EXPECT_EQ(IsCleanPath(r.path, RootPath::NotClean), r.rootNot) << r.path;
    }
}

TEST(PathText, UnderAndNameIn) {
    // path, folder, under, one name in
    const struct {
        const char *path, *folder;
        bool under, nameIn;
    } rows[] = {
        {"/a/b", "/a", true, true},   {"/a/b/c", "/a", true, false}, {"/ab", "/a", false, false},
        {"/a", "/a", false, false},   {"/a/", "/a", true, false},    {"/a", "/", true, true},
        {"/a/b", "/", true, false},   {"/", "/", true, false},       {"", "/", false, false},
        {"/b/a", "/a", false, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IsUnderPath(r.path, r.folder), r.under) << r.path << " in " << r.folder;
        EXPECT_EQ(IsNameIn(r.path, r.folder), r.nameIn) << r.path << " in " << r.folder;
    }
}

TEST(PathText, SeparatorsCountedUpToTheLimit) {
    // A double-byte character (here 0x95 0x5C, 0x83 0x41) never holds a '/' byte.
    const struct {
        const char* path;
        int most, count;
    } rows[] = {
        {"", 10, 0},
        {"/", 10, 1},
        {"/a/b/c", 10, 3},
        {"/a/b/c", 2, 2},
        {"a", 10, 0},
        {"//", 10, 2},
        {"/\x95\x5C/\x83\x41", 10, 2},
        {"/a/b/c/", 0, 0},
    };
    for (const auto& r : rows)
        EXPECT_EQ(CountSeparators(r.path, r.most), r.count) << r.path << " up to " << r.most;
}

TEST(PathText, ParentJoinSplit) {
    // path, ParentPath, ParentFolder, BaseName, split folder (empty: SplitPath refuses)
    const struct {
        const char *path, *parent, *folder, *base, *split;
    } rows[] = {
        {"/a/b", "/a", "/a", "b", "/a"},
        {"/a", "", "/", "a", "/"},
        {"/", "", "", "", ""},
        {"/a/", "/a", "/a", "", ""},
        {"a", "", "", "a", ""},
        {"/\x81\x40/\x95\x5c", "/\x81\x40", "/\x81\x40", "\x95\x5c", "/\x81\x40"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ParentPath(r.path), r.parent) << r.path;
        EXPECT_EQ(ParentFolder(r.path), r.folder) << r.path;
        EXPECT_EQ(BaseName(r.path), r.base) << r.path;
        std::string folder = "x", name = "x";
        const bool split = SplitPath(r.path, folder, name);
        EXPECT_EQ(split, *r.split != '\0') << r.path;
        if (split) {
            EXPECT_EQ(JoinPath(folder, name), r.path);
            EXPECT_EQ(folder, r.split);
        }
    }
    EXPECT_EQ(JoinPath("/", "a"), "/a");
    EXPECT_EQ(JoinPath("/x", "a"), "/x/a");
    EXPECT_EQ(JoinPath("/x/", "a"), "/x/a");
    EXPECT_EQ(JoinPath("", "a"), "/a");
}

}  // namespace
}  // namespace dov
