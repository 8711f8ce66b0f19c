#pragma once
#include <cstdint>

namespace zplatform {

// Milliseconds of a steady clock, truncated to 32 bits: it wraps after about
// 49.7 days, and callers subtract in unsigned arithmetic.
std::uint32_t TickCount();

}  // namespace zplatform
