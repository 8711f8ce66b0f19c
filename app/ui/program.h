#pragma once
// The program from its application object to its end: binding the WMA
// library, the main window, the event loop.

#include <string>
#include <vector>

class QApplication;

namespace zandro::ui {

// Binds the WMA library from `directories`. Without it, shows the start-up
// message (OK opens the download page) and returns false: the program cannot
// be used then and ends.
bool BindWmaLibraryOrExplain(const std::vector<std::string>& directories);

// Runs the program with the messages going to the installed sink; returns
// the exit code.
int RunProgram(QApplication& app, const std::vector<std::string>& wmaDirectories);

// Application name, style and icon, as main() sets them before anything shows.
void SetUpApplication(QApplication& app);

}  // namespace zandro::ui
