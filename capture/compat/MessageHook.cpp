// MessageHook: the hook blocks, their message tables and the error reports.
#include "capture/compat/MessageHook.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <thread>

#include "capture/EventLog.h"
#include "common/MessageBoxService.h"

// One hooked window. Kept alive by the hook procedure installed in the window
// (and by the registry until unhooked); released when the previous procedure is
// restored and the last running call has returned.
struct MessageHook::Block {
  WindowHandle hWnd = 0;
  std::weak_ptr<CallbackWindow> window;
  WindowProcedure previous;
  HookHandler handler;
  intptr_t lParamUser = 0;
  MessageTable before;
  MessageTable after;
  int32_t activeCalls = 0;  // previous-procedure and handler calls now running
  bool shutdown = false;    // unhooked; restore the previous procedure when idle
  bool restored = false;
};

bool MessageHook::MessageTable::Matches(uint32_t uMsg) const {
  if (count < 0) return true;
  for (int32_t i = 1; i <= count; ++i) {
    if (static_cast<uint32_t>(slots[i]) == uMsg) return true;
  }
  return false;
}

MessageHook::MessageHook(std::string className, HookOwner* defaultOwner,
                         MessageBoxService* messageBoxes, EventLog* eventLog)
    : className_(std::move(className)),
      defaultOwner_(defaultOwner),
      messageBoxes_(messageBoxes),
      eventLog_(eventLog) {}

MessageHook::~MessageHook() {
  if (!registry_) return;
  // Windows that outlive the facility get their previous procedure back, so
  // no handler of a destroyed owner can be called.
  for (auto& [key, block] : *registry_) {
    block->shutdown = true;
    block->before.count = 0;
    block->after.count = 0;
    ReleaseIfIdle(*block);
  }
}

bool MessageHook::sc_Subclass(WindowHandle hWnd, intptr_t lParamUser, int32_t nOrdinal,
                              HookOwner* oCallback, bool /*bIdeSafety*/) {
  const std::shared_ptr<CallbackWindow> window = CallbackWindow::FromHandle(hWnd);
  if (!window) {
    zReportError("sc_Subclass", "Invalid window handle");
    return false;
  }
  // A window is served by the thread that created it; a hook on another
  // thread's window would call the handler on the wrong thread.
  if (window->OwnerThread() != std::this_thread::get_id()) {
    zReportError("sc_Subclass", "Window handle belongs to another process");
    return false;
  }
  HookOwner* const owner = oCallback != nullptr ? oCallback : defaultOwner_;
  HookHandler handler = owner != nullptr ? owner->FindHookHandler(nOrdinal) : HookHandler{};
  if (!handler) {
    zReportError("sc_Subclass", "Callback method not found");
    return false;
  }
  if (!registry_) registry_.emplace();
  std::shared_ptr<Block> block;
  if (registry_->size() < blockLimit_) block = std::shared_ptr<Block>(new (std::nothrow) Block);
  if (!block) {
    zReportError("sc_Subclass", "VirtualAlloc failed, error: " + std::to_string(ENOMEM));
    return false;
  }
  const std::string key = Key(hWnd);
  if (registry_->count(key) != 0) {
    zReportError("sc_Subclass", "Window handle is already subclassed");
    return false;
  }
  block->hWnd = hWnd;
  block->window = window;
  block->handler = std::move(handler);
  block->lParamUser = lParamUser;
  block->previous = window->SetWindowProc(
      [block](WindowHandle, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
        return EntryCode(block, uMsg, wParam, lParam);
      });
  (*registry_)[key] = block;
  return true;
}

intptr_t MessageHook::EntryCode(const std::shared_ptr<Block>& blockRef, uint32_t uMsg,
                                uintptr_t wParam, intptr_t lParam) {
  const std::shared_ptr<Block> keepAlive = blockRef;
  Block& block = *keepAlive;
  bool bHandled = false;
  intptr_t lReturn = 0;
  if (block.before.Matches(uMsg)) {
    CallHandler(block, true, bHandled, lReturn, uMsg, wParam, lParam);
    if (bHandled) {
      ReleaseIfIdle(block);
      return lReturn;
    }
  }
  ++block.activeCalls;
  lReturn = block.previous(block.hWnd, uMsg, wParam, lParam);
  --block.activeCalls;
  if (block.after.Matches(uMsg)) {
    CallHandler(block, false, bHandled, lReturn, uMsg, wParam, lParam);
  }
  ReleaseIfIdle(block);
  return lReturn;
}

