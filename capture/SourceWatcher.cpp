// SourceWatcher: a source-event subscription on a connection of its own,
// delivered through a callback window to the creating thread.
#include "capture/SourceWatcher.h"

#include <QTimer>
#include <atomic>

#include "capture/compat/CallbackWindow.h"
#include "capture/PulseConnection.h"

namespace {

constexpr uint32_t kSourcesChangedMessage = 0x3D0;
// Short waits: the retry runs on the UI thread.
constexpr std::chrono::milliseconds kConnectTimeout{500};
constexpr int kRetryMilliseconds = 2000;

}  // namespace

class SourceWatcher::Subscription {
 public:
  explicit Subscription(SourceWatcher& owner)
      : connection_("Tamblin device list", kConnectTimeout), window_(CallbackWindow::Create("SourceWatcher")) {
    window_->SetWindowProc([&owner, this](WindowHandle, uint32_t uMsg, uintptr_t, intptr_t) -> intptr_t {
      if (uMsg != kSourcesChangedMessage) return 0;
      pending_ = false;
      owner.Notify();
      return 0;
    });
    retry_.setInterval(kRetryMilliseconds);
    QObject::connect(&retry_, &QTimer::timeout, [&owner] { owner.Reconnect(); });
  }

  ~Subscription() {
    PulseConnection::Lock lock(connection_);
    if (pa_context* context = connection_.Context()) {
      pa_context_set_subscribe_callback(context, nullptr, nullptr);
      pa_context_set_state_callback(context, nullptr, nullptr);
    }
  }

  // True when subscribed now (connecting first when needed).
  bool Subscribe() {
    PulseConnection::Lock lock(connection_);
    if (connected_ && connection_.EnsureConnected()) return true;
    connected_ = false;
    if (!connection_.EnsureConnected()) return false;
    pa_context* context = connection_.Context();
    pa_context_set_subscribe_callback(context, &Subscription::OnEvent, this);
    // Replaces the connection's own state callback, which only matters while
    // connecting: a failed context afterwards is a vanished server.
    pa_context_set_state_callback(context, &Subscription::OnState, this);
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
    if (!connection_.WaitOperation(pa_context_subscribe(context, mask, nullptr, nullptr))) return false;
    connected_ = true;
    return true;
  }

  bool Connected() const { return connected_; }
  QTimer& Retry() { return retry_; }

 private:
  // Main loop thread, lock held.
  static void OnEvent(pa_context*, pa_subscription_event_type_t, uint32_t, void* self) {
    static_cast<Subscription*>(self)->Post();
  }
  static void OnState(pa_context* context, void* self) {
    auto* subscription = static_cast<Subscription*>(self);
    subscription->connection_.Signal();
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
      subscription->connected_ = false;
      subscription->Post();
    }
  }
  void Post() {
    if (!pending_.exchange(true)) CallbackWindow::PostMessage(window_->Handle(), kSourcesChangedMessage, 0, 0);
  }

  PulseConnection connection_;
  std::shared_ptr<CallbackWindow> window_;
  QTimer retry_;
  std::atomic<bool> pending_{false};
  std::atomic<bool> connected_{false};
};

SourceWatcher::SourceWatcher() : subscription_(std::make_unique<Subscription>(*this)) { Reconnect(); }

SourceWatcher::~SourceWatcher() = default;

bool SourceWatcher::Watching() const { return subscription_->Connected(); }

void SourceWatcher::Reconnect() {
  if (subscription_->Subscribe()) {
    subscription_->Retry().stop();
    if (lost_) {  // back after a loss: whatever happened meanwhile is news
      lost_ = false;
      Notify();
    }
  } else {
    // Sources added or removed before the subscription is (back) in place are
    // told once it is: the list was read without it.
    lost_ = true;
    if (!subscription_->Retry().isActive()) subscription_->Retry().start();
  }
}

void SourceWatcher::Notify() {
  if (!subscription_->Connected()) {
    lost_ = true;
    if (!subscription_->Retry().isActive()) subscription_->Retry().start();
  }
  if (SourcesChanged) SourcesChanged();
}
