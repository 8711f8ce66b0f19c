// Start-up without the WMA runtime, with the real binding over a program
// directory that lacks the libraries. The binding happens once per process,
// so this lives in its own test program.

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "audio/wma_bridge.h"
#include "program.h"
#include "support/test_support.h"
#include "ui_test_support.h"

using namespace ui_testing;

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void withoutTheRuntimeTheProgramExplainsAndEnds_data() {
    QTest::addColumn<zplatform::MessageAnswer>("answer");
    QTest::addColumn<int>("pagesOpened");
    QTest::newRow("OK opens the download page") << zplatform::MessageAnswer::Ok << 1;
    QTest::newRow("Cancel just ends") << zplatform::MessageAnswer::Cancel << 0;
  }

  void withoutTheRuntimeTheProgramExplainsAndEnds() {
    QFETCH(zplatform::MessageAnswer, answer);
    QFETCH(int, pagesOpened);
    testing_support::TempDir programDirectory;  // holds neither libwmvcore.so nor libtalvex.so
    // The library is there, but without the runtime it must not even be loaded.
    testing_support::WriteBytes(programDirectory.File("libtalvex.so"), {0x7f, 'E', 'L', 'F'});
    ScriptedMessages messages;
    messages.answers.push_back(answer);
    OpenedUrls pages(QStringLiteral("https"));
    // Had the program entered its event loop, this would end it and tell.
    bool loopRan = false;
    QTimer::singleShot(0, qApp, [&loopRan] {
      loopRan = true;
      QCoreApplication::exit(3);
    });

    const int code = zandro::ui::RunProgram(*qApp, {programDirectory.path().string()});

    QCOMPARE(code, 0);
    QVERIFY(!zandro::WmaAvailable());
    QCOMPARE(messages.shown.size(), std::size_t{1});
    const ShownMessage& shown = messages.shown[0];
    QCOMPARE(shown.kind, zplatform::MessageKind::Error);
    QCOMPARE(QString::fromStdString(shown.caption), QStringLiteral("Error"));
    QCOMPARE(shown.buttons, zplatform::MessageButtons::OkCancel);
    const QStringList lines = QString::fromStdString(shown.text).split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral(
                           "Sorry, You haven't installed Windows Media Player version 7 or higher, please install it "
                           "first !"));
    QVERIFY(lines[1].startsWith(QStringLiteral("You can get it freely from this URL: https://")));
    QCOMPARE(lines[2], QStringLiteral("Get It now ?"));
    QCOMPARE(pages.urls.size(), pagesOpened);
    if (pagesOpened) QCOMPARE(pages.urls[0].toString(), lines[1].mid(lines[1].indexOf(QStringLiteral("https://"))));
    QCOMPARE(VisibleTopLevels(), QStringList());
    QCoreApplication::processEvents();  // lets the guard timer go by
    QVERIFY(loopRan);                   // ... which it could only now, outside the program
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
