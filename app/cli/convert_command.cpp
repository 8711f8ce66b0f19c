#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/line_text.h"
#include "audio/wma_bridge.h"
#include "cli/terminal.h"
#include "engine/conversion_options.h"
#include "engine/conversion_plan.h"
#include "engine/conversion_run.h"
#include "engine/file_list.h"
#include "engine/parallel_run.h"
#include "cli/workers.h"

namespace zandro::cli {

namespace {

constexpr const char* kConvertHelp =
    "Usage: zandro-cli convert --to wav|mp3|wma [OPTION]... PATH...\n"
    "Convert the files (and the WAV, MP3 and WMA files of the directory trees)\n"
    "one after the other. Each target keeps its source's rate and channels.\n"
    "\n"
    "  -t, --to KIND             target kind: wav, mp3 or wma\n"
    "  -b, --bitrate KBPS        bit rate for every stream (mp3, wma)\n"
    "  -b, --bitrate RATE:CHANNELS=KBPS\n"
    "                            bit rate for one stream, e.g. 44100:stereo=192;\n"
    "                            repeat for each stream\n"
    "  -o, --out DIR             write the targets into DIR (made when missing);\n"
    "                            without it, targets go beside their sources\n"
    "  -n, --names-from-tags     name the targets from their tags\n"
    "      --tags LIST           tags that make the name, a comma list of author,\n"
    "                            year, album, track, title (default: all five;\n"
    "                            the order is always author, year, album, track, title)\n"
    "      --splitter TEXT       text between the tags (default \"-\")\n"
    "      --if-exists ANSWER    when a target exists: ask, skip, overwrite or\n"
    "                            rename:NAME (default: ask on a terminal, else skip)\n"
    "      --dry-run             print what would happen to each file (free, exists,\n"
    "                            collides with row N, ...), convert nothing\n"
    "      --delete-sources      after asking, move to the Trash the sources whose\n"
    "                            targets prove the conversion (the others stay)\n"
    "      --no-trash            with --delete-sources: delete them instead\n"
    "  -j, --jobs N              convert N files at once, each in a process of its\n"
    "                            own (default: the number of processors); the\n"
    "                            questions, lines and results are those of one\n"
    "                            file after the other\n"
    "  -h, --help                show this help and exit\n"
    "\n"
    "One line per file: status, source, target (tab separated), in the order of\n"
    "the files. Ctrl+C cancels: the files being converted are removed, the ones\n"
    "not started are listed as Waiting.\n"
    "%s"
    "Each file that is not listed (named, or met in a directory) is named on\n"
    "stderr with the reason.\n"
    "Exit status: 0 when every file is listed and Done or Skipped and no source\n"
    "that was to go stayed, 1 otherwise, 2 for wrong usage.\n";

enum OptionId { kTags = 1000, kSplitter, kIfExists, kDeleteSources, kNoTrash, kDryRun };

constexpr std::size_t kMaxJobs = 256;

struct StreamRate {
  bool forAll = true;
  StreamKey stream;
  std::string kbps;
};

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() < 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ParseBitrate(const std::string& text, StreamRate& out) {
  const std::size_t colon = text.find(':');
  const std::size_t equals = text.find('=');
  if (colon == std::string::npos && equals == std::string::npos) {
    out = {true, {}, text};
    return AllDigits(text);
  }
  if (colon == std::string::npos || equals == std::string::npos || equals < colon) return false;
  const std::string rate = text.substr(0, colon);
  const std::string channels = text.substr(colon + 1, equals - colon - 1);
  out.forAll = false;
  out.kbps = text.substr(equals + 1);
  if (!AllDigits(rate) || !AllDigits(out.kbps)) return false;
  out.stream.sampleRate = static_cast<std::uint32_t>(std::stoul(rate));
  if (channels == "stereo" || channels == "2") {
    out.stream.channels = 2;
  } else if (channels == "mono" || channels == "1") {
    out.stream.channels = 1;
  } else {
    return false;
  }
  return true;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : " ") + item;
  return out;
}

// Fills the stream table from the --bitrate options and refuses a bit rate
// the target does not offer for its stream; false stops before any work.
bool FillBitrates(AudioKind target, const std::vector<StreamRate>& rates, std::vector<StreamBitrateRow>& table) {
  for (const StreamRate& rate : rates) {
    bool matched = false;
    for (StreamBitrateRow& row : table) {
      const StreamKey stream = StreamOf(row);
      if (!rate.forAll && (stream.sampleRate != rate.stream.sampleRate || stream.channels != rate.stream.channels)) {
        continue;
      }
      matched = true;
      row.bitrateText = rate.kbps;
    }
    if (!matched && !rate.forAll) {
      std::fprintf(stderr, "zandro-cli: no file has the stream %u Hz %s; --bitrate %s:%s=%s is not used\n",
                   rate.stream.sampleRate, rate.stream.channels == 2 ? "stereo" : "mono",
                   std::to_string(rate.stream.sampleRate).c_str(), rate.stream.channels == 2 ? "stereo" : "mono",
                   rate.kbps.c_str());
    }
  }
  if (target == AudioKind::Wav) return true;
  for (const StreamBitrateRow& row : table) {
    if (row.bitrateText == kUnsetBitrate) continue;  // reported by the check that follows
    const std::vector<std::string> offered = BitrateChoices(target, StreamOf(row));
    if (std::find(offered.begin(), offered.end(), row.bitrateText) == offered.end()) {
      std::fprintf(stderr, "zandro-cli: %s Hz %s cannot be encoded at %s kbit/s; choose one of: %s\n",
                   row.sampleRateText.c_str(), row.channelsText.c_str(), row.bitrateText.c_str(),
                   offered.empty() ? "(none)" : Join(offered).c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int ConvertCommand(int argc, char** argv) {
  static const option kOptions[] = {{"to", required_argument, nullptr, 't'},
                                    {"bitrate", required_argument, nullptr, 'b'},
                                    {"out", required_argument, nullptr, 'o'},
                                    {"names-from-tags", no_argument, nullptr, 'n'},
                                    {"tags", required_argument, nullptr, kTags},
                                    {"splitter", required_argument, nullptr, kSplitter},
                                    {"if-exists", required_argument, nullptr, kIfExists},
                                    {"delete-sources", no_argument, nullptr, kDeleteSources},
                                    {"no-trash", no_argument, nullptr, kNoTrash},
                                    {"dry-run", no_argument, nullptr, kDryRun},
                                    {"jobs", required_argument, nullptr, 'j'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {nullptr, 0, nullptr, 0}};
  ConvertSettings settings;
  TagRuleSettings rule;
  std::vector<StreamRate> rates;
  IfExists ifExists;
  ifExists.mode = StdinIsTerminal() && StderrIsTerminal() ? IfExists::Mode::Ask : IfExists::Mode::Skip;
  bool haveTarget = false;
  SourceRemoval removal = SourceRemoval::Trash;
  bool dryRun = false;
  bool tagOptions = false;
  std::size_t jobs = ProcessorCount();

  optind = 1;
  for (int c; (c = getopt_long(argc, argv, "t:b:o:nj:h", kOptions, nullptr)) != -1;) {
    const std::string value = optarg ? optarg : "";
    switch (c) {
      case 't':
        haveTarget = true;
        if (value == "wav") {
          settings.targetKind = AudioKind::Wav;
        } else if (value == "mp3") {
          settings.targetKind = AudioKind::Mp3;
        } else if (value == "wma") {
          settings.targetKind = AudioKind::Wma;
        } else {
          return UsageError("convert", ("unknown target kind '" + value + "'").c_str());
        }
        break;
      case 'b': {
        StreamRate rate;
        if (!ParseBitrate(value, rate)) {
          return UsageError("convert", ("invalid bit rate '" + value + "'").c_str());
        }
        rates.push_back(rate);
        break;
      }
      case 'o':
        if (value.empty()) return UsageError("convert", "empty output directory");
        settings.sameDirectory = false;
        settings.outputDirectory = value;
        break;
      case 'n':
        settings.sameFileName = false;
        break;
      case kTags:
        tagOptions = true;
        if (!ParseTags(value, rule)) return UsageError("convert", ("invalid tag list '" + value + "'").c_str());
        break;
      case kSplitter:
        tagOptions = true;
        rule.splitter = value;
        break;
      case kIfExists:
        if (!ParseIfExists(value, ifExists)) {
          return UsageError("convert", ("invalid --if-exists answer '" + value + "'").c_str());
        }
        break;
      case kDeleteSources:
        settings.deleteSources = true;
        break;
      case kNoTrash:
        removal = SourceRemoval::Delete;
        break;
      case kDryRun:
        dryRun = true;
        break;
      case 'j':
        if (!AllDigits(value) || std::stoul(value) == 0 || std::stoul(value) > kMaxJobs) {
          return UsageError("convert", ("invalid number of jobs '" + value + "'").c_str());
        }
        jobs = std::stoul(value);
        break;
      case 'h':
        std::printf(kConvertHelp, kEscapeHelp);
        return 0;
      default:
        return UsageError("convert", nullptr);
    }
  }
  if (!haveTarget) return UsageError("convert", "missing --to");
  if (optind >= argc) return UsageError("convert", "missing PATH");
  if (tagOptions && settings.sameFileName) return UsageError("convert", "--tags and --splitter need --names-from-tags");
  if (settings.targetKind == AudioKind::Wma && !WmaAvailable()) {
    std::fputs("zandro-cli: WMA is not available: libwmvcore.so or libtalvex.so was not found beside the program\n",
               stderr);
    return 1;
  }

  // The list's tag texts only name targets; without that, reading the tags
  // of every file would cost as much as the probes.
  FileInspector inspector = FileInspector::Audio();
  if (settings.sameFileName) inspector.readTags = [](const std::string&, AudioInfo, SongTags&) {};
  FileList list(inspector);
  const bool allListed = AddPaths(list, optind, argc, argv);
  if (list.empty()) {
    std::fputs("zandro-cli: nothing to convert\n", stderr);
    return 1;
  }

  settings.streamBitrates = BuildStreamTable(list, false);
  const bool bitratesOffered = FillBitrates(settings.targetKind, rates, settings.streamBitrates);
  if (dryRun) {
    // What would happen to each row; nothing is made, asked or converted.
    for (const PlanRow& row : PlanConversion(list, settings, rule)) {
      std::printf("%s\t%s\t%s\n", EscapeField(OutcomeText(row)).c_str(), EscapeField(row.row.source).c_str(),
                  EscapeField(row.row.target).c_str());
    }
    return allListed ? 0 : 1;
  }
  if (!bitratesOffered) return 2;
  if (!CheckAllBitratesSet(settings)) return 2;

  std::vector<StatusRow> rows;
  if (!BuildStatusRows(list, settings, rule, rows)) return 1;

  TerminalPrompt prompt(ifExists);
  std::vector<StatusRow> finished;
  {
    TerminalRunView view(rows);
    if (std::min(jobs, rows.size()) <= 1) {
      ConversionRun run(rows, settings, view, prompt);
      view.Attach(&run);
      run.Run();
      finished = run.Rows();
    } else {
      ProcessWorkers workers(std::min(jobs, rows.size()), settings);
      ParallelConversionRun run(rows, view, prompt, workers);
      view.Attach(&run);
      run.Run();
      finished = run.Rows();
    }
    view.ReportUnstarted();
  }
  // A source that was to go and stayed fails the command: a script that
  // removes the folder after a zero exit would otherwise lose it.
  std::size_t stayed = 0;
  DeleteConvertedSources(list, settings, finished, removal, &stayed);
  return AllRowsSucceeded(finished) && allListed && stayed == 0 ? 0 : 1;
}

}  // namespace zandro::cli
