#include "mp3dec/stream_scan.h"

#include <sys/types.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "zplatform/input_file.h"

namespace mp3dec {
namespace {

constexpr std::uint32_t kBitrates[2][3][16] = {
    // MPEG-1: layer I, II, III
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    // MPEG-2 and 2.5: layer I, II, III
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

// Samples every MPEG layer III decoder puts before the first encoded one.
constexpr std::uint64_t kDecoderDelay = 529;

constexpr std::uint32_t kRates[3][3] = {
    {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

std::uint32_t Le32(const std::uint8_t* p) {
  return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
         std::uint32_t{p[0]};
}

std::uint32_t FrameBytes(MpegVersion version, int layer, std::uint32_t kbps, std::uint32_t rate,
                         bool padding) {
  const std::uint32_t bps = kbps * 1000;
  const std::uint32_t pad = padding ? 1 : 0;
  if (layer == 1) return (12 * bps / rate + pad) * 4;
  if (layer == 3 && version != MpegVersion::Mpeg1) return 72 * bps / rate + pad;
  return 144 * bps / rate + pad;
}

// Size of the smallest frame the stream's version, layer and rate allow: a
// stream of N frames holds at least N times this many bytes.
std::uint32_t SmallestFrameBytes(const FrameHeader& h) {
  const int table = h.version == MpegVersion::Mpeg1 ? 0 : 1;
  return FrameBytes(h.version, h.layer, kBitrates[table][h.layer - 1][1], h.sampleRate, false);
}

class File {
 public:
  // Only a regular file opens: its size is what bounds every read below.
  explicit File(const std::string& name)
      : file_(zplatform::OpenRegularStream(name, nullptr), &std::fclose) {
    if (file_ && fseeko(file_.get(), 0, SEEK_END) == 0) {
      const off_t end = ftello(file_.get());
      if (end > 0) size_ = static_cast<std::uint64_t>(end);
    }
  }
  bool ok() const { return file_ != nullptr; }
  std::uint64_t size() const { return size_; }

  // True when all `n` bytes at `offset` were read.
  bool ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset > size_ || n > size_ - offset) return false;
    if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    return std::fread(out, 1, n, file_.get()) == n;
  }

 private:
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
  std::uint64_t size_ = 0;
};

// The audio lies between the tags: ID3v2 (possibly several) at the start,
// APE and ID3v1 (in either order) at the end.
void TrimTags(File& file, std::uint64_t& begin, std::uint64_t& end) {
  for (;;) {
    std::uint8_t h[10];
    if (end - begin < 10 || !file.ReadAt(begin, h, 10)) break;
    if (std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF) break;
    if ((h[6] | h[7] | h[8] | h[9]) & 0x80) break;
    const std::uint64_t size = (std::uint64_t{h[6]} << 21) | (std::uint64_t{h[7]} << 14) |
                               (std::uint64_t{h[8]} << 7) | std::uint64_t{h[9]};
    const std::uint64_t total = 10 + size + ((h[5] & 0x10) ? 10 : 0);
    begin = std::min(end, begin + total);
  }
  for (bool trimmed = true; trimmed;) {
    trimmed = false;
    std::uint8_t t[32];
    if (end - begin >= 128 && file.ReadAt(end - 128, t, 3) && std::memcmp(t, "TAG", 3) == 0) {
      end -= 128;
      trimmed = true;
    }
    if (end - begin >= 32 && file.ReadAt(end - 32, t, 32) && std::memcmp(t, "APETAGEX", 8) == 0) {
      const std::uint64_t size = Le32(t + 12);  // items and footer
      const bool hasHeader = (Le32(t + 20) & 0x80000000u) != 0;
      const std::uint64_t total = size + (hasHeader ? 32 : 0);
      if (size >= 32 && total <= end - begin) {
        end -= total;
        trimmed = true;
      }
    }
  }
}

struct VbrHeader {
  bool constant = false;  // LAME's "Info": a constant-bit-rate stream
  std::uint32_t frames = 0;
  std::optional<std::uint32_t> bytes;
  std::uint32_t delay = 0;    // encoder delay, samples
  std::uint32_t padding = 0;  // samples added at the end
};

std::optional<VbrHeader> ParseVbrHeader(const std::uint8_t* frame, const FrameHeader& h) {
  const bool lsf = h.version != MpegVersion::Mpeg1;
  const std::size_t sideInfo = h.Channels() == 1 ? (lsf ? 9 : 17) : (lsf ? 17 : 32);
  const std::size_t xing = 4 + (h.crc ? 2 : 0) + sideInfo;
  VbrHeader v;
  if (xing + 8 <= h.frameBytes &&
      (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
    v.constant = std::memcmp(frame + xing, "Info", 4) == 0;
    const std::uint32_t flags = Be32(frame + xing + 4);
    std::size_t at = xing + 8;
    auto field = [&](std::uint32_t flag, std::size_t size) -> const std::uint8_t* {
      if (!(flags & flag) || at + size > h.frameBytes) return nullptr;
      const std::uint8_t* p = frame + at;
      at += size;
      return p;
    };
    const std::uint8_t* frames = field(1, 4);
    const std::uint8_t* bytes = field(2, 4);
    field(4, 100);  // seek table
    field(8, 4);    // quality
    if (!frames) return std::nullopt;
    v.frames = Be32(frames);
    if (bytes) v.bytes = Be32(bytes);
    // The LAME extension carries the encoder delay and padding at offset 21.
    if (at + 24 <= h.frameBytes) {
      const std::uint8_t* lame = frame + at;
      if (std::memcmp(lame, "LAME", 4) == 0 || std::memcmp(lame, "Lavf", 4) == 0 ||
          std::memcmp(lame, "Lavc", 4) == 0) {
        v.delay = (std::uint32_t{lame[21]} << 4) | (lame[22] >> 4);
        v.padding = ((std::uint32_t{lame[22]} & 0x0F) << 8) | lame[23];
      }
    }
    return v;
  }
  const std::size_t vbri = 4 + 32;
  if (vbri + 18 <= h.frameBytes && std::memcmp(frame + vbri, "VBRI", 4) == 0) {
    v.bytes = Be32(frame + vbri + 10);
    v.frames = Be32(frame + vbri + 14);
    return v;
  }
  return std::nullopt;
}

// A header at `at` that starts a frame of the stream: the next frame's header
// follows it, or it ends exactly at the end of the data.
std::optional<FrameHeader> FrameAt(const std::vector<std::uint8_t>& data, std::size_t at,
                                   const FrameHeader* stream) {
  if (at + 4 > data.size()) return std::nullopt;
  const auto h = ParseFrameHeader(data.data() + at);
  if (!h || (stream && !SameStream(*h, *stream))) return std::nullopt;
  const std::size_t next = at + h->frameBytes;
  if (next == data.size()) return h;
  if (next + 4 > data.size()) return std::nullopt;
  const auto n = ParseFrameHeader(data.data() + next);
  if (!n || !SameStream(*h, *n)) return std::nullopt;
  return h;
}

std::uint32_t RoundToU32(double value) {
  if (!(value > 0)) return 0;
  if (value >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(std::llround(value));
}

}  // namespace

std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* b) {
  const std::uint32_t w = Be32(b);
  if ((w >> 21) != 0x7FF) return std::nullopt;
  const std::uint32_t versionBits = (w >> 19) & 3;
  const std::uint32_t layerBits = (w >> 17) & 3;
  const std::uint32_t bitrateIndex = (w >> 12) & 15;
  const std::uint32_t rateIndex = (w >> 10) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3 || (w & 3) == 2) {
    return std::nullopt;
  }
  FrameHeader h;
  h.version = versionBits == 3 ? MpegVersion::Mpeg1
              : versionBits == 2 ? MpegVersion::Mpeg2
                                 : MpegVersion::Mpeg25;
  h.layer = static_cast<int>(4 - layerBits);
  h.crc = ((w >> 16) & 1) == 0;
  const int table = h.version == MpegVersion::Mpeg1 ? 0 : 1;
  h.bitrateKbps = kBitrates[table][h.layer - 1][bitrateIndex];
  h.sampleRate = kRates[static_cast<int>(h.version)][rateIndex];
  h.padding = ((w >> 9) & 1) != 0;
  h.channelMode = static_cast<int>((w >> 6) & 3);
  h.copyright = ((w >> 3) & 1) != 0;
  h.original = ((w >> 2) & 1) != 0;
  h.frameBytes = FrameBytes(h.version, h.layer, h.bitrateKbps, h.sampleRate, h.padding);
  h.samplesPerFrame = h.layer == 1 ? 384 : (h.layer == 3 && table == 1) ? 576 : 1152;
  return h;
}

bool SameStream(const FrameHeader& a, const FrameHeader& b) {
  return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate;
}

std::optional<StreamFacts> ScanFile(const std::string& fileName, std::size_t windowBytes) {
  File file(fileName);
  if (!file.ok()) return std::nullopt;
  std::uint64_t begin = 0;
  std::uint64_t end = file.size();
  TrimTags(file, begin, end);
  if (begin >= end) return std::nullopt;

  const bool wholeStream = end - begin <= windowBytes;
  std::vector<std::uint8_t> data(wholeStream ? end - begin : windowBytes);
  if (!file.ReadAt(begin, data.data(), data.size())) return std::nullopt;

  std::size_t at = 0;
  std::optional<FrameHeader> first;
  for (; at + 4 <= data.size(); ++at) {
    if ((first = FrameAt(data, at, nullptr))) break;
  }
  if (!first) return std::nullopt;

  const std::uint64_t streamBytes = end - begin - at;
  std::optional<VbrHeader> vbr = ParseVbrHeader(data.data() + at, *first);
  std::size_t audioAt = at;
  if (vbr) audioAt += first->frameBytes;

  // Walk the frame headers in the window; a broken stretch is skipped up to
  // the next frame that is followed by another one, as the decoder resyncs.
  std::uint64_t frames = 0;
  std::uint64_t frameBytes = 0;
  bool constant = true;
  std::uint32_t firstKbps = 0;
  for (std::size_t p = audioAt; p + 4 <= data.size();) {
    const auto h = ParseFrameHeader(data.data() + p);
    if (h && SameStream(*h, *first) && p + h->frameBytes <= data.size()) {
      if (frames == 0) firstKbps = h->bitrateKbps;
      if (h->bitrateKbps != firstKbps) constant = false;
      ++frames;
      frameBytes += h->frameBytes;
      p += h->frameBytes;
      continue;
    }
    ++p;
    while (p + 4 <= data.size() && !FrameAt(data, p, &*first)) ++p;
  }

  StreamFacts facts;
  facts.sampleRate = first->sampleRate;
  facts.channels = first->Channels();
  const double rate = first->sampleRate;
  const double spf = first->samplesPerFrame;

  if (vbr && vbr->frames > 0) {
    const double seconds = vbr->frames * spf / rate;
    const std::uint64_t audioBytes = streamBytes - first->frameBytes;
    // A copy cut short keeps the header of the whole file: the frames it
    // claims cannot fit in what is left. Then the frames that are there count.
    const bool cut = (vbr->bytes && static_cast<double>(streamBytes) < *vbr->bytes * 0.95) ||
                     (audioBytes < std::uint64_t{vbr->frames} * SmallestFrameBytes(*first));
    if (!cut) {
      if (vbr->constant && frames > 0 && constant) {
        facts.bitrateKbps = firstKbps;
      } else if (vbr->bytes && *vbr->bytes > 0) {
        facts.bitrateKbps = RoundToU32(*vbr->bytes * 8.0 / seconds / 1000.0);
      } else {
        facts.bitrateKbps = RoundToU32(static_cast<double>(audioBytes) * 8.0 / seconds / 1000.0);
      }
      const std::uint64_t total = std::uint64_t{vbr->frames} * first->samplesPerFrame;
      const std::uint64_t trimmed = std::min<std::uint64_t>(total, vbr->delay + vbr->padding);
      facts.durationMs = RoundToU32(static_cast<double>(total - trimmed) * 1000.0 / rate);
      facts.exact = true;
      return facts;
    }
  }

  if (frames == 0) {
    // Only a header frame: nothing to play.
    facts.bitrateKbps = first->bitrateKbps;
    facts.exact = wholeStream;
    return facts;
  }
  const double walkedSeconds = static_cast<double>(frames) * spf / rate;
  const double bitsPerSecond = static_cast<double>(frameBytes) * 8.0 / walkedSeconds;
  facts.bitrateKbps = constant ? firstKbps : RoundToU32(bitsPerSecond / 1000.0);
  if (wholeStream) {
    // A cut copy of a gapless file still loses the encoder and decoder
    // delay at its start; its end padding was cut off with the rest.
    const std::uint64_t samples = frames * first->samplesPerFrame;
    const std::uint64_t startTrim = (vbr && vbr->delay > 0) ? vbr->delay + kDecoderDelay : 0;
    facts.durationMs =
        RoundToU32(static_cast<double>(samples - std::min(samples, startTrim)) * 1000.0 / rate);
    facts.exact = true;
  } else {
    const double perSecond = constant ? firstKbps * 1000.0 : bitsPerSecond;
    facts.durationMs = RoundToU32(static_cast<double>(end - begin - audioAt) * 8.0 / perSecond * 1000.0);
  }
  return facts;
}

}  // namespace mp3dec
