#include "audio/mp3_encoder.h"

#include <lame/lame.h>

#include <bit>
#include <cstring>
#include <string>

#include "zplatform/diagnostics.h"

namespace zandro {
namespace {

// The input buffer is handed to LAME as native shorts.
static_assert(std::endian::native == std::endian::little, "PCM arrives little-endian");

constexpr std::size_t kFileBufferSize = 64 * 1024;

// LAME's table of bit rates for the MPEG version it chose.
bool IsTableBitrate(lame_t lame, int kbps) {
  const int version = lame_get_version(lame);
  for (int index = 1; index < 15; ++index) {
    if (lame_get_bitrate(version, index) == kbps) return true;
  }
  return false;
}

void Refuse(const AudioInfo& info, const char* why) {
  zplatform::Diagnostic("MP3 encoder refuses " + std::to_string(info.sampleRate) + " Hz, " +
                        std::to_string(info.channels) + " channels, " +
                        std::to_string(info.bitrate) + " kbit/s: " + why);
}

}  // namespace

Mp3Encoder::~Mp3Encoder() { Close(); }

namespace {

// LAME set up for the stream, or null (with the reason shown) when it would
// have to change the rate, the bit rate or the channel count.
lame_t ConfiguredLame(const AudioInfo& info) {
  if (info.channels != 1 && info.channels != 2) {
    Refuse(info, "only mono and stereo can be encoded");
    return nullptr;
  }
  if (info.sampleRate == 0 || info.sampleRate > 0x7FFFFFFFu || info.bitrate == 0 ||
      info.bitrate > 0x7FFFFFFFu) {
    Refuse(info, "no such stream");
    return nullptr;
  }
  lame_t lame = lame_init();
  if (!lame) return nullptr;
  const int rate = static_cast<int>(info.sampleRate);
  const int kbps = static_cast<int>(info.bitrate);
  const MPEG_mode mode = info.channels == 1 ? MONO : STEREO;
  // The setters report a rate LAME cannot write, but lame_init_params would
  // still succeed by resampling, so each result is looked at.
  bool ok = lame_set_in_samplerate(lame, rate) == 0 &&
            lame_set_out_samplerate(lame, rate) == 0 &&
            lame_set_num_channels(lame, static_cast<int>(info.channels)) == 0 &&
            lame_set_mode(lame, mode) == 0 && lame_set_VBR(lame, vbr_off) == 0 &&
            lame_set_brate(lame, kbps) == 0 && lame_set_quality(lame, 2) == 0 &&
            lame_set_copyright(lame, 1) == 0 && lame_set_original(lame, 1) == 0 &&
            lame_set_error_protection(lame, 0) == 0 && lame_set_bWriteVbrTag(lame, 0) == 0;
  if (ok) {
    lame_set_write_id3tag_automatic(lame, 0);
    ok = lame_init_params(lame) >= 0;
  }
  // LAME clamps a bit rate the MPEG version does not allow at this rate
  // (320 at 22050 Hz becomes 160) without failing: check what it settled on.
  if (ok) {
    ok = lame_get_out_samplerate(lame) == rate && lame_get_in_samplerate(lame) == rate &&
         lame_get_num_channels(lame) == static_cast<int>(info.channels) &&
         lame_get_mode(lame) == mode && lame_get_VBR(lame) == vbr_off &&
         lame_get_brate(lame) == kbps && IsTableBitrate(lame, kbps) &&
         lame_get_framesize(lame) > 0;
  }
  if (!ok) {
    Refuse(info, "the encoder would change the rate or the bit rate");
    lame_close(lame);
    return nullptr;
  }
  return lame;
}

}  // namespace

bool Mp3Encoder::Accepts(const AudioInfo& info) {
  lame_t lame = ConfiguredLame(info);
  if (!lame) return false;
  lame_close(lame);
  return true;
}

bool Mp3Encoder::Open(const std::string& fileName, const AudioInfo& info) {
  Close();
  lame_t lame = ConfiguredLame(info);
  if (!lame) return false;

  const auto frameSize = static_cast<std::size_t>(lame_get_framesize(lame));
  lame_ = lame;
  channels_ = info.channels;
  input_.assign(frameSize * info.channels, 0);
  // LAME's own worst case for one call: 1.25 times the samples plus 7200.
  output_.assign(frameSize * 5 / 4 + 7200, 0);
  fill_ = 0;
  writeFailed_ = false;
  fullChunks_ = 0;
  lastPartialSamples_ = 0;

  file_ = std::fopen(fileName.c_str(), "wb");
  if (!file_) {
    zplatform::Diagnostic("Cannot create " + fileName);
    Release();
    return false;
  }
  fileBuffer_.resize(kFileBufferSize);
  std::setvbuf(file_, fileBuffer_.data(), _IOFBF, fileBuffer_.size());
  return true;
}

bool Mp3Encoder::Encode(const std::uint8_t* data, std::size_t byteCount) {
  if (!lame_ || writeFailed_) return false;
  if (byteCount > 0 && !data) return false;
  const std::size_t capacity = input_.size() * sizeof(std::int16_t);
  auto* input = reinterpret_cast<std::uint8_t*>(input_.data());
  while (byteCount > 0) {
    const std::size_t space = capacity - fill_;
    if (space > byteCount) {
      std::memcpy(input + fill_, data, byteCount);
      fill_ += byteCount;
      return true;
    }
    // A block that exactly fills the buffer is encoded at once.
    std::memcpy(input + fill_, data, space);
    fill_ = 0;
    if (!EncodeInput(input_.size())) return false;
    ++fullChunks_;
    data += space;
    byteCount -= space;
  }
  return true;
}

bool Mp3Encoder::Close() {
  if (!lame_) return false;
  // The partial last chunk and the flush are encoded whatever happened
  // before; only a failed write makes the target unusable.
  lastPartialSamples_ = fill_ / 2;
  if (lastPartialSamples_ > 0) EncodeInput(lastPartialSamples_);
  fill_ = 0;
  const int flushed = lame_encode_flush(lame_, output_.data(), static_cast<int>(output_.size()));
  if (flushed > 0) Append(flushed);
  bool ok = !writeFailed_;
  if (std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  Release();
  return ok;
}

bool Mp3Encoder::EncodeInput(std::size_t samples) {
  // Whole sample frames only: a dangling half of a stereo pair is dropped.
  const int perChannel = static_cast<int>(samples / channels_);
  const int outSize = static_cast<int>(output_.size());
  int produced = 0;
  if (perChannel > 0) {
    produced = channels_ == 2
                   ? lame_encode_buffer_interleaved(lame_, input_.data(), perChannel,
                                                    output_.data(), outSize)
                   // The interleaved entry point assumes two channels.
                   : lame_encode_buffer(lame_, input_.data(), input_.data(), perChannel,
                                        output_.data(), outSize);
  }
  if (produced < 0) return false;
  return Append(produced);
}

bool Mp3Encoder::Append(int bytes) {
  if (bytes <= 0 || writeFailed_) return !writeFailed_;
  const auto count = static_cast<std::size_t>(bytes);
  if (std::fwrite(output_.data(), 1, count, file_) != count) writeFailed_ = true;
  return !writeFailed_;
}

void Mp3Encoder::Release() {
  if (lame_) lame_close(lame_);
  lame_ = nullptr;
  if (file_) std::fclose(file_);
  file_ = nullptr;
  input_ = {};
  output_ = {};
  fill_ = 0;
  channels_ = 0;
}

}  // namespace zandro
