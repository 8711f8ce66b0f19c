#include "attribute_dump.h"

#include <cinttypes>
#include <cstdio>

#include "wide_text.h"
#include "zplatform/text.h"

namespace talvex {

namespace {

std::uint64_t LittleEndian(const std::uint8_t* value, std::size_t length, std::size_t offset, std::size_t bytes) {
  std::uint64_t result = 0;
  for (std::size_t i = 0; i < bytes && offset + i < length; ++i) {
    result |= static_cast<std::uint64_t>(value[offset + i]) << (8 * i);
  }
  return result;
}

}  // namespace

std::string HexStatus(wmvcore::HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(hr));
  return text;
}

std::string AttributeDumpLine(std::u16string_view name, wmvcore::WMT_ATTR_DATATYPE type, const std::uint8_t* value,
                              std::size_t length) {
  using namespace wmvcore;
  const std::string label = zplatform::Utf16ToUtf8(name);
  char text[96];
  switch (type) {
    case WMT_TYPE_DWORD:
      std::snprintf(text, sizeof text, ":  %" PRIu64, LittleEndian(value, length, 0, 4));
      break;
    case WMT_TYPE_STRING:
      return label + ":   " + zplatform::Utf16ToUtf8(AttributeText(type, value, length));
    case WMT_TYPE_BINARY:
      std::snprintf(text, sizeof text, ":   Type = Binary of Length %zu", length);
      break;
    case WMT_TYPE_BOOL:
      std::snprintf(text, sizeof text, ":   %s", LittleEndian(value, length, 0, 4) ? "true" : "false");
      break;
    case WMT_TYPE_QWORD:
      std::snprintf(text, sizeof text, ":  %" PRIu64, LittleEndian(value, length, 0, 8));
      break;
    case WMT_TYPE_WORD:
      std::snprintf(text, sizeof text, ":  %" PRIu64, LittleEndian(value, length, 0, 2));
      break;
    case WMT_TYPE_GUID:
      std::snprintf(text, sizeof text, ":  %" PRIx64 "%" PRIx64, LittleEndian(value, length, 0, 8),
                    LittleEndian(value, length, 8, 8));
      break;
    default:
      std::snprintf(text, sizeof text, ":   Type = %d, Length %zu", static_cast<int>(type), length);
      break;
  }
  return label + text;
}

}  // namespace talvex
