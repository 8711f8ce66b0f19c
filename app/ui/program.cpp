#include "program.h"

#include <QApplication>
#include <QDesktopServices>
#include <QStyle>
#include <QStyleFactory>
#include <QUrl>

#include "audio/wma_bridge.h"
#include "icons.h"
#include "main_window.h"
#include "product.h"
#include "zplatform/messages.h"

namespace zandro::ui {

bool BindWmaLibraryOrExplain(const std::vector<std::string>& directories) {
  LoadWmaLibrary(directories);
  if (WmaAvailable()) return true;
  const std::string text =
      "Sorry, You haven't installed Windows Media Player version 7 or higher, please install it first !\n"
      "You can get it freely from this URL: " +
      kWmaDownloadPage.toStdString() + "\nGet It now ?";
  if (zplatform::ShowMessage(zplatform::MessageKind::Error, text, zplatform::MessageButtons::OkCancel) ==
      zplatform::MessageAnswer::Ok) {
    QDesktopServices::openUrl(QUrl(kWmaDownloadPage));
  }
  return false;
}

int RunProgram(QApplication& app, const std::vector<std::string>& wmaDirectories) {
  if (!BindWmaLibraryOrExplain(wmaDirectories)) return 0;
  TfmConvertor window;
  window.show();
  return app.exec();
}

void SetUpApplication(QApplication& app) {
  QApplication::setApplicationName(QStringLiteral("zandro"));
  // No display name: the platform would append it to every caption.
  QApplication::setApplicationVersion(QStringLiteral(ZANDRO_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("zandro"));
  QApplication::setWindowIcon(AppIcon());
  // The desktop's own style when it has one; Fusion rather than the old
  // fallback look otherwise.
  if (app.style()->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  }
}

}  // namespace zandro::ui
