#include <getopt.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "engine/file_list.h"

namespace zandro::cli {

namespace {

constexpr const char* kProbeHelp =
    "Usage: zandro-cli probe [--json] PATH...\n"
    "Show each file as the file list shows it: the path and the columns Type,\n"
    "Samples/Sec, Channels, Bitrate(kbps), Time, Title, Author, Album, Track and\n"
    "Year, separated by tabs. A directory is scanned with its subdirectories for\n"
    "WMA, MP3 and WAV files.\n"
    "\n"
    "  -j, --json   print a JSON array of objects instead\n"
    "  -h, --help   show this help and exit\n"
    "\n"
    "Exit status: 0 when every named file was listed, 1 otherwise, 2 for wrong usage.\n";

nlohmann::ordered_json AsJson(const FileList& list, std::size_t row) {
  const FileListEntry& entry = list.at(row);
  const AudioInfo& info = list.InfoAt(row);
  return {
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
        std::fputs(kProbeHelp, stdout);
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
    // Names that are not valid UTF-8 are replaced rather than failing the whole listing.
    std::printf("%s\n", array.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
  } else {
    for (std::size_t row = 0; row < list.size(); ++row) {
      const FileListEntry& entry = list.at(row);
      std::string line = entry.caption;
      for (const std::string& text : entry.subItems) line += "\t" + text;
      std::printf("%s\n", line.c_str());
    }
  }
  return status;
}

}  // namespace zandro::cli
