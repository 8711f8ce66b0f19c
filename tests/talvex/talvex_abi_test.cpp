// The library as the program sees it: loaded with dlopen and known only by
// its ten names.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "support/test_support.h"
#include "talvex/talvex.h"
#include "zplatform/diagnostics.h"
#include "zplatform/window_registry.h"

namespace {

using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

struct Library {
  void* handle = nullptr;
  decltype(&EnumWMAFormat) enumFormats = nullptr;
  decltype(&CheckWMAFileInfo) check = nullptr;
  decltype(&InitWMAReadFile) initRead = nullptr;
  decltype(&ReadWMAFile) read = nullptr;
  decltype(&CloseWMAReadFile) closeRead = nullptr;
  decltype(&InitWMAWriteFile) initWrite = nullptr;
  decltype(&WriteWMAFile) write = nullptr;
  decltype(&CloseWMAWriteFile) closeWrite = nullptr;
  decltype(&GetWmaSongInfo) getTags = nullptr;
  decltype(&SetWmaSongInfo) setTags = nullptr;
};

template <typename Fn>
void Bind(void* handle, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(dlsym(handle, name));
  ASSERT_NE(slot, nullptr) << name;
}

class Talvex : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    zplatform::SetDiagnosticSink([](std::string_view) {});  // the header dumps are not under test here
    lib.handle = dlopen(TALVEX_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    Bind(lib.handle, "EnumWMAFormat", lib.enumFormats);
    Bind(lib.handle, "CheckWMAFileInfo", lib.check);
    Bind(lib.handle, "InitWMAReadFile", lib.initRead);
    Bind(lib.handle, "ReadWMAFile", lib.read);
    Bind(lib.handle, "CloseWMAReadFile", lib.closeRead);
    Bind(lib.handle, "InitWMAWriteFile", lib.initWrite);
    Bind(lib.handle, "WriteWMAFile", lib.write);
    Bind(lib.handle, "CloseWMAWriteFile", lib.closeWrite);
    Bind(lib.handle, "GetWmaSongInfo", lib.getTags);
    Bind(lib.handle, "SetWmaSongInfo", lib.setTags);
  }

  std::string Copy(const std::string& fixture, const std::string& name) {
    const std::string path = dir.File(name);
    fs::copy_file(testing_support::RealFixture(fixture), path);
    return path;
  }

  // All the PCM of a read, block by block.
  std::uint64_t ReadAll(const std::string& path, TalvexAudioInfo& info, std::int32_t startMs = 0) {
    EXPECT_TRUE(lib.initRead(path.c_str(), &info, startMs));
    std::uint64_t total = 0;
    std::uint8_t* block = nullptr;
    std::int32_t count = 0;
    while (lib.read(&info, &block, &count)) total += static_cast<std::uint64_t>(count);
    lib.closeRead(&info);
    return total;
  }

  // Writes `seconds` of a 16-bit tone as WMA.
  bool WriteTone(const std::string& path, std::uint32_t rate, std::uint32_t channels, std::uint32_t kbps,
                 double seconds) {
    TalvexAudioInfo info{3, rate, channels, kbps, 0, 0, 0, 0};
    if (!lib.initWrite(path.c_str(), &info)) return false;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<std::int16_t> pcm(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
      for (std::uint32_t c = 0; c < channels; ++c) {
        pcm[i * channels + c] = static_cast<std::int16_t>(8000 * std::sin(2 * 3.14159265 * 440 * static_cast<double>(i) / rate));
      }
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
    const std::size_t size = pcm.size() * 2;
    for (std::size_t offset = 0; offset < size; offset += 8192) {
      const auto n = static_cast<std::int32_t>(std::min<std::size_t>(8192, size - offset));
      if (!lib.write(&info, bytes + offset, n)) return false;
    }
    return lib.closeWrite() == 1;
  }

  static Library lib;
  TempDir dir;
};

Library Talvex::lib;

std::string Command(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    pclose(pipe);
  }
  return output;
}

