#include "zplatform/tick.h"

#include <chrono>

namespace zplatform {

std::uint32_t TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

}  // namespace zplatform
