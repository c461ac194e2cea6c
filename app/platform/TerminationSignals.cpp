#include "app/platform/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// Shared with the handler, which may touch nothing but lock-free atomics.
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<int64_t>::is_always_lock_free);
std::atomic<int> g_writeEnd{-1};
std::atomic<int64_t> g_firstSignalAt{0};  // CLOCK_MONOTONIC ns of the first signal; 0: none yet
std::atomic<int64_t> g_fallbackAfter{0};  // ns

int64_t MonotonicNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// Async-signal-safe throughout: atomics, clock_gettime, write, sigaction, raise.
void OnTerminationSignal(int number) {
  const int savedErrno = errno;
  const int64_t now = MonotonicNanoseconds();
  int64_t first = 0;
  if (g_firstSignalAt.compare_exchange_strong(first, now)) {
    const auto byte = static_cast<unsigned char>(number);
    // Non-blocking: with the pipe full a byte is waiting to be read anyway.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd.load(), &byte, 1);
  } else if (now - first >= g_fallbackAfter.load()) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(number, &fallback, nullptr);
    ::raise(number);  // blocked while this handler runs: takes effect as it returns
  }
  errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> requested, std::chrono::milliseconds fallbackAfter)
    : requested_(std::move(requested)) {
  g_firstSignalAt = 0;
  g_fallbackAfter = std::chrono::nanoseconds(fallbackAfter).count();
  Install();
#ifndef QT_NO_SESSIONMANAGER
  if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    // Raised after the session manager has its answer: the program must not end inside the request.
    connect(application, &QGuiApplication::commitDataRequest, this,
            [this] { QMetaObject::invokeMethod(this, &TerminationSignals::Raise, Qt::QueuedConnection); });
  }
#endif
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
  g_writeEnd = -1;
  notifier_.reset();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void TerminationSignals::Install() {
  if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  g_writeEnd = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::OnPipeReadable);

  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (const int number : kSignals) sigaddset(&action.sa_mask, number);  // one handler at a time
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], nullptr, &previous_[i]);
    if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr);
  }
}

void TerminationSignals::OnPipeReadable() {
  char bytes[16];
  while (::read(pipe_[0], bytes, sizeof bytes) > 0) {
  }
  Raise();
}

void TerminationSignals::Raise() {
  if (raised_) return;
  raised_ = true;
  if (requested_) requested_();
}
