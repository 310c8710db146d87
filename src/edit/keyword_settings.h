// What the keyword dialog holds between commands, and the into-folders option the edit
// operations read. Plain data: the settings file and the macro runner fill it.
#pragma once

#include <string>

#include "model/host.h"

namespace dov {

struct KeyWordSettings {
    std::string Key1;         // KeyWord/Key1: the keyword, or the text added at head or tail
    std::string Key2;         // KeyWord/Key2: second keyword, text to insert, or replacement
    std::string Key3;         // KeyWord/Key3: kept and shown, used by no command
    int UseWildCard = 0;      // KeyWord/UseWildCard: search with CMyRegExp
    int EnableAllTarget = 0;  // KeyWord/EnableAllTarget: every hit instead of the first
    int EffectSubItem = 0;    // OptionData/EffectSubItem: folders pass the edit to all inside
    int UseRegExp = 0;        // KeyWord/UseRegExp: replace and search by regular expression
                              // (PCRE2); takes the place of the wildcard mode where offered
};

// The keyword dialog's check on OK: with one field the first must not be empty, with two or
// three fields the first two must not both be empty. When the input is refused and a host is
// given, it shows "キーワードサイズが無効です" (the dialog then stays open).
bool CheckKeyWordInput(int iFieldNum, const std::string& key1, const std::string& key2,
                       IHost* pHost = nullptr);

}  // namespace dov
