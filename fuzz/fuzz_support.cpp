#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "zplatform/diagnostics.h"
#include "zplatform/messages.h"

namespace zandro_fuzz {
namespace {

class SilentSink final : public zplatform::MessageSink {
 public:
  zplatform::MessageAnswer Show(zplatform::MessageKind, std::string_view, std::string_view) override {
    return zplatform::MessageAnswer::Ok;
  }
  bool InputQuery(std::string_view, std::string_view, std::string&, std::size_t) override { return false; }
};

void RemoveScratch();

std::string MakeScratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zandro-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  std::atexit(RemoveScratch);
  return pattern;
}

void RemoveScratch() {
  std::error_code error;
  std::filesystem::remove_all(ScratchDirectory(), error);
}

}  // namespace

const std::string& ScratchDirectory() {
  // Never destroyed: the exit handler that removes it runs after the
  // destructors of statics made later.
  static const std::string* const directory = new std::string(MakeScratch());
  return *directory;
}

std::string SaveInput(std::string_view name, const std::uint8_t* data, std::size_t size) {
  std::string path = ScratchDirectory() + "/" + std::string(name);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  return path;
}

void Silence() {
  static SilentSink sink;
  zplatform::SetMessageSink(&sink);
  zplatform::SetDiagnosticSink([](std::string_view) {});
}

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "invariant broken: %s\n  %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace zandro_fuzz
