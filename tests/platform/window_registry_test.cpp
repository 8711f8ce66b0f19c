#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "zplatform/window_registry.h"

namespace {

using namespace zplatform;

struct Message {
  int id;
  std::intptr_t wParam;
  std::intptr_t lParam;
};

// A window's queue, as a GUI thread would drain it.
struct Inbox {
  std::mutex mutex;
  std::vector<Message> messages;
  MessagePoster Poster() {
    return [this](int id, std::intptr_t w, std::intptr_t l) {
      std::lock_guard lock(mutex);
      messages.push_back({id, w, l});
    };
  }
};

TEST(WindowRegistry, PostingReachesOnlyTheWindowOfThatClassWhileItIsRegistered) {
  EXPECT_FALSE(PostMessageTo("RegistryTestMain", 1224, 0, 0));
  EXPECT_EQ(FindWindowByClass("RegistryTestMain"), 0);

  Inbox main, other;
  int handle = 0;
  {
    WindowRegistration first("RegistryTestMain", main.Poster());
    WindowRegistration second("RegistryTestOther", other.Poster());
    handle = first.handle();
    EXPECT_NE(handle, 0);
    EXPECT_EQ(FindWindowByClass("RegistryTestMain"), handle);
    EXPECT_TRUE(PostMessageTo("RegistryTestMain", 1224, 7, -3));
    EXPECT_FALSE(PostMessageTo("registrytestmain", 1224, 0, 0));  // class names are exact
  }
  EXPECT_FALSE(PostMessageTo("RegistryTestMain", 1224, 0, 0));
  EXPECT_EQ(FindWindowByClass("RegistryTestMain"), 0);
  ASSERT_EQ(main.messages.size(), 1u);
  EXPECT_EQ(main.messages[0].id, 1224);
  EXPECT_EQ(main.messages[0].wParam, 7);
  EXPECT_EQ(main.messages[0].lParam, -3);
  EXPECT_TRUE(other.messages.empty());
}

TEST(WindowRegistry, TheEarliestWindowOfAClassGetsTheMessage) {
  Inbox older, newer;
  WindowRegistration a("RegistryTestTwin", older.Poster());
  {
    WindowRegistration b("RegistryTestTwin", newer.Poster());
    EXPECT_EQ(FindWindowByClass("RegistryTestTwin"), a.handle());
    PostMessageTo("RegistryTestTwin", 1, 0, 0);
  }
  EXPECT_EQ(older.messages.size(), 1u);
  EXPECT_TRUE(newer.messages.empty());
}

TEST(WindowRegistry, PostsFromManyThreadsAllArriveAndNoneAfterUnregistering) {
  Inbox inbox;
  std::atomic<bool> unregistered{false};
  std::atomic<int> lateCalls{0};
  const int handle = RegisterWindow("RegistryTestThreads", [&](int id, std::intptr_t w, std::intptr_t l) {
    if (unregistered.load()) ++lateCalls;
    inbox.Poster()(id, w, l);
  });

  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  std::atomic<int> delivered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        if (PostMessageTo("RegistryTestThreads", 1224, t, i)) ++delivered;
      }
    });
  }
  // Unregister while the threads are still posting: from then on no poster
  // may run, so a window could be destroyed right away.
  while (delivered.load() < kEach) std::this_thread::yield();
  UnregisterWindow(handle);
  unregistered = true;
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(lateCalls.load(), 0);
  EXPECT_EQ(static_cast<int>(inbox.messages.size()), delivered.load());
  EXPECT_GE(delivered.load(), kEach);
  EXPECT_FALSE(PostMessageTo("RegistryTestThreads", 1224, 0, 0));
}

}  // namespace
