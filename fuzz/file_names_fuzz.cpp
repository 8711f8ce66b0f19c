// The names the file list makes from tags and the checks on names a user
// types: conversion targets, auto-rename (for real, in a scratch folder)
// and "Use New Name". Whatever the tags, the rule and the typed name, no
// file may be written or moved outside its directory, and the source file
// is never lost.
//
// Input: two bytes of switches, then NUL-separated texts: splitter, author,
// year, album, track, title, typed new name, source file name.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "engine/auto_rename.h"
#include "engine/conversion_run.h"
#include "engine/file_list.h"
#include "engine/overwrite_prompt.h"
#include "fuzz_support.h"
#include "zplatform/path.h"

using namespace zandro;
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSourceContent = "the source";

std::vector<std::string> SplitTexts(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> texts(8);
  std::size_t field = 0;
  for (std::size_t i = 0; i < size && field < texts.size(); ++i) {
    if (data[i] == 0) {
      ++field;
    } else {
      texts[field] += static_cast<char>(data[i]);
    }
  }
  return texts;
}

// A tag field as the library hands it over: at most width - 1 bytes.
std::string AsField(std::string text, std::size_t width) {
  if (text.size() > width - 1) text.resize(width - 1);
  return text;
}

class RuleFromInput final : public TagRuleDialog {
 public:
  explicit RuleFromInput(TagRuleSettings rule) : rule_(std::move(rule)) {}
  bool Edit(TagRuleSettings& rule) override {
    rule = rule_;
    return true;
  }

 private:
  TagRuleSettings rule_;
};

class AnswerFromInput final : public OverwritePrompt {
 public:
  AnswerFromInput(FileExistAnswer answer, std::string newName) : answer_(answer), newName_(std::move(newName)) {}
  FileExistReply Ask(const std::string&) override { return {answer_, newName_}; }

 private:
  FileExistAnswer answer_;
  std::string newName_;
};

std::vector<fs::path> Entries(const fs::path& directory) {
  std::vector<fs::path> entries;
  for (const auto& entry : fs::directory_iterator(directory)) entries.push_back(entry.path());
  return entries;
}

