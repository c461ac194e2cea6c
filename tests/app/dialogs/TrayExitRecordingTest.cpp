// "退出" from the tray menu while a recording runs: the main window closes
// through its normal shutdown, so the file is finished (a valid WAVE file that
// an independent reader accepts), the counter advances and the icon goes away.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include "app/windows/Form1.h"
#include "app/recording/RecordingEngine.h"
#include "app/platform/ProgramFolder.h"
#include "app/recording/RecordingController.h"
#include "app/windows/TrayIcon.h"
#include "capture/WaveInRecorder.h"
#include "common/MessageBoxService.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"
#include "tests/support/ShellCommand.h"
#include "tests/support/EventLoopWait.h"

namespace {

class NoMessages : public MessageBoxService {
 public:
  void ShowWarning(const std::string& title, const std::string& text) override {
    shown.push_back(title + ": " + text);
  }
  std::vector<std::string> shown;
};


QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(TrayExitRecording, ExitFromTheMenuFinishesTheRunningRecording) {
  ASSERT_TRUE(EnsurePulseServer());
  QTemporaryDir folder(QDir::tempPath() + "/tamblin tray XXXXXX");
  ASSERT_TRUE(folder.isValid());
  ProgramFolder::Override(folder.path());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("trayexit"), 44100, 2,
                          "TrayExit-Pipe-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder.Loaded());

  NoMessages messages;
  Form1::Services services;
  services.messages = &messages;
  services.trayIcon = true;
  auto form = std::make_unique<Form1>(services);
  form->Load();
  auto* device = form->findChild<QComboBox*>("cboDev");
  ASSERT_NE(device, nullptr);
  const int index = device->findText(QString::fromStdString(feeder.Description()));
  ASSERT_GE(index, 0) << "pipe source not listed";
  device->setCurrentIndex(index);
  emit device->activated(index);

  const auto delivered = [&] { return static_cast<size_t>(form->Recorder().DeliveredBytes()); };
  form->findChild<QPushButton*>("cmdDo")->click();
  form->Engine().WaitUntilHandled();
  ASSERT_TRUE(form->Controller().IsRecording())
      << (messages.shown.empty() ? "" : messages.shown[0]);
  const QString recorded = folder.path() + "/file/录音0.wav";

  // Hidden to the tray meanwhile: the recording goes on.
  auto* tray = form->findChild<TrayIcon*>();
  ASSERT_NE(tray, nullptr);
  tray->SetTrayProbe([] { return true; });
  form->findChild<QPushButton*>("Command4")->click();
  EXPECT_FALSE(form->isVisible());

  std::vector<int16_t> tone(44100 * 2);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>((i / 2) % 100 * 200 - 10000);
  feeder.Feed(tone, 4.0);
  feeder.WaitFed();
  ASSERT_TRUE(WaitFor([&] { return delivered() >= 5 * 10240; })) << delivered();
  EXPECT_TRUE(form->Controller().IsRecording());

  QPointer<QSystemTrayIcon> icon = tray->Icon();
  for (QAction* item : tray->Menu()->actions()) {
    if (item->text() == QStringLiteral("退出")) item->trigger();
  }
  ASSERT_TRUE(WaitFor([&] { return icon.isNull(); })) << "the window was not closed";
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0];

  // The counter advanced and the file is complete.
  EXPECT_EQ(ReadAll(folder.path() + "/nu.ini"), QByteArray("1\r\n"));
  const ShellResult samples = RunShellCommand("soxi -s " + ShellQuote(recorded.toStdString()));
  EXPECT_EQ(samples.exitCode, 0) << samples.output;
  EXPECT_GE(std::stol(samples.output.empty() ? "0" : samples.output), 5 * 10240 / 4);
  form.reset();
  ProgramFolder::Override(QString());
}

}  // namespace
