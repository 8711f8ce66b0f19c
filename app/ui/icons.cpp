#include "icons.h"

#include <QString>

namespace zandro::ui {

QIcon ThemeIcon(const char* themeName, const char* shipped) {
  const QIcon fallback(QStringLiteral(":/zandro/icons/%1.svg").arg(QLatin1String(shipped)));
  return QIcon::fromTheme(QLatin1String(themeName), fallback);
}

QIcon AppIcon() { return QIcon(QStringLiteral(":/zandro/icons/zandro.svg")); }

}  // namespace zandro::ui
