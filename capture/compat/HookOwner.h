// HookOwner: an object whose methods the message hook calls for the messages it
// watches. The owner hands out its handlers by ordinal (1 = its message handler).
#pragma once

#include <cstdint>
#include <functional>

#include "capture/compat/CallbackWindow.h"

// Called before (bBefore true) and/or after the window's previous procedure.
// Setting bHandled in the before phase suppresses the previous procedure and the
// after phase; lReturn is the window procedure's result (in the after phase it
// starts as the previous procedure's result). lParamUser is the value given to
// sc_Subclass.
using HookHandler =
    std::function<void(bool bBefore, bool& bHandled, intptr_t& lReturn, WindowHandle hWnd,
                       uint32_t uMsg, uintptr_t wParam, intptr_t lParam, intptr_t& lParamUser)>;

class HookOwner {
 public:
  virtual ~HookOwner() = default;
  // The handler with this ordinal, or an empty function when there is none.
  virtual HookHandler FindHookHandler(int32_t nOrdinal) = 0;
};
