#include "platform/sync/Sync.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <vector>

namespace platform {
namespace {

// A generous bound that only turns a hang (a lost signal) into a failure; no test
// depends on how fast anything happens.
constexpr DWORD kHangGuardMs = 60'000;

HANDLE ManualEvent(bool initiallySet = false) { return CreateEventA(nullptr, TRUE, initiallySet, nullptr); }
HANDLE AutoEvent(bool initiallySet = false) { return CreateEventA(nullptr, FALSE, initiallySet, nullptr); }

// Closes every handle of a test, newest first (threads before the events they use),
// so that a failing assertion leaks nothing.
class Handles {
 public:
  ~Handles() {
    for (auto h = handles_.rbegin(); h != handles_.rend(); ++h) CloseHandle(*h);
  }
  HANDLE Add(HANDLE h) {
    EXPECT_NE(h, nullptr);
    handles_.push_back(h);
    return h;
  }

 private:
  std::vector<HANDLE> handles_;
};

TEST(EventTest, UnsignalledEventTimesOut) {
  Handles handles;
  HANDLE event = handles.Add(ManualEvent());
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
}

TEST(EventTest, ManualResetEventStaysSignalledUntilReset) {
  Handles handles;
  HANDLE event = handles.Add(ManualEvent(true));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(ResetEvent(event), TRUE);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_EQ(SetEvent(event), TRUE);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
}

TEST(EventTest, AutoResetEventIsConsumedByOneWait) {
  Handles handles;
  HANDLE initiallySet = handles.Add(AutoEvent(true));
  EXPECT_EQ(WaitForSingleObject(initiallySet, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(initiallySet, 0), WAIT_TIMEOUT);

  HANDLE event = handles.Add(AutoEvent());
  SetEvent(event);
  SetEvent(event);  // setting a set event does not count twice
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(EventTest, RefusesWhatItCannotDo) {
  EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "Global\\named"), nullptr);
  EXPECT_EQ(SetEvent(nullptr), FALSE);
  EXPECT_EQ(ResetEvent(nullptr), FALSE);
  EXPECT_EQ(CloseHandle(nullptr), FALSE);
  EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);

  Handles handles;
  HANDLE thread = handles.Add(CreateThread([] {}));
  EXPECT_EQ(SetEvent(thread), FALSE) << "a thread handle is not an event";
  EXPECT_EQ(ResetEvent(thread), FALSE);
}

// Each released waiter must take exactly one signal: a set that released two
// waiters would leave the last set unconsumed.
TEST(EventTest, AutoResetReleasesOneWaiterPerSignal) {
  std::atomic<int> passed{0};
  Handles handles;
  HANDLE event = handles.Add(AutoEvent());
  HANDLE released = handles.Add(AutoEvent());
  constexpr int kWaiters = 3;
  std::vector<HANDLE> threads;
  for (int i = 0; i < kWaiters; ++i) {
    threads.push_back(handles.Add(CreateThread([&] {
      if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) ++passed;
      SetEvent(released);
    })));
  }
  for (int i = 0; i < kWaiters; ++i) {
    SetEvent(event);
    ASSERT_EQ(WaitForSingleObject(released, kHangGuardMs), WAIT_OBJECT_0);
  }
  for (HANDLE thread : threads) ASSERT_EQ(WaitForSingleObject(thread, kHangGuardMs), WAIT_OBJECT_0);
  EXPECT_EQ(passed, kWaiters);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
}

TEST(EventTest, ManualResetReleasesEveryWaiter) {
  std::atomic<int> passed{0};
  Handles handles;
  HANDLE event = handles.Add(ManualEvent());
  std::vector<HANDLE> threads;
  for (int i = 0; i < 4; ++i) {
    threads.push_back(handles.Add(CreateThread([&] {
      if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) ++passed;
    })));
  }
  SetEvent(event);
  for (HANDLE thread : threads) ASSERT_EQ(WaitForSingleObject(thread, kHangGuardMs), WAIT_OBJECT_0);
  EXPECT_EQ(passed, 4);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "a manual-reset event stays set";
}

// A waiter whose time-out races with the signal either takes the signal or leaves it
// set: a lost signal would leave the producer waiting for its acknowledgement.
TEST(EventTest, SignalRacingATimeOutIsNeverLost) {
  Handles handles;
  HANDLE event = handles.Add(AutoEvent());
  HANDLE ack = handles.Add(AutoEvent());
  constexpr int kSignals = 500;
  HANDLE consumer = handles.Add(CreateThread([&] {
    for (int received = 0; received < kSignals;) {
      if (WaitForSingleObject(event, received % 2) == WAIT_OBJECT_0) {
        ++received;
        SetEvent(ack);
      }
    }
  }));
  for (int i = 0; i < kSignals; ++i) {
    SetEvent(event);
    ASSERT_EQ(WaitForSingleObject(ack, kHangGuardMs), WAIT_OBJECT_0) << "signal " << i;
  }
  EXPECT_EQ(WaitForSingleObject(consumer, kHangGuardMs), WAIT_OBJECT_0);
}

