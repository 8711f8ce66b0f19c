#pragma once
// The run-time binding of the WMA library: the program never links against
// libtalvex.so; it loads it by file name and binds its ten entry points.

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_info.h"
#include "audio/song_tags.h"

namespace zandro {

// The library's C surface, as the program calls it. Results are one-byte
// booleans; the records cross by pointer in their fixed layouts.
extern "C" {
using WmaFormatCallback = void (*)(std::int32_t bitrateBps, std::int32_t channels, std::int32_t sampleRate);
using InitWMAWriteFileFn = bool (*)(const char* path, const AudioInfo* info);
using WriteWMAFileFn = bool (*)(AudioInfo* info, const std::uint8_t* data, std::int32_t byteCount);
using CloseWMAWriteFileFn = std::int32_t (*)();
using CheckWMAFileInfoFn = bool (*)(const char* path, AudioInfo* info);
using InitWMAReadFileFn = bool (*)(const char* path, AudioInfo* info, std::int32_t startMs);
using ReadWMAFileFn = bool (*)(AudioInfo* info, std::uint8_t** data, std::int32_t* byteCount);
using CloseWMAReadFileFn = std::int32_t (*)(AudioInfo* info);
using GetWmaSongInfoFn = bool (*)(const char* path, AudioInfo* info, SongTags* tags);
using SetWmaSongInfoFn = bool (*)(const char* path, AudioInfo* info, const SongTags* tags);
using EnumWMAFormatFn = void (*)(WmaFormatCallback callback);
}

// Filled once by LoadWmaLibrary and only read afterwards.
struct WmaBridge {
  InitWMAWriteFileFn InitWMAWriteFile = nullptr;
  WriteWMAFileFn WriteWMAFile = nullptr;
  CloseWMAWriteFileFn CloseWMAWriteFile = nullptr;
  CheckWMAFileInfoFn CheckWMAFileInfo = nullptr;
  InitWMAReadFileFn InitWMAReadFile = nullptr;
  ReadWMAFileFn ReadWMAFile = nullptr;
  CloseWMAReadFileFn CloseWMAReadFile = nullptr;
  GetWmaSongInfoFn GetWmaSongInfo = nullptr;
  SetWmaSongInfoFn SetWmaSongInfo = nullptr;
  EnumWMAFormatFn EnumWMAFormat = nullptr;
};

const WmaBridge& Wma();

// True when every entry point of the library is bound.
bool WmaAvailable();

inline constexpr const char* kWmaRuntimeFile = "libwmvcore.so";
inline constexpr const char* kWmaLibraryFile = "libtalvex.so";

// Where the runtime and the library are looked for, in order: the program's
// own directory, then its library directory (<prefix>/lib/zandro beside
// <prefix>/bin).
std::vector<std::string> WmaSearchDirectories();

// Binds the library once per process: only when the runtime's file exists
// in one of `directories` is the library loaded (the first directory that
// holds it wins) and its ten names looked up. WmaAvailable() tells the outcome.
void LoadWmaLibrary(const std::vector<std::string>& directories);
void LoadWmaLibrary();

// Binds the library (as LoadWmaLibrary()) at the first WmaAvailable()
// instead of now: loading it brings in the whole FFmpeg stack, which costs
// a command that meets no WMA file more than its own work.
void LoadWmaLibraryOnFirstUse();

}  // namespace zandro
