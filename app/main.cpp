// tamblin: the desktop sound recorder. Options: --help, --version, --lang zh|en.
#include <QApplication>
#include <QMessageBox>
#include <csignal>
#include <cstdio>

#include "app/windows/AppFont.h"
#include "app/platform/ApplicationIdentity.h"
#include "app/platform/CommandLine.h"
#include "app/windows/Form1.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/windows/OrderlyExit.h"
#include "app/platform/ProgramFolder.h"
#include "app/platform/SingleInstance.h"
#include "app/platform/TerminationSignals.h"

int main(int argc, char** argv) {
  const InterfaceLanguage::Language language = CommandLine::Process(argc, argv);
  // Past a file-size limit (ulimit -f) a write fails with EFBIG and is reported like a full disk.
  std::signal(SIGXFSZ, SIG_IGN);
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

  Form1 window;
  // Logout, shutdown, kill or Ctrl+C: a recording is finished as by the stop button, then the program ends.
  // Heard from before the load (which already answers later starts), acted on once the program's loop runs.
  OrderlyExit orderlyExit(window);
  const TerminationSignals termination([&orderlyExit] { orderlyExit.Request(); });
  if (!termination.ErrorText().isEmpty()) {
    std::fprintf(stderr, "tamblin: termination signals not handled (%s)\n", qPrintable(termination.ErrorText()));
  }
  window.Load();
  instance.ShowRequested = [&window] { window.BringToFront(); };
  return app.exec();
}
