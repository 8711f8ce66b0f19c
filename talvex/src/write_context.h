#pragma once
// The open write: a writer with its file sink and the profile built for
// the file, fed one sample per block, each stamped with the time of the bytes
// written before it (rounded once, never summed).

#include <cstdint>

#include "talvex/talvex.h"

namespace talvex {

// Windows' MulDiv: a × b / c with a 64-bit product, rounded half away from
// zero; -1 when c is 0 or the result does not fit 32 bits.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

bool InitWriteContext(const char* path, const TalvexAudioInfo* info);
bool WriteBlock(const std::uint8_t* data, std::int32_t byteCount);
// True when the file was finished.
bool CloseWriteContext();

// The presentation time (100 ns units) the next block will be written at.
std::int64_t NextSampleTime();

}  // namespace talvex
