#include "read_context.h"

#include <cstring>
#include <vector>

#include "attribute_dump.h"
#include "notice.h"
#include "wide_text.h"
#include "zplatform/diagnostics.h"

namespace talvex {

using namespace wmvcore;

void AutoResetEvent::Signal() {
  std::lock_guard lock(mutex_);
  set_ = true;
  signalled_.notify_one();
}

void AutoResetEvent::Wait() {
  std::unique_lock lock(mutex_);
  signalled_.wait(lock, [this] { return set_; });
  set_ = false;
}

namespace {

void Line(const std::string& text) { zplatform::Diagnostic(text); }

// The library's read state: the open read, its stop latch, and the block
// last handed out, which outlives the read.
struct ReadState {
  std::unique_ptr<WmaReadContext> context;
  std::shared_ptr<StopSignal> stop;
  Block lastBlock;
  bool haveLastBlock = false;
};

ReadState& State() {
  static ReadState state;
  return state;
}

}  // namespace

WmaReadContext::WmaReadContext(std::shared_ptr<StopSignal> stop) : stop_(std::move(stop)) {}

WmaReadContext::~WmaReadContext() {
  if (reader_ && Succeeded(reader_->Close())) closedEvent_.Wait();
  headerInfo_ = nullptr;
  readerAdvanced_ = nullptr;
  reader_.reset();
  queue_.reset();
}

HRESULT WmaReadContext::Open(const std::u16string& path, TalvexAudioInfo* info, std::int32_t startMs) {
  const std::optional<std::u16string> absolute = AbsoluteWidePath(path);
  if (!absolute) {
    Line("internal error " + std::to_string(errno));
    return E_UNEXPECTED;
  }
  path_ = *absolute;

  HRESULT hr = WMCreateReader(0, &reader_);
  if (Failed(hr) || !reader_) {
    Line("failed to create audio reader (hr=" + HexStatus(hr) + ")");
    return Failed(hr) ? hr : E_FAIL;
  }
  readerAdvanced_ = reader_->QueryAdvanced();
  if (!readerAdvanced_) return E_FAIL;

  hr = reader_->Open(path_, this, nullptr);
  if (Succeeded(hr)) {
    openedEvent_.Wait();
    hr = openStatus_.load();
    if (hr == NS_E_NO_STREAM) {
      Line("Waiting for transmission to begin...");
      openedEvent_.Wait();
      hr = openStatus_.load();
    }
  }
  if (Failed(hr)) {
    Line("failed to open (hr=" + HexStatus(hr) + ")");
    return hr;
  }

  headerInfo_ = reader_->QueryHeaderInfo();
  if (!headerInfo_) {
    Line("failed to qi for header interface (hr=" + HexStatus(E_FAIL) + ")");
    return E_FAIL;
  }
  if (Failed(hr = ReadHeader(info))) return hr;
  if (Failed(hr = ReadOutputFormat(info))) return hr;

  queue_ = std::make_unique<SampleQueue>(stop_);
  if (Failed(hr = readerAdvanced_->SetUserProvidedClock(true))) return hr;
  hr = reader_->Start(static_cast<QWORD>(static_cast<std::int64_t>(startMs) * 10000), 0, 1.0f, nullptr);
  if (Failed(hr)) {
    Line("failed Start(), (hr=" + HexStatus(hr) + ")");
    return hr;
  }
  return S_OK;
}

HRESULT WmaReadContext::ReadHeader(TalvexAudioInfo* info) {
  WORD count = 0;
  HRESULT hr = headerInfo_->GetAttributeCount(0, &count);
  if (Failed(hr)) {
    Line("GetAttributeCount Failed (hr=" + HexStatus(hr) + ")");
    return hr;
  }
  for (WORD index = 0; index < count; ++index) {
    WORD stream = 0;
    WORD nameLength = 0;
    WORD valueLength = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    hr = headerInfo_->GetAttributeByIndex(index, &stream, nullptr, &nameLength, &type, nullptr, &valueLength);
    std::vector<char16_t> name;
    std::vector<BYTE> value;
    if (Succeeded(hr)) {
      name.resize(nameLength ? nameLength : 1);
      value.resize(valueLength);
      stream = 0;
      hr = headerInfo_->GetAttributeByIndex(index, &stream, name.data(), &nameLength, &type, value.data(),
                                            &valueLength);
    }
    if (Failed(hr)) {
      Line("GetAttributeByIndex Failed (hr=" + HexStatus(hr) + ")");
      return hr;
    }
    std::u16string_view attribute(name.data());
    if (attribute == g_wszWMBitrate && valueLength >= 4) {
      DWORD bitsPerSecond = 0;
      std::memcpy(&bitsPerSecond, value.data(), 4);
      info->bitrate = bitsPerSecond / 1000;
    } else if (attribute == g_wszWMDuration && valueLength >= 8) {
      QWORD duration = 0;
      std::memcpy(&duration, value.data(), 8);
      info->durationMs = static_cast<std::uint32_t>(duration / 10000);
    }
    Line(AttributeDumpLine(attribute, type, value.data(), valueLength));
  }
  return S_OK;
}

HRESULT WmaReadContext::ReadOutputFormat(TalvexAudioInfo* info) {
  DWORD outputs = 0;
  HRESULT hr = reader_->GetOutputCount(&outputs);
  if (Failed(hr)) {
    Line("failed GetOutputCount(), (hr=" + HexStatus(hr) + ")");
    return hr;
  }
  if (outputs != 1) Line("Not audio only (cOutputs = " + std::to_string(outputs) + ").");

  std::shared_ptr<IWMOutputMediaProps> props;
  hr = reader_->GetOutputProps(0, &props);
  if (Failed(hr) || !props) {
    Line("failed GetOutputProps(), (hr=" + HexStatus(hr) + ")");
    return Failed(hr) ? hr : E_FAIL;
  }
  DWORD size = 0;
  hr = props->GetMediaType(nullptr, &size);
  std::vector<std::uint64_t> storage;  // aligned for the structure at its start
  if (Succeeded(hr)) {
    storage.resize((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t) + 1);
    hr = props->GetMediaType(reinterpret_cast<WM_MEDIA_TYPE*>(storage.data()), &size);
  }
  props.reset();
  if (Failed(hr)) {
    Line("GetMediaType failed (hr=" + HexStatus(hr) + ")");
    return hr;
  }
  const WM_MEDIA_TYPE* type = reinterpret_cast<const WM_MEDIA_TYPE*>(storage.data());
  if (type->majortype != WMMEDIATYPE_Audio) {
    Line("Not audio only (major type mismatch).");
    return E_UNEXPECTED;
  }
  if (type->formattype != WMFORMAT_WaveFormatEx || type->cbFormat < sizeof(WAVEFORMATEX) || !type->pbFormat) {
    return E_UNEXPECTED;
  }
  WAVEFORMATEX format;
  std::memcpy(&format, type->pbFormat, sizeof format);
  info->sampleRate = format.nSamplesPerSec;
  info->channels = format.nChannels;
  info->reserved1 = info->reserved2 = info->reserved3 = 0;
  info->kind = 3;
  return S_OK;
}

HRESULT WmaReadContext::OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, const BYTE*, void*) {
  switch (status) {
    case WMT_ERROR:
      Line("OnStatus( WMT_ERROR )");
      break;
    case WMT_OPENED:
      Line("OnStatus( WMT_OPENED )");
      openStatus_.store(hr);
      openedEvent_.Signal();
      break;
    case WMT_SOURCE_SWITCH:
      Line("OnStatus( WMT_SOURCE_SWITCH )");
      openStatus_.store(hr);
      openedEvent_.Signal();
      break;
    case WMT_BUFFERING_START:
      Line("OnStatus( WMT_BUFFERING START)");
      break;
    case WMT_BUFFERING_STOP:
      Line("OnStatus( WMT_BUFFERING STOP)");
      break;
    case WMT_EOF:
      Line("OnStatus( WMT_EOF )");
      endOfStream_.store(true);
      stop_->Raise();
      break;
    case WMT_END_OF_SEGMENT:
      Line("OnStatus( WMT_END_OF_SEGMENT )");
      endOfStream_.store(true);
      stop_->Raise();
      break;
    case WMT_LOCATING:
      Line("OnStatus( WMT_LOCATING )");
      break;
    case WMT_CONNECTING:
      Line("OnStatus( WMT_CONNECTING )");
      break;
    case WMT_NO_RIGHTS:
      PostNoRightsNotice();
      break;
    case WMT_MISSING_CODEC:
      Line("Missing codec: (hr=" + HexStatus(hr) + ")");
      break;
    case WMT_STARTED:
      Line("OnStatus( WMT_STARTED )");
      userClock_.store(kUnitsPerSecond);
      readerAdvanced_->DeliverTime(kUnitsPerSecond);
      break;
    case WMT_STOPPED:
      Line("OnStatus( WMT_STOPPED )");
      break;
    case WMT_CLOSED:
      closedEvent_.Signal();
      break;
    default:
      break;
  }
  return S_OK;
}

