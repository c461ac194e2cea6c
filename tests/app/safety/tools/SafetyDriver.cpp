// safety_driver: the real main window, driven line by line from standard input,
// for the safety tests that kill, starve or disturb a recording. Not a test by
// itself. Usage: safety_driver <program folder>
//
// Commands (one per line):
//   select <device description>   pick the input device as the user would
//   second <device description>   pick the second input (its "无" entry: none)
//   tracks <name>                 pick the tracks box's entry (混合, 分开, 两者)
//   ima                           IMA ADPCM output at 44100 Hz stereo
//   type <name>                   pick the file type box's entry (WAV, FLAC, Ogg Opus, MP3)
//   effects                       tick all four effect boxes
//   start | stop                  press the start/stop button
//   status                        print the status bar panels
//   rss                           print the resident memory in kB
//   file                          print the output file box
//   devices                       print the chosen device and the list (also printed by
//                                 itself whenever the list or the choice changes)
//   quit                          close the window and end
// Output lines: READY, SELECTED <index> | NOSUCHDEVICE <text>, SECOND <index>, NOSUCHTRACKS <name>, STATE
// recording <file> | STATE idle (also when the recording stops by itself),
// MESSAGE <title>\t<text, new lines as " / ">, STATUS <panel>\t<panel>..., RSS <kB>, FILE <path>,
// DEVICES <chosen>\t<device>|<device>|...
#include <QApplication>
#include <csignal>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>

#include "app/windows/Form1.h"
#include "app/windows/OrderlyExit.h"
#include "app/platform/ProgramFolder.h"
#include "app/platform/TerminationSignals.h"
#include "common/MessageBoxService.h"
#include "encoding/EncoderWAV.h"
#include "encoding/FormatRecord.h"

namespace {

void Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::string OneLine(std::string text) {
  for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) text.replace(at, 1, " / ");
  return text;
}

class PrintedMessages : public MessageBoxService {
 public:
  void ShowWarning(const std::string& title, const std::string& text) override {
    Say("MESSAGE " + title + "\t" + OneLine(text));
  }
};

long ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class Driver {
 public:
  explicit Driver(Form1& window) : window_(window) {
    cmdDo_ = window.findChild<QPushButton*>("cmdDo");
    cboDev_ = window.findChild<QComboBox*>("cboDev");
    AnnounceDeviceChanges();
  }

  void Run(const std::string& line) {
    const std::string command = line.substr(0, line.find(' '));
    const std::string argument = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
    if (command == "select") {
      Select(argument);
    } else if (command == "second") {
      const int index = Pick(window_.findChild<QComboBox*>("cboDev2"), argument);
      Say(index < 0 ? "NOSUCHDEVICE " + argument : "SECOND " + std::to_string(index));
    } else if (command == "tracks") {
      if (Pick(window_.findChild<QComboBox*>("cboTracks"), argument) < 0) Say("NOSUCHTRACKS " + argument);
    } else if (command == "ima") {
      const auto record = FormatRecord::IMAADPCM(44100, 2);
      window_.Encoder().SetFormat(record.data(), static_cast<int32_t>(record.size()), "IMA ADPCM 44100 stereo",
                                  "IMA ADPCM");
    } else if (command == "type") {
      if (Pick(window_.findChild<QComboBox*>("cboFileType"), argument) < 0) Say("NOSUCHTYPE " + argument);
    } else if (command == "effects") {
      for (int k = 0; k < 4; ++k) {
        auto* box = window_.findChild<QCheckBox*>(QString("chkFX%1").arg(k));
        if (box != nullptr && !box->isChecked()) box->click();
      }
    } else if (command == "start" || command == "stop") {
      cmdDo_->click();
    } else if (command == "status") {
      std::string text = "STATUS";
      for (auto* label : window_.statusBar()->findChildren<QLabel*>()) text += " " + label->text().toStdString() + "\t";
      Say(text);
    } else if (command == "devices") {
      SayDevices();
    } else if (command == "file") {
      Say("FILE " + window_.findChild<QLineEdit*>("txtFile")->text().toStdString());
    } else if (command == "rss") {
      Say("RSS " + std::to_string(ResidentKilobytes()));
    } else if (command == "quit") {
      window_.close();
      QApplication::quit();
    }
  }

  // The caption tells whether a recording runs; reported on every change.
  void WatchState() {
    const bool recording = cmdDo_->text() == QStringLiteral("停止录音");
    if (recording == recording_) return;
    recording_ = recording;
    const auto file = window_.findChild<QLineEdit*>("txtFile")->text().toStdString();
    Say(recording ? "STATE recording " + lastFile_ : "STATE idle");
    lastFile_ = file;
  }
  void NoteFile() { lastFile_ = window_.findChild<QLineEdit*>("txtFile")->text().toStdString(); }

 private:
  // Picks the entry `text` of `box` as the user would; its index, -1 when not listed.
  static int Pick(QComboBox* box, const std::string& text) {
    const int index = box->findText(QString::fromStdString(text));
    if (index < 0) return index;
    box->setCurrentIndex(index);
    emit box->activated(index);
    return index;
  }

  void SayDevices() {
    std::string text = "DEVICES " + cboDev_->currentText().toStdString() + "\t";
    for (int i = 0; i < cboDev_->count(); ++i) text += cboDev_->itemText(i).toStdString() + "|";
    Say(text);
  }

  // A re-read list changes row by row: one line once the event loop is back,
  // so the test waits for the change itself instead of asking again and again.
  void AnnounceDeviceChanges() {
    const auto changed = [this] {
      if (announcePending_) return;
      announcePending_ = true;
      QTimer::singleShot(0, cboDev_, [this] {
        announcePending_ = false;
        SayDevices();
      });
    };
    QAbstractItemModel* model = cboDev_->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, cboDev_, changed);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, cboDev_, changed);
    QObject::connect(model, &QAbstractItemModel::modelReset, cboDev_, changed);
    QObject::connect(model, &QAbstractItemModel::dataChanged, cboDev_, changed);
    QObject::connect(cboDev_, &QComboBox::currentIndexChanged, cboDev_, changed);
  }

  void Select(const std::string& description) {
    const int index = Pick(cboDev_, description);
    Say(index < 0 ? "NOSUCHDEVICE " + description : "SELECTED " + std::to_string(index));
  }

  Form1& window_;
  QPushButton* cmdDo_ = nullptr;
  QComboBox* cboDev_ = nullptr;
  bool recording_ = false;
  bool announcePending_ = false;
  std::string lastFile_;
};

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGXFSZ, SIG_IGN);  // as the program does: a file-size limit is a write error
  if (argc < 2) {
    std::cerr << "usage: safety_driver <program folder>\n";
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tamblin");
  ProgramFolder::Override(QString::fromLocal8Bit(argv[1]));

  PrintedMessages messages;
  Form1::Services services;
  services.messages = &messages;
  services.trayIcon = false;
  Form1 window(services);
  window.Load();
  QCoreApplication::processEvents();  // the start-up's messages, shown once the loop runs
  Driver driver(window);
  driver.NoteFile();
  // As the program wires them (main.cpp).
  OrderlyExit orderlyExit(window);
  const TerminationSignals termination([&orderlyExit] { orderlyExit.Request(); });
  Say("READY");

  // The file box changes at the stop; take the recorded file's name before.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { driver.WatchState(); });
  watch.start(20);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  std::string pending;
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[512];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
    if (n <= 0) {  // the test is gone: end as by the close box
      input.setEnabled(false);
      driver.Run("quit");
      return;
    }
    pending.append(buffer, static_cast<size_t>(n));
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      driver.NoteFile();
      driver.Run(line);
      driver.WatchState();
    }
  });
  return app.exec();
}
