#pragma once
// Find-window and post-message: a top-level window registers under its class
// name with a function that queues a message for its own thread; anyone, on
// any thread, can then post to the window by that name alone. The WMA library
// reaches the main window this way without knowing anything about Qt.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zplatform {

// Queues (never handles) one message; it must return quickly and must not
// call back into the registry, because it runs under the registry's lock.
using MessagePoster = std::function<void(int message, std::intptr_t wParam, std::intptr_t lParam)>;

// Registers a window; returns its handle (never 0). Several windows may share
// a class name: posting reaches the earliest one still registered.
int RegisterWindow(std::string_view className, MessagePoster poster);

// Removes the window. When this returns, no poster call for it is running or
// will start, so the window may be destroyed right after.
void UnregisterWindow(int handle);

// The handle of the first window registered under `className`, 0 when none.
int FindWindowByClass(std::string_view className);

// Queues the message for the window of that class. Safe from any thread;
// false when no such window is registered.
bool PostMessageTo(std::string_view className, int message, std::intptr_t wParam, std::intptr_t lParam);

// Unregisters on destruction; the way a window holds its registration.
class WindowRegistration {
 public:
  WindowRegistration(std::string_view className, MessagePoster poster);
  ~WindowRegistration();
  WindowRegistration(const WindowRegistration&) = delete;
  WindowRegistration& operator=(const WindowRegistration&) = delete;

  int handle() const { return handle_; }

 private:
  int handle_;
};

}  // namespace zplatform
