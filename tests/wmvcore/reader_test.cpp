#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include <future>
#include <thread>

#include "recording_callback.h"
#include "support/test_support.h"
#include "zplatform/diagnostics.h"
#include "wmv_test_util.h"

namespace {

using namespace wmvcore;
using testing_support::RealFixture;
using testing_support::TempDir;
using wmvtest::Event;
using wmvtest::RecordingCallback;

constexpr std::uint32_t kRate = 44100;
constexpr int kChannels = 2;

// A few seconds of tone written by our writer, in the test's own directory.
class ReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("tone.wma");
    source_ = wmvtest::Tone(kRate, kChannels, 4410, kRate * 3);
    ASSERT_EQ(wmvtest::WriteWma(path_, kRate, kChannels, 128000, source_), S_OK);
    ASSERT_EQ(WMCreateReader(0, &reader_), S_OK);
    callback_.clock = reader_->QueryAdvanced();
  }
  void TearDown() override {
    if (Succeeded(reader_->Close())) {
      EXPECT_TRUE(callback_.WaitForStatus(WMT_CLOSED));
    }
  }

  void OpenAndStart(QWORD start = 0) {
    ASSERT_EQ(reader_->Open(wmvtest::U16(path_), &callback_, nullptr), S_OK);
    ASSERT_TRUE(callback_.WaitForStatus(WMT_OPENED));
    ASSERT_EQ(callback_.events().front().hr, S_OK);
    ASSERT_EQ(reader_->QueryAdvanced()->SetUserProvidedClock(true), S_OK);
    ASSERT_EQ(reader_->Start(start, 0, 1.0f, nullptr), S_OK);
  }

  TempDir dir_;
  std::string path_;
  std::vector<std::int16_t> source_;
  std::shared_ptr<IWMReader> reader_;
  RecordingCallback callback_;
};

std::vector<Event> Samples(const std::vector<Event>& events) {
  std::vector<Event> out;
  for (const Event& e : events) {
    if (e.kind == Event::Sample) out.push_back(e);
  }
  return out;
}

TEST_F(ReaderTest, ReportsStatusesInOrderAndNeverDeliversPastTheGrantedClock) {
  OpenAndStart();
  ASSERT_TRUE(callback_.WaitForStatus(WMT_EOF));
  ASSERT_EQ(reader_->Close(), S_OK);
  ASSERT_TRUE(callback_.WaitForStatus(WMT_CLOSED));
  const auto events = callback_.events();

  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events.front().status, WMT_OPENED);
  EXPECT_EQ(events[1].status, WMT_STARTED);
  EXPECT_EQ(events[events.size() - 2].status, WMT_EOF);
  EXPECT_EQ(events.back().status, WMT_CLOSED);

  QWORD expectedTime = 0;
  QWORD lastRequest = 0;
  std::size_t bytes = 0;
  bool sawTimeRequest = false;
  for (std::size_t i = 2; i + 2 < events.size(); ++i) {
    const Event& e = events[i];
    if (e.kind == Event::Sample) {
      EXPECT_EQ(e.output, 0u);
      EXPECT_EQ(e.time, expectedTime) << "samples follow each other without gap or overlap";
      EXPECT_LT(e.time, e.granted) << "a sample starting at or past the granted time";
      EXPECT_GE(e.time, lastRequest) << "a sample from before a clock request came after it";
      expectedTime = e.time + e.duration;
      bytes += e.bytes;
    } else {
      ASSERT_EQ(e.kind, Event::Time) << "only samples and clock requests between start and end";
      sawTimeRequest = true;
      EXPECT_LE(e.time, expectedTime) << "asked for time before delivering what it had";
      EXPECT_GT(e.time, lastRequest);
      lastRequest = e.time;
      // Everything before the requested time is out; the next sample starts at or after it.
      const auto next = std::find_if(events.begin() + static_cast<long>(i) + 1, events.end(),
                                     [](const Event& x) { return x.kind == Event::Sample; });
      if (next != events.end()) {
        EXPECT_GE(next->time, e.time);
      }
    }
  }
  EXPECT_TRUE(sawTimeRequest);
  EXPECT_EQ(bytes % (2 * kChannels), 0u);
  EXPECT_GE(bytes / 2, source_.size());
}

