// zandro-cli: the engine from a terminal.

#include <cstdio>
#include <cstring>
#include <string>

#include "audio/audio_io.h"
#include "engine/conversion_inputs.h"
#include "zplatform/diagnostics.h"

namespace {

constexpr const char* kUsage =
    "Usage: zandro-cli COMMAND [ARGUMENT]...\n"
    "Convert and tag WAV, MP3 and WMA files.\n"
    "\n"
    "Commands:\n"
    "  probe PATH...   show the stream of each file\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this help and exit\n";

const char* KindName(zandro::AudioKind kind) {
  switch (kind) {
    case zandro::AudioKind::Mp3:
      return "MP3";
    case zandro::AudioKind::Wav:
      return "WAV";
    case zandro::AudioKind::Wma:
      return "WMA";
    case zandro::AudioKind::None:
      break;
  }
  return "?";
}

int Probe(int argc, char** argv) {
  int status = 0;
  for (int i = 0; i < argc; ++i) {
    zandro::AudioInfo info;
    if (!zandro::ProbeAudioFile(argv[i], info)) {
      std::fprintf(stderr, "%s: cannot be read\n", argv[i]);
      status = 1;
      continue;
    }
    std::printf("%s\t%s\t%u\t%s\t%u\t%s\n", argv[i], KindName(info.kind), info.sampleRate,
                info.channels == 1 ? "mono" : "stereo", info.bitrate,
                zandro::FormatDuration(info.durationMs / 1000).c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Standard output carries results; diagnostics go with the messages.
  zplatform::SetDiagnosticSink([](std::string_view line) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
  });
  if (argc < 2 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::string command = argv[1];
  if (command == "probe" && argc > 2) return Probe(argc - 2, argv + 2);
  std::fprintf(stderr, "zandro-cli: unknown command or missing argument: %s\n%s", argv[1], kUsage);
  return 2;
}
