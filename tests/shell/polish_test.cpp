// What a user sees of the window beyond its commands: Qt's own texts in Japanese, controls
// that fit the window, fields and focus that follow the user's actions.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOption>
#include <QWindow>

#include "shell/app.h"
#include "shell/filedrop.h"
#include "shell/linelistdlg.h"
#include "shell/mainframe.h"
#include "shell/qtfiledialogs.h"
#include "shell/settingsdialogs.h"
#include "shell/treelines.h"
#include "shell_test_support.h"
#include "support/test_support.h"

using namespace dov;
using namespace shelltest;

class PolishTest : public QObject {
    Q_OBJECT

  private slots:
    void standardButtonsSpeakJapanese() {
        QVERIFY(InstallJapaneseQtTexts(*qApp));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Save | QDialogButtonBox::Open);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("キャンセル"));
        QCOMPARE(box.button(QDialogButtonBox::Save)->text(), QString::fromUtf8("保存"));
        QCOMPARE(box.button(QDialogButtonBox::Open)->text(), QString::fromUtf8("開く"));
    }

    void droppedFilesAreGroupedByFolderAndStrangersRefused() {
        dovtest::TempDir dir;
        dir.WriteFile("d/a.txt");
        dir.WriteFile("d/sub/inner.txt");
        dir.WriteFile("e/b.txt");
        auto url = [&](const std::string& rel) {
            return QUrl::fromLocalFile(QString::fromStdString(dir / rel));
        };
        const DropReading r = ReadDroppedUrls({
            url("d/a.txt"), url("d/sub"), url("d/sub/inner.txt"),  // inside a dropped folder
            url("e/b.txt"), url("d/missing"), QUrl("https://example.org/x"),
            QUrl::fromLocalFile("/"), url("d/./a.txt"),  // the same entry again
        });
        QCOMPARE(r.refused, 4);
        QCOMPARE(int(r.folders.size()), 2);
        QCOMPARE(r.folders[0].folder, Cp(dir / "d"));
        QCOMPARE(int(r.folders[0].picked.size()), 2);
        QCOMPARE(r.folders[0].picked[0].name, std::string("a.txt"));
        QVERIFY(r.folders[0].picked[1].isDir);
        QCOMPARE(r.folders[1].folder, Cp(dir / "e"));
    }

    void treeBranchesAreDrawnAsLines() {
        // The branch of an item with a sibling below it and no children: only a line.
        CTreeLinesStyle style;
        QStyleOption opt;
        opt.rect = QRect(0, 0, 20, 20);
        opt.state = QStyle::State_Item | QStyle::State_Sibling;
        opt.palette.setColor(QPalette::Dark, Qt::black);
        QImage img(20, 20, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        style.drawPrimitive(QStyle::PE_IndicatorBranch, &opt, &p);
        p.end();
        int inked = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) inked += img.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(inked >= 10);
    }

    void aboutBoxKeepsTheFolderOnOneLineAndRoomForItsTitle() {
        QMessageBox box;
        SetUpAboutBox(box, nullptr);
        box.show();
        auto* info = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
        QVERIFY(info && !info->wordWrap());
        QVERIFY(box.width() > box.fontMetrics().horizontalAdvance(box.windowTitle()) + 100);
    }

    void colourDialogGivesEverySwatchACellOfItsOwn() {
        CColorDlg dlg(DefaultColors());
        dlg.chooser = [](ColorRef& c) {
            c = 0x123456;
            return true;
        };
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        // No two controls overlap, so every swatch can be clicked and every caption read.
        QList<QWidget*> parts;
        for (QWidget* w : dlg.findChildren<QWidget*>())
            if (qobject_cast<QLabel*>(w) || w->objectName().size() > 0) parts << w;
        for (qsizetype i = 0; i < parts.size(); ++i)
            for (qsizetype j = i + 1; j < parts.size(); ++j)
                QVERIFY2(!parts[i]->geometry().intersects(parts[j]->geometry()) ||
                             parts[i]->parentWidget() != parts[j]->parentWidget(),
                         qPrintable(parts[i]->objectName() + " " + parts[j]->objectName()));
        for (int id : {int(kConflictText), int(CColorDlg::kChangedNameSwatch)}) {
            QTest::mouseClick(dlg.Swatch(id), Qt::LeftButton);
        }
        QCOMPARE(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text(),
                 QString::fromUtf8("キャンセル"));  // Qt's own, as in every other dialog
        QCOMPARE(dlg.Colors()[kConflictText], ColorRef(0x123456));
        QCOMPARE(dlg.ChangedNameColor(), ColorRef(0x123456));
        QCOMPARE(dlg.Colors()[kTreeText], DefaultColors()[kTreeText]);
    }

    void fileChoosersShowFolderTypesAndDatesInJapanese() {
        dovtest::TempDir dir;
        dir.WriteFile("d/sub/x.txt");
        QFileDialog dlg(nullptr, {}, QString::fromStdString(dir / "d"));
        MakeJapanese(dlg);
        dlg.show();
        auto* fs = dlg.findChild<QFileSystemModel*>();
        QVERIFY(fs && dlg.proxyModel());
        const QString sub = QString::fromStdString(dir / "d/sub");
        QTRY_VERIFY(fs->index(sub).isValid());
        auto cell = [&](int column) {
            return dlg.proxyModel()->mapFromSource(fs->index(sub, column)).data().toString();
        };
        QCOMPARE(cell(2), QString::fromUtf8("フォルダ"));
        QVERIFY2(
            QRegularExpression("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d$").match(cell(3)).hasMatch(),
            qPrintable(cell(3)));
    }

    void theWindowWearsTheProgramIconAndAsksOnceItIsShown() {
        dovtest::TempDir dir;
        CMainFrame frame;
        const QImage drawn = QImage(":/icons/dovreth-48.png");
        QVERIFY(!drawn.isNull());
        QVERIFY(frame.windowIcon().availableSizes().contains(drawn.size()));
        const QImage worn = frame.windowIcon().pixmap(drawn.size()).toImage();
        QCOMPARE(worn.pixelColor(24, 24), drawn.pixelColor(24, 24));
        QMessageBox about;
        SetUpAboutBox(about, &frame);
        QVERIFY(!about.iconPixmap().isNull());
        bool asked = false;
        WhenShown(&frame, [&] { asked = frame.windowHandle()->isExposed(); });
        frame.show();
        QTRY_VERIFY(asked);
    }

    void longListsStayWithinTheScreen() {
        QStringList lines;
        for (int i = 0; i < 5000; ++i) lines << QStringLiteral("line %1").arg(i);
        CLineListDlg dlg(QStringLiteral("heading"), LinesOf(lines.join('\n') + '\n'));
        dlg.show();
        QCOMPARE(dlg.List()->count(), 5000);
        const QSize bound = CLineListDlg::Bound(dlg.screen()->availableSize());
        QVERIFY(dlg.width() <= bound.width() && dlg.height() <= bound.height());
        QVERIFY(dlg.List()->verticalScrollBar()->isVisible());
    }
};

DOV_QTEST_MAIN(PolishTest)
#include "polish_test.moc"
