// The main window driven as a user drives it: menus, tool bar, pop-up menus,
// the list and its commands, the status bar, dialogs and messages.

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>
#include <memory>
#include <thread>

#include "about_dialog.h"
#include "file_list_model.h"
#include "main_window.h"
#include "popup_button.h"
#include "support/test_support.h"
#include "ui_test_support.h"
#include "zplatform/window_registry.h"

using namespace zandro;
using namespace zandro::ui;
using namespace ui_testing;
using testing_support::TempDir;

namespace {

const QString kEmptyCounts =
    QStringLiteral("Total 0 audio files listed(0 wma/0 mp3/0 wav)    Total 0 audio files selected(0 wma/0 mp3/0 wav)");

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString FileNameOf(const std::string& path) { return Q(std::filesystem::path(path).filename().string()); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TfmConvertor> window_;
  std::unique_ptr<ScriptedMessages> messages_;

  void Open(std::unique_ptr<FileList> list = nullptr) {
    window_ = std::make_unique<TfmConvertor>(std::move(list));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  TfmConvertor& W() { return *window_; }
  QAction* Action(const char* name) { return W().findChild<QAction*>(QLatin1String(name)); }
  void Trigger(const char* name) {
    QAction* action = Action(name);
    QVERIFY2(action != nullptr, name);
    action->trigger();
  }
  // The file names of the rows, in view order, read through the view's model.
  QStringList Names() {
    QStringList names;
    const QAbstractItemModel* model = W().listView().model();
    for (int row = 0; row < model->rowCount(); ++row) {
      names << QFileInfo(model->index(row, 0).data().toString()).fileName();
    }
    return names;
  }
  QStringList ViewSelectedNames() {
    QStringList names;
    const QAbstractItemModel* model = W().listView().model();
    for (int row = 0; row < model->rowCount(); ++row) {
      if (W().listView().selectionModel()->isRowSelected(row, QModelIndex())) {
        names << QFileInfo(model->index(row, 0).data().toString()).fileName();
      }
    }
    return names;
  }
  QStringList RowSelectedNames() {
    QStringList names;
    for (std::size_t row = 0; row < W().fileList().size(); ++row) {
      if (W().fileList().at(row).selected) names << FileNameOf(W().fileList().at(row).caption);
    }
    return names;
  }
  void ListFakeRows(const QStringList& names) {
    for (const QString& name : names) W().AddFileToList("/music/" + name.toStdString());
  }
  void AddAllUnder(const std::string& directory) { W().AddDirectoryToList(directory); }
  void Idle() { QTest::qWait(0); QCoreApplication::processEvents(); }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() { messages_ = std::make_unique<ScriptedMessages>(); }

  void cleanup() {
    window_.reset();
    QCoreApplication::processEvents();
    QCOMPARE(VisibleTopLevels(), QStringList());
    messages_.reset();
  }

  // ---- menus and tool bar ----

  void menuBarHoldsEveryEntryInOrder() {
    Open();
    QStringList titles;
    for (QAction* action : W().menuBar()->actions()) titles << action->text();
    QCOMPARE(titles, (QStringList{"&File", "&Convert", "&Tool", "&About"}));

    auto entries = [](QMenu* menu) {
      QStringList out;
      for (QAction* action : menu->actions()) out << (action->isSeparator() ? QStringLiteral("-") : action->text());
      return out;
    };
    QMenu* file = W().menuBar()->actions().at(0)->menu();
    QCOMPARE(entries(file),
             (QStringList{"Add File", "Add Directory", "-", "Delete Selected", "Select", "Delete", "-", "Exit"}));
    QCOMPARE(entries(file->actions().at(1)->menu()), (QStringList{"All Audio Files", "WMA", "MP3", "WAV"}));
    QCOMPARE(entries(W().menuBar()->actions().at(1)->menu()), (QStringList{"Convert All", "Convert Selected"}));
    QCOMPARE(entries(W().menuBar()->actions().at(2)->menu()),
             (QStringList{"Change Selected Files Tag Info", "Group Set Selected Files Tag Info",
                          "Auto Rename Selected Files", "Undo Auto Rename"}));
    QCOMPARE(entries(W().menuBar()->actions().at(3)->menu()).first(), QStringLiteral("Help"));
    QCOMPARE(entries(W().menuBar()->actions().at(3)->menu()).last(), QStringLiteral("About"));
  }

  void menuEntry_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("enabled");
    auto row = [](const char* path, const char* action, const char* shortcut, const char* hint, bool enabled) {
      QTest::newRow(path) << path << action << shortcut << hint << enabled;
    };
    row("&File/Add File", "FileAddFileCmd", "Ctrl+O", "Add Files to convertor list", true);
    row("&File/Add Directory/All Audio Files", "FileAddDirAllCmd", "Ctrl+D",
        "Add all supported audio files from one directory", true);
    row("&File/Add Directory/WMA", "FileAddDirWMACmd", "", "Add all wma files from one directory", true);
    row("&File/Add Directory/MP3", "FileAddDirMP3Cmd", "", "Add all mp3 audio files from one directory", true);
    row("&File/Add Directory/WAV", "FileAddDirWAVCmd", "", "Add all wav audio files from one directory", true);
    row("&File/Delete Selected", "FileDeleteSelCmd", "Del", "Delete all selected files", true);
    row("&File/Select/All", "FileSelectAllCmd", "Ctrl+A", "Select all files", true);
    row("&File/Select/WMA", "FileSelectWmaCmd", "", "Select all wma files", true);
    row("&File/Select/MP3", "FileSelectMp3Cmd", "", "Select all mp3 files", true);
    row("&File/Select/WAV", "FileSelectWavCmd", "", "Select all wav files", true);
    row("&File/Delete/All", "FileDeleteAllCmd", "", "Delete all files from convertor list", true);
    row("&File/Delete/WMA", "FileDeleteWmaCmd", "", "Delete all wma files from convertor list", true);
    row("&File/Delete/MP3", "FileDeleteMp3Cmd", "", "Delete all mp3 files from convertor list", true);
    row("&File/Delete/WAV", "FileDeleteWavCmd", "", "Delete all wav files from convertor list", true);
    row("&File/Exit", "FileExitCmd", "", "", true);
    row("&Convert/Convert All/To WMA", "ConvertWmaCmd", "", "", true);
    row("&Convert/Convert All/To MP3", "ConvertMp3Cmd", "", "", true);
    row("&Convert/Convert All/To WAV", "ConvertWavCmd", "", "", true);
    row("&Convert/Convert Selected/To WMA", "ConvertSelectWmaCmd", "", "", true);
    row("&Convert/Convert Selected/To MP3", "ConvertSelectMp3Cmd", "", "", true);
    row("&Convert/Convert Selected/To WAV", "ConvertSelectWavCmd", "", "", true);
    row("&Tool/Change Selected Files Tag Info", "ToolChangeTagInfoCmd", "", "", true);
    row("&Tool/Group Set Selected Files Tag Info/Author", "ToolGroupSetAuthorCmd", "", "", true);
    row("&Tool/Group Set Selected Files Tag Info/Album", "ToolGroupSetAlbumCmd", "", "", true);
    row("&Tool/Group Set Selected Files Tag Info/Year", "ToolGroupSetYearCmd", "", "", true);
    row("&Tool/Auto Rename Selected Files", "ToolAutoRenameCmd", "", "Auto Rename use tag information", true);
    // Usable once an auto rename has renamed something.
    row("&Tool/Undo Auto Rename", "ToolUndoAutoRenameCmd", "", "", false);
    row("&About/Help", "AboutHelpCmd", "F1", "", true);
    row("&About/About", "AboutAboutCmd", "", "", true);
  }

  void menuEntry() {
    QFETCH(QString, path);
    QFETCH(QString, action);
    QFETCH(QString, shortcut);
    QFETCH(QString, hint);
    QFETCH(bool, enabled);
    Open();
    const QStringList steps = path.split('/');
    QList<QAction*> level = W().menuBar()->actions();
    QAction* found = nullptr;
    for (const QString& step : steps) {
      found = nullptr;
      for (QAction* candidate : level) {
        if (candidate->text() == step) found = candidate;
      }
      QVERIFY2(found != nullptr, qPrintable(step));
      if (found->menu()) level = found->menu()->actions();
    }
    QCOMPARE(found->objectName(), action);
    QCOMPARE(found->shortcut().toString(QKeySequence::PortableText), shortcut);
    if (!hint.isEmpty()) QCOMPARE(found->toolTip(), hint);
    QCOMPARE(found->isEnabled(), enabled);
  }

  void toolButton_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QStringList>("popup");  // empty: the button runs an action
    QTest::newRow("SpeedButton1") << 0 << "SpeedButton1" << "Add File" << "Add Files to convertor list"
                                  << QStringList();
    QTest::newRow("SpeedButton2") << 1 << "SpeedButton2" << "Add Directory"
                                  << "Add Audio Files from one direcotry to convertor list"
                                  << QStringList{"All Audio Files", "WMA", "MP3", "WAV"};
    QTest::newRow("SpeedButton7") << 2 << "SpeedButton7" << "Delete Selected" << "Delete all selected files"
                                  << QStringList();
    QTest::newRow("SpeedButton4") << 3 << "SpeedButton4" << "Select" << "Select Files in convertor list"
                                  << QStringList{"All", "WMA", "MP3", "WAV"};
    QTest::newRow("SpeedButton3") << 4 << "SpeedButton3" << "Delete" << "Delete files from convertor list"
                                  << QStringList{"All", "WMA", "MP3", "WAV"};
    QTest::newRow("SpeedButton6") << 5 << "SpeedButton6" << "Convert All" << "Convert all files in convertor list"
                                  << QStringList{"To WMA", "To MP3", "To WAV"};
    QTest::newRow("SpeedButton5") << 6 << "SpeedButton5" << "Convert Selected"
                                  << "Convert only selected files in convertor list"
                                  << QStringList{"To WMA", "To MP3", "To WAV"};
  }