// One value of ffprobe's flat output, e.g. "stream.0.codec_name".
std::string FfprobeValue(const std::string& path, const std::string& entries, const std::string& key) {
  const std::string out = Command("ffprobe -v error -of flat=s=. -show_entries " + entries + " '" + path + "'");
  const std::string prefix = key + "=";
  for (std::size_t at = out.find(prefix); at != std::string::npos; at = out.find(prefix, at + 1)) {
    if (at != 0 && out[at - 1] != '\n') continue;
    std::string value = out.substr(at + prefix.size(), out.find('\n', at) - at - prefix.size());
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    return value;
  }
  return "";
}

std::uint64_t FfmpegPcmBytes(const std::string& path) {
  const std::string count = Command("ffmpeg -nostdin -v quiet -i '" + path + "' -f s16le -c:a pcm_s16le - | wc -c");
  return count.empty() ? 0 : std::stoull(count);
}

TEST_F(Talvex, ProbesRealFiles) {
  struct Case {
    const char* fixture;
    std::uint32_t rate, channels, kbps, durationMs;
  } const cases[] = {{"silence-1.wma", 48000, 2, 64, 3712}, {"lossless.wma", 44100, 2, 1152, 3549}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    TalvexAudioInfo info{0, 0, 0, 0, 7, 7, 7, 0};
    ASSERT_TRUE(lib.check(testing_support::RealFixture(c.fixture).c_str(), &info));
    EXPECT_EQ(info.kind, 3);
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.bitrate, c.kbps);
    EXPECT_EQ(info.durationMs, c.durationMs);
    EXPECT_EQ(info.reserved1 | info.reserved2 | info.reserved3, 0);
  }
  TalvexAudioInfo info{};
  EXPECT_FALSE(lib.check(dir.File("missing.wma").c_str(), &info));
  testing_support::WriteBytes(dir.File("noise.wma"), testing_support::Pcm16(4000));
  EXPECT_FALSE(lib.check(dir.File("noise.wma").c_str(), &info));
}

TEST_F(Talvex, ReadsEveryBlockOnceInOrder) {
  for (const char* fixture : {"silence-1.wma", "lossless.wma", "real_example.wma"}) {
    SCOPED_TRACE(fixture);
    const std::string path = testing_support::RealFixture(fixture);
    TalvexAudioInfo info{};
    const std::uint64_t ours = ReadAll(path, info);
    const std::uint64_t theirs = FfmpegPcmBytes(path);
    // Within one codec frame (at most 4096 samples per channel here).
    const std::uint64_t frame = 4096ull * info.channels * 2;
    EXPECT_LE(ours, theirs + frame);
    EXPECT_GE(ours + frame, theirs);
    if (theirs > 0) {
      EXPECT_GT(ours, 0u);  // real_example.wma holds a header and no audio
    }
  }
}

TEST_F(Talvex, TheLastBlockOutlivesItsReadUntilTheNextRead) {
  const std::string path = testing_support::RealFixture("silence-1.wma");
  TalvexAudioInfo info{};
  ASSERT_TRUE(lib.initRead(path.c_str(), &info, 0));
  std::uint8_t* block = nullptr;
  std::int32_t count = 0;
  ASSERT_TRUE(lib.read(&info, &block, &count));
  ASSERT_GT(count, 0);
  std::vector<std::uint8_t> copy(block, block + count);
  lib.closeRead(&info);
  lib.closeRead(&info);  // twice: harmless
  EXPECT_EQ(std::memcmp(block, copy.data(), copy.size()), 0);  // still readable after the close
  EXPECT_FALSE(lib.read(&info, &block, &count));               // nothing open
  EXPECT_EQ(block, nullptr);
}

TEST_F(Talvex, AStartPositionSkipsAudio) {
  const std::string path = testing_support::RealFixture("silence-1.wma");
  TalvexAudioInfo info{};
  const std::uint64_t whole = ReadAll(path, info);
  const std::uint64_t fromTwoSeconds = ReadAll(path, info, 2000);
  const double skipped = static_cast<double>(whole - fromTwoSeconds) / (48000.0 * 2 * 2);
  EXPECT_NEAR(skipped, 2.0, 0.1);
}

