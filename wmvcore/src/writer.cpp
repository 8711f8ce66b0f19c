#include "wmvcore/writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "asf_duration.h"
#include "ffmpeg_support.h"
#include "media_type.h"
#include "profile_objects.h"
#include "wma_formats.h"
#include "zplatform/diagnostics.h"
#include "zplatform/text.h"

namespace wmvcore {
namespace {

using detail::HresultFromAverror;

// ASF packets of FFmpeg's muxer spend 11 bytes on the packet header and 15
// on the header of a single payload. A packet that carries exactly one media
// object of whole coded blocks wastes nothing on padding.
constexpr int kSinglePayloadOverhead = 26;
// Media objects gather coded blocks up to about this size, so that the
// per-packet overhead stays near 1 % even for the smallest blocks.
constexpr int kTargetObjectBytes = 2048;

class FileSink final : public IWMWriterFileSink2 {
 public:
  ~FileSink() override {
    if (io_) avio_closep(&io_);
  }

  HRESULT Open(std::u16string_view path) override {
    std::lock_guard lock(mutex_);
    if (io_ || writing_) return NS_E_INVALID_REQUEST;
    if (path.empty()) return E_INVALIDARG;
    detail::InstallFfmpegLog();
    const std::string narrow = zplatform::PathFromUtf16(path);
    if (int err = avio_open(&io_, narrow.c_str(), AVIO_FLAG_WRITE); err < 0) {
      io_ = nullptr;
      return HresultFromAverror(err);
    }
    path_ = narrow;
    closed_ = false;
    duration_ = 0;
    size_ = 0;
    return S_OK;
  }

  IWMWriterFileSink2* QueryFileSink2() override { return this; }

  HRESULT Start(QWORD) override { return S_OK; }
  HRESULT Stop(QWORD) override { return S_OK; }
  HRESULT IsStopped(bool* stopped) override {
    if (!stopped) return E_POINTER;
    std::lock_guard lock(mutex_);
    *stopped = !writing_;
    return S_OK;
  }
  HRESULT GetFileDuration(QWORD* duration) override {
    if (!duration) return E_POINTER;
    std::lock_guard lock(mutex_);
    *duration = duration_;
    return S_OK;
  }
  HRESULT GetFileSize(QWORD* size) override {
    if (!size) return E_POINTER;
    std::lock_guard lock(mutex_);
    *size = io_ ? static_cast<QWORD>(std::max<int64_t>(avio_tell(io_), 0)) : size_;
    return S_OK;
  }

  HRESULT Close() override {
    std::lock_guard lock(mutex_);
    if (writing_ || !io_) return NS_E_INVALID_REQUEST;
    size_ = static_cast<QWORD>(std::max<int64_t>(avio_tell(io_), 0));
    avio_flush(io_);
    const int err = io_->error;
    avio_closep(&io_);
    closed_ = true;
    if (err < 0) return HresultFromAverror(err);
    // FFmpeg's muxer states the duration in whole milliseconds; the exact one
    // lets a reader end the audio on the last sample written.
    if (std::string reason; duration_ > 0 && !detail::WriteAsfPlayDuration(path_, duration_, &reason)) {
      zplatform::Trace("wmvcore: " + path_ + ": " + reason);
      return E_FAIL;
    }
    return S_OK;
  }

  HRESULT IsClosed(bool* closed) override {
    if (!closed) return E_POINTER;
    std::lock_guard lock(mutex_);
    *closed = closed_;
    return S_OK;
  }

  // The writer's side.
  AVIOContext* Claim() {
    std::lock_guard lock(mutex_);
    if (!io_ || writing_) return nullptr;
    writing_ = true;
    return io_;
  }
  void Release(QWORD duration) {
    std::lock_guard lock(mutex_);
    writing_ = false;
    duration_ = duration;
  }

