// Tests of the message hook: phases, tables, unhooking (also from inside a
// handler) and every error report with its exact title and log entry.
#include "capture/compat/MessageHook.h"

#include <gtest/gtest.h>

#include <thread>

#include "capture/compat/CallbackWindow.h"
#include "tests/capture/EventPump.h"
#include "tests/capture/RecordedReports.h"

namespace {

// An owner whose ordinal-1 handler records the calls and runs a test action.
class TestOwner : public HookOwner {
 public:
  struct Call {
    bool before;
    uint32_t uMsg;
    intptr_t lReturn;
  };

  HookHandler FindHookHandler(int32_t nOrdinal) override {
    if (nOrdinal != 1) return {};
    return [this](bool bBefore, bool& bHandled, intptr_t& lReturn, WindowHandle, uint32_t uMsg,
                  uintptr_t, intptr_t, intptr_t&) {
      calls.push_back({bBefore, uMsg, lReturn});
      if (bBefore && handleBefore) {
        bHandled = true;
        lReturn = 77;
      }
      if (action) action(uMsg);
    };
  }

  std::vector<Call> calls;
  bool handleBefore = false;
  std::function<void(uint32_t)> action;
};

class MessageHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = CallbackWindow::Create("WAVE_IN_WINDOW");
    // The window's own procedure answers 5 and counts what reaches it.
    window->SetWindowProc([this](WindowHandle, uint32_t uMsg, uintptr_t, intptr_t) -> intptr_t {
      previousCalls.push_back(uMsg);
      if (previousAction) previousAction(uMsg);
      return 5;
    });
  }

  std::vector<uint32_t> AfterMessages() const {
    std::vector<uint32_t> messages;
    for (const auto& call : owner.calls) {
      if (!call.before) messages.push_back(call.uMsg);
    }
    return messages;
  }

  RecordedReports reports;
  TestOwner owner;
  MessageHook hook{"WaveInRecorder", &owner, &reports, &reports};
  std::shared_ptr<CallbackWindow> window;
  std::vector<uint32_t> previousCalls;
  std::function<void(uint32_t)> previousAction;
};

TEST_F(MessageHookTest, PhasesRunAroundThePreviousProcedure) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_WatchMsg(window->Handle(), 0x3C0, HOOK_BEFORE | HOOK_AFTER);
  EXPECT_EQ(window->SendMessage(0x3C0, 0, 0), 5);
  ASSERT_EQ(owner.calls.size(), 2u);
  EXPECT_TRUE(owner.calls[0].before);
  EXPECT_EQ(owner.calls[0].lReturn, 0);
  EXPECT_FALSE(owner.calls[1].before);
  EXPECT_EQ(owner.calls[1].lReturn, 5);  // the previous procedure's result
  EXPECT_EQ(previousCalls, std::vector<uint32_t>{0x3C0});

  // Unwatched messages reach only the previous procedure.
  window->SendMessage(0x3BF, 0, 0);
  EXPECT_EQ(owner.calls.size(), 2u);
  EXPECT_EQ(previousCalls.size(), 2u);

  // Handled in the before phase: previous procedure and after phase skipped.
  owner.handleBefore = true;
  EXPECT_EQ(window->SendMessage(0x3C0, 0, 0), 77);
  EXPECT_EQ(owner.calls.size(), 3u);
  EXPECT_EQ(previousCalls.size(), 2u);
  EXPECT_TRUE(reports.boxes.empty());
}

TEST_F(MessageHookTest, PostedMessagesArriveOnTheOwnerThread) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_WatchMsg(window->Handle(), 0x3C0, HOOK_AFTER);
  std::thread poster([handle = window->Handle()] {
    for (int i = 0; i < 3; ++i) CallbackWindow::PostMessage(handle, 0x3C0, 0, i);
  });
  poster.join();
  EXPECT_TRUE(PumpUntil([this] { return owner.calls.size() == 3; }));
  EXPECT_FALSE(CallbackWindow::PostMessage(0, 0x3C0, 0, 0));
}

