// zandro-screenshot MAIN.png [OPTIONS.png PROGRESS.png]: the main window
// with a few generated files listed, and optionally the conversion options
// dialog over them and the progress window in the middle of a run; drawn
// without a display (offscreen platform) so anyone can look at them.

#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "audio/wma_bridge.h"
#include "convert_to_dialog.h"
#include "converting_window.h"
#include "engine/conversion_run.h"
#include "file_exist_dialog.h"
#include "main_window.h"
#include "program.h"
#include "support/test_support.h"
#include "ui_test_support.h"

namespace {

bool Save(QWidget& widget, const char* path) {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  if (widget.grab().save(QString::fromLocal8Bit(path), "PNG")) return true;
  std::fprintf(stderr, "zandro-screenshot: cannot write %s\n", path);
  return false;
}

// The options dialog on the MP3 tab with the first stream given 128 kbit/s.
bool SaveOptions(zandro::FileList& list, zandro::TagRuleSettings& rule, const char* path) {
  zandro::ui::TfmConvertTo dialog(list, rule, false, 1);
  dialog.show();
  auto* streams = dialog.findChild<QTreeWidget*>(QStringLiteral("lvSelectBitrate"));
  auto* choices = dialog.findChild<QListWidget*>(QStringLiteral("lbChangeBitrate"));
  if (streams && choices) {
    const QList<QListWidgetItem*> found = choices->findItems(QStringLiteral("128"), Qt::MatchExactly);
    if (!found.isEmpty()) {
      choices->setCurrentItem(found.first());
      emit choices->itemClicked(found.first());
    }
    if (streams->topLevelItemCount() > 1) {
      streams->clearSelection();
      streams->topLevelItem(1)->setSelected(true);
    }
  }
  return Save(dialog, path);
}

// A run over long files, pictured while its second row converts, then cancelled.
bool SaveProgress(const testing_support::TempDir& dir, const char* path) {
  std::vector<zandro::StatusRow> rows;
  for (const char* name : {"01 morning.wav", "02 noon.wav", "03 evening.wav", "04 night.wav"}) {
    zandro::StatusRow row;
    row.source = ui_testing::WriteWav(dir.File(std::string("Album/") + name), 2, 44100, 90000);
    row.target = dir.File("converted music/" + std::string(name).replace(std::string(name).size() - 4, 4, ".mp3"));
    rows.push_back(row);
  }
  zandro::ConvertSettings settings;
  settings.targetKind = zandro::AudioKind::Mp3;
  settings.streamBitrates = {{"44100", "stereo", "128"}};
  std::filesystem::create_directories(dir.File("converted music"));
  zandro::ui::QtOverwritePrompt prompt;
  bool saved = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* window = qobject_cast<zandro::ui::TfmConverting*>(QApplication::activeModalWidget());
    if (!window) return;
    // Once the second file has run long enough to show its own times.
    const auto* remain = window->findChild<QLabel*>(QStringLiteral("lbRemain"));
    const bool secondRowHalfway = window->statusList().topLevelItem(1)->text(2) == QLatin1String("Converting") &&
                                  window->fileBar().value() >= 50 && remain &&
                                  !remain->text().endsWith(QLatin1String("00:00:00"));
    if (!secondRowHalfway && window->button().text() != QLatin1String("Done")) return;
    poll.stop();
    saved = Save(*window, path);
    window->button().click();
  });
  poll.start();
  zandro::ui::RunConversionWindow(rows, settings, prompt, nullptr);
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: zandro-screenshot MAIN.png [OPTIONS.png PROGRESS.png]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zandro::ui::SetUpApplication(app);
  ui_testing::ScriptedMessages quiet;  // the cancel notice of the pictured run
  zandro::LoadWmaLibrary();

  testing_support::TempDir dir;
  const std::string music = dir.File("Music");
  ui_testing::WriteWav(music + "/Field Recordings/rain on the roof.wav", 2, 44100, 1500);
  ui_testing::WriteWav(music + "/Field Recordings/harbour bells.wav", 1, 22050, 3200);
  ui_testing::WriteMp3(music + "/Demos/first take.mp3", 2, 44100, 1200);
  ui_testing::WriteMp3(music + "/Demos/voice memo.mp3", 1, 16000, 2100);
  ui_testing::WriteWav(music + "/Samples/kick.wav", 1, 48000, 400);
  ui_testing::WriteWav(music + "/Samples/snare.wav", 1, 48000, 350);

  zandro::ui::TfmConvertor window;
  window.resize(1100, 560);
  window.show();
  window.AddDirectoryToList(music);
  QItemSelectionModel* selection = window.listView().selectionModel();
  for (int row : {1, 2}) {
    selection->select(window.listView().model()->index(row, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  if (!Save(window, argv[1])) return 1;
  if (argc == 2) return 0;

  zandro::TagRuleSettings rule;
  if (!SaveOptions(window.fileList(), rule, argv[2])) return 1;
  return SaveProgress(dir, argv[3]) ? 0 : 1;
}
