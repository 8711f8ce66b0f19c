// How long the progress window can go without handling events while a long
// file converts: the largest gap between two event pumps of a run (one pump
// after every block), for each pair of source and target kinds. A Cancel
// click or a repaint waits at most that long.
//
//   pump_gap_bench [SECONDS]   (length of the generated stereo 44100 Hz file; default 120)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

#include "audio/audio_io.h"
#include "audio/wma_bridge.h"
#include "audio/wav_file.h"
#include "engine/conversion_options.h"
#include "engine/conversion_run.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class GapView final : public zandro::ConversionView {
 public:
  void SetTotalMaximum(std::size_t) override {}
  void SetTotalProgress(std::size_t) override {}
  void SetFileProgress(int) override {}
  void ShowCurrentRow(std::size_t) override {}
  void SetRowStatus(std::size_t, const std::string&) override {}
  void SetRowTarget(std::size_t, const std::string&) override {}
  void SetTimes(const std::string&, const std::string&) override {}
  void PumpEvents() override {
    const Clock::time_point now = Clock::now();
    if (pumps++ > 0) gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
  }
  void RunCompleted() override {}

  std::vector<double> gaps;
  std::size_t pumps = 0;
  Clock::time_point last;
};

class NoPrompt final : public zandro::OverwritePrompt {
 public:
  zandro::FileExistReply Ask(const std::string&) override { return {zandro::FileExistAnswer::OverWrite, {}}; }
};

// A tone with a little noise, so the encoders have real work.
bool WriteTone(const std::string& path, unsigned seconds) {
  zandro::AudioInfo info;
  info.kind = zandro::AudioKind::Wav;
  info.sampleRate = 44100;
  info.channels = 2;
  if (!zandro::OpenAudioWriter(path, info)) return false;
  std::mt19937 noise(7);
  std::uniform_int_distribution<int> jitter(-300, 300);
  std::vector<std::int16_t> block(44100 * 2);
  std::uint64_t n = 0;
  for (unsigned s = 0; s < seconds; ++s) {
    for (std::size_t i = 0; i < block.size(); i += 2, ++n) {
      const double v = 8000.0 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(n) / 44100.0);
      block[i] = static_cast<std::int16_t>(v + jitter(noise));
      block[i + 1] = static_cast<std::int16_t>(v + jitter(noise));
    }
    if (!zandro::WriteAudioBlock(info, reinterpret_cast<const std::uint8_t*>(block.data()),
                                 static_cast<std::uint32_t>(block.size() * 2))) {
      return false;
    }
  }
  return zandro::CloseAudioWriter(info);
}

void Measure(const char* label, const std::string& source, const std::string& target, zandro::AudioKind kind) {
  zandro::StatusRow row;
  row.source = source;
  row.target = target;
  zandro::ConvertSettings settings;
  settings.targetKind = kind;
  settings.streamBitrates = {{"44100", "stereo", "128"}};
  GapView view;
  NoPrompt prompt;
  zandro::ConversionRun run({row}, settings, view, prompt);
  const Clock::time_point start = Clock::now();
  run.Run();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> gaps = view.gaps;
  std::sort(gaps.begin(), gaps.end());
  const double max = gaps.empty() ? 0 : gaps.back();
  const double p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
  std::printf("%-12s %-6s %8zu pumps  run %6.2f s  gap p99 %7.2f ms  max %7.2f ms\n", label,
              run.Rows()[0].status.c_str(), view.pumps, seconds, p99, max);
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned seconds = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 120;
  zandro::LoadWmaLibrary();
  const fs::path dir = fs::temp_directory_path() / ("zandro-pump-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string wav = (dir / "tone.wav").string();
  if (!WriteTone(wav, seconds)) {
    std::fprintf(stderr, "pump_gap_bench: cannot write %s\n", wav.c_str());
    return 1;
  }
  std::printf("%u s stereo 44100 Hz; one pump per block\n", seconds);
  Measure("WAV -> MP3", wav, (dir / "tone.mp3").string(), zandro::AudioKind::Mp3);
  Measure("MP3 -> WAV", (dir / "tone.mp3").string(), (dir / "back-mp3.wav").string(), zandro::AudioKind::Wav);
  if (zandro::WmaAvailable()) {
    Measure("WAV -> WMA", wav, (dir / "tone.wma").string(), zandro::AudioKind::Wma);
    Measure("WMA -> WAV", (dir / "tone.wma").string(), (dir / "back-wma.wav").string(), zandro::AudioKind::Wav);
  }
  Measure("WAV -> WAV", wav, (dir / "copy.wav").string(), zandro::AudioKind::Wav);
  fs::remove_all(dir);
  return 0;
}
