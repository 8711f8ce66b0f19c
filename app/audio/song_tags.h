#pragma once
// The tag record and the two tag operations. MP3 and WMA tags are read and
// written by the WMA library; WAV files carry no tags.

#include <cstddef>
#include <string>

#include "audio/audio_info.h"

namespace zandro {

// Five zero-terminated UTF-8 fields; the WMA library fills and reads it by
// offset, so the layout must not change.
struct SongTags {
  char title[256];
  char author[256];
  char album[256];
  char year[20];
  char track[20];
};

static_assert(sizeof(SongTags) == 808);
static_assert(offsetof(SongTags, title) == 0);
static_assert(offsetof(SongTags, author) == 256);
static_assert(offsetof(SongTags, album) == 512);
static_assert(offsetof(SongTags, year) == 768);
static_assert(offsetof(SongTags, track) == 788);

// Zeroes `tags`, then fills it from the file; for WAV (and any kind without
// tags) returns true with the record empty.
bool ReadSongTags(const std::string& fileName, AudioInfo info, SongTags& tags);

// True when every field is empty.
bool TagsEmpty(const SongTags& tags);

// Writes all five fields, empty ones included; for WAV writes nothing and
// returns true.
bool WriteSongTags(const std::string& fileName, AudioInfo info, SongTags tags);

}  // namespace zandro
