#pragma once
// The MP3 decoder library: one open stream at a time, four C entry points.
// Every result is 0 for success. PCM comes out as interleaved signed 16-bit
// little-endian samples at the stream's own rate and channel count (never
// resampled, never remixed), at most SB_PCM_BLOCK_BYTES per decoding call.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SB_PCM_BLOCK_BYTES 8192

// How many bytes of data it cannot use the decoder searches for a frame
// header before it gives up: a file in which no frame starts within this
// many bytes is refused. Files are only ever opened when regular.
#define SB_RESYNC_LIMIT_BYTES (256 * 1024)

// Opens `fileName` (UTF-8) and positions at `startMs` milliseconds into the
// audio; an already open stream is closed first. 0 when ready to decode.
int32_t SB_InitMP3(const char* fileName, int32_t startMs);

// Sample rate (Hz), channels, bit rate (kbit/s; the average for a variable
// bit rate) and play time (ms) of the open stream. Reads only the start of
// the file. Non-zero, and all four 0, when no stream is open.
int32_t SB_GetFrameInfo(int32_t* sampleRate, int32_t* channels, int32_t* bitrateKbps,
                        int32_t* playTimeMs);

// Writes the next block of PCM (a whole number of sample frames, at most
// SB_PCM_BLOCK_BYTES) into `buffer` and its size into `*bytesWritten`.
// Non-zero, with 0 bytes, at the end of the stream, on an error that cannot
// be decoded past, or when no stream is open.
int32_t SB_decodeMP3(uint8_t* buffer, int32_t* bytesWritten);

// Closes the open stream; harmless when none is open.
int32_t SB_ExitMP3(void);

#ifdef __cplusplus
}
#endif
