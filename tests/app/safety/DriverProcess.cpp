#include "tests/app/safety/DriverProcess.h"

#include <algorithm>

#include <sys/resource.h>
#include <csignal>

#include <QDeadlineTimer>
#include <iostream>

#ifndef TAMBLIN_SAFETY_DRIVER
#error "TAMBLIN_SAFETY_DRIVER must name the driver executable"
#endif
#ifndef TAMBLIN_SLOW_SYNC_PRELOAD
#error "TAMBLIN_SLOW_SYNC_PRELOAD must name the module that slows syncs"
#endif

DriverProcess::DriverProcess(const std::string& programFolder, std::optional<uint64_t> fileSizeLimit,
                             std::chrono::milliseconds syncDelay) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  if (syncDelay.count() > 0) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LD_PRELOAD", TAMBLIN_SLOW_SYNC_PRELOAD);
    environment.insert("TAMBLIN_SYNC_DELAY_MS", QString::number(syncDelay.count()));
    process_.setProcessEnvironment(environment);
  }
  if (fileSizeLimit) {
    process_.setChildProcessModifier([limit = static_cast<rlim_t>(*fileSizeLimit)] {
      const rlimit fileSize{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &fileSize);
    });
  }
  process_.start(QString::fromStdString(ExecutablePath()), {QString::fromStdString(programFolder)});
  started_ = process_.waitForStarted(10000);
}

DriverProcess::~DriverProcess() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

std::string DriverProcess::ExecutablePath() { return TAMBLIN_SAFETY_DRIVER; }

void DriverProcess::Send(const std::string& command) {
  process_.write((command + "\n").c_str());
  process_.waitForBytesWritten(5000);
}

void DriverProcess::ReadAvailable() {
  partial_ += process_.readAllStandardOutput().toStdString();
  for (size_t end = partial_.find('\n'); end != std::string::npos; end = partial_.find('\n')) {
    lines_.push_back(partial_.substr(0, end));
    partial_.erase(0, end + 1);
  }
}

std::optional<std::string> DriverProcess::WaitFor(const std::string& prefix, std::chrono::milliseconds limit) {
  const QDeadlineTimer deadline(limit.count());
  while (true) {
    ReadAvailable();
    for (; consumed_ < lines_.size(); ++consumed_) {
      if (lines_[consumed_].rfind(prefix, 0) == 0) return lines_[consumed_++];
    }
    if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) break;
    process_.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 200)));
  }
  ReadAvailable();
  for (; consumed_ < lines_.size(); ++consumed_) {
    if (lines_[consumed_].rfind(prefix, 0) == 0) return lines_[consumed_++];
  }
  return std::nullopt;
}

bool DriverProcess::Saw(const std::string& prefix, const std::string& containing, std::chrono::milliseconds limit) {
  const QDeadlineTimer deadline(limit.count());
  const auto printed = [&] {
    ReadAvailable();
    return std::any_of(lines_.begin(), lines_.end(), [&](const std::string& line) {
      return line.rfind(prefix, 0) == 0 && line.find(containing) != std::string::npos;
    });
  };
  while (!printed()) {
    if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) return printed();
    process_.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 200)));
  }
  return true;
}

const std::vector<std::string>& DriverProcess::Lines() {
  ReadAvailable();
  return lines_;
}

std::vector<std::string> DriverProcess::Messages() {
  std::vector<std::string> messages;
  for (const auto& line : Lines()) {
    if (line.rfind("MESSAGE ", 0) == 0) messages.push_back(line);
  }
  return messages;
}

bool DriverProcess::Quit(std::chrono::milliseconds limit) {
  if (process_.state() == QProcess::NotRunning) return false;
  Send("quit");
  return EndedCleanly(limit);
}

void DriverProcess::Signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }

bool DriverProcess::EndedCleanly(std::chrono::milliseconds limit) {
  const bool ended = process_.waitForFinished(static_cast<int>(limit.count()));
  ReadAvailable();
  return ended && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

void DriverProcess::Kill() {
  process_.kill();
  process_.waitForFinished(5000);
  ReadAvailable();
}