std::string Content(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool silenced = (zandro_fuzz::Silence(), true);
  (void)silenced;
  if (size < 2) return 0;
  const unsigned switches = data[0] | static_cast<unsigned>(data[1]) << 8;
  const std::vector<std::string> texts = SplitTexts(data + 2, size - 2);

  TagRuleSettings rule;
  rule.author = switches & 1;
  rule.year = switches & 2;
  rule.album = switches & 4;
  rule.track = switches & 8;
  rule.title = switches & 16;
  rule.splitter = texts[0];
  SongTags tags{};
  const auto fill = [](char* field, std::size_t width, const std::string& text) {
    const std::string cut = AsField(text, width);
    std::copy(cut.begin(), cut.end(), field);
  };
  fill(tags.author, sizeof tags.author, texts[1]);
  fill(tags.year, sizeof tags.year, texts[2]);
  fill(tags.album, sizeof tags.album, texts[3]);
  fill(tags.track, sizeof tags.track, texts[4]);
  fill(tags.title, sizeof tags.title, texts[5]);
  const std::string& typedName = texts[6];
  // A source is a file in a folder: its name is a real, plain file name.
  std::string sourceName = texts[7];
  for (char& c : sourceName) {
    if (c == '/') c = '_';
  }
  if (sourceName.empty() || sourceName == "." || sourceName == "..") sourceName = "a" + sourceName;

  // The scratch layout: <root>/work holds the files; nothing else may
  // appear in <root>.
  const fs::path root = fs::path(zandro_fuzz::ScratchDirectory()) / "names";
  const fs::path work = root / "work";
  std::error_code error;
  fs::remove_all(root, error);
  fs::create_directories(work);
  const std::string workDir = work.string() + "/";
  const std::string source = workDir + sourceName;

  FileInspector inspector;
  inspector.probe = [](const std::string& path, AudioInfo& info) {
    info.kind = KindFromFileName(path) == AudioKind::Wma ? AudioKind::Wma : AudioKind::Mp3;
    info.sampleRate = 44100;
    info.channels = 2;
    info.bitrate = 128;
    info.durationMs = 1000;
  };
  inspector.readTags = [&tags](const std::string&, AudioInfo, SongTags& out) { out = tags; };
  FileList list(inspector);
  list.AddFile(source);
  list.SetSelected(0, true);

  // Conversion targets: in the chosen directory, or refused.
  ConvertSettings settings;
  settings.targetKind = (switches & 32) ? AudioKind::Wma : AudioKind::Wav;
  settings.sameFileName = switches & 64;
  settings.sameDirectory = switches & 128;
  settings.outputDirectory = (root / "out").string();
  for (const StatusRow& row : ComputeStatusRows(list, settings, rule)) {
    const std::string expected = settings.sameDirectory ? workDir : settings.outputDirectory + "/";
    FUZZ_CHECK(row.unsafeName || zplatform::DirectoryPart(row.target) == expected,
               "conversion target " + row.target + " outside " + expected);
    FUZZ_CHECK(!zplatform::FileNamePart(row.target).empty(), "conversion target without a name");

    const std::string problem = NewNameProblem(row.target, typedName);
    if (problem.empty()) {
      const std::string renamed = zplatform::DirectoryPart(row.target) + typedName;
      FUZZ_CHECK(zplatform::DirectoryPart(renamed) == zplatform::DirectoryPart(row.target),
                 "new name " + typedName + " leaves the directory");
      FUZZ_CHECK(typedName != "." && typedName != "..", "new name " + typedName + " names no file");
    }
  }

  // Auto-rename for real. The file may fail to exist (a name too long).
  { std::ofstream(source, std::ios::binary) << kSourceContent; }
  if (!fs::exists(source, error)) return 0;
  // Make the name the rule gives taken, so that the prompt is asked.
  const std::string base = BuildNameFromTags(list.at(0), rule);
  const std::string takenName = base + zplatform::ExtensionPart(source);
  const bool collide = (switches & 256) != 0 && base.find('/') == std::string::npos && !base.empty() &&
                       base != "." && base != ".." && takenName != sourceName;
  if (collide) std::ofstream(workDir + takenName, std::ios::binary) << "taken";
  const std::size_t before = Entries(work).size();

  RuleFromInput dialog(rule);
  static constexpr FileExistAnswer kAnswers[] = {FileExistAnswer::None, FileExistAnswer::UseNewName,
                                                 FileExistAnswer::OverWrite, FileExistAnswer::Skip};
  AnswerFromInput prompt(kAnswers[(switches >> 9) & 3], typedName);
  TagRuleSettings editable;
  const std::vector<RenameResult> renamed = AutoRename(list, editable, dialog, prompt);

  const std::vector<fs::path> inRoot = Entries(root);
  FUZZ_CHECK(inRoot.size() == 1 && inRoot[0] == work, "auto-rename wrote outside its folder");
  const std::vector<fs::path> after = Entries(work);
  std::size_t sources = 0;
  for (const fs::path& entry : after) {
    FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(entry)), "auto-rename made " + entry.string());
    if (Content(entry) == kSourceContent) ++sources;
  }
  FUZZ_CHECK(sources == 1, "the source file is gone or doubled");
  FUZZ_CHECK(after.size() == before || (collide && after.size() + 1 == before), "files appeared or vanished");
  FUZZ_CHECK(fs::exists(list.at(0).caption), "the list names a file that is not there: " + list.at(0).caption);
  for (const RenameResult& result : renamed) {
    FUZZ_CHECK(zplatform::DirectoryPart(result.newPath) == workDir, "renamed to " + result.newPath);
  }
  return 0;
}
