#include "engine/conversion_options.h"

#include <algorithm>
#include <unordered_set>

#include "audio/rounding.h"
#include "audio/wma_bridge.h"
#include "zplatform/messages.h"

namespace zandro {

std::vector<StreamBitrateRow> BuildStreamTable(const FileList& list, bool selectedOnly) {
  std::vector<StreamBitrateRow> table;
  std::unordered_set<std::string> seen;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const FileListEntry& entry = list.at(i);
    if (selectedOnly && !entry.selected) continue;
    const std::string& rate = entry.Text(Column::SamplesPerSec);
    const std::string& channels = entry.Text(Column::Channels);
    if (seen.insert(rate + channels).second) table.push_back({rate, channels, std::string(kUnsetBitrate)});
  }
  return table;
}

void ResetBitrates(std::vector<StreamBitrateRow>& table) {
  for (StreamBitrateRow& row : table) row.bitrateText = kUnsetBitrate;
}

StreamKey StreamOf(const StreamBitrateRow& row) {
  return {static_cast<std::uint32_t>(std::max(0, TextToInt(row.sampleRateText))),
          row.channelsText == "stereo" ? 2u : 1u};
}

std::vector<std::string> Mp3BitrateChoices(std::uint32_t sampleRate) {
  if (sampleRate == 32000 || sampleRate == 44100 || sampleRate == 48000) {
    return {"32", "40", "48", "56", "64", "80", "96", "112", "128", "160", "192", "224", "256", "320"};
  }
  return {"8", "16", "24", "32", "40", "48", "56", "64", "80", "96", "112", "128", "144", "160"};
}

void WmaBitrateChoices::Add(std::int32_t bitrate, std::int32_t channels, std::int32_t samplesPerSec) {
  if (channels < 0 || samplesPerSec < 0) return;
  if (static_cast<std::uint32_t>(channels) != stream_.channels ||
      static_cast<std::uint32_t>(samplesPerSec) != stream_.sampleRate) {
    return;
  }
  const std::string text = std::to_string(RoundHalfEven<long long>(bitrate / 1000.0));
  if (std::find(choices_.begin(), choices_.end(), text) == choices_.end()) choices_.push_back(text);
}

namespace {
// The enumeration calls back on the caller's thread before it returns, so
// one collection at a time is all there is.
WmaBitrateChoices* collecting = nullptr;
}  // namespace

void AddWmaBitrate(std::int32_t bitrate, std::int32_t channels, std::int32_t samplesPerSec) {
  if (collecting) collecting->Add(bitrate, channels, samplesPerSec);
}

std::vector<std::string> WmaChoicesFor(StreamKey stream) {
  if (!WmaAvailable()) return {};
  WmaBitrateChoices choices(stream);
  collecting = &choices;
  Wma().EnumWMAFormat(&AddWmaBitrate);
  collecting = nullptr;
  return choices.Choices();
}

std::vector<std::string> BitrateChoices(AudioKind target, StreamKey stream) {
  switch (target) {
    case AudioKind::Mp3:
      return Mp3BitrateChoices(stream.sampleRate);
    case AudioKind::Wma:
      return WmaChoicesFor(stream);
    default:
      return {};
  }
}

bool CheckAllBitratesSet(const ConvertSettings& settings) {
  if (settings.targetKind != AudioKind::Mp3 && settings.targetKind != AudioKind::Wma) return true;
  for (const StreamBitrateRow& row : settings.streamBitrates) {
    if (row.bitrateText == kUnsetBitrate) {
      zplatform::ShowMessage(zplatform::MessageKind::Plain, "Please set all bitrate for converting first");
      return false;
    }
  }
  return true;
}

}  // namespace zandro
