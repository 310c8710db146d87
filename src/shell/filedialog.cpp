#include "shell/filedialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "common/codepage.h"
#include "common/paths.h"
#include "common/trace.h"
#include "shell/filesort.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell/worker.h"

namespace dov {

namespace {
bool IsFolderEntry(const EntryInfo& e) {
    return (e.findData.dwFileAttributes & kAttrDirectory) != 0;
}
QString EntryName(const EntryInfo& e) {
    return e.nameOk ? ToQt(e.name) : QString::fromUtf8(e.rawName.data(), e.rawName.size());
}
}  // namespace

// ---- CFileEntryModel ----------------------------------------------------------------------

CFileEntryModel::CFileEntryModel(QObject* parent) : QAbstractTableModel(parent) {
    fileIcon_ = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    folderIcon_ = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
}

int CFileEntryModel::rowCount(const QModelIndex& p) const {
    return p.isValid() ? 0 : static_cast<int>(entries_.size());
}
int CFileEntryModel::columnCount(const QModelIndex& p) const {
    return p.isValid() ? 0 : 3;
}

QVariant CFileEntryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(entries_.size())) return {};
    const EntryInfo& e = entries_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case 0:
                return EntryName(e);
            case 1:
                return SizeText(e.size);
            case 2:
                return QString::fromStdString(
                    FormatLocalTime(FileTimeToUnix(e.findData.ftLastWriteTime)));
        }
    } else if (role == Qt::DecorationRole && index.column() == 0) {
        return IsFolderEntry(e) ? folderIcon_ : fileIcon_;
    } else if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue((index.column() == 1 ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    }
    return {};
}

QVariant CFileEntryModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        static const char* const kCaptions[] = {"ファイル名", "ファイルサイズ", "日付"};
        if (section >= 0 && section < 3) return U8(kCaptions[section]);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue((section == 1 ? Qt::AlignRight : Qt::AlignLeft) |
                                   Qt::AlignVCenter);
    return {};
}

void CFileEntryModel::SetEntries(std::vector<EntryInfo> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

// ---- CMyFileDialog ------------------------------------------------------------------------

CMyFileDialog::CMyFileDialog(QtHost* host, QWidget* parent) : QDialog(parent), host_(host) {
    setWindowTitle(U8("ファイル・フォルダの入力"));
    roots_ = new QComboBox(this);
    roots_->setObjectName("drives");
    folderEdit_ = new QLineEdit(this);
    folderEdit_->setObjectName("currentFolder");
    folderEdit_->installEventFilter(this);
    upBtn_ = new QPushButton(U8("上のフォルダ"), this);
    upBtn_->setObjectName("up");
    allBtn_ = new QPushButton(U8("全部選択"), this);
    allBtn_->setObjectName("selectAll");
    okBtn_ = new QPushButton(U8("選択決定"), this);
    okBtn_->setObjectName("ok");
    cancelBtn_ = new QPushButton(U8("ｷｬﾝｾﾙ"), this);
    cancelBtn_->setObjectName("cancel");
    okBtn_->setDefault(true);

    model_ = new CFileEntryModel(this);
    list_ = new QTreeView(this);
    list_->setObjectName("entries");
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionsClickable(true);
    list_->header()->setSortIndicatorShown(true);
    list_->setStyleSheet(
        "QTreeView { background-color: #777777; color: white; }"
        "QTreeView::item:selected { background-color: #2a5db0; color: white; }");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(U8("ドライブ"), this), 0, 0);
    grid->addWidget(roots_, 0, 1);
    grid->addWidget(new QLabel(U8("現在のフォルダ"), this), 1, 0);
    grid->addWidget(folderEdit_, 1, 1);
    auto* tools = new QHBoxLayout;
    tools->addWidget(upBtn_);
    tools->addWidget(allBtn_);
    tools->addStretch();
    grid->addLayout(tools, 2, 1);
    grid->setColumnStretch(1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(okBtn_);
    bottom->addWidget(cancelBtn_);
    auto* v = new QVBoxLayout(this);
    v->addLayout(grid);
    v->addWidget(list_, 1);
    v->addLayout(bottom);
    resize(640, 480);

    connect(upBtn_, &QPushButton::clicked, this, &CMyFileDialog::GoUp);
    connect(allBtn_, &QPushButton::clicked, this, &CMyFileDialog::SelectAll);
    connect(okBtn_, &QPushButton::clicked, this, &CMyFileDialog::accept);
    connect(cancelBtn_, &QPushButton::clicked, this, &CMyFileDialog::reject);
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& i) { OpenRow(i.row()); });
    connect(list_->header(), &QHeaderView::sectionClicked, this, &CMyFileDialog::SortByColumn);
    connect(roots_, &QComboBox::activated, this, [this](int i) {
        if (i >= 0 && i < static_cast<int>(rootPaths_.size()))
            ShowFolder(rootPaths_[static_cast<std::size_t>(i)]);
    });
    sorter_ = new CWorkerRunner(sorting_, DefaultTracePath(), this);
    sorter_->report = [this](const QString& text) { host_->Ask(text, MsgKind::Ok); };
}

