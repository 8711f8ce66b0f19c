#pragma once
// The play duration of an ASF file to the 100 ns unit, as its File
// Properties object states it. FFmpeg reads and writes it in whole
// milliseconds, which at 48 kHz is up to 48 samples off; the writer sets
// the exact value and the reader ends the audio there.

#include <cstdint>
#include <optional>
#include <string>

namespace wmvcore::detail {

// Play duration less the preroll, in 100 ns units, where it is exact: none
// for a file that is not ASF, has no File Properties object, is a broadcast
// (no duration) or was written by a writer that states the duration in
// milliseconds with audio past it (its send duration is not the play
// duration less the preroll).
std::optional<std::uint64_t> ReadAsfPlayDuration(const std::string& path);

// Sets the play duration of a finished file to `duration` (100 ns units,
// without the preroll, which is kept) and the send duration to the same. False, with the cause in `reason`,
// when the file cannot be read or written or has no such object.
bool WriteAsfPlayDuration(const std::string& path, std::uint64_t duration, std::string* reason);

}  // namespace wmvcore::detail
