// DriverProcess: runs tools/SafetyDriver (the real main window under the
// offscreen platform) as a child process with its own program folder, sends
// it commands and waits for the lines it prints. The child inherits
// PULSE_SERVER, so it records from the test's audio server.
#pragma once

#include <QProcess>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class DriverProcess {
 public:
  // `fileSizeLimit` (bytes): the child runs under that RLIMIT_FSIZE (ulimit -f).
  // `syncDelay`: every fsync and fdatasync of the child takes that much longer
  // (a disk that cannot keep up).
  explicit DriverProcess(const std::string& programFolder, std::optional<uint64_t> fileSizeLimit = std::nullopt,
                         std::chrono::milliseconds syncDelay = std::chrono::milliseconds(0));
  ~DriverProcess();  // kills a child still running

  bool Started() const { return started_; }
  void Send(const std::string& command);
  // The first line not yet consumed that starts with `prefix`; waits up to
  // `limit` for it (a guard against hangs, not a speed requirement).
  std::optional<std::string> WaitFor(const std::string& prefix,
                                     std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Whether a line starting with `prefix` and holding `containing` was printed
  // at any time, consumed or not; waits up to `limit` for it. For events whose
  // order the test does not fix (a message and the state it reports).
  bool Saw(const std::string& prefix, const std::string& containing = "",
           std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Every line printed so far.
  const std::vector<std::string>& Lines();
  // Lines starting with "MESSAGE " so far.
  std::vector<std::string> Messages();

  // Asks the window to close and waits for a clean exit; true when the child
  // ended by itself with status 0.
  bool Quit(std::chrono::milliseconds limit = std::chrono::seconds(20));
  void Kill();  // SIGKILL, as a crash or the task manager would
  void Signal(int number);  // as a logout, a plain kill or Ctrl+C would
  // Waits for the child to end; true when it ended by itself with status 0.
  bool EndedCleanly(std::chrono::milliseconds limit = std::chrono::seconds(20));

  static std::string ExecutablePath();

 private:
  void ReadAvailable();

  QProcess process_;
  bool started_ = false;
  std::string partial_;
  std::vector<std::string> lines_;
  size_t consumed_ = 0;  // lines_ before this index were returned by WaitFor
};
