/* talvex: reading, writing and tagging WMA files (and tagging MP3 files).
 *
 * Ten entry points, called from one thread at a time. At most one read and
 * one write are open; there are no handles. Paths are zero-terminated UTF-8
 * of at most 259 UTF-16 units. Boolean results are one byte.
 */
#ifndef TALVEX_TALVEX_H
#define TALVEX_TALVEX_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(TALVEX_BUILDING)
#define TALVEX_API __attribute__((visibility("default")))
#else
#define TALVEX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* 32 bytes, eight 32-bit little-endian fields. */
typedef struct TalvexAudioInfo {
  int32_t kind; /* 3 for WMA, written when a file is opened for reading */
  uint32_t sampleRate;
  uint32_t channels;
  uint32_t bitrate; /* kbit/s */
  int32_t reserved1;
  int32_t reserved2;
  int32_t reserved3;
  uint32_t durationMs;
} TalvexAudioInfo;

/* 808 bytes: five zero-terminated UTF-8 fields. */
typedef struct TalvexSongTags {
  char title[256];
  char author[256];
  char album[256];
  char year[20];
  char track[20];
} TalvexSongTags;

/* Called once per encoder format, on the caller's thread. */
typedef void (*WmaFormatCallback)(int32_t bitrateBps, int32_t channels, int32_t sampleRate);

TALVEX_API void EnumWMAFormat(WmaFormatCallback callback);

TALVEX_API bool CheckWMAFileInfo(const char* path, TalvexAudioInfo* info);

TALVEX_API bool InitWMAReadFile(const char* path, TalvexAudioInfo* info, int32_t startMs);
/* The block stays valid until the next ReadWMAFile, also across the close. */
TALVEX_API bool ReadWMAFile(TalvexAudioInfo* info, uint8_t** block, int32_t* byteCount);
TALVEX_API int32_t CloseWMAReadFile(TalvexAudioInfo* info);

TALVEX_API bool InitWMAWriteFile(const char* path, const TalvexAudioInfo* info);
TALVEX_API bool WriteWMAFile(TalvexAudioInfo* info, const uint8_t* data, int32_t byteCount);
/* 1 when the file was finished, 0 when it was not (or nothing was open). */
TALVEX_API int32_t CloseWMAWriteFile(void);

TALVEX_API bool GetWmaSongInfo(const char* path, TalvexAudioInfo* info, TalvexSongTags* tags);
TALVEX_API bool SetWmaSongInfo(const char* path, TalvexAudioInfo* info, const TalvexSongTags* tags);

#ifdef __cplusplus
}
#endif

#endif /* TALVEX_TALVEX_H */
