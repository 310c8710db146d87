// The file selection dialog behind "読み込み": one folder of the disk at a time, any mix of its
// files and folders picked, handed back with the folder they live in.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QIcon>
#include <atomic>
#include <string>
#include <vector>

#include "common/fs.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace dov {

class QtHost;

class CFileEntryModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit CFileEntryModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    void SetEntries(std::vector<EntryInfo> entries);
    const std::vector<EntryInfo>& Entries() const { return entries_; }

  private:
    std::vector<EntryInfo> entries_;
    QIcon fileIcon_, folderIcon_;
};

class CWorkerRunner;

class CMyFileDialog : public QDialog {
    Q_OBJECT
  public:
    CMyFileDialog(QtHost* host, QWidget* parent = nullptr);
    ~CMyFileDialog() override;

    // Set before each opening (CP932); an empty or unreadable folder falls back to the
    // program's own folder.
    void SetInitialFolder(const std::string& folder) { initialFolder_ = folder; }

    // After OK: the folder and the picked entries, in list order.
    const std::string& CurrentFolder() const { return currentFolder_; }
    const std::vector<EntryInfo>& Selected() const { return selected_; }

    // Opens modally; QDialog::Accepted on OK.
    int exec() override;

    // The steps a user takes (also driven by tests).
    void ShowFolder(const std::string& folder);
    void GoUp();
    void OpenRow(int row);
    void SelectAll();
    // The path typed or pasted into the folder field (Enter): a folder is shown, a file shows
    // its folder with the file picked; anything else gets a message and the field goes back
    // to the folder shown. True when the path was found.
    bool GoToTypedPath();
    void SortByColumn(int column);  // starts the sort worker
    // The dialog's worker runs: a folder is being listed or sorted (the buttons wait).
    bool Sorting() const { return sorting_; }
    void accept() override;  // "選択決定"
    void reject() override;  // "ｷｬﾝｾﾙ" (not while a sort runs)

    QTreeView* List() const { return list_; }
    QComboBox* Roots() const { return roots_; }
    QLineEdit* FolderEdit() const { return folderEdit_; }
    CFileEntryModel* Model() const { return model_; }

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

  private:
    void Prepare();
    void SetButtonsEnabled(bool on);
    // Shows listed or sorted entries; the name column fits them.
    void ShowEntries(std::vector<EntryInfo> entries);
    void PickPending();

    QtHost* host_;
    std::string initialFolder_;
    std::string currentFolder_;
    std::vector<EntryInfo> selected_;
    bool nameAsc_ = true, sizeAsc_ = true, dateAsc_ = true;

    QComboBox* roots_;
    QLineEdit* folderEdit_;
    QPushButton* upBtn_;
    QPushButton* allBtn_;
    QPushButton* okBtn_;
    QPushButton* cancelBtn_;
    QTreeView* list_;
    CFileEntryModel* model_;
    std::vector<std::string> rootPaths_;

    CWorkerRunner* sorter_ = nullptr;  // the sort runs on its own worker
    std::atomic<bool> sorting_{false};
    std::vector<EntryInfo> sortWork_;  // the worker's entries (listed or sorted)
    std::string pendingPick_;          // a typed file's name, picked once its folder is listed
};

}  // namespace dov
