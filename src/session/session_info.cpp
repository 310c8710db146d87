// The session's commands that name items from what their files hold.
#include "common/codepage.h"
#include "edit/info_sort.h"
#include "macro/macro_target.h"
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

}  // namespace dov
