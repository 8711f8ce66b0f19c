// The tag and naming windows driven as a user drives them: the overwrite
// prompt, the tag dialog, the rule dialog, the byte limit of their edits,
// and the tool commands of the main window that open them.

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <memory>

#include "dialog_support.h"
#include "file_exist_dialog.h"
#include "main_window.h"
#include "qt_message_sink.h"
#include "support/test_support.h"
#include "tag_info_dialog.h"
#include "tag_rule_dialog.h"
#include "ui_test_support.h"
#include "zplatform/text.h"

using namespace zandro;
using namespace zandro::ui;
using namespace ui_testing;
using testing_support::TempDir;

namespace {

// Types text key by key, letters outside ASCII included.
void Type(QWidget* widget, const QString& text) {
  for (const uint letter : text.toUcs4()) {
    const QString one = QString::fromUcs4(reinterpret_cast<const char32_t*>(&letter), 1);
    QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, one, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, one, Qt::NoModifier);
  }
}

void Touch(const std::string& path) { testing_support::WriteBytes(path, testing_support::Bytes{1, 2, 3}); }

}  // namespace

class TagDialogsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScriptedMessages> messages_;
  std::unique_ptr<TfmConvertor> window_;

  TfmConvertor& Open(std::unique_ptr<FileList> list) {
    window_ = std::make_unique<TfmConvertor>(std::move(list));
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) qWarning("main window not exposed");
    return *window_;
  }
  QAction* Action(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }
  void SelectOnly(std::size_t row) {
    for (std::size_t i = 0; i < window_->fileList().size(); ++i) window_->fileList().SetSelected(i, i == row);
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
  void init() { messages_ = std::make_unique<ScriptedMessages>(); }
  void cleanup() {
    window_.reset();
    QCoreApplication::processEvents();
    QCOMPARE(VisibleTopLevels(), QStringList());
    messages_.reset();
  }

  // ---- the overwrite prompt ----

  void promptShowsTheQuestionThePathAndTheName() {
    TempDir dir;
    const std::string existing = dir.File("song.mp3");
    Touch(existing);
    QString question, shownPath, startName, caption;
    QStringList buttons;
    WhenModal<TfmFileExist>([&](TfmFileExist* prompt) {
      caption = prompt->windowTitle();
      for (QLabel* label : prompt->findChildren<QLabel*>()) {
        if (label->text().startsWith("Sorry")) question = label->text();
      }
      shownPath = Child<QLabel>(prompt, "lbFile")->text();
      startName = Child<QLineEdit>(prompt, "Edit1")->text();
      for (QPushButton* button : prompt->findChildren<QPushButton*>()) buttons << button->text();
      Click(prompt, "Skip");
    });
    QtOverwritePrompt prompt;
    const FileExistReply reply = prompt.Ask(existing);
    QCOMPARE(reply.answer, FileExistAnswer::Skip);
    QCOMPARE(caption, QStringLiteral("File Exist"));
    QCOMPARE(question, QStringLiteral("Sorry, we found this file already exists, What to do now ?"));
    QCOMPARE(shownPath, QString::fromStdString(existing));
    QCOMPARE(startName, QStringLiteral("song.mp3"));
    QCOMPARE(buttons, (QStringList{"Use New Name", "OverWrite", "Skip"}));
    QVERIFY(std::filesystem::exists(existing));
  }

  void promptAnswers_data() {
    QTest::addColumn<QString>("button");  // empty: Escape
    QTest::addColumn<FileExistAnswer>("answer");
    QTest::newRow("OverWrite") << "OverWrite" << FileExistAnswer::OverWrite;
    QTest::newRow("Skip") << "Skip" << FileExistAnswer::Skip;
    QTest::newRow("closed without a button") << "" << FileExistAnswer::None;
  }

  void promptAnswers() {
    QFETCH(QString, button);
    QFETCH(FileExistAnswer, answer);
    TempDir dir;
    const std::string existing = dir.File("a.wav");
    Touch(existing);
    WhenModal<TfmFileExist>([&](TfmFileExist* prompt) {
      if (button.isEmpty()) {
        QTest::keyClick(prompt, Qt::Key_Escape);
      } else {
        Click(prompt, button);
      }
    });
    QtOverwritePrompt prompt;
    QCOMPARE(prompt.Ask(existing).answer, answer);
    QVERIFY(messages_->shown.empty());
  }

  void useNewNameStaysOpenUntilTheNameIsFree() {
    TempDir dir;
    const std::string existing = dir.File("a.mp3");
    Touch(existing);
    Touch(dir.File("b.mp3"));
    bool openAfterSameName = false, openAfterTakenName = false;
    WhenModal<TfmFileExist>([&](TfmFileExist* prompt) {
      Click(prompt, "Use New Name");  // the existing file's own name
      openAfterSameName = prompt->isVisible();
      prompt->edit()->setText("b.mp3");
      Click(prompt, "Use New Name");
      openAfterTakenName = prompt->isVisible();
      prompt->edit()->setText("c.mp3");
      Click(prompt, "Use New Name");
    });
    QtOverwritePrompt prompt;
    const FileExistReply reply = prompt.Ask(existing);
    QVERIFY(openAfterSameName);
    QVERIFY(openAfterTakenName);
    QCOMPARE(reply.answer, FileExistAnswer::UseNewName);
    QCOMPARE(reply.newName, std::string("c.mp3"));
    QCOMPARE(messages_->shown.size(), std::size_t{2});
    QCOMPARE(messages_->shown[0].kind, zplatform::MessageKind::Error);
    QCOMPARE(messages_->shown[0].text, existing + " still exists!");
    QCOMPARE(messages_->shown[1].text, dir.File("b.mp3") + " still exists!");
  }

  // ---- the byte limit of the edits ----

  void editsKeepWithinTheirBytes_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("typed");  // typed key by key
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");
    const QString e = QString::fromUtf8("\xc3\xa9");           // two bytes
    const QString clef = QString::fromUtf8("\xf0\x9d\x84\x9e");  // four bytes, two UTF-16 units
    QTest::newRow("typing stops at the width") << 19 << "" << QString(25, 'x') << "" << QString(19, 'x');
    QTest::newRow("a two-byte letter with one byte left")
        << 19 << QString(18, 'x') << e << "" << QString(18, 'x');
    QTest::newRow("a two-byte letter that fits") << 19 << QString(17, 'x') << e << "" << QString(17, 'x') + e;
    QTest::newRow("a paste keeps the whole letters that fit")
        << 5 << "ab" << "" << (e + e + e) << ("ab" + e);
    QTest::newRow("a paste never splits a pair") << 6 << "ab" << "" << (clef + clef) << ("ab" + clef);
    QTest::newRow("255 letters of two bytes hold 127")
        << 255 << "" << "" << QString(200, QChar(0xe9)) << QString(127, QChar(0xe9));
  }

  void editsKeepWithinTheirBytes() {
    QFETCH(int, limit);
    QFETCH(QString, start);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    QLineEdit edit;
    edit.setValidator(new Utf8LimitValidator(static_cast<std::size_t>(limit), &edit));
    edit.setText(start);
    edit.end(false);
    if (!typed.isEmpty()) Type(&edit, typed);
    if (!pasted.isEmpty()) {
      QGuiApplication::clipboard()->setText(pasted);
      edit.paste();
    }
    QCOMPARE(edit.text(), expected);
    QVERIFY(edit.text().toUtf8().size() <= limit);
  }

  void inputQueryRefusesInputPastItsBytes() {
    QtMessageSink sink;
    QString caption, prompt;
    WhenModal<QDialog>([&](QDialog* query) {
      caption = query->windowTitle();
      for (QLabel* label : query->findChildren<QLabel*>()) prompt = label->text();
      QLineEdit* edit = query->findChild<QLineEdit*>();
      QTest::keyClicks(edit, QString(30, 'y'));
      Click(query, "OK");
    });
    std::string value;
    QVERIFY(sink.InputQuery("Set Year", "Year is", value, 19));
    QCOMPARE(value, std::string(19, 'y'));
    QCOMPARE(caption, QStringLiteral("Set Year"));
    QCOMPARE(prompt, QStringLiteral("Year is"));
  }

  // ---- the tag dialog ----

  void tagDialogShowsTheFieldsInOrderAndUpdates() {
    SongTags tags{};
    zplatform::CopyToField("T", tags.title);
    zplatform::CopyToField("A", tags.author);
    zplatform::CopyToField("L", tags.album);
    zplatform::CopyToField("7", tags.track);
    zplatform::CopyToField("1999", tags.year);
    QString caption;
    QStringList order, texts;
    WhenModal<TfmTagInfo>([&](TfmTagInfo* dialog) {
      caption = dialog->windowTitle();
      // Reading order is tab order from the first edit.
      QWidget* at = Child<QLineEdit>(dialog, "edTitle");
      for (int i = 0; i < 5 && at; ++i) {
        if (auto* edit = qobject_cast<QLineEdit*>(at)) {
          order << edit->objectName();
          texts << edit->text();
        }
        at = at->nextInFocusChain();
      }
      Child<QLineEdit>(dialog, "edAlbum")->setText("New album");
      QTest::keyClicks(Child<QLineEdit>(dialog, "edYear"), "0123456789abcdefghijkl");
      Click(dialog, "Update");
    });
    QtTagDialog dialog;
    QVERIFY(dialog.Edit(tags));
    QCOMPARE(caption, QStringLiteral("TagInfo"));
    QCOMPARE(order, (QStringList{"edTitle", "edAuthor", "edAlbum", "edTrack", "edYear"}));
    QCOMPARE(texts, (QStringList{"T", "A", "L", "7", "1999"}));
    QCOMPARE(std::string(tags.album), std::string("New album"));
    QCOMPARE(std::string(tags.year), std::string("19990123456789abcde"));  // 19 bytes, the field's NUL kept
    QCOMPARE(std::string(tags.title), std::string("T"));
  }

  void tagDialogCancelChangesNothing() {
    SongTags tags{};
    zplatform::CopyToField("Keep", tags.title);
    WhenModal<TfmTagInfo>([&](TfmTagInfo* dialog) {
      Child<QLineEdit>(dialog, "edTitle")->setText("Other");
      Click(dialog, "Cancel");
    });
    QtTagDialog dialog;
    QVERIFY(!dialog.Edit(tags));
    QCOMPARE(std::string(tags.title), std::string("Keep"));
  }

  // ---- the rule dialog ----

  void rulePattern_data() {
    QTest::addColumn<QStringList>("unchecked");
    QTest::addColumn<QString>("splitter");  // typed after clearing the edit
    QTest::addColumn<QString>("pattern");
    QTest::newRow("all") << QStringList{} << "-" << "Author-Year-Album-Track-Title";
    QTest::newRow("without year and track") << QStringList{"cbYear", "cbTrack"} << "-" << "Author-Album-Title";
    QTest::newRow("none") << QStringList{"cbAuthor", "cbYear", "cbAlbum", "cbTrack", "cbTitle"} << "-" << "";
    QTest::newRow("underscore") << QStringList{} << "_" << "Author_Year_Album_Track_Title";
    QTest::newRow("several letters") << QStringList{"cbYear", "cbAlbum", "cbTrack"} << " - " << "Author - Title";
    QTest::newRow("slash and question mark dropped") << QStringList{"cbYear", "cbAlbum", "cbTrack"} << "/?+"
                                                     << "Author+Title";
    QTest::newRow("every refused letter dropped")
        << QStringList{"cbYear", "cbAlbum", "cbTrack"} << "\\/:*?\"<>|" << "AuthorTitle";
  }

  void rulePattern() {
    QFETCH(QStringList, unchecked);
    QFETCH(QString, splitter);
    QFETCH(QString, pattern);
    TagRuleSettings rule;
    QString shown, first;
    WhenModal<TfmTagRule>([&](TfmTagRule* dialog) {
      first = Child<QLineEdit>(dialog, "Edit1")->text();
      for (const QString& name : unchecked) Child<QCheckBox>(dialog, qPrintable(name))->click();
      QLineEdit* edit = Child<QLineEdit>(dialog, "edSplitter");
      edit->setFocus();
      edit->end(false);
      QTest::keyClick(edit, Qt::Key_Backspace);
      QTest::keyClicks(edit, splitter);
      shown = Child<QLineEdit>(dialog, "Edit1")->text();
      Click(dialog, "OK");
    });
    QtTagRuleDialog dialog;
    QVERIFY(dialog.Edit(rule));
    QCOMPARE(first, QStringLiteral("Author-Year-Album-Track-Title"));
    QCOMPARE(shown, pattern);
    QCOMPARE(RulePattern(rule), pattern.toStdString());
    QCOMPARE(rule.year, !unchecked.contains("cbYear"));
  }

  void ruleDialogControls() {
    TagRuleSettings rule;
    QString caption, refused, label;
    bool patternEnabled = true;
    QStringList boxes;
    WhenModal<TfmTagRule>([&](TfmTagRule* dialog) {
      caption = dialog->windowTitle();
      patternEnabled = Child<QLineEdit>(dialog, "Edit1")->isEnabled();
      for (const char* name : {"cbAuthor", "cbYear", "cbAlbum", "cbTitle", "cbTrack"}) {
        QCheckBox* box = Child<QCheckBox>(dialog, name);
        boxes << box->text() + (box->isChecked() ? "+" : "-");
      }
      for (QLabel* text : dialog->findChildren<QLabel*>()) {
        if (text->text().startsWith("do NOT")) refused = text->text();
        if (text->text().startsWith("Splitter")) label = text->text();
      }
      Click(dialog, "Cancel");
    });
    QtTagRuleDialog dialog;
    QVERIFY(!dialog.Edit(rule));
    QCOMPARE(caption, QStringLiteral("TagRule"));
    QVERIFY(!patternEnabled);
    QCOMPARE(boxes, (QStringList{"Author+", "Year+", "Album+", "Title+", "Track+"}));
    QCOMPARE(label, QStringLiteral("Splitter Letter :"));
    QCOMPARE(refused, QStringLiteral("do NOT include \\ / : * ? \" < > |"));
  }

  void pastingIntoTheSplitterIsNotFiltered() {
    TagRuleSettings rule;
    WhenModal<TfmTagRule>([&](TfmTagRule* dialog) {
      QLineEdit* edit = Child<QLineEdit>(dialog, "edSplitter");
      edit->setFocus();
      edit->selectAll();
      QGuiApplication::clipboard()->setText("a/b?");
      QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
      Click(dialog, "OK");
    });
    QtTagRuleDialog dialog;
    QVERIFY(dialog.Edit(rule));
    QCOMPARE(rule.splitter, std::string("a/b?"));
  }

  void ruleCancelKeepsTheRule() {
    TagRuleSettings rule;
    rule.splitter = "+";
    rule.year = false;
    WhenModal<TfmTagRule>([&](TfmTagRule* dialog) {
      Child<QCheckBox>(dialog, "cbAuthor")->click();
      QTest::keyClicks(Child<QLineEdit>(dialog, "edSplitter"), "=");
      Click(dialog, "Cancel");
    });
    QtTagRuleDialog dialog;
    QVERIFY(!dialog.Edit(rule));
    QCOMPARE(rule.splitter, std::string("+"));
    QVERIFY(rule.author);
    QVERIFY(!rule.year);
  }

  // ---- the tool commands of the main window ----

  void doubleClickEditsTheClickedRowOnly() {
    Open(std::make_unique<FileList>(ProbeByExtension()));
    for (const char* name : {"/music/a.mp3", "/music/b.wma", "/music/c.mp3"}) window_->AddFileToList(name);
    window_->fileList().SetText(1, Column::Title, "Second");
    window_->fileList().SetSelected(0, true);
    window_->fileList().SetSelected(2, true);
    QString shownTitle;
    WhenModal<TfmTagInfo>([&](TfmTagInfo* dialog) {
      shownTitle = Child<QLineEdit>(dialog, "edTitle")->text();
      Click(dialog, "Cancel");
    });
    QTreeView& view = window_->listView();
    QCoreApplication::processEvents();
    QCOMPARE(view.model()->rowCount(), 3);
    view.doItemsLayout();
    const QRect rect = view.visualRect(view.model()->index(1, 0));
    // As the window system delivers a double click: press, release, then the
    // second press as a double-click event.
    QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QCOMPARE(shownTitle, QStringLiteral("Second"));
    QVERIFY(!window_->fileList().at(0).selected);
    QVERIFY(window_->fileList().at(1).selected);
    QVERIFY(!window_->fileList().at(2).selected);
    QCOMPARE(window_->fileList().at(1).Text(Column::Title), std::string("Second"));
  }

  void groupSetOnAWavSelectionAsksNothing() {
    Open(std::make_unique<FileList>(ProbeByExtension()));
    for (const char* name : {"/music/a.mp3", "/music/b.wav"}) window_->AddFileToList(name);
    window_->fileList().SetSelected(0, true);
    window_->fileList().SetSelected(1, true);
    Action("ToolGroupSetAlbumCmd")->trigger();
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->shown[0].text, std::string("Can't set tag information to wav file !"));
  }

  void autoRenameStartsWithEveryTagCheckedAndKeepsTheSplitter() {
    Open(std::make_unique<FileList>(ProbeByExtension()));
    window_->AddFileToList("/music/none/a.mp3");  // no file: the rename fails, and says so
    window_->fileList().SetText(0, Column::Author, "X");
    SelectOnly(0);
    QStringList checkedEachTime;
    QStringList splitterEachTime;
    auto answer = [&](bool ok, const QString& splitter) {
      WhenModal<TfmTagRule>([&, ok, splitter](TfmTagRule* dialog) {
        QString checked;
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) checked += box->isChecked() ? "1" : "0";
        checkedEachTime << checked;
        splitterEachTime << Child<QLineEdit>(dialog, "edSplitter")->text();
        for (const char* name : {"cbYear", "cbTrack"}) Child<QCheckBox>(dialog, name)->click();
        Child<QLineEdit>(dialog, "edSplitter")->setText(splitter);
        Click(dialog, ok ? "OK" : "Cancel");
      });
      Action("ToolAutoRenameCmd")->trigger();
    };
    answer(true, "_");
    QVERIFY(!window_->tagRule().year);
    answer(false, "+");
    answer(false, "=");
    QCOMPARE(checkedEachTime, (QStringList{"11111", "11111", "11111"}));
    QCOMPARE(splitterEachTime, (QStringList{"-", "_", "_"}));
    QCOMPARE(window_->tagRule().splitter, std::string("_"));
    QCOMPARE(messages_->shown.size(), std::size_t{1});  // the one accepted rule
    QCOMPARE(messages_->shown[0].kind, zplatform::MessageKind::Error);
    QCOMPARE(messages_->shown[0].text,
             std::string("These files keep their names:\n/music/none/a.mp3: could not be renamed to "
                         "/music/none/X.mp3: no such file or directory"));
  }

  void autoRenameAndItsUndoOnRealFiles() {
    TempDir dir;
    const std::string source = WriteMp3(dir.File("track01.mp3"), 2, 44100);
    QVERIFY(!source.empty());
    Open(std::make_unique<FileList>());
    window_->AddFileToList(source);
    QCOMPARE(window_->fileList().size(), std::size_t{1});
    window_->fileList().SetText(0, Column::Author, "Abc");
    window_->fileList().SetText(0, Column::Title, "Xyz");
    for (Column column : {Column::Album, Column::Year, Column::Track}) window_->fileList().SetText(0, column, "");
    SelectOnly(0);
    QVERIFY(!Action("ToolUndoAutoRenameCmd")->isEnabled());
    WhenModal<TfmTagRule>([](TfmTagRule* dialog) { Click(dialog, "OK"); });
    Action("ToolAutoRenameCmd")->trigger();
    QCOMPARE(window_->fileList().at(0).caption, dir.File("Abc-Xyz.mp3"));
    QVERIFY(std::filesystem::exists(dir.File("Abc-Xyz.mp3")));
    QVERIFY(!std::filesystem::exists(source));

    QVERIFY(Action("ToolUndoAutoRenameCmd")->isEnabled());
    Action("ToolUndoAutoRenameCmd")->trigger();
    QCOMPARE(window_->fileList().at(0).caption, source);
    QVERIFY(std::filesystem::exists(source));
    QVERIFY(!Action("ToolUndoAutoRenameCmd")->isEnabled());
    QVERIFY(messages_->shown.empty());
  }

  void undoLeavesAFileWhoseOldNameIsTakenAndSaysSo() {
    TempDir dir;
    const std::string first = WriteMp3(dir.File("track01.mp3"), 2, 44100);
    const std::string second = WriteMp3(dir.File("track02.mp3"), 2, 44100);
    QVERIFY(!first.empty() && !second.empty());
    Open(std::make_unique<FileList>());
    window_->AddFileToList(first);
    window_->AddFileToList(second);
    for (std::size_t row : {0u, 1u}) {
      for (Column column : {Column::Album, Column::Year, Column::Track, Column::Author}) {
        window_->fileList().SetText(row, column, "");
      }
      window_->fileList().SetText(row, Column::Title, row == 0 ? "One" : "Two");
      window_->fileList().SetSelected(row, true);
    }
    WhenModal<TfmTagRule>([](TfmTagRule* dialog) { Click(dialog, "OK"); });
    Action("ToolAutoRenameCmd")->trigger();
    QCOMPARE(window_->fileList().at(0).caption, dir.File("One.mp3"));
    QCOMPARE(window_->fileList().at(1).caption, dir.File("Two.mp3"));
    Touch(first);  // a new file now holds the first old name

    Action("ToolUndoAutoRenameCmd")->trigger();
    QCOMPARE(window_->fileList().at(0).caption, dir.File("One.mp3"));
    QCOMPARE(window_->fileList().at(1).caption, second);
    QCOMPARE(std::filesystem::file_size(first), std::uintmax_t{3});
    QVERIFY(std::filesystem::exists(dir.File("One.mp3")));
    QVERIFY(std::filesystem::exists(second));
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QVERIFY(messages_->shown[0].text.rfind("These files keep their new names:", 0) == 0);
    QVERIFY(messages_->shown[0].text.find(dir.File("One.mp3")) != std::string::npos);
    QVERIFY(messages_->shown[0].text.find("track02") == std::string::npos);
  }

  // Two files with the same tags, every question answered OverWrite: the
  // second file is not renamed over the first, and the window says so.
  void autoRenameNeverReplacesAFileOfTheBatch() {
    TempDir dir;
    const std::string first = WriteMp3(dir.File("track01.mp3"), 1, 22050);
    const std::string second = WriteMp3(dir.File("track02.mp3"), 2, 44100);
    QVERIFY(!first.empty() && !second.empty());
    const auto firstSize = std::filesystem::file_size(first), secondSize = std::filesystem::file_size(second);
    QVERIFY(firstSize != secondSize);
    Open(std::make_unique<FileList>());
    window_->AddFileToList(first);
    window_->AddFileToList(second);
    for (std::size_t row : {0u, 1u}) {
      for (Column column : {Column::Album, Column::Year, Column::Track, Column::Title}) {
        window_->fileList().SetText(row, column, "");
      }
      window_->fileList().SetText(row, Column::Author, "Abc");
      window_->fileList().SetSelected(row, true);
    }
    int asked = 0;
    QTimer overwrite;  // lives only as long as this test
    overwrite.setInterval(5);
    connect(&overwrite, &QTimer::timeout, [&] {
      if (auto* prompt = qobject_cast<TfmFileExist*>(QApplication::activeModalWidget())) {
        ++asked;
        Click(prompt, "OverWrite");
      }
    });
    overwrite.start();
    WhenModal<TfmTagRule>([](TfmTagRule* dialog) { Click(dialog, "OK"); });
    Action("ToolAutoRenameCmd")->trigger();
    overwrite.stop();
    QCOMPARE(asked, 0);
    QCOMPARE(window_->fileList().at(0).caption, dir.File("Abc.mp3"));
    QCOMPARE(window_->fileList().at(1).caption, second);
    QCOMPARE(std::filesystem::file_size(dir.File("Abc.mp3")), firstSize);
    QCOMPARE(std::filesystem::file_size(second), secondSize);
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->shown[0].kind, zplatform::MessageKind::Error);
    QCOMPARE(messages_->shown[0].text, "These files keep their names:\n" + second + ": new name " +
                                           dir.File("Abc.mp3") + " collides with row 1");
    QVERIFY(Action("ToolUndoAutoRenameCmd")->isEnabled());
  }

  void autoRenameOntoATakenNameAsksAndSkipLeavesBoth() {
    TempDir dir;
    const std::string source = WriteMp3(dir.File("track01.mp3"), 1, 22050);
    QVERIFY(!source.empty());
    Touch(dir.File("Abc.mp3"));
    Open(std::make_unique<FileList>());
    window_->AddFileToList(source);
    window_->fileList().SetText(0, Column::Author, "Abc");
    for (Column column : {Column::Album, Column::Year, Column::Track, Column::Title}) {
      window_->fileList().SetText(0, column, "");
    }
    SelectOnly(0);
    QString asked;
    WhenModal<TfmTagRule>([&](TfmTagRule* dialog) {
      WhenModal<TfmFileExist>([&](TfmFileExist* prompt) {
        asked = Child<QLabel>(prompt, "lbFile")->text();
        Click(prompt, "Skip");
      });
      Click(dialog, "OK");
    });
    Action("ToolAutoRenameCmd")->trigger();
    QCOMPARE(asked, QString::fromStdString(dir.File("Abc.mp3")));
    QCOMPARE(window_->fileList().at(0).caption, source);
    QVERIFY(std::filesystem::exists(source));
    QCOMPARE(std::filesystem::file_size(dir.File("Abc.mp3")), std::uintmax_t{3});
    QVERIFY(!Action("ToolUndoAutoRenameCmd")->isEnabled());
  }
};

QTEST_MAIN(TagDialogsTest)
#include "tag_dialogs_test.moc"
