#include "zplatform/window_registry.h"

#include <mutex>
#include <vector>

namespace zplatform {
namespace {

struct Entry {
  int handle;
  std::string className;
  MessagePoster poster;
};

struct Registry {
  std::mutex mutex;
  std::vector<Entry> windows;  // in registration order
  int lastHandle = 0;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

int RegisterWindow(std::string_view className, MessagePoster poster) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const int handle = ++registry.lastHandle;
  registry.windows.push_back(Entry{handle, std::string(className), std::move(poster)});
  return handle;
}

void UnregisterWindow(int handle) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  std::erase_if(registry.windows, [handle](const Entry& entry) { return entry.handle == handle; });
}

int FindWindowByClass(std::string_view className) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  for (const Entry& entry : registry.windows) {
    if (entry.className == className) return entry.handle;
  }
  return 0;
}

bool PostMessageTo(std::string_view className, int message, std::intptr_t wParam, std::intptr_t lParam) {
  Registry& registry = TheRegistry();
  // The poster runs under the lock so that a window cannot unregister and
  // vanish while a message is being queued for it.
  std::lock_guard lock(registry.mutex);
  for (const Entry& entry : registry.windows) {
    if (entry.className != className) continue;
    if (entry.poster) entry.poster(message, wParam, lParam);
    return true;
  }
  return false;
}

WindowRegistration::WindowRegistration(std::string_view className, MessagePoster poster)
    : handle_(RegisterWindow(className, std::move(poster))) {}

WindowRegistration::~WindowRegistration() { UnregisterWindow(handle_); }

}  // namespace zplatform