TEST_F(Talvex, PathsOfAtMost259UnitsAndRelativePaths) {
  // A path of exactly 259 and one of 260 characters naming the same kind of file.
  const std::string base = dir.path().string() + "/";
  const std::string ok = base + std::string(259 - base.size() - 4, 'a') + ".wma";
  const std::string tooLong = base + std::string(260 - base.size() - 4, 'b') + ".wma";
  ASSERT_EQ(ok.size(), 259u);
  ASSERT_EQ(tooLong.size(), 260u);
  fs::copy_file(testing_support::RealFixture("silence-1.wma"), ok);
  fs::copy_file(testing_support::RealFixture("silence-1.wma"), tooLong);
  TalvexAudioInfo info{};
  EXPECT_TRUE(lib.check(ok.c_str(), &info));
  EXPECT_FALSE(lib.check(tooLong.c_str(), &info));
  TalvexSongTags tags{};
  EXPECT_FALSE(lib.getTags(tooLong.c_str(), &info, &tags));
  MessageRecorder messages;
  EXPECT_FALSE(lib.initWrite((base + std::string(260 - base.size() - 4, 'c') + ".wma").c_str(), &info));

  const fs::path previous = fs::current_path();
  fs::current_path(dir.path());
  EXPECT_TRUE(lib.check(fs::path(ok).filename().c_str(), &info));
  fs::current_path(previous);
}

TEST_F(Talvex, WavToWmaToWavRoundTrip) {
  const std::string path = dir.File("tone.wma");
  ASSERT_TRUE(WriteTone(path, 44100, 2, 128, 3.0));
  EXPECT_EQ(FfprobeValue(path, "stream=codec_name", "streams.stream.0.codec_name"), "wmav2");
  EXPECT_EQ(FfprobeValue(path, "stream=sample_rate", "streams.stream.0.sample_rate"), "44100");
  EXPECT_EQ(FfprobeValue(path, "stream=channels", "streams.stream.0.channels"), "2");
  EXPECT_NEAR(std::stod(FfprobeValue(path, "format=duration", "format.duration")), 3.0, 0.05);

  TalvexAudioInfo info{};
  ASSERT_TRUE(lib.check(path.c_str(), &info));
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(info.channels, 2u);
  EXPECT_NEAR(info.durationMs, 3000, 50);
  const std::uint64_t bytes = ReadAll(path, info);
  EXPECT_NEAR(static_cast<double>(bytes) / 176400.0, 3.0, 0.05);
}

// WAV -> WMA -> WAV through the entry points, blocks of 8192 bytes as the
// program writes them. The old block times (each block's duration rounded
// and summed) ran ahead of the audio by a third of a unit per block at
// 48 kHz stereo and passed one sample period (208 units) at block 625, 26.7 s
// in, where the writer filled the "gap" with a zero sample. At 24 kHz and
// 11.025 kHz mono that point lies past 200 s, so those cases check only the
// frame count and the lag over a few seconds.
struct ContinuityCase {
  std::uint32_t rate, channels;
  double seconds;
};

class TalvexContinuity : public Talvex, public testing::WithParamInterface<ContinuityCase> {};

std::string ContinuityName(const testing::TestParamInfo<ContinuityCase>& param) {
  return std::to_string(param.param.rate) + "Hz_" + std::to_string(param.param.channels) + "ch";
}

// Three unrelated partials under a slow swell: no lag but the true one fits.
std::vector<std::int16_t> Partials(std::uint32_t rate, std::uint32_t channels, std::size_t frames) {
  std::vector<std::int16_t> pcm(frames * channels);
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double v = (0.6 + 0.3 * std::sin(2 * M_PI * 0.7 * t)) *
                     (0.5 * std::sin(2 * M_PI * 331 * t) + 0.3 * std::sin(2 * M_PI * 1187 * t + 1) +
                      0.2 * std::sin(2 * M_PI * 2713 * t + 2));
    for (std::uint32_t c = 0; c < channels; ++c) pcm[i * channels + c] = static_cast<std::int16_t>(std::lround(v * 16000));
  }
  return pcm;
}

