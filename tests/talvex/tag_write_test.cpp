// Tag writes through the library's entry points change only the fields the
// caller set: years in any form, the ID3v2 version and values the record
// cannot read all come through a write of another field as they were.

#include <gtest/gtest.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "talvex/talvex.h"

namespace {

using testing_support::Bytes;
using testing_support::TempDir;

void Append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

void AppendSize(Bytes& out, std::size_t size, bool syncsafe) {
  for (int shift : {21, 14, 7, 0}) {
    out.push_back(syncsafe ? static_cast<std::uint8_t>((size >> shift) & 0x7F)
                           : static_cast<std::uint8_t>((size >> (shift / 7 * 8)) & 0xFF));
  }
}

// A Latin-1 text frame as written by hand, so the file holds exactly the
// text given (TagLib itself would cut a v2.3 year).
void AppendFrame(Bytes& out, int version, std::string_view id, std::string_view text) {
  Append(out, id);
  AppendSize(out, text.size() + 1, version == 4);
  out.push_back(0);
  out.push_back(0);
  out.push_back(0);  // Latin-1
  Append(out, text);
}

struct Frames {
  std::string title = "Old Title";
  std::string author = "Old Author";
  std::string year;
};

// xing.mp3 behind an ID3v2 tag of `version` (3 or 4; 0 for none).
std::string MakeMp3(const TempDir& dir, const std::string& name, int version, const Frames& frames) {
  Bytes tag;
  if (version != 0) {
    Bytes body;
    AppendFrame(body, version, "TIT2", frames.title);
    AppendFrame(body, version, "TPE1", frames.author);
    if (!frames.year.empty()) AppendFrame(body, version, version == 3 ? "TYER" : "TDRC", frames.year);
    Append(tag, "ID3");
    tag.push_back(static_cast<std::uint8_t>(version));
    tag.push_back(0);
    tag.push_back(0);
    AppendSize(tag, body.size(), true);
    tag.insert(tag.end(), body.begin(), body.end());
  }
  const Bytes audio = testing_support::ReadBytes(testing_support::RealFixture("xing.mp3"));
  tag.insert(tag.end(), audio.begin(), audio.end());
  const std::string path = dir.File(name);
  testing_support::WriteBytes(path, tag);
  return path;
}

// ffprobe's format tags by name ("title", "artist", "date", "TYER").
std::map<std::string, std::string> FfprobeTags(const std::string& path) {
  std::string out;
  if (FILE* pipe = popen(("ffprobe -v error -show_entries format_tags -of default=nw=1 '" + path + "'").c_str(), "r")) {
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  std::map<std::string, std::string> tags;
  for (std::size_t pos = 0; pos < out.size();) {
    std::size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t eq = line.find('=');
    if (line.rfind("TAG:", 0) == 0 && eq != std::string::npos) tags[line.substr(4, eq - 4)] = line.substr(eq + 1);
  }
  return tags;
}

// FFmpeg names a v2.3 year "date" only when it is four digits.
std::string FfprobeYear(const std::map<std::string, std::string>& tags) {
  for (const char* key : {"date", "TYER"}) {
    if (const auto it = tags.find(key); it != tags.end()) return it->second;
  }
  return "";
}

struct TagLibView {
  unsigned version = 0;
  std::string title, author, year;
};

TagLibView ReadWithTagLib(const std::string& path) {
  TagLib::MPEG::File file(path.c_str());
  TagLibView view;
  if (!file.hasID3v2Tag()) return view;
  TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
  view.version = tag->header()->majorVersion();
  const auto text = [&](const char* id) {
    const auto& frames = tag->frameListMap()[id];
    return frames.isEmpty() ? std::string() : frames.front()->toString().to8Bit(true);
  };
  view.title = text("TIT2");
  view.author = text("TPE1");
  view.year = text("TDRC");  // TagLib reads a v2.3 TYER as TDRC
  return view;
}

// Read the record, change it as the program's tag dialog does, write it back.
template <typename Edit>
void EditRecord(const std::string& path, Edit edit) {
  TalvexAudioInfo info{};
  TalvexSongTags tags{};
  ASSERT_TRUE(GetWmaSongInfo(path.c_str(), &info, &tags)) << path;
  edit(tags);
  ASSERT_TRUE(SetWmaSongInfo(path.c_str(), &info, &tags)) << path;
}

struct YearCase {
  int version;
  const char* year;
};

std::string CaseName(const testing::TestParamInfo<YearCase>& info) {
  std::string name = "v2_" + std::to_string(info.param.version) + "_";
  for (const char* c = info.param.year; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name + "_" + std::to_string(info.index);
}

const char* const kYears[] = {"Spring 1995", "Oct 3, 1995", "95", "0", "MCMXCV", "2009 2009"};

std::vector<YearCase> Cases(std::initializer_list<int> versions) {
  std::vector<YearCase> cases;
  for (int version : versions) {
    for (const char* year : kYears) cases.push_back({version, year});
  }
  return cases;
}

class OtherFieldWrite : public testing::TestWithParam<YearCase> {};

TEST_P(OtherFieldWrite, KeepsTheYearAndTheVersion) {
  TempDir dir;
  const std::string path = MakeMp3(dir, "song.mp3", GetParam().version, {.year = GetParam().year});
  EditRecord(path, [](TalvexSongTags& tags) { std::strcpy(tags.author, "New Author"); });

  const TagLibView taglib = ReadWithTagLib(path);
  EXPECT_EQ(taglib.version, static_cast<unsigned>(GetParam().version));
  EXPECT_EQ(taglib.year, GetParam().year);
  EXPECT_EQ(taglib.title, "Old Title");
  EXPECT_EQ(taglib.author, "New Author");
  const auto ffprobe = FfprobeTags(path);
  EXPECT_EQ(FfprobeYear(ffprobe), GetParam().year);
  EXPECT_EQ(ffprobe.at("title"), "Old Title");
  EXPECT_EQ(ffprobe.at("artist"), "New Author");
}

INSTANTIATE_TEST_SUITE_P(Years, OtherFieldWrite, testing::ValuesIn(Cases({3, 4})), CaseName);

class YearWrite : public testing::TestWithParam<YearCase> {};

// A year set in any form reads back whole; a file without tags gets v2.3.
TEST_P(YearWrite, StoresTheWholeText) {
  TempDir dir;
  const std::string path = MakeMp3(dir, "song.mp3", GetParam().version, {.year = "1990"});
  const char* year = GetParam().year;
  EditRecord(path, [year](TalvexSongTags& tags) { std::strcpy(tags.year, year); });

  const TagLibView taglib = ReadWithTagLib(path);
  EXPECT_EQ(taglib.version, GetParam().version == 0 ? 3u : static_cast<unsigned>(GetParam().version));
  EXPECT_EQ(taglib.year, GetParam().year);
  EXPECT_EQ(FfprobeYear(FfprobeTags(path)), GetParam().year);
  TalvexAudioInfo info{};
  TalvexSongTags back{};
  ASSERT_TRUE(GetWmaSongInfo(path.c_str(), &info, &back));
  EXPECT_STREQ(back.year, GetParam().year);
}

INSTANTIATE_TEST_SUITE_P(Years, YearWrite, testing::ValuesIn(Cases({0, 3, 4})), CaseName);

class HugeTitle : public testing::TestWithParam<int> {};

// Over 64 KB the title cannot be read into the record (it reads as empty);
// a write of the author leaves it as it was.
TEST_P(HugeTitle, StaysThroughAWriteOfTheAuthor) {
  std::string title;
  for (std::size_t i = 0; title.size() < 70000; ++i) title += "title " + std::to_string(i) + " ";
  TempDir dir;
  const std::string path = MakeMp3(dir, "huge.mp3", GetParam(), {.title = title, .year = "2001"});
  EditRecord(path, [](TalvexSongTags& tags) { std::strcpy(tags.author, "New Author"); });

  const TagLibView taglib = ReadWithTagLib(path);
  EXPECT_EQ(taglib.title.size(), title.size());
  EXPECT_TRUE(taglib.title == title);  // not printed: 70 KB
  EXPECT_EQ(taglib.author, "New Author");
  EXPECT_EQ(taglib.version, static_cast<unsigned>(GetParam()));
  auto ffprobe = FfprobeTags(path);
  EXPECT_TRUE(ffprobe["title"] == title);
  EXPECT_EQ(ffprobe["artist"], "New Author");
}

INSTANTIATE_TEST_SUITE_P(Versions, HugeTitle, testing::Values(3, 4),
                         [](const auto& param) { return "v2_" + std::to_string(param.param); });

}  // namespace
