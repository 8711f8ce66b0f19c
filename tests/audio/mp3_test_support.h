#pragma once
// What the MP3 tests check files with, independent of the code under test:
// an MPEG audio frame walk, tones, and the outside decoder (ffprobe/ffmpeg).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace mp3_testing {

using testing_support::Bytes;

struct Frame {
  std::size_t offset = 0;
  std::size_t size = 0;
  int version = 1;       // 1 = MPEG-1, 2 = MPEG-2, 25 = MPEG-2.5
  int layer = 3;
  bool protectedByCrc = false;
  std::uint32_t kbps = 0;
  std::uint32_t rate = 0;
  int mode = 0;          // 0 stereo, 1 joint, 2 dual, 3 mono
  bool copyright = false;
  bool original = false;
  std::uint32_t samples = 0;  // per channel
};

std::optional<Frame> FrameAt(const Bytes& file, std::size_t offset);

// Frames back to back from `start`; stops at the first byte that does not
// start a whole frame. `end` receives where the walk stopped.
std::vector<Frame> WalkFrames(const Bytes& file, std::size_t start, std::size_t* end = nullptr);

// Offset of the first frame that another frame follows (past any tag).
std::size_t FirstFrameOffset(const Bytes& file);

// Whether the frame holds a Xing/Info or VBRI header.
bool HasVbrHeader(const Bytes& file, const Frame& frame);

// `seconds` of a sine tone as interleaved 16-bit PCM; the channels differ.
Bytes Tone(std::uint32_t rate, std::uint32_t channels, double seconds, double hz = 440.0);

// Standard output of a shell command; fails the test when it does not run.
std::string Run(const std::string& command);

struct Probe {
  std::uint32_t rate = 0;
  std::uint32_t channels = 0;
  double durationSeconds = 0;
};
std::optional<Probe> FfProbe(const std::string& path);

// Bytes of 16-bit PCM ffmpeg decodes from the file, or -1 when it fails.
long long FfmpegDecodedBytes(const std::string& path);

}  // namespace mp3_testing
