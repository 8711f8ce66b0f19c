#include "audio/mp3_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <sstream>

namespace mp3_testing {
namespace {

constexpr std::uint32_t kV1L3[16] = {0,   32,  40,  48,  56,  64,  80, 96,
                                     112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::uint32_t kV2L3[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

std::optional<Frame> FrameAt(const Bytes& file, std::size_t offset) {
  if (offset + 4 > file.size()) return std::nullopt;
  const std::uint8_t* b = file.data() + offset;
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
  Frame f;
  f.offset = offset;
  const int v = (b[1] >> 3) & 3;
  if (v == 1) return std::nullopt;
  f.version = v == 3 ? 1 : v == 2 ? 2 : 25;
  const int layerBits = (b[1] >> 1) & 3;
  if (layerBits != 1) return std::nullopt;  // only layer III is written or read here
  f.layer = 3;
  f.protectedByCrc = (b[1] & 1) == 0;
  const int bitrateIndex = b[2] >> 4;
  const int rateIndex = (b[2] >> 2) & 3;
  if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return std::nullopt;
  f.kbps = f.version == 1 ? kV1L3[bitrateIndex] : kV2L3[bitrateIndex];
  static constexpr std::uint32_t rates[3][3] = {
      {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  f.rate = rates[f.version == 1 ? 0 : f.version == 2 ? 1 : 2][rateIndex];
  const bool padding = (b[2] >> 1) & 1;
  f.mode = b[3] >> 6;
  f.copyright = (b[3] >> 3) & 1;
  f.original = (b[3] >> 2) & 1;
  f.samples = f.version == 1 ? 1152 : 576;
  f.size = (f.version == 1 ? 144 : 72) * f.kbps * 1000 / f.rate + (padding ? 1 : 0);
  return f;
}

std::vector<Frame> WalkFrames(const Bytes& file, std::size_t start, std::size_t* end) {
  std::vector<Frame> frames;
  std::size_t at = start;
  while (auto f = FrameAt(file, at)) {
    if (at + f->size > file.size()) break;
    frames.push_back(*f);
    at += f->size;
  }
  if (end) *end = at;
  return frames;
}

std::size_t FirstFrameOffset(const Bytes& file) {
  for (std::size_t at = 0; at + 4 <= file.size(); ++at) {
    const auto f = FrameAt(file, at);
    if (f && FrameAt(file, at + f->size)) return at;
  }
  return file.size();
}

bool HasVbrHeader(const Bytes& file, const Frame& frame) {
  const bool mono = frame.mode == 3;
  const std::size_t side = frame.version == 1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const std::size_t xing = frame.offset + 4 + (frame.protectedByCrc ? 2 : 0) + side;
  auto tagAt = [&](std::size_t at, const char* tag) {
    return at + 4 <= file.size() && std::memcmp(file.data() + at, tag, 4) == 0;
  };
  return tagAt(xing, "Xing") || tagAt(xing, "Info") || tagAt(frame.offset + 36, "VBRI");
}

Bytes Tone(std::uint32_t rate, std::uint32_t channels, double seconds, double hz) {
  const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
  Bytes out;
  out.reserve(frames * channels * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    for (std::uint32_t c = 0; c < channels; ++c) {
      const double phase = 2 * std::numbers::pi * hz * (c + 1) * static_cast<double>(i) / rate;
      const auto s = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(phase)));
      const auto u = static_cast<std::uint16_t>(s);
      out.push_back(static_cast<std::uint8_t>(u & 0xFF));
      out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  return out;
}

std::string Run(const std::string& command) {
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return {};
  }
  std::string out;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

std::optional<Probe> FfProbe(const std::string& path) {
  const std::string out =
      Run("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels "
          "-show_entries format=duration -of default=noprint_wrappers=1 " + Quoted(path) +
          " 2>/dev/null");
  Probe p;
  bool rate = false, channels = false, duration = false;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (value.empty() || value == "N/A") continue;
    if (key == "sample_rate") rate = (p.rate = static_cast<std::uint32_t>(std::stoul(value))) > 0;
    if (key == "channels") channels = (p.channels = static_cast<std::uint32_t>(std::stoul(value))) > 0;
    if (key == "duration") duration = (p.durationSeconds = std::stod(value)) >= 0;
  }
  if (!rate || !channels || !duration) return std::nullopt;
  return p;
}

long long FfmpegDecodedBytes(const std::string& path) {
  const std::string out = Run("ffmpeg -v quiet -nostdin -i " + Quoted(path) +
                              " -f s16le -acodec pcm_s16le - 2>/dev/null | wc -c");
  try {
    return std::stoll(out);
  } catch (...) {
    return -1;
  }
}

}  // namespace mp3_testing
