// PrivatePulseDaemon: starts and stops a private daemon through the project's
// pulse-private.sh script.
#include "tests/support/PrivatePulseDaemon.h"

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "tests/support/ShellCommand.h"

namespace {

std::string MakeTempFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "tamblin-pulse.XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace

std::string PrivatePulseDaemon::ScriptPath() {
  if (const char* script = std::getenv("TAMBLIN_TEST_PULSE_SCRIPT")) return script;
  if (const char* source = std::getenv("TAMBLIN_SOURCE_DIR")) {
    return std::string(source) + "/scripts/pulse-private.sh";
  }
  return std::string(TAMBLIN_DEFAULT_SOURCE_DIR) + "/scripts/pulse-private.sh";
}

PrivatePulseDaemon::PrivatePulseDaemon(bool withTone) {
  folder_ = MakeTempFolder();
  if (folder_.empty()) return;
  const ShellResult started = RunShellCommand(
      ShellQuote(ScriptPath()) + " start " + ShellQuote(folder_) + (withTone ? " --tone" : ""));
  const std::string prefix = "PULSE_SERVER=";
  const auto at = started.output.find(prefix);
  if (started.exitCode != 0 || at == std::string::npos) return;
  server_ = started.output.substr(at + prefix.size());
  while (!server_.empty() && (server_.back() == '\n' || server_.back() == '\r')) {
    server_.pop_back();
  }
  if (const char* previous = std::getenv("PULSE_SERVER")) previousServer_ = previous;
  ::setenv("PULSE_SERVER", server_.c_str(), 1);
  running_ = true;
}

PrivatePulseDaemon::~PrivatePulseDaemon() {
  Stop();
  if (!server_.empty()) {
    if (previousServer_) {
      ::setenv("PULSE_SERVER", previousServer_->c_str(), 1);
    } else {
      ::unsetenv("PULSE_SERVER");
    }
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

void PrivatePulseDaemon::Stop() {
  if (!running_) return;
  Thaw();  // a frozen daemon cannot act on TERM
  RunShellCommand(ShellQuote(ScriptPath()) + " stop " + ShellQuote(folder_));
  running_ = false;
}

std::string PrivatePulseDaemon::Log() const {
  std::ifstream log(folder_ + "/daemon.log");
  std::stringstream text;
  text << log.rdbuf();
  return text.str();
}

bool EnsurePulseServer() {
  if (std::getenv("PULSE_SERVER") != nullptr) return true;
  // Lives until exit; its destructor stops the daemon.
  static std::unique_ptr<PrivatePulseDaemon> shared;
  if (!shared) shared = std::make_unique<PrivatePulseDaemon>();
  return shared->Running();
}

bool ServerIsPipeWire() {
  const ShellResult info = RunShellCommand("pactl info");
  return info.exitCode == 0 && info.output.find("on PipeWire") != std::string::npos;
}

int PrivatePulseDaemon::Pid() const {
  if (!running_) return 0;
  std::ifstream pidFile(folder_ + "/daemon.pid");
  int pid = 0;
  pidFile >> pid;
  return pid;
}

void PrivatePulseDaemon::Freeze() {
  if (const int pid = Pid(); pid > 0) ::kill(pid, SIGSTOP);
}

void PrivatePulseDaemon::Thaw() {
  if (const int pid = Pid(); pid > 0) ::kill(pid, SIGCONT);
}
