#include "app/RecordingThread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <atomic>

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
    done = true;  // last touch of the caller's stack
    // Wakes the caller's wait below; the application object outlives both threads.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  // What the work queued for this thread before it ended (captions, boxes) is shown before returning.
  QCoreApplication::processEvents();
}
