// What a user sees of the window beyond its commands: Qt's own texts in Japanese, controls
// that fit the window, fields and focus that follow the user's actions.
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTranslator>

#include "shell/app.h"
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
};

DOV_QTEST_MAIN(PolishTest)
#include "polish_test.moc"
