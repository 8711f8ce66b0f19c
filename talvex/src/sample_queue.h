#pragma once
// The hand-over between the runtime's delivery thread and the caller of
// ReadWMAFile: a queue of at most five decoded blocks, and the stop latch
// that releases every waiter of it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace talvex {

class SampleQueue;

// Once raised it stays raised; every wait of the queues watching it returns.
class StopSignal {
 public:
  void Raise();
  bool Raised() const { return raised_.load(); }

 private:
  friend class SampleQueue;
  void Watch(SampleQueue* queue);
  void Unwatch(SampleQueue* queue);

  std::atomic<bool> raised_{false};
  std::mutex mutex_;
  std::vector<SampleQueue*> watchers_;
};

using Block = std::vector<std::uint8_t>;

// Owns the blocks it holds; not copyable. One thread puts, one takes.
class SampleQueue {
 public:
  static constexpr std::size_t kCapacity = 5;

  explicit SampleQueue(std::shared_ptr<StopSignal> stop);
  ~SampleQueue();
  SampleQueue(const SampleQueue&) = delete;
  SampleQueue& operator=(const SampleQueue&) = delete;

  // Copies the bytes in, waiting while the queue is full (a waiting putter
  // is woken once the queue is down to kSpaceAt blocks, again so that the
  // threads meet once per batch); false when the stop signal was raised
  // while it waited (the block is dropped).
  bool Put(const std::uint8_t* bytes, std::size_t count);
  // Takes the oldest block, waiting while the queue is empty; false when the
  // stop signal was raised while it waited. A taker that finds the queue
  // empty sleeps until it holds kWakeAt blocks (or kWakeAfter has passed), so
  // that the two threads meet once per batch rather than once per block.
  bool Get(Block& block);

  // Gives a block's storage back for a later Put to fill.
  void Recycle(Block&& block);

  static constexpr std::size_t kWakeAt = kCapacity - 1;  // one slot left, so the producer need not wait
  static constexpr std::chrono::milliseconds kWakeAfter{20};
  static constexpr std::size_t kSpaceAt = 1;

  bool Empty();

 private:
  friend class StopSignal;
  void WakeAll();

  std::shared_ptr<StopSignal> stop_;
  std::mutex mutex_;
  std::condition_variable dataAvailable_;
  std::condition_variable spaceAvailable_;
  std::deque<Block> blocks_;
  std::vector<Block> spare_;  // storage of blocks already handed out, for reuse
  bool putterWaiting_ = false;
  std::size_t wakeAt_ = 0;  // blocks that wake the waiting taker; 0 while none waits
};

}  // namespace talvex
