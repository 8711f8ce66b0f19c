#include "engine/conversion_inputs.h"

#include <charconv>

namespace zandro {

const std::array<std::string_view, kColumnCount> kColumnCaptions = {
    "FileName", "Type",  "Samples/Sec", "Channels", "Bitrate(kbps)", "Time",
    "Title",    "Author", "Album",      "Track",    "Year",
};

const std::string& FileListEntry::Text(Column column) const {
  const int index = static_cast<int>(column);
  return index == 0 ? caption : subItems[static_cast<std::size_t>(index - 1)];
}

std::string& FileListEntry::Text(Column column) {
  const int index = static_cast<int>(column);
  return index == 0 ? caption : subItems[static_cast<std::size_t>(index - 1)];
}

int TextToInt(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

int ChosenBitrate(const std::vector<StreamBitrateRow>& streamBitrates, std::uint32_t sampleRate,
                  std::uint32_t channels) {
  std::string_view channelsText;
  if (channels == 1) {
    channelsText = "mono";
  } else if (channels == 2) {
    channelsText = "stereo";
  } else {
    return 0;
  }
  for (const StreamBitrateRow& row : streamBitrates) {
    if (TextToInt(row.sampleRateText) == static_cast<long long>(sampleRate) &&
        row.channelsText == channelsText) {
      return TextToInt(row.bitrateText);
    }
  }
  return 0;
}

std::string BuildNameFromTags(const FileListEntry& row, const TagRuleSettings& rule) {
  const std::pair<bool, Column> order[] = {
      {rule.author, Column::Author}, {rule.year, Column::Year},   {rule.album, Column::Album},
      {rule.track, Column::Track},   {rule.title, Column::Title},
  };
  std::string name;
  for (const auto& [on, column] : order) {
    const std::string& text = row.Text(column);
    if (on && !text.empty()) {
      name += text;
      name += rule.splitter;
    }
  }
  // Every text taken is followed by the splitter; the last one goes.
  if (!name.empty()) name.resize(name.size() - rule.splitter.size());
  return name;
}

std::string FormatDuration(std::uint64_t seconds) {
  const auto part = [](std::uint64_t value) {
    std::string text = std::to_string(value);
    return text.size() == 1 ? "0" + text : text;
  };
  return part(seconds / 3600) + ":" + part(seconds % 3600 / 60) + ":" + part(seconds % 60);
}

}  // namespace zandro
