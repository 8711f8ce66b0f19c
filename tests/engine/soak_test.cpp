// One long run over many files of every kind: memory, descriptors and
// threads stay where they were after the first files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "audio/audio_io.h"
#include "audio/wma_bridge.h"
#include "engine/conversion_run.h"
#include "support/test_support.h"
#include "zplatform/diagnostics.h"

namespace {

using namespace zandro;
using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

long StatusField(const std::string& name) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(name + ":", 0) == 0) return std::stol(line.substr(name.size() + 1));
  }
  return -1;
}

long OpenDescriptors() {
  long count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

struct Usage {
  long peakKb = 0, descriptors = 0, threads = 0;
};

struct SamplingView : ConversionView {
  std::map<std::size_t, Usage> at;
  void SetTotalMaximum(std::size_t) override {}
  void SetTotalProgress(std::size_t rows) override {
    if (rows == 50 || rows == 500) at[rows] = {StatusField("VmHWM"), OpenDescriptors(), StatusField("Threads")};
  }
  void SetFileProgress(int) override {}
  void ShowCurrentRow(std::size_t) override {}
  void SetRowStatus(std::size_t, const std::string&) override {}
  void SetRowTarget(std::size_t, const std::string&) override {}
  void SetTimes(const std::string&, const std::string&) override {}
  void PumpEvents() override {}
  void RunCompleted() override {}
};

struct NoPrompt : OverwritePrompt {
  FileExistReply Ask(const std::string&) override { return {FileExistAnswer::Skip, ""}; }
};

// Converts `source` into a file of `kind` through the audio operations.
void Encode(const std::string& source, const std::string& target, AudioKind kind) {
  AudioInfo in;
  ASSERT_TRUE(ProbeAudioFile(source, in));
  ASSERT_TRUE(OpenAudioReader(source, in, 0));
  AudioInfo out = in;
  out.kind = kind;
  out.bitrate = 128;
  ASSERT_TRUE(OpenAudioWriter(target, out));
  const std::uint8_t* block = nullptr;
  std::uint32_t count = 0;
  while (ReadAudioBlock(in, block, count)) ASSERT_TRUE(WriteAudioBlock(out, block, count));
  CloseAudioReader(in);
  ASSERT_TRUE(CloseAudioWriter(out));
}

TEST(Soak, FiveHundredFilesOfEveryKindInOneRun) {
  zplatform::SetDiagnosticSink([](std::string_view) {});
  MessageRecorder messages;
  LoadWmaLibrary();
  ASSERT_TRUE(WmaAvailable());
  TempDir dir;
  fs::create_directories(dir.File("in"));
  const std::string wav = dir.File("base.wav");
  testing_support::WriteBytes(wav, testing_support::SimpleWav(2, 44100, testing_support::Pcm16(44100)));
  Encode(wav, dir.File("base.mp3"), AudioKind::Mp3);
  Encode(wav, dir.File("base.wma"), AudioKind::Wma);
  const char* kinds[] = {"wav", "mp3", "wma"};
  for (int i = 0; i < 500; ++i) {
    const std::string kind = kinds[i % 3];
    fs::copy_file(dir.File("base." + kind), dir.File("in/" + std::to_string(i) + "." + kind));
  }
  FileList list;
  ASSERT_EQ(list.AddDirectory(dir.File("in"), ScanFilter::All), 500u);
  ConvertSettings settings;
  settings.targetKind = AudioKind::Mp3;
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  settings.streamBitrates = {{"44100", "stereo", "128"}};
  std::vector<StatusRow> rows;
  ASSERT_TRUE(BuildStatusRows(list, settings, TagRuleSettings{}, rows));
  SamplingView view;
  NoPrompt prompt;
  ConversionRun run(rows, settings, view, prompt);
  run.Run();
  EXPECT_TRUE(AllRowsSucceeded(run.Rows()));

  const Usage early = view.at[50];
  const Usage late = view.at[500];
  std::printf("peak RSS at file 50: %ld kB, at file 500: %ld kB; descriptors %ld/%ld; threads %ld/%ld\n",
              early.peakKb, late.peakKb, early.descriptors, late.descriptors, early.threads, late.threads);
  EXPECT_LE(late.peakKb, early.peakKb * 11 / 10);
  EXPECT_EQ(late.descriptors, early.descriptors);
  EXPECT_EQ(late.threads, early.threads);
}

}  // namespace
