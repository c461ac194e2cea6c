// CallbackWindow: a hidden "window" of our own that lives on the thread that
// created it (the recording thread) and receives messages there, one at a time, through
// its window procedure. Other threads (the audio server's) post messages to it
// by handle; a posted message is dispatched from the creating thread's Qt event
// loop, so that thread must run one (QCoreApplication or QApplication).
//
// Handles are small positive numbers, never reused within a process; a message
// posted to a handle whose window is gone is dropped. The window procedure can
// be replaced (the message hook puts itself in front of the previous one).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

using WindowHandle = int32_t;

// (window, message, wParam, lParam) -> the message's result.
using WindowProcedure =
    std::function<intptr_t(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam)>;

class CallbackWindow : public std::enable_shared_from_this<CallbackWindow> {
 public:
  // Creates a window owned by the calling thread. Its first procedure answers
  // every message with 0, like a static control.
  static std::shared_ptr<CallbackWindow> Create(std::string caption);
  ~CallbackWindow();
  CallbackWindow(const CallbackWindow&) = delete;
  CallbackWindow& operator=(const CallbackWindow&) = delete;

  // The live window with this handle, or nullptr (the IsWindow test).
  static std::shared_ptr<CallbackWindow> FromHandle(WindowHandle hWnd);
  // Queues the message for the window's thread; any thread. False when no
  // window has that handle.
  static bool PostMessage(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);

  WindowHandle Handle() const { return handle_; }
  const std::string& Caption() const { return caption_; }
  std::thread::id OwnerThread() const { return ownerThread_; }

  // Calls the window procedure now, on the calling (owner) thread. The window
  // stays alive until the call returns even if its last owner lets go inside.
  intptr_t SendMessage(uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
  // Replaces the window procedure and returns the previous one. The procedure
  // running at that moment, if any, finishes undisturbed.
  WindowProcedure SetWindowProc(WindowProcedure procedure);

 private:
  class Queue;
  CallbackWindow(WindowHandle handle, std::string caption);

  const WindowHandle handle_;
  const std::string caption_;
  const std::thread::id ownerThread_;
  WindowProcedure procedure_;
  std::unique_ptr<Queue> queue_;  // the Qt object posted events go through
};
