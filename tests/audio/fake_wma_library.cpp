// A stand-in for the WMA library with the same ten names, to test the
// binding and the dispatch without it. Built with FAKE_WMA_INCOMPLETE it
// lacks one entry point.

#include <cstdint>
#include <cstring>

namespace {
struct Info {
  std::int32_t kind;
  std::uint32_t sampleRate, channels, bitrate;
  std::int32_t reserved[3];
  std::uint32_t durationMs;
};
std::uint8_t block[4] = {1, 2, 3, 4};
int blocksLeft = 0;
}  // namespace

extern "C" {
__attribute__((visibility("default"))) bool CheckWMAFileInfo(const char*, Info* info) {
  *info = Info{3, 48000, 2, 64, {0, 0, 0}, 3712};
  return true;
}
__attribute__((visibility("default"))) bool InitWMAReadFile(const char*, Info* info, std::int32_t) {
  *info = Info{3, 48000, 2, 64, {0, 0, 0}, 3712};
  blocksLeft = 2;
  return true;
}
__attribute__((visibility("default"))) bool ReadWMAFile(Info*, std::uint8_t** data, std::int32_t* count) {
  if (blocksLeft-- <= 0) return false;
  *data = block;
  *count = sizeof block;
  return true;
}
__attribute__((visibility("default"))) std::int32_t CloseWMAReadFile(Info*) { return 0; }
__attribute__((visibility("default"))) bool InitWMAWriteFile(const char*, const Info*) { return true; }
__attribute__((visibility("default"))) bool WriteWMAFile(Info*, const std::uint8_t*, std::int32_t) { return true; }
__attribute__((visibility("default"))) std::int32_t CloseWMAWriteFile() { return 1; }
__attribute__((visibility("default"))) bool GetWmaSongInfo(const char*, Info*, char* tags) {
  std::strcpy(tags, "Fake title");
  return true;
}
__attribute__((visibility("default"))) bool SetWmaSongInfo(const char*, Info*, const char*) { return true; }
#ifndef FAKE_WMA_INCOMPLETE
__attribute__((visibility("default"))) void EnumWMAFormat(void (*callback)(std::int32_t, std::int32_t, std::int32_t)) {
  callback(64000, 2, 48000);
}
#endif
}
