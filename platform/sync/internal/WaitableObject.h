#pragma once
// The object behind every HANDLE of platform/sync (internal to the library).
//
// A wait registers a Waiter on each object it waits for; signalling an object hands
// the signal straight to the registered waiters, under the object's lock. A waiter is
// satisfied at most once, so an auto-reset signal goes to exactly one of them and is
// never lost between a time-out and the signal. Nobody polls.

#include <condition_variable>
#include <mutex>
#include <span>
#include <vector>

#include "platform/sync/Sync.h"

namespace platform {

// One waiting thread, on its own stack while it waits.
struct Waiter {
  static constexpr int kUnsatisfied = -1;
  std::mutex mutex;
  std::condition_variable wakeup;
  int satisfiedIndex = kUnsatisfied;  // index into the waited-for array
};

class WaitableObject {
 public:
  WaitableObject(const WaitableObject&) = delete;
  WaitableObject& operator=(const WaitableObject&) = delete;

  // Releases the handle (frees the object, after joining a thread).
  virtual void Close() = 0;
  virtual bool IsEvent() const = 0;
  virtual bool IsThread() const = 0;

  // Manual reset: every waiter passes until Reset. Auto reset: the first registered
  // waiter still unsatisfied passes and the object resets; with none, the object
  // stays signalled for the next wait.
  void Signal();
  void Reset();

  // The wait-any engine behind both wait calls: the index of the object whose signal
  // this thread took, or Waiter::kUnsatisfied after the time-out.
  static int WaitAny(std::span<WaitableObject* const> objects, DWORD milliseconds);

 protected:
  WaitableObject(bool manualReset, bool initiallySignalled)
      : manualReset_(manualReset), signalled_(initiallySignalled) {}
  virtual ~WaitableObject() = default;

 private:
  struct Registration {
    Waiter* waiter;
    int index;
  };

  // Takes the signal for `waiter` when the object is signalled, or registers it.
  // True when the waiter is satisfied (by this object or an earlier one).
  bool ClaimOrRegister(Waiter& waiter, int index);
  void Unregister(const Waiter& waiter);
  // With mutex_ held; true when the waiter took the signal.
  bool Satisfy(const Registration& registration);

  std::mutex mutex_;
  const bool manualReset_;
  bool signalled_;
  std::vector<Registration> waiters_;  // in the order they started waiting
};

}  // namespace platform
