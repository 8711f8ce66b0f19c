#pragma once
// Text at the library's edges: paths into the runtime's UTF-16, and
// attribute values out of it into the fixed fields of the tag record.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wmvcore/types.h"

namespace talvex {

// The design's path buffers hold 260 UTF-16 units, the last for the terminator.
inline constexpr std::size_t kPathUnits = 260;

// The path in UTF-16, or nothing when it needs more than 259 units.
std::optional<std::u16string> WidePath(const char* path);

// A path that is not already absolute (nor a URL) taken against the current
// directory; nothing when that fails or would pass the path limit.
std::optional<std::u16string> AbsoluteWidePath(const std::u16string& path);

// An attribute's value as text: strings up to their first zero unit,
// numbers (DWORD, QWORD, WORD, BOOL) in decimal, anything else as UTF-16 bytes.
std::u16string AttributeText(wmvcore::WMT_ATTR_DATATYPE type, const std::uint8_t* value, std::size_t length);

// The UTF-8 form of `text` as it fits a field of `fieldSize` bytes (one for
// the terminator), cut on a character boundary.
std::string FieldForm(std::u16string_view text, std::size_t fieldSize);

}  // namespace talvex
