// tamblin: the desktop sound recorder. Options: --help, --version, --lang zh|en;
// --start, --stop, --pause, --resume, --toggle, --status for the running copy;
// --no-window to record on the terminal.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include "app/control/DBusRecorderService.h"
#include "app/control/SystemSleepInhibitor.h"
#include "app/control/RecordingSleepGuard.h"
#include "app/windows/AppFont.h"
#include "app/handsfree/ScheduleKeeper.h"
#include "app/platform/ApplicationIdentity.h"
#include "app/platform/CommandLine.h"
#include "app/windows/Form1.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/windows/OrderlyExit.h"
#include "app/platform/ProgramFolder.h"
#include "app/platform/RemoteCommandLine.h"
#include "app/platform/SingleInstance.h"
#include "app/platform/TerminationSignals.h"
#include "app/control/RecorderRequests.h"
#include "app/control/TerminalRecorder.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/SecondInputFinder.h"
#include "app/windows/QtMessageBoxService.h"

namespace {

// --no-window: no display at all; the folder's one running copy all the same.
int RecordWithoutWindow(int argc, char** argv, const CommandLine::Choices& choices) {
  QCoreApplication app(argc, argv);
  InterfaceLanguage::Use(choices.language, ProgramFolder::DataFolder());
  SingleInstance instance(ProgramFolder::Path(), ProgramFolder::LockFile());
  if (instance.Claim() == SingleInstance::ClaimResult::AlreadyRunning) {
    std::fprintf(stderr, "tamblin: %s\n",
                 qPrintable(QCoreApplication::translate("main", "Tamblin 已在此文件夹运行")));
    return 1;
  }
  const RemoteRequest& start = *choices.request;
  TerminalRecorder recorder({start.device, start.secondDevice, start.tracks, start.type, start.duration,
                            choices.file.toStdString(), choices.handsFree});
  // No window to show: a later start that asks for one hears so at once; its verbs reach the recorder.
  instance.RefuseShowRequests(QCoreApplication::translate("main", "此文件夹中正在进行终端录音"));
  instance.OnCommandRequested(
      [&recorder](const QByteArray& line) {
        return RecorderRequests::Answer(recorder.Control(), recorder.SecondInputs(), line);
      });
  // Scripts reach it on the session bus as they reach the window; without a bus it records all the same.
  DBusRecorderService busService(recorder.Control());
  busService.SecondInputs(&recorder.SecondInputs());
  busService.WarningsUnanswered = [](const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) std::fprintf(stderr, "tamblin: %s\n", warning.c_str());
  };
  busService.Publish();
  const TerminationSignals termination([&recorder] { recorder.Finish(); });
  return recorder.Run();
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of our output that went away (`| head`, a closed log) fails the
  // write, never the recording.
  std::signal(SIGPIPE, SIG_IGN);
  const CommandLine::Choices choices = CommandLine::Process(argc, argv);
  const InterfaceLanguage::Language language = choices.language;
  if (choices.request && !choices.noWindow) {
    // Asked of the running copy without a display; a start with none running goes on as the program.
    QCoreApplication asking(argc, argv);
    InterfaceLanguage::Use(language, ProgramFolder::DataFolder());
    if (const auto status = RemoteCommandLine::Send(*choices.request)) return *status;
    InterfaceLanguage::Use(InterfaceLanguage::Language::Chinese, {});
  }
  // Past a file-size limit (ulimit -f) a write fails with EFBIG and is reported like a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
  if (choices.noWindow) return RecordWithoutWindow(argc, argv, choices);
  QApplication app(argc, argv);
  ApplicationIdentity::Apply();
  AppFont::UseCjkFont(app);
  if (QString error; !InterfaceLanguage::Use(language, ProgramFolder::DataFolder(), &error)) {
    std::fprintf(stderr, "tamblin: no English translation (%s), the interface stays Chinese\n", qPrintable(error));
  }