CMyFileDialog::~CMyFileDialog() {
    sorter_->Join();
}

void CMyFileDialog::Prepare() {
    selected_.clear();
    nameAsc_ = sizeAsc_ = dateAsc_ = true;
    list_->header()->setSortIndicator(0, Qt::AscendingOrder);  // how a folder is listed
    list_->setColumnWidth(0, 180);
    list_->setColumnWidth(1, 100);
    list_->setColumnWidth(2, std::max(50, list_->viewport()->width() - 300));

    // The places to start from: "/", home, the mounted file systems.
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    std::string mountsText;
    if (mounts.open(QIODevice::ReadOnly)) mountsText = mounts.readAll().toStdString();
    rootPaths_ = RootFolders(mountsText, QDir::homePath().toStdString());
    roots_->clear();
    for (const auto& r : rootPaths_) roots_->addItem(ToQt(r));

    std::string start = initialFolder_;
    EntryInfo probe;
    if (start.empty() || start[0] != '/' || Fs().Stat(start, probe) != 0 || !probe.isDir)
        start = ProgramFolder();
    ShowFolder(start);
}

int CMyFileDialog::exec() {
    Prepare();
    return QDialog::exec();
}

void CMyFileDialog::ShowFolder(const std::string& folder) {
    if (sorting_) return;
    currentFolder_ = folder;
    folderEdit_->setText(ToQt(folder));
    list_->header()->setSortIndicator(0, Qt::AscendingOrder);
    nameAsc_ = sizeAsc_ = dateAsc_ = true;
    // Listed on the worker: a folder of 100,000 entries keeps the dialog answering. A folder
    // that cannot be read lists nothing.
    model_->SetEntries({});
    SetButtonsEnabled(false);
    sortWork_.clear();
    const bool started = sorter_->Start([this, folder] { ListFolderEntries(folder, sortWork_); },
                                        [this] {
                                            ShowEntries(std::move(sortWork_));
                                            PickPending();
                                        });
    if (!started) {
        std::vector<EntryInfo> entries;
        ListFolderEntries(folder, entries);
        ShowEntries(std::move(entries));
        PickPending();
    }
    // The place list shows the root that holds the folder (the longest matching one).
    int best = -1;
    std::size_t bestLen = 0;
    for (std::size_t i = 0; i < rootPaths_.size(); ++i) {
        const std::string& r = rootPaths_[i];
        bool under =
            folder == r || (folder.size() > r.size() && folder.compare(0, r.size(), r) == 0 &&
                            (r == "/" || folder[r.size()] == '/'));
        if (under && r.size() >= bestLen) {
            best = static_cast<int>(i);
            bestLen = r.size();
        }
    }
    if (best >= 0) roots_->setCurrentIndex(best);
}

bool CMyFileDialog::eventFilter(QObject* obj, QEvent* e) {
    // Enter in the folder field goes to the typed path instead of pressing "選択決定".
    if (obj == folderEdit_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            GoToTypedPath();
            return true;
        }
    }
    return QDialog::eventFilter(obj, e);
}