HRESULT WmaReadContext::OnSample(DWORD outputNumber, QWORD, QWORD, DWORD, INSSBuffer* sample, void*) {
  if (outputNumber != 0) return S_OK;
  BYTE* bytes = nullptr;
  DWORD length = 0;
  if (!sample || Failed(sample->GetBufferAndLength(&bytes, &length))) return E_UNEXPECTED;
  if (queue_) queue_->Put(bytes, length);  // dropped when the read is being stopped
  return S_OK;
}

HRESULT WmaReadContext::OnTime(QWORD, void*) {
  if (!endOfStream_.load()) readerAdvanced_->DeliverTime(userClock_ += kUnitsPerSecond);
  return S_OK;
}

bool WmaReadContext::Next(Block& block) {
  if (!queue_) return false;
  if (endOfStream_.load() && queue_->Empty()) return false;
  return queue_->Get(block);
}

void WmaReadContext::Recycle(Block&& block) {
  if (queue_) queue_->Recycle(std::move(block));
}

bool OpenReadContext(const char* path, TalvexAudioInfo* info, std::int32_t startMs) {
  CloseReadContext();
  const std::optional<std::u16string> wide = WidePath(path);
  if (!wide || !info) return false;
  ReadState& state = State();
  state.stop = std::make_shared<StopSignal>();
  state.context = std::make_unique<WmaReadContext>(state.stop);
  return Succeeded(state.context->Open(*wide, info, startMs));
}

void CloseReadContext() {
  ReadState& state = State();
  // Releases a Put or Get waiting on the runtime's thread or ours.
  if (state.stop) state.stop->Raise();
  state.context.reset();
  state.stop.reset();
}

bool ReadNextBlock(std::uint8_t** block, std::int32_t* byteCount) {
  ReadState& state = State();
  // The block handed out last is given up now; its storage goes back to the
  // open read, or is freed when there is none.
  if (state.context && state.haveLastBlock) {
    state.context->Recycle(std::move(state.lastBlock));
  }
  state.lastBlock = Block{};
  state.haveLastBlock = false;
  if (block) *block = nullptr;
  if (!state.context) return false;
  Block next;
  if (!state.context->Next(next)) return false;
  state.lastBlock = std::move(next);
  state.haveLastBlock = true;
  if (block) *block = state.lastBlock.data();
  if (byteCount) *byteCount = static_cast<std::int32_t>(state.lastBlock.size());
  return true;
}

}  // namespace talvex