void MessageHook::CallHandler(Block& block, bool bBefore, bool& bHandled, intptr_t& lReturn,
                              uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
  ++block.activeCalls;
  block.handler(bBefore, bHandled, lReturn, block.hWnd, uMsg, wParam, lParam, block.lParamUser);
  --block.activeCalls;
}

void MessageHook::ReleaseIfIdle(Block& block) {
  if (!block.shutdown || block.activeCalls != 0 || block.restored) return;
  block.restored = true;
  if (const auto window = block.window.lock()) window->SetWindowProc(block.previous);
}

void MessageHook::sc_UnSubclass(WindowHandle hWnd) {
  if (!registry_) {
    zReportError("sc_UnSubclass", "Window handle isn't subclassed");
    return;
  }
  if (zMap_hWnd(hWnd)) {
    current_->shutdown = true;
    zDelMsg(ALL_MESSAGES, HOOK_BEFORE);
    zDelMsg(ALL_MESSAGES, HOOK_AFTER);
    registry_->erase(Key(hWnd));
    ReleaseIfIdle(*current_);
    current_.reset();
  }
}

void MessageHook::sc_WatchMsg(WindowHandle hWnd, int32_t uMsg, int32_t When) {
  if (!zMap_hWnd(hWnd)) return;
  if ((When & HOOK_BEFORE) != 0) zAddMsg(uMsg, HOOK_BEFORE);
  if ((When & HOOK_AFTER) != 0) zAddMsg(uMsg, HOOK_AFTER);
}

void MessageHook::sc_UnWatchMsg(WindowHandle hWnd, int32_t uMsg, int32_t When) {
  if (!zMap_hWnd(hWnd)) return;
  if ((When & HOOK_BEFORE) != 0) zDelMsg(uMsg, HOOK_BEFORE);
  if ((When & HOOK_AFTER) != 0) zDelMsg(uMsg, HOOK_AFTER);
}

MessageHook::MessageTable& MessageHook::CurrentTable(int32_t When) {
  return (When & HOOK_BEFORE) != 0 ? current_->before : current_->after;
}

void MessageHook::zAddMsg(int32_t uMsg, int32_t When) {
  if (!current_) return;
  MessageTable& table = CurrentTable(When);
  if (uMsg == ALL_MESSAGES) {
    table.count = ALL_MESSAGES;
    return;
  }
  // Free slots and duplicates are looked for before the overflow test, so a
  // full table still takes a message into a slot freed by a deletion.
  for (int32_t i = 1; i <= table.count; ++i) {
    if (table.slots[i] == 0) {
      table.slots[i] = uMsg;
      return;
    }
    if (table.slots[i] == uMsg) return;
  }
  if (table.count >= MSG_ENTRIES) {
    zReportError("zAddMsg",
                 "Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
                 "ALL_MESSAGES instead of specific message values");
    return;
  }
  if (table.count < 0) table.count = 0;  // a specific message replaces "all"
  table.slots[++table.count] = uMsg;
}

void MessageHook::zDelMsg(int32_t uMsg, int32_t When) {
  if (!current_) return;
  MessageTable& table = CurrentTable(When);
  if (uMsg == ALL_MESSAGES) {
    table.count = 0;
    return;
  }
  for (int32_t i = 1; i <= table.count; ++i) {
    if (table.slots[i] == uMsg) {
      table.slots[i] = 0;
      return;
    }
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(uMsg));
  zReportError("zDelMsg", std::string("Message &H") + hex + " not found in table");
}

bool MessageHook::zMap_hWnd(WindowHandle hWnd) {
  if (!registry_) {
    zReportError("zMap_hWnd", "Subclassing hasn't been started");
    return false;
  }
  const auto found = registry_->find(Key(hWnd));
  if (found == registry_->end()) {
    zReportError("zMap_hWnd", "Window handle isn't subclassed");
    return false;
  }
  current_ = found->second;
  return true;
}

void MessageHook::zReportError(const std::string& routine, const std::string& text) {
  const std::string where = className_ + "." + routine;
  if (eventLog_ != nullptr) eventLog_->WriteError(where + ": " + text);
  if (messageBoxes_ != nullptr) messageBoxes_->ShowWarning("Error in " + where, text + ".");
}