TEST(WaitAnyTest, ReturnsLowestSignalledIndexAndConsumesOnlyThatOne) {
  Handles handles;
  std::array<HANDLE, 5> events{};
  for (HANDLE& event : events) event = handles.Add(AutoEvent());
  SetEvent(events[3]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(5, events.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(5, events.data(), FALSE, 0), WAIT_OBJECT_0 + 3);
  EXPECT_EQ(WaitForMultipleObjects(5, events.data(), FALSE, 10), WAIT_TIMEOUT);
}

TEST(WaitAnyTest, WakesForAHandleSignalledByAnotherThread) {
  Handles handles;
  std::array<HANDLE, 3> events{handles.Add(AutoEvent()), handles.Add(ManualEvent()),
                               handles.Add(AutoEvent())};
  handles.Add(CreateThread([&] { SetEvent(events[2]); }));
  EXPECT_EQ(WaitForMultipleObjects(3, events.data(), FALSE, INFINITE), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForSingleObject(events[2], 0), WAIT_TIMEOUT) << "the auto-reset signal was taken";
}

TEST(WaitAnyTest, TimeOutLeavesLaterSignalsForTheNextWait) {
  Handles handles;
  std::array<HANDLE, 2> events{handles.Add(AutoEvent()), handles.Add(AutoEvent())};
  EXPECT_EQ(WaitForMultipleObjects(2, events.data(), FALSE, 10), WAIT_TIMEOUT);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, events.data(), FALSE, 0), WAIT_OBJECT_0 + 1);
}

TEST(WaitAnyTest, SixtyFourHandlesAreTheLimit) {
  Handles handles;
  std::array<HANDLE, MAXIMUM_WAIT_OBJECTS + 1> events{};
  for (HANDLE& event : events) event = handles.Add(AutoEvent());
  HANDLE last = events[MAXIMUM_WAIT_OBJECTS - 1];
  handles.Add(CreateThread([&] { SetEvent(last); }));
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, events.data(), FALSE, INFINITE),
            WAIT_OBJECT_0 + MAXIMUM_WAIT_OBJECTS - 1);

  SetEvent(events[0]);
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, events.data(), FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0) << "a refused wait consumes nothing";
}

TEST(WaitAnyTest, RefusesBadArguments) {
  Handles handles;
  std::array<HANDLE, 2> events{handles.Add(ManualEvent(true)), nullptr};
  EXPECT_EQ(WaitForMultipleObjects(0, events.data(), FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(1, nullptr, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(1, events.data(), TRUE, 0), WAIT_FAILED) << "wait-all is not supported";
  EXPECT_EQ(WaitForMultipleObjects(2, events.data(), FALSE, 0), WAIT_FAILED);
}

DWORD ReturnParameter(void* parameter) { return *static_cast<DWORD*>(parameter); }

TEST(ThreadTest, WaitingOnAFinishedThreadReturnsAtOnce) {
  Handles handles;
  DWORD value = 42;
  HANDLE thread = handles.Add(CreateThread(&ReturnParameter, &value));
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
  DWORD exitCode = 0;
  ASSERT_EQ(GetExitCodeThread(thread, &exitCode), TRUE);
  EXPECT_EQ(exitCode, 42u);
}

TEST(ThreadTest, RunningThreadIsNotSignalled) {
  Handles handles;
  HANDLE go = handles.Add(ManualEvent());
  HANDLE thread = handles.Add(CreateThread([&] { WaitForSingleObject(go, INFINITE); }));
  EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);
  DWORD exitCode = 0;
  ASSERT_EQ(GetExitCodeThread(thread, &exitCode), TRUE);
  EXPECT_EQ(exitCode, STILL_ACTIVE);
  SetEvent(go);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  ASSERT_EQ(GetExitCodeThread(thread, &exitCode), TRUE);
  EXPECT_EQ(exitCode, 0u);
}

// The playback shape: a stand-in event, signalled, until the first thread exists;
// then the thread's handle in a wait-any beside events.
TEST(ThreadTest, ThreadAndEventHandlesMixInOneWait) {
  Handles handles;
  HANDLE standIn = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(standIn, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(CloseHandle(standIn), TRUE);

  HANDLE stop = handles.Add(AutoEvent());
  HANDLE thread = handles.Add(CreateThread([] {}));
  std::array<HANDLE, 2> waited{stop, thread};
  EXPECT_EQ(WaitForMultipleObjects(2, waited.data(), FALSE, INFINITE), WAIT_OBJECT_0 + 1);
}

TEST(ThreadTest, CloseHandleJoinsTheThread) {
  HANDLE go = ManualEvent();
  std::atomic<bool> finished{false};
  HANDLE thread = CreateThread([&] {
    WaitForSingleObject(go, INFINITE);
    finished = true;
  });
  ASSERT_NE(thread, nullptr);
  SetEvent(go);
  EXPECT_EQ(CloseHandle(thread), TRUE);
  EXPECT_TRUE(finished) << "closing returned before the thread had ended";
  CloseHandle(go);
}

TEST(ThreadTest, ThreadMayCloseItsOwnHandle) {
  Handles handles;
  HANDLE handed = handles.Add(ManualEvent());
  HANDLE done = handles.Add(ManualEvent());
  std::atomic<HANDLE> self{nullptr};
  std::atomic<BOOL> closed{FALSE};
  self = CreateThread([&] {
    WaitForSingleObject(handed, INFINITE);
    closed = CloseHandle(self);
    SetEvent(done);
  });
  ASSERT_NE(self.load(), nullptr);
  SetEvent(handed);
  ASSERT_EQ(WaitForSingleObject(done, kHangGuardMs), WAIT_OBJECT_0);
  EXPECT_EQ(closed, TRUE);
}

TEST(ThreadTest, RefusesBadArguments) {
  EXPECT_EQ(CreateThread(std::function<void()>()), nullptr);
  EXPECT_EQ(CreateThread(nullptr, nullptr), nullptr);
  Handles handles;
  HANDLE event = handles.Add(ManualEvent());
  DWORD exitCode = 0;
  EXPECT_EQ(GetExitCodeThread(event, &exitCode), FALSE) << "an event has no exit code";
  EXPECT_EQ(GetExitCodeThread(nullptr, &exitCode), FALSE);
}

}  // namespace
}  // namespace platform
