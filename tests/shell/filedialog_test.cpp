// The file selection dialog: listing, going up and down, sorting on its worker, the OK rules.
#include "shell/filedialog.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <memory>

#include "common/fs.h"
#include "shell/filesort.h"
#include "shell/qthost.h"
#include "shell/qttext.h"
#include "shell_test_support.h"
#include "support/test_support.h"

using namespace dov;
using namespace shelltest;

class FileDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<dovtest::TempDir> dir_;
    std::unique_ptr<QWidget> window_;
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<CMyFileDialog> dlg_;

    QStringList Names() {
        QStringList out;
        for (int r = 0; r < dlg_->Model()->rowCount(); ++r)
            out << dlg_->Model()->index(r, 0).data().toString();
        return out;
    }
    void Wait() { QTRY_VERIFY_WITH_TIMEOUT(!dlg_->Sorting(), 30000); }
    void SortAndWait(int column) {
        dlg_->SortByColumn(column);
        QTRY_VERIFY_WITH_TIMEOUT(dlg_->findChild<QPushButton*>("ok")->isEnabled(), 30000);
    }

  private slots:
    void init() {
        dir_ = std::make_unique<dovtest::TempDir>();
        window_ = std::make_unique<QWidget>();
        host_ = std::make_unique<QtHost>(window_.get(), nullptr);
        AnswerDefaults(host_.get());
        dlg_ = std::make_unique<CMyFileDialog>(host_.get(), window_.get());
        dir_->WriteFile("f/B.txt", std::string(300, 'b'));
        dir_->WriteFile("f/a.txt", std::string(100, 'a'));
        dir_->WriteFile("f/c.txt", std::string(200, 'c'));
        dir_->WriteFile("f/Zdir/in.txt", "");
        dir_->WriteFile("f/ydir/in.txt", "");
        dir_->WriteFile("f/.../x", "");
    }
    void cleanup() {
        dlg_.reset();
        host_.reset();
        window_.reset();
        dir_.reset();
    }

    void listsFoldersFirstAndSkipsDotNames() {
        dlg_->ShowFolder(Cp(dir_->path() + "/f"));
        QVERIFY(dlg_->Sorting());  // listed on the dialog's worker
        Wait();
        QCOMPARE(Names(), QStringList({"ydir", "Zdir", "a.txt", "B.txt", "c.txt"}));
        QCOMPARE(dlg_->FolderEdit()->text(), QString::fromStdString(dir_->path() + "/f"));
        QCOMPARE(dlg_->windowTitle(), QString::fromUtf8("ファイル・フォルダの入力"));
        // The name column fits a long name.
        const std::string longName(40, 'n');
        dlg_->show();
        dir_->WriteFile("g/" + longName, "");
        dlg_->ShowFolder(Cp(dir_->path() + "/g"));
        Wait();
        QVERIFY(dlg_->List()->columnWidth(0) >
                dlg_->List()->fontMetrics().horizontalAdvance(QString::fromStdString(longName)));
    }

    void columnSortsToggleAndKeepFoldersInPlace() {
        dlg_->ShowFolder(Cp(dir_->path() + "/f"));
        Wait();
        SortAndWait(0);  // the first click after opening sorts ascending
        QCOMPARE(Names(), QStringList({"ydir", "Zdir", "a.txt", "B.txt", "c.txt"}));
        SortAndWait(0);
        QCOMPARE(Names(), QStringList({"Zdir", "ydir", "c.txt", "B.txt", "a.txt"}));
        SortAndWait(1);  // size sorts files only
        QCOMPARE(Names(), QStringList({"Zdir", "ydir", "a.txt", "c.txt", "B.txt"}));
        SortAndWait(1);
        QCOMPARE(Names(), QStringList({"Zdir", "ydir", "B.txt", "c.txt", "a.txt"}));
        // The header shows the last sort.
        QCOMPARE(dlg_->List()->header()->sortIndicatorSection(), 1);
        QCOMPARE(dlg_->List()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    }

    void upAndOpenWalkTheDisk() {
        dlg_->ShowFolder(Cp(dir_->path() + "/f"));
        Wait();
        dlg_->OpenRow(1);
        Wait();  // Zdir
        QCOMPARE(dlg_->CurrentFolder(), Cp(dir_->path() + "/f/Zdir"));
        QCOMPARE(Names(), QStringList({"in.txt"}));
        dlg_->OpenRow(0);
        Wait();  // a file: nothing happens
        QCOMPARE(dlg_->CurrentFolder(), Cp(dir_->path() + "/f/Zdir"));
        dlg_->GoUp();
        Wait();
        QCOMPARE(dlg_->CurrentFolder(), Cp(dir_->path() + "/f"));
        dlg_->ShowFolder("/");
        Wait();
        dlg_->GoUp();
        Wait();
        QCOMPARE(dlg_->CurrentFolder(), std::string("/"));
    }

    void okNeedsASelectionAndHandsBackTheRowsInListOrder() {
        dlg_->ShowFolder(Cp(dir_->path() + "/f"));
        Wait();
        dlg_->show();
        dlg_->accept();
        QVERIFY(SawMessage(host_.get(), QString::fromUtf8("何も選択されていません")));
        QVERIFY(dlg_->isVisible());
        auto* sel = dlg_->List()->selectionModel();
        sel->select(dlg_->Model()->index(4, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        sel->select(dlg_->Model()->index(1, 0),
                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        dlg_->accept();
        QCOMPARE(dlg_->result(), int(QDialog::Accepted));
        QCOMPARE(int(dlg_->Selected().size()), 2);
        QCOMPARE(dlg_->Selected()[0].name, std::string("Zdir"));
        QCOMPARE(dlg_->Selected()[1].name, std::string("c.txt"));
    }

    void aTypedPathIsShownOrRefusedWithAMessage() {
        const QString f = QString::fromStdString(dir_->path() + "/f");
        struct Case {
            QString typed;
            std::string folder;  // shown afterwards
            QString picked;      // the selected row, if any
            bool found;
        } cases[] = {
            {f + "/Zdir/../ydir/", dir_->path() + "/f/ydir", {}, true},
            {"  " + f + "/c.txt", dir_->path() + "/f", "c.txt", true},
            {f + "/missing", dir_->path() + "/f", {}, false},
            {"f/Zdir", dir_->path() + "/f", {}, false},  // not absolute
        };
        dlg_->show();
        for (const Case& c : cases) {
            dlg_->ShowFolder(Cp(dir_->path() + "/f"));
            Wait();
            host_->ClearMessages();
            dlg_->FolderEdit()->setText(c.typed);
            QTest::keyClick(dlg_->FolderEdit(), Qt::Key_Return);
            Wait();
            QCOMPARE(dlg_->CurrentFolder(), Cp(c.folder));
            QCOMPARE(dlg_->FolderEdit()->text(), QString::fromStdString(c.folder));
            QCOMPARE(SawMessage(host_.get(), QString::fromUtf8("パスが見つかりません")), !c.found);
            const auto rows = dlg_->List()->selectionModel()->selectedRows();
            QCOMPARE(rows.isEmpty() ? QString() : rows.front().data().toString(), c.picked);
            QVERIFY(dlg_->isVisible());  // Enter stayed in the field
        }
    }

    void selectAllPicksEveryRow() {
        dlg_->ShowFolder(Cp(dir_->path() + "/f"));
        Wait();
        QTest::mouseClick(dlg_->findChild<QPushButton*>("selectAll"), Qt::LeftButton);
        QCOMPARE(dlg_->List()->selectionModel()->selectedRows().size(), 5);
    }

    void rootListHoldsRealFileSystemsOnly() {
        const std::string mounts =
            "proc /proc proc rw 0 0\n"
            "/dev/sda1 / ext4 rw 0 0\n"
            "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\n"
            "tmpfs /run tmpfs rw 0 0\n"
            "server:/x /mnt/nfs nfs4 rw 0 0\n";
        const auto roots = RootFolders(mounts, "/home/me");
        QCOMPARE(roots,
                 (std::vector<std::string>{"/", "/home/me", "/media/usb stick", "/mnt/nfs"}));
    }

    void sizesOfFourGigabytesShowInFull() {
        FindData a, b;
        a.nFileSizeHigh = 1;
        b.nFileSizeLow = 0xFFFFFFFFu;
        QCOMPARE(CompareEntrySize(a, b), 1);
        QCOMPARE(CompareEntrySize(b, a), -1);
        QCOMPARE(SizeText(4294967296ull), QString("4,294,967,296"));
    }
};

DOV_QTEST_MAIN(FileDialogTest)
#include "filedialog_test.moc"
