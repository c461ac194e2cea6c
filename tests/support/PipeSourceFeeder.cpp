// PipeSourceFeeder: loads a pipe source with pactl and paces samples into it.
#include "tests/support/PipeSourceFeeder.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/ShellCommand.h"

PipeSourceFeeder::PipeSourceFeeder(std::string sourceName, int32_t rate, int32_t channels,
                                   std::string description)
    : sourceName_(std::move(sourceName)),
      description_(std::move(description)),
      rate_(rate),
      channels_(channels) {
  // A reader that vanishes (daemon killed) must give EPIPE, not end the test.
  ::signal(SIGPIPE, SIG_IGN);
  fifoPath_ = (std::filesystem::temp_directory_path() / (sourceName_ + ".fifo")).string();
  std::error_code ignored;
  std::filesystem::remove(fifoPath_, ignored);
  const std::string arguments = "source_name=" + sourceName_ + " file=" + fifoPath_ +
                                " format=s16le rate=" + std::to_string(rate_) +
                                " channels=" + std::to_string(channels_) +
                                " source_properties=device.description=" + description_;
  const ShellResult loaded =
      RunShellCommand("pactl load-module module-pipe-source " + ShellQuote(arguments));
  if (loaded.exitCode == 0 && !loaded.output.empty()) {
    moduleIndex_ = std::atoi(loaded.output.c_str());
  }
}

PipeSourceFeeder::~PipeSourceFeeder() {
  StopFeeding();
  Unload();
  std::error_code ignored;
  std::filesystem::remove(fifoPath_, ignored);
}

void PipeSourceFeeder::Unload() {
  if (moduleIndex_ < 0) return;
  RunShellCommand("pactl unload-module " + std::to_string(moduleIndex_) + " 2>/dev/null");
  moduleIndex_ = -1;
}

std::string PipeSourceFeeder::UniqueName(const std::string& prefix) {
  static std::atomic<int> counter{0};
  return prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

void PipeSourceFeeder::Feed(std::vector<int16_t> samples, double speed) {
  Start(std::move(samples), speed, Mode::Once);
}

void PipeSourceFeeder::FeedLive(std::vector<int16_t> samples) { Start(std::move(samples), 1.0, Mode::Live); }

void PipeSourceFeeder::FeedContinuously(double speed) {
  std::vector<int16_t> pattern(static_cast<size_t>(rate_ * channels_) / 10);  // 100 ms
  for (size_t i = 0; i < pattern.size(); ++i) {
    pattern[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
  }
  Start(std::move(pattern), speed, Mode::Repeat);
}

void PipeSourceFeeder::Start(std::vector<int16_t> samples, double speed, Mode mode) {
  WaitFed();
  stop_ = false;
  written_ = 0;
  dropped_ = 0;
  feeder_ = std::thread(&PipeSourceFeeder::FeedLoop, this, std::move(samples), speed, mode);
}

size_t PipeSourceFeeder::WaitFed() {
  if (feeder_.joinable()) feeder_.join();
  return written_;
}

void PipeSourceFeeder::StopFeeding() {
  stop_ = true;
  WaitFed();
}

void PipeSourceFeeder::FeedLoop(std::vector<int16_t> samples, double speed, Mode mode) {
  const bool repeat = mode == Mode::Repeat;
  const bool live = mode == Mode::Live;
  // Non-blocking: with no reader (the server is gone) the open fails at once,
  // and a reader that stops reading cannot hold this thread past the stop
  // flag or kStallLimit.
  const int fd = ::open(fifoPath_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  // A source nobody records may not read its pipe: what it cannot take is gone.
  const int mirror = mirrorPath_.empty() ? -1 : ::open(mirrorPath_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  // A deep pipe rides out a feeder held up by a busy machine: a server that
  // fills an empty pipe with silence (PipeWire does) then sees no gap.
  ::fcntl(fd, F_SETPIPE_SZ, kPipeBytes);
  const auto* bytes = reinterpret_cast<const char*>(samples.data());
  const size_t total = samples.size() * sizeof(int16_t);
  const double bytesPerSecond = static_cast<double>(rate_) * channels_ * 2 * speed;
  const auto start = std::chrono::steady_clock::now();
  auto lastProgress = start;
  size_t sent = 0;  // over all repetitions, for pacing
  size_t at = 0;
  while (!stop_ && (repeat || at < total)) {
    if (at >= total) at = 0;
    const size_t chunk = std::min(kChunkBytes, total - at);
    pollfd writable{fd, POLLOUT, 0};
    if (!live && ::poll(&writable, 1, kPollMilliseconds) < 0 && errno != EINTR) break;
    // A chunk is at most PIPE_BUF bytes: written whole or not at all.
    const ssize_t put = ::write(fd, bytes + at, chunk);
    if (put < 0 && errno != EAGAIN && errno != EINTR) break;  // EPIPE: the reader is gone
    const bool muted = at >= muteFrom_ && at < muteFrom_ + muteBytes_;
    if (put > 0 && mirror >= 0 && !muted) (void)!::write(mirror, bytes + at, static_cast<size_t>(put));
    const auto now = std::chrono::steady_clock::now();
    size_t advanced = put > 0 ? static_cast<size_t>(put) : 0;
    if (live) {
      dropped_ += chunk - advanced;  // gone, as from a microphone nobody reads
      advanced = chunk;
    } else if (advanced == 0) {
      if (now - lastProgress > kStallLimit) break;
      continue;
    }
    lastProgress = now;
    at += advanced;
    sent += advanced;
    written_ = repeat ? sent : at;
    const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(sent / bytesPerSecond));
    // Paced in short naps, so a stop is seen at once even at the slowest rates.
    while (!stop_ && std::chrono::steady_clock::now() < due) {
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          due - std::chrono::steady_clock::now(), std::chrono::milliseconds(kPollMilliseconds)));
    }
  }
  ::close(fd);
  if (mirror >= 0) ::close(mirror);
}