 private:
  std::mutex mutex_;
  AVIOContext* io_ = nullptr;
  std::string path_;
  bool writing_ = false;
  bool closed_ = false;
  QWORD duration_ = 0;
  QWORD size_ = 0;
};

struct OutputFormatDeleter {
  void operator()(AVFormatContext* c) const { avformat_free_context(c); }  // pb is the sink's
};
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;

// One file being written: WMA 2 encoder into the ASF muxer.
//
// Timing. FFmpeg's WMA decoder, like the runtime's, swallows the output of
// the first coded frame, and each frame's audio needs the next coded frame
// to be complete. So a frame of silence goes in first (the warm-up) and
// one after the last (the flush): the decoded audio then starts with the
// first sample written and ends with the last. Coded frame k (k >= 1)
// decodes to the PCM of frame k - 1, so its time is (k - 1) x frame size;
// times past the end of the PCM are held at the end.
class Encoding {
 public:
  HRESULT Begin(const detail::WmaFormat& format, AVIOContext* io) {
    format_ = format;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!codec) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_) return E_OUTOFMEMORY;
    codec_->sample_rate = static_cast<int>(format.sampleRate);
    codec_->bit_rate = format.bitrate;
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->time_base = AVRational{1, static_cast<int>(format.sampleRate)};
    codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_channel_layout_default(&codec_->ch_layout, format.channels);
    if (int err = avcodec_open2(codec_.get(), codec, nullptr); err < 0) {
      return NS_E_AUDIO_CODEC_ERROR;
    }
    if (codec_->block_align != format.blockAlign || codec_->frame_size != format.frameSize) {
      return NS_E_AUDIO_CODEC_ERROR;
    }
    frameSize_ = codec_->frame_size;
    blocksPerObject_ = std::max(1, (kTargetObjectBytes + format.blockAlign - 1) / format.blockAlign);

