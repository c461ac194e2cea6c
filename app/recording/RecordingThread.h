// RecordingThread: the thread that owns a recording's work (capture buffers,
// effects, encoder, every file write and sync). It runs a Qt event loop, so
// the capture engine's buffers come back to it; work is handed to it as
// functions that run there one at a time, in the order they were posted.
#pragma once

#include <QThread>
#include <functional>
#include <memory>

class QObject;

class RecordingThread {
 public:
  RecordingThread();   // starts the thread
  ~RecordingThread();  // runs what was posted, then ends the thread
  RecordingThread(const RecordingThread&) = delete;
  RecordingThread& operator=(const RecordingThread&) = delete;

  // Any thread: runs `work` on the recording thread after what was posted before.
  void Post(std::function<void()> work);
  // Runs `work` on the recording thread and returns when it has run; the
  // calling thread's event loop keeps turning meanwhile (the window stays
  // alive and answers questions the work asks), and what the work queued for
  // the calling thread has been handled. Runs it directly when called on the
  // recording thread.
  void Run(std::function<void()> work);
  bool IsCurrent() const;

 private:
  QThread thread_;
  std::unique_ptr<QObject> context_;  // lives on the thread; posted work runs through it
};