// The lag (frames, channel 0) at which decoded[from + lag ...] best matches
// source[from ...] over `length` frames.
long WindowLag(const std::vector<std::int16_t>& source, const std::vector<std::int16_t>& decoded,
               std::uint32_t channels, std::size_t from, std::size_t length, long maxLag) {
  long best = 0;
  double bestScore = -1e300;
  const auto decodedFrames = static_cast<long>(decoded.size() / channels);
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    double score = 0, energy = 0;
    for (std::size_t i = from; i < from + length; ++i) {
      const long j = static_cast<long>(i) + lag;
      if (j < 0 || j >= decodedFrames) continue;
      const double d = decoded[static_cast<std::size_t>(j) * channels];
      score += source[i * channels] * d;
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

TEST_P(TalvexContinuity, DecodesToExactlyTheFramesWrittenWithASteadyLag) {
  const ContinuityCase c = GetParam();
  // The highest bit rate offered for the rate and channels.
  static std::int32_t bitrate;
  static ContinuityCase wanted;
  bitrate = 0;
  wanted = c;
  lib.enumFormats([](std::int32_t bps, std::int32_t channels, std::int32_t rate) {
    if (static_cast<std::uint32_t>(rate) == wanted.rate && static_cast<std::uint32_t>(channels) == wanted.channels) {
      bitrate = std::max(bitrate, bps);
    }
  });
  ASSERT_GT(bitrate, 0) << "no format offered at " << c.rate << " Hz, " << c.channels << " channels";

  const std::string path = dir.File("tone.wma");
  const auto frames = static_cast<std::size_t>(c.seconds * c.rate);
  const std::vector<std::int16_t> source = Partials(c.rate, c.channels, frames);
  TalvexAudioInfo info{3, c.rate, c.channels, static_cast<std::uint32_t>(bitrate / 1000), 0, 0, 0, 0};
  ASSERT_TRUE(lib.initWrite(path.c_str(), &info));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data());
  for (std::size_t offset = 0, size = source.size() * 2; offset < size; offset += 8192) {
    ASSERT_TRUE(lib.write(&info, bytes + offset, static_cast<std::int32_t>(std::min<std::size_t>(8192, size - offset))));
  }
  ASSERT_EQ(lib.closeWrite(), 1);

  TalvexAudioInfo read{};
  ASSERT_TRUE(lib.initRead(path.c_str(), &read, 0));
  std::vector<std::int16_t> decoded;
  std::uint8_t* block = nullptr;
  std::int32_t count = 0;
  while (lib.read(&read, &block, &count)) {
    const std::size_t at = decoded.size();
    decoded.resize(at + static_cast<std::size_t>(count) / 2);
    std::memcpy(decoded.data() + at, block, static_cast<std::size_t>(count / 2) * 2);
  }
  lib.closeRead(&read);
  EXPECT_EQ(decoded.size() / c.channels, frames) << "frames decoded against frames written";

  // One-second windows: an inserted or dropped sample moves the lag.
  std::vector<long> lags;
  for (std::size_t from = 0; from + c.rate <= frames; from += c.rate) {
    lags.push_back(WindowLag(source, decoded, c.channels, from, c.rate, 32));
  }
  ASSERT_FALSE(lags.empty());
  EXPECT_EQ(lags.front(), 0) << "the decoded audio starts on the first sample written";
  for (std::size_t w = 1; w < lags.size(); ++w) EXPECT_EQ(lags[w], lags.front()) << "second " << w;
}

INSTANTIATE_TEST_SUITE_P(Formats, TalvexContinuity,
                         testing::Values(ContinuityCase{44100, 2, 3.0}, ContinuityCase{48000, 2, 28.0},
                                         ContinuityCase{24000, 1, 3.0}, ContinuityCase{11025, 1, 3.0}),
                         ContinuityName);

// Tags make a short file's header grow by more than 5 %, after which FFmpeg
// no longer trusts the header's duration; the written length still holds.
TEST_F(Talvex, TagsWrittenIntoAShortFileKeepItsExactLength) {
  const std::string path = dir.File("short.wma");
  ASSERT_TRUE(WriteTone(path, 8000, 1, 24, 2.0));
  TalvexSongTags tags{};
  std::memset(tags.title, 'T', 255);
  std::memset(tags.author, 'A', 255);
  std::memset(tags.album, 'B', 255);
  TalvexAudioInfo info{};
  ASSERT_TRUE(lib.setTags(path.c_str(), &info, &tags));
  EXPECT_EQ(ReadAll(path, info), 2u * 8000 * 2);
  EXPECT_EQ(info.durationMs, 2000);
}

TEST_F(Talvex, EveryOfferedStereoOrMonoWma2FormatWrites) {
  struct Format {
    std::int32_t bitrate, channels, rate;
  };
  static std::vector<Format> formats;
  static std::thread::id callbackThread;
  formats.clear();
  lib.enumFormats([](std::int32_t bitrate, std::int32_t channels, std::int32_t rate) {
    formats.push_back({bitrate, channels, rate});
    callbackThread = std::this_thread::get_id();
  });
  ASSERT_FALSE(formats.empty());
  EXPECT_EQ(callbackThread, std::this_thread::get_id());
  // A sample of the list, one format per rate, so the test stays quick.
  std::map<std::int32_t, Format> byRate;
  for (const Format& f : formats) byRate.emplace(f.rate, f);
  for (const auto& [rate, f] : byRate) {
    SCOPED_TRACE(testing::Message() << f.bitrate << " " << f.channels << " " << f.rate);
    const std::string path = dir.File("f" + std::to_string(rate) + ".wma");
    ASSERT_TRUE(WriteTone(path, static_cast<std::uint32_t>(f.rate), static_cast<std::uint32_t>(f.channels),
                          static_cast<std::uint32_t>(f.bitrate / 1000), 0.5));
    EXPECT_EQ(FfprobeValue(path, "stream=sample_rate", "streams.stream.0.sample_rate"), std::to_string(rate));
  }
}

TEST_F(Talvex, WriteFailuresShowTheirNumberedMessages) {
  MessageRecorder messages;
  TalvexAudioInfo info{3, 44100, 2, 1, 0, 0, 0, 0};  // 1 kbit/s is never offered
  EXPECT_FALSE(lib.initWrite(dir.File("a.wma").c_str(), &info));
  info.bitrate = 128;
  EXPECT_FALSE(lib.initWrite(dir.File("missing/dir/a.wma").c_str(), &info));
  // Nothing open: refused without a message.
  const std::uint8_t pcm[4] = {};
  EXPECT_FALSE(lib.write(&info, pcm, 4));
  EXPECT_EQ(lib.closeWrite(), 0);
  // A second write before the close is refused; the first still finishes.
  ASSERT_TRUE(lib.initWrite(dir.File("first.wma").c_str(), &info));
  EXPECT_FALSE(lib.initWrite(dir.File("second.wma").c_str(), &info));
  EXPECT_TRUE(lib.write(&info, pcm, 4));
  EXPECT_EQ(lib.closeWrite(), 1);
  EXPECT_FALSE(fs::exists(dir.File("second.wma")));
  EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Create WMA format Error - 0008",
                                                        "Create WMA format Error - 0010",
                                                        "Create WMA format Error - 0003"}));
  for (const auto& message : messages.messages) EXPECT_EQ(message.caption, "Error");
}

