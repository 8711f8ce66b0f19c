#include "wmvcore/reader.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "asf_duration.h"
#include "asf_protection.h"
#include "ffmpeg_support.h"
#include "header_store.h"
#include "media_type.h"
#include "tag_io.h"
#include "zplatform/diagnostics.h"
#include "zplatform/input_file.h"
#include "zplatform/text.h"

namespace wmvcore {
namespace {

using detail::Attribute;
using detail::HresultFromAverror;

// An ASF file whose exact duration cannot be read is known to FFmpeg only
// in milliseconds, which can fall up to a millisecond short of its last
// sample; decoding keeps this much past it so that no written sample is cut.
constexpr QWORD kDurationSlack = 2 * kUnitsPerSecond / 1000;

// The open file as the worker decodes it; only the worker touches it.
struct Source {
  detail::InputFormatPtr format;
  detail::CodecContextPtr codec;
  detail::SwrPtr convert;
  AVSampleFormat convertFrom = AV_SAMPLE_FMT_NONE;
  int stream = -1;
  DWORD output = 0;  // output number of the decoded stream
  DWORD rate = 0;
  WORD channels = 0;
  std::optional<std::uint64_t> endSample;  // stated end of the stream
};

class Reader final : public IWMReader, public IWMReaderAdvanced {
 public:
  ~Reader() override {
    {
      std::lock_guard lock(mutex_);
      closeRequested_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) {
      // Destroyed from its own callback (after WMT_CLOSED): the worker does
      // nothing more once that call returns.
      if (worker_.get_id() == std::this_thread::get_id()) {
        worker_.detach();
      } else {
        worker_.join();
      }
    }
  }

  HRESULT Open(std::u16string_view path, IWMReaderCallback* callback, void* context) override {
    if (!callback || path.empty()) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    if (opened_) return NS_E_INVALID_REQUEST;
    opened_ = true;
    callback_ = callback;
    openContext_ = context;
    worker_ = std::thread(&Reader::Run, this, zplatform::PathFromUtf16(path));
    return S_OK;
  }

  HRESULT Close() override {
    {
      std::lock_guard lock(mutex_);
      if (!opened_ || closeRequested_) return NS_E_INVALID_REQUEST;
      closeRequested_ = true;
      fileOpen_ = false;
    }
    wake_.notify_all();
    return S_OK;
  }

  HRESULT GetOutputCount(DWORD* outputs) override {
    if (!outputs) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!fileOpen_) return NS_E_INVALID_REQUEST;
    *outputs = static_cast<DWORD>(outputTypes_.size());
    return S_OK;
  }

  HRESULT GetOutputProps(DWORD outputNumber, std::shared_ptr<IWMOutputMediaProps>* props) override {
    if (!props) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!fileOpen_) return NS_E_INVALID_REQUEST;
    if (outputNumber >= outputTypes_.size()) return E_INVALIDARG;
    *props = std::make_shared<detail::FixedMediaProps>(outputTypes_[outputNumber]);
    return S_OK;
  }

  HRESULT Start(QWORD start, QWORD duration, float rate, void* context) override {
    if (rate != 1.0f) return E_INVALIDARG;
    {
      std::lock_guard lock(mutex_);
      if (!fileOpen_) return NS_E_INVALID_REQUEST;
      ++generation_;
      startPending_ = true;
      stopPending_ = false;
      startTime_ = start;
      duration_ = duration;
      startContext_ = context;
      granted_ = 0;
      timeRequested_ = false;
    }
    wake_.notify_all();
    return S_OK;
  }

  HRESULT Stop() override {
    {
      std::lock_guard lock(mutex_);
      if (!fileOpen_) return NS_E_INVALID_REQUEST;
      ++generation_;
      startPending_ = false;
      stopPending_ = true;
    }
    wake_.notify_all();
    return S_OK;
  }

  IWMReaderAdvanced* QueryAdvanced() override { return this; }
  IWMHeaderInfo* QueryHeaderInfo() override { return &header_; }

  HRESULT SetUserProvidedClock(bool userClock) override {
    {
      std::lock_guard lock(mutex_);
      userClock_ = userClock;
    }
    wake_.notify_all();
    return S_OK;
  }

