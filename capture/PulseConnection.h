// PulseConnection: one connection to the audio server on a libpulse threaded
// main loop, shared by the capture driver and the source mixer. Every wait is
// bounded by the timeout, so no call hangs on a dead or stuck server; a failed
// connection is made anew at the next use.
//
// A hung server costs one timeout, not one per call (a stop or a start-up
// makes several in a row): once a wait has timed out, the connection counts
// as hung, its later waits give up at once, and for one timeout's length it
// does not try to connect anew. After that the next use connects afresh.
// Connecting waits half the timeout: a local server answers at once.
//
// Use: take a Lock, call EnsureConnected, issue libpulse calls, and wait for
// their completion with WaitOperation or WaitUntil (which release the lock
// while waiting). Callbacks run on the main loop thread with the lock held.
#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>
#include <string>

class PulseConnection {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

  explicit PulseConnection(std::string clientName,
                           std::chrono::milliseconds timeout = kDefaultTimeout);
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  // Holds the main loop lock for its lifetime. Not for the main loop thread.
  class Lock {
   public:
    explicit Lock(PulseConnection& connection);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* mainloop_;
  };

  // With the lock held: true when a ready context exists (connecting first if
  // needed, at most one timeout long).
  bool EnsureConnected();
  pa_context* Context() const { return context_; }
  pa_threaded_mainloop* Mainloop() const { return mainloop_; }
  // The server's words for the context's last error.
  std::string LastError() const;

  // With the lock held: waits until `done` is true or the timeout passes.
  bool WaitUntil(const std::function<bool()>& done);
  // With the lock held: waits for `operation` (may be nullptr: false), cancels
  // it on timeout, and unreferences it. True when it completed.
  bool WaitOperation(pa_operation* operation);
  // With the lock held: waits until `stream` is ready or has failed; true when ready.
  // Its state callback must Signal.
  bool WaitStreamReady(pa_stream* stream);
  // Wakes the thread waiting in WaitUntil; for libpulse callbacks.
  void Signal() { pa_threaded_mainloop_signal(mainloop_, 0); }

  // Waits of all connections of this process that ran into their timeout.
  static int64_t TimedOutWaits();

 private:
  void Disconnect();
  // Hung, and the timeout that showed it is less than one timeout ago.
  bool RecentlyHung() const;
  void NoteTimeout();
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  const std::string clientName_;
  const std::chrono::milliseconds timeout_;
  pa_threaded_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  bool started_ = false;
  bool hung_ = false;  // a wait on this context timed out
  std::chrono::steady_clock::time_point hungAt_{};
};