TEST_F(ReaderTest, DeliversNothingUntilTimeIsGrantedAndAsksOnceItHasDeliveredUpToIt) {
  callback_.grantOnStarted = false;
  callback_.grantOnTime = false;
  OpenAndStart();
  ASSERT_TRUE(callback_.WaitForEvent([](const Event& e) { return e.kind == Event::Time; }));
  EXPECT_TRUE(Samples(callback_.events()).empty());

  const QWORD half = kUnitsPerSecond / 2;
  callback_.Grant(half);
  ASSERT_TRUE(callback_.WaitForEvent(
      [&](const Event& e) { return e.kind == Event::Time && e.time == half; }));
  const auto samples = Samples(callback_.events());
  ASSERT_FALSE(samples.empty());
  for (const Event& s : samples) EXPECT_LT(s.time, half);
  EXPECT_GE(samples.back().time + samples.back().duration, half);
}

TEST_F(ReaderTest, StartsAtTheGivenPositionInHundredNanosecondUnits) {
  const QWORD start = 15'000'000;  // 1.5 s
  OpenAndStart(start);
  ASSERT_TRUE(callback_.WaitForStatus(WMT_EOF));
  const auto samples = Samples(callback_.events());
  ASSERT_FALSE(samples.empty());
  EXPECT_EQ(samples.front().time, start);
  const std::size_t skip = kRate * 3 / 2 * kChannels;
  const std::vector<std::int16_t> rest(source_.begin() + static_cast<long>(skip), source_.end());
  EXPECT_LE(std::labs(wmvtest::BestLag(rest, callback_.pcm(), kChannels, 2048)), 2);
}

TEST_F(ReaderTest, CloseReturnsWhileTheCallbackIsBlockedInOnSample) {
  callback_.HoldSamples();
  OpenAndStart();
  ASSERT_TRUE(callback_.WaitUntilHeld());
  auto closing = std::async(std::launch::async, [&] { return reader_->Close(); });
  ASSERT_EQ(closing.wait_for(wmvtest::kHangGuard), std::future_status::ready);
  EXPECT_EQ(closing.get(), S_OK);
  callback_.ReleaseSamples();
  ASSERT_TRUE(callback_.WaitForStatus(WMT_CLOSED));
  const auto events = callback_.events();
  EXPECT_EQ(events.back().status, WMT_CLOSED);
  EXPECT_EQ(Samples(events).size(), 1u) << "no sample after the close was asked for";
  EXPECT_EQ(reader_->Close(), NS_E_INVALID_REQUEST);
}

enum class CloseWhen { RightAfterOpen, AfterOpened, WaitingForClock, AfterEof, AfterFailedOpen };

class CloseFromAnyState : public ReaderTest, public testing::WithParamInterface<CloseWhen> {};

TEST_P(CloseFromAnyState, EndsWithExactlyOneClosed) {
  const CloseWhen when = GetParam();
  const std::string path = when == CloseWhen::AfterFailedOpen ? dir_.File("missing.wma") : path_;
  ASSERT_EQ(reader_->Open(wmvtest::U16(path), &callback_, nullptr), S_OK);
  if (when != CloseWhen::RightAfterOpen) {
    ASSERT_TRUE(callback_.WaitForStatus(WMT_OPENED));
  }
  if (when == CloseWhen::WaitingForClock || when == CloseWhen::AfterEof) {
    callback_.grantOnStarted = when == CloseWhen::AfterEof;
    reader_->QueryAdvanced()->SetUserProvidedClock(true);
    ASSERT_EQ(reader_->Start(0, 0, 1.0f, nullptr), S_OK);
    ASSERT_TRUE(when == CloseWhen::AfterEof
                    ? callback_.WaitForStatus(WMT_EOF)
                    : callback_.WaitForEvent([](const Event& e) { return e.kind == Event::Time; }));
  }
  ASSERT_EQ(reader_->Close(), S_OK);
  ASSERT_TRUE(callback_.WaitForStatus(WMT_CLOSED));
  const auto events = callback_.events();
  EXPECT_EQ(events.front().status, WMT_OPENED);
  EXPECT_EQ(events.back().status, WMT_CLOSED);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const Event& e) { return e.kind == Event::Status && e.status == WMT_CLOSED; }),
            1);
  if (when == CloseWhen::AfterFailedOpen) {
    EXPECT_EQ(events.front().hr, E_FILE_NOT_FOUND);
    EXPECT_EQ(reader_->Start(0, 0, 1.0f, nullptr), NS_E_INVALID_REQUEST);
  }
  EXPECT_EQ(reader_->Close(), NS_E_INVALID_REQUEST);
}

