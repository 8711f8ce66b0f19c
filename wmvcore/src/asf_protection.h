#pragma once
#include <string>

namespace wmvcore::detail {

// True when `path` is an ASF file whose header holds a content-encryption,
// extended content-encryption or (in its header extension) advanced
// content-encryption object: content under digital rights management.
bool HasContentEncryption(const std::string& path);

}  // namespace wmvcore::detail
