#include "platform/sync/Sync.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/sync/internal/WaitableObject.h"

namespace platform {
namespace {

class EventObject final : public WaitableObject {
 public:
  EventObject(bool manualReset, bool initiallySignalled)
      : WaitableObject(manualReset, initiallySignalled) {}

  void Close() override { delete this; }
  bool IsEvent() const override { return true; }
  bool IsThread() const override { return false; }

 private:
  ~EventObject() override = default;
};

// Signalled (for good) when its body has returned.
class ThreadObject final : public WaitableObject {
 public:
  explicit ThreadObject(std::function<DWORD()> body) : WaitableObject(true, false) {
    thread_ = std::thread([this, body = std::move(body)] { Run(body); });
  }

  void Close() override {
    // A thread that closes its own handle cannot join itself: it is left to run
    // out and frees the object on its way out.
    if (thread_.get_id() == std::this_thread::get_id()) {
      closedByItself_ = true;
      thread_.detach();
      return;
    }
    thread_.join();
    delete this;
  }
  bool IsEvent() const override { return false; }
  bool IsThread() const override { return true; }

  DWORD ExitCode() const { return exitCode_; }

 private:
  ~ThreadObject() override = default;

  void Run(const std::function<DWORD()>& body) {
    exitCode_ = body();
    Signal();
    if (closedByItself_) delete this;
  }

  std::thread thread_;
  std::atomic<DWORD> exitCode_{STILL_ACTIVE};
  bool closedByItself_ = false;  // only the thread itself writes and reads it
};

HANDLE StartThread(std::function<DWORD()> body) {
  try {
    return new ThreadObject(std::move(body));
  } catch (const std::system_error&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

HANDLE CreateEventA(void* /*eventAttributes*/, BOOL manualReset, BOOL initialState,
                    const char* name) {
  if (name != nullptr) return nullptr;
  return new EventObject(manualReset != FALSE, initialState != FALSE);
}

BOOL SetEvent(HANDLE event) {
  if (event == nullptr || !event->IsEvent()) return FALSE;
  event->Signal();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  if (event == nullptr || !event->IsEvent()) return FALSE;
  event->Reset();
  return TRUE;
}

HANDLE CreateThread(std::function<void()> body) {
  if (!body) return nullptr;
  return StartThread([body = std::move(body)]() -> DWORD {
    body();
    return 0;
  });
}

HANDLE CreateThread(LPTHREAD_START_ROUTINE start, void* parameter) {
  if (start == nullptr) return nullptr;
  return StartThread([start, parameter] { return start(parameter); });
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  if (thread == nullptr || exitCode == nullptr || !thread->IsThread()) return FALSE;
  *exitCode = static_cast<const ThreadObject*>(thread)->ExitCode();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll,
                             DWORD milliseconds) {
  if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || objects == nullptr || waitAll != FALSE)
    return WAIT_FAILED;
  const std::span<WaitableObject* const> waited(objects, count);
  if (std::find(waited.begin(), waited.end(), nullptr) != waited.end()) return WAIT_FAILED;
  const int index = WaitableObject::WaitAny(waited, milliseconds);
  if (index == Waiter::kUnsatisfied) return WAIT_TIMEOUT;
  return WAIT_OBJECT_0 + static_cast<DWORD>(index);
}

BOOL CloseHandle(HANDLE object) {
  if (object == nullptr) return FALSE;
  object->Close();
  return TRUE;
}

}  // namespace platform
