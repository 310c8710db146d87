// The list of the current folder's items: a model over copies of the rows.
//
// The rows are copied from the items by whoever owns the tree at that moment (the window when
// idle, the worker while it runs), so painting never reads an item a worker is changing. Texts
// stay CP932 and are converted only for the rows on screen, so a folder of 100,000 items shows
// at once.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QIcon>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class CMyItem;

namespace dov {

struct ListRow {
    CMyItem* item = nullptr;  // identity only; read it only while no worker runs
    std::string newName;
    std::string orgName;
    int kindIndex = 0;
    std::uint64_t size = 0;
    bool isFolder = false;
    bool renamed = false;  // the write name differs from the name on disk

    static ListRow Of(const CMyItem* item);
    // Makes this row the copy of item, reusing its texts' room; whether anything changed.
    bool Assign(const CMyItem* item);
    // One row per sub-item, in the folder's order (none for a missing or file item).
    static std::vector<ListRow> OfFolder(const CMyItem* folder);
};

// A row's fresh copy, for the list of one folder.
struct RowUpdate {
    int row = -1;
    ListRow data;
};

class CItemListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kNewName, kIndex, kOrgName, kSize, kColumnCount };

    explicit CItemListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    void SetRows(CMyItem* folder, std::vector<ListRow> rows);
    // Rewrites the given rows (of a row given twice, the later copy wins) while the list
    // shows folder; one change notice covers them all.
    void SetRowsAt(CMyItem* folder, std::vector<RowUpdate> updates);
    // Copies the folder's items into the rows in place when their number did not change (the
    // view's selection and current row stay, only changed rows are redrawn); otherwise as
    // SetRows. Only by the owner of the tree.
    void UpdateRows(CMyItem* folder);
    void Clear() { SetRows(nullptr, {}); }
    const ListRow* Row(int row) const;
    CMyItem* Folder() const { return folder_; }
    const std::vector<ListRow>& Rows() const { return rows_; }

    // The text colour of renamed rows (an invalid colour: drawn like the others).
    void SetRenamedColor(const QColor& c);

    // Whether label editing is allowed (not while a worker runs).
    void SetEditable(bool on) { editable_ = on; }
    // The items whose rename is predicted to fail, drawn in a colour of their own.
    // The rows predicted to fail, each with its reason (shown as the row's tooltip).
    void SetConflicts(std::unordered_map<const CMyItem*, QString> items, QColor color);
    bool IsConflict(int row) const;

    static const char* kMimeType;

  signals:
    // Label editing ended with this text (already checked to be non-empty).
    void labelEdited(int row, QString text);

  private:
    CMyItem* folder_ = nullptr;
    std::vector<ListRow> rows_;
    bool editable_ = true;
    QColor renamedColor_;
    std::unordered_map<const CMyItem*, QString> conflicts_;
    QColor conflictColor_;
    QIcon fileIcon_, folderIcon_;
};

}  // namespace dov

Q_DECLARE_METATYPE(dov::ListRow)
