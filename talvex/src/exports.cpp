// The ten entry points of the library.

#include "talvex/talvex.h"

#include "audio_profile.h"
#include "read_context.h"
#include "tag_editor.h"
#include "write_context.h"
#include "wmvcore/profile.h"

extern "C" {

TALVEX_API void EnumWMAFormat(WmaFormatCallback callback) {
  if (!callback) return;
  std::shared_ptr<wmvcore::IWMProfileManager> manager;
  if (wmvcore::Failed(wmvcore::WMCreateProfileManager(&manager)) || !manager) return;
  talvex::ForEachEncoderFormat(*manager, [callback](const talvex::EncoderFormat& format) {
    callback(static_cast<std::int32_t>(format.wave.nAvgBytesPerSec * 8), format.wave.nChannels,
             static_cast<std::int32_t>(format.wave.nSamplesPerSec));
  });
}

TALVEX_API bool CheckWMAFileInfo(const char* path, TalvexAudioInfo* info) {
  // A failed open stays in place until the next open or close, as a read would.
  if (!talvex::OpenReadContext(path, info, 0)) return false;
  talvex::CloseReadContext();
  return true;
}

TALVEX_API bool InitWMAReadFile(const char* path, TalvexAudioInfo* info, int32_t startMs) {
  return talvex::OpenReadContext(path, info, startMs);
}

TALVEX_API bool ReadWMAFile(TalvexAudioInfo*, uint8_t** block, int32_t* byteCount) {
  return talvex::ReadNextBlock(block, byteCount);
}

TALVEX_API int32_t CloseWMAReadFile(TalvexAudioInfo*) {
  talvex::CloseReadContext();
  return 0;
}

TALVEX_API bool InitWMAWriteFile(const char* path, const TalvexAudioInfo* info) {
  return talvex::InitWriteContext(path, info);
}

TALVEX_API bool WriteWMAFile(TalvexAudioInfo*, const uint8_t* data, int32_t byteCount) {
  return talvex::WriteBlock(data, byteCount);
}

TALVEX_API int32_t CloseWMAWriteFile(void) { return talvex::CloseWriteContext() ? 1 : 0; }

TALVEX_API bool GetWmaSongInfo(const char* path, TalvexAudioInfo*, TalvexSongTags* tags) {
  return talvex::EditTags(path, tags, talvex::TagMode::Read);
}

TALVEX_API bool SetWmaSongInfo(const char* path, TalvexAudioInfo*, const TalvexSongTags* tags) {
  // Written through a copy: the caller's record is never changed.
  if (!tags) return false;
  TalvexSongTags copy = *tags;
  return talvex::EditTags(path, &copy, talvex::TagMode::Write);
}

}  // extern "C"

static_assert(sizeof(TalvexAudioInfo) == 32);
static_assert(sizeof(TalvexSongTags) == 808);
