#include "platform/sync/internal/WaitableObject.h"

#include <algorithm>
#include <chrono>

namespace platform {

bool WaitableObject::Satisfy(const Registration& registration) {
  Waiter& waiter = *registration.waiter;
  std::lock_guard<std::mutex> lock(waiter.mutex);
  if (waiter.satisfiedIndex != Waiter::kUnsatisfied) return false;
  waiter.satisfiedIndex = registration.index;
  waiter.wakeup.notify_one();
  return true;
}

void WaitableObject::Signal() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = true;
  for (const Registration& registration : waiters_) {
    if (Satisfy(registration) && !manualReset_) {
      signalled_ = false;
      return;
    }
  }
}

void WaitableObject::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool WaitableObject::ClaimOrRegister(Waiter& waiter, int index) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::lock_guard<std::mutex> waiterLock(waiter.mutex);
  // An object signalled while the scan was going on may already have satisfied the
  // waiter: then it must not take this object's signal as well.
  if (waiter.satisfiedIndex != Waiter::kUnsatisfied) return true;
  if (signalled_) {
    waiter.satisfiedIndex = index;
    if (!manualReset_) signalled_ = false;
    return true;
  }
  waiters_.push_back({&waiter, index});
  return false;
}

void WaitableObject::Unregister(const Waiter& waiter) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(waiters_, [&](const Registration& r) { return r.waiter == &waiter; });
}

int WaitableObject::WaitAny(std::span<WaitableObject* const> objects, DWORD milliseconds) {
  Waiter waiter;
  size_t registered = 0;
  for (size_t i = 0; i < objects.size(); ++i) {
    if (objects[i]->ClaimOrRegister(waiter, static_cast<int>(i))) break;
    registered = i + 1;
  }
  {
    std::unique_lock<std::mutex> lock(waiter.mutex);
    const auto satisfied = [&] { return waiter.satisfiedIndex != Waiter::kUnsatisfied; };
    if (milliseconds == INFINITE) {
      waiter.wakeup.wait(lock, satisfied);
    } else {
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
      waiter.wakeup.wait_until(lock, deadline, satisfied);
    }
  }
  // A signal that arrives after the time-out but before unregistration has already
  // been handed to this waiter (and consumed): it counts, so nothing is lost.
  for (size_t i = 0; i < registered; ++i) objects[i]->Unregister(waiter);
  std::lock_guard<std::mutex> lock(waiter.mutex);
  return waiter.satisfiedIndex;
}

}  // namespace platform
