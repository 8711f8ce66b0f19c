// zandro-screenshot OUT.png: the main window with a few generated files
// listed, drawn without a display (offscreen platform) so anyone can look at it.

#include <QApplication>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>

#include "main_window.h"
#include "program.h"
#include "support/test_support.h"
#include "ui_test_support.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zandro-screenshot OUT.png\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zandro::ui::SetUpApplication(app);

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
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();

  if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "zandro-screenshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