    AVFormatContext* raw = nullptr;
    if (int err = avformat_alloc_output_context2(&raw, nullptr, "asf", nullptr); err < 0) {
      return HresultFromAverror(err);
    }
    muxer_.reset(raw);
    muxer_->pb = io;
    muxer_->flags |= AVFMT_FLAG_BITEXACT;  // no encoder tag: the file carries no tags at all
    stream_ = avformat_new_stream(muxer_.get(), nullptr);
    if (!stream_) return E_OUTOFMEMORY;
    if (int err = avcodec_parameters_from_context(stream_->codecpar, codec_.get()); err < 0) {
      return HresultFromAverror(err);
    }
    // The stream states the offered bit rate, not the encoder's rounded-down one.
    stream_->codecpar->bit_rate = format.bitrate;
    stream_->time_base = codec_->time_base;
    const int packetSize = kSinglePayloadOverhead + blocksPerObject_ * format.blockAlign;
    av_opt_set_int(muxer_->priv_data, "packet_size", packetSize, 0);
    if (int err = avformat_write_header(muxer_.get(), nullptr); err < 0) {
      return HresultFromAverror(err);
    }
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_) return E_OUTOFMEMORY;
    return EncodeFrame(nullptr);  // the warm-up
  }

  // Interleaved 16-bit frames (one sample per channel each).
  HRESULT Push(const std::int16_t* samples, std::size_t frames) {
    const std::size_t channels = format_.channels;
    const std::size_t block = static_cast<std::size_t>(frameSize_) * channels;
    samplesIn_ += frames;
    pending_.insert(pending_.end(), samples, samples + frames * channels);
    std::size_t used = 0;
    while (pending_.size() - used >= block) {
      if (HRESULT hr = EncodeFrame(pending_.data() + used); Failed(hr)) return hr;
      used += block;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    return S_OK;
  }

  HRESULT End() {
    const std::size_t block = static_cast<std::size_t>(frameSize_) * format_.channels;
    if (!pending_.empty()) {
      pending_.resize(block, 0);
      if (HRESULT hr = EncodeFrame(pending_.data()); Failed(hr)) return hr;
      pending_.clear();
    }
    if (HRESULT hr = EncodeFrame(nullptr); Failed(hr)) return hr;  // the flush
    avcodec_send_frame(codec_.get(), nullptr);
    if (HRESULT hr = Drain(); Failed(hr)) return hr;
    if (HRESULT hr = WriteRest(); Failed(hr)) return hr;
    if (int err = av_write_trailer(muxer_.get()); err < 0) return HresultFromAverror(err);
    avio_flush(muxer_->pb);
    if (muxer_->pb->error < 0) return HresultFromAverror(muxer_->pb->error);
    return S_OK;
  }

  std::uint64_t samplesIn() const { return samplesIn_; }
  DWORD rate() const { return format_.sampleRate; }
  WORD channels() const { return format_.channels; }

 private:
  // Encodes one coded frame's worth of interleaved PCM (null: silence).
  HRESULT EncodeFrame(const std::int16_t* interleaved) {
    AVFrame* f = frame_.get();
    // The frame's buffer is reused; it is copied only while the encoder
    // still holds a reference to it.
    if (!f->buf[0]) {
      f->nb_samples = frameSize_;
      f->format = AV_SAMPLE_FMT_FLTP;
      f->sample_rate = codec_->sample_rate;
      if (av_channel_layout_copy(&f->ch_layout, &codec_->ch_layout) < 0) return E_OUTOFMEMORY;
      if (av_frame_get_buffer(f, 0) < 0) return E_OUTOFMEMORY;
    } else if (av_frame_make_writable(f) < 0) {
      return E_OUTOFMEMORY;
    }
    const int channels = format_.channels;
    for (int c = 0; c < channels; ++c) {
      auto* plane = reinterpret_cast<float*>(f->extended_data[c]);
      for (int i = 0; i < frameSize_; ++i) {
        plane[i] = interleaved ? static_cast<float>(interleaved[i * channels + c]) / 32768.0f : 0.0f;
      }
    }
    f->pts = framesIn_ * frameSize_;
    ++framesIn_;
    if (avcodec_send_frame(codec_.get(), f) < 0) return NS_E_AUDIO_CODEC_ERROR;
    return Drain();
  }

  HRESULT Drain() {
    for (;;) {
      const int err = avcodec_receive_packet(codec_.get(), packet_.get());
      if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return S_OK;
      if (err < 0) return NS_E_AUDIO_CODEC_ERROR;
      coded_.emplace_back(packet_->data, packet_->data + packet_->size);
      av_packet_unref(packet_.get());
      // Two coded frames always stay behind, so that the flush frame ends up
      // in one object with the last frame of audio (an object that starts
      // past the end would be given a frame's duration by the muxer).
      if (coded_.size() >= static_cast<std::size_t>(blocksPerObject_) + 2) {
        if (HRESULT hr = WriteObject(blocksPerObject_); Failed(hr)) return hr;
      }
    }
  }

  // Writes what is left: at most one object's worth plus the two held back.
  HRESULT WriteRest() {
    const auto m = static_cast<std::size_t>(blocksPerObject_);
    if (coded_.size() > m) {
      if (HRESULT hr = WriteObject(static_cast<int>(coded_.size() - 2)); Failed(hr)) return hr;
    }
    return WriteObject(static_cast<int>(coded_.size()));
  }

  // Writes the gathered coded frames as one media object.
  HRESULT WriteObject(int packets) {
    if (packets == 0) return S_OK;
    const auto n = static_cast<std::int64_t>(frameSize_);
    const auto end = static_cast<std::int64_t>(samplesIn_);
    const std::int64_t first = packetsOut_;
    const std::int64_t last = packetsOut_ + packets - 1;
    const std::int64_t start = std::min(std::max<std::int64_t>(0, (first - 1) * n), end);
    const std::int64_t stop = std::min(last * n, end);
    packetsOut_ += packets;

    std::size_t bytes = 0;
    for (int i = 0; i < packets; ++i) bytes += coded_[static_cast<std::size_t>(i)].size();
    AVPacket* p = packet_.get();
    if (av_new_packet(p, static_cast<int>(bytes)) < 0) return E_OUTOFMEMORY;
    std::uint8_t* out = p->data;
    for (int i = 0; i < packets; ++i) {
      const auto& block = coded_.front();
      std::memcpy(out, block.data(), block.size());
      out += block.size();
      coded_.pop_front();
    }
    p->stream_index = stream_->index;
    p->pts = p->dts = start;
    p->duration = std::max<std::int64_t>(stop - start, 0);
    p->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(p, codec_->time_base, stream_->time_base);
    const int err = av_write_frame(muxer_.get(), p);
    av_packet_unref(p);
    return err < 0 ? HresultFromAverror(err) : S_OK;
  }

  detail::WmaFormat format_{};
  detail::CodecContextPtr codec_;
  OutputFormatPtr muxer_;
  AVStream* stream_ = nullptr;
  detail::FramePtr frame_;
  detail::PacketPtr packet_;
  int frameSize_ = 0;
  int blocksPerObject_ = 1;
  std::vector<std::int16_t> pending_;
  std::uint64_t samplesIn_ = 0;
  std::int64_t framesIn_ = 0;
  std::int64_t packetsOut_ = 0;
  std::deque<std::vector<std::uint8_t>> coded_;  // coded frames not yet written
};