INSTANTIATE_TEST_SUITE_P(States, CloseFromAnyState,
                         testing::Values(CloseWhen::RightAfterOpen, CloseWhen::AfterOpened,
                                         CloseWhen::WaitingForClock, CloseWhen::AfterEof,
                                         CloseWhen::AfterFailedOpen));

TEST(Reader, CloseWithoutOpenIsAnInvalidRequest) {
  std::shared_ptr<IWMReader> reader;
  ASSERT_EQ(WMCreateReader(0, &reader), S_OK);
  EXPECT_EQ(reader->Close(), NS_E_INVALID_REQUEST);
  DWORD outputs = 0;
  EXPECT_EQ(reader->GetOutputCount(&outputs), NS_E_INVALID_REQUEST);
  WORD count = 0;
  EXPECT_EQ(reader->QueryHeaderInfo()->GetAttributeCount(0, &count), NS_E_INVALID_REQUEST);
}

TEST_F(ReaderTest, ProtectedContentReportsNoRightsAndFailsToOpen) {
  const std::string locked = dir_.File("locked.wma");
  testing_support::WriteBytes(locked, testing_support::WithContentEncryption(testing_support::ReadBytes(path_)));

  std::shared_ptr<IWMReader> reader;
  ASSERT_EQ(WMCreateReader(0, &reader), S_OK);
  RecordingCallback callback;
  ASSERT_EQ(reader->Open(wmvtest::U16(locked), &callback, nullptr), S_OK);
  ASSERT_TRUE(callback.WaitForStatus(WMT_OPENED));
  auto events = callback.events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].status, WMT_NO_RIGHTS);
  EXPECT_EQ(events[1].status, WMT_OPENED);
  EXPECT_EQ(events[1].hr, NS_E_PROTECTED_CONTENT);
  ASSERT_EQ(reader->Close(), S_OK);
  ASSERT_TRUE(callback.WaitForStatus(WMT_CLOSED));

  // The same file without the object plays: the refusal is the object's doing.
  const auto plain = wmvtest::ReadWithReader(path_);
  EXPECT_EQ(plain.openStatus, S_OK);
  EXPECT_FALSE(plain.pcm.empty());
}

struct OutputCase {
  const char* fixture;  // real fixture name, or "" for a generated mono file
  std::uint32_t rate;
  int channels;
};

class OutputFormat : public testing::TestWithParam<OutputCase> {};