bool CMyFileDialog::GoToTypedPath() {
    if (sorting_) return false;
    QString typed = folderEdit_->text().trimmed();
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    // Only whole absolute paths; "." and ".." are resolved here, links are not followed.
    const QString clean = QDir::cleanPath(typed);
    const auto path = FromQt(clean);
    EntryInfo st;
    if (!clean.startsWith(QLatin1Char('/')) || !path || Fs().Stat(*path, st) != 0) {
        host_->Ask(U8("指定されたパスが見つかりません。\n") + typed, MsgKind::Ok, MsgIcon::Warning);
        folderEdit_->setText(ToQt(currentFolder_));
        return false;
    }
    if (st.isDir) {
        ShowFolder(*path);
        return true;
    }
    const std::string parent = ParentPath(*path);
    pendingPick_ = BaseName(*path);
    ShowFolder(parent.empty() ? std::string("/") : parent);
    return true;
}

void CMyFileDialog::ShowEntries(std::vector<EntryInfo> entries) {
    model_->SetEntries(std::move(entries));
    list_->scrollToTop();
    // The names decide the first column's width, within reason.
    list_->resizeColumnToContents(0);
    const int most = std::max(180, list_->viewport()->width() - 220);
    list_->setColumnWidth(0, std::clamp(list_->columnWidth(0) + 8, 120, most));
    SetButtonsEnabled(true);
}

void CMyFileDialog::PickPending() {
    const std::string name = std::move(pendingPick_);
    pendingPick_.clear();
    if (name.empty()) return;
    const auto& entries = model_->Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].nameOk && entries[i].name == name) {
            list_->setCurrentIndex(model_->index(static_cast<int>(i), 0));
            list_->selectionModel()->select(
                model_->index(static_cast<int>(i), 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            list_->setFocus();
            break;
        }
    }
}

void CMyFileDialog::GoUp() {
    if (sorting_ || currentFolder_.empty()) return;
    std::string parent = ParentPath(currentFolder_);
    ShowFolder(parent.empty() ? std::string("/") : parent);
}

void CMyFileDialog::OpenRow(int row) {
    if (sorting_) return;
    const auto& e = model_->Entries();
    if (row < 0 || row >= static_cast<int>(e.size())) return;
    const EntryInfo& entry = e[static_cast<std::size_t>(row)];
    if (!IsFolderEntry(entry) || !entry.nameOk) return;
    ShowFolder(JoinPath(currentFolder_, entry.name));
}

void CMyFileDialog::SelectAll() {
    list_->selectAll();
    list_->setFocus();
}

void CMyFileDialog::SetButtonsEnabled(bool on) {
    okBtn_->setEnabled(on);
    cancelBtn_->setEnabled(on);
    upBtn_->setEnabled(on);
    allBtn_->setEnabled(on);
}

void CMyFileDialog::SortByColumn(int column) {
    if (sorting_ || column < 0 || column > 2) return;
    EntrySortKey key =
        column == 0 ? EntrySortKey::Name : (column == 1 ? EntrySortKey::Size : EntrySortKey::Date);
    bool& toggle = column == 0 ? nameAsc_ : (column == 1 ? sizeAsc_ : dateAsc_);
    const bool ascending = toggle;
    toggle = !toggle;
    sortWork_ = model_->Entries();
    SetButtonsEnabled(false);
    const bool started =
        sorter_->Start([this, key, ascending] { SortEntries(sortWork_, key, ascending); },
                       [this, column, ascending] {
                           model_->SetEntries(std::move(sortWork_));
                           sortWork_.clear();
                           list_->header()->setSortIndicator(
                               column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
                           SetButtonsEnabled(true);
                       });
    if (!started) {
        toggle = ascending;
        sortWork_.clear();
        SetButtonsEnabled(true);
    }
}

void CMyFileDialog::reject() {
    if (!sorting_) QDialog::reject();
}

void CMyFileDialog::accept() {
    if (sorting_) return;
    const auto& entries = model_->Entries();
    std::vector<bool> picked(entries.size(), false);
    int count = 0;
    if (!entries.empty() && entries.size() <= 1000000) {
        for (const QModelIndex& i : list_->selectionModel()->selectedRows()) {
            picked[static_cast<std::size_t>(i.row())] = true;
            ++count;
        }
    }
    if (count == 0) {
        host_->Ask(U8("何も選択されていません"), MsgKind::Ok, MsgIcon::Warning);
        return;
    }
    selected_.clear();
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (picked[i]) selected_.push_back(entries[i]);
    QDialog::accept();
}

}  // namespace dov