class Writer final : public IWMWriter, public IWMWriterAdvanced {
 public:
  ~Writer() override {
    std::lock_guard lock(mutex_);
    if (encoding_ && sink_) sink_->Release(0);
  }

  HRESULT SetProfile(IWMProfile* profile) override {
    if (!profile) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (encoding_) return NS_E_INVALID_REQUEST;
    DWORD count = 0;
    if (HRESULT hr = profile->GetStreamCount(&count); Failed(hr)) return hr;
    if (count != 1) return E_INVALIDARG;
    std::shared_ptr<IWMStreamConfig> stream;
    if (HRESULT hr = profile->GetStream(0, &stream); Failed(hr)) return hr;
    std::shared_ptr<detail::StreamConfig> copy;
    if (HRESULT hr = detail::StreamConfig::CopyOf(stream.get(), &copy); Failed(hr)) return hr;
    const detail::MediaType type = copy->mediaType();
    if (type.header().majortype != WMMEDIATYPE_Audio) return E_INVALIDARG;
    const WAVEFORMATEX* wave = type.WaveFormat();
    if (!wave) return E_INVALIDARG;
    const detail::WmaFormat* format =
        detail::FindWmaFormat(*wave, type.format().data() + sizeof(WAVEFORMATEX));
    if (!format) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
    format_ = *format;
    hasProfile_ = true;
    return S_OK;
  }

  HRESULT GetInputCount(DWORD* inputs) override {
    if (!inputs) return E_POINTER;
    std::lock_guard lock(mutex_);
    *inputs = hasProfile_ ? 1 : 0;
    return S_OK;
  }

