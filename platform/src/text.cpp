#include "zplatform/text.h"

#include <algorithm>
#include <cstring>

namespace zplatform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `pos`, advancing it; malformed input (overlong
// forms, surrogates, truncated sequences) yields U+FFFD for one byte.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[pos + i]);
    if ((c & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return cp;
}

char32_t DecodeUtf16(std::u16string_view text, std::size_t& pos) {
  const char16_t unit = text[pos++];
  if (unit >= 0xD800 && unit <= 0xDBFF && pos < text.size()) {
    const char16_t low = text[pos];
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++pos;
      return 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  if (unit >= 0xD800 && unit <= 0xDFFF) return kReplacement;
  return unit;
}

std::size_t EncodeUtf16(char32_t cp, char16_t out[2]) {
  if (cp < 0x10000) {
    out[0] = static_cast<char16_t>(cp);
    return 1;
  }
  cp -= 0x10000;
  out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  return 2;
}

std::size_t EncodeUtf8(char32_t cp, char out[4]) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char16_t units[2];
    const std::size_t n = EncodeUtf16(DecodeUtf8(text, pos), units);
    result.append(units, n);
  }
  return result;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char bytes[4];
    const std::size_t n = EncodeUtf8(DecodeUtf16(text, pos), bytes);
    result.append(bytes, n);
  }
  return result;
}

std::size_t Utf8ToUtf16(std::string_view text, char16_t* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  std::size_t written = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    char16_t units[2];
    const std::size_t n = EncodeUtf16(DecodeUtf8(text, pos), units);
    if (written + n + 1 > capacity) break;
    std::copy(units, units + n, buffer + written);
    written += n;
  }
  buffer[written] = 0;
  return written;
}

std::size_t Utf16ToUtf8(std::u16string_view text, char* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  std::size_t written = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    char bytes[4];
    const std::size_t n = EncodeUtf8(DecodeUtf16(text, pos), bytes);
    if (written + n + 1 > capacity) break;
    std::memcpy(buffer + written, bytes, n);
    written += n;
  }
  buffer[written] = 0;
  return written;
}

std::u16string PathToUtf16(std::string_view path) {
  std::u16string out;
  out.reserve(path.size());
  for (std::size_t pos = 0; pos < path.size();) {
    const std::size_t start = pos;
    const char32_t cp = DecodeUtf8(path, pos);
    if (cp == kReplacement && path.substr(start, 3) != "\xEF\xBF\xBD") {
      out.push_back(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(path[start])));
      continue;
    }
    char16_t units[2];
    out.append(units, EncodeUtf16(cp, units));
  }
  return out;
}

std::string PathFromUtf16(std::u16string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t pos = 0; pos < path.size();) {
    if (path[pos] >= 0xDC80 && path[pos] <= 0xDCFF) {
      out.push_back(static_cast<char>(path[pos++] - 0xDC00));
      continue;
    }
    char bytes[4];
    out.append(bytes, EncodeUtf8(DecodeUtf16(path, pos), bytes));
  }
  return out;
}

std::string_view TruncateUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  // Step back over continuation bytes to the lead byte of the cut character.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

void CopyToField(std::string_view text, char* field, std::size_t size) {
  if (size == 0) return;
  const std::string_view kept = TruncateUtf8(text.substr(0, text.find('\0')), size - 1);
  std::memcpy(field, kept.data(), kept.size());
  std::memset(field + kept.size(), 0, size - kept.size());
}

std::string FieldText(const char* field, std::size_t size) {
  const auto* end = static_cast<const char*>(std::memchr(field, 0, size));
  return std::string(field, end ? static_cast<std::size_t>(end - field) : size);
}

std::string AsciiUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

}  // namespace zplatform
