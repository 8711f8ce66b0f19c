#pragma once
// The program's name, version and addresses, in one place.

#include <QString>

namespace zandro::ui {

inline const QString kProductName = QStringLiteral("Zandro");
inline const QString kVersionText = QStringLiteral("Version " ZANDRO_VERSION);
inline const QString kHomePage = QStringLiteral("https://zandro.sourceforge.io/");
// Where the WMA runtime (libwmvcore.so, shipped with the program) can be had.
inline const QString kWmaDownloadPage = QStringLiteral("https://zandro.sourceforge.io/download/");

// The window class the WMA library posts its notice to.
inline constexpr const char* kMainWindowClass = "TfmConvertor";
inline constexpr int kWmNoRightsNotice = 1224;  // WM_USER + 200

}  // namespace zandro::ui
