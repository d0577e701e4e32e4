#pragma once
// Events, waitable thread handles and waits, shaped like the Windows calls that the
// CD reader and the playback engine are written against.
//
// A HANDLE is an event or a thread. Whoever creates it owns it and releases it with
// CloseHandle; a handle must not be closed while another thread still waits on it or
// uses it. Events and threads keep all their state in the handle itself (there is no
// process-wide table), so a run-time-loaded library with its own copy of this code can
// signal and wait on the program's handles.

#include <functional>

#include "platform/machine/WinTypes.h"

namespace platform {

class WaitableObject;
using HANDLE = WaitableObject*;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
inline constexpr DWORD STILL_ACTIVE = 259;

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

// A manual-reset event stays signalled until ResetEvent and releases every waiter; an
// auto-reset event releases exactly one waiter and resets itself. `eventAttributes`
// is ignored. Named events are not supported: a non-null `name` returns nullptr.
HANDLE CreateEventA(void* eventAttributes, BOOL manualReset, BOOL initialState,
                    const char* name);
// FALSE for a null handle or a thread handle.
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Starts a thread at once. Its handle becomes signalled when the thread has ended.
// CloseHandle waits for a running thread to end (it is joined, never left behind).
// The body must not let an exception escape (as with any thread, that ends the
// process). nullptr when no thread could be started.
HANDLE CreateThread(std::function<void()> body);
HANDLE CreateThread(LPTHREAD_START_ROUTINE start, void* parameter);
// The start routine's result once the thread has ended (0 for a std::function body),
// STILL_ACTIVE before. FALSE for a null handle or an event.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// WAIT_OBJECT_0 when the object is (or becomes) signalled within `milliseconds`
// (INFINITE: no limit), else WAIT_TIMEOUT; WAIT_FAILED for a null handle. Waiting
// consumes the signal of an auto-reset event.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
// Wait-any: WAIT_OBJECT_0 + the index of the first signalled handle in array order;
// only that one object's signal is consumed. WAIT_FAILED when `count` is 0 or above
// MAXIMUM_WAIT_OBJECTS, when a handle is null, or when `waitAll` is TRUE (not
// supported).
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll,
                             DWORD milliseconds);

// Frees an event; joins and frees a thread. FALSE for a null handle.
BOOL CloseHandle(HANDLE object);

}  // namespace platform
