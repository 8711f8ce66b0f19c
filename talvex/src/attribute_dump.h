#pragma once
// The diagnostic line the reader prints for each header attribute.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wmvcore/types.h"

namespace talvex {

std::string AttributeDumpLine(std::u16string_view name, wmvcore::WMT_ATTR_DATATYPE type, const std::uint8_t* value,
                              std::size_t length);

// "0x%08x" of a status, as the diagnostic lines print it.
std::string HexStatus(wmvcore::HRESULT hr);

}  // namespace talvex
