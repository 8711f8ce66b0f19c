#pragma once
// What the ASF header checks share: GUIDs as stored, little-endian fields,
// and the header's bytes read from a file.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace wmvcore::detail {

using Guid = std::array<std::uint8_t, 16>;

// GUIDs as they are stored in the file (first three fields little-endian).
inline constexpr Guid kAsfHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
inline constexpr Guid kAsfHeaderExtension{0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                          0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

inline constexpr std::size_t kAsfObjectHead = 24;  // GUID, 64-bit size

inline std::uint64_t Le(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

inline bool IsGuid(const std::uint8_t* p, const Guid& g) { return std::memcmp(p, g.data(), 16) == 0; }

// The header object of an ASF file: the objects it counts and its body
// after the 30-byte preamble, as far as the file holds it.
struct AsfHeaderBytes {
  enum class Status { NotAsf, BadSize, Read } status = Status::NotAsf;
  std::uint32_t objectCount = 0;
  std::vector<std::uint8_t> body;
  bool complete = false;  // the file holds all the header claims
};

// BadSize when the header claims less than its preamble or more than
// `maxBytes` (nothing that big is read into memory).
AsfHeaderBytes ReadAsfHeaderBytes(const std::string& path, std::uint64_t maxBytes);

}  // namespace wmvcore::detail
