#pragma once
// The records a conversion run reads and the windows around it fill: a row
// of the file list, the options of one run, the naming rule, and the helpers
// that read them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "audio/audio_info.h"

namespace zandro {

// Columns of the file list; a row's sub-item index is its column minus one.
enum class Column : int {
  FileName = 0,
  Type = 1,
  SamplesPerSec = 2,
  Channels = 3,
  Bitrate = 4,
  Time = 5,
  Title = 6,
  Author = 7,
  Album = 8,
  Track = 9,
  Year = 10,
};

inline constexpr int kColumnCount = 11;

// The header captions, in column order.
extern const std::array<std::string_view, kColumnCount> kColumnCaptions;

struct FileListEntry {
  std::string caption;                   // full path, exactly as added
  std::array<std::string, 10> subItems;  // columns 1 to 10
  bool selected = false;

  // The text of any column, the caption included.
  const std::string& Text(Column column) const;
  std::string& Text(Column column);
};

struct StreamBitrateRow {
  std::string sampleRateText;  // decimal Hz, as in the "Samples/Sec" column
  std::string channelsText;    // "mono" or "stereo"
  std::string bitrateText;     // "unset" or decimal kbit/s
};

inline constexpr std::string_view kUnsetBitrate = "unset";

struct ConvertSettings {
  AudioKind targetKind = AudioKind::Wav;
  std::vector<StreamBitrateRow> streamBitrates;
  bool sameDirectory = true;
  std::string outputDirectory;
  bool sameFileName = true;
  bool deleteSources = false;
  bool selectedOnly = false;
};

struct TagRuleSettings {
  bool author = true;
  bool year = true;
  bool album = true;
  bool track = true;
  bool title = true;
  std::string splitter = "-";
};

// The bit rate (kbit/s) of the first row for this stream; 0 when none
// matches. Only 1 (mono) and 2 (stereo) channels can match.
int ChosenBitrate(const std::vector<StreamBitrateRow>& streamBitrates, std::uint32_t sampleRate,
                  std::uint32_t channels);

// The base name (no directory, no extension) the rule makes from a row's
// tags, in the order Author, Year, Album, Track, Title; may be empty. Tag
// texts are used as they stand.
std::string BuildNameFromTags(const FileListEntry& row, const TagRuleSettings& rule);

// hh:mm:ss, every part at least two digits; hours are not limited.
std::string FormatDuration(std::uint64_t seconds);

// A decimal text as the list holds it, read the way the design's
// string-to-integer conversion does for valid text; anything else gives 0.
int TextToInt(std::string_view text);

}  // namespace zandro