TEST_F(Talvex, CloseReturnsWhileTheRuntimeWaitsOnAFullQueue) {
  const std::string path = testing_support::RealFixture("lossless.wma");
  for (int round = 0; round < 3; ++round) {
    TalvexAudioInfo info{};
    ASSERT_TRUE(lib.initRead(path.c_str(), &info, 0));
    std::uint8_t* block = nullptr;
    std::int32_t count = 0;
    ASSERT_TRUE(lib.read(&info, &block, &count));
    // Give the runtime time to fill the queue and block; the consumer stopped early.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    lib.closeRead(&info);  // must return: a hang here fails the test by its timeout
  }
}

TEST_F(Talvex, TagsWrittenReadBackForWmaAndMp3) {
  for (const char* fixture : {"silence-1.wma", "xing.mp3"}) {
    SCOPED_TRACE(fixture);
    const std::string path = Copy(fixture, std::string("tagged") + fs::path(fixture).extension().string());
    TalvexSongTags tags{};
    std::memset(tags.title, 'T', 255);
    std::strcpy(tags.author, "Ren\xC3\xA9 Author");
    std::strcpy(tags.album, "Album");
    std::strcpy(tags.year, "1999");
    std::strcpy(tags.track, "7");
    TalvexAudioInfo info{};
    ASSERT_TRUE(lib.setTags(path.c_str(), &info, &tags));
    TalvexSongTags back{};
    ASSERT_TRUE(lib.getTags(path.c_str(), &info, &back));
    EXPECT_EQ(std::memcmp(&tags, &back, sizeof tags), 0);
    EXPECT_EQ(FfprobeValue(path, "format_tags=album", "format.tags.album"), "Album");
  }
}

