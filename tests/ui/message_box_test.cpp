// The message boxes the program shows through its installed sink: caption,
// icon, buttons and the answer of the button pressed.

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "qt_message_sink.h"
#include "ui_test_support.h"

using zplatform::MessageAnswer;
using zplatform::MessageButtons;
using zplatform::MessageKind;

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(ui_testing::VisibleTopLevels(), QStringList()); }

  void eachKindShowsItsCaptionIconAndButtons_data() {
    QTest::addColumn<MessageKind>("kind");
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QStringList>("buttonTexts");
    QTest::addColumn<QString>("press");  // empty: Escape
    QTest::addColumn<MessageAnswer>("answer");
    QTest::newRow("plain") << MessageKind::Plain << MessageButtons::Ok << "Zandro" << QMessageBox::NoIcon
                           << QStringList{"OK"} << "OK" << MessageAnswer::Ok;
    QTest::newRow("information") << MessageKind::Information << MessageButtons::Ok << "Information"
                                 << QMessageBox::Information << QStringList{"OK"} << "" << MessageAnswer::Ok;
    QTest::newRow("error, OK and Cancel: Cancel")
        << MessageKind::Error << MessageButtons::OkCancel << "Error" << QMessageBox::Critical
        << QStringList{"Cancel", "OK"} << "Cancel" << MessageAnswer::Cancel;
    QTest::newRow("error, OK and Cancel: Escape")
        << MessageKind::Error << MessageButtons::OkCancel << "Error" << QMessageBox::Critical
        << QStringList{"Cancel", "OK"} << "" << MessageAnswer::Cancel;
    QTest::newRow("confirm: No") << MessageKind::Confirm << MessageButtons::Ok << "Confirm" << QMessageBox::Question
                                 << QStringList{"&No", "&Yes", "Cancel"} << "&No" << MessageAnswer::No;
    QTest::newRow("confirm: Yes") << MessageKind::Confirm << MessageButtons::Ok << "Confirm"
                                  << QMessageBox::Question << QStringList{"&No", "&Yes", "Cancel"} << "&Yes"
                                  << MessageAnswer::Yes;
    QTest::newRow("confirm: Escape") << MessageKind::Confirm << MessageButtons::Ok << "Confirm"
                                     << QMessageBox::Question << QStringList{"&No", "&Yes", "Cancel"} << ""
                                     << MessageAnswer::Cancel;
  }

  void eachKindShowsItsCaptionIconAndButtons() {
    QFETCH(MessageKind, kind);
    QFETCH(MessageButtons, buttons);
    QFETCH(QString, caption);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QStringList, buttonTexts);
    QFETCH(QString, press);
    QFETCH(MessageAnswer, answer);
    zandro::ui::ScopedQtMessages installed;

    QString seenCaption, seenText;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    QStringList seenButtons;
    ui_testing::WhenModal<QMessageBox>([&](QMessageBox* box) {
      seenCaption = box->windowTitle();
      seenText = box->text();
      seenIcon = box->icon();
      QAbstractButton* target = nullptr;
      for (QAbstractButton* button : box->buttons()) {
        seenButtons << button->text();
        if (button->text() == press) target = button;
      }
      if (target) {
        QTest::mouseClick(target, Qt::LeftButton);
      } else {
        QTest::keyClick(box, Qt::Key_Escape);
      }
    });
    const MessageAnswer got = zplatform::ShowMessage(kind, "line one\nline two", buttons);
    seenButtons.sort();
    QCOMPARE(seenCaption, caption);
    QCOMPARE(seenText, QStringLiteral("line one\nline two"));
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenButtons, buttonTexts);
    QCOMPARE(got, answer);
  }

  void inputQueryKeepsWholeCharactersWithinItsLimit() {
    zandro::ui::ScopedQtMessages installed;
    ui_testing::WhenModal<QDialog>([](QDialog* dialog) {
      auto* edit = dialog->findChild<QLineEdit*>();
      edit->setText(QString::fromUtf8("ab\xc3\xa9\xc3\xa9"));  // 6 bytes of UTF-8, the limit is 5
      dialog->accept();
    });
    std::string value;
    QVERIFY(zplatform::Messages().InputQuery("Author", "New author:", value, 5));
    QCOMPARE(QString::fromStdString(value), QString::fromUtf8("ab\xc3\xa9"));

    ui_testing::WhenModal<QDialog>([](QDialog* dialog) { dialog->reject(); });
    std::string kept = "old";
    QVERIFY(!zplatform::Messages().InputQuery("Author", "New author:", kept, 255));
    QCOMPARE(QString::fromStdString(kept), QStringLiteral("old"));
  }
};

QTEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