  // One copy per program folder: a second one would number and fill the same files.
  // The lock lives in the state folder, which Claim makes on an installed program's first run.
  SingleInstance instance(ProgramFolder::Path(), ProgramFolder::LockFile());
  switch (instance.Claim()) {
    case SingleInstance::ClaimResult::AlreadyRunning:
      if (instance.AskRunningCopyToShow()) return 0;
      std::fprintf(stderr, "tamblin: %s\n", qPrintable(instance.ErrorText()));
      QMessageBox::warning(nullptr, "Tamblin",
                           QCoreApplication::translate("main", "Tamblin 已在运行, 但无法显示它的窗口!") + "\n" +
                               instance.ErrorText());
      return 1;
    case SingleInstance::ClaimResult::NoLock:
      // Recording still refuses to replace data; only the guard against a second copy is missing.
      QMessageBox::warning(nullptr, "Tamblin",
                           QCoreApplication::translate("main", "无法创建锁文件 %1 !").arg(ProgramFolder::LockFile()) +
                               "\n" + instance.ErrorText());
      break;
    case SingleInstance::ClaimResult::Running:
      if (!instance.ErrorText().isEmpty()) {
        std::fprintf(stderr, "tamblin: a later start cannot reach this copy (%s)\n", qPrintable(instance.ErrorText()));
      }
      break;
  }

  // No sleep while a recording runs or a scheduled start waits; the screen may still lock.
  // Before the window, which calls the guard until it is gone.
  SystemSleepInhibitor sleepInhibitor;
  RecordingSleepGuard sleepGuard(sleepInhibitor);
  QtMessageBoxService boxes;
  Form1 window(Form1::Services{.messages = &boxes, .questions = &boxes});
  boxes.Owner(&window);
  // Logout, shutdown, kill or Ctrl+C: a recording is finished as by the stop button, then the program ends.
  // Heard from before the load (which already answers later starts), acted on once the program's loop runs.
  OrderlyExit orderlyExit(window);
  const TerminationSignals termination([&orderlyExit] { orderlyExit.Request(); });
  if (!termination.ErrorText().isEmpty()) {
    std::fprintf(stderr, "tamblin: termination signals not handled (%s)\n", qPrintable(termination.ErrorText()));
  }
  // The start-up repair's message waits until the doors are open (Load shows it from the loop).
  window.Load();
  RecorderControl& control = window.Engine();
  instance.OnShowRequested([&window] { window.BringToFront(); });
  const SecondInputFinder& secondInputs = window.SecondInputs();
  instance.OnCommandRequested([&control, &secondInputs](const QByteArray& line) {
    return RecorderRequests::Answer(control, secondInputs, line);
  });
  sleepGuard.Follow(control);
  window.Schedule().StartWaitChanged = [&sleepGuard](bool waiting) {
    if (waiting) {
      sleepGuard.Hold(QCoreApplication::translate("main", "等待定时录音"));
    } else {
      sleepGuard.Release();
    }
  };
  DBusRecorderService busService(control);
  busService.SecondInputs(&secondInputs);
  busService.WarningsUnanswered = [&window, &boxes](const std::vector<std::string>& warnings) {
    // Shown once the bus's call has returned: a box waits for the user.
    QTimer::singleShot(0, &window, [&boxes, warnings] {
      for (const std::string& warning : warnings) boxes.ShowWarning("Tamblin", warning);
    });
  };
  if (!busService.Publish()) {
    std::fprintf(stderr, "tamblin: not on the session bus (%s)\n", qPrintable(busService.ErrorText()));
  }
  if (choices.request) {
    QTimer::singleShot(0, &window, [&control, &secondInputs, request = *choices.request] {
      const RecorderControl::Result result =
          secondInputs.Start(control, {.device = request.device, .type = request.type, .duration = request.duration},
                             request.secondDevice, request.tracks);
      if (!result.ok) std::fprintf(stderr, "tamblin: %s\n", result.reason.c_str());
    });
  }
  return app.exec();
}