TEST_F(Talvex, TagsOtherProgramsWroteAndTheRecordsBounds) {
  // The record sits between guard bytes that must stay untouched.
  struct Guarded {
    std::uint8_t before[64];
    TalvexSongTags tags;
    std::uint8_t after[64];
  } guarded;
  std::memset(&guarded, 0xA5, sizeof guarded);
  std::memset(&guarded.tags, 0, sizeof guarded.tags);
  TalvexAudioInfo info{};
  ASSERT_TRUE(lib.getTags(testing_support::RealFixture("real_example.wma").c_str(), &info, &guarded.tags));
  EXPECT_STREQ(guarded.tags.title, "Wake Up, Get Up, Get Out There");
  EXPECT_STREQ(guarded.tags.author, "Shoji Meguro");
  EXPECT_STREQ(guarded.tags.album, "Persona 5: Sounds of Rebellion");
  for (std::uint8_t byte : guarded.before) EXPECT_EQ(byte, 0xA5);
  for (std::uint8_t byte : guarded.after) EXPECT_EQ(byte, 0xA5);

  // A file with none of the attributes reads as an empty record.
  TalvexSongTags none{};
  ASSERT_TRUE(lib.getTags(testing_support::RealFixture("lossless.wma").c_str(), &info, &none));
  EXPECT_EQ(none.title[0] | none.author[0] | none.album[0] | none.year[0] | none.track[0], 0);
  EXPECT_FALSE(lib.getTags(dir.File("missing.mp3").c_str(), &info, &none));
}

TEST_F(Talvex, AGroupEditNeverShortensALongStoredTitle) {
  const std::string path = Copy("silence-1.wma", "long.wma");
  // Another program stored a title longer than the field.
  const std::string longTitle(400, 'L');
  TalvexSongTags tags{};
  TalvexAudioInfo info{};
  std::strcpy(tags.title, "short");
  ASSERT_TRUE(lib.setTags(path.c_str(), &info, &tags));
  const std::string tagged = dir.File("long-tagged.wma");
  Command("ffmpeg -nostdin -v quiet -i '" + path + "' -c copy -metadata title=" + longTitle + " '" + tagged + "'");
  ASSERT_TRUE(fs::exists(tagged));

  TalvexSongTags read{};
  ASSERT_TRUE(lib.getTags(tagged.c_str(), &info, &read));
  EXPECT_EQ(std::string(read.title), std::string(255, 'L'));  // cut to the field, not emptied
  std::strcpy(read.year, "2024");
  ASSERT_TRUE(lib.setTags(tagged.c_str(), &info, &read));
  EXPECT_EQ(FfprobeValue(tagged, "format_tags=title", "format.tags.title"), longTitle);
  EXPECT_EQ(FfprobeValue(tagged, "format_tags=WM/Year", "format.tags.WM_Year"), "2024");
}

