// The serial numbering settings (what the serial settings dialog edits, section SerialDialog of
// dovreth.ini) and the table of their value names that macros use.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dov {

// Insert position (InsertPosType).
inline constexpr int POS_LEFT = 0;       // head of the name
inline constexpr int POS_RIGHT = 1;      // end of the name (after any extension)
inline constexpr int POS_PREEXT = 2;     // before the extension
inline constexpr int POS_KEYLEFT = 3;    // before keyword 1
inline constexpr int POS_KEYRIGHT = 4;   // after keyword 1
inline constexpr int POS_KEYBOUND = 5;   // in place of the text between keyword 1 and 2
inline constexpr int POS_KEYBOUND2 = 6;  // in place of keyword 1, keyword 2 and the text between
// Separators (SeparateType).
inline constexpr int SEP_NONE = 0;
inline constexpr int SEP_LEFT = 1;
inline constexpr int SEP_RIGHT = 2;
inline constexpr int SEP_BOTH = 3;
// Digit count (DigitType).
inline constexpr int DIGIT_AUTO = 0;
inline constexpr int DIGIT_MANUAL = 1;
// Direction (UpDownType).
inline constexpr int UPDOWN_UP = 0;
inline constexpr int UPDOWN_DOWN = 1;
// Start value (PresetType).
inline constexpr int PRE_ZERO = 0;
inline constexpr int PRE_INDEX = 1;
inline constexpr int PRE_MANUAL = 2;
// Step (DeltaType).
inline constexpr int DELTA_ONE = 0;
inline constexpr int DELTA_MANUAL = 1;

struct SerialSettings {
    int InsertPosType = POS_LEFT;
    std::string InsertPosKey1;
    std::string InsertPosKey2;
    int UseWildCard = 0;  // 0/1
    int SeparateType = SEP_NONE;
    std::string SeparateStrL = "_";
    std::string SeparateStrR = "_";
    int UpDownType = UPDOWN_UP;
    int DeltaType = DELTA_ONE;
    int DeltaSize = 1;
    int PresetType = PRE_ZERO;
    int PresetData = 0;
    int DigitType = DIGIT_AUTO;
    int DigitSize = 3;
};

// One record of the name table: the name, then the value as decimal text, each in 50 bytes
// with its terminating NUL.
struct SerialNameRecord {
    char szName[50];
    char szValue[50];
};
inline constexpr int kSerialNameNum = 20;

// POS_LEFT .. DELTA_MANUAL in their fixed order.
const std::array<SerialNameRecord, kSerialNameNum>& SerialNameTable();

// The value of a name from the table (exact, case-sensitive); false when it is none of them.
bool FindSerialName(std::string_view name, int* pValue);

// What the serial settings dialog does on opening: values out of range are put back to
// usable ones (InsertPosType 0, SeparateType 2, UpDownType 0, DeltaType 0, DeltaSize 1,
// PresetType 0, PresetData 0, DigitType 1, DigitSize 3).
void ResetSerialSettingsRange(SerialSettings& s);

// Before the start-value-only dialog of commands 2045 (bUp) and 2046: the direction is set and
// the start value becomes the given one (PRE_MANUAL). These changes stay in the settings.
void PrepareSerialSimple(SerialSettings& s, bool bUp);

// Which controls of the serial settings dialog are enabled for the current choices.
struct SerialDialogEnables {
    bool key1 = false, key2 = false, wildCard = false;
    bool sepLeft = false, sepRight = false;
    bool delta = false, preset = false, digit = false;
};
SerialDialogEnables GetSerialDialogEnables(const SerialSettings& s);

// The dialog's reading of a number field: optional blanks and sign, then the leading decimal
// digits; 0 when there are none. Values beyond the int range are clamped.
int ParseLeadingInt(std::string_view text);

}  // namespace dov
