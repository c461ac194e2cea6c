// PrivatePulseDaemon: a PulseAudio daemon of the test's own, started with
// scripts/pulse-private.sh in a fresh temporary folder (socket, runtime dir,
// log). It offers the null sink "tamblin_null"; tests add pipe sources with
// PipeSourceFeeder.
//
//   PrivatePulseDaemon daemon;             // starts it, sets PULSE_SERVER
//   ASSERT_TRUE(daemon.Running()) << daemon.Log();
//   ... libpulse clients and pactl of this process now use it ...
//   daemon.Stop();                         // kills it (server-loss tests)
//
// The constructor points PULSE_SERVER of this process at the new daemon; the
// destructor stops the daemon, restores the previous PULSE_SERVER and removes
// the folder. Tests that kill or disturb a daemon must use one of their own;
// tests that only need some server call EnsurePulseServer().
//
// The script is found through TAMBLIN_TEST_PULSE_SCRIPT, else
// $TAMBLIN_SOURCE_DIR/scripts/pulse-private.sh, else the source tree the test
// was built from.
#pragma once

#include <optional>
#include <string>

class PrivatePulseDaemon {
 public:
  // Starts the daemon and waits (up to about 5 s, inside the script) until it
  // answers. `withTone` adds the 440 Hz source "tamblin_tone".
  explicit PrivatePulseDaemon(bool withTone = false);
  ~PrivatePulseDaemon();
  PrivatePulseDaemon(const PrivatePulseDaemon&) = delete;
  PrivatePulseDaemon& operator=(const PrivatePulseDaemon&) = delete;

  // True when the daemon started and answered.
  bool Running() const { return running_; }
  // The server address, "unix:<folder>/native".
  const std::string& Server() const { return server_; }
  // The daemon's log file text, for failure messages.
  std::string Log() const;
  // The daemon's process id, 0 when not running.
  int Pid() const;
  // Stops the daemon now (TERM, then KILL after 2.5 s). PULSE_SERVER keeps
  // pointing at the dead socket until the object is destroyed, so clients see
  // a vanished server. Safe to call twice.
  void Stop();

  // Freezes the daemon (SIGSTOP): it keeps its socket but answers nothing, as
  // a hung server would. Thaw (SIGCONT) lets it go on. Both no-ops when it is
  // not running.
  void Freeze();
  void Thaw();

  // Path of scripts/pulse-private.sh as described above.
  static std::string ScriptPath();

 private:
  std::string folder_;
  std::string server_;
  std::optional<std::string> previousServer_;
  bool running_ = false;
};

// Makes sure this process has an audio server: when PULSE_SERVER is unset
// (test run by hand, not through scripts/test.sh) starts one private daemon for
// the whole process, stopped at exit. Returns false when none could be started.
bool EnsurePulseServer();

// True when the current server (PULSE_SERVER) is PipeWire's, as `pactl info`
// reports it. Its pipe sources run on the graph clock: silence while the pipe
// is short of a graph cycle, and only whole cycles are read.
bool ServerIsPipeWire();