TEST_F(Talvex, HugeTagsAndControlCharactersStayWithinTheRecord) {
  const std::string source = Copy("xing.mp3", "plain.mp3");
  const std::string tagged = dir.File("huge.mp3");
  const std::string huge(10000, 'H');
  Command("ffmpeg -nostdin -v quiet -i '" + source + "' -c copy -metadata title=" + huge +
          " -metadata artist=\"$(printf 'a\\tb\\001c')\" '" + tagged + "'");
  ASSERT_TRUE(fs::exists(tagged));
  TalvexSongTags tags{};
  TalvexAudioInfo info{};
  ASSERT_TRUE(lib.getTags(tagged.c_str(), &info, &tags));
  EXPECT_EQ(std::string(tags.title), std::string(255, 'H'));
  EXPECT_STREQ(tags.author, "a\tb\001c");
  EXPECT_EQ(tags.title[255], '\0');
}

TEST_F(Talvex, ProtectedFilesPostTheNoticeAndDoNotOpen) {
  std::vector<int> posted;
  std::mutex mutex;
  zplatform::WindowRegistration window("TfmConvertor", [&](int message, std::intptr_t, std::intptr_t) {
    std::lock_guard lock(mutex);
    posted.push_back(message);
  });
  const std::string locked = dir.File("locked.wma");
  testing_support::WriteBytes(
      locked, testing_support::WithContentEncryption(testing_support::ReadBytes(testing_support::RealFixture("silence-1.wma"))));
  TalvexAudioInfo info{};
  EXPECT_FALSE(lib.check(locked.c_str(), &info));
  EXPECT_FALSE(lib.initRead(locked.c_str(), &info, 0));
  lib.closeRead(&info);
  std::lock_guard lock(mutex);
  EXPECT_EQ(posted, (std::vector<int>{1224, 1224}));
}

// The decoded audio of a file, as a checksum; "" when it does not decode.
std::string AudioChecksum(const std::string& path) {
  return Command("ffmpeg -nostdin -v quiet -i '" + path + "' -map 0:a -f md5 - 2>/dev/null");
}

TEST_F(Talvex, AKillDuringATagWriteLeavesTheFileWholeBeforeOrAfter) {
  // Big enough that a rewrite moves a lot of audio, and tags that alternate
  // in size, so every write moves it.
  const std::string original = dir.File("original.mp3");
  Command("ffmpeg -nostdin -v quiet -f lavfi -i sine=frequency=440:duration=60 -ac 2 -b:a 192k '" + original + "'");
  ASSERT_TRUE(fs::exists(original));
  const std::string audio = AudioChecksum(original);
  ASSERT_FALSE(audio.empty());
  TalvexSongTags longTags{};
  std::memset(longTags.title, 'K', 255);
  std::memset(longTags.album, 'A', 255);
  TalvexSongTags shortTags{};
  std::strcpy(shortTags.title, "k");
  TalvexAudioInfo info{};

  for (int round = 0; round < 10; ++round) {
    const std::string victim = dir.File("victim" + std::to_string(round) + ".mp3");
    fs::copy_file(original, victim);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        lib.setTags(victim.c_str(), &info, &longTags);
        lib.setTags(victim.c_str(), &info, &shortTags);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + 7 * round));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    SCOPED_TRACE(round);
    TalvexSongTags read{};
    ASSERT_TRUE(lib.getTags(victim.c_str(), &info, &read));
    const std::string title = read.title;
    EXPECT_TRUE(title.empty() || title == "k" || title == std::string(255, 'K')) << title.substr(0, 20);
    EXPECT_EQ(AudioChecksum(victim), audio);
  }
}

}  // namespace
