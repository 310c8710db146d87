#include "edit/operations.h"

#include <vector>

#include "common/trace.h"
#include "edit/info_sort.h"
#include "edit/name_edit.h"
#include "edit/name_limit.h"
#include "edit/serial.h"
#include "edit/textconv.h"
#include "model/item.h"

namespace dov {

namespace {

// ---- Run functions --------------------------------------------------------------------------

CNameEdit Editor(OpContext& c) {
    return CNameEdit(c.target.matcher, c.host, c.target.keyWord, c.tracePath);
}

OpResult FromEdit(const EditRunResult& r) {
    return {r.iChanged, r.bStopped};
}

template <int kEditOp>
OpResult EditOp(OpContext& c) {
    return FromEdit(Editor(c).RunEditCommand(kEditOp, c.target.SelectedItems()));
}

OpResult CutExtension(OpContext& c) {
    return FromEdit(Editor(c).CutExtensionCommand(c.target.SelectedItems()));
}

OpResult RestoreExtension(OpContext& c) {
    return FromEdit(Editor(c).RestoreExtensionCommand(c.target.SelectedItems()));
}

// Selects the rows whose new name holds keyword 1 (the others lose their selection).
OpResult Find(OpContext& c) {
    EditTarget& t = c.target;
    const int n = t.RowCount();
    std::vector<CMyItem*> rows;
    std::vector<bool> sel(static_cast<std::size_t>(n), false);
    rows.reserve(static_cast<std::size_t>(n));
    for (int row = 0; row < n; ++row) {
        rows.push_back(t.RowItem(row));
        sel[static_cast<std::size_t>(row)] = t.IsSelected(row);
    }
    const int found =
        Editor(c).SelectItemsByKey(rows, sel, t.keyWord.Key1, t.keyWord.UseWildCard != 0);
    t.selected.assign(static_cast<std::size_t>(n), 0);
    for (int row = 0; row < n; ++row) t.selected[static_cast<std::size_t>(row)] = sel[row];
    return {found};
}

OpResult SelectAll(OpContext& c) {
    c.target.selected.assign(static_cast<std::size_t>(c.target.RowCount()), 1);
    return {c.target.RowCount()};
}

// The macro's select-all: every row that changes is redrawn, the first row becomes current.
OpResult SelectAllRedrawn(OpContext& c) {
    EditTarget& t = c.target;
    const int n = t.RowCount();
    if (t.selected.size() < static_cast<std::size_t>(n))
        t.selected.resize(static_cast<std::size_t>(n), 0);
    for (int row = 0; row < n; ++row) {
        if (!t.IsSelected(row)) {
            t.SetSelected(row, true);
            c.host.ListRowChanged(row);
        }
    }
    if (n > 0) t.iCurrentRow = 0;
    return {n};
}

OpResult Limit(OpContext& c) {
    return {LimitNameLengthCommand(c.target.SelectedItems(), c.limitSize,
                                   c.target.keyWord.EffectSubItem != 0, c.host)};
}

template <int kCommand>
OpResult SerialQuick(OpContext& c) {
    CSerialNumber serial(c.target.matcher, c.host, c.tracePath);
    const int n = serial.SerialNumberQuick(kCommand, c.target.SelectedItems());
    return {n, serial.Stopped()};
}

template <bool kUp>
OpResult SerialFrom(OpContext& c) {
    CSerialNumber serial(c.target.matcher, c.host, c.tracePath);
    const int n =
        serial.SerialNumberSimple(c.target.serial.PresetData, kUp, c.target.SelectedItems());
    return {n, serial.Stopped()};
}

OpResult SerialDetail(OpContext& c) {
    CSerialNumber serial(c.target.matcher, c.host, c.tracePath);
    const int n = serial.SerialNumberByDetail(c.target.serial, c.target.SelectedItems());
    return {n, serial.Stopped()};
}

// Cuts keyword 1 and what lies left (or right) of it from each selected row's name.
template <bool kRight>
OpResult CutFrom(OpContext& c) {
    EditTarget& t = c.target;
    CNameEdit edit = Editor(c);
    const std::string& key = t.keyWord.Key1;
    const bool wild = t.keyWord.UseWildCard != 0;
    OpResult r;
    for (int row : t.SelectedRows()) {
        if (c.host.StopRequested()) {
            r.stopped = true;
            break;
        }
        CMyItem* item = t.RowItem(row);
        if (kRight)
            edit.CutItemStrFromRight(item, key, wild, c.macroArg2 != 0);
        else
            edit.CutItemStrFromLeft(item, key, wild);
        edit.RefreshItem(item);
        c.host.ListRowChanged(row);
        ++r.changed;
    }
    return r;
}

// 情報を貼り付け: the target's template expanded for each selected row; a template that cannot
// be used is explained in a message and nothing runs.
template <InfoPlace kWhere>
OpResult PasteInfo(OpContext& c) {
    std::string error;
    const auto t = InfoTemplate::Parse(c.target.infoTemplate, &error);
    if (!t) {
        c.host.Message(error, MsgKind::Ok, MsgIcon::Warning);
        return {-1};
    }
    InfoCache own;
    const EditRunResult r = Editor(c).RunInfoPaste(
        *t, kWhere, c.target.pInfo ? *c.target.pInfo : own, c.target.SelectedItems());
    OpResult out = FromEdit(r);
    out.noInfo = r.iNoInfo;
    return out;
}

// The folder shown in the order of the date taken; STOP leaves it as it was.
OpResult SortTaken(OpContext& c) {
    if (!c.target.pFolder) return {-1};
    InfoCache own;
    if (!SortByDateTaken(c.target.pFolder, c.target.pInfo ? *c.target.pInfo : own, c.host))
        return {-1, true};
    return {c.target.RowCount(), false, OpRequest::ShowFolder};
}

OpResult TextTree(OpContext&) {
    return {0, false, OpRequest::WriteTextTree};
}

OpResult ClearAll(OpContext&) {
    return {0, false, OpRequest::ResetTree};
}

// ---- Macro spellings ----------------------------------------------------------------------

constexpr MacroSpelling kSelectListAll[] = {
    {"SelectListAll", "", MacroArgs::None, SelectAllRedrawn}};
constexpr MacroSpelling kFindItemAll[] = {{"FindItemAll", "DS", MacroArgs::FlagKey1}};
constexpr MacroSpelling kCutListString[] = {{"CutListString", "DDS", MacroArgs::FlagKey1Arg2}};
constexpr MacroSpelling kCutLeft[] = {{"CutLeftListString", "DS", MacroArgs::FlagKey1}};
constexpr MacroSpelling kCutRight[] = {{"CutRightListString", "DS", MacroArgs::FlagKey1}};
constexpr MacroSpelling kCutBoundA[] = {{"CutBoundListStringA", "DDSS", MacroArgs::FlagKey12}};
constexpr MacroSpelling kCutBoundB[] = {{"CutBoundListStringB", "DDSS", MacroArgs::FlagKey12}};
constexpr MacroSpelling kPasteLeft[] = {{"PasteLeftListString", "S", MacroArgs::Key1}};
constexpr MacroSpelling kPasteRight[] = {{"PasteRightListString", "S", MacroArgs::Key1}};
constexpr MacroSpelling kPasteKeyLeft[] = {
    {"PasteLeftOnKeyListString", "DDSS", MacroArgs::FlagKey12}};
constexpr MacroSpelling kPasteKeyRight[] = {
    {"PasteRightOnKeyListString", "DDSS", MacroArgs::FlagKey12}};
constexpr MacroSpelling kChangeExt[] = {{"ChangeExtListString", "S", MacroArgs::None}};
constexpr MacroSpelling kReplace[] = {{"ReplaceListString", "DDSS", MacroArgs::FlagKey12}};
constexpr MacroSpelling kModeAutoSerial[] = {{"SetModeAutoSerial", "D", MacroArgs::None}};
constexpr MacroSpelling kModeEffectSub[] = {{"SetModeEffectSubItem", "D", MacroArgs::None}};
constexpr MacroSpelling kSerialPos[] = {{"SetSerialPos", "DSSS", MacroArgs::SerialPos}};
constexpr MacroSpelling kSerialSepPos[] = {{"SetSerialSepPos", "SSS", MacroArgs::SerialSepPos}};
constexpr MacroSpelling kSerialDigit[] = {{"SetSerialDigitType", "SD", MacroArgs::SerialDigit}};
constexpr MacroSpelling kSerialUpDown[] = {{"SetSerialUpDown", "S", MacroArgs::SerialUpDown}};
constexpr MacroSpelling kSerialPreset[] = {{"SetSerialPreset", "SD", MacroArgs::SerialPreset}};
constexpr MacroSpelling kSerialDelta[] = {{"SetSerialDeltaSize", "SD", MacroArgs::SerialDelta}};
constexpr MacroSpelling kAddSerial[] = {{"AddSerialListString", "", MacroArgs::None}};
constexpr MacroSpelling kCutFromLeft[] = {{"CutListStringFromLeft", "DS", MacroArgs::FlagKey1}};
constexpr MacroSpelling kCutFromRight[] = {
    {"CutListStringFromRight", "DDS", MacroArgs::FlagKey1Arg2}};
constexpr MacroSpelling kClearAllItem[] = {{"ClearAllItem", "", MacroArgs::None}};
constexpr MacroSpelling kPasteInfoLeft[] = {{"PasteLeftListInfo", "S", MacroArgs::Template}};
constexpr MacroSpelling kPasteInfoRight[] = {{"PasteRightListInfo", "S", MacroArgs::Template}};
constexpr MacroSpelling kPasteInfoWhole[] = {{"PasteWholeListInfo", "S", MacroArgs::Template}};

// ---- Regular expressions, character types, the order before numbering --------------------

// Keyword 1 as a PCRE2 pattern, keyword 2 as its replacement; a bad pattern changes nothing
// and is traced.
OpResult RegexReplace(OpContext& c) {
    std::string err;
    const EditRunResult r = Editor(c).RegexReplaceCommand(
        c.target.keyWord.Key1, c.target.keyWord.Key2, (c.macroFlags & 1) != 0,
        (c.macroFlags & 2) != 0, c.target.SelectedItems(), &err);
    if (!err.empty())
        TraceF(c.tracePath, "※　正規表現が無効です。RegexReplaceListString()\n\t%s\n", err.c_str());
    return FromEdit(r);
}

template <CharConv kKind>
OpResult Convert(OpContext& c) {
    return FromEdit(Editor(c).ConvertCommand(kKind, c.target.SelectedItems()));
}

template <OpRequest kSort>
OpResult Sort(OpContext&) {
    return {0, false, kSort};
}

constexpr MacroSpelling kRegexReplace[] = {{"RegexReplaceListString", "SSD", MacroArgs::RegexSSD}};
constexpr MacroSpelling kToUpper[] = {{"ToUpperListString", "", MacroArgs::None}};
constexpr MacroSpelling kToLower[] = {{"ToLowerListString", "", MacroArgs::None}};
constexpr MacroSpelling kToCapital[] = {{"ToCapitalListString", "", MacroArgs::None}};
constexpr MacroSpelling kToHalf[] = {{"ToHalfWidthListString", "", MacroArgs::None}};
constexpr MacroSpelling kToFull[] = {{"ToFullWidthListString", "", MacroArgs::None}};
constexpr MacroSpelling kKanaToFull[] = {{"KanaToFullWidthListString", "", MacroArgs::None}};
constexpr MacroSpelling kKanaToHalf[] = {{"KanaToHalfWidthListString", "", MacroArgs::None}};
constexpr MacroSpelling kHiraToKata[] = {{"HiraganaToKatakanaListString", "", MacroArgs::None}};
constexpr MacroSpelling kKataToHira[] = {{"KatakanaToHiraganaListString", "", MacroArgs::None}};
constexpr MacroSpelling kNfc[] = {{"NormalizeNfcListString", "", MacroArgs::None}};
constexpr MacroSpelling kNfd[] = {{"NormalizeNfdListString", "", MacroArgs::None}};
constexpr MacroSpelling kSortByDate[] = {{"SortListByDate", "D", MacroArgs::SortOrder}};
constexpr MacroSpelling kSortNatural[] = {{"SortListNatural", "D", MacroArgs::SortOrder}};

// ---- The keyword dialog's setups ----------------------------------------------------------

constexpr KeyWordAsk kAskCutLeft{1, "キーワードの入力： 指定文字列より左側をカット", true, false};
constexpr KeyWordAsk kAskCutRight{1, "キーワードの入力： 指定文字列より右側をカット", true, false};
constexpr KeyWordAsk kAskCutKey{1, "キーワードの入力： 指定文字列を消去", true, true};
constexpr KeyWordAsk kAskCutBound{2, "キーワードの入力： 二つの指定文字列の区間を削除", true, true};
constexpr KeyWordAsk kAskPasteLeft{1, "キーワードの入力： 指定文字列を先頭に追加", false, false};
constexpr KeyWordAsk kAskPasteRight{1, "キーワードの入力： 指定文字列を後方に追加", false, false};
constexpr KeyWordAsk kAskPasteKeyLeft{2, "キーワードの入力： 指定文字列をキーワードの直前に追加",
                                      true, true};
constexpr KeyWordAsk kAskPasteKeyRight{2, "キーワードの入力： 指定文字列をキーワードの直後に追加",
                                       true, true};
constexpr KeyWordAsk kAskFind{1, "指定文字列を含むファイルを選択", true, false, "検索する文字列"};
constexpr KeyWordAsk kAskReplace{2,    "文字列の置換",   true,
                                 true, "検索する文字列", "置き換えるの文字列"};

// ---- The table ----------------------------------------------------------------------------

constexpr unsigned kSel = kNeedsSelection;
constexpr unsigned kKeys = kReadsKeyWords | kReadsIntoFolders | kReadsAutoIndex;
constexpr unsigned kSerialReads = kReadsSerial | kReadsIntoFolders | kReadsAutoIndex;
constexpr unsigned kConv = kReadsIntoFolders | kReadsAutoIndex;
constexpr std::span<const MacroSpelling> kNoMacro;

// Rows with macro functions stand in the order of those functions (their numbers in the
// trace). id, macros, menu text, place, order, asks, keyword dialog, cli, cli value, reads,
// flags, run.
constexpr Operation kOperations[] = {
    {CMD_SELECT_ALL, kSelectListAll, "全て選択", MenuPlace::Bottom, 1, Asks::Nothing, nullptr,
     "--select-all", CliValue::None, 0, kWindowSide, SelectAll},
    {CMD_FIND, kFindItemAll, "検索", MenuPlace::Top, 0, Asks::KeyWords, &kAskFind, nullptr,
     CliValue::None, kReadsKeyWords, 0, Find},
    {CMD_CUT_KEY, kCutListString, "指定文字列をカット", MenuPlace::Cut, 2, Asks::KeyWords,
     &kAskCutKey, nullptr, CliValue::None, kKeys, kSel | kNotWhileBusy, EditOp<EDIT_CUT_KEY>},
    {CMD_CUT_LEFT, kCutLeft, "指定文字列より左側をカット", MenuPlace::Cut, 0, Asks::KeyWords,
     &kAskCutLeft, nullptr, CliValue::None, kKeys, kSel | kNotWhileBusy, EditOp<EDIT_CUT_LEFT>},
    {CMD_CUT_RIGHT, kCutRight, "指定文字列より右側をカット", MenuPlace::Cut, 1, Asks::KeyWords,
     &kAskCutRight, nullptr, CliValue::None, kKeys, kSel | kNotWhileBusy, EditOp<EDIT_CUT_RIGHT>},
    {CMD_CUT_BOUND1, kCutBoundA, "指定文字列1,2の区間をカット", MenuPlace::Cut, 3, Asks::KeyWords,
     &kAskCutBound, nullptr, CliValue::None, kKeys, kSel, EditOp<EDIT_CUT_BOUND1>},
    {CMD_CUT_BOUND2, kCutBoundB, "指定文字列1,2(含)の区間をカット", MenuPlace::Cut, 4,
     Asks::KeyWords, &kAskCutBound, nullptr, CliValue::None, kKeys, kSel, EditOp<EDIT_CUT_BOUND2>},
    {CMD_PASTE_LEFT, kPasteLeft, "先頭に文字列を追加", MenuPlace::Paste, 0, Asks::KeyWords,
     &kAskPasteLeft, nullptr, CliValue::None, kKeys, kSel, EditOp<EDIT_PASTE_LEFT>},
    {CMD_PASTE_RIGHT, kPasteRight, "末尾に文字列を追加", MenuPlace::Paste, 1, Asks::KeyWords,
     &kAskPasteRight, nullptr, CliValue::None, kKeys, kSel, EditOp<EDIT_PASTE_RIGHT>},
    {CMD_PASTE_KEY_LEFT, kPasteKeyLeft, "指定文字列の直前に文字列を追加", MenuPlace::Paste, 2,
     Asks::KeyWords, &kAskPasteKeyLeft, nullptr, CliValue::None, kKeys, kSel,
     EditOp<EDIT_PASTE_KEY_LEFT>},
    {CMD_PASTE_KEY_RIGHT, kPasteKeyRight, "指定文字列の直後に文字列を追加", MenuPlace::Paste, 3,
     Asks::KeyWords, &kAskPasteKeyRight, nullptr, CliValue::None, kKeys, kSel,
     EditOp<EDIT_PASTE_KEY_RIGHT>},
    {OP_CHANGE_EXT, kChangeExt, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, nullptr},
    {CMD_REPLACE, kReplace, "置換", MenuPlace::Top, 1, Asks::KeyWords, &kAskReplace, nullptr,
     CliValue::None, kKeys, kSel | kNeedsKey1, EditOp<EDIT_REPLACE>},
    {OP_MODE_AUTO_SERIAL, kModeAutoSerial, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr,
     nullptr, CliValue::None, 0, 0, nullptr},
    {OP_MODE_EFFECT_SUB, kModeEffectSub, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr,
     nullptr, CliValue::None, 0, 0, nullptr},
    {OP_SERIAL_POS, kSerialPos, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, nullptr},
    {OP_SERIAL_SEP_POS, kSerialSepPos, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, nullptr},
    {OP_SERIAL_DIGIT, kSerialDigit, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, nullptr},
    {OP_SERIAL_UP_DOWN, kSerialUpDown, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, nullptr},
    {OP_SERIAL_PRESET, kSerialPreset, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, nullptr},
    {OP_SERIAL_DELTA, kSerialDelta, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, nullptr},
    {CMD_SERIAL_DETAIL, kAddSerial, "詳細な設定で連番付け", MenuPlace::Serial, 6, Asks::SerialFull,
     nullptr, nullptr, CliValue::None, kSerialReads, kSel, SerialDetail},
    {OP_CUT_FROM_LEFT, kCutFromLeft, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, kKeys, kSel, CutFrom<false>},
    {OP_CUT_FROM_RIGHT, kCutFromRight, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, kKeys, kSel, CutFrom<true>},
    {OP_CLEAR_ALL, kClearAllItem, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, 0, 0, ClearAll},
    // Regular expressions, character types, the order before numbering, names as text.
    {OP_REGEX_REPLACE, kRegexReplace, nullptr, MenuPlace::None, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, kReadsKeyWords | kReadsIntoFolders | kReadsAutoIndex, kSel, RegexReplace},
    {CMD_TO_UPPER, kToUpper, "大文字に", MenuPlace::CharType, 0, Asks::Nothing, nullptr, nullptr,
     CliValue::None, kConv, kSel, Convert<CharConv::Upper>},
    {CMD_TO_LOWER, kToLower, "小文字に", MenuPlace::CharType, 1, Asks::Nothing, nullptr, nullptr,
     CliValue::None, kConv, kSel, Convert<CharConv::Lower>},
    {CMD_TO_CAPITAL, kToCapital, "先頭を大文字に", MenuPlace::CharType, 2, Asks::Nothing, nullptr,
     nullptr, CliValue::None, kConv, kSel, Convert<CharConv::Capital>},
    {CMD_FULL_TO_HALF, kToHalf, "全角英数記号を半角に", MenuPlace::CharType, 3, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kConv, kSel, Convert<CharConv::FullToHalf>},
    {CMD_HALF_TO_FULL, kToFull, "半角英数記号を全角に", MenuPlace::CharType, 4, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kConv, kSel, Convert<CharConv::HalfToFull>},
    {CMD_KANA_HALF_TO_FULL, kKanaToFull, "半角カナを全角に", MenuPlace::CharType, 5, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kConv, kSel, Convert<CharConv::KanaHalfToFull>},
    {CMD_KANA_FULL_TO_HALF, kKanaToHalf, "全角カナを半角に", MenuPlace::CharType, 6, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kConv, kSel, Convert<CharConv::KanaFullToHalf>},
    {CMD_HIRA_TO_KATA, kHiraToKata, "ひらがなをカタカナに", MenuPlace::CharType, 7, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kConv, kSel, Convert<CharConv::HiraToKata>},
    {CMD_KATA_TO_HIRA, kKataToHira, "カタカナをひらがなに", MenuPlace::CharType, 8, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kConv, kSel, Convert<CharConv::KataToHira>},
    {CMD_NFC, kNfc, "合成済みに正規化", MenuPlace::CharType, 9, Asks::Nothing, nullptr, nullptr,
     CliValue::None, kConv, kSel, Convert<CharConv::Nfc>},
    {CMD_NFD, kNfd, "分解して正規化", MenuPlace::CharType, 10, Asks::Nothing, nullptr, nullptr,
     CliValue::None, kConv, kSel, Convert<CharConv::Nfd>},
    {CMD_SORT_MODIFIED, kSortByDate, "更新日時で並べ替え", MenuPlace::Sort, 0, Asks::Nothing,
     nullptr, nullptr, CliValue::None, 0, 0, Sort<OpRequest::SortModified>},
    {CMD_SORT_NATURAL, kSortNatural, "自然順で並べ替え", MenuPlace::Sort, 1, Asks::Nothing, nullptr,
     nullptr, CliValue::None, 0, 0, Sort<OpRequest::SortNatural>},
    {CMD_EDIT_NAMES_AS_TEXT, kNoMacro, "名前をテキストで編集", MenuPlace::Tools, 0, Asks::NamesText,
     nullptr, nullptr, CliValue::None, 0, kWindowSide, nullptr},
    {CMD_PASTE_INFO_LEFT, kPasteInfoLeft, "情報を貼り付け（先頭）", MenuPlace::Paste, 4,
     Asks::InfoTemplate, nullptr, "--paste-info-left", CliValue::Template,
     kReadsIntoFolders | kReadsAutoIndex, kSel, PasteInfo<InfoPlace::Left>},
    {CMD_PASTE_INFO_RIGHT, kPasteInfoRight, "情報を貼り付け（末尾）", MenuPlace::Paste, 5,
     Asks::InfoTemplate, nullptr, "--paste-info-right", CliValue::Template,
     kReadsIntoFolders | kReadsAutoIndex, kSel, PasteInfo<InfoPlace::Right>},
    {CMD_PASTE_INFO_WHOLE, kPasteInfoWhole, "情報を貼り付け（名前全体）", MenuPlace::Paste, 6,
     Asks::InfoTemplate, nullptr, "--paste-info", CliValue::Template,
     kReadsIntoFolders | kReadsAutoIndex, kSel, PasteInfo<InfoPlace::Whole>},
    // Rows without a macro function.
    {CMD_CUT_EXT, kNoMacro, "拡張子を削除", MenuPlace::Extension, 0, Asks::Nothing, nullptr,
     nullptr, CliValue::None, kReadsIntoFolders | kReadsAutoIndex, kSel, CutExtension},
    {CMD_RESTORE_EXT, kNoMacro, "拡張子を復帰", MenuPlace::Extension, 1, Asks::Nothing, nullptr,
     nullptr, CliValue::None, kReadsIntoFolders | kReadsAutoIndex, kSel, RestoreExtension},
    {CMD_LIMIT, kNoMacro, "長さ制限", MenuPlace::Cut, 5, Asks::Limit, nullptr, "--limit",
     CliValue::Limit, kReadsLimit | kReadsIntoFolders | kReadsAutoIndex, kSel, Limit},
    {CMD_SERIAL_0_UP, kNoMacro, "0から昇順で連番付け", MenuPlace::Serial, 0, Asks::Nothing, nullptr,
     nullptr, CliValue::None, kSerialReads, kSel, SerialQuick<CMD_SERIAL_0_UP>},
    {CMD_SERIAL_0_DOWN, kNoMacro, "0から降順で連番付け", MenuPlace::Serial, 1, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kSerialReads, kSel, SerialQuick<CMD_SERIAL_0_DOWN>},
    {CMD_SERIAL_1_UP, kNoMacro, "1から昇順で連番付け", MenuPlace::Serial, 2, Asks::Nothing, nullptr,
     nullptr, CliValue::None, kSerialReads, kSel, SerialQuick<CMD_SERIAL_1_UP>},
    {CMD_SERIAL_1_DOWN, kNoMacro, "1から降順で連番付け", MenuPlace::Serial, 3, Asks::Nothing,
     nullptr, nullptr, CliValue::None, kSerialReads, kSel, SerialQuick<CMD_SERIAL_1_DOWN>},
    {CMD_SERIAL_FROM_UP, kNoMacro, "指定番号から昇順で連番付け", MenuPlace::Serial, 4,
     Asks::SerialStart, nullptr, nullptr, CliValue::None, kSerialReads, kSel, SerialFrom<true>},
    {CMD_SERIAL_FROM_DOWN, kNoMacro, "指定番号から降順で連番付け", MenuPlace::Serial, 5,
     Asks::SerialStart, nullptr, nullptr, CliValue::None, kSerialReads, kSel, SerialFrom<false>},
    {CMD_RESET_NAME, kNoMacro, "元のファイル名に戻す", MenuPlace::Bottom, 0, Asks::Nothing, nullptr,
     nullptr, CliValue::None, kReadsIntoFolders | kReadsAutoIndex, kSel, EditOp<EDIT_RESET_NAME>},
    {CMD_INFO, kNoMacro, "情報", MenuPlace::Bottom, 2, Asks::Info, nullptr, nullptr, CliValue::None,
     0, kSel | kWindowSide, nullptr},
    {CMD_SORT_TAKEN, kNoMacro, "撮影日時順に並べ替え", MenuPlace::Bottom, 3, Asks::Nothing, nullptr,
     "--sort-date-taken", CliValue::None, 0, kNotWhileBusy, SortTaken},
    {CMD_TEXT_TREE, kNoMacro, "ツリー構造をテキスト出力", MenuPlace::Tree, 0, Asks::Nothing,
     nullptr, nullptr, CliValue::None, 0, 0, TextTree},
};

std::vector<MacroFunction> BuildMacroFunctions() {
    std::vector<MacroFunction> out;
    for (const Operation& op : kOperations)
        for (const MacroSpelling& m : op.macros) out.push_back({&op, &m});
    return out;
}

}  // namespace

std::span<const Operation> Operations() {
    return kOperations;
}

const Operation* FindOperation(int id) {
    for (const Operation& op : kOperations)
        if (op.id == id) return &op;
    return nullptr;
}

std::span<const MacroFunction> MacroFunctions() {
    static const std::vector<MacroFunction> kFunctions = BuildMacroFunctions();
    return kFunctions;
}

OpResult RunOperation(const Operation& op, OpContext& c) {
    return op.run ? op.run(c) : OpResult{};
}

}  // namespace dov