  void toolButton() {
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QStringList, popup);
    Open();
    auto* bar = W().findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    QVERIFY(bar);
    // Left to right, separators aside.
    QList<QToolButton*> buttons;
    for (QAction* action : bar->actions()) {
      if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action))) buttons << button;
    }
    QCOMPARE(buttons.size(), 7);
    QToolButton* button = buttons.at(position);
    QCOMPARE(button->objectName(), name);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->toolTip(), hint);
    QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QVERIFY(!button->icon().isNull());
    auto* popupButton = qobject_cast<PopupButton*>(button);
    QCOMPARE(popupButton != nullptr, !popup.isEmpty());
    if (!popupButton) return;
    QStringList entries;
    for (QAction* action : popupButton->popup()->actions()) entries << action->text();
    QCOMPARE(entries, popup);
    // The pop-up entries are the menu bar's own actions.
    for (QAction* action : popupButton->popup()->actions()) {
      QCOMPARE(W().findChild<QAction*>(action->objectName()), action);
    }
  }

  void popupOpensAtTheReleasePoint_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<Qt::MouseButton>("mouse");
    QTest::addColumn<QPoint>("at");
    QTest::newRow("add directory, left") << "SpeedButton2" << Qt::LeftButton << QPoint(6, 9);
    QTest::newRow("select, right") << "SpeedButton4" << Qt::RightButton << QPoint(20, 30);
    QTest::newRow("delete, middle") << "SpeedButton3" << Qt::MiddleButton << QPoint(3, 4);
    QTest::newRow("convert all, left") << "SpeedButton6" << Qt::LeftButton << QPoint(10, 10);
    QTest::newRow("convert selected, right") << "SpeedButton5" << Qt::RightButton << QPoint(12, 2);
  }

  void popupOpensAtTheReleasePoint() {
    QFETCH(QString, name);
    QFETCH(Qt::MouseButton, mouse);
    QFETCH(QPoint, at);
    Open();
    auto* button = W().findChild<PopupButton*>(name);
    QVERIFY(button);
    QTest::mousePress(button, mouse, Qt::NoModifier, at);
    QVERIFY(QApplication::activePopupWidget() == nullptr);  // not on the press
    QTest::mouseRelease(button, mouse, Qt::NoModifier, at);
    QWidget* shown = QApplication::activePopupWidget();
    QCOMPARE(shown, static_cast<QWidget*>(button->popup()));
    QCOMPARE(shown->pos(), button->mapToGlobal(at));
    shown->close();
  }

  // ---- adding files ----

  void addFileUsesTheFilterAndListsTheChosenFiles() {
    TempDir dir;
    const std::string wav = WriteWav(dir.File("tone.wav"), 2, 44100, 2500);
    const std::string mp3 = WriteMp3(dir.File("song.mp3"), 1, 22050);
    QVERIFY(!mp3.empty());
    testing_support::WriteBytes(dir.File("notes.txt"), {'x'});
    Open();
    QStringList filters;
    bool multiple = false;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
      filters = dialog->nameFilters();
      multiple = dialog->fileMode() == QFileDialog::ExistingFiles;
      dialog->setDirectory(Q(dir.path().string()));
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
          ->setText(QStringLiteral("\"tone.wav\" \"song.mp3\" \"notes.txt\""));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    Trigger("FileAddFileCmd");
    QCOMPARE(filters, (QStringList{"All Supported File (*.mp3 *.wav *.wma)", "MP3 Audio (*.mp3)",
                                   "WMA Audio (*.wma)", "WAV Audio (*.wav)"}));
    QVERIFY(multiple);
    QCOMPARE(Names(), (QStringList{"tone.wav", "song.mp3"}));
    // A typed-in name of another kind is refused by the probe with its own words.
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(Q(messages_->shown[0].text), QStringLiteral("We can only accept mp3 and wav file"));

    const QAbstractItemModel* model = W().listView().model();
    auto text = [model](int row, Column column) { return model->index(row, static_cast<int>(column)).data().toString(); };
    QCOMPARE(text(0, Column::FileName), Q(wav));
    QCOMPARE(text(0, Column::Type), QStringLiteral("WAV"));
    QCOMPARE(text(0, Column::SamplesPerSec), QStringLiteral("44100"));
    QCOMPARE(text(0, Column::Channels), QStringLiteral("stereo"));
    QCOMPARE(text(0, Column::Bitrate), QStringLiteral("1378"));
    QCOMPARE(text(0, Column::Time), QStringLiteral("00:00:02"));
    QCOMPARE(text(1, Column::Type), QStringLiteral("MP3"));
    QCOMPARE(text(1, Column::SamplesPerSec), QStringLiteral("22050"));
    QCOMPARE(text(1, Column::Channels), QStringLiteral("mono"));
    QCOMPARE(text(1, Column::Time), QStringLiteral("00:00:00"));
    QStringList headers;
    for (int column = 0; column < kColumnCount; ++column) headers << model->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{"FileName", "Type", "Samples/Sec", "Channels", "Bitrate(kbps)", "Time", "Title",
                                   "Author", "Album", "Track", "Year"}));
    QCOMPARE(W().listView().header()->sectionSize(0), 200);
    const int widths[] = {200, 40, 80, 60, 80, 100, 100, 120, 120, 40};
    for (int column = 0; column < 10; ++column) QVERIFY(W().listView().header()->sectionSize(column) >= widths[column]);
  }

  void addFileCancelledAddsNothing() {
    Open();
    WhenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    Trigger("FileAddFileCmd");
    QCOMPARE(W().listView().model()->rowCount(), 0);
  }

  void addDirectoryListsTheTreeByKind_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("all") << "FileAddDirAllCmd" << "Select Directory(*.wma/*.mp3/*.wav) :"
                         << QStringList{"deep.Wav", "far.mp3", "mid.MP3", "top.wav"};
    QTest::newRow("mp3") << "FileAddDirMP3Cmd" << "Select Directory(*.mp3) :" << QStringList{"far.mp3", "mid.MP3"};
    QTest::newRow("wav") << "FileAddDirWAVCmd" << "Select Directory(*.wav) :" << QStringList{"deep.Wav", "top.wav"};
    QTest::newRow("wma") << "FileAddDirWMACmd" << "Select Directory(*.wma) :" << QStringList();
  }

  void addDirectoryListsTheTreeByKind() {
    QFETCH(QString, action);
    QFETCH(QString, title);
    QFETCH(QStringList, listed);
    TempDir dir;
    WriteWav(dir.File("top.wav"), 1, 8000);
    QVERIFY(!WriteMp3(dir.File("a/mid.MP3"), 2, 44100).empty());
    WriteWav(dir.File("a/b/deep.Wav"), 2, 11025);
    QVERIFY(!WriteMp3(dir.File("a/b/c/far.mp3"), 1, 32000).empty());
    WriteWav(dir.File(".hidden/skip.wav"), 1, 8000);
    testing_support::WriteBytes(dir.File("a/note.txt"), {'x'});
    Open();
    QString shownTitle;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
      shownTitle = dialog->windowTitle();
      dialog->setDirectory(Q(dir.path().string()));
      QMetaObject::invokeMethod(dialog, "accept");
    });
    Trigger(action.toLatin1().constData());
    QCOMPARE(shownTitle, title);
    QStringList names = Names();
    names.sort();
    QCOMPARE(names, listed);
    QVERIFY(messages_->shown.empty());
    Idle();
    QCOMPARE(W().statusText(), Q(W().fileList().StatusText()));
  }

  void aScanLetsTheUserWorkAndKeepsTheCountsCurrent() {
    TempDir dir;
    constexpr int kFiles = 12;
    for (int i = 0; i < kFiles; ++i) WriteWav(dir.File("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".wav"), 1, 8000);
    Open();
    int rowsWhenUserActed = -1;
    QString countsWhenUserActed;
    QString expectedCounts;
    // Fires at the first chance the scan gives the event loop.
    QTimer::singleShot(0, &W(), [&] {
      rowsWhenUserActed = W().listView().model()->rowCount();
      countsWhenUserActed = W().statusText();
      expectedCounts = Q(W().fileList().StatusText());
      Trigger("FileDeleteAllCmd");
    });
    AddAllUnder(dir.path().string());
    QVERIFY(rowsWhenUserActed >= 1);
    QVERIFY(rowsWhenUserActed < kFiles);
    QCOMPARE(countsWhenUserActed, expectedCounts);
    QCOMPARE(W().listView().model()->rowCount(), kFiles - rowsWhenUserActed);
    QCOMPARE(static_cast<int>(W().fileList().size()), kFiles - rowsWhenUserActed);
    QCOMPARE(W().statusText(), Q(W().fileList().StatusText()));
  }

  void closingTheWindowStopsARunningScan() {
    TempDir dir;
    for (int i = 0; i < 10; ++i) WriteWav(dir.File("f" + std::to_string(i) + ".wav"), 1, 8000);
    Open();
    QTimer::singleShot(0, &W(), [&] { Trigger("FileExitCmd"); });
    AddAllUnder(dir.path().string());
    QVERIFY(!W().isVisible());
    QVERIFY(W().listView().model()->rowCount() < 10);
    QVERIFY(!W().fileList().Scanning());
  }

  void droppedFilesAndFoldersAreAddedAsByTheAddCommands() {
    TempDir dir;
    WriteWav(dir.File("one.wav"), 1, 8000);
    testing_support::WriteBytes(dir.File("notes.txt"), {'x'});
    WriteWav(dir.File("folder/two.WAV"), 2, 8000);
    QVERIFY(!WriteMp3(dir.File("folder/inner/three.mp3"), 1, 16000).empty());
    testing_support::WriteBytes(dir.File("folder/readme.txt"), {'x'});
    Open();

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Q(dir.File("one.wav"))), QUrl::fromLocalFile(Q(dir.File("notes.txt"))),
                  QUrl::fromLocalFile(Q(dir.File("folder"))), QUrl(QStringLiteral("https://example.org/x.mp3"))});
    const QPoint at = W().listView().geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(&W(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(&W(), &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(W().listView().model()->rowCount(), 3);
    QStringList names = Names();
    names.sort();
    QCOMPARE(names, (QStringList{"one.wav", "three.mp3", "two.WAV"}));
    QVERIFY(messages_->shown.empty());

    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/y.mp3"))});
    QDragEnterEvent refused(at, Qt::CopyAction, &web, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QCoreApplication::sendEvent(&W(), &refused);
    QVERIFY(!refused.isAccepted());
  }

  // ---- sorting, selecting, deleting ----

  void headerClickSortsAscendingEveryTime() {
    TempDir dir;
    for (std::uint32_t rate : {44100u, 8000u, 22050u, 11025u}) {
      WriteWav(dir.File("r" + std::to_string(rate) + ".wav"), 1, rate);
    }
    Open();
    for (std::uint32_t rate : {44100u, 8000u, 22050u, 11025u}) {
      W().AddFileToList(dir.File("r" + std::to_string(rate) + ".wav"));
    }
    // The user selects the 8000 row; the selection must follow it.
    W().listView().selectionModel()->select(W().listView().model()->index(1, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QHeaderView* header = W().listView().header();
    const int column = static_cast<int>(Column::SamplesPerSec);
    auto rates = [this, column] {
      QStringList out;
      const QAbstractItemModel* model = W().listView().model();
      for (int row = 0; row < model->rowCount(); ++row) out << model->index(row, column).data().toString();
      return out;
    };
    for (int click = 0; click < 2; ++click) {
      QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                        QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
      QCOMPARE(rates(), (QStringList{"11025", "22050", "44100", "8000"}));
      QVERIFY(!header->isSortIndicatorShown());
      QCOMPARE(W().fileList().SortColumn(), column);
      QCOMPARE(ViewSelectedNames(), QStringList{"r8000.wav"});
      QCOMPARE(RowSelectedNames(), QStringList{"r8000.wav"});
    }
    // Rows added later go to the end, unsorted.
    WriteWav(dir.File("r16000.wav"), 1, 16000);
    W().AddFileToList(dir.File("r16000.wav"));
    QCOMPARE(rates().last(), QStringLiteral("16000"));
  }

  void selectByKind_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("selected");
    QTest::newRow("all") << "FileSelectAllCmd" << QStringList{"a.wma", "b.MP3", "c.wav", "d.WMA", "e.mp3"};
    QTest::newRow("wma") << "FileSelectWmaCmd" << QStringList{"a.wma", "d.WMA"};
    QTest::newRow("mp3") << "FileSelectMp3Cmd" << QStringList{"b.MP3", "e.mp3"};
    QTest::newRow("wav") << "FileSelectWavCmd" << QStringList{"c.wav"};
  }

  void selectByKind() {
    QFETCH(QString, action);
    QFETCH(QStringList, selected);
    Open(std::make_unique<FileList>(ProbeByExtension()));
    ListFakeRows({"a.wma", "b.MP3", "c.wav", "d.WMA", "e.mp3"});
    Trigger("FileSelectAllCmd");
    Trigger(action.toLatin1().constData());  // replaces the selection
    QCOMPARE(ViewSelectedNames(), selected);
    QCOMPARE(RowSelectedNames(), selected);
    Idle();
    QCOMPARE(W().statusText(), Q(W().fileList().StatusText()));
  }

  void deleteByKind_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QStringList>("leftSelected");
    const QStringList mixed{"a.wma", "b.MP3", "c.wav", "d.WMA", "e.mp3"};
    QTest::newRow("all") << mixed << "FileSelectWmaCmd" << "FileDeleteAllCmd" << QStringList() << QStringList();
    QTest::newRow("wma") << mixed << "FileSelectWmaCmd" << "FileDeleteWmaCmd" << QStringList{"b.MP3", "c.wav", "e.mp3"}
                         << QStringList();
    QTest::newRow("mp3, all selected") << mixed << "FileSelectAllCmd" << "FileDeleteMp3Cmd"
                                       << QStringList{"a.wma", "c.wav", "d.WMA"}
                                       << QStringList{"a.wma", "c.wav", "d.WMA"};
    QTest::newRow("wav, wma selected") << mixed << "FileSelectWmaCmd" << "FileDeleteWavCmd"
                                       << QStringList{"a.wma", "b.MP3", "d.WMA", "e.mp3"}
                                       << QStringList{"a.wma", "d.WMA"};
    QTest::newRow("wav, none listed") << QStringList{"x.mp3", "y.WMA"} << "FileSelectMp3Cmd" << "FileDeleteWavCmd"
                                      << QStringList{"x.mp3", "y.WMA"} << QStringList{"x.mp3"};
  }

  void deleteByKind() {
    QFETCH(QStringList, rows);
    QFETCH(QString, select);
    QFETCH(QString, action);
    QFETCH(QStringList, left);
    QFETCH(QStringList, leftSelected);
    Open(std::make_unique<FileList>(ProbeByExtension()));
    ListFakeRows(rows);
    Trigger(select.toLatin1().constData());
    Trigger(action.toLatin1().constData());
    QCOMPARE(Names(), left);
    // The selection of removed rows must neither linger nor move onto the rows that stay.
    QCOMPARE(RowSelectedNames(), leftSelected);
    QCOMPARE(ViewSelectedNames(), leftSelected);
    QVERIFY(messages_->shown.empty());
  }

  void deleteSelectedNeedsASelection() {
    Open(std::make_unique<FileList>(ProbeByExtension()));
    ListFakeRows({"a.wav", "b.mp3", "c.wma", "d.wav"});
    Trigger("FileDeleteSelCmd");
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->shown[0].kind, zplatform::MessageKind::Plain);
    QCOMPARE(Q(messages_->shown[0].text), QStringLiteral("There is no file selected !"));
    QCOMPARE(Names().size(), 4);

    // The user picks rows 0 and 2 with the mouse, then presses Del.
    QTreeView& view = W().listView();
    auto click = [&view](int row, Qt::KeyboardModifiers modifiers) {
      QTest::mouseClick(view.viewport(), Qt::LeftButton, modifiers, view.visualRect(view.model()->index(row, 1)).center());
    };
    click(0, Qt::NoModifier);
    click(2, Qt::ControlModifier);
    QCOMPARE(RowSelectedNames(), (QStringList{"a.wav", "c.wma"}));
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(Names(), (QStringList{"b.mp3", "d.wav"}));
    QCOMPARE(ViewSelectedNames(), QStringList());
    QCOMPARE(RowSelectedNames(), QStringList());
    QCOMPARE(messages_->shown.size(), std::size_t{1});
  }

  // ---- status bar ----

  void statusBarSaysReadyThenCounts() {
    window_ = std::make_unique<TfmConvertor>(std::make_unique<FileList>(ProbeByExtension()));
    QCOMPARE(W().statusText(), QStringLiteral("Ready"));  // until the first idle moment
    W().show();
    QTRY_COMPARE(W().statusText(), kEmptyCounts);

    ListFakeRows({"x.wma", "y.mp3", "z.wav"});
    QItemSelectionModel* selection = W().listView().selectionModel();
    selection->select(W().listView().model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(W().listView().model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTRY_COMPARE(W().statusText(),
                 QStringLiteral("Total 3 audio files listed(1 wma/1 mp3/1 wav)    "
                                "Total 2 audio files selected(1 wma/1 mp3/0 wav)"));
    // Hints never reach the status bar.
    QStatusTipEvent tip(QStringLiteral("Add Files to convertor list"));
    QCoreApplication::sendEvent(&W(), &tip);
    QCOMPARE(W().statusBar()->currentMessage(), QString());
    QVERIFY(W().findChild<QLabel*>(QStringLiteral("StatusText"))->isVisible());
  }

  // ---- messages from the WMA library ----

  void rightsNoticePostedFromAnotherThreadIsShown() {
    Open();
    bool posted = false;
    std::thread poster([&posted] { posted = zplatform::PostMessageTo("TfmConvertor", 1224, 0, 0); });
    poster.join();
    QVERIFY(posted);
    QVERIFY(messages_->shown.empty());  // posted, not sent
    QTRY_COMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->shown[0].kind, zplatform::MessageKind::Error);
    QCOMPARE(messages_->shown[0].buttons, zplatform::MessageButtons::Ok);
    QCOMPARE(Q(messages_->shown[0].text),
             QStringLiteral("Sorry, We now don't support converting for digital rights management (DRM) protected "
                            "WMA audio file."));
    zplatform::PostMessageTo("TfmConvertor", 1225, 0, 0);  // any other message: nothing
    Idle();
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    window_.reset();
    QVERIFY(!zplatform::PostMessageTo("TfmConvertor", 1224, 0, 0));
  }

  void rightsNoticeArrivesWhileAModalWindowIsOpen() {
    Open();
    std::size_t shownWhileModal = 0;
    WhenModal<TfmAbout>([&](TfmAbout* about) {
      std::thread([] { zplatform::PostMessageTo("TfmConvertor", 1224, 0, 0); }).join();
      // The about box stays open until the notice has been shown.
      auto* wait = new QTimer(about);
      connect(wait, &QTimer::timeout, about, [&, about] {
        if (messages_->shown.empty()) return;
        shownWhileModal = messages_->shown.size();
        about->accept();
      });
      wait->start(5);
    });
    Trigger("AboutAboutCmd");
    QCOMPARE(shownWhileModal, std::size_t{1});
  }

  // ---- help, about, exit ----

  void helpOpensTheManualBesideTheProgramFromAnyDirectory() {
    TempDir elsewhere;
    const QString before = QDir::currentPath();
    QDir::setCurrent(Q(elsewhere.path().string()));
    OpenedUrls files(QStringLiteral("file"));
    Open();
    QVERIFY(QTest::qWaitForWindowActive(&W()));
    QTest::keyClick(&W(), Qt::Key_F1);
    QDir::setCurrent(before);
    QCOMPARE(files.urls.size(), 1);
    const QFileInfo opened(files.urls[0].toLocalFile());
    QCOMPARE(opened.canonicalFilePath(), QFileInfo(QDir(QCoreApplication::applicationDirPath()).filePath("help.html")).canonicalFilePath());
    QFile manual(opened.filePath());
    QVERIFY(manual.open(QIODevice::ReadOnly));
    QVERIFY(manual.readAll().contains("Add Directory"));
  }

  void aboutBoxShowsNameVersionAndLink() {
    Open();
    OpenedUrls web(QStringLiteral("https"));
    QString title, name, version;
    int pixels = 0;
    Qt::CursorShape cursor = Qt::ArrowCursor;
    WhenModal<TfmAbout>([&](TfmAbout* about) {
      title = about->windowTitle();
      auto* nameLabel = about->findChild<QLabel*>(QStringLiteral("lbName"));
      name = nameLabel->text();
      pixels = nameLabel->font().pixelSize();
      version = about->findChild<QLabel*>(QStringLiteral("lbVersion"))->text();
      auto* link = about->findChild<QLabel*>(QStringLiteral("lbLink"));
      cursor = link->cursor().shape();
      emit link->linkActivated(QStringLiteral("https://zandro.sourceforge.io/"));
      QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    Trigger("AboutAboutCmd");
    QCOMPARE(title, QStringLiteral("About"));
    QCOMPARE(name, QStringLiteral("Zandro"));
    QCOMPARE(pixels, 19);
    QVERIFY(version.startsWith(QStringLiteral("Version ")));
    QCOMPARE(cursor, Qt::PointingHandCursor);
    QCOMPARE(web.urls.size(), 1);
  }

  void windowIsNamedRegisteredAndExitCloses() {
    Open();
    QCOMPARE(W().windowTitle(), QStringLiteral("Zandro"));
    QCOMPARE(QString::fromLatin1(W().metaObject()->className()), QStringLiteral("zandro::ui::TfmConvertor"));
    QVERIFY(zplatform::FindWindowByClass("TfmConvertor") != 0);
    QCOMPARE(W().listView().objectName(), QStringLiteral("lvConvertor"));
    QCOMPARE(W().listView().selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(W().listView().editTriggers(), QAbstractItemView::NoEditTriggers);
    Trigger("FileExitCmd");
    QVERIFY(!W().isVisible());
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
