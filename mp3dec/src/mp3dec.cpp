// The decoder library over libmpg123: one stream per process, as the
// program expects of it.

#include "mp3dec/mp3dec.h"

#include <mpg123.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "mp3dec/stream_scan.h"
#include "zplatform/input_file.h"

namespace {

struct Stream {
  mpg123_handle* handle = nullptr;
  std::string fileName;
  long rate = 0;
  int channels = 0;
  bool finished = false;       // the last block has been handed out
  bool formatMatches = true;   // the decoder's output is in the reported format
  std::optional<mp3dec::StreamFacts> facts;
  bool scanned = false;
};

Stream& Current() {
  static Stream stream;
  return stream;
}

// SB_RESYNC_LIMIT_BYTES bounds the search for a frame header in data the
// decoder cannot use. Unlimited, a large file of zeros or of random bytes
// named .mp3 would be searched to its end, for minutes; mpg123's own 1024
// bytes would refuse real files whose first frame lies a little further
// behind junk (a tag another program did not mark as one). 256 KiB covers
// those and still gives up on a non-audio file after a quarter of a megabyte.
constexpr long kResyncLimitBytes = SB_RESYNC_LIMIT_BYTES;

// Native 16-bit output only: no resampling (automatic resampling off), no
// channel mixing, ID3v2 skipped unparsed, gapless trimming where the stream
// says how, and a bounded search past broken data.
mpg123_handle* NewHandle() {
  static const bool initialised = mpg123_init() == MPG123_OK;
  if (!initialised) return nullptr;
  int error = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  if (!handle) return nullptr;
  const long flags = MPG123_QUIET | MPG123_GAPLESS | MPG123_SKIP_ID3V2;
  bool ok = mpg123_param(handle, MPG123_FLAGS, flags, 0.0) == MPG123_OK &&
            mpg123_param(handle, MPG123_RESYNC_LIMIT, kResyncLimitBytes, 0.0) == MPG123_OK &&
            mpg123_format_none(handle) == MPG123_OK;
  const long* rates = nullptr;
  std::size_t count = 0;
  mpg123_rates(&rates, &count);
  for (std::size_t i = 0; ok && i < count; ++i) {
    ok = mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) ==
         MPG123_OK;
  }
  if (!ok) {
    mpg123_delete(handle);
    return nullptr;
  }
  return handle;
}

// libmpg123's own reader asks read(2) for every frame header and frame (some
// 14,000 calls for three minutes at 128 kbit/s); a stdio stream with a large
// buffer of its own reads the file 64 KiB at a time.
struct BufferedFile {
  std::FILE* file = nullptr;
  char buffer[1 << 16];
};

ssize_t ReadBuffered(void* handle, void* bytes, std::size_t count) {
  std::FILE* file = static_cast<BufferedFile*>(handle)->file;
  const std::size_t got = std::fread(bytes, 1, count, file);
  if (got < count && std::ferror(file)) return -1;
  return static_cast<ssize_t>(got);
}

off_t SeekBuffered(void* handle, off_t offset, int whence) {
  std::FILE* file = static_cast<BufferedFile*>(handle)->file;
  if (fseeko(file, offset, whence) != 0) return -1;
  return ftello(file);
}

void CloseBuffered(void* handle) {
  auto* opened = static_cast<BufferedFile*>(handle);
  std::fclose(opened->file);
  delete opened;
}

// Opens the file through the buffered reader; false leaves nothing open.
bool OpenBuffered(mpg123_handle* handle, const char* fileName) {
  auto* opened = new BufferedFile;
  // Only a regular file: a FIFO would block here, a device never end.
  opened->file = zplatform::OpenRegularStream(fileName, nullptr);
  if (!opened->file) {
    delete opened;
    return false;
  }
  std::setvbuf(opened->file, opened->buffer, _IOFBF, sizeof opened->buffer);
  if (mpg123_replace_reader_handle(handle, ReadBuffered, SeekBuffered, CloseBuffered) != MPG123_OK) {
    CloseBuffered(opened);
    return false;
  }
  // From here mpg123_close (or a failed open) calls CloseBuffered.
  return mpg123_open_handle(handle, opened) == MPG123_OK;
}

// Bytes asked of the decoder per call: whole sample frames only.
std::size_t BlockBytes(int channels) {
  const std::size_t frame = static_cast<std::size_t>(channels) * 2;
  return SB_PCM_BLOCK_BYTES - SB_PCM_BLOCK_BYTES % frame;
}

std::int32_t ClampToInt32(double value) {
  if (!(value > 0)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  return static_cast<std::int32_t>(std::llround(value));
}

}  // namespace

