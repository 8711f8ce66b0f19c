#pragma once
#include <string>

namespace wmvcore::detail {

// Whether an ASF file's header holds together: its objects lie within it
// and the attribute records they count fit in their objects. TagLib reads
// as many records as an object claims, past its end and the file's, so a
// few kilobytes claiming 65,535 records cost it seconds and tens of
// megabytes per open; such a header is refused before TagLib sees it.
enum class AsfHeaderCheck { NotAsf, Sound, Broken };
AsfHeaderCheck CheckAsfHeader(const std::string& path);

}  // namespace wmvcore::detail
