#include "asf_layout.h"

#include <cstdio>
#include <memory>

#include "zplatform/input_file.h"

namespace wmvcore::detail {

AsfHeaderBytes ReadAsfHeaderBytes(const std::string& path, std::uint64_t maxBytes) {
  AsfHeaderBytes header;
  // Only a regular file is read: a FIFO would block this open for good.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(zplatform::OpenRegularStream(path, nullptr),
                                                           &std::fclose);
  std::uint8_t preamble[30];
  if (!in || std::fread(preamble, 1, sizeof preamble, in.get()) != sizeof preamble ||
      !IsGuid(preamble, kAsfHeaderObject)) {
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
  const std::size_t got = std::fread(header.body.data(), 1, header.body.size(), in.get());
  header.complete = got == header.body.size();
  header.body.resize(got);
  return header;
}

}  // namespace wmvcore::detail
