#pragma once
// The open read: the reader's callback, turning the runtime's push of
// decoded samples into the pull of ReadWMAFile.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "sample_queue.h"
#include "talvex/talvex.h"
#include "wmvcore/reader.h"

namespace talvex {

// An auto-reset event: one Wait consumes one Signal.
class AutoResetEvent {
 public:
  void Signal();
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
};

// The callback object of one read. Owned by the library's read state; it
// outlives the reader's last callback (WMT_CLOSED).
class WmaReadContext final : public wmvcore::IWMReaderCallback, public wmvcore::IWMReaderCallbackAdvanced {
 public:
  explicit WmaReadContext(std::shared_ptr<StopSignal> stop);
  ~WmaReadContext() override;
  WmaReadContext(const WmaReadContext&) = delete;
  WmaReadContext& operator=(const WmaReadContext&) = delete;

  // Opens the file, fills `info`, starts decoding at `startMs`.
  wmvcore::HRESULT Open(const std::u16string& path, TalvexAudioInfo* info, std::int32_t startMs);

  // Takes the next block; false at the end of the stream or when stopped.
  bool Next(Block& block);
  // Hands a block's storage back to the queue, so that blocks are not
  // allocated anew for every sample.
  void Recycle(Block&& block);

  // IWMStatusCallback / IWMReaderCallback
  wmvcore::HRESULT OnStatus(wmvcore::WMT_STATUS status, wmvcore::HRESULT hr, wmvcore::WMT_ATTR_DATATYPE type,
                            const wmvcore::BYTE* value, void* context) override;
  wmvcore::HRESULT OnSample(wmvcore::DWORD outputNumber, wmvcore::QWORD sampleTime, wmvcore::QWORD sampleDuration,
                            wmvcore::DWORD flags, wmvcore::INSSBuffer* sample, void* context) override;
  wmvcore::IWMReaderCallbackAdvanced* QueryAdvanced() override { return this; }

  // IWMReaderCallbackAdvanced
  wmvcore::HRESULT OnStreamSample(wmvcore::WORD, wmvcore::QWORD, wmvcore::QWORD, wmvcore::DWORD,
                                  wmvcore::INSSBuffer*, void*) override {
    return wmvcore::S_OK;
  }
  wmvcore::HRESULT OnTime(wmvcore::QWORD time, void* context) override;
  wmvcore::HRESULT OnStreamSelection(wmvcore::WORD, wmvcore::WORD*, int*, void*) override { return wmvcore::S_OK; }
  wmvcore::HRESULT OnOutputPropsChanged(wmvcore::DWORD, wmvcore::WM_MEDIA_TYPE*, void*) override {
    return wmvcore::S_OK;
  }
  wmvcore::HRESULT AllocateForStream(wmvcore::WORD, wmvcore::DWORD, wmvcore::INSSBuffer**, void*) override {
    return wmvcore::E_NOTIMPL;
  }
  wmvcore::HRESULT AllocateForOutput(wmvcore::DWORD, wmvcore::DWORD, wmvcore::INSSBuffer**, void*) override {
    return wmvcore::E_NOTIMPL;
  }

 private:
  wmvcore::HRESULT ReadHeader(TalvexAudioInfo* info);
  wmvcore::HRESULT ReadOutputFormat(TalvexAudioInfo* info);

  std::shared_ptr<StopSignal> stop_;
  std::shared_ptr<wmvcore::IWMReader> reader_;
  wmvcore::IWMReaderAdvanced* readerAdvanced_ = nullptr;
  wmvcore::IWMHeaderInfo* headerInfo_ = nullptr;
  std::u16string path_;
  AutoResetEvent openedEvent_;
  AutoResetEvent closedEvent_;
  std::atomic<wmvcore::HRESULT> openStatus_{wmvcore::S_OK};
  std::atomic<bool> endOfStream_{false};
  std::atomic<wmvcore::QWORD> userClock_{0};
  std::unique_ptr<SampleQueue> queue_;
};

// The library's one read.
bool OpenReadContext(const char* path, TalvexAudioInfo* info, std::int32_t startMs);
void CloseReadContext();
bool ReadNextBlock(std::uint8_t** block, std::int32_t* byteCount);

}  // namespace talvex
