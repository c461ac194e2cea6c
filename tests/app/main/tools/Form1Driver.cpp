// Drives the real main window through one recording, for the screenshot and the
// whole-program benchmark:
//   form1_driver --device NAME [--seconds N] [--effects 0123] [--format FAMILY] [--type TYPE] [--png PATH] [--lang zh|en]
//                [--schedule start|stop|none] [--grab WIDGET] [--window shown|minimized|hidden]
//                [--second NAME|computer]
// Loads Form1 as main.cpp does, picks the input device by name, ticks the effect
// boxes given by index (chkFX0..chkFX3), optionally picks the first output format
// of FAMILY for the current rate and channels (as the format chooser would)
// or the file type TYPE as the "文件类型" box lists it ("Ogg Opus"),
// presses cmdDo, and after N seconds (default 3) saves the live window as PNG
// (if asked) and closes it, which stops the recording. With --schedule start a
// start 23 hours away waits instead of a recording; with --schedule stop the
// schedule starts the recording, to stop in 23 hours: the status bar shows the
// countdown; with --schedule none nothing is pressed and the window monitors
// the device (meters before Start). --grab saves only the named part of the window (the status bar:
// "sbar"). --window minimized or hidden (as in the tray) once the recording
// runs, for the display's cost when nobody sees it. The recordings go to TAMBLIN_SHOT_FOLDER (default: a temporary
// folder). Meant for a real X server.
#include <QApplication>
#include <csignal>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/windows/AppFont.h"
#include "app/windows/Form1.h"
#include "app/handsfree/ScheduleKeeper.h"
#include "app/recording/RecordingEngine.h"
#include "app/platform/ProgramFolder.h"
#include "app/platform/InterfaceLanguage.h"
#include "app/recording/RecordingController.h"
#include "capture/WaveInRecorder.h"
#include "encoding/FormatCatalogue.h"
#include "encoding/FormatChooser.h"

namespace {

struct Options {
  QString device;
  int seconds = 3;
  std::string effects;
  std::string family;
  QString type;
  QString png;
  QString lang = QStringLiteral("zh");
  QString schedule;  // "start", "stop", "none" or empty
  QString grab;      // a widget's objectName; empty: the whole window
  QString window = QStringLiteral("shown");
  QString second;  // the second input's name, "computer" for the Computer sound button; empty: none
};

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const char* value = argv[i + 1];
    if (key == "--device") options.device = QString::fromLocal8Bit(value);
    else if (key == "--seconds") options.seconds = std::atoi(value);
    else if (key == "--effects") options.effects = value;
    else if (key == "--format") options.family = value;
    else if (key == "--type") options.type = QString::fromUtf8(value);
    else if (key == "--png") options.png = QString::fromLocal8Bit(value);
    else if (key == "--lang") options.lang = QString::fromUtf8(value);
    else if (key == "--schedule") options.schedule = QString::fromUtf8(value);
    else if (key == "--grab") options.grab = QString::fromUtf8(value);
    else if (key == "--window") options.window = QString::fromUtf8(value);
    else if (key == "--second") options.second = QString::fromLocal8Bit(value);
    else return false;
  }
  const bool knownSchedule = options.schedule.isEmpty() || options.schedule == "start" || options.schedule == "stop" ||
                             options.schedule == "none";
  const bool knownWindow = options.window == "shown" || options.window == "minimized" || options.window == "hidden";
  return !options.device.isEmpty() && argc % 2 == 1 && knownSchedule && knownWindow;
}

// Presses cmdDo, or arms the schedule --schedule names. False when a recording
// should run and does not.
bool Begin(Form1& window, const QString& schedule) {
  RecordingSchedule::Plan plan;
  if (schedule == "start") {
    plan.start = RecordingSchedule::Plan::Start::After;
    plan.startDelay = std::chrono::hours{23};
  } else if (schedule == "stop") {
    plan.stop = RecordingSchedule::Plan::Stop::After;
    plan.stopAfter = std::chrono::hours{23};
  }
  if (schedule == "none") return window.Engine().State() == RecorderState::Monitoring;
  if (schedule.isEmpty()) {
    window.findChild<QPushButton*>("cmdDo")->click();
  } else {
    window.Schedule().Apply(plan, window.Schedule().HandsFree());
  }
  window.Engine().WaitUntilHandled();
  return schedule == "start" || window.Controller().IsRecording();
}

