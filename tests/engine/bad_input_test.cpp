// Hostile input through the whole engine: whatever the files hold or are
// called, the run ends each row cleanly, writes only into its directory and
// leaves every source as it was.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "audio/wma_bridge.h"
#include "engine/conversion_run.h"
#include "support/test_support.h"
#include "zplatform/diagnostics.h"

namespace {

using namespace zandro;
using testing_support::Bytes;
using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

struct NullView : ConversionView {
  void SetTotalMaximum(std::size_t) override {}
  void SetTotalProgress(std::size_t) override {}
  void SetFileProgress(int) override {}
  void ShowCurrentRow(std::size_t) override {}
  void SetRowStatus(std::size_t, const std::string&) override {}
  void SetRowTarget(std::size_t, const std::string&) override {}
  void SetTimes(const std::string&, const std::string&) override {}
  void PumpEvents() override {}
  void RunCompleted() override {}
};

struct SkipPrompt : OverwritePrompt {
  FileExistReply Ask(const std::string&) override { return {FileExistAnswer::Skip, ""}; }
};

Bytes Fixture(const char* name) { return testing_support::ReadBytes(testing_support::RealFixture(name)); }

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(std::min(size, bytes.size()));
  return bytes;
}

// Every file of the tree, by path, with its bytes.
std::map<std::string, Bytes> Snapshot(const fs::path& root) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files[entry.path().string()] = testing_support::ReadBytes(entry.path().string());
  }
  return files;
}

class BadInput : public testing::TestWithParam<AudioKind> {
 protected:
  void SetUp() override {
    zplatform::SetDiagnosticSink([](std::string_view) {});
    LoadWmaLibrary();
  }
};

TEST_P(BadInput, EveryRowEndsCleanlyAndNothingOutsideTheTargetDirectoryChanges) {
  MessageRecorder messages;
  TempDir dir;
  const fs::path sources = dir.path() / "in";
  fs::create_directories(sources);
  const Bytes wav = testing_support::SimpleWav(2, 44100, testing_support::Pcm16(44100 * 4));
  const Bytes mp3 = Fixture("xing.mp3");
  const Bytes wma = Fixture("silence-1.wma");
  std::map<std::string, Bytes> cases = {
      {"empty.wav", {}},
      {"empty.mp3", {}},
      {"empty.wma", {}},
      {"text.mp3", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}},
      {"wav-inside.mp3", wav},
      {"mp3-inside.wma", mp3},
      {"wma-inside.wav", wma},
      {"half.mp3", Cut(mp3, mp3.size() / 2)},
      {"header-only.wma", Cut(wma, 5000)},
      {"claims-more.wav", Cut(wav, 44 + 1000)},
      {"eight-bit.wav", Fixture("uint8we.wav")},
      {"float.wav", Fixture("float64.wav")},
      {"alaw.wav", Fixture("alaw.wav")},
      {"rf64.wav", Fixture("rf64.wav")},
      {"with space 'single' \"double\".wav", wav},
      {std::string("bytes-\xff\xfe-not-utf8.wav"), wav},
      {std::string(251, 'n') + ".wav", wav},  // a 255-byte name
  };
  // Cut at every chunk boundary of the header and inside the data.
  for (std::size_t size : {4u, 8u, 12u, 20u, 36u, 40u, 44u, 45u}) cases["cut-" + std::to_string(size) + ".wav"] = Cut(wav, size);
  for (const auto& [name, bytes] : cases) testing_support::WriteBytes((sources / name).string(), bytes);

  FileList list;
  list.AddDirectory(sources.string(), ScanFilter::All);
  // Some go away or change between listing and converting.
  testing_support::WriteBytes((sources / "vanishing.wav").string(), wav);
  ASSERT_TRUE(list.AddFile((sources / "vanishing.wav").string()));
  fs::remove(sources / "vanishing.wav");
  testing_support::WriteBytes((sources / "shrinking.wav").string(), wav);
  ASSERT_TRUE(list.AddFile((sources / "shrinking.wav").string()));
  testing_support::WriteBytes((sources / "shrinking.wav").string(), Cut(wav, 30));
  const auto before = Snapshot(sources);

  ConvertSettings settings;
  settings.targetKind = GetParam();
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  settings.streamBitrates = {{"44100", "stereo", "128"}, {"48000", "stereo", "128"}, {"8000", "stereo", "32"},
                             {"11025", "mono", "32"},    {"44100", "mono", "64"}};
  settings.deleteSources = false;
  std::vector<StatusRow> rows;
  ASSERT_TRUE(BuildStatusRows(list, settings, TagRuleSettings{}, rows));
  NullView view;
  SkipPrompt prompt;
  ConversionRun run(rows, settings, view, prompt);
  run.Run();

  EXPECT_TRUE(run.Completed());
  EXPECT_EQ(Snapshot(sources), before);  // no source changed, none appeared
  std::size_t done = 0;
  for (const StatusRow& row : run.Rows()) {
    SCOPED_TRACE(row.source);
    EXPECT_TRUE(row.status == "Done" || row.status == "Error" || row.status == "Skipped") << row.status;
    EXPECT_EQ(fs::path(row.target).parent_path(), fs::path(dir.File("out")));
    if (row.status == "Error") {
      EXPECT_FALSE(fs::exists(row.target));
    }
    if (row.status == "Done") ++done;
  }
  // The well-formed ones convert, whatever their names hold.
  for (const char* good : {"with space 'single' \"double\"", "bytes-\xff\xfe-not-utf8"}) {
    EXPECT_TRUE(fs::exists(dir.File(std::string("out/") + good + std::string(ExtensionForKind(GetParam()))))) << good;
  }
  EXPECT_GE(done, 3u);
}

INSTANTIATE_TEST_SUITE_P(Targets, BadInput, testing::Values(AudioKind::Wav, AudioKind::Mp3, AudioKind::Wma),
                         [](const auto& param) {
                           return std::string(param.param == AudioKind::Wav   ? "Wav"
                                              : param.param == AudioKind::Mp3 ? "Mp3"
                                                                              : "Wma");
                         });

}  // namespace
