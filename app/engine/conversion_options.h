#pragma once
// The rules of the options dialog without its widgets: the stream table,
// the bit-rate choices per stream and the check before a run.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/conversion_inputs.h"
#include "engine/file_list.h"

namespace zandro {

// One row per distinct stream (rate and channels texts) among the rows to
// convert, in order of first appearance, each "unset".
std::vector<StreamBitrateRow> BuildStreamTable(const FileList& list, bool selectedOnly);

// Every row back to "unset", as a change of the target tab does.
void ResetBitrates(std::vector<StreamBitrateRow>& table);

// The stream a table row stands for: its rate, and 2 channels for "stereo", else 1.
struct StreamKey {
  std::uint32_t sampleRate = 0;
  std::uint32_t channels = 0;
};
StreamKey StreamOf(const StreamBitrateRow& row);

// The Layer III bit rates (kbit/s texts) offered for an MP3 target of this rate.
std::vector<std::string> Mp3BitrateChoices(std::uint32_t sampleRate);

// Collects the WMA choices of one stream from the formats the library
// enumerates: same rate and channels only, kbit/s rounded, no duplicates.
class WmaBitrateChoices {
 public:
  explicit WmaBitrateChoices(StreamKey stream) : stream_(stream) {}
  void Add(std::int32_t bitrate, std::int32_t channels, std::int32_t samplesPerSec);
  const std::vector<std::string>& Choices() const { return choices_; }

 private:
  StreamKey stream_;
  std::vector<std::string> choices_;
};

// The callback handed to the WMA library's format enumeration: adds the
// format to the collection being filled by WmaChoicesFor.
void AddWmaBitrate(std::int32_t bitrate, std::int32_t channels, std::int32_t samplesPerSec);

// The WMA choices the library offers for one stream (empty without it).
std::vector<std::string> WmaChoicesFor(StreamKey stream);

// The choices of a target kind for one stream: the WMA library's, the MP3
// lists, none for WAV.
std::vector<std::string> BitrateChoices(AudioKind target, StreamKey stream);

// For MP3 and WMA targets every row needs a bit rate; shows "Please set all
// bitrate for converting first" and returns false when one is "unset".
bool CheckAllBitratesSet(const ConvertSettings& settings);

}  // namespace zandro
