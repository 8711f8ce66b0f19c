// The header-information object on its own: indexes count within a stream,
// in listing order, also after sets add or replace attributes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "header_store.h"

namespace {

using namespace wmvcore;
using wmvcore::detail::Attribute;
using wmvcore::detail::HeaderInfo;

Attribute Text(WORD stream, std::u16string name, std::u16string_view value) {
  return Attribute{stream, std::move(name), WMT_TYPE_STRING, detail::StringValue(value)};
}

WORD Count(HeaderInfo& header, WORD stream) {
  WORD count = 0;
  EXPECT_EQ(header.GetAttributeCount(stream, &count), S_OK);
  return count;
}

// Name and text of the attribute at `index` of `stream`; empty when absent.
std::pair<std::u16string, std::u16string> At(HeaderInfo& header, WORD stream, WORD index) {
  char16_t name[64];
  BYTE value[64];
  WORD nameLength = 64, length = 64;
  WMT_ATTR_DATATYPE type{};
  if (Failed(header.GetAttributeByIndex(index, &stream, name, &nameLength, &type, value, &length))) return {};
  return {std::u16string(name), detail::TextOf(value, length)};
}

TEST(HeaderStore, IndexesCountWithinTheirStreamInListingOrder) {
  HeaderInfo header;
  header.Reset({Text(0, u"A", u"a"), Text(1, u"B", u"b"), Text(0, u"C", u"c"), Text(1, u"D", u"d"),
                Text(0, u"E", u"e")},
               true);
  EXPECT_EQ(Count(header, 0), 3);
  EXPECT_EQ(Count(header, 1), 2);
  EXPECT_EQ(Count(header, 2), 0);
  EXPECT_EQ(At(header, 0, 1), std::make_pair(std::u16string(u"C"), std::u16string(u"c")));
  EXPECT_EQ(At(header, 0, 2).first, u"E");
  EXPECT_EQ(At(header, 1, 1).first, u"D");
  EXPECT_EQ(At(header, 0, 3).first, u"");
  EXPECT_EQ(At(header, 2, 0).first, u"");
}

TEST(HeaderStore, SetsAppendToTheirStreamOrReplaceInPlace) {
  HeaderInfo header;
  header.SetHookForWrites([](const Attribute&) { return S_OK; });
  header.Reset({Text(0, u"A", u"a"), Text(1, u"B", u"b")}, true);
  const std::vector<BYTE> x = detail::StringValue(u"x");
  ASSERT_EQ(header.SetAttribute(1, u"F", WMT_TYPE_STRING, x.data(), static_cast<WORD>(x.size())), S_OK);
  ASSERT_EQ(header.SetAttribute(0, u"A", WMT_TYPE_STRING, x.data(), static_cast<WORD>(x.size())), S_OK);
  ASSERT_EQ(header.SetAttribute(0, u"G", WMT_TYPE_STRING, x.data(), static_cast<WORD>(x.size())), S_OK);
  EXPECT_EQ(Count(header, 0), 2);
  EXPECT_EQ(Count(header, 1), 2);
  EXPECT_EQ(At(header, 0, 0), std::make_pair(std::u16string(u"A"), std::u16string(u"x")));
  EXPECT_EQ(At(header, 0, 1).first, u"G");
  EXPECT_EQ(At(header, 1, 1).first, u"F");

  header.Reset({Text(3, u"H", u"h")}, true);
  EXPECT_EQ(Count(header, 0), 0);
  EXPECT_EQ(Count(header, 1), 0);
  EXPECT_EQ(At(header, 3, 0).first, u"H");
}

}  // namespace
