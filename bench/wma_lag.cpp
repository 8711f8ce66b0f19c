// Compares a WAV file with its WAV -> WMA -> WAV copy for bench/wma_alignment:
// prints the frames of each, the lag (frames, channel 0) of every one-second
// window of the copy against the source, and whether that lag stays put (an
// inserted or dropped sample moves it).
//
//   wma_lag RATE SOURCE.wav COPY.wav  ->  framesIn framesOut stable firstLag lags...

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Wav {
  int channels = 0;
  std::vector<std::int16_t> pcm;
};

std::uint32_t Le32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24); }

bool Load(const char* path, Wav* wav, std::string* reason) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    *reason = "not a RIFF WAVE file";
    return false;
  }
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::uint32_t size = Le32(bytes.data() + at + 4);
    const std::size_t body = at + 8;
    const std::size_t end = std::min<std::size_t>(bytes.size(), body + size);
    if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && size >= 16) {
      wav->channels = bytes[body + 2] | (bytes[body + 3] << 8);
    } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
      wav->pcm.resize((end - body) / 2);
      std::memcpy(wav->pcm.data(), bytes.data() + body, wav->pcm.size() * 2);
      break;
    }
    at = body + size + (size & 1);
  }
  if (wav->channels < 1) {
    *reason = "no fmt chunk";
    return false;
  }
  return true;
}

long WindowLag(const Wav& source, const Wav& copy, std::size_t from, std::size_t length, long maxLag) {
  const auto ch = static_cast<std::size_t>(source.channels);
  const long copyFrames = static_cast<long>(copy.pcm.size() / ch);
  long best = 0;
  double bestScore = -1e300;
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    double score = 0, energy = 0;
    for (std::size_t i = from; i < from + length; ++i) {
      const long j = static_cast<long>(i) + lag;
      if (j < 0 || j >= copyFrames) continue;
      const double d = copy.pcm[static_cast<std::size_t>(j) * ch];
      score += source.pcm[i * ch] * d;
      energy += d * d;
    }
    if (energy > 0) score /= std::sqrt(energy);
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: wma_lag RATE SOURCE.wav COPY.wav\n");
    return 2;
  }
  const auto rate = static_cast<std::size_t>(std::stoul(argv[1]));
  Wav source, copy;
  std::string reason;
  if (!Load(argv[2], &source, &reason)) {
    std::fprintf(stderr, "wma_lag: %s: %s\n", argv[2], reason.c_str());
    return 1;
  }
  if (!Load(argv[3], &copy, &reason)) {
    std::fprintf(stderr, "wma_lag: %s: %s\n", argv[3], reason.c_str());
    return 1;
  }
  if (copy.channels != source.channels) {
    std::fprintf(stderr, "wma_lag: %s: %d channels, the source has %d\n", argv[3], copy.channels, source.channels);
    return 1;
  }
  const std::size_t frames = source.pcm.size() / static_cast<std::size_t>(source.channels);
  std::vector<long> lags;
  for (std::size_t from = 0; from + rate <= frames; from += rate) lags.push_back(WindowLag(source, copy, from, rate, 32));
  bool stable = true;
  for (long lag : lags) stable = stable && lag == lags.front();
  std::printf("%zu %zu %s %ld", frames, copy.pcm.size() / static_cast<std::size_t>(copy.channels),
              stable ? "yes" : "no", lags.empty() ? 0L : lags.front());
  for (long lag : lags) std::printf(" %ld", lag);
  std::printf("\n");
  return 0;
}
