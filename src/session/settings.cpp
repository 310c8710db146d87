#include "session/settings.h"

#include <algorithm>

#include "common/paths.h"
#include "common/profile.h"
#include "common/trace.h"

namespace dov {
namespace {

constexpr const char* kColorKeys[kColorCount] = {
    "MainBack",    "MainWork",        "TreeText",     "TreeBack",     "ListText",    "ListBack",
    "OrgFileName", "OrgFileNameBack", "EditName",     "EditNameBack", "MakeName",    "MakeNameBack",
    "TitleText",   "TitleBack",       "FileInfoText", "FileInfoBack", "ConflictText"};

constexpr const char* kProgramData = "ProgramData";
constexpr const char* kOptionData = "OptionData";
constexpr const char* kNameSizeLimit = "NameSizeLimit";
constexpr const char* kKeyWord = "KeyWord";
constexpr const char* kColorSetting = "ColorSetting";
constexpr const char* kSerialDialog = "SerialDialog";
constexpr const char* kRecent = "Recent File List";
constexpr const char* kInfoTemplate = "InfoTemplate";

void ReadInt(const CProfile& p, const char* sec, const char* key, int& v) {
    v = p.GetInt(sec, key, v);
}
void ReadStr(const CProfile& p, const char* sec, const char* key, std::string& v) {
    v = p.GetString(sec, key, v);
}

}  // namespace

const char* ColorKey(int id) {
    return (id >= 0 && id < kColorCount) ? kColorKeys[id] : "";
}

const std::array<ColorRef, kColorCount>& DefaultColors() {
    static const std::array<ColorRef, kColorCount> colors = [] {
        std::array<ColorRef, kColorCount> c{};
        c[kTreeText] = 0xFFFFFF;
        c[kTreeBack] = 0x000000;
        c[kListText] = 0xFFFFFF;
        c[kListBack] = 0x000000;
        c[kOrgFileName] = 0xFFFFFF;
        c[kOrgFileNameBack] = 0xFF8000;
        c[kEditName] = 0xFF0000;
        c[kEditNameBack] = 0x80FFFF;
        c[kMakeName] = 0x00FFFF;
        c[kMakeNameBack] = 0xFF8000;
        c[kTitleText] = 0xFFFFFF;
        c[kTitleBack] = 0x804000;
        c[kFileInfoText] = 0x808080;
        c[kFileInfoBack] = 0x000000;
        c[kMainBack] = 0x808080;
        c[kMainWork] = 0xFF8080;
        c[kConflictText] = 0x4040FF;  // red
        return c;
    }();
    return colors;
}

Settings DefaultSettings() {
    Settings s;
    s.loadFolder = ProgramFolder();
    s.writeFolder = ProgramFolder();
    return s;
}

std::string SettingsPath() {
    return ProgramFile("dovreth.ini");
}

void LoadSettings(const std::string& iniPath, Settings& s) {
    CProfile p;
    p.Load(iniPath);  // a missing file leaves every value at its default

    ReadStr(p, kProgramData, "LoadFolder", s.loadFolder);
    ReadStr(p, kProgramData, "WriteFolder", s.writeFolder);
    ReadInt(p, kOptionData, "AutoSerialNum", s.autoSerialNum);
    ReadInt(p, kOptionData, "EffectSubItem", s.keyWord.EffectSubItem);
    ReadInt(p, kOptionData, kAllowLinuxNamesKey, s.allowLinuxNames);
    ReadInt(p, kNameSizeLimit, "LimitSize", s.limitSize);
    ReadInt(p, kNameSizeLimit, "LimitMode", s.limitMode);
    ReadStr(p, kKeyWord, "Key1", s.keyWord.Key1);
    ReadStr(p, kKeyWord, "Key2", s.keyWord.Key2);
    ReadStr(p, kKeyWord, "Key3", s.keyWord.Key3);
    ReadInt(p, kKeyWord, "UseWildCard", s.keyWord.UseWildCard);
    ReadInt(p, kKeyWord, "EnableAllTarget", s.keyWord.EnableAllTarget);
    ReadInt(p, kKeyWord, "UseRegExp", s.keyWord.UseRegExp);
    for (int i = 0; i < kColorCount; ++i) {
        auto v = p.GetInt(kColorSetting, kColorKeys[i], static_cast<std::int32_t>(s.colors[i]));
        s.colors[i] = static_cast<ColorRef>(v) & 0x00FFFFFFu;
    }
    s.changedNameText =
        static_cast<ColorRef>(p.GetInt(kColorSetting, kChangedNameTextKey,
                                       static_cast<std::int32_t>(s.changedNameText))) &
        0x00FFFFFFu;

    SerialSettings& d = s.serial;
    ReadInt(p, kSerialDialog, "UseWildCard", d.UseWildCard);
    ReadInt(p, kSerialDialog, "InsertPosType", d.InsertPosType);
    ReadStr(p, kSerialDialog, "InsertPosKey1", d.InsertPosKey1);
    ReadStr(p, kSerialDialog, "InsertPosKey2", d.InsertPosKey2);
    ReadInt(p, kSerialDialog, "SeparateType", d.SeparateType);
    ReadStr(p, kSerialDialog, "SeparateStrL", d.SeparateStrL);
    ReadStr(p, kSerialDialog, "SeparateStrR", d.SeparateStrR);
    ReadInt(p, kSerialDialog, "DigitType", d.DigitType);
    ReadInt(p, kSerialDialog, "DigitSize", d.DigitSize);
    ReadInt(p, kSerialDialog, "UpDownType", d.UpDownType);
    ReadInt(p, kSerialDialog, "PresetType", d.PresetType);
    ReadInt(p, kSerialDialog, "PresetData", d.PresetData);
    ReadInt(p, kSerialDialog, "DeltaType", d.DeltaType);
    ReadInt(p, kSerialDialog, "DeltaSize", d.DeltaSize);
    d.UseWildCard = d.UseWildCard ? 1 : 0;  // kept in one byte as a flag

    std::vector<std::string> recent;
    for (int i = 1; i <= kMaxRecentFiles; ++i) {
        std::string f = p.GetString(kRecent, "File" + std::to_string(i));
        if (!f.empty()) recent.push_back(f);
    }
    if (!recent.empty()) s.recentFiles = recent;

    std::vector<std::string> templates;
    for (int i = 1; i <= kMaxInfoTemplates; ++i) {
        std::string t = p.GetString(kInfoTemplate, "Template" + std::to_string(i));
        if (!t.empty()) templates.push_back(t);
    }
    if (!templates.empty()) s.infoTemplates = templates;
}

int SaveSettings(const std::string& iniPath, const Settings& s) {
    CProfile p;
    p.Load(iniPath);  // keep whatever else the file holds

    const std::string trace = DefaultTracePath();
    auto str = [&](const char* sec, const char* key, const std::string& v) {
        if (!p.SetString(sec, key, v))
            TraceF(trace, "※　設定値に改行が含まれるので保存しません [%s] %s\n", sec, key);
    };
    str(kProgramData, "LoadFolder", s.loadFolder);
    str(kProgramData, "WriteFolder", s.writeFolder);
    p.SetInt(kOptionData, "AutoSerialNum", s.autoSerialNum);
    p.SetInt(kOptionData, "EffectSubItem", s.keyWord.EffectSubItem);
    if (s.allowLinuxNames != 0 || p.HasKey(kOptionData, kAllowLinuxNamesKey))
        p.SetInt(kOptionData, kAllowLinuxNamesKey, s.allowLinuxNames);
    p.SetInt(kNameSizeLimit, "LimitSize", s.limitSize);
    p.SetInt(kNameSizeLimit, "LimitMode", s.limitMode);
    str(kKeyWord, "Key1", s.keyWord.Key1);
    str(kKeyWord, "Key2", s.keyWord.Key2);
    str(kKeyWord, "Key3", s.keyWord.Key3);
    p.SetInt(kKeyWord, "UseWildCard", s.keyWord.UseWildCard);
    p.SetInt(kKeyWord, "EnableAllTarget", s.keyWord.EnableAllTarget);
    // Written once it has been used, so a file from before the mode existed stays as it was.
    if (s.keyWord.UseRegExp || p.HasKey(kKeyWord, "UseRegExp"))
        p.SetInt(kKeyWord, "UseRegExp", s.keyWord.UseRegExp);
    for (int i = 0; i < kColorCount; ++i)
        p.SetInt(kColorSetting, kColorKeys[i], static_cast<std::int32_t>(s.colors[i]));
    if (s.changedNameText != kDefaultChangedNameText ||
        p.HasKey(kColorSetting, kChangedNameTextKey))
        p.SetInt(kColorSetting, kChangedNameTextKey, static_cast<std::int32_t>(s.changedNameText));

    const SerialSettings& d = s.serial;
    p.SetInt(kSerialDialog, "UseWildCard", d.UseWildCard);
    p.SetInt(kSerialDialog, "InsertPosType", d.InsertPosType);
    str(kSerialDialog, "InsertPosKey1", d.InsertPosKey1);
    str(kSerialDialog, "InsertPosKey2", d.InsertPosKey2);
    p.SetInt(kSerialDialog, "SeparateType", d.SeparateType);
    str(kSerialDialog, "SeparateStrL", d.SeparateStrL);
    str(kSerialDialog, "SeparateStrR", d.SeparateStrR);
    p.SetInt(kSerialDialog, "DigitType", d.DigitType);
    p.SetInt(kSerialDialog, "DigitSize", d.DigitSize);
    p.SetInt(kSerialDialog, "UpDownType", d.UpDownType);
    p.SetInt(kSerialDialog, "PresetType", d.PresetType);
    p.SetInt(kSerialDialog, "PresetData", d.PresetData);
    p.SetInt(kSerialDialog, "DeltaType", d.DeltaType);
    p.SetInt(kSerialDialog, "DeltaSize", d.DeltaSize);

    for (int i = 0; i < kMaxRecentFiles; ++i) {
        std::string v = i < static_cast<int>(s.recentFiles.size()) ? s.recentFiles[i] : "";
        str(kRecent, ("File" + std::to_string(i + 1)).c_str(), v);
    }
    if (!s.infoTemplates.empty() || p.HasKey(kInfoTemplate, "Template1")) {
        for (int i = 0; i < kMaxInfoTemplates; ++i) {
            std::string v = i < static_cast<int>(s.infoTemplates.size()) ? s.infoTemplates[i] : "";
            str(kInfoTemplate, ("Template" + std::to_string(i + 1)).c_str(), v);
        }
    }
    return p.Save(iniPath);
}

void AddRecentFile(Settings& s, const std::string& path) {
    if (path.empty()) return;
    auto& r = s.recentFiles;
    r.erase(std::remove(r.begin(), r.end(), path), r.end());
    r.insert(r.begin(), path);
    if (static_cast<int>(r.size()) > kMaxRecentFiles) r.resize(kMaxRecentFiles);
}

}  // namespace dov
