// CallbackWindow: handle registry and Qt-queued delivery of posted messages.
#include "capture/compat/CallbackWindow.h"

#include <QMetaObject>
#include <QObject>
#include <map>
#include <mutex>

class CallbackWindow::Queue {
 public:
  QObject context;  // lives on the owner thread; posted calls run there
};

namespace {

// Live windows by handle. Guarded by the mutex because drivers post from the
// audio server's thread while the recording thread creates and destroys windows.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<WindowHandle, CallbackWindow*>& Registry() {
  static std::map<WindowHandle, CallbackWindow*> windows;
  return windows;
}

WindowHandle NextHandle() {
  static WindowHandle next = 0;
  return ++next;  // called under the registry mutex
}

}  // namespace

CallbackWindow::CallbackWindow(WindowHandle handle, std::string caption)
    : handle_(handle),
      caption_(std::move(caption)),
      ownerThread_(std::this_thread::get_id()),
      procedure_([](WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; }),
      queue_(std::make_unique<Queue>()) {}

std::shared_ptr<CallbackWindow> CallbackWindow::Create(std::string caption) {
  std::lock_guard lock(RegistryMutex());
  std::shared_ptr<CallbackWindow> window(new CallbackWindow(NextHandle(), std::move(caption)));
  Registry()[window->handle_] = window.get();
  return window;
}

CallbackWindow::~CallbackWindow() {
  // Unregister first: after this no thread can queue a call on our context.
  std::lock_guard lock(RegistryMutex());
  Registry().erase(handle_);
}

std::shared_ptr<CallbackWindow> CallbackWindow::FromHandle(WindowHandle hWnd) {
  std::lock_guard lock(RegistryMutex());
  const auto found = Registry().find(hWnd);
  if (found == Registry().end()) return nullptr;
  return found->second->weak_from_this().lock();
}

bool CallbackWindow::PostMessage(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam,
                                 intptr_t lParam) {
  std::lock_guard lock(RegistryMutex());
  const auto found = Registry().find(hWnd);
  if (found == Registry().end()) return false;
  // Only a weak reference crosses threads, so the window is always destroyed
  // on its own thread.
  std::weak_ptr<CallbackWindow> target = found->second->weak_from_this();
  QMetaObject::invokeMethod(
      &found->second->queue_->context,
      [target = std::move(target), uMsg, wParam, lParam] {
        if (const auto window = target.lock()) window->SendMessage(uMsg, wParam, lParam);
      },
      Qt::QueuedConnection);
  return true;
}

intptr_t CallbackWindow::SendMessage(uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
  const auto keepAlive = shared_from_this();
  // A copy, so that a procedure that replaces itself keeps running intact.
  const WindowProcedure procedure = procedure_;
  return procedure(handle_, uMsg, wParam, lParam);
}

WindowProcedure CallbackWindow::SetWindowProc(WindowProcedure procedure) {
  WindowProcedure previous = std::move(procedure_);
  procedure_ = std::move(procedure);
  return previous;
}
