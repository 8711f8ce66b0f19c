#include "audio/wma_bridge.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "zplatform/diagnostics.h"
#include "zplatform/path.h"

namespace zandro {

namespace {

struct Binding {
  WmaBridge table;
  bool available = false;
  bool attempted = false;
  bool onFirstUse = false;
};

Binding& State() {
  static Binding binding;
  return binding;
}

std::string ProgramDirectory() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "";
  return self.parent_path().string();
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

template <typename Fn>
bool Bind(void* library, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dlsym(library, name));
  if (!slot) zplatform::Diagnostic(std::string("WMA library lacks the entry point ") + name);
  return slot != nullptr;
}

}  // namespace

const WmaBridge& Wma() { return State().table; }

bool WmaAvailable() {
  Binding& state = State();
  if (state.onFirstUse && !state.attempted) LoadWmaLibrary();
  return state.available;
}

std::vector<std::string> WmaSearchDirectories() {
  const std::string program = ProgramDirectory();
  if (program.empty()) return {};
  return {program, (std::filesystem::path(program).parent_path() / "lib" / "zandro").string()};
}

void LoadWmaLibrary(const std::vector<std::string>& directories) {
  Binding& state = State();
  if (state.attempted) return;
  state.attempted = true;

  bool runtimePresent = false;
  for (const std::string& directory : directories) {
    if (FileExists(zplatform::WithTrailingSeparator(directory) + kWmaRuntimeFile)) runtimePresent = true;
  }
  if (!runtimePresent) return;  // the library is not even loaded then

  void* library = nullptr;
  for (const std::string& directory : directories) {
    const std::string candidate = zplatform::WithTrailingSeparator(directory) + kWmaLibraryFile;
    if (!FileExists(candidate)) continue;
    // Never unloaded: the table points into it for the rest of the process.
    library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library) break;
    zplatform::Diagnostic(std::string("Cannot load ") + candidate + ": " + dlerror());
  }
  if (!library) return;

  WmaBridge table;
  bool all = true;
  all &= Bind(library, "InitWMAWriteFile", table.InitWMAWriteFile);
  all &= Bind(library, "WriteWMAFile", table.WriteWMAFile);
  all &= Bind(library, "CloseWMAWriteFile", table.CloseWMAWriteFile);
  all &= Bind(library, "CheckWMAFileInfo", table.CheckWMAFileInfo);
  all &= Bind(library, "InitWMAReadFile", table.InitWMAReadFile);
  all &= Bind(library, "ReadWMAFile", table.ReadWMAFile);
  all &= Bind(library, "CloseWMAReadFile", table.CloseWMAReadFile);
  all &= Bind(library, "GetWmaSongInfo", table.GetWmaSongInfo);
  all &= Bind(library, "SetWmaSongInfo", table.SetWmaSongInfo);
  all &= Bind(library, "EnumWMAFormat", table.EnumWMAFormat);
  // A missing entry point must never be called: bind all ten or none.
  if (!all) return;
  state.table = table;
  state.available = true;
}

void LoadWmaLibrary() { LoadWmaLibrary(WmaSearchDirectories()); }

void LoadWmaLibraryOnFirstUse() { State().onFirstUse = true; }

}  // namespace zandro
