#include <gtest/gtest.h>

#include <filesystem>

#include "engine/conversion_plan.h"
#include "support/test_support.h"
#include "zplatform/diagnostics.h"

namespace {

using namespace zandro;
using testing_support::TempDir;
namespace fs = std::filesystem;

void MakeWav(const std::string& path, std::uint32_t rate) {
  fs::create_directories(fs::path(path).parent_path());
  testing_support::WriteBytes(path, testing_support::SimpleWav(2, rate, testing_support::Pcm16(8000)));
}

TEST(ConversionPlan, EveryKindOfRow) {
  zplatform::SetDiagnosticSink([](std::string_view) {});
  TempDir dir;
  FileList list;
  struct Source {
    const char* path;
    std::uint32_t rate;
  } const sources[] = {
      {"a/free.wav", 44100},  {"a/song.wav", 44100}, {"b/song.wav", 44100},
      {"a/taken.wav", 44100}, {"a/hi.wav", 96000},   {"a/odd.wav", 22050},
      {"a/slash.wav", 44100},
  };
  for (const Source& s : sources) {
    MakeWav(dir.File(s.path), s.rate);
    ASSERT_TRUE(list.AddFile(dir.File(s.path)));
  }
  list.SetText(6, Column::Title, "x/y");
  ConvertSettings settings;
  settings.targetKind = AudioKind::Mp3;
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  settings.sameFileName = false;
  settings.streamBitrates = {{"44100", "stereo", "128"}, {"96000", "stereo", "128"}, {"22050", "stereo", "unset"}};
  TagRuleSettings rule;

  const auto plan = [&] { return PlanConversion(list, settings, rule); };
  auto rows = plan();
  EXPECT_FALSE(fs::exists(dir.File("out")));  // a plan makes nothing
  ASSERT_EQ(rows.size(), 7u);
  std::vector<std::string> texts;
  for (const PlanRow& row : rows) texts.push_back(OutcomeText(row));
  EXPECT_EQ(texts, (std::vector<std::string>{"free", "free", "collides with row 2", "free",
                                             "target kind cannot hold this stream", "no bit rate chosen",
                                             "name from tags unusable"}));
  EXPECT_EQ(rows[2].row.target, dir.File("out/song.mp3"));

  fs::create_directories(dir.File("out"));
  testing_support::WriteBytes(dir.File("out/taken.mp3"), {1});
  EXPECT_EQ(plan()[3].outcome, PlanOutcome::ExistsOnDisk);

  settings.targetKind = AudioKind::Wav;
  settings.sameDirectory = true;
  settings.sameFileName = true;
  rows = plan();
  EXPECT_EQ(rows[0].outcome, PlanOutcome::IsTheSource);
  EXPECT_EQ(rows[4].outcome, PlanOutcome::IsTheSource);  // WAV holds 96000 Hz

  // The plan's targets are the run's targets.
  std::vector<StatusRow> built;
  ASSERT_TRUE(BuildStatusRows(list, settings, rule, built));
  for (std::size_t i = 0; i < built.size(); ++i) EXPECT_EQ(built[i].target, rows[i].row.target);
}

}  // namespace
