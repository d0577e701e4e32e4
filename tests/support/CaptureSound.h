#pragma once
// The capture sound backend: records the frames of the buffers it plays, as played and
// before any conversion. Its play cursors move only when a caller reads a position
// (a fixed step each time), never by the clock, so what it records does not depend on
// the machine's speed. It can refuse any one call, to reach every failure path.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dsound/SoundBackend.h"

namespace soundtest {

// The call that the capture device refuses (or, for LostBuffer / LostTwice, the lock
// that finds the buffer lost once / also after the restore).
enum class Refuse {
  Nothing, Create, PrimaryBuffer, PrimaryFormat, SecondaryBuffer, NotifyInterface, NotificationPositions,
  Lock, LostBuffer, LostTwice, Unlock, SetPosition, Play,
};

struct CaptureOptions {
  platform::DWORD stepBytes = 8192;  // cursor step per position read
  Refuse refuse = Refuse::Nothing;
  bool holdBufferCreation = false;  // CreateSoundBuffer waits for ReleaseBufferCreation
};

// What the capture device saw. One at a time: Install replaces the previous one.
class Capture {
 public:
  // Installs the capture backend (drivers "Capture A" and "Capture B", both with a
  // GUID) as the only sound output, and returns its fresh record.
  static Capture& Install(const CaptureOptions& options = {});
  static void Uninstall();

  // Words of the secondary buffers as played, in order.
  std::vector<int16_t> Words();
  // Waits until `count` words are recorded; false after a minute (a hang guard).
  bool WaitForWords(size_t count);
  // What happened, in order: "create N" / "release N" for secondary buffer N,
  // "device <description>" for each device; each with the words recorded by then.
  struct Event {
    std::string what;
    size_t words;
  };
  std::vector<Event> Log();
  int buffersAlive();
  // Lets held CreateSoundBuffer calls go on.
  void ReleaseBufferCreation();

  // For the backend's own objects.
  void Record(const uint8_t* bytes, platform::DWORD count);
  void Note(const std::string& event, int aliveChange = 0);
  void HoldCreation();
  const CaptureOptions options;

 private:
  explicit Capture(const CaptureOptions& o) : options(o) {}
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int16_t> words_;
  std::vector<Event> log_;
  int alive_ = 0;
  bool creationReleased_ = false;
};

}  // namespace soundtest
