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
    if (stop_->Raised()) return false;
    spaceAvailable_.wait(lock);
  }
  if (zplatform::TraceEnabled()) zplatform::Trace("put called - " + std::to_string(blocks_.size()));
  blocks_.emplace_back(bytes, bytes + count);
  if (blocks_.size() == 1) dataAvailable_.notify_one();
  return true;
}

bool SampleQueue::Get(Block& block) {
  std::unique_lock lock(mutex_);
  while (blocks_.empty()) {
    if (stop_->Raised()) return false;
    dataAvailable_.wait(lock);
  }
  if (zplatform::TraceEnabled()) zplatform::Trace("Get called - " + std::to_string(blocks_.size()));
  const bool wasFull = blocks_.size() == kCapacity;
  block = std::move(blocks_.front());
  blocks_.pop_front();
  if (wasFull) spaceAvailable_.notify_one();
  if (zplatform::TraceEnabled()) zplatform::Trace("Get called over - " + std::to_string(blocks_.size()));
  return true;
}

bool SampleQueue::Empty() {
  std::lock_guard lock(mutex_);
  return blocks_.empty();
}

}  // namespace talvex
