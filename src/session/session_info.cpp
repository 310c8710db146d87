// The session's commands that name items from what their files hold.
#include <algorithm>

#include "common/fs.h"
#include "common/sjis.h"
#include "edit/info_sort.h"
#include "info/file_info.h"
#include "model/item.h"
#include "model/list_state.h"
#include "session/session.h"

namespace dov {

std::optional<EditRunResult> CSession::PasteInfo(InfoPlace where, const std::string& tmpl) {
    std::string error;
    const auto t = InfoTemplate::Parse(tmpl, &error);
    if (!t) {
        Host().Message(error, MsgKind::Ok, MsgIcon::Warning);
        return std::nullopt;
    }
    CNameEdit edit(list_->matcher, Host(), list_->keyWord, tracePath);
    return edit.RunInfoPaste(*t, where, *info_, list_->SelectedItems());
}

std::optional<InfoTemplate::Expansion> CSession::PreviewInfo(const std::string& tmpl, int row) {
    const auto t = InfoTemplate::Parse(tmpl, nullptr);
    CMyItem* item = list_->RowItem(row);
    if (!t || !item) return std::nullopt;
    return t->Expand(InfoSourceOf(item, *info_, t->Kinds()));
}

bool CSession::SortByDateTaken(bool descending) {
    if (!list_->pFolder) return false;
    const bool done = dov::SortByDateTaken(list_->pFolder, *info_, Host(), descending);
    if (done) ShowFolder(list_->pFolder);
    return done;
}

std::optional<std::string> CSession::InfoFieldOfRow(int row, const std::string& name) {
    CMyItem* item = list_->RowItem(row);
    if (!item) return std::nullopt;
    return InfoFieldValue(InfoSourceOf(item, *info_, kInfoExif | kInfoTags), name);
}

std::optional<std::string> CSession::PreviewInfoName(const std::string& tmpl, int row, int id) {
    const CMyItem* item = list_->RowItem(row);
    const auto e = PreviewInfo(tmpl, row);
    if (!e || !item) return std::nullopt;
    const InfoPlace where = id == CMD_PASTE_INFO_LEFT    ? InfoPlace::Left
                            : id == CMD_PASTE_INFO_RIGHT ? InfoPlace::Right
                                                         : InfoPlace::Whole;
    return NameWithInfo(item, e->text, where);
}

int CSession::InfoFieldsOf(const std::string& path,
                           std::vector<std::pair<std::string, std::string>>& out) {
    out.clear();
    EntryInfo e;
    if (int err = Fs().Stat(path, e)) return err;
    FileInfo file;
    if (e.isRegular) ReadFileInfo(path, kInfoExif | kInfoTags, file, info_->limits);
    InfoSource src{&file, true, e.status.m_mtime, {}};
    const int slash = FindLastCharDbcs(path, '/');
    const std::string parent = path.substr(0, static_cast<std::size_t>(std::max(slash, 0)));
    src.parent = parent.substr(static_cast<std::size_t>(FindLastCharDbcs(parent, '/') + 1));
    static const std::string kShowDate = "%Y-%m-%d %H:%M:%S";
    for (const InfoFieldHelp& f : InfoFieldList()) {
        const std::string name = f.name;
        const bool date = name == "mtime" || name == "exif.date";
        if (auto v = InfoFieldValue(src, name, date ? &kShowDate : nullptr))
            out.emplace_back(name, *v);
    }
    return 0;
}

}  // namespace dov
