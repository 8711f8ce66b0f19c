// The ASF header check that guards TagLib: real headers pass, headers whose
// objects or records overrun their bounds do not.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "asf_header.h"
#include "support/test_support.h"

namespace {

using wmvcore::detail::AsfHeaderCheck;
using wmvcore::detail::CheckAsfHeader;
using testing_support::Bytes;
using testing_support::RealFixture;

constexpr std::uint8_t kExtendedContentDescription[] = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                                        0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};

AsfHeaderCheck CheckBytes(const Bytes& bytes) {
  testing_support::TempDir dir;
  const std::string path = dir.File("a.wma");
  testing_support::WriteBytes(path, bytes);
  return CheckAsfHeader(path);
}

TEST(AsfHeader, RealFilesAreSoundAndOthersAreNoAsf) {
  for (const char* name : {"silence-1.wma", "real_example.wma", "lossless.wma"}) {
    EXPECT_EQ(CheckAsfHeader(RealFixture(name)), AsfHeaderCheck::Sound) << name;
  }
  EXPECT_EQ(CheckAsfHeader(RealFixture("xing.mp3")), AsfHeaderCheck::NotAsf);
}

TEST(AsfHeader, RecordsClaimedBeyondTheirObjectAreBroken) {
  Bytes bytes = testing_support::ReadBytes(RealFixture("silence-1.wma"));
  const auto object = std::search(bytes.begin(), bytes.end(), std::begin(kExtendedContentDescription),
                                  std::end(kExtendedContentDescription));
  ASSERT_NE(object, bytes.end());
  object[24] = 0xFF;  // the record count, a word after the GUID and the size
  object[25] = 0xFF;
  EXPECT_EQ(CheckBytes(bytes), AsfHeaderCheck::Broken);
}

TEST(AsfHeader, AHeaderLongerThanTheFileOrAnObjectPastTheHeaderIsBroken) {
  const Bytes real = testing_support::ReadBytes(RealFixture("silence-1.wma"));
  Bytes cut(real.begin(), real.begin() + 2000);  // the header is some 5000 bytes
  EXPECT_EQ(CheckBytes(cut), AsfHeaderCheck::Broken);

  Bytes more = real;
  more[24] = static_cast<std::uint8_t>(more[24] + 1);  // one object more than the header holds
  EXPECT_EQ(CheckBytes(more), AsfHeaderCheck::Broken);
}

}  // namespace
