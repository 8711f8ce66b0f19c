// zandro: the desktop program.

#include <QApplication>

#include "audio/wma_bridge.h"
#include "program.h"
#include "qt_message_sink.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  zandro::ui::SetUpApplication(app);
  zandro::ui::ScopedQtMessages messages;
  return zandro::ui::RunProgram(app, zandro::WmaSearchDirectories());
}
