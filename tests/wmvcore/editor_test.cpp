#include <gtest/gtest.h>
#include <sys/stat.h>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <filesystem>

#include "support/test_support.h"
#include "wmv_test_util.h"

namespace {

using namespace wmvcore;
using testing_support::RealFixture;
using testing_support::TempDir;

struct Value {
  HRESULT hr;
  WMT_ATTR_DATATYPE type;
  std::vector<BYTE> bytes;
  WORD length;
};

Value Get(IWMHeaderInfo* header, std::u16string_view name) {
  Value v{};
  WORD stream = 0;
  v.length = 77;
  v.hr = header->GetAttributeByName(&stream, name, &v.type, nullptr, &v.length);
  if (Succeeded(v.hr)) {
    v.bytes.resize(v.length);
    v.hr = header->GetAttributeByName(&stream, name, &v.type, v.bytes.data(), &v.length);
  }
  return v;
}

std::u16string Text(const Value& v) {
  std::u16string t;
  for (std::size_t i = 0; i + 1 < v.bytes.size(); i += 2) {
    const char16_t u = static_cast<char16_t>(v.bytes[i] | (v.bytes[i + 1] << 8));
    if (!u) break;
    t.push_back(u);
  }
  return t;
}

HRESULT SetText(IWMHeaderInfo* header, std::u16string_view name, std::u16string_view text) {
  std::vector<BYTE> bytes;
  for (char16_t u : text) {
    bytes.push_back(static_cast<BYTE>(u & 0xFF));
    bytes.push_back(static_cast<BYTE>(u >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return header->SetAttribute(0, name, WMT_TYPE_STRING, bytes.data(), static_cast<WORD>(bytes.size()));
}

const std::pair<std::u16string_view, std::u16string_view> kFive[] = {
    {u"Title", u"Ünïcode Tïtle ♪"},
    {u"Author", u"Some Artist"},
    {u"WM/AlbumTitle", u"An Album"},
    {u"WM/Year", u"2003"},
    {u"WM/Track", u"7"},
};

void WriteFive(const std::string& path) {
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  ASSERT_EQ(editor->Open(wmvtest::U16(path)), S_OK);
  for (const auto& [name, text] : kFive) {
    ASSERT_EQ(SetText(editor->QueryHeaderInfo(), name, text), S_OK);
  }
  ASSERT_EQ(editor->Flush(), S_OK);
  ASSERT_EQ(editor->Close(), S_OK);
}

void ExpectFive(const std::string& path) {
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  ASSERT_EQ(editor->Open(wmvtest::U16(path)), S_OK);
  for (const auto& [name, text] : kFive) {
    const Value v = Get(editor->QueryHeaderInfo(), name);
    EXPECT_EQ(v.hr, S_OK);
    EXPECT_EQ(v.type, WMT_TYPE_STRING);
    EXPECT_EQ(Text(v), text);
  }
  EXPECT_EQ(editor->Close(), S_OK);
  auto probe = wmvtest::Probe(path);
  EXPECT_EQ(probe["format.tag.title"], "Ünïcode Tïtle ♪");
  EXPECT_EQ(probe["format.tag.artist"], "Some Artist");
  EXPECT_EQ(probe["format.tag.album"], "An Album");
}

struct Kind {
  const char* name;
  bool wma;
};

class FiveNames : public testing::TestWithParam<Kind> {};

TEST_P(FiveNames, WriteThenReadGivesThemBackAndOtherProgramsReadThem) {
  TempDir dir;
  std::string path;
  if (GetParam().wma) {
    path = dir.File("song.wma");
    ASSERT_EQ(wmvtest::WriteWma(path, 44100, 2, 128000, wmvtest::Tone(44100, 2, 0, 44100)), S_OK);
  } else {
    path = dir.File("song.mp3");
    std::filesystem::copy_file(RealFixture("xing.mp3"), path);
  }
  WriteFive(path);
  ExpectFive(path);
  if (GetParam().wma) {
    // Title and Author live in the content description, not as attributes.
    TagLib::ASF::File file(path.c_str());
    EXPECT_EQ(file.tag()->title().to8Bit(true), "Ünïcode Tïtle ♪");
    EXPECT_EQ(file.tag()->artist().to8Bit(true), "Some Artist");
    EXPECT_FALSE(file.tag()->contains("Title"));
    EXPECT_FALSE(file.tag()->contains("Author"));
    // And the audio is untouched by tagging.
    EXPECT_EQ(wmvtest::Probe(path)["stream.codec_name"], "wmav2");
  } else {
    TagLib::MPEG::File file(path.c_str());
    ASSERT_TRUE(file.hasID3v2Tag());
    EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 3u);
    // ID3v2.3 has no TDRC; the year goes in TYER (TagLib maps it back on reading).
    const auto bytes = testing_support::ReadBytes(path);
    const std::string raw(bytes.begin(), bytes.end());
    EXPECT_NE(raw.find("TYER"), std::string::npos);
    EXPECT_EQ(raw.find("TDRC"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, FiveNames, testing::Values(Kind{"wma", true}, Kind{"mp3", false}),
                         [](const auto& param) { return std::string(param.param.name); });

// Tags that other programs wrote, in each ID3 flavour, read into the same names.
enum class Flavour { V1, V23, V24 };

class ForeignId3 : public testing::TestWithParam<Flavour> {};

TEST_P(ForeignId3, ReadsIntoTheFiveNames) {
  TempDir dir;
  const std::string path = dir.File("foreign.mp3");
  std::filesystem::copy_file(RealFixture("xing.mp3"), path);
  {
    TagLib::MPEG::File file(path.c_str());
    TagLib::Tag* tag = GetParam() == Flavour::V1 ? static_cast<TagLib::Tag*>(file.ID3v1Tag(true))
                                                 : file.ID3v2Tag(true);
    tag->setTitle("Old Title");
    tag->setArtist("Old Artist");
    tag->setAlbum("Old Album");
    tag->setYear(1999);
    tag->setTrack(4);
    const int tags = GetParam() == Flavour::V1 ? TagLib::MPEG::File::ID3v1 : TagLib::MPEG::File::ID3v2;
    ASSERT_TRUE(file.save(tags, TagLib::File::StripOthers,
                          GetParam() == Flavour::V23 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4));
  }
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  ASSERT_EQ(editor->Open(wmvtest::U16(path)), S_OK);
  IWMHeaderInfo* h = editor->QueryHeaderInfo();
  EXPECT_EQ(Text(Get(h, u"Title")), u"Old Title");
  EXPECT_EQ(Text(Get(h, u"Author")), u"Old Artist");
  EXPECT_EQ(Text(Get(h, u"WM/AlbumTitle")), u"Old Album");
  EXPECT_EQ(Text(Get(h, u"WM/Year")), u"1999");
  EXPECT_EQ(Text(Get(h, u"WM/Track")), u"4");
  EXPECT_EQ(editor->Close(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Flavours, ForeignId3,
                         testing::Values(Flavour::V1, Flavour::V23, Flavour::V24));

TEST(Editor, ReadsId3v22FromARealFile) {
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  ASSERT_EQ(editor->Open(wmvtest::U16(RealFixture("id3v22-tda.mp3"))), S_OK);
  EXPECT_EQ(Text(Get(editor->QueryHeaderInfo(), u"WM/Year")), u"2010");
  EXPECT_EQ(Text(Get(editor->QueryHeaderInfo(), u"WM/Track")), u"1");
  EXPECT_EQ(editor->Close(), S_OK);
}

TEST(Editor, KeepsAnExistingId3v1TagInStep) {
  TempDir dir;
  const std::string path = dir.File("v1.mp3");
  std::filesystem::copy_file(RealFixture("xing.mp3"), path);
  {
    TagLib::MPEG::File file(path.c_str());
    file.ID3v1Tag(true)->setTitle("Before");
    file.ID3v1Tag()->setYear(1980);
    ASSERT_TRUE(file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripOthers));
  }
  WriteFive(path);
  TagLib::MPEG::File file(path.c_str());
  ASSERT_TRUE(file.hasID3v1Tag());
  EXPECT_EQ(file.ID3v1Tag()->artist().to8Bit(true), "Some Artist");
  EXPECT_EQ(file.ID3v1Tag()->album().to8Bit(true), "An Album");
  EXPECT_EQ(file.ID3v1Tag()->year(), 2003u);
  EXPECT_EQ(file.ID3v1Tag()->track(), 7u);
  EXPECT_NE(file.ID3v1Tag()->title().to8Bit(true), "Before");
  ASSERT_TRUE(file.hasID3v2Tag());
  EXPECT_EQ(file.ID3v2Tag()->header()->majorVersion(), 3u);

  // A file without ID3v1 does not get one.
  const std::string plain = dir.File("plain.mp3");
  std::filesystem::copy_file(RealFixture("xing.mp3"), plain);
  WriteFive(plain);
  EXPECT_FALSE(TagLib::MPEG::File(plain.c_str()).hasID3v1Tag());
}

TEST(Editor, AbsentAttributeIsNotFoundWithLengthZero) {
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  for (const char* fixture : {"silence-1.wma", "xing.mp3"}) {
    ASSERT_EQ(editor->Open(wmvtest::U16(RealFixture(fixture))), S_OK) << fixture;
    const Value v = Get(editor->QueryHeaderInfo(), u"WM/AlbumTitle");
    EXPECT_EQ(v.hr, ASF_E_NOTFOUND) << fixture;
    EXPECT_EQ(v.length, 0) << fixture;
    EXPECT_EQ(editor->Close(), S_OK);
  }
}

TEST(Editor, AsfKeepsStoredTypesAndEmptyStrings) {
  TempDir dir;
  const std::string path = dir.File("real.wma");
  std::filesystem::copy_file(RealFixture("silence-1.wma"), path);
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  ASSERT_EQ(editor->Open(wmvtest::U16(path)), S_OK);
  IWMHeaderInfo* h = editor->QueryHeaderInfo();
  EXPECT_EQ(Get(h, u"IsVBR").type, WMT_TYPE_BOOL);
  ASSERT_EQ(SetText(h, u"WM/AlbumTitle", u""), S_OK);
  const BYTE three[4] = {3, 0, 0, 0};
  ASSERT_EQ(h->SetAttribute(0, u"WM/TrackNumber", WMT_TYPE_DWORD, three, 4), S_OK);
  ASSERT_EQ(editor->Flush(), S_OK);
  ASSERT_EQ(editor->Close(), S_OK);

  ASSERT_EQ(editor->Open(wmvtest::U16(path)), S_OK);
  h = editor->QueryHeaderInfo();
  const Value album = Get(h, u"WM/AlbumTitle");
  EXPECT_EQ(album.hr, S_OK);
  EXPECT_EQ(album.type, WMT_TYPE_STRING);
  EXPECT_EQ(album.length, 2);
  const Value track = Get(h, u"WM/TrackNumber");
  EXPECT_EQ(track.type, WMT_TYPE_DWORD);
  EXPECT_EQ(track.bytes, std::vector<BYTE>(three, three + 4));
  EXPECT_EQ(Text(Get(h, u"Title")), u"test");  // untouched
  EXPECT_EQ(editor->Close(), S_OK);
}

TEST(Editor, UnflushedChangesAreDroppedOnClose) {
  TempDir dir;
  const std::string path = dir.File("keep.wma");
  std::filesystem::copy_file(RealFixture("silence-1.wma"), path);
  const auto before = testing_support::ReadBytes(path);
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  ASSERT_EQ(editor->Open(wmvtest::U16(path)), S_OK);
  ASSERT_EQ(SetText(editor->QueryHeaderInfo(), u"Title", u"never saved"), S_OK);
  ASSERT_EQ(editor->Close(), S_OK);
  EXPECT_EQ(testing_support::ReadBytes(path), before);
}

TEST(Editor, RefusesWhatItCannotOpenOrStore) {
  TempDir dir;
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  EXPECT_EQ(editor->Open(wmvtest::U16(dir.File("missing.mp3"))), E_FILE_NOT_FOUND);
  const std::string junk = dir.File("junk.wma");
  testing_support::WriteBytes(junk, testing_support::Bytes(1000, 0x55));
  EXPECT_TRUE(Failed(editor->Open(wmvtest::U16(junk))));
  EXPECT_EQ(editor->Flush(), NS_E_INVALID_REQUEST);
  EXPECT_EQ(editor->Close(), NS_E_INVALID_REQUEST);

  const std::string mp3 = dir.File("a.mp3");
  std::filesystem::copy_file(RealFixture("xing.mp3"), mp3);
  ASSERT_EQ(editor->Open(wmvtest::U16(mp3)), S_OK);
  EXPECT_EQ(SetText(editor->QueryHeaderInfo(), u"WM/Composer", u"x"), E_INVALIDARG);
  EXPECT_EQ(editor->Close(), S_OK);
}

TEST(Editor, ReaderHeaderIsReadOnly) {
  std::shared_ptr<IWMMetadataEditor> editor;
  ASSERT_EQ(WMCreateEditor(&editor), S_OK);
  EXPECT_EQ(SetText(editor->QueryHeaderInfo(), u"Title", u"x"), NS_E_INVALID_REQUEST);
}

}  // namespace

namespace {

// TagLib opens the path itself: a FIFO or a device never reaches it.
TEST(EditorInputs, AFifoOrADeviceIsRefusedAtOpen) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe.mp3").c_str(), 0644), 0);
  std::filesystem::create_symlink("/dev/zero", dir.File("zero.wma"));
  for (const char* name : {"pipe.mp3", "zero.wma"}) {
    SCOPED_TRACE(name);
    std::shared_ptr<IWMMetadataEditor> editor;
    ASSERT_EQ(WMCreateEditor(&editor), S_OK);
    EXPECT_EQ(editor->Open(wmvtest::U16(dir.File(name))), NS_E_UNRECOGNIZED_STREAM_TYPE);
  }
}

}  // namespace