TEST_F(MessageHookTest, AllMessagesAndTableBookkeeping) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_WatchMsg(window->Handle(), ALL_MESSAGES, HOOK_AFTER);
  window->SendMessage(0x111, 0, 0);
  window->SendMessage(0x222, 0, 0);
  EXPECT_EQ(AfterMessages(), (std::vector<uint32_t>{0x111, 0x222}));

  // A specific message replaces "all"; adding it twice changes nothing.
  owner.calls.clear();
  hook.sc_WatchMsg(window->Handle(), 0x3C0, HOOK_AFTER);
  hook.sc_WatchMsg(window->Handle(), 0x3C0, HOOK_AFTER);
  window->SendMessage(0x111, 0, 0);
  window->SendMessage(0x3C0, 0, 0);
  EXPECT_EQ(AfterMessages(), std::vector<uint32_t>{0x3C0});
  EXPECT_TRUE(reports.boxes.empty());
}

TEST_F(MessageHookTest, TableOverflowRefusesThe33rdAndDeletionFreesASlot) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  for (int32_t m = 1; m <= MSG_ENTRIES + 1; ++m) hook.sc_WatchMsg(window->Handle(), 0x1000 + m);
  ASSERT_EQ(reports.boxes.size(), 1u);
  EXPECT_EQ(reports.boxes[0].title, "Error in WaveInRecorder.zAddMsg");
  EXPECT_EQ(reports.boxes[0].text,
            "Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
            "ALL_MESSAGES instead of specific message values.");
  window->SendMessage(0x1000 + MSG_ENTRIES, 0, 0);
  window->SendMessage(0x1000 + MSG_ENTRIES + 1, 0, 0);
  EXPECT_EQ(AfterMessages(), std::vector<uint32_t>{0x1000 + MSG_ENTRIES});

  // Deleting one entry makes room: the new message takes the freed slot.
  hook.sc_UnWatchMsg(window->Handle(), 0x1005);
  hook.sc_WatchMsg(window->Handle(), 0x2000);
  EXPECT_EQ(reports.boxes.size(), 1u);
  owner.calls.clear();
  window->SendMessage(0x1005, 0, 0);
  window->SendMessage(0x2000, 0, 0);
  EXPECT_EQ(AfterMessages(), std::vector<uint32_t>{0x2000});
}

TEST_F(MessageHookTest, DeletingAMissingMessageReportsItInHex) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_UnWatchMsg(window->Handle(), 0x3C0, HOOK_AFTER);
  ASSERT_EQ(reports.boxes.size(), 1u);
  EXPECT_EQ(reports.boxes[0].title, "Error in WaveInRecorder.zDelMsg");
  EXPECT_EQ(reports.boxes[0].text, "Message &H3C0 not found in table.");
  ASSERT_EQ(reports.log.size(), 1u);
  EXPECT_EQ(reports.log[0], "WaveInRecorder.zDelMsg: Message &H3C0 not found in table");
}

TEST_F(MessageHookTest, DoubleSubclassIsRefusedAndTheFirstHookKeepsWorking) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_WatchMsg(window->Handle(), 0x3C0);
  EXPECT_FALSE(hook.sc_Subclass(window->Handle()));
  ASSERT_EQ(reports.boxes.size(), 1u);
  EXPECT_EQ(reports.boxes[0].title, "Error in WaveInRecorder.sc_Subclass");
  EXPECT_EQ(reports.boxes[0].text, "Window handle is already subclassed.");
  window->SendMessage(0x3C0, 0, 0);
  EXPECT_EQ(AfterMessages(), std::vector<uint32_t>{0x3C0});
  EXPECT_EQ(previousCalls.size(), 1u);
}

TEST_F(MessageHookTest, UnhookedWindowGetsOnlyItsPreviousProcedure) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_WatchMsg(window->Handle(), 0x3C0);
  hook.sc_UnSubclass(window->Handle());
  EXPECT_EQ(window->SendMessage(0x3C0, 0, 0), 5);
  EXPECT_TRUE(owner.calls.empty());
  EXPECT_EQ(previousCalls.size(), 1u);
  // The registry entry is gone, so a second unhook is an error; a new hook works.
  hook.sc_UnSubclass(window->Handle());
  ASSERT_EQ(reports.boxes.size(), 1u);
  EXPECT_EQ(reports.boxes[0].title, "Error in WaveInRecorder.zMap_hWnd");
  EXPECT_EQ(reports.boxes[0].text, "Window handle isn't subclassed.");
  EXPECT_TRUE(hook.sc_Subclass(window->Handle()));
}

