#pragma once
// Narrow text is UTF-8; wide text is UTF-16. These stand in for the code-page
// conversions the design names, with the caller's buffer limits.

#include <cstddef>
#include <string>
#include <string_view>

namespace zplatform {

// Whole-string conversions. Invalid input sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Buffer conversions: write at most `capacity` units including the zero
// terminator, never splitting a character (or a surrogate pair). Return the
// number of units written without the terminator. A capacity of 0 writes
// nothing and returns 0.
std::size_t Utf8ToUtf16(std::string_view text, char16_t* buffer, std::size_t capacity);
std::size_t Utf16ToUtf8(std::u16string_view text, char* buffer, std::size_t capacity);

// Paths: Linux names are bytes, not always UTF-8. A byte that is not part
// of valid UTF-8 travels as the lone surrogate U+DC00 + byte and comes back
// as that byte, so every path survives a trip through UTF-16 unchanged.
std::u16string PathToUtf16(std::string_view path);
std::string PathFromUtf16(std::u16string_view path);

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a
// character boundary.
std::string_view TruncateUtf8(std::string_view text, std::size_t maxBytes);

// Copies `text` into a fixed field of `size` bytes, zero-filled after the
// text, cut on a character boundary so that the terminator always fits.
void CopyToField(std::string_view text, char* field, std::size_t size);

template <std::size_t N>
void CopyToField(std::string_view text, char (&field)[N]) {
  CopyToField(text, field, N);
}

// The text of a zero-terminated fixed field (at most `size` bytes are read).
std::string FieldText(const char* field, std::size_t size);

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  return FieldText(field, N);
}

// ASCII upper-casing, as file extensions are compared.
std::string AsciiUpper(std::string_view text);

}  // namespace zplatform
