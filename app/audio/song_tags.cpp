#include "audio/song_tags.h"

#include <cstring>

#include "audio/wma_bridge.h"

namespace zandro {

bool ReadSongTags(const std::string& fileName, AudioInfo info, SongTags& tags) {
  std::memset(&tags, 0, sizeof tags);
  switch (info.kind) {
    case AudioKind::Mp3:
    case AudioKind::Wma:
      return WmaAvailable() && Wma().GetWmaSongInfo(fileName.c_str(), &info, &tags);
    default:
      return true;
  }
}

bool TagsEmpty(const SongTags& tags) {
  return !tags.title[0] && !tags.author[0] && !tags.album[0] && !tags.year[0] && !tags.track[0];
}

bool WriteSongTags(const std::string& fileName, AudioInfo info, SongTags tags) {
  switch (info.kind) {
    case AudioKind::Mp3:
    case AudioKind::Wma:
      return WmaAvailable() && Wma().SetWmaSongInfo(fileName.c_str(), &info, &tags);
    default:
      return true;
  }
}

}  // namespace zandro
