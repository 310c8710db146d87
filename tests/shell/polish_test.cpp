// What a user sees of the window beyond its commands: Qt's own texts in Japanese, controls
// that fit the window, fields and focus that follow the user's actions.
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>

#include "shell/app.h"
#include "shell/filedrop.h"
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
};

DOV_QTEST_MAIN(PolishTest)
#include "polish_test.moc"