extern "C" {

int32_t SB_InitMP3(const char* fileName, int32_t startMs) {
  SB_ExitMP3();
  if (!fileName) return 1;
  mpg123_handle* handle = NewHandle();
  if (!handle) return 2;
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (!OpenBuffered(handle, fileName)) {
    mpg123_delete(handle);
    return 3;
  }
  // Reading the format now also spares the first read its format-only answer.
  if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
      (channels != 1 && channels != 2) || encoding != MPG123_ENC_SIGNED_16) {
    mpg123_close(handle);
    mpg123_delete(handle);
    return 4;
  }
  Stream& stream = Current();
  stream.handle = handle;
  stream.fileName = fileName;
  stream.rate = rate;
  stream.channels = channels;
  stream.finished = false;
  stream.formatMatches = true;
  if (startMs > 0) {
    const double sample = std::floor(static_cast<double>(startMs) * static_cast<double>(rate) / 1000.0 + 0.5);
    // A position past the end leaves nothing to decode.
    if (mpg123_seek(handle, static_cast<off_t>(sample), SEEK_SET) < 0) stream.finished = true;
  }
  return 0;
}

int32_t SB_GetFrameInfo(int32_t* sampleRate, int32_t* channels, int32_t* bitrateKbps,
                        int32_t* playTimeMs) {
  Stream& stream = Current();
  std::int32_t values[4] = {0, 0, 0, 0};
  std::int32_t result = 1;
  if (stream.handle) {
    if (!stream.scanned) {
      stream.facts = mp3dec::ScanFile(stream.fileName);
      stream.scanned = true;
    }
    values[0] = static_cast<std::int32_t>(stream.rate);
    values[1] = stream.channels;
    if (stream.facts && static_cast<long>(stream.facts->sampleRate) == stream.rate) {
      values[2] = ClampToInt32(stream.facts->bitrateKbps);
      values[3] = ClampToInt32(stream.facts->durationMs);
    } else {
      // Our own reading of the layout found another start than the decoder:
      // fall back on what the decoder estimates.
      mpg123_frameinfo info{};
      if (mpg123_info(stream.handle, &info) == MPG123_OK) {
        values[2] = info.vbr == MPG123_ABR ? info.abr_rate : info.bitrate;
      }
      const off_t length = mpg123_length(stream.handle);
      if (length > 0) {
        values[3] = ClampToInt32(static_cast<double>(length) * 1000.0 / static_cast<double>(stream.rate));
      }
    }
    result = 0;
  }
  if (sampleRate) *sampleRate = values[0];
  if (channels) *channels = values[1];
  if (bitrateKbps) *bitrateKbps = values[2];
  if (playTimeMs) *playTimeMs = values[3];
  return result;
}

int32_t SB_decodeMP3(uint8_t* buffer, int32_t* bytesWritten) {
  if (bytesWritten) *bytesWritten = 0;
  Stream& stream = Current();
  if (!stream.handle || stream.finished || !buffer || !bytesWritten) return 1;

  const std::size_t want = BlockBytes(stream.channels);
  const std::size_t frame = static_cast<std::size_t>(stream.channels) * 2;
  // Answers without audio (a format notice, a recoverable error) are passed
  // over, but never endlessly: a decoder that stops moving ends the stream.
  int idle = 0;
  off_t lastPosition = mpg123_tell_stream(stream.handle);
  for (;;) {
    std::size_t done = 0;
    const int result = mpg123_read(stream.handle, buffer, want, &done);
    done -= done % frame;
    // Audio handed out with a format notice is still in the old format.
    const bool usable = stream.formatMatches;
    if (result == MPG123_NEW_FORMAT) {
      // The target holds the first format only: frames of another rate or
      // channel count (a stray header in broken data, a stitched file) are
      // passed over until the stream's own format returns.
      long rate = 0;
      int channels = 0;
      int encoding = 0;
      stream.formatMatches = mpg123_getformat(stream.handle, &rate, &channels, &encoding) ==
                                 MPG123_OK &&
                             rate == stream.rate && channels == stream.channels;
    }
    // The end comes together with the last partial block: deliver it first.
    if (result == MPG123_DONE) stream.finished = true;
    if (done > 0 && usable) {
      *bytesWritten = static_cast<std::int32_t>(done);
      return 0;
    }
    if (result == MPG123_DONE) return 1;
    const off_t position = mpg123_tell_stream(stream.handle);
    if (position != lastPosition || done > 0) {
      lastPosition = position;
      idle = 0;
    } else if (++idle > 64) {
      stream.finished = true;
      return 1;
    }
  }
}

int32_t SB_ExitMP3(void) {
  Stream& stream = Current();
  if (stream.handle) {
    mpg123_close(stream.handle);
    mpg123_delete(stream.handle);
  }
  stream = Stream{};
  return 0;
}

}  // extern "C"