  HRESULT GetInputProps(DWORD inputNumber, std::shared_ptr<IWMInputMediaProps>* props) override {
    if (!props) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!hasProfile_ || inputNumber != 0) return E_INVALIDARG;
    *props = std::make_shared<detail::FixedMediaProps>(
        detail::PcmMediaType(format_.sampleRate, format_.channels));
    return S_OK;
  }

  HRESULT BeginWriting() override {
    std::lock_guard lock(mutex_);
    if (encoding_ || !hasProfile_ || !sink_) return NS_E_INVALID_REQUEST;
    AVIOContext* io = sink_->Claim();
    if (!io) return NS_E_INVALID_REQUEST;
    auto encoding = std::make_unique<Encoding>();
    if (HRESULT hr = encoding->Begin(format_, io); Failed(hr)) {
      sink_->Release(0);
      return hr;
    }
    encoding_ = std::move(encoding);
    partial_.clear();
    return S_OK;
  }

  HRESULT AllocateSample(DWORD size, std::shared_ptr<INSSBuffer>* sample) override {
    if (!sample) return E_POINTER;
    *sample = std::make_shared<NSSBuffer>(size);
    return S_OK;
  }

  HRESULT WriteSample(DWORD inputNumber, QWORD, DWORD, INSSBuffer* sample) override {
    if (!sample) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!encoding_) return NS_E_INVALID_REQUEST;
    if (inputNumber != 0) return E_INVALIDARG;
    BYTE* bytes = nullptr;
    DWORD length = 0;
    if (HRESULT hr = sample->GetBufferAndLength(&bytes, &length); Failed(hr)) return hr;
    if (length == 0) return S_OK;

    // The PCM is taken as one continuous stream whatever the stamp says:
    // clients round their times, and turning a rounding lead into inserted
    // silence would click.
    const std::size_t frameBytes = std::size_t{2} * encoding_->channels();
    partial_.insert(partial_.end(), bytes, bytes + length);
    const std::size_t frames = partial_.size() / frameBytes;
    samples_.resize(frames * encoding_->channels());  // kept between samples: no allocation per block
    for (std::size_t i = 0; i < samples_.size(); ++i) {
      samples_[i] = static_cast<std::int16_t>(partial_[2 * i] | (partial_[2 * i + 1] << 8));
    }
    partial_.erase(partial_.begin(), partial_.begin() + static_cast<std::ptrdiff_t>(frames * frameBytes));
    if (HRESULT hr = encoding_->Push(samples_.data(), frames); Failed(hr)) return Fail(hr);
    return S_OK;
  }

  HRESULT Flush() override {
    std::lock_guard lock(mutex_);
    return encoding_ ? S_OK : NS_E_INVALID_REQUEST;
  }

  HRESULT EndWriting() override {
    std::lock_guard lock(mutex_);
    if (!encoding_) return NS_E_INVALID_REQUEST;
    const HRESULT hr = encoding_->End();
    const QWORD rate = encoding_->rate();
    const QWORD duration = (encoding_->samplesIn() * kUnitsPerSecond + rate / 2) / rate;
    encoding_.reset();
    sink_->Release(duration);
    if (Failed(hr)) zplatform::Trace("wmvcore: finishing the file failed");
    return hr;
  }

  IWMWriterAdvanced* QueryAdvanced() override { return this; }

  HRESULT AddSink(std::shared_ptr<IWMWriterSink> sink) override {
    std::lock_guard lock(mutex_);
    if (encoding_ || sink_) return NS_E_INVALID_REQUEST;
    auto fileSink = std::dynamic_pointer_cast<FileSink>(sink);
    if (!fileSink) return E_INVALIDARG;
    sink_ = std::move(fileSink);
    return S_OK;
  }

  HRESULT RemoveSink(IWMWriterSink* sink) override {
    std::lock_guard lock(mutex_);
    if (encoding_ || !sink_ || sink != sink_.get()) return NS_E_INVALID_REQUEST;
    sink_.reset();
    return S_OK;
  }

  HRESULT GetSinkCount(DWORD* sinks) override {
    if (!sinks) return E_POINTER;
    std::lock_guard lock(mutex_);
    *sinks = sink_ ? 1 : 0;
    return S_OK;
  }

  HRESULT GetWriterTime(QWORD* time) override {
    if (!time) return E_POINTER;
    std::lock_guard lock(mutex_);
    *time = encoding_ ? encoding_->samplesIn() * kUnitsPerSecond / encoding_->rate() : 0;
    return S_OK;
  }

 private:
  // A failed encode ends the write; the file is left as far as it got.
  HRESULT Fail(HRESULT hr) {
    encoding_.reset();
    if (sink_) sink_->Release(0);
    return hr;
  }

  std::mutex mutex_;
  detail::WmaFormat format_{};
  bool hasProfile_ = false;
  std::shared_ptr<FileSink> sink_;
  std::unique_ptr<Encoding> encoding_;
  std::vector<BYTE> partial_;
  std::vector<std::int16_t> samples_;
};

}  // namespace

HRESULT WMCreateWriter(std::shared_ptr<IWMWriter>* writer) {
  if (!writer) return E_POINTER;
  detail::InstallFfmpegLog();
  *writer = std::make_shared<Writer>();
  return S_OK;
}

HRESULT WMCreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* sink) {
  if (!sink) return E_POINTER;
  *sink = std::make_shared<FileSink>();
  return S_OK;
}

}  // namespace wmvcore
