#include "asf_layout.h"

#include <fstream>

namespace wmvcore::detail {

AsfHeaderBytes ReadAsfHeaderBytes(const std::string& path, std::uint64_t maxBytes) {
  AsfHeaderBytes header;
  std::ifstream in(path, std::ios::binary);
  std::uint8_t preamble[30];
  if (!in.read(reinterpret_cast<char*>(preamble), sizeof preamble) || !IsGuid(preamble, kAsfHeaderObject)) {
    return header;
  }
  const std::uint64_t headerSize = Le(preamble + 16, 8);
  if (headerSize < sizeof preamble || headerSize > maxBytes) {
    header.status = AsfHeaderBytes::Status::BadSize;
    return header;
  }
  header.status = AsfHeaderBytes::Status::Read;
  header.objectCount = static_cast<std::uint32_t>(Le(preamble + 24, 4));
  header.body.resize(headerSize - sizeof preamble);
  in.read(reinterpret_cast<char*>(header.body.data()), static_cast<std::streamsize>(header.body.size()));
  header.complete = static_cast<std::size_t>(in.gcount()) == header.body.size();
  header.body.resize(static_cast<std::size_t>(in.gcount()));
  return header;
}

}  // namespace wmvcore::detail
