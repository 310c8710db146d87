// What a user sees of the window beyond its commands: Qt's own texts in Japanese, controls
// that fit the window, fields and focus that follow the user's actions.
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "shell/app.h"
#include "shell/settingsdialogs.h"
#include "shell_test_support.h"

using namespace dov;

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
