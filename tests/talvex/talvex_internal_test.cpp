// The library's own rules, tested below its entry points.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "attribute_dump.h"
#include "audio_profile.h"
#include "sample_queue.h"
#include "tag_editor.h"
#include "wide_text.h"
#include "write_context.h"

namespace {

using namespace talvex;
using namespace wmvcore;

TEST(MulDiv, RoundsHalvesAwayFromZeroAndRefusesOverflow) {
  struct Case {
    std::int32_t a, b, c, expected;
  } const cases[] = {
      {4608, 10'000'000, 176400, 261224}, {17640, 10'000'000, 176400, 1'000'000},
      {3, 1, 2, 2},                       {-3, 1, 2, -2},
      {5, 1, 4, 1},                       {7, 1, 4, 2},
      {1, 1, 0, -1},                      {INT32_MAX, 4, 1, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
}

EncoderFormat Format(std::uint16_t tag, std::uint32_t bitsPerSecond, std::uint32_t rate, std::uint16_t channels,
                     std::uint16_t blockAlign, std::uint8_t marker = 0) {
  EncoderFormat format;
  format.wave = WAVEFORMATEX{tag, channels, rate, bitsPerSecond / 8, blockAlign, 16, 1};
  format.formatBlock.resize(19);
  format.formatBlock[18] = marker;
  return format;
}

TEST(ChooseFormat, WithinTwoHundredFiftyBitsTheLargestBlockWins) {
  const std::vector<EncoderFormat> formats = {
      Format(0x0161, 128000, 44100, 2, 5945, 1), Format(0x0161, 128000, 44100, 2, 5945, 2),
      Format(0x0161, 128000, 44100, 2, 4000, 3), Format(0x0161, 128000, 48000, 2, 9999, 4),
      Format(0x0161, 128000, 44100, 1, 9999, 5), Format(0x0162, 128000, 44100, 2, 9999, 6),
      Format(0x0161, 64000, 44100, 2, 2972, 7),
  };
  struct Case {
    std::uint32_t request;
    int marker;  // 0: no format
  } const cases[] = {
      {128000, 2},  // equal block alignment: the later one
      {128249, 2}, {127751, 2}, {128250, 0}, {127750, 0}, {64000, 7}, {96000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    const EncoderFormat* chosen = ChooseFormat(formats, 0x0161, c.request, 44100, 2);
    if (c.marker == 0) {
      EXPECT_EQ(chosen, nullptr);
    } else {
      ASSERT_NE(chosen, nullptr);
      EXPECT_EQ(chosen->formatBlock[18], c.marker);
    }
  }
  EXPECT_EQ(ChooseFormat(formats, 0x0161, 128000, 44100, 1)->formatBlock[18], 5);
}

TEST(WriteTiming, TimesComeFromTheBytesSoFarRoundedOnce) {
  // Through the library's own writer, on a real file.
  char path[] = "/tmp/talvex-timing-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string file = std::string(path) + ".wma";
  TalvexAudioInfo info{0, 44100, 2, 128, 0, 0, 0, 0};
  ASSERT_TRUE(InitWriteContext(file.c_str(), &info));
  std::vector<std::uint8_t> block(17640);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(NextSampleTime(), i * 1'000'000LL);
    ASSERT_TRUE(WriteBlock(block.data(), static_cast<std::int32_t>(block.size())));
  }
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteBlock(block.data(), 4608));
  // 13824 bytes are 783673.47 units: summing 261224 per block would lose one.
  EXPECT_EQ(NextSampleTime(), 10'783'673LL);
  EXPECT_TRUE(CloseWriteContext());
  EXPECT_FALSE(CloseWriteContext());
  EXPECT_FALSE(WriteBlock(block.data(), 4));
  std::remove(file.c_str());
  std::remove(path);
}

TEST(SampleQueue, KeepsOrderAndStopReleasesEveryWaiter) {
  auto stop = std::make_shared<StopSignal>();
  SampleQueue queue(stop);
  std::thread producer([&queue] {
    for (std::uint8_t i = 0; i < 20; ++i) {
      const std::uint8_t bytes[2] = {i, static_cast<std::uint8_t>(i * 2)};
      ASSERT_TRUE(queue.Put(bytes, 2));
    }
  });
  for (std::uint8_t i = 0; i < 20; ++i) {
    Block block;
    ASSERT_TRUE(queue.Get(block));
    ASSERT_EQ(block, (Block{i, static_cast<std::uint8_t>(i * 2)}));
  }
  producer.join();

  // A full queue blocks its producer until the stop signal releases it.
  for (std::uint8_t i = 0; i < SampleQueue::kCapacity; ++i) ASSERT_TRUE(queue.Put(&i, 1));
  std::atomic<int> result{-1};
  std::thread blocked([&] { result = queue.Put(reinterpret_cast<const std::uint8_t*>("x"), 1) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(result.load(), -1);
  stop->Raise();
  blocked.join();
  EXPECT_EQ(result.load(), 0);

  // Once raised: blocks still queued come out, then Get gives up at once.
  Block block;
  for (std::size_t i = 0; i < SampleQueue::kCapacity; ++i) EXPECT_TRUE(queue.Get(block));
  EXPECT_FALSE(queue.Get(block));
}

TEST(SampleQueue, RecycledStorageCarriesEachBlockWhole) {
  auto stop = std::make_shared<StopSignal>();
  SampleQueue queue(stop);
  // Sizes that shrink and grow, so reused storage must take each one's own.
  const std::size_t sizes[] = {4096, 3, 8192, 1, 0, 5000, 17};
  for (std::size_t round = 0; round < 3; ++round) {
    for (std::size_t size : sizes) {
      const Block bytes(size, static_cast<std::uint8_t>(size + round));
      ASSERT_TRUE(queue.Put(bytes.data(), bytes.size()));
      Block out;
      ASSERT_TRUE(queue.Get(out));
      EXPECT_EQ(out, bytes);
      queue.Recycle(std::move(out));
    }
  }
}

TEST(SampleQueue, ATakerWaitingForABatchGetsALoneBlockAndHearsTheStop) {
  auto stop = std::make_shared<StopSignal>();
  SampleQueue queue(stop);
  // One block and then none until it was taken: a taker that waited for a
  // whole batch would never return.
  std::atomic<bool> taken{false};
  std::thread producer([&] {
    const std::uint8_t byte = 7;
    ASSERT_TRUE(queue.Put(&byte, 1));
    while (!taken) std::this_thread::yield();
  });
  Block block;
  ASSERT_TRUE(queue.Get(block));
  taken = true;
  producer.join();
  EXPECT_EQ(block, Block{7});

  // Nothing queued and nothing coming: the stop releases the waiting taker.
  std::atomic<int> result{-1};
  std::thread taker([&] { result = queue.Get(block) ? 1 : 0; });
  stop->Raise();
  taker.join();
  EXPECT_EQ(result.load(), 0);
}

TEST(WideText, PathsUpTo259UnitsAndAttributeTexts) {
  EXPECT_TRUE(WidePath(std::string(259, 'a').c_str()));
  EXPECT_FALSE(WidePath(std::string(260, 'a').c_str()));
  EXPECT_EQ(WidePath("")->size(), 0u);
  EXPECT_EQ(*AbsoluteWidePath(u"/x/y.wma"), u"/x/y.wma");
  EXPECT_EQ(*AbsoluteWidePath(u"http://host/a.wma"), u"http://host/a.wma");
  EXPECT_EQ(AbsoluteWidePath(u"y.wma")->front(), u'/');

  const std::uint8_t three[4] = {3, 0, 0, 0};
  const std::uint8_t word[2] = {0x39, 0x30};
  const std::uint8_t qword[8] = {0, 0xE4, 0x0B, 0x54, 0x02, 0, 0, 0};
  const std::uint8_t text[] = {'A', 0, 'b', 0, 0, 0, 'X', 0};
  EXPECT_EQ(AttributeText(WMT_TYPE_DWORD, three, 4), u"3");
  EXPECT_EQ(AttributeText(WMT_TYPE_WORD, word, 2), u"12345");
  EXPECT_EQ(AttributeText(WMT_TYPE_QWORD, qword, 8), u"10000000000");
  EXPECT_EQ(AttributeText(WMT_TYPE_BOOL, three, 4), u"3");
  EXPECT_EQ(AttributeText(WMT_TYPE_STRING, text, sizeof text), u"Ab");
  EXPECT_EQ(FieldForm(u"h\u00e9llo", 3), "h");  // never half a character
  EXPECT_EQ(FieldForm(u"h\u00e9llo", 4), "h\u00e9");

  EXPECT_EQ(AttributeDumpLine(u"Duration", WMT_TYPE_QWORD, qword, 8), "Duration:  10000000000");
  EXPECT_EQ(AttributeDumpLine(u"Title", WMT_TYPE_STRING, text, sizeof text), "Title:   Ab");
  EXPECT_EQ(AttributeDumpLine(u"Seekable", WMT_TYPE_BOOL, three, 4), "Seekable:   true");
  EXPECT_EQ(AttributeDumpLine(u"Art", WMT_TYPE_BINARY, text, 8), "Art:   Type = Binary of Length 8");
  EXPECT_EQ(AttributeDumpLine(u"N", WMT_TYPE_WORD, word, 2), "N:  12345");
  EXPECT_EQ(AttributeDumpLine(u"Odd", static_cast<WMT_ATTR_DATATYPE>(9), text, 8), "Odd:   Type = 9, Length 8");
}

// A header of named attributes, as the editor shows one.
class FakeHeader : public IWMHeaderInfo {
 public:
  struct Attribute {
    WMT_ATTR_DATATYPE type;
    std::vector<BYTE> value;
  };
  std::map<std::u16string, Attribute> attributes;
  std::vector<std::u16string> written;

  static std::vector<BYTE> Utf16(std::u16string_view text) {
    std::vector<BYTE> bytes;
    for (char16_t unit : text) {
      bytes.push_back(static_cast<BYTE>(unit & 0xFF));
      bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
  }

  HRESULT GetAttributeCount(WORD, WORD* count) override {
    *count = static_cast<WORD>(attributes.size());
    return S_OK;
  }
  HRESULT GetAttributeByIndex(WORD, WORD*, char16_t*, WORD*, WMT_ATTR_DATATYPE*, BYTE*, WORD*) override {
    return E_NOTIMPL;
  }
  HRESULT GetAttributeByName(WORD*, std::u16string_view name, WMT_ATTR_DATATYPE* type, BYTE* value,
                             WORD* length) override {
    auto found = attributes.find(std::u16string(name));
    if (found == attributes.end()) {
      *length = 0;
      return ASF_E_NOTFOUND;
    }
    *type = found->second.type;
    if (value) {
      if (*length < found->second.value.size()) return ASF_E_BUFFERTOOSMALL;
      std::memcpy(value, found->second.value.data(), found->second.value.size());
    }
    *length = static_cast<WORD>(found->second.value.size());
    return S_OK;
  }
  HRESULT SetAttribute(WORD, std::u16string_view name, WMT_ATTR_DATATYPE type, const BYTE* value,
                       WORD length) override {
    attributes[std::u16string(name)] = Attribute{type, std::vector<BYTE>(value, value + length)};
    written.emplace_back(name);
    return S_OK;
  }
};

TEST(TagAttributes, LongValuesAreCutOnReadAndKeptOnWriteBack) {
  FakeHeader header;
  const std::u16string longTitle(300, u'\u00e9');  // 600 bytes of UTF-8
  header.attributes[u"Title"] = {WMT_TYPE_STRING, FakeHeader::Utf16(longTitle)};
  header.attributes[u"WM/Track"] = {WMT_TYPE_DWORD, {3, 0, 0, 0}};

  char title[256];
  std::memset(title, 'z', sizeof title);
  ASSERT_EQ(ReadTagAttribute(&header, u"Title", title, sizeof title), S_OK);
  EXPECT_EQ(std::strlen(title), 254u);  // 127 whole characters of two bytes
  char track[20] = "unchanged";
  ASSERT_EQ(ReadTagAttribute(&header, u"WM/Track", track, sizeof track), S_OK);
  EXPECT_STREQ(track, "3");
  char album[256] = "left alone";
  EXPECT_EQ(ReadTagAttribute(&header, u"WM/AlbumTitle", album, sizeof album), S_OK);
  EXPECT_STREQ(album, "left alone");

  // Writing the cut form back keeps the stored value whole.
  EXPECT_EQ(WriteTagAttribute(&header, u"Title", title, sizeof title), S_OK);
  EXPECT_EQ(header.attributes[u"Title"].value, FakeHeader::Utf16(longTitle));
  // A changed text replaces it, as a string with its terminator.
  char changed[256] = "New";
  EXPECT_EQ(WriteTagAttribute(&header, u"Title", changed, sizeof changed), S_OK);
  EXPECT_EQ(header.attributes[u"Title"].value, FakeHeader::Utf16(u"New"));
  EXPECT_EQ(header.attributes[u"Title"].type, WMT_TYPE_STRING);
  // A field emptied by the user is written as an empty string.
  char empty[256] = "";
  EXPECT_EQ(WriteTagAttribute(&header, u"Title", empty, sizeof empty), S_OK);
  EXPECT_EQ(header.attributes[u"Title"].value, FakeHeader::Utf16(u""));
  // A field holding what its read gives is not written at all: an absent
  // attribute stays absent, a stored one is not rewritten.
  header.written.clear();
  EXPECT_EQ(WriteTagAttribute(&header, u"WM/AlbumTitle", empty, sizeof empty), S_OK);
  EXPECT_EQ(header.attributes.count(u"WM/AlbumTitle"), 0u);
  EXPECT_EQ(WriteTagAttribute(&header, u"WM/Track", track, sizeof track), S_OK);
  EXPECT_TRUE(header.written.empty());
  EXPECT_EQ(header.attributes[u"WM/Track"].type, WMT_TYPE_DWORD);
}

}  // namespace