// Picks `text` in the window's combo box `name` as the user would.
bool Choose(Form1& window, const char* name, const QString& text) {
  auto* box = window.findChild<QComboBox*>(name);
  const int index = box->findText(text);
  if (index < 0) {
    std::fprintf(stderr, "%s: %s not listed\n", name, qPrintable(text));
    return false;
  }
  box->setCurrentIndex(index);
  emit box->activated(index);
  return true;
}

// Answers the format chooser with the first catalogue entry of one family.
class FamilyChooser : public FormatChooser {
 public:
  explicit FamilyChooser(std::string family) : family_(std::move(family)) {}
  std::optional<FormatEntry> Choose(const WAVEFORMATEX& pcmInput, const std::string&) override {
    for (const FormatEntry& entry : FormatCatalogue::List(static_cast<int32_t>(pcmInput.nSamplesPerSec),
                                                          static_cast<int16_t>(pcmInput.nChannels))) {
      const WAVEFORMATEX wfx = WAVEFORMATEX::FromBytes(entry.format);
      if (entry.FormatTag == family_ && wfx.nChannels == pcmInput.nChannels &&
          wfx.nSamplesPerSec == pcmInput.nSamplesPerSec) {
        return entry;
      }
    }
    return std::nullopt;
  }

 private:
  std::string family_;
};

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);  // as the program does: a file-size limit is a write error
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tamblin");
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s --device NAME [--seconds N] [--effects 0123] [--format FAMILY] [--type TYPE] [--png PATH] [--lang zh|en] "
                 "[--schedule start|stop|none] [--grab WIDGET] [--window shown|minimized|hidden] [--second NAME|computer]\n",
                 argv[0]);
    return 2;
  }
  QTemporaryDir scratch;
  ProgramFolder::Override(qEnvironmentVariableIsSet("TAMBLIN_SHOT_FOLDER") ? qEnvironmentVariable("TAMBLIN_SHOT_FOLDER")
                                                                           : scratch.path());
  AppFont::UseCjkFont(app);
  const auto language = InterfaceLanguage::FromName(options.lang);
  if (QString error; !language || !InterfaceLanguage::Use(*language, TAMBLIN_TRANSLATION_FOLDER, &error)) {
    std::fprintf(stderr, "--lang %s: %s\n", qPrintable(options.lang), language ? qPrintable(error) : "zh or en");
    return 2;
  }

  FamilyChooser chooser(options.family);
  Form1::Services services;
  services.formatChooser = &chooser;
  Form1 window(services);
  window.Load();
  if (!Choose(window, "cboDev", options.device)) return 1;
  if (options.second == "computer") {
    window.findChild<QPushButton*>("cmdComputerSound")->click();
  } else if (!options.second.isEmpty() && !Choose(window, "cboDev2", options.second)) {
    return 1;
  }
  for (const char k : options.effects) {
    window.findChild<QAbstractButton*>(QString("chkFX%1").arg(k))->click();
  }
  if (!options.type.isEmpty() && !Choose(window, "cboFileType", options.type)) return 1;
  if (!options.family.empty()) window.findChild<QPushButton*>("cmdSelFmt")->click();
  if (!Begin(window, options.schedule)) {
    std::fprintf(stderr, "recording did not start\n");
    return 1;
  }
  if (options.window == "minimized") window.showMinimized();
  if (options.window == "hidden") window.hide();

  int result = 0;
  QTimer::singleShot(options.seconds * 1000, &window, [&] {
    QWidget* shown = options.grab.isEmpty() ? &window : window.findChild<QWidget*>(options.grab);
    if (!options.png.isEmpty() && (shown == nullptr || !shown->grab().save(options.png))) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(options.png));
      result = 1;
    }
    std::printf("recorded %d ms in %d s, lost input %lld times, display tick at most %lld ms late\n",
                window.Controller().lngRecMS(), options.seconds,
                static_cast<long long>(window.Recorder().LostInputCount()),
                static_cast<long long>(window.MaxTickLatenessMs()));
    window.close();  // stops the recording as the close box does
    app.quit();
  });
  app.exec();
  return result;
}
