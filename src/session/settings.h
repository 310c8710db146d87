// The user's settings: every value the settings file dovreth.ini keeps, as plain data.
//
// The record is read once at start and written once at the end. Reading takes the values
// already in the record as the defaults for missing keys, so a record made with its default
// values and then read from a missing file holds exactly the defaults.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "edit/keyword_settings.h"
#include "edit/serial_settings.h"

namespace dov {

// A colour as 0x00BBGGRR.
using ColorRef = std::uint32_t;

constexpr ColorRef MakeRgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFFu) | ((g & 0xFFu) << 8) | ((b & 0xFFu) << 16);
}
constexpr unsigned RedOf(ColorRef c) {
    return c & 0xFFu;
}
constexpr unsigned GreenOf(ColorRef c) {
    return (c >> 8) & 0xFFu;
}
constexpr unsigned BlueOf(ColorRef c) {
    return (c >> 16) & 0xFFu;
}

// The colours, in the order the settings file lists them (the last one: rows whose rename is
// predicted to fail).
enum ColorId : int {
    kMainBack,
    kMainWork,
    kTreeText,
    kTreeBack,
    kListText,
    kListBack,
    kOrgFileName,
    kOrgFileNameBack,
    kEditName,
    kEditNameBack,
    kMakeName,
    kMakeNameBack,
    kTitleText,
    kTitleBack,
    kFileInfoText,
    kFileInfoBack,
    kConflictText,
    kColorCount
};

// The key of a colour in the section "ColorSetting".
const char* ColorKey(int id);
// The colours used when the file has none.
const std::array<ColorRef, kColorCount>& DefaultColors();

// The text colour of list rows whose write name differs from the name on disk, so that the
// list previews what a rename changes. It lives beside the sixteen colours, under its own
// key in "ColorSetting", which is written only once it differs from this default or the file
// has it already: a file of a user who never sets it stays byte for byte as it was.
inline constexpr ColorRef kDefaultChangedNameText = MakeRgb(255, 200, 0);
inline constexpr const char* kChangedNameTextKey = "ChangedNameText";
inline constexpr const char* kAllowLinuxNamesKey = "AllowLinuxNames";

// All texts are CP932.
struct Settings {
    // ProgramData
    std::string loadFolder;   // default: the program's own folder
    std::string writeFolder;  // default: the program's own folder
    // OptionData
    int autoSerialNum = 0;  // "編集ファイル名の先頭に自動でIndex値を付ける"
    // Changed names may hold everything a Linux disk allows (all but '/' and NUL). Its key
    // (kAllowLinuxNamesKey) is written only once it is set or the file has it already.
    int allowLinuxNames = 0;
    // OptionData EffectSubItem lives in keyWord.EffectSubItem, where the edit operations read
    // it.
    // NameSizeLimit: 31 bytes is the ISO Level2 preset, so the mode names that preset.
    int limitSize = 31;
    int limitMode = 2;
    KeyWordSettings keyWord;
    std::array<ColorRef, kColorCount> colors = DefaultColors();
    ColorRef changedNameText = kDefaultChangedNameText;
    SerialSettings serial;  // section "SerialDialog"
    // "Recent File List" File1..File4, newest first.
    std::vector<std::string> recentFiles;
    // "InfoTemplate" Template1..Template8: the last templates of 情報を貼り付け, newest first.
    // Written only once there is one, so a file of a user who never used it stays as it was.
    std::vector<std::string> infoTemplates;
};
constexpr int kMaxInfoTemplates = 8;

constexpr int kMaxRecentFiles = 4;

// A record with the defaults, the two folders set to the program's own folder.
Settings DefaultSettings();

// Reads every key; the values in s are the defaults for the keys the file lacks. A missing or
// unreadable file is no failure. iniPath is CP932.
void LoadSettings(const std::string& iniPath, Settings& s);

// Writes every key in the file's order (other sections and keys already in the file are
// kept); 0 or errno.
int SaveSettings(const std::string& iniPath, const Settings& s);

// The settings file: dovreth.ini in the program's own folder.
std::string SettingsPath();

// Puts a path at the top of the recent-file list (no duplicates, at most four).
void AddRecentFile(Settings& s, const std::string& path);

}  // namespace dov
