#include "audio/song_tags.h"

#include <cstring>

namespace zandro {

bool ReadSongTags(const std::string& /*fileName*/, AudioInfo info, SongTags& tags) {
  std::memset(&tags, 0, sizeof tags);
  switch (info.kind) {
    case AudioKind::Mp3:
    case AudioKind::Wma:
      return false;  // tag access for these kinds is not available in this build
    default:
      return true;
  }
}

bool WriteSongTags(const std::string& /*fileName*/, AudioInfo info, SongTags /*tags*/) {
  switch (info.kind) {
    case AudioKind::Mp3:
    case AudioKind::Wma:
      return false;
    default:
      return true;
  }
}

}  // namespace zandro
