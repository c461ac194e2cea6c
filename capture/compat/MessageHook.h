// MessageHook: puts a hook in front of a callback window's procedure so that
// chosen messages reach an owner's handler, before and/or after the window's
// previous procedure. Each hooked window gets a hook block with two message
// tables (32 entries each, or ALL_MESSAGES); a registry keyed "h" + handle maps
// windows to blocks. Errors are written to the event log as
// "<class>.<routine>: <text>" and shown in a box titled "Error in <class>.<routine>"
// with the text and a period.
//
// The thread of its windows only. Unhooking is safe from inside a handler: the block keeps the
// window's procedure until every call running through it (previous procedure
// and handler, nested ones included) has returned, then restores the previous
// procedure. A window that is unhooked receives nothing more through the hook.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "capture/compat/CallbackWindow.h"
#include "capture/compat/HookOwner.h"

class EventLog;
class MessageBoxService;

constexpr int32_t ALL_MESSAGES = -1;
constexpr int32_t MSG_ENTRIES = 32;
constexpr int32_t HOOK_BEFORE = 1;
constexpr int32_t HOOK_AFTER = 2;

class MessageHook {
 public:
  // Hooks live at most this many at once by default; one more is refused as
  // "VirtualAlloc failed, error: 12" (out of memory), which guards against a
  // caller that hooks windows in a loop without unhooking them.
  static constexpr size_t kDefaultBlockLimit = 1024;

  // `className` prefixes every report; `defaultOwner` is used when sc_Subclass
  // gets no owner. `messageBoxes` may be nullptr (reports are logged only).
  MessageHook(std::string className, HookOwner* defaultOwner, MessageBoxService* messageBoxes,
              EventLog* eventLog);
  ~MessageHook();
  MessageHook(const MessageHook&) = delete;
  MessageHook& operator=(const MessageHook&) = delete;

  // Hooks the window: its procedure becomes the hook, which calls handler
  // `nOrdinal` of `oCallback` (nullptr: the default owner) with `lParamUser`.
  // `bIdeSafety` is accepted for compatibility; no development host exists here.
  bool sc_Subclass(WindowHandle hWnd, intptr_t lParamUser = 0, int32_t nOrdinal = 1,
                   HookOwner* oCallback = nullptr, bool bIdeSafety = true);
  // Unhooks the window: tables emptied, registry entry removed, previous
  // procedure back as soon as no call runs through the hook.
  void sc_UnSubclass(WindowHandle hWnd);
  // Adds uMsg (or ALL_MESSAGES) to the before (HOOK_BEFORE) and/or after
  // (HOOK_AFTER) table of the window's hook.
  void sc_WatchMsg(WindowHandle hWnd, int32_t uMsg, int32_t When = HOOK_AFTER);
  // Removes uMsg (or ALL_MESSAGES) from the chosen tables of the window's hook.
  void sc_UnWatchMsg(WindowHandle hWnd, int32_t uMsg, int32_t When = HOOK_AFTER);

  // Table work on the current block (the one zMap_hWnd found last).
  void zAddMsg(int32_t uMsg, int32_t When);
  void zDelMsg(int32_t uMsg, int32_t When);
  // Makes the window's block current; false (with a report) when there is none.
  bool zMap_hWnd(WindowHandle hWnd);
  void zReportError(const std::string& routine, const std::string& text);

  // Number of hooks that may exist at once (see kDefaultBlockLimit).
  void BlockLimit(size_t limit) { blockLimit_ = limit; }

 private:
  struct MessageTable {
    int32_t count = 0;  // 0 none, ALL_MESSAGES every message, 1..32 slots used
    std::array<int32_t, MSG_ENTRIES + 1> slots{};  // slot 0 unused; 0 = free
    bool Matches(uint32_t uMsg) const;
  };
  struct Block;

  static std::string Key(WindowHandle hWnd) { return "h" + std::to_string(hWnd); }
  static intptr_t EntryCode(const std::shared_ptr<Block>& block, uint32_t uMsg, uintptr_t wParam,
                            intptr_t lParam);
  static void CallHandler(Block& block, bool bBefore, bool& bHandled, intptr_t& lReturn,
                          uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
  static void ReleaseIfIdle(Block& block);
  MessageTable& CurrentTable(int32_t When);

  const std::string className_;
  HookOwner* const defaultOwner_;
  MessageBoxService* const messageBoxes_;
  EventLog* const eventLog_;
  size_t blockLimit_ = kDefaultBlockLimit;
  std::optional<std::map<std::string, std::shared_ptr<Block>>> registry_;
  std::shared_ptr<Block> current_;
};
