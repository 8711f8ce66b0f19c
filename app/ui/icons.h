#pragma once
// Pictures: the desktop theme's icon when it has one, else the one shipped
// with the program, so the tool bar looks native and never goes blank.

#include <QIcon>

namespace zandro::ui {

// `themeName` from the freedesktop icon naming spec; `shipped` the base name
// of an SVG in the program's resources.
QIcon ThemeIcon(const char* themeName, const char* shipped);

QIcon AppIcon();

}  // namespace zandro::ui
