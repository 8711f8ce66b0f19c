#pragma once
// A reader callback that records every status, sample and clock request,
// can grant clock time the way a client does, and can hold the reader's
// worker inside OnSample.

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include "wmvcore/wmvcore.h"

namespace wmvtest {

struct Event {
  enum Kind { Status, Sample, Time } kind;
  wmvcore::WMT_STATUS status = wmvcore::WMT_ERROR;
  wmvcore::HRESULT hr = 0;
  wmvcore::QWORD time = 0;
  wmvcore::QWORD duration = 0;
  wmvcore::QWORD granted = 0;  // the clock granted when a sample arrived
  wmvcore::DWORD bytes = 0;
  wmvcore::DWORD output = 0;
};

// Hang guard only: every wait here normally ends in milliseconds.
inline constexpr auto kHangGuard = std::chrono::seconds(120);

class RecordingCallback final : public wmvcore::IWMReaderCallback,
                                public wmvcore::IWMReaderCallbackAdvanced {
 public:
  // Grants `step` more clock on WMT_STARTED and on every OnTime, as a client does.
  wmvcore::IWMReaderAdvanced* clock = nullptr;
  bool grantOnStarted = true;
  bool grantOnTime = true;
  wmvcore::QWORD step = wmvcore::kUnitsPerSecond;
  bool keepPcm = true;

  wmvcore::HRESULT OnStatus(wmvcore::WMT_STATUS status, wmvcore::HRESULT hr,
                            wmvcore::WMT_ATTR_DATATYPE, const wmvcore::BYTE*, void*) override {
    if (status == wmvcore::WMT_STARTED && grantOnStarted && clock) Grant(step);
    Record({Event::Status, status, hr});
    return wmvcore::S_OK;
  }

  wmvcore::HRESULT OnSample(wmvcore::DWORD output, wmvcore::QWORD time, wmvcore::QWORD duration,
                            wmvcore::DWORD, wmvcore::INSSBuffer* sample, void*) override {
    wmvcore::BYTE* data = nullptr;
    wmvcore::DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    std::unique_lock lock(mutex_);
    Event e{Event::Sample};
    e.time = time;
    e.duration = duration;
    e.granted = granted_;
    e.bytes = length;
    e.output = output;
    events_.push_back(e);
    if (keepPcm) {
      const std::size_t old = pcm_.size();
      pcm_.resize(old + length / 2);
      std::memcpy(pcm_.data() + old, data, length / 2 * 2);
    }
    changed_.notify_all();
    if (holdSamples_) {
      held_ = true;
      changed_.notify_all();
      changed_.wait(lock, [&] { return !holdSamples_; });
      held_ = false;
    }
    return wmvcore::S_OK;
  }

  wmvcore::IWMReaderCallbackAdvanced* QueryAdvanced() override { return this; }

  wmvcore::HRESULT OnStreamSample(wmvcore::WORD, wmvcore::QWORD, wmvcore::QWORD, wmvcore::DWORD,
                                  wmvcore::INSSBuffer*, void*) override {
    return wmvcore::S_OK;
  }
  wmvcore::HRESULT OnTime(wmvcore::QWORD time, void*) override {
    Record({Event::Time, wmvcore::WMT_ERROR, 0, time});
    if (grantOnTime && clock) Grant(time + step);
    return wmvcore::S_OK;
  }
  wmvcore::HRESULT OnStreamSelection(wmvcore::WORD, wmvcore::WORD*, int*, void*) override {
    return wmvcore::S_OK;
  }
  wmvcore::HRESULT OnOutputPropsChanged(wmvcore::DWORD, wmvcore::WM_MEDIA_TYPE*, void*) override {
    return wmvcore::S_OK;
  }
  wmvcore::HRESULT AllocateForStream(wmvcore::WORD, wmvcore::DWORD, wmvcore::INSSBuffer**,
                                     void*) override {
    return wmvcore::E_NOTIMPL;
  }
  wmvcore::HRESULT AllocateForOutput(wmvcore::DWORD, wmvcore::DWORD, wmvcore::INSSBuffer**,
                                     void*) override {
    return wmvcore::E_NOTIMPL;
  }

  void Grant(wmvcore::QWORD time) {
    {
      std::lock_guard lock(mutex_);
      if (time > granted_) granted_ = time;
    }
    clock->DeliverTime(time);
  }

  // Makes the next OnSample (and every one after) wait until ReleaseSamples.
  void HoldSamples() {
    std::lock_guard lock(mutex_);
    holdSamples_ = true;
  }
  void ReleaseSamples() {
    std::lock_guard lock(mutex_);
    holdSamples_ = false;
    changed_.notify_all();
  }
  bool WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kHangGuard, [&] { return held_; });
  }

  bool WaitForStatus(wmvcore::WMT_STATUS status) {
    return WaitUntil([&] {
      for (const Event& e : events_) {
        if (e.kind == Event::Status && e.status == status) return true;
      }
      return false;
    });
  }
  bool WaitForEvent(std::function<bool(const Event&)> match) {
    return WaitUntil([&] {
      for (const Event& e : events_) {
        if (match(e)) return true;
      }
      return false;
    });
  }

  std::vector<Event> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  std::vector<std::int16_t> pcm() const {
    std::lock_guard lock(mutex_);
    return pcm_;
  }

 private:
  void Record(const Event& e) {
    std::lock_guard lock(mutex_);
    events_.push_back(e);
    changed_.notify_all();
  }
  template <typename Predicate>
  bool WaitUntil(Predicate done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kHangGuard, done);
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
  std::vector<std::int16_t> pcm_;
  wmvcore::QWORD granted_ = 0;
  bool holdSamples_ = false;
  bool held_ = false;
};

// Reads a whole file through the reader with the user clock, as a client
// does. Fills rate and channels from output 0.
struct ReadResult {
  wmvcore::HRESULT openStatus = wmvcore::E_FAIL;
  std::uint32_t rate = 0;
  int channels = 0;
  std::vector<std::int16_t> pcm;
  std::vector<Event> events;
};
ReadResult ReadWithReader(const std::string& path, wmvcore::QWORD start = 0);

}  // namespace wmvtest
