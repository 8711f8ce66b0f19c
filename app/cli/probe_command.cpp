#include <getopt.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/line_text.h"
#include "engine/file_list.h"

namespace zandro::cli {

namespace {

constexpr const char* kProbeHelp =
    "Usage: zandro-cli probe [--json] PATH...\n"
    "Show each file as the file list shows it: the path and the columns Type,\n"
    "Samples/Sec, Channels, Bitrate(kbps), Time, Title, Author, Album, Track and\n"
    "Year, separated by tabs. A directory is scanned with its subdirectories for\n"
    "WMA, MP3 and WAV files. Each file that is not listed is named on stderr\n"
    "with the reason.\n"
    "%s"
    "\n"
    "  -j, --json   print a JSON array of objects instead; a path that is not\n"
    "               valid UTF-8 shows with U+FFFD in \"path\" and whole in\n"
    "               \"path_bytes\", its bytes as lower-case hexadecimal digits\n"
    "  -h, --help   show this help and exit\n"
    "\n"
    "Exit status: 0 when every file named or met in a directory was listed,\n"
    "1 otherwise, 2 for wrong usage.\n";

// Well-formed UTF-8 as JSON text must be: no overlong forms, no surrogates,
// nothing past U+10FFFF.
bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned min = 0, max = 0xBF;  // the range of the second byte
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, min = lead == 0xE0 ? 0xA0 : 0x80, max = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, min = lead == 0xF0 ? 0x90 : 0x80, max = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? min : 0x80) || next > (k == 1 ? max : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

std::string HexBytes(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
  }
  return out;
}

nlohmann::ordered_json AsJson(const FileList& list, std::size_t row) {
  const FileListEntry& entry = list.at(row);
  const AudioInfo& info = list.InfoAt(row);
  nlohmann::ordered_json object = {
      {"path", entry.caption},
      {"type", entry.Text(Column::Type)},
      {"sampleRate", info.sampleRate},
      {"channels", entry.Text(Column::Channels)},
      {"bitrate", info.bitrate},
      {"durationMs", info.durationMs},
      {"time", entry.Text(Column::Time)},
      {"title", entry.Text(Column::Title)},
      {"author", entry.Text(Column::Author)},
      {"album", entry.Text(Column::Album)},
      {"track", entry.Text(Column::Track)},
      {"year", entry.Text(Column::Year)},
  };
  // JSON text is Unicode; a name's bytes need not be. The raw bytes travel
  // beside the readable form so that the path is never lost.
  if (!IsValidUtf8(entry.caption)) object["path_bytes"] = HexBytes(entry.caption);
  return object;
}

}  // namespace

int ProbeCommand(int argc, char** argv) {
  static const option kOptions[] = {{"json", no_argument, nullptr, 'j'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {nullptr, 0, nullptr, 0}};
  bool json = false;
  optind = 1;
  for (int c; (c = getopt_long(argc, argv, "jh", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'j':
        json = true;
        break;
      case 'h':
        std::printf(kProbeHelp, kEscapeHelp);
        return 0;
      default:
        return UsageError("probe", nullptr);
    }
  }
  if (optind >= argc) return UsageError("probe", "missing PATH");

  FileList list;
  const int status = AddPaths(list, optind, argc, argv) ? 0 : 1;

  if (json) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (std::size_t row = 0; row < list.size(); ++row) array.push_back(AsJson(list, row));
    // Invalid UTF-8 shows as U+FFFD ("path_bytes" keeps a path whole).
    std::printf("%s\n", array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
  } else {
    for (std::size_t row = 0; row < list.size(); ++row) {
      const FileListEntry& entry = list.at(row);
      std::string line = EscapeField(entry.caption);
      for (const std::string& text : entry.subItems) line += "\t" + EscapeField(text);
      std::printf("%s\n", line.c_str());
    }
  }
  return status;
}

}  // namespace zandro::cli
