#include "app/recording/RecordingThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <atomic>

namespace {

constexpr int kPollMs = 5;  // how soon a waiting caller notices the work is done

}  // namespace

RecordingThread::RecordingThread() : context_(std::make_unique<QObject>()) {
  thread_.setObjectName("recording");
  context_->moveToThread(&thread_);
  thread_.start();
}

RecordingThread::~RecordingThread() {
  // The quit is queued behind the work already posted, so that work still runs.
  QMetaObject::invokeMethod(context_.get(), [this] { thread_.quit(); }, Qt::QueuedConnection);
  thread_.wait();
  context_.reset();
}

bool RecordingThread::IsCurrent() const { return QThread::currentThread() == &thread_; }

void RecordingThread::Post(std::function<void()> work) {
  QMetaObject::invokeMethod(context_.get(), std::move(work), Qt::QueuedConnection);
}

void RecordingThread::Run(std::function<void()> work) {
  if (IsCurrent()) {
    work();
    return;
  }
  std::atomic<bool> done{false};
  Post([&done, &work] {
    work();
    done = true;  // the last touch of the caller's stack
  });
  // A loop of its own (not bare processEvents) so that code which must not run
  // inside a nested loop (closing the window on a signal) sees one and waits.
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(kPollMs);
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done) loop.quit();
  });
  poll.start();
  if (!done) loop.exec();
  // What the work queued for this thread before it ended (captions, boxes) is shown before returning.
  QCoreApplication::processEvents();
}
