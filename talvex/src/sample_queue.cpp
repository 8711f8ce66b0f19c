#include "sample_queue.h"

#include <algorithm>
#include <string>

#include "zplatform/diagnostics.h"

namespace talvex {

void StopSignal::Raise() {
  raised_.store(true);
  std::lock_guard lock(mutex_);
  for (SampleQueue* queue : watchers_) queue->WakeAll();
}

void StopSignal::Watch(SampleQueue* queue) {
  std::lock_guard lock(mutex_);
  watchers_.push_back(queue);
}

void StopSignal::Unwatch(SampleQueue* queue) {
  std::lock_guard lock(mutex_);
  watchers_.erase(std::remove(watchers_.begin(), watchers_.end(), queue), watchers_.end());
}

SampleQueue::SampleQueue(std::shared_ptr<StopSignal> stop) : stop_(std::move(stop)) { stop_->Watch(this); }

SampleQueue::~SampleQueue() { stop_->Unwatch(this); }

void SampleQueue::WakeAll() {
  // Taking the lock orders the wake-up after a waiter's test of the signal,
  // so it can never be lost between the test and the wait.
  std::lock_guard lock(mutex_);
  dataAvailable_.notify_all();
  spaceAvailable_.notify_all();
}

bool SampleQueue::Put(const std::uint8_t* bytes, std::size_t count) {
  std::unique_lock lock(mutex_);
  while (blocks_.size() >= kCapacity) {
    if (stop_->Raised()) {
      putterWaiting_ = false;
      return false;
    }
    putterWaiting_ = true;
    spaceAvailable_.wait(lock);
  }
  putterWaiting_ = false;
  if (zplatform::TraceEnabled()) zplatform::Trace("put called - " + std::to_string(blocks_.size()));
  if (spare_.empty()) {
    blocks_.emplace_back(bytes, bytes + count);
  } else {
    blocks_.push_back(std::move(spare_.back()));
    spare_.pop_back();
    blocks_.back().assign(bytes, bytes + count);
  }
  if (wakeAt_ != 0 && blocks_.size() >= wakeAt_) dataAvailable_.notify_one();
  return true;
}

void SampleQueue::Recycle(Block&& block) {
  std::lock_guard lock(mutex_);
  if (spare_.size() < kCapacity + 1) spare_.push_back(std::move(block));
}

bool SampleQueue::Get(Block& block) {
  std::unique_lock lock(mutex_);
  if (blocks_.empty()) {
    const auto deadline = std::chrono::steady_clock::now() + kWakeAfter;
    wakeAt_ = kWakeAt;
    while (blocks_.size() < kWakeAt && !stop_->Raised()) {
      if (dataAvailable_.wait_until(lock, deadline) == std::cv_status::timeout) break;
    }
    // A slow producer: the first block is enough.
    wakeAt_ = 1;
    while (blocks_.empty()) {
      if (stop_->Raised()) {
        wakeAt_ = 0;
        return false;
      }
      dataAvailable_.wait(lock);
    }
    wakeAt_ = 0;
  }
  if (zplatform::TraceEnabled()) zplatform::Trace("Get called - " + std::to_string(blocks_.size()));
  block = std::move(blocks_.front());
  blocks_.pop_front();
  if (putterWaiting_ && blocks_.size() <= kSpaceAt) spaceAvailable_.notify_one();
  if (zplatform::TraceEnabled()) zplatform::Trace("Get called over - " + std::to_string(blocks_.size()));
  return true;
}

bool SampleQueue::Empty() {
  std::lock_guard lock(mutex_);
  return blocks_.empty();
}

}  // namespace talvex