  HRESULT GetUserProvidedClock(bool* userClock) override {
    if (!userClock) return E_POINTER;
    std::lock_guard lock(mutex_);
    *userClock = userClock_;
    return S_OK;
  }

  HRESULT DeliverTime(QWORD time) override {
    {
      std::lock_guard lock(mutex_);
      if (time <= granted_) return S_OK;
      granted_ = time;
      timeRequested_ = false;
    }
    wake_.notify_all();
    return S_OK;
  }

 private:
  struct Session {
    std::uint64_t generation;
    QWORD start;
    QWORD duration;
    void* context;
  };

  // The worker: open, then serve Start and Stop until Close. WMT_CLOSED is
  // its very last act.
  void Run(std::string path) {
    IWMReaderCallback* callback = callback_;
    void* openContext = openContext_;
    IWMReaderCallbackAdvanced* advanced = callback->QueryAdvanced();

    std::optional<Source> source;
    const HRESULT opened = OpenSource(path, callback, openContext, &source);
    callback->OnStatus(WMT_OPENED, opened, WMT_TYPE_DWORD, nullptr, openContext);

    bool firstSession = true;
    for (;;) {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return closeRequested_ || startPending_ || stopPending_; });
      if (closeRequested_) break;
      if (stopPending_) {
        stopPending_ = false;
        void* context = startContext_;
        lock.unlock();
        callback->OnStatus(WMT_STOPPED, S_OK, WMT_TYPE_DWORD, nullptr, context);
        continue;
      }
      const Session session{generation_, startTime_, duration_, startContext_};
      startPending_ = false;
      lock.unlock();
      if (!source) continue;  // Start is refused before a good open; nothing to decode
      if (!firstSession && Failed(Rewind(*source))) {
        callback->OnStatus(WMT_ERROR, E_FAIL, WMT_TYPE_DWORD, nullptr, session.context);
        continue;
      }
      firstSession = false;
      RunSession(*source, session, callback, advanced);
    }

    source.reset();
    header_.Reset({}, false);
    callback->OnStatus(WMT_CLOSED, S_OK, WMT_TYPE_DWORD, nullptr, openContext);
  }

  HRESULT OpenSource(const std::string& path, IWMReaderCallback* callback, void* context,
                     std::optional<Source>* out) {
    detail::InstallFfmpegLog();
    // FFmpeg opens the path itself: a FIFO would block that open for good
    // and a device never end, so only a regular file goes to it.
    if (std::string reason; !zplatform::CheckRegularFile(path, &reason)) {
      zplatform::Trace("wmvcore: " + path + ": " + reason);
      if (access(path.c_str(), F_OK) != 0) return E_FILE_NOT_FOUND;
      if (access(path.c_str(), R_OK) != 0) return E_ACCESSDENIED;
      return NS_E_UNRECOGNIZED_STREAM_TYPE;
    }
    if (detail::HasContentEncryption(path)) {
      const BYTE noUrl[2] = {0, 0};
      callback->OnStatus(WMT_NO_RIGHTS, NS_E_PROTECTED_CONTENT, WMT_TYPE_STRING, noUrl, context);
      return NS_E_PROTECTED_CONTENT;
    }

    Source source;
    AVFormatContext* raw = nullptr;
    if (int err = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); err < 0) {
      return HresultFromAverror(err);
    }
    source.format.reset(raw);
    if (int err = avformat_find_stream_info(raw, nullptr); err < 0) return HresultFromAverror(err);

    // Outputs are the file's audio and video streams in file order.
    std::vector<detail::MediaType> types;
    bool hasVideo = false;
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
      const AVCodecParameters* par = raw->streams[i]->codecpar;
      if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
        if (source.stream < 0) {
          source.stream = static_cast<int>(i);
          source.output = static_cast<DWORD>(types.size());
        }
        types.push_back(detail::MajorTypeOnly(WMMEDIATYPE_Audio));
      } else if (par->codec_type == AVMEDIA_TYPE_VIDEO &&
                 !(raw->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        hasVideo = true;
        types.push_back(detail::MajorTypeOnly(WMMEDIATYPE_Video));
      }
    }
    if (source.stream < 0) return NS_E_UNRECOGNIZED_STREAM_TYPE;

    AVStream* stream = raw->streams[source.stream];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) {
      callback->OnStatus(WMT_MISSING_CODEC, NS_E_AUDIO_CODEC_NOT_INSTALLED, WMT_TYPE_DWORD,
                         nullptr, context);
      return NS_E_AUDIO_CODEC_NOT_INSTALLED;
    }
    if (HRESULT hr = OpenDecoder(source, codec); Failed(hr)) return hr;
    if (source.rate == 0 || source.channels == 0) return NS_E_UNRECOGNIZED_STREAM_TYPE;
    types[source.output] = detail::PcmMediaType(source.rate, source.channels);
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
      if (raw->streams[i] != stream) raw->streams[i]->discard = AVDISCARD_ALL;
    }

    std::vector<Attribute> attributes;
    const bool isAsf = std::strcmp(raw->iformat->name, "asf") == 0;
    // Our writer states the duration to 100 ns, so the audio ends on the
    // sample it names: the decoder's last frame is padded past the end, and
    // the milliseconds FFmpeg reports would add or cut samples. It holds
    // also where FFmpeg drops the header's duration because the file's size
    // moved by 5 % (tags written into a short file).
    const std::optional<QWORD> exact = isAsf ? detail::ReadAsfPlayDuration(path) : std::nullopt;
    if (exact && *exact > 0 && *exact <= std::numeric_limits<QWORD>::max() / std::max<QWORD>(source.rate, 1)) {
      attributes.push_back({0, std::u16string(g_wszWMDuration), WMT_TYPE_QWORD, detail::QwordValue(*exact)});
      source.endSample = (*exact * source.rate + kUnitsPerSecond / 2) / kUnitsPerSecond;
    } else if (raw->duration != AV_NOPTS_VALUE && raw->duration > 0) {
      const QWORD duration = static_cast<QWORD>(raw->duration) * (kUnitsPerSecond / AV_TIME_BASE);
      attributes.push_back({0, std::u16string(g_wszWMDuration), WMT_TYPE_QWORD,
                            detail::QwordValue(duration)});
      if (isAsf && raw->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
        source.endSample = (duration + kDurationSlack) * source.rate / kUnitsPerSecond;
      }
    }
    const std::int64_t bitrate =
        stream->codecpar->bit_rate > 0 ? stream->codecpar->bit_rate : raw->bit_rate;
    if (bitrate > 0) {
      attributes.push_back({0, std::u16string(g_wszWMBitrate), WMT_TYPE_DWORD,
                            detail::DwordValue(static_cast<DWORD>(bitrate))});
    }
    const bool seekable = raw->pb && (raw->pb->seekable & AVIO_SEEKABLE_NORMAL);
    attributes.push_back({0, std::u16string(g_wszWMSeekable), WMT_TYPE_BOOL,
                          detail::BoolValue(seekable)});
    attributes.push_back({0, std::u16string(g_wszWMHasAudio), WMT_TYPE_BOOL,
                          detail::BoolValue(true)});
    attributes.push_back({0, std::u16string(g_wszWMHasVideo), WMT_TYPE_BOOL,
                          detail::BoolValue(hasVideo)});
    attributes.push_back({0, std::u16string(g_wszWMProtected), WMT_TYPE_BOOL,
                          detail::BoolValue(false)});
    detail::TagFileKind kind{};
    std::vector<Attribute> tags;
    if (Succeeded(detail::ReadTagAttributes(path, &kind, &tags))) {
      for (Attribute& a : tags) attributes.push_back(std::move(a));
    }
    header_.Reset(std::move(attributes), true);

    {
      std::lock_guard lock(mutex_);
      outputTypes_ = std::move(types);
      fileOpen_ = !closeRequested_;
    }
    *out = std::move(source);
    return S_OK;
  }

  static HRESULT OpenDecoder(Source& source, const AVCodec* codec) {
    AVStream* stream = source.format->streams[source.stream];
    source.codec.reset(avcodec_alloc_context3(codec));
    if (!source.codec) return E_OUTOFMEMORY;
    if (int err = avcodec_parameters_to_context(source.codec.get(), stream->codecpar); err < 0) {
      return HresultFromAverror(err);
    }
    source.codec->pkt_timebase = stream->time_base;
    if (int err = avcodec_open2(source.codec.get(), codec, nullptr); err < 0) {
      return NS_E_AUDIO_CODEC_ERROR;
    }
    source.rate = static_cast<DWORD>(std::max(source.codec->sample_rate, 0));
    source.channels = static_cast<WORD>(std::max(source.codec->ch_layout.nb_channels, 0));
    source.convert.reset();
    source.convertFrom = AV_SAMPLE_FMT_NONE;
    return S_OK;
  }

  // Back to the beginning with a fresh decoder, exactly as after the open.
  static HRESULT Rewind(Source& source) {
    if (av_seek_frame(source.format.get(), source.stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(source.format.get(), -1, INT64_MIN, 0, 0, 0) < 0) {
      return E_FAIL;
    }
    return OpenDecoder(source, source.codec->codec);
  }

  bool Aborted(std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    return closeRequested_ || generation_ != generation;
  }

  // Waits until a sample starting at `time` may be delivered; false when the
  // session ends first. Asks for more time once per grant.
  bool WaitForClock(std::uint64_t generation, QWORD time, IWMReaderCallbackAdvanced* advanced,
                    void* context) {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (closeRequested_ || generation_ != generation) return false;
      if (!userClock_ || time < granted_) return true;
      if (!timeRequested_) {
        timeRequested_ = true;
        const QWORD granted = granted_;
        lock.unlock();
        if (advanced) advanced->OnTime(granted, context);
        lock.lock();
        continue;
      }
      wake_.wait(lock);
    }
  }

  // Decodes one Start's worth: WMT_STARTED, the samples, then the end status.
  void RunSession(Source& source, const Session& session, IWMReaderCallback* callback,
                  IWMReaderCallbackAdvanced* advanced) {
    callback->OnStatus(WMT_STARTED, S_OK, WMT_TYPE_DWORD, nullptr, session.context);

    const std::uint64_t firstSample = session.start * source.rate / kUnitsPerSecond;
    std::optional<std::uint64_t> endSample = source.endSample;
    bool segment = false;
    if (session.duration > 0) {
      const std::uint64_t segmentEnd =
          (session.start + session.duration) * source.rate / kUnitsPerSecond;
      if (!endSample || segmentEnd < *endSample) {
        endSample = segmentEnd;
        segment = true;
      }
    }

    std::uint64_t position = 0;  // samples decoded so far in this session
    bool finished = false;
    detail::PacketPtr packet(av_packet_alloc());
    detail::FramePtr frame(av_frame_alloc());
    if (!packet || !frame) return;

    std::unique_ptr<NSSBuffer> buffer;
    // Delivers the decoded frame's part inside [firstSample, endSample).
    auto deliver = [&](AVFrame* f) -> bool {
      // Output 0 has the stream's one format and nothing is resampled or
      // remixed, so a frame of another rate or channel count (damaged or
      // changing input) is dropped; converting it would overrun the buffer.
      if (f->ch_layout.nb_channels != source.channels || f->sample_rate != static_cast<int>(source.rate)) {
        zplatform::Trace("wmvcore: a block of another format was dropped");
        return true;
      }
      const std::uint64_t begin = position;
      position += static_cast<std::uint64_t>(f->nb_samples);
      std::uint64_t from = std::max(begin, firstSample);
      std::uint64_t to = position;
      if (endSample && to > *endSample) {
        to = *endSample;
        finished = true;
      }
      if (from >= to) return !finished;
      const std::size_t frameBytes = std::size_t{2} * source.channels;
      const auto offset = static_cast<std::size_t>(from - begin) * frameBytes;
      const auto bytes = static_cast<std::size_t>(to - from) * frameBytes;
      // One buffer serves every sample of the session (the callback copies
      // what it keeps): converted in place, the part kept moved to its start.
      const auto frameTotal = static_cast<std::size_t>(f->nb_samples) * frameBytes;
      DWORD capacity = 0;
      if (buffer) buffer->GetMaxLength(&capacity);
      if (capacity < frameTotal) buffer = std::make_unique<NSSBuffer>(static_cast<DWORD>(frameTotal));
      NSSBuffer& sample = *buffer;
      sample.SetLength(static_cast<DWORD>(frameTotal));
      BYTE* data = nullptr;
      DWORD length = 0;
      sample.GetBufferAndLength(&data, &length);
      if (!Convert(source, f, data)) return false;
      if (offset > 0) std::memmove(data, data + offset, bytes);
      sample.SetLength(static_cast<DWORD>(bytes));
      const QWORD time = from * kUnitsPerSecond / source.rate;
      const QWORD duration = to * kUnitsPerSecond / source.rate - time;
      if (!WaitForClock(session.generation, time, advanced, session.context)) return false;
      callback->OnSample(source.output, time, duration, 0, &sample, session.context);
      return !finished && !Aborted(session.generation);
    };

    auto drain = [&]() -> int {
      for (;;) {
        const int err = avcodec_receive_frame(source.codec.get(), frame.get());
        if (err < 0) return err;
        const bool more = deliver(frame.get());
        av_frame_unref(frame.get());
        if (!more) return 1;
      }
    };

    bool stopped = false;
    bool atEnd = false;
    while (!stopped && !atEnd) {
      if (Aborted(session.generation)) return;
      const int err = av_read_frame(source.format.get(), packet.get());
      if (err < 0) {
        avcodec_send_packet(source.codec.get(), nullptr);
        atEnd = true;
      } else if (packet->stream_index != source.stream) {
        av_packet_unref(packet.get());
        continue;
      } else {
        // A packet the decoder refuses (a damaged block) is skipped, as a
        // player would; decoding goes on with the next one.
        if (avcodec_send_packet(source.codec.get(), packet.get()) < 0) {
          zplatform::Trace("wmvcore: a damaged block was skipped");
        }
        av_packet_unref(packet.get());
      }
      if (drain() == 1) stopped = true;
    }
    if (Aborted(session.generation)) return;
    callback->OnStatus(segment && finished ? WMT_END_OF_SEGMENT : WMT_EOF, S_OK, WMT_TYPE_DWORD,
                       nullptr, session.context);
  }

  // The frame as interleaved signed 16-bit PCM.
  static bool Convert(Source& source, AVFrame* f, BYTE* out) {
    const auto format = static_cast<AVSampleFormat>(f->format);
    if (!source.convert || source.convertFrom != format) {
      SwrContext* swr = nullptr;
      if (swr_alloc_set_opts2(&swr, &f->ch_layout, AV_SAMPLE_FMT_S16, f->sample_rate,
                              &f->ch_layout, format, f->sample_rate, 0, nullptr) < 0 ||
          swr_init(swr) < 0) {
        swr_free(&swr);
        return false;
      }
      source.convert.reset(swr);
      source.convertFrom = format;
    }
    uint8_t* planes[] = {out};
    const int converted = swr_convert(source.convert.get(), planes, f->nb_samples,
                                      const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    return converted == f->nb_samples;
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread worker_;
  IWMReaderCallback* callback_ = nullptr;
  void* openContext_ = nullptr;
  bool opened_ = false;
  bool closeRequested_ = false;
  bool fileOpen_ = false;
  std::vector<detail::MediaType> outputTypes_;
  detail::HeaderInfo header_;

  std::uint64_t generation_ = 0;
  bool startPending_ = false;
  bool stopPending_ = false;
  QWORD startTime_ = 0;
  QWORD duration_ = 0;
  void* startContext_ = nullptr;

  bool userClock_ = false;
  QWORD granted_ = 0;
  bool timeRequested_ = false;
};

}  // namespace

HRESULT WMCreateReader(DWORD, std::shared_ptr<IWMReader>* reader) {
  if (!reader) return E_POINTER;
  *reader = std::make_shared<Reader>();
  return S_OK;
}

}  // namespace wmvcore
