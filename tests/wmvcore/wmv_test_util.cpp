#include "wmv_test_util.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "zplatform/text.h"

namespace wmvtest {

using namespace wmvcore;

std::vector<std::int16_t> Tone(std::uint32_t rate, int channels, std::size_t silentFrames,
                               std::size_t toneFrames, double hz) {
  std::vector<std::int16_t> pcm((silentFrames + toneFrames) * static_cast<std::size_t>(channels), 0);
  for (std::size_t i = 0; i < toneFrames; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double envelope = 0.6 + 0.3 * std::sin(2 * M_PI * 3.0 * t);
    for (int c = 0; c < channels; ++c) {
      const double v = envelope * std::sin(2 * M_PI * (hz * (1 + 0.5 * c)) * t);
      pcm[(silentFrames + i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
          static_cast<std::int16_t>(std::lround(v * 20000));
    }
  }
  return pcm;
}

std::vector<std::uint8_t> FormatBlock(IWMStreamConfig* config) {
  IWMMediaProps* props = config->QueryMediaProps();
  DWORD size = 0;
  if (Failed(props->GetMediaType(nullptr, &size))) return {};
  std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
  if (Failed(props->GetMediaType(type, &size))) return {};
  return std::vector<std::uint8_t>(type->pbFormat, type->pbFormat + type->cbFormat);
}

int FindFormat(IWMCodecInfo* info, std::uint32_t rate, int channels, std::uint32_t bitrate) {
  DWORD formats = 0;
  if (Failed(info->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &formats))) return -1;
  for (DWORD i = 0; i < formats; ++i) {
    std::shared_ptr<IWMStreamConfig> config;
    if (Failed(info->GetCodecFormat(WMMEDIATYPE_Audio, 0, i, &config))) return -1;
    const auto block = FormatBlock(config.get());
    WAVEFORMATEX wave;
    std::memcpy(&wave, block.data(), sizeof wave);
    if (wave.nSamplesPerSec == rate && wave.nChannels == channels &&
        wave.nAvgBytesPerSec * 8 == bitrate) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

HRESULT WriteWma(const std::string& path, std::uint32_t rate, int channels, std::uint32_t bitrate,
                 const std::vector<std::int16_t>& pcm, std::size_t blockBytes, QWORD leadPerBlock) {
  std::shared_ptr<IWMProfileManager> manager;
  if (HRESULT hr = WMCreateProfileManager(&manager); Failed(hr)) return hr;
  IWMCodecInfo* info = manager->QueryCodecInfo();
  const int index = FindFormat(info, rate, channels, bitrate);
  if (index < 0) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
  std::shared_ptr<IWMStreamConfig> format;
  if (HRESULT hr = info->GetCodecFormat(WMMEDIATYPE_Audio, 0, static_cast<DWORD>(index), &format);
      Failed(hr)) {
    return hr;
  }
  DWORD size = 0;
  format->QueryMediaProps()->GetMediaType(nullptr, &size);
  std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
  if (HRESULT hr = format->QueryMediaProps()->GetMediaType(type, &size); Failed(hr)) return hr;

  std::shared_ptr<IWMProfile> profile;
  if (HRESULT hr = manager->CreateEmptyProfile(WMT_VER_7_0, &profile); Failed(hr)) return hr;
  profile->SetName(u"Custom Profile");
  std::shared_ptr<IWMStreamConfig> stream;
  if (HRESULT hr = profile->CreateNewStream(WMMEDIATYPE_Audio, &stream); Failed(hr)) return hr;
  stream->SetStreamNumber(1);
  stream->SetStreamName(u"Audio Stream");
  stream->SetConnectionName(u"Audio");
  stream->SetBitrate(bitrate);
  if (HRESULT hr = stream->QueryMediaProps()->SetMediaType(type); Failed(hr)) return hr;
  if (HRESULT hr = profile->AddStream(stream.get()); Failed(hr)) return hr;

  std::shared_ptr<IWMWriter> writer;
  std::shared_ptr<IWMWriterFileSink> sink;
  if (HRESULT hr = WMCreateWriter(&writer); Failed(hr)) return hr;
  if (HRESULT hr = WMCreateWriterFileSink(&sink); Failed(hr)) return hr;
  if (HRESULT hr = writer->QueryAdvanced()->AddSink(sink); Failed(hr)) return hr;
  if (HRESULT hr = writer->SetProfile(profile.get()); Failed(hr)) return hr;
  if (HRESULT hr = sink->Open(U16(path)); Failed(hr)) return hr;
  if (HRESULT hr = writer->BeginWriting(); Failed(hr)) return hr;

  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
  const std::size_t total = pcm.size() * 2;
  const QWORD bytesPerSecond = QWORD{rate} * static_cast<QWORD>(channels) * 2;
  QWORD time = 0;
  for (std::size_t offset = 0; offset < total; offset += blockBytes) {
    const std::size_t n = std::min(blockBytes, total - offset);
    std::shared_ptr<INSSBuffer> sample;
    if (HRESULT hr = writer->AllocateSample(static_cast<DWORD>(n), &sample); Failed(hr)) return hr;
    BYTE* data = nullptr;
    DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    std::memcpy(data, bytes + offset, length);
    if (HRESULT hr = writer->WriteSample(0, time, 0, sample.get()); Failed(hr)) return hr;
    time += (n * 10'000'000 + bytesPerSecond / 2) / bytesPerSecond + leadPerBlock;
  }
  if (HRESULT hr = writer->EndWriting(); Failed(hr)) return hr;
  return sink->QueryFileSink2()->Close();
}

namespace {

std::string Run(const std::string& command) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

std::string Quoted(const std::string& path) {
  std::string q = "'";
  for (char c : path) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

}  // namespace

std::map<std::string, std::string> Probe(const std::string& path) {
  const std::string out = Run("ffprobe -v error -select_streams a:0 -show_streams -show_format " +
                              Quoted(path) + " 2>/dev/null");
  std::map<std::string, std::string> entries;
  std::string section;
  std::size_t pos = 0;
  while (pos < out.size()) {
    std::size_t end = out.find('\n', pos);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    if (line == "[STREAM]") section = "stream.";
    else if (line == "[FORMAT]") section = "format.";
    else if (line.rfind("[/", 0) == 0) section.clear();
    else if (const auto eq = line.find('='); eq != std::string::npos && !section.empty()) {
      std::string key = line.substr(0, eq);
      if (key.rfind("TAG:", 0) == 0) key = "tag." + key.substr(4);
      entries.emplace(section + key, line.substr(eq + 1));
    }
  }
  return entries;
}

std::vector<std::int16_t> FfmpegDecode(const std::string& path) {
  const std::string out = Run("ffmpeg -v error -i " + Quoted(path) + " -f s16le - 2>/dev/null");
  std::vector<std::int16_t> pcm(out.size() / 2);
  std::memcpy(pcm.data(), out.data(), pcm.size() * 2);
  return pcm;
}

long BestLag(const std::vector<std::int16_t>& source, const std::vector<std::int16_t>& decoded,
             int channels, long maxLag) {
  const auto frames = static_cast<long>(source.size()) / channels;
  const auto decodedFrames = static_cast<long>(decoded.size()) / channels;
  long best = 0;
  double bestScore = -1e300;
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    double score = 0;
    for (long i = 0; i < frames; i += 2) {
      const long j = i + lag;
      if (j < 0 || j >= decodedFrames) continue;
      score += double(source[static_cast<std::size_t>(i * channels)]) *
               double(decoded[static_cast<std::size_t>(j * channels)]);
    }
    if (score > bestScore) {
      bestScore = score;
      best = lag;
    }
  }
  return best;
}

std::size_t FirstLoudFrame(const std::vector<std::int16_t>& pcm, int channels, int threshold) {
  const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
  for (std::size_t i = 0; i < frames; ++i) {
    if (std::abs(pcm[i * static_cast<std::size_t>(channels)]) >= threshold) return i;
  }
  return frames;
}

double Rms(const std::vector<std::int16_t>& pcm, int channels, std::size_t from, std::size_t to) {
  double sum = 0;
  std::size_t n = 0;
  for (std::size_t i = from; i < to && i * static_cast<std::size_t>(channels) < pcm.size(); ++i) {
    const double v = pcm[i * static_cast<std::size_t>(channels)];
    sum += v * v;
    ++n;
  }
  return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
}

std::u16string U16(const std::string& text) { return zplatform::Utf8ToUtf16(text); }

}  // namespace wmvtest

#include "recording_callback.h"

namespace wmvtest {

ReadResult ReadWithReader(const std::string& path, QWORD start) {
  ReadResult result;
  std::shared_ptr<IWMReader> reader;
  if (Failed(WMCreateReader(0, &reader))) return result;
  RecordingCallback callback;
  callback.clock = reader->QueryAdvanced();
  if (Failed(reader->Open(U16(path), &callback, nullptr))) return result;
  if (!callback.WaitForStatus(WMT_OPENED)) return result;
  for (const Event& e : callback.events()) {
    if (e.kind == Event::Status && e.status == WMT_OPENED) result.openStatus = e.hr;
  }
  if (Succeeded(result.openStatus)) {
    std::shared_ptr<IWMOutputMediaProps> props;
    reader->GetOutputProps(0, &props);
    DWORD size = 0;
    props->GetMediaType(nullptr, &size);
    std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
    props->GetMediaType(type, &size);
    WAVEFORMATEX wave;
    std::memcpy(&wave, type->pbFormat, sizeof wave);
    result.rate = wave.nSamplesPerSec;
    result.channels = wave.nChannels;
    reader->QueryAdvanced()->SetUserProvidedClock(true);
    reader->Start(start, 0, 1.0f, nullptr);
    callback.WaitForStatus(WMT_EOF);
  }
  if (Succeeded(reader->Close())) callback.WaitForStatus(WMT_CLOSED);
  result.pcm = callback.pcm();
  result.events = callback.events();
  return result;
}

}  // namespace wmvtest