TEST_F(MessageHookTest, UnhookInsideHandlerWithNestedDispatchIsSafe) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_WatchMsg(window->Handle(), 0x3C0);
  int nestedResults = 0;
  // Like a write error: the handler stops, then lets a message through (a box).
  owner.action = [&](uint32_t) {
    owner.action = nullptr;
    hook.sc_UnSubclass(window->Handle());
    nestedResults += static_cast<int>(window->SendMessage(0x3C0, 0, 0));
  };
  EXPECT_EQ(window->SendMessage(0x3C0, 0, 0), 5);
  EXPECT_EQ(nestedResults, 5);                // the nested message reached the window...
  EXPECT_EQ(AfterMessages().size(), 1u);      // ...but not the handler
  EXPECT_EQ(previousCalls.size(), 2u);
  window->SendMessage(0x3C0, 0, 0);
  EXPECT_EQ(AfterMessages().size(), 1u);
  EXPECT_EQ(previousCalls.size(), 3u);
}

TEST_F(MessageHookTest, PreviousProcedureDispatchingAfterUnhookFinishesItsCall) {
  ASSERT_TRUE(hook.sc_Subclass(window->Handle()));
  hook.sc_WatchMsg(window->Handle(), 0x3C0, HOOK_BEFORE | HOOK_AFTER);
  // Unhooked while the previous procedure runs: the after phase finds empty
  // tables and the window gets its procedure back once the call returns.
  previousAction = [&](uint32_t) {
    previousAction = nullptr;
    hook.sc_UnSubclass(window->Handle());
  };
  window->SendMessage(0x3C0, 0, 0);
  EXPECT_EQ(owner.calls.size(), 1u);
  EXPECT_TRUE(owner.calls[0].before);
  window->SendMessage(0x3C0, 0, 0);
  EXPECT_EQ(owner.calls.size(), 1u);
}

TEST_F(MessageHookTest, SubclassFailuresAreReportedWithTheirTexts) {
  struct Case {
    std::function<bool()> attempt;
    std::string routine;
    std::string text;
  };
  std::shared_ptr<CallbackWindow> foreign;
  std::thread([&] { foreign = CallbackWindow::Create("foreign"); }).join();
  MessageHook fresh{"WaveInRecorder", &owner, &reports, &reports};
  const std::vector<Case> cases = {
      {[&] {
         fresh.sc_WatchMsg(window->Handle(), 0x3C0);
         return false;
       },
       "zMap_hWnd", "Subclassing hasn't been started"},
      {[&] {
         fresh.sc_UnSubclass(window->Handle());
         return false;
       },
       "sc_UnSubclass", "Window handle isn't subclassed"},
      {[&] { return hook.sc_Subclass(0); }, "sc_Subclass", "Invalid window handle"},
      {[&] { return hook.sc_Subclass(foreign->Handle()); }, "sc_Subclass",
       "Window handle belongs to another process"},
      {[&] { return hook.sc_Subclass(window->Handle(), 0, 2); }, "sc_Subclass",
       "Callback method not found"},
      {[&] {
         hook.BlockLimit(0);
         return hook.sc_Subclass(window->Handle());
       },
       "sc_Subclass", "VirtualAlloc failed, error: 12"},
  };
  for (const Case& c : cases) {
    reports.boxes.clear();
    reports.log.clear();
    EXPECT_FALSE(c.attempt());
    ASSERT_EQ(reports.boxes.size(), 1u) << c.text;
    EXPECT_EQ(reports.boxes[0].title, "Error in WaveInRecorder." + c.routine);
    EXPECT_EQ(reports.boxes[0].text, c.text + ".");
    ASSERT_EQ(reports.log.size(), 1u);
    EXPECT_EQ(reports.log[0], "WaveInRecorder." + c.routine + ": " + c.text);
  }
  // None of the failed attempts touched the window.
  EXPECT_EQ(window->SendMessage(0x3C0, 0, 0), 5);
  EXPECT_TRUE(owner.calls.empty());
}

}  // namespace
