#include "params/GraphicNotifyHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct TCall {
  std::string Listener;
  void* Sender;
  std::uint8_t Kind;
  std::int32_t Value;
};

struct TListener {
  std::string Name;
  std::vector<TCall>* Log;
  void Notify(void* Sender, std::uint8_t Kind, std::int32_t Value) {
    Log->push_back({Name, Sender, Kind, Value});
  }
  TGraphicNotifyEvent Handler() { return TGraphicNotifyEvent::Bind<&TListener::Notify>(this); }
};

std::vector<std::string> Order(const std::vector<TCall>& log) {
  std::vector<std::string> names;
  for (const TCall& c : log)
    names.push_back(c.Listener);
  return names;
}

} // namespace

TEST(Notifier, BroadcastReachesListenersInOrderWithTheOwnerAsSender) {
  int owner = 0;
  std::vector<TCall> log;
  TListener first{"first", &log}, second{"second", &log}, third{"third", &log};
  TGraphicNotifyHost notifier(&owner);
  notifier.Notify(gnValueChanged, 1); // nobody listens yet
  for (TListener* l : {&first, &second, &third})
    notifier.AddListener(l, l->Handler());
  notifier.AddListener(&first, second.Handler()); // the first registration stays
  notifier.Notify(gnValueChanged, 7);
  ASSERT_EQ(Order(log), (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(log[0].Sender, &owner);
  EXPECT_EQ(log[0].Kind, gnValueChanged);
  EXPECT_EQ(log[0].Value, 7);

  log.clear();
  notifier.RemoveListener(&log); // not registered: nothing changes
  notifier.RemoveListener(&first);
  notifier.Notify(gnRangeChanged, 0);
  EXPECT_EQ(Order(log), (std::vector<std::string>{"third", "second"}));
}

TEST(Notifier, DestructionTellsEveryListenerOnce) {
  int owner = 0;
  std::vector<TCall> log;
  TListener a{"a", &log}, b{"b", &log};
  {
    TGraphicNotifyHost notifier(&owner);
    notifier.AddListener(&a, a.Handler());
    notifier.AddListener(&b, b.Handler());
  }
  ASSERT_EQ(log.size(), 2u);
  for (const TCall& c : log) {
    EXPECT_EQ(c.Kind, gnDestroying);
    EXPECT_EQ(c.Value, 0);
    EXPECT_EQ(c.Sender, &owner);
  }
}

namespace {

// Registers a newcomer on the notifier that is calling it.
struct TRecruiter {
  TGraphicNotifyHost* Notifier;
  TListener* Newcomer;
  int Calls = 0;
  void Notify(void*, std::uint8_t, std::int32_t) {
    ++Calls;
    Notifier->AddListener(Newcomer, Newcomer->Handler());
  }
};

} // namespace

TEST(Notifier, ListenerAddedDuringABroadcastWaitsForTheNextOne) {
  int owner = 0;
  std::vector<TCall> log;
  TListener newcomer{"newcomer", &log};
  TGraphicNotifyHost notifier(&owner);
  TRecruiter recruiter{&notifier, &newcomer};
  notifier.AddListener(&recruiter, TGraphicNotifyEvent::Bind<&TRecruiter::Notify>(&recruiter));
  notifier.Notify(gnValueChanged, 0);
  EXPECT_TRUE(log.empty());
  notifier.Notify(gnValueChanged, 0);
  EXPECT_EQ(Order(log), (std::vector<std::string>{"newcomer"}));
  EXPECT_EQ(recruiter.Calls, 2);
}

namespace {

struct TCounter {
  std::atomic<int> Calls{0};
  std::atomic<bool> Gone{false};
  std::atomic<bool> CalledAfterRemoval{false};
  void Notify(void*, std::uint8_t, std::int32_t) {
    if (Gone.load())
      CalledAfterRemoval = true;
    ++Calls;
  }
};

} // namespace

// The editor thread unregisters while another thread broadcasts: once
// RemoveListener returns, the listener is never called again.
TEST(Notifier, RemovedListenerIsNeverCalledFromAnotherThread) {
  int owner = 0;
  TGraphicNotifyHost notifier(&owner);
  std::atomic<bool> stop{false};
  std::thread broadcaster([&] {
    while (!stop.load())
      notifier.Notify(gnValueChanged, 0);
  });
  for (int round = 0; round < 200; ++round) {
    TCounter counter;
    notifier.AddListener(&counter, TGraphicNotifyEvent::Bind<&TCounter::Notify>(&counter));
    while (counter.Calls.load() == 0)
      std::this_thread::yield();
    notifier.RemoveListener(&counter);
    counter.Gone = true;
    for (int i = 0; i < 50; ++i)
      std::this_thread::yield();
    ASSERT_FALSE(counter.CalledAfterRemoval.load()) << round;
  }
  stop = true;
  broadcaster.join();
}

namespace {

struct TThrowing {
  void Notify(void*, std::uint8_t, std::int32_t) { throw std::runtime_error("handler failed"); }
};

// Stays inside its broadcast until released.
struct TBlocking {
  std::atomic<bool> Inside{false};
  std::atomic<bool> Release{false};
  std::atomic<bool> Removed{false};
  std::atomic<bool> RunningAfterRemoval{false};
  void Notify(void*, std::uint8_t, std::int32_t) {
    Inside = true;
    while (!Release.load())
      std::this_thread::yield();
    if (Removed.load())
      RunningAfterRemoval = true;
  }
};

} // namespace

// A handler's exception travels to the caller and leaves the notifier as it
// was: another thread's registration changes do not wait for the broadcast
// that ended, and a later broadcast reaches every listener again. A broken
// count shows as a thread that never finishes.
TEST(Notifier, ThrowingHandlerLeavesTheNotifierUsable) {
  int owner = 0;
  std::vector<TCall> log;
  TListener listener{"listener", &log};
  TThrowing throwing;
  TGraphicNotifyHost notifier(&owner);
  notifier.AddListener(&throwing, TGraphicNotifyEvent::Bind<&TThrowing::Notify>(&throwing));
  for (int round = 0; round < 40; ++round) // more than the nesting record holds
    EXPECT_THROW(notifier.Notify(gnValueChanged, round), std::runtime_error);
  EXPECT_EQ(notifier.Count(), 1u);

  std::thread([&] {
    notifier.AddListener(&listener, listener.Handler());
    notifier.RemoveListener(&throwing);
  }).join();
  notifier.Notify(gnValueChanged, 3);
  EXPECT_EQ(Order(log), (std::vector<std::string>{"listener"}));

  // This thread's record of running broadcasts is balanced again too: a
  // removal on this thread waits for a broadcast still running elsewhere.
  TBlocking blocking;
  notifier.AddListener(&blocking, TGraphicNotifyEvent::Bind<&TBlocking::Notify>(&blocking));
  std::thread broadcaster([&] { notifier.Notify(gnValueChanged, 0); });
  while (!blocking.Inside.load())
    std::this_thread::yield();
  std::thread releaser([&] {
    for (int i = 0; i < 1000; ++i)
      std::this_thread::yield();
    blocking.Release = true;
  });
  notifier.RemoveListener(&blocking);
  blocking.Removed = true;
  releaser.join();
  broadcaster.join();
  EXPECT_FALSE(blocking.RunningAfterRemoval.load());
}
