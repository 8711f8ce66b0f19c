#pragma once
// The notice to the host's main window that a file may not be played.

namespace talvex {

inline constexpr int kNoRightsNotice = 0x4C8;  // the first user message + 200
inline constexpr const char* kHostWindowClass = "TfmConvertor";

// Posts the notice to the host's main window, if there is one.
void PostNoRightsNotice();

}  // namespace talvex