TEST_P(OutputFormat, IsSixteenBitPcmAtTheStreamsOwnRateAndChannels) {
  const OutputCase c = GetParam();
  TempDir dir;
  std::string path;
  if (*c.fixture) {
    path = RealFixture(c.fixture);
  } else {
    path = dir.File("mono.wma");
    ASSERT_EQ(wmvtest::WriteWma(path, c.rate, c.channels, 32000, wmvtest::Tone(c.rate, c.channels, 0, 4000)), S_OK);
  }
  std::shared_ptr<IWMReader> reader;
  ASSERT_EQ(WMCreateReader(0, &reader), S_OK);
  RecordingCallback callback;
  ASSERT_EQ(reader->Open(wmvtest::U16(path), &callback, nullptr), S_OK);
  ASSERT_TRUE(callback.WaitForStatus(WMT_OPENED));
  ASSERT_EQ(callback.events().front().hr, S_OK);
  DWORD outputs = 0;
  ASSERT_EQ(reader->GetOutputCount(&outputs), S_OK);
  EXPECT_EQ(outputs, 1u);
  std::shared_ptr<IWMOutputMediaProps> props;
  ASSERT_EQ(reader->GetOutputProps(0, &props), S_OK);
  DWORD size = 0;
  ASSERT_EQ(props->GetMediaType(nullptr, &size), S_OK);
  std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
  ASSERT_EQ(props->GetMediaType(type, &size), S_OK);
  EXPECT_EQ(type->majortype, WMMEDIATYPE_Audio);
  EXPECT_EQ(type->formattype, WMFORMAT_WaveFormatEx);
  ASSERT_GE(type->cbFormat, sizeof(WAVEFORMATEX));
  WAVEFORMATEX wave;
  std::memcpy(&wave, type->pbFormat, sizeof wave);
  EXPECT_EQ(wave.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(wave.nSamplesPerSec, c.rate);
  EXPECT_EQ(wave.nChannels, c.channels);
  EXPECT_EQ(wave.wBitsPerSample, 16);
  EXPECT_EQ(wave.nBlockAlign, 2 * c.channels);
  EXPECT_EQ(wave.nAvgBytesPerSec, c.rate * 2 * static_cast<DWORD>(c.channels));
  ASSERT_EQ(reader->Close(), S_OK);
  ASSERT_TRUE(callback.WaitForStatus(WMT_CLOSED));
}

INSTANTIATE_TEST_SUITE_P(Files, OutputFormat,
                         testing::Values(OutputCase{"silence-1.wma", 48000, 2},
                                         OutputCase{"real_example.wma", 44100, 2},
                                         OutputCase{"lossless.wma", 44100, 2},
                                         OutputCase{"", 22050, 1}));

// What the reader decodes from real files matches the ffmpeg program's
// reading of them: same length, and for lossless audio the same samples.
TEST(ReaderRealFiles, DecodeAsFfmpegDoes) {
  const auto silence = wmvtest::ReadWithReader(RealFixture("silence-1.wma"));
  EXPECT_EQ(silence.pcm.size(), wmvtest::FfmpegDecode(RealFixture("silence-1.wma")).size());
  EXPECT_EQ(silence.pcm.size(), std::size_t{178176} * 2);  // 3.712 s at 48000 Hz

  const auto lossless = wmvtest::ReadWithReader(RealFixture("lossless.wma"));
  EXPECT_EQ(lossless.pcm, wmvtest::FfmpegDecode(RealFixture("lossless.wma")));
  EXPECT_FALSE(lossless.pcm.empty());

  // Cut short before its first data packet: opens, then ends at once.
  const auto cut = wmvtest::ReadWithReader(RealFixture("real_example.wma"));
  EXPECT_EQ(cut.openStatus, S_OK);
  EXPECT_TRUE(cut.pcm.empty());
  EXPECT_TRUE(std::any_of(cut.events.begin(), cut.events.end(),
                          [](const Event& e) { return e.kind == Event::Status && e.status == WMT_EOF; }));
}

struct Attr {
  WMT_ATTR_DATATYPE type;
  std::vector<BYTE> value;
};

std::map<std::u16string, Attr> HeaderOf(const std::string& path) {
  std::shared_ptr<IWMReader> reader;
  EXPECT_EQ(WMCreateReader(0, &reader), S_OK);
  RecordingCallback callback;
  EXPECT_EQ(reader->Open(wmvtest::U16(path), &callback, nullptr), S_OK);
  EXPECT_TRUE(callback.WaitForStatus(WMT_OPENED));
  IWMHeaderInfo* header = reader->QueryHeaderInfo();
  WORD count = 0;
  EXPECT_EQ(header->GetAttributeCount(0, &count), S_OK);
  std::map<std::u16string, Attr> out;
  for (WORD i = 0; i < count; ++i) {
    WORD stream = 0, nameLength = 0, length = 0;
    WMT_ATTR_DATATYPE type{};
    EXPECT_EQ(header->GetAttributeByIndex(i, &stream, nullptr, &nameLength, &type, nullptr, &length), S_OK);
    std::u16string name(nameLength, u'\0');
    Attr a{type, std::vector<BYTE>(length)};
    WORD tooSmall = length ? static_cast<WORD>(length - 1) : 0;
    if (length) {
      EXPECT_EQ(header->GetAttributeByIndex(i, &stream, name.data(), &nameLength, &type, a.value.data(), &tooSmall),
                ASF_E_BUFFERTOOSMALL);
    }
    EXPECT_EQ(header->GetAttributeByIndex(i, &stream, name.data(), &nameLength, &type, a.value.data(), &length), S_OK);
    name.resize(nameLength - 1u);
    out.emplace(name, a);
  }
  EXPECT_EQ(reader->Close(), S_OK);
  EXPECT_TRUE(callback.WaitForStatus(WMT_CLOSED));
  return out;
}

std::uint64_t Number(const Attr& a) {
  std::uint64_t v = 0;
  for (std::size_t i = a.value.size(); i-- > 0;) v = (v << 8) | a.value[i];
  return v;
}

std::u16string Text(const Attr& a) {
  std::u16string t;
  for (std::size_t i = 0; i + 1 < a.value.size(); i += 2) {
    const char16_t u = static_cast<char16_t>(a.value[i] | (a.value[i + 1] << 8));
    if (!u) break;
    t.push_back(u);
  }
  return t;
}

TEST(ReaderHeader, StatesDurationBitRateAndTheFilesOwnAttributesWithTheirTypes) {
  const std::string silence = RealFixture("silence-1.wma");
  auto probe = wmvtest::Probe(silence);
  auto header = HeaderOf(silence);
  ASSERT_TRUE(header.count(u"Duration"));
  EXPECT_EQ(header[u"Duration"].type, WMT_TYPE_QWORD);
  EXPECT_NEAR(static_cast<double>(Number(header[u"Duration"])), std::stod(probe["format.duration"]) * 1e7, 1e4);
  ASSERT_TRUE(header.count(u"Bitrate"));
  EXPECT_EQ(header[u"Bitrate"].type, WMT_TYPE_DWORD);
  EXPECT_EQ(Number(header[u"Bitrate"]), std::stoull(probe["stream.bit_rate"]));
  EXPECT_EQ(header[u"Title"].type, WMT_TYPE_STRING);
  EXPECT_EQ(Text(header[u"Title"]), u"test");

  auto real = HeaderOf(RealFixture("real_example.wma"));
  EXPECT_FALSE(real.count(u"Duration")) << "a file cut short states no usable duration";
  EXPECT_EQ(Text(real[u"Author"]), u"Shoji Meguro");
  EXPECT_EQ(Text(real[u"WM/AlbumTitle"]), u"Persona 5: Sounds of Rebellion");
  const std::pair<const char16_t*, WMT_ATTR_DATATYPE> types[] = {
      {u"PeakValue", WMT_TYPE_DWORD},           {u"IsVBR", WMT_TYPE_BOOL},
      {u"WM/EncodingTime", WMT_TYPE_QWORD},     {u"WM/MCDI", WMT_TYPE_BINARY},
      {u"WM/MediaClassPrimaryID", WMT_TYPE_GUID}, {u"WM/TrackNumber", WMT_TYPE_STRING},
  };
  for (const auto& [name, type] : types) {
    ASSERT_TRUE(real.count(name));
    EXPECT_EQ(real[name].type, type);
  }
  EXPECT_EQ(Number(real[u"PeakValue"]), 32673u);
  EXPECT_EQ(real[u"WM/MediaClassPrimaryID"].value.size(), 16u);
}

}  // namespace

