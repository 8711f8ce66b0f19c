#include "wide_text.h"

#include <unistd.h>

#include <cstring>

#include "zplatform/text.h"

namespace talvex {

std::optional<std::u16string> WidePath(const char* path) {
  if (!path) path = "";
  const std::u16string wide = zplatform::PathToUtf16(path);
  if (wide.size() > kPathUnits - 1) return std::nullopt;
  return wide;
}

std::optional<std::u16string> AbsoluteWidePath(const std::u16string& path) {
  if (!path.empty() && path[0] == u'/') return path;
  if (path.find(u"://") != std::u16string::npos) return path;
  char buffer[4096];
  if (!getcwd(buffer, sizeof buffer)) return std::nullopt;
  std::u16string absolute = zplatform::PathToUtf16(buffer);
  if (absolute.empty() || absolute.back() != u'/') absolute += u'/';
  absolute += path;
  if (absolute.size() > kPathUnits - 1) return std::nullopt;
  return absolute;
}

namespace {

std::uint64_t LittleEndian(const std::uint8_t* value, std::size_t bytes) {
  std::uint64_t result = 0;
  for (std::size_t i = 0; i < bytes; ++i) result |= static_cast<std::uint64_t>(value[i]) << (8 * i);
  return result;
}

std::u16string Decimal(std::uint64_t number) {
  const std::string text = std::to_string(number);
  return std::u16string(text.begin(), text.end());
}

}  // namespace

std::u16string AttributeText(wmvcore::WMT_ATTR_DATATYPE type, const std::uint8_t* value, std::size_t length) {
  using namespace wmvcore;
  switch (type) {
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
      if (length >= 4) return Decimal(LittleEndian(value, 4));
      break;
    case WMT_TYPE_QWORD:
      if (length >= 8) return Decimal(LittleEndian(value, 8));
      break;
    case WMT_TYPE_WORD:
      if (length >= 2) return Decimal(LittleEndian(value, 2));
      break;
    default:
      break;
  }
  std::u16string text;
  for (std::size_t i = 0; i + 1 < length; i += 2) {
    const char16_t unit = static_cast<char16_t>(value[i] | (value[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

std::string FieldForm(std::u16string_view text, std::size_t fieldSize) {
  if (fieldSize == 0) return "";
  return std::string(zplatform::TruncateUtf8(zplatform::Utf16ToUtf8(text), fieldSize - 1));
}

}  // namespace talvex
