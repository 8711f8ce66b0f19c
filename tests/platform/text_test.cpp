#include <gtest/gtest.h>

#include <cstring>

#include "zplatform/text.h"

namespace {

using namespace zplatform;

TEST(Text, RoundTripsAcrossAllPlanes) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5z";  // a é € 🎵 z
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'a', u'\u00E9', u'\u20AC', 0xD83C, 0xDFB5, u'z'}));
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Text, InvalidSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("\xFF" "a\xC3"), (std::u16string{0xFFFD, u'a', 0xFFFD}));
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));  // overlong '/'
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");  // lone surrogate
}

TEST(Text, BufferConversionsNeverSplitACharacter) {
  char16_t wide[4];
  // "é🎵": the pair needs two units, the terminator one more.
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9\xF0\x9F\x8E\xB5", wide, 3), 1u);
  EXPECT_EQ(wide[0], u'\u00E9');
  EXPECT_EQ(wide[1], 0);
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9\xF0\x9F\x8E\xB5", wide, 4), 3u);

  char narrow[4];
  EXPECT_EQ(Utf16ToUtf8(u"a\u20AC", narrow, 4), 1u);  // "€" needs 3 bytes: 1 + 3 > 3
  EXPECT_STREQ(narrow, "a");
  EXPECT_EQ(Utf16ToUtf8(u"ab", narrow, 0), 0u);
}

TEST(Text, FieldsAreCutOnCharacterBoundariesAndZeroFilled) {
  char field[5];
  std::memset(field, 'x', sizeof field);
  CopyToField("ab\xE2\x82\xAC", field);  // 5 bytes do not fit in 4 + terminator
  EXPECT_EQ(FieldText(field), "ab");
  EXPECT_EQ(field[2], 0);
  EXPECT_EQ(field[4], 0);

  CopyToField("abcd", field);
  EXPECT_EQ(FieldText(field), "abcd");

  const char full[3] = {'a', 'b', 'c'};  // no terminator: read no further than the field
  EXPECT_EQ(FieldText(full), "abc");
  EXPECT_EQ(TruncateUtf8("\xC3\xA9\xC3\xA9", 3), "\xC3\xA9");
}

}  // namespace

namespace {

TEST(PathText, EveryByteSequenceSurvivesATripThroughUtf16) {
  const std::string cases[] = {
      "/music/plain.wma",
      "/music/caf\xC3\xA9 \xE2\x99\xAB \xF0\x9F\x8E\xB5.wma",  // valid UTF-8 of 2, 3 and 4 bytes
      "/music/\xFF\xFE latin-1 \xE9t\xE9.wma",                 // not UTF-8 at all
      "/music/cut \xE2\x99.wma",                               // a sequence cut short
      "/music/\xED\xA0\x80 encoded surrogate.wma",
      "/music/\xEF\xBF\xBD real replacement character.wma",
  };
  for (const std::string& path : cases) {
    const std::u16string wide = zplatform::PathToUtf16(path);
    EXPECT_EQ(zplatform::PathFromUtf16(wide), path) << path;
  }
  EXPECT_EQ(zplatform::PathToUtf16("a\xFF"), (std::u16string{u'a', static_cast<char16_t>(0xDCFF)}));
  EXPECT_EQ(zplatform::PathToUtf16("caf\xC3\xA9"), u"caf\u00e9");
}

}  // namespace
