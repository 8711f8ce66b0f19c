// The WMA library's reader on any file, through its entry points as the
// program calls them: the format list, the probe, then open, every block,
// close.

#include <string>

#include "fuzz_support.h"
#include "talvex/talvex.h"

namespace {

void CountFormat(std::int32_t bitrateBps, std::int32_t channels, std::int32_t sampleRate) {
  FUZZ_CHECK(bitrateBps > 0 && channels > 0 && sampleRate > 0, "an encoder format without values");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = (zandro_fuzz::Silence(), EnumWMAFormat(CountFormat), true);
  (void)ready;
  const std::string path = zandro_fuzz::SaveInput("input.wma", data, size);

  TalvexAudioInfo probed{};
  if (CheckWMAFileInfo(path.c_str(), &probed)) {
    FUZZ_CHECK(probed.kind == 3, "a WMA probe without the WMA kind");
  }

  const std::int32_t startMs = size > 0 ? (data[size - 1] & 3) * 700 : 0;
  TalvexAudioInfo info{};
  if (InitWMAReadFile(path.c_str(), &info, startMs)) {
    std::uint8_t* block = nullptr;
    std::int32_t count = 0;
    unsigned sum = 0;
    while (ReadWMAFile(&info, &block, &count)) {
      FUZZ_CHECK(count >= 0, "negative block size");
      FUZZ_CHECK(count == 0 || block != nullptr, "a block without data");
      for (std::int32_t i = 0; i < count; ++i) sum += block[i];
    }
    (void)sum;
  }
  CloseWMAReadFile(&info);
  return 0;
}
