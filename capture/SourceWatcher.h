// SourceWatcher: tells its owner when the audio server's list of input devices
// may have changed (a source appeared, vanished or was renamed; the server
// went away or came back), so a device list can follow while the program runs.
// Bursts of server events are folded into one notification. While no server is
// reachable the watcher retries about every two seconds.
//
// The notification runs on the thread that created the watcher (the UI
// thread, which must run a Qt event loop); it never runs after destruction.
#pragma once

#include <functional>
#include <memory>

class SourceWatcher {
 public:
  SourceWatcher();
  ~SourceWatcher();
  SourceWatcher(const SourceWatcher&) = delete;
  SourceWatcher& operator=(const SourceWatcher&) = delete;

  // Raised on the creating thread after sources changed.
  std::function<void()> SourcesChanged;

  // True while subscribed to a live server.
  bool Watching() const;

 private:
  class Subscription;
  void Reconnect();
  void Notify();

  std::unique_ptr<Subscription> subscription_;
  bool lost_ = false;  // the server went away since the last notification
};
