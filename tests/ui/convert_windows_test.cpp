// The conversion windows driven as a user drives them: the options dialog
// (tabs, stream table, bit-rate choices, directory and naming, preview) and
// the progress window over real runs (done, cancel, the overwrite prompt,
// the deletion question), opened from the main window's convert commands.

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

#include "audio/audio_io.h"
#include "audio/song_tags.h"
#include "audio/wma_bridge.h"
#include "convert_preview_dialog.h"
#include "convert_to_dialog.h"
#include "converting_window.h"
#include "engine/conversion_options.h"
#include "file_exist_dialog.h"
#include "main_window.h"
#include "support/test_support.h"
#include "ui_test_support.h"
#include "zplatform/text.h"

using namespace zandro;
using namespace zandro::ui;
using namespace ui_testing;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

QStringList ColumnTexts(const QTreeWidget& list, int column) {
  QStringList texts;
  for (int i = 0; i < list.topLevelItemCount(); ++i) texts << list.topLevelItem(i)->text(column);
  return texts;
}

QStringList Texts(const QListWidget& list) {
  QStringList texts;
  for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
  return texts;
}

// Picks the stream table's row, then clicks the choice with this text.
void ChooseBitrate(TfmConvertTo* dialog, int row, const QString& choice) {
  auto* streams = Child<QTreeWidget>(dialog, "lvSelectBitrate");
  auto* choices = Child<QListWidget>(dialog, "lbChangeBitrate");
  QVERIFY(streams && choices);
  streams->clearSelection();
  streams->topLevelItem(row)->setSelected(true);
  const QList<QListWidgetItem*> found = choices->findItems(choice, Qt::MatchExactly);
  QVERIFY2(!found.isEmpty(), qPrintable(choice));
  choices->scrollToItem(found.first());
  QTest::mouseClick(choices->viewport(), Qt::LeftButton, Qt::NoModifier,
                    choices->visualItemRect(found.first()).center());
}

// Every row of the stream table gets the first choice it offers.
void ChooseFirstBitrates(TfmConvertTo* dialog) {
  auto* streams = Child<QTreeWidget>(dialog, "lvSelectBitrate");
  auto* choices = Child<QListWidget>(dialog, "lbChangeBitrate");
  for (int row = 0; row < streams->topLevelItemCount(); ++row) {
    streams->clearSelection();
    streams->topLevelItem(row)->setSelected(true);
    QVERIFY2(choices->count() > 0, qPrintable(streams->topLevelItem(row)->text(0)));
    ChooseBitrate(dialog, row, choices->item(0)->text());
  }
}

// A WAV long enough that its conversion takes many blocks.
std::string WriteLongWav(const std::string& path) { return WriteWav(path, 2, 44100, 60000); }

std::string WriteWma(const std::string& path, std::uint16_t channels, std::uint32_t rate, const SongTags& tags) {
  const std::vector<std::string> choices = WmaChoicesFor({rate, channels});
  if (choices.empty()) return {};
  AudioInfo info;
  info.kind = AudioKind::Wma;
  info.sampleRate = rate;
  info.channels = channels;
  info.bitrate = static_cast<std::uint32_t>(std::stoul(choices.front()));
  if (!OpenAudioWriter(path, info)) return {};
  const testing_support::Bytes pcm = testing_support::Pcm16(std::size_t{rate} * channels * 2 / 2, 5);
  bool ok = WriteAudioBlock(info, pcm.data(), static_cast<std::uint32_t>(pcm.size()));
  ok = CloseAudioWriter(info) && ok;
  AudioInfo probed;
  ok = ok && ProbeAudioFile(path, probed) && WriteSongTags(path, probed, tags);
  return ok ? path : std::string();
}

SongTags Tags(const char* title, const char* author) {
  SongTags tags{};
  zplatform::CopyToField(title, tags.title);
  zplatform::CopyToField(author, tags.author);
  return tags;
}

}  // namespace

class ConvertWindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<ScriptedMessages> messages_;
  std::unique_ptr<TfmConvertor> window_;
  TagRuleSettings rule_;

  TfmConvertor& Open(std::unique_ptr<FileList> list = nullptr) {
    window_ = std::make_unique<TfmConvertor>(std::move(list));
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) qWarning("main window not exposed");
    return *window_;
  }
  QAction* Action(const char* name) { return window_->findChild<QAction*>(QLatin1String(name)); }

  // A list of three streams, read from their texts alone.
  std::unique_ptr<FileList> ListOfStreams(std::initializer_list<std::pair<const char*, const char*>> streams) {
    auto list = std::make_unique<FileList>(ProbeByExtension());
    int n = 0;
    for (const auto& [rate, channels] : streams) {
      list->AddFile("/music/f" + std::to_string(n) + ".wav");
      list->SetText(static_cast<std::size_t>(n), Column::SamplesPerSec, rate);
      list->SetText(static_cast<std::size_t>(n), Column::Channels, channels);
      ++n;
    }
    return list;
  }

 private slots:
  void initTestCase() {
    QApplication::setQuitOnLastWindowClosed(false);
    LoadWmaLibrary();
    QVERIFY2(WmaAvailable(), "the WMA library did not load");
  }
  void init() { messages_ = std::make_unique<ScriptedMessages>(); }
  void cleanup() {
    window_.reset();
    QCoreApplication::processEvents();
    QCOMPARE(VisibleTopLevels(), QStringList());
    messages_.reset();
  }

  // ---- the options dialog ----

  void streamTableHasOneRowPerStreamInFirstOrder() {
    auto list = ListOfStreams({{"44100", "stereo"}, {"44100", "mono"}, {"44100", "stereo"}});
    TfmConvertTo dialog(*list, rule_, false, 1);
    auto* table = Child<QTreeWidget>(&dialog, "lvSelectBitrate");
    QCOMPARE(table->headerItem()->text(0), QStringLiteral("Sample/Sec"));
    QCOMPARE(table->headerItem()->text(1), QStringLiteral("Channels"));
    QCOMPARE(table->headerItem()->text(2), QStringLiteral("Convert Bitrate"));
    QCOMPARE(ColumnTexts(*table, 0), (QStringList{"44100", "44100"}));
    QCOMPARE(ColumnTexts(*table, 1), (QStringList{"stereo", "mono"}));
    QCOMPARE(ColumnTexts(*table, 2), (QStringList{"unset", "unset"}));
    // The first row starts selected, with its choices shown.
    QVERIFY(table->topLevelItem(0)->isSelected());
    QCOMPARE(Child<QListWidget>(&dialog, "lbChangeBitrate")->count(), 14);
  }

  void selectedOnlyTakesTheSelectedRowsStreams() {
    auto list = ListOfStreams({{"22050", "mono"}, {"48000", "stereo"}});
    list->SetSelected(1, true);
    TfmConvertTo dialog(*list, rule_, true, 1);
    QCOMPARE(ColumnTexts(*Child<QTreeWidget>(&dialog, "lvSelectBitrate"), 0), (QStringList{"48000"}));
    QVERIFY(dialog.Settings().selectedOnly);
  }

  void mp3ChoicesFollowTheSampleRate() {
    auto list = ListOfStreams({{"22050", "stereo"}, {"48000", "stereo"}});
    TfmConvertTo dialog(*list, rule_, false, 1);
    auto* table = Child<QTreeWidget>(&dialog, "lvSelectBitrate");
    auto* choices = Child<QListWidget>(&dialog, "lbChangeBitrate");
    QCOMPARE(Texts(*choices), (QStringList{"8", "16", "24", "32", "40", "48", "56", "64", "80", "96", "112", "128",
                                           "144", "160"}));
    table->clearSelection();
    table->topLevelItem(1)->setSelected(true);
    QCOMPARE(Texts(*choices), (QStringList{"32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192",
                                           "224", "256", "320"}));
    ChooseBitrate(&dialog, 1, QStringLiteral("192"));
    QCOMPARE(ColumnTexts(*table, 2), (QStringList{"unset", "192"}));
    // Nothing selected: no choices.
    table->clearSelection();
    QCOMPARE(choices->count(), 0);
  }

  void wmaChoicesComeFromTheLibraryWithoutDuplicates() {
    auto list = ListOfStreams({{"44100", "stereo"}});
    TfmConvertTo dialog(*list, rule_, false, 0);
    const QStringList choices = Texts(*Child<QListWidget>(&dialog, "lbChangeBitrate"));
    QVERIFY(!choices.isEmpty());
    QCOMPARE(choices.size(), QSet<QString>(choices.begin(), choices.end()).size());
    std::vector<std::string> expected = WmaChoicesFor({44100, 2});
    QStringList expectedTexts;
    for (const std::string& text : expected) expectedTexts << QString::fromStdString(text);
    QCOMPARE(choices, expectedTexts);
    for (const QString& choice : choices) {
      bool number = false;
      QVERIFY(choice.toInt(&number) > 0 && number);
    }
  }

  void switchingTabsResetsEveryRowAndTheWavTabHidesTheTable() {
    auto list = ListOfStreams({{"44100", "stereo"}, {"22050", "mono"}});
    TfmConvertTo dialog(*list, rule_, false, 1);
    dialog.show();
    auto* table = Child<QTreeWidget>(&dialog, "lvSelectBitrate");
    auto* tabs = Child<QTabBar>(&dialog, "tcConvert");
    QCOMPARE(tabs->tabText(0), QStringLiteral("To WMA"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("To MP3"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("To WAV"));
    QCOMPARE(tabs->currentIndex(), 1);
    ChooseBitrate(&dialog, 0, QStringLiteral("128"));
    ChooseBitrate(&dialog, 1, QStringLiteral("64"));
    QCOMPARE(ColumnTexts(*table, 2), (QStringList{"128", "64"}));

    tabs->setCurrentIndex(0);
    QCOMPARE(ColumnTexts(*table, 2), (QStringList{"unset", "unset"}));
    QCOMPARE(dialog.Settings().targetKind, AudioKind::Wma);
    tabs->setCurrentIndex(1);
    QCOMPARE(ColumnTexts(*table, 2), (QStringList{"unset", "unset"}));

    tabs->setCurrentIndex(2);
    QVERIFY(!table->isVisible());
    QVERIFY(!Child<QGroupBox>(&dialog, "spChangeBitrate")->isVisible());
    QCOMPARE(dialog.Settings().targetKind, AudioKind::Wav);
    tabs->setCurrentIndex(0);
    QVERIFY(table->isVisible());
    QVERIFY(table->topLevelItem(0)->isSelected());
    dialog.close();
  }

  void convertRefusesWhileABitrateIsUnset() {
    Open(ListOfStreams({{"44100", "stereo"}, {"22050", "mono"}}));
    QString shownWhileOpen;
    WhenModal<TfmConvertTo>([&](TfmConvertTo* dialog) {
      ChooseBitrate(dialog, 0, QStringLiteral("128"));
      Click(dialog, QStringLiteral("Convert"));
      // Still open, its choice kept.
      shownWhileOpen = ColumnTexts(*Child<QTreeWidget>(dialog, "lvSelectBitrate"), 2).join(QLatin1Char(','));
      Click(dialog, QStringLiteral("Cancel"));
    });
    Action("ConvertMp3Cmd")->trigger();
    QCOMPARE(shownWhileOpen, QStringLiteral("128,unset"));
    QCOMPARE(messages_->shown.size(), std::size_t{1});
    QCOMPARE(messages_->shown[0].text, std::string("Please set all bitrate for converting first"));
  }

  void defaultsAndEnablingRules() {
    auto list = ListOfStreams({{"44100", "stereo"}});
    rule_.author = rule_.title = false;
    rule_.splitter = "_";
    TfmConvertTo dialog(*list, rule_, false, 2);
    // Opening turns every switch on again; the splitter stays.
    QVERIFY(rule_.author && rule_.year && rule_.album && rule_.track && rule_.title);
    QCOMPARE(rule_.splitter, std::string("_"));

    const ConvertSettings defaults = dialog.Settings();
    QVERIFY(defaults.sameDirectory && defaults.sameFileName && !defaults.deleteSources);
    QCOMPARE(QString::fromStdString(defaults.outputDirectory), QDir::home().filePath("converted music"));
    auto* edit = Child<QLineEdit>(&dialog, "edConvertDir");
    auto* browse = Child<QToolButton>(&dialog, "sbDir");
    auto* tagRule = Child<QPushButton>(&dialog, "sbTagRule");
    QVERIFY(edit->isReadOnly());
    QVERIFY(!edit->isEnabled() && !browse->isEnabled() && !tagRule->isEnabled());
    Child<QRadioButton>(&dialog, "rbDirectoryTo")->setChecked(true);
    QVERIFY(edit->isEnabled() && browse->isEnabled() && !tagRule->isEnabled());
    Child<QRadioButton>(&dialog, "rbUseTag")->setChecked(true);
    QVERIFY(tagRule->isEnabled());
    Child<QRadioButton>(&dialog, "rbSameDir")->setChecked(true);
    QVERIFY(!edit->isEnabled() && !browse->isEnabled() && tagRule->isEnabled());

    // "..": the chosen folder replaces the text; a cancelled choice keeps it.
    QString offeredTitle;
    dialog.setFolderChooser([&](QWidget*, const QString& title, const QString&) {
      offeredTitle = title;
      return QStringLiteral("/tmp/elsewhere");
    });
    Child<QRadioButton>(&dialog, "rbDirectoryTo")->setChecked(true);
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(offeredTitle, QStringLiteral("Convert To Directory"));
    QCOMPARE(edit->text(), QStringLiteral("/tmp/elsewhere"));
    dialog.setFolderChooser([](QWidget*, const QString&, const QString&) { return QString(); });
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(edit->text(), QStringLiteral("/tmp/elsewhere"));
    Child<QCheckBox>(&dialog, "cbDeleteSourceFile")->setChecked(true);
    const ConvertSettings chosen = dialog.Settings();
    QVERIFY(!chosen.sameDirectory && !chosen.sameFileName && chosen.deleteSources);
    QCOMPARE(chosen.outputDirectory, std::string("/tmp/elsewhere"));
  }

  void convertCommandsCheckTheListFirst() {
    Open(ListOfStreams({{"44100", "stereo"}}));
    Action("ConvertSelectWavCmd")->trigger();
    window_->fileList().SetSelected(0, true);
    int tab = -1;
    bool selectedOnly = false;
    WhenModal<TfmConvertTo>([&](TfmConvertTo* dialog) {
      tab = Child<QTabBar>(dialog, "tcConvert")->currentIndex();
      selectedOnly = dialog->Settings().selectedOnly;
      Click(dialog, QStringLiteral("Cancel"));
    });
    Action("ConvertSelectMp3Cmd")->trigger();
    QCOMPARE(tab, 1);
    QVERIFY(selectedOnly);
    window_->fileList().Clear();
    Action("ConvertWmaCmd")->trigger();
    QCOMPARE(messages_->shown.size(), std::size_t{2});
    QCOMPARE(messages_->shown[0].text, std::string("There is no file selected !"));
    QCOMPARE(messages_->shown[1].text, std::string("There is no file to convert !"));
  }

  void previewShowsWhatWillHappenToEveryRow() {
    TempDir dir;
    WriteMp3(dir.File("a.mp3"), 2, 44100);
    WriteMp3(dir.File("a.MP3"), 2, 44100);  // the same target as the one above
    WriteMp3(dir.File("b.mp3"), 2, 44100);
    testing_support::WriteBytes(dir.File("b.wav"), testing_support::Bytes{1, 2, 3});
    WriteWav(dir.File("c.wav"), 2, 44100);
    FileList list;
    for (const char* name : {"a.mp3", "a.MP3", "b.mp3", "c.wav"}) list.AddFile(dir.File(name));
    QCOMPARE(list.size(), std::size_t{4});
    TfmConvertTo dialog(list, rule_, false, 2);
    dialog.show();
    QStringList outcomes;
    QString summary;
    WhenModal<TfmConvertPreview>([&](TfmConvertPreview* preview) {
      outcomes = ColumnTexts(preview->planList(), 2);
      summary = preview->summary();
      QTest::mouseClick(preview->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close), Qt::LeftButton);
    });
    Click(&dialog, QStringLiteral("Preview..."));
    QCOMPARE(outcomes, (QStringList{"free", "collides with row 1", "exists (will ask)", "is the source itself"}));
    QCOMPARE(summary, QStringLiteral("4 file(s): 1 free, 1 will ask, 2 with a problem"));
    // The preview changed nothing.
    QVERIFY(!fs::exists(dir.File("a.wav")));
    QCOMPARE(fs::file_size(dir.File("b.wav")), std::uintmax_t{3});
    QVERIFY(dialog.isVisible());
    dialog.close();
  }

  // ---- the progress window over real runs ----

  void aRunOfOneRowEndsWithDoneAndClosesQuietly() {
    TempDir dir;
    Open();
    window_->AddFileToList(WriteWav(dir.File("one.wav"), 2, 44100, 300));
    WhenModal<TfmConvertTo>([&](TfmConvertTo* dialog) {
      ChooseBitrate(dialog, 0, QStringLiteral("128"));
      Click(dialog, QStringLiteral("Convert"));
    });
    int totalMaximum = -1;
    int totalValue = -1;
    QString status, target, caption;
    WhenModalAnd<TfmConverting>([](TfmConverting* w) { return w->button().text() == QLatin1String("Done"); },
                                [&](TfmConverting* w) {
                                  caption = w->windowTitle();
                                  totalMaximum = w->totalBar().maximum();
                                  totalValue = w->totalBar().value();
                                  status = w->statusList().topLevelItem(0)->text(2);
                                  target = w->statusList().topLevelItem(0)->text(1);
                                  QVERIFY(Child<QLabel>(w, "lbElapsed")->text().isEmpty());
                                  QTest::mouseClick(&w->button(), Qt::LeftButton);
                                });
    Action("ConvertMp3Cmd")->trigger();
    QCOMPARE(caption, QStringLiteral("Converting"));
    QCOMPARE(totalMaximum, 1);
    QCOMPARE(totalValue, 1);
    QCOMPARE(status, QStringLiteral("Done"));
    QCOMPARE(target, QString::fromStdString(dir.File("one.mp3")));
    QVERIFY(messages_->shown.empty());
    AudioInfo info;
    QVERIFY(ProbeAudioFile(dir.File("one.mp3"), info));
    QCOMPARE(info.kind, AudioKind::Mp3);
    QCOMPARE(window_->fileList().size(), std::size_t{1});  // no deletion asked for
  }

  void cancelMidRunLeavesLaterRowsWaitingAndStillAsksAboutDeletion() {
    TempDir dir;
    Open();
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) window_->AddFileToList(WriteLongWav(dir.File(name)));
    QCOMPARE(window_->fileList().size(), std::size_t{3});
    WhenModal<TfmConvertTo>([&](TfmConvertTo* dialog) {
      ChooseBitrate(dialog, 0, QStringLiteral("128"));
      Child<QCheckBox>(dialog, "cbDeleteSourceFile")->setChecked(true);
      Click(dialog, QStringLiteral("Convert"));
    });
    bool closedAfterCancel = false;
    WhenModalAnd<TfmConverting>(
        [](TfmConverting* w) { return w->fileBar().value() > 0; },
        [&](TfmConverting* w) {
          QCOMPARE(w->button().text(), QStringLiteral("Cancel"));
          QTest::mouseClick(&w->button(), Qt::LeftButton);
          closedAfterCancel = !w->isVisible();
        });
    messages_->answers = {zplatform::MessageAnswer::Ok, zplatform::MessageAnswer::No};
    Action("ConvertMp3Cmd")->trigger();

    QVERIFY(closedAfterCancel);
    QCOMPARE(messages_->shown.size(), std::size_t{2});
    QCOMPARE(messages_->shown[0].text, std::string("You have canceled converting process"));
    QCOMPARE(messages_->shown[0].kind, zplatform::MessageKind::Information);
    QVERIFY(messages_->shown[1].text.rfind("Delete all source file ?", 0) == 0);
    // The row being converted ended cancelled, leaving nothing, not even its
    // temporary file; the ones after it never started.
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) QVERIFY(!fs::exists(dir.File(name)));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
    QCOMPARE(files, std::size_t{3});
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) QVERIFY(fs::exists(dir.File(name)));
    QCOMPARE(window_->fileList().size(), std::size_t{3});
  }

  void cancelledRowsAndTheRowsAfterThemAsTheWindowShowsThem() {
    TempDir dir;
    std::vector<StatusRow> rows;
    for (const char* name : {"a.wav", "b.wav"}) {
      StatusRow row;
      row.source = WriteLongWav(dir.File(name));
      row.target = dir.File(std::string(name) + ".out.wav");
      rows.push_back(row);
    }
    ConvertSettings settings;
    settings.targetKind = AudioKind::Wav;
    QtOverwritePrompt prompt;
    WhenModalAnd<TfmConverting>([](TfmConverting* w) { return w->fileBar().value() > 0; },
                                [&](TfmConverting* w) { QTest::mouseClick(&w->button(), Qt::LeftButton); });
    const std::vector<StatusRow> finished = RunConversionWindow(rows, settings, prompt, nullptr);
    QCOMPARE(finished.size(), std::size_t{2});
    QCOMPARE(finished[0].status, std::string("Cancelled"));
    QCOMPARE(finished[1].status, std::string("Waiting"));
  }

  void anExistingTargetAsksAndSkipLeavesIt() {
    TempDir dir;
    Open();
    window_->AddFileToList(WriteWav(dir.File("a.wav"), 1, 22050, 300));
    window_->AddFileToList(WriteWav(dir.File("b.wav"), 1, 22050, 300));
    testing_support::WriteBytes(dir.File("a.mp3"), testing_support::Bytes{7, 7, 7});
    WhenModal<TfmConvertTo>([&](TfmConvertTo* dialog) {
      ChooseBitrate(dialog, 0, QStringLiteral("64"));
      Click(dialog, QStringLiteral("Convert"));
    });
    QString askedFor;
    WhenModal<TfmFileExist>([&](TfmFileExist* prompt) {
      askedFor = Child<QLabel>(prompt, "lbFile")->text();
      Click(prompt, QStringLiteral("Skip"));
    });
    QStringList statuses;
    WhenModalAnd<TfmConverting>([](TfmConverting* w) { return w->button().text() == QLatin1String("Done"); },
                                [&](TfmConverting* w) {
                                  statuses = ColumnTexts(w->statusList(), 2);
                                  QTest::mouseClick(&w->button(), Qt::LeftButton);
                                });
    Action("ConvertMp3Cmd")->trigger();
    QCOMPARE(askedFor, QString::fromStdString(dir.File("a.mp3")));
    QCOMPARE(statuses, (QStringList{"Skipped", "Done"}));
    QCOMPARE(fs::file_size(dir.File("a.mp3")), std::uintmax_t{3});
    QVERIFY(messages_->shown.empty());
  }

  void aMixedListConvertsToEveryKindWithItsTags_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("kind");
    QTest::newRow("to WMA") << 0 << static_cast<int>(AudioKind::Wma);
    QTest::newRow("to MP3") << 1 << static_cast<int>(AudioKind::Mp3);
    QTest::newRow("to WAV") << 2 << static_cast<int>(AudioKind::Wav);
  }

  void aMixedListConvertsToEveryKindWithItsTags() {
    QFETCH(int, tab);
    QFETCH(int, kind);
    const auto target = static_cast<AudioKind>(kind);
    TempDir dir;
    Open();
    window_->AddFileToList(WriteWav(dir.File("src/mono22.wav"), 1, 22050, 400));
    const std::string mp3 = WriteMp3(dir.File("src/stereo44.mp3"), 2, 44100, 400);
    AudioInfo mp3Info;
    QVERIFY(ProbeAudioFile(mp3, mp3Info));
    SongTags mp3Tags = Tags("Mp3 Title", "Mp3 Author");
    QVERIFY(WriteSongTags(mp3, mp3Info, mp3Tags));
    window_->AddFileToList(mp3);
    window_->AddFileToList(WriteWma(dir.File("src/stereo48.wma"), 2, 48000, Tags("Wma Title", "Wma Author")));
    QCOMPARE(window_->fileList().size(), std::size_t{3});

    const std::string out = dir.File("out");
    WhenModal<TfmConvertTo>([&](TfmConvertTo* dialog) {
      if (target != AudioKind::Wav) ChooseFirstBitrates(dialog);
      dialog->setFolderChooser([&](QWidget*, const QString&, const QString&) { return QString::fromStdString(out); });
      Child<QRadioButton>(dialog, "rbDirectoryTo")->setChecked(true);
      QTest::mouseClick(Child<QToolButton>(dialog, "sbDir"), Qt::LeftButton);
      Click(dialog, QStringLiteral("Convert"));
    });
    QStringList statuses;
    WhenModalAnd<TfmConverting>([](TfmConverting* w) { return w->button().text() == QLatin1String("Done"); },
                                [&](TfmConverting* w) {
                                  statuses = ColumnTexts(w->statusList(), 2);
                                  QTest::mouseClick(&w->button(), Qt::LeftButton);
                                });
    const QAction* actions[] = {Action("ConvertWmaCmd"), Action("ConvertMp3Cmd"), Action("ConvertWavCmd")};
    const_cast<QAction*>(actions[tab])->trigger();
    QCOMPARE(statuses, (QStringList{"Done", "Done", "Done"}));

    const char* extension = target == AudioKind::Wma ? ".wma" : target == AudioKind::Mp3 ? ".mp3" : ".wav";
    struct Expected {
      const char* base;
      std::uint32_t rate;
      std::uint32_t channels;
      const char* title;
    } expected[] = {{"mono22", 22050, 1, ""}, {"stereo44", 44100, 2, "Mp3 Title"}, {"stereo48", 48000, 2, "Wma Title"}};
    for (const Expected& e : expected) {
      const std::string path = out + "/" + e.base + extension;
      AudioInfo info;
      QVERIFY2(ProbeAudioFile(path, info), path.c_str());
      QCOMPARE(info.kind, target);
      QCOMPARE(info.sampleRate, e.rate);
      QCOMPARE(info.channels, e.channels);
      if (target == AudioKind::Wav) continue;
      SongTags tags{};
      QVERIFY(ReadSongTags(path, info, tags));
      QCOMPARE(std::string(tags.title), std::string(e.title));
    }
  }
};

QTEST_MAIN(ConvertWindowsTest)
#include "convert_windows_test.moc"
