// Records from an input device and saves a picture of the main window while the
// display is live:
//   form1_screenshot <png path> <device name> [seconds, default 3]
// The window is the program's own, built and loaded as main.cpp does; the
// recording goes to the program folder given by TAMBLIN_SHOT_FOLDER (default: a
// temporary folder). Meant for a real X server (Xvfb).
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/AppFont.h"
#include "app/Form1.h"
#include "app/ProgramFolder.h"
#include "app/RecordingController.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tamblin");
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <png path> <device name> [seconds]\n", argv[0]);
    return 2;
  }
  const QString png = QString::fromLocal8Bit(argv[1]);
  const QString deviceName = QString::fromLocal8Bit(argv[2]);
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 3;
  QTemporaryDir scratch;
  ProgramFolder::Override(qEnvironmentVariableIsSet("TAMBLIN_SHOT_FOLDER") ? qEnvironmentVariable("TAMBLIN_SHOT_FOLDER")
                                                                           : scratch.path());
  AppFont::UseCjkFont(app);

  Form1 window;
  window.Load();
  auto* device = window.findChild<QComboBox*>("cboDev");
  const int index = device->findText(deviceName);
  if (index < 0) {
    std::fprintf(stderr, "device %s not listed\n", qPrintable(deviceName));
    return 1;
  }
  device->setCurrentIndex(index);
  emit device->activated(index);
  for (const char* effect : {"chkFX0", "chkFX3"}) window.findChild<QAbstractButton*>(effect)->click();
  window.findChild<QPushButton*>("cmdDo")->click();
  if (!window.Controller().IsRecording()) {
    std::fprintf(stderr, "recording did not start\n");
    return 1;
  }

  int result = 0;
  QTimer::singleShot(seconds * 1000, &window, [&] {
    if (!window.grab().save(png)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(png));
      result = 1;
    }
    window.close();  // stops the recording as the close box does
    app.quit();
  });
  app.exec();
  if (result == 0) std::printf("%s\n", qPrintable(png));
  return result;
}
