#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

namespace zandro {

// Rounds to the nearest integer, a half to the even neighbour (the default
// floating-point rounding mode), and clamps into the range of T.
template <typename T>
T RoundHalfEven(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= static_cast<double>(std::numeric_limits<T>::min()))) {
    return std::numeric_limits<T>::min();
  }
  if (rounded >= static_cast<double>(std::numeric_limits<T>::max())) {
    return std::numeric_limits<T>::max();
  }
  return static_cast<T>(rounded);
}

}  // namespace zandro
