#include "shell/listmodel.h"

#include <QApplication>
#include <QBrush>
#include <QMimeData>
#include <QStyle>
#include <algorithm>

#include "model/item.h"
#include "model/parts_array.h"
#include "shell/qttext.h"

namespace dov {

const char* CItemListModel::kMimeType = "application/x-dovreth-rows";

ListRow ListRow::Of(const CMyItem* item) {
    ListRow r;
    r.Assign(item);
    return r;
}

bool ListRow::Assign(const CMyItem* item) {
    if (!item) {
        const bool changed = this->item != nullptr;
        *this = ListRow();
        return changed;
    }
    const std::uint64_t sz = (static_cast<std::uint64_t>(item->m_findData.nFileSizeHigh) << 32) |
                             item->m_findData.nFileSizeLow;
    const bool isDir = item->m_bIsFolder != 0;
    const bool ren = item->m_strWriteName != item->m_strOrgName;
    if (this->item == item && newName == item->m_strNewName && orgName == item->m_strOrgName &&
        kindIndex == item->m_iKindIndex && size == sz && isFolder == isDir && renamed == ren)
        return false;
    this->item = const_cast<CMyItem*>(item);
    newName = item->m_strNewName;
    orgName = item->m_strOrgName;
    kindIndex = item->m_iKindIndex;
    size = sz;
    isFolder = isDir;
    renamed = ren;
    return true;
}

std::vector<ListRow> ListRow::OfFolder(const CMyItem* folder) {
    std::vector<ListRow> rows;
    if (!folder || !folder->m_bIsFolder || !folder->m_pArray) return rows;
    const int n = folder->m_pArray->GetSize();
    rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        if (const CMyItem* it = folder->m_pArray->GetAt(i)) rows.push_back(Of(it));
    return rows;
}

CItemListModel::CItemListModel(QObject* parent) : QAbstractTableModel(parent) {
    QStyle* st = QApplication::style();
    fileIcon_ = st->standardIcon(QStyle::SP_FileIcon);
    folderIcon_ = st->standardIcon(QStyle::SP_DirIcon);
}

int CItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CItemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CItemListModel::data(const QModelIndex& index, int role) const {
    const ListRow* r = index.isValid() ? Row(index.row()) : nullptr;
    if (!r) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            switch (index.column()) {
                case kNewName:
                    return ToQt(r->newName);
                case kIndex:
                    return QString::number(r->kindIndex);
                case kOrgName:
                    return ToQt(r->orgName);
                case kSize:
                    return SizeText(r->size);
            }
            break;
        case Qt::DecorationRole:
            if (index.column() == kNewName) return r->isFolder ? folderIcon_ : fileIcon_;
            break;
        case Qt::ForegroundRole:
            // A rename predicted to fail outweighs a name that changes.
            if (conflicts_.count(r->item)) return QBrush(conflictColor_);
            if (r->renamed && renamedColor_.isValid()) return renamedColor_;
            break;
        case Qt::ToolTipRole:
            if (auto it = conflicts_.find(r->item); it != conflicts_.end()) return it->second;
            break;
        case Qt::TextAlignmentRole:
            if (index.column() == kIndex || index.column() == kSize)
                return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

void CItemListModel::SetConflicts(std::unordered_map<const CMyItem*, QString> items, QColor color) {
    if (items.empty() && conflicts_.empty()) return;
    conflicts_ = std::move(items);
    conflictColor_ = color;
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

bool CItemListModel::IsConflict(int row) const {
    const ListRow* r = Row(row);
    return r && conflicts_.count(r->item) > 0;
}

QVariant CItemListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
            case kNewName:
                return U8("新しいファイル名");
            case kIndex:
                return U8("Index");
            case kOrgName:
                return U8("元のファイル名");
            case kSize:
                return U8("ファイルサイズ");
        }
    }
    if (role == Qt::TextAlignmentRole) {
        if (section == kIndex || section == kSize)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags CItemListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (editable_ && index.column() == kNewName) f |= Qt::ItemIsEditable;
    return f;
}

bool CItemListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != kNewName) return false;
    const QString text = value.toString();
    if (text.isEmpty() || !editable_) return false;
    emit labelEdited(index.row(), text);
    return true;
}

QStringList CItemListModel::mimeTypes() const {
    return {QString::fromLatin1(kMimeType)};
}

QMimeData* CItemListModel::mimeData(const QModelIndexList& indexes) const {
    auto* m = new QMimeData;
    QByteArray rows;
    for (const QModelIndex& i : indexes)
        if (i.column() == 0) rows += QByteArray::number(i.row()) + ' ';
    m->setData(QString::fromLatin1(kMimeType), rows);
    return m;
}

void CItemListModel::SetRows(CMyItem* folder, std::vector<ListRow> rows) {
    beginResetModel();
    folder_ = folder;
    rows_ = std::move(rows);
    endResetModel();
}

void CItemListModel::SetRowsAt(CMyItem* folder, std::vector<RowUpdate> updates) {
    if (folder != folder_) return;
    const int n = static_cast<int>(rows_.size());
    int first = n, last = -1;
    for (RowUpdate& u : updates) {
        if (u.row < 0 || u.row >= n) continue;
        rows_[static_cast<std::size_t>(u.row)] = std::move(u.data);
        first = std::min(first, u.row);
        last = std::max(last, u.row);
    }
    if (last >= 0) emit dataChanged(index(first, 0), index(last, kColumnCount - 1));
}

void CItemListModel::UpdateRows(CMyItem* folder) {
    const CMyPartsArray* items =
        folder && folder->m_bIsFolder && folder->m_pArray ? folder->m_pArray.get() : nullptr;
    const int n = items ? items->GetSize() : 0;
    std::size_t count = 0;
    for (int i = 0; i < n; ++i) count += items->GetAt(i) != nullptr;
    if (folder != folder_ || count != rows_.size())
        return SetRows(folder, ListRow::OfFolder(folder));
    int first = -1, last = -1, row = 0;
    for (int i = 0; i < n; ++i) {
        const CMyItem* it = items->GetAt(i);
        if (!it) continue;
        if (rows_[static_cast<std::size_t>(row)].Assign(it)) {
            if (first < 0) first = row;
            last = row;
        }
        ++row;
    }
    if (first >= 0) emit dataChanged(index(first, 0), index(last, kColumnCount - 1));
}

void CItemListModel::SetRenamedColor(const QColor& c) {
    if (c == renamedColor_) return;
    renamedColor_ = c;
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(static_cast<int>(rows_.size()) - 1, kColumnCount - 1),
                         {Qt::ForegroundRole});
}

const ListRow* CItemListModel::Row(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
    return &rows_[static_cast<std::size_t>(row)];
}

}  // namespace dov
