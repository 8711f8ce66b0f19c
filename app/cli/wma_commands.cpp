#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/song_tags.h"
#include "audio/wma_bridge.h"
#include "cli/commands.h"
#include "cli/line_text.h"
#include "zplatform/input_file.h"
#include "zplatform/text.h"

namespace zandro::cli {

namespace {

constexpr const char* kFormatsHelp =
    "Usage: zandro-cli formats [--rate RATE] [--channels CHANNELS]\n"
    "List the WMA encoder formats: bit rate in bit/s, channels and sample rate,\n"
    "separated by tabs, in the order the WMA library reports them.\n"
    "\n"
    "  -r, --rate RATE           only formats of this sample rate (Hz)\n"
    "  -c, --channels CHANNELS   only formats of this channel count (1 or 2)\n"
    "  -h, --help                show this help and exit\n";

constexpr const char* kTagsHelp =
    "Usage: zandro-cli tags [OPTION]... PATH...\n"
    "Show the tags of MP3 and WMA files, or set some of them and keep the others.\n"
    "Each file gets one line: path, title, author, album, year and track,\n"
    "separated by tabs, as the file holds them afterwards.\n"
    "%s"
    "\n"
    "      --title TEXT    set the title (at most 255 bytes)\n"
    "      --author TEXT   set the author (at most 255 bytes)\n"
    "      --album TEXT    set the album (at most 255 bytes)\n"
    "      --year TEXT     set the year (at most 19 bytes)\n"
    "      --track TEXT    set the track (at most 19 bytes)\n"
    "  -h, --help          show this help and exit\n"
    "\n"
    "Exit status: 0 when every file was read (and written), 1 otherwise, 2 for wrong usage.\n";

bool WmaOrComplain() {
  if (WmaAvailable()) return true;
  std::fputs("zandro-cli: WMA is not available: libwmvcore.so or libtalvex.so was not found beside the program\n",
             stderr);
  return false;
}

bool ParseCount(const char* text, std::int64_t& value) {
  char* end = nullptr;
  value = std::strtoll(text, &end, 10);
  return end && *end == '\0' && end != text && value > 0;
}

struct FormatFilter {
  std::int64_t rate = 0;
  std::int64_t channels = 0;
};
FormatFilter formatFilter;

void PrintFormat(std::int32_t bitrate, std::int32_t channels, std::int32_t rate) {
  if (formatFilter.rate && rate != formatFilter.rate) return;
  if (formatFilter.channels && channels != formatFilter.channels) return;
  std::printf("%d\t%d\t%d\n", bitrate, channels, rate);
}

}  // namespace

int FormatsCommand(int argc, char** argv) {
  static const option kOptions[] = {{"rate", required_argument, nullptr, 'r'},
                                    {"channels", required_argument, nullptr, 'c'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {nullptr, 0, nullptr, 0}};
  formatFilter = {};
  optind = 1;
  for (int c; (c = getopt_long(argc, argv, "r:c:h", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'r':
        if (!ParseCount(optarg, formatFilter.rate)) return UsageError("formats", "invalid --rate");
        break;
      case 'c':
        if (!ParseCount(optarg, formatFilter.channels)) return UsageError("formats", "invalid --channels");
        break;
      case 'h':
        std::fputs(kFormatsHelp, stdout);
        return 0;
      default:
        return UsageError("formats", nullptr);
    }
  }
  if (optind < argc) return UsageError("formats", "unexpected argument");
  if (!WmaOrComplain()) return 1;
  Wma().EnumWMAFormat(&PrintFormat);
  return 0;
}

int TagsCommand(int argc, char** argv) {
  static const option kOptions[] = {{"title", required_argument, nullptr, 't'},
                                    {"author", required_argument, nullptr, 'a'},
                                    {"album", required_argument, nullptr, 'b'},
                                    {"year", required_argument, nullptr, 'y'},
                                    {"track", required_argument, nullptr, 'n'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {nullptr, 0, nullptr, 0}};
  struct Change {
    bool set = false;
    std::string text;
  } title, author, album, year, track;
  optind = 1;
  for (int c; (c = getopt_long(argc, argv, "h", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 't':
        title = {true, optarg};
        break;
      case 'a':
        author = {true, optarg};
        break;
      case 'b':
        album = {true, optarg};
        break;
      case 'y':
        year = {true, optarg};
        break;
      case 'n':
        track = {true, optarg};
        break;
      case 'h':
        std::printf(kTagsHelp, kEscapeHelp);
        return 0;
      default:
        return UsageError("tags", nullptr);
    }
  }
  if (optind >= argc) return UsageError("tags", "missing PATH");
  if (!WmaOrComplain()) return 1;
  const bool writing = title.set || author.set || album.set || year.set || track.set;

  int status = 0;
  for (int i = optind; i < argc; ++i) {
    const std::string path = argv[i];
    const AudioKind kind = KindFromFileName(path);
    if (kind != AudioKind::Mp3 && kind != AudioKind::Wma) {
      ReportFileProblem(path, "only MP3 and WMA files carry tags");
      status = 1;
      continue;
    }
    // A FIFO or a device would hang the tag reader: only regular files.
    if (std::string reason; !zplatform::CheckRegularFile(path, &reason)) {
      ReportFileProblem(path, reason);
      status = 1;
      continue;
    }
    AudioInfo info;
    info.kind = kind;
    SongTags tags;
    if (!ReadSongTags(path, info, tags)) {
      ReportFileProblem(path, "the tags cannot be read");
      status = 1;
      continue;
    }
    if (writing) {
      auto apply = [&path](const Change& change, char* field, std::size_t size, const char* name) {
        if (!change.set) return;
        if (change.text.size() > size - 1) {
          ReportFileProblem(path, std::string(name) + " cut to " + std::to_string(size - 1) + " bytes");
        }
        zplatform::CopyToField(change.text, field, size);
      };
      apply(title, tags.title, sizeof tags.title, "title");
      apply(author, tags.author, sizeof tags.author, "author");
      apply(album, tags.album, sizeof tags.album, "album");
      apply(year, tags.year, sizeof tags.year, "year");
      apply(track, tags.track, sizeof tags.track, "track");
      if (!WriteSongTags(path, info, tags) || !ReadSongTags(path, info, tags)) {
        ReportFileProblem(path, "the tags cannot be written");
        status = 1;
        continue;
      }
    }
    std::string line = EscapeField(path);
    auto add = [&line](const std::string& text) { line += "\t" + EscapeField(text); };
    add(zplatform::FieldText(tags.title));
    add(zplatform::FieldText(tags.author));
    add(zplatform::FieldText(tags.album));
    add(zplatform::FieldText(tags.year));
    add(zplatform::FieldText(tags.track));
    std::printf("%s\n", line.c_str());
  }
  return status;
}

}  // namespace zandro::cli