namespace {

// FFmpeg and TagLib talk about broken input; none of it may reach the
// terminal. It goes to the trace output instead.
TEST(ReaderDiagnostics, DamagedFilesLeaveNoStrayOutput) {
  std::vector<std::string> traced;
  std::mutex tracedMutex;
  zplatform::SetTraceSink([&](std::string_view line) {
    std::lock_guard lock(tracedMutex);
    traced.emplace_back(line);
  });
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  for (const char* fixture : {"invalid-frames1.mp3", "garbage.mp3", "real_example.wma"}) {
    wmvtest::ReadWithReader(testing_support::RealFixture(fixture));
  }
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  zplatform::SetTraceSink({});
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
  std::lock_guard lock(tracedMutex);
  EXPECT_TRUE(std::any_of(traced.begin(), traced.end(),
                          [](const std::string& l) { return l.rfind("ffmpeg: ", 0) == 0; }));
}

}  // namespace

namespace {

// FFmpeg would wait on a FIFO's open for good and read a device without
// end: neither reaches it. Nothing opens the FIFO's other end.
TEST(ReaderInputs, AFifoOrADeviceIsRefusedAtOpen) {
  testing_support::TempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe.wma").c_str(), 0644), 0);
  std::filesystem::create_symlink("/dev/zero", dir.File("zero.wma"));
  for (const char* name : {"pipe.wma", "zero.wma"}) {
    SCOPED_TRACE(name);
    const auto result = wmvtest::ReadWithReader(dir.File(name));
    EXPECT_EQ(result.openStatus, NS_E_UNRECOGNIZED_STREAM_TYPE);
    EXPECT_TRUE(result.pcm.empty());
  }
  EXPECT_EQ(wmvtest::ReadWithReader(dir.File("missing.wma")).openStatus, E_FILE_NOT_FOUND);
}

}  // namespace
