#include "tests/install/tools/ProgramWindowDriver.h"

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <cstdio>

namespace {

std::string OneLine(QString text) { return text.replace('\n', QStringLiteral(" / ")).toStdString(); }

}  // namespace

ProgramWindowDriver::ProgramWindowDriver() : input_(STDIN_FILENO, QSocketNotifier::Read) {
  connect(&watch_, &QTimer::timeout, this, &ProgramWindowDriver::Watch);
  watch_.start(20);
  connect(&input_, &QSocketNotifier::activated, this, &ProgramWindowDriver::ReadInput);
  input_.setEnabled(false);  // commands only once the window is there
}

void ProgramWindowDriver::Say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void ProgramWindowDriver::Watch() {
  if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
    Say("MESSAGE " + OneLine(box->text()));
    box->done(QMessageBox::Ok);
  }
  if (!window_) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* window = qobject_cast<QMainWindow*>(widget);
      if (window == nullptr || window->objectName() != QStringLiteral("Form1")) continue;
      if (!window->isVisible() || window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) return;
      window_ = window;
      file_ = window->findChild<QLineEdit*>(QStringLiteral("txtFile"))->text().toStdString();
      input_.setEnabled(true);
      Say("READY " + OneLine(window->findChild<QPushButton*>(QStringLiteral("cmdDo"))->text()));
    }
    return;
  }
  // Pause is offered only while recording, in either language.
  const bool recording = window_->findChild<QPushButton*>(QStringLiteral("cmdPause"))->isEnabled();
  const std::string file = window_->findChild<QLineEdit*>(QStringLiteral("txtFile"))->text().toStdString();
  if (recording != recording_) {
    recording_ = recording;
    Say(recording ? "STATE recording " + file_ : "STATE idle");
  }
  file_ = file;
}

void ProgramWindowDriver::SayWindowState() {
  Say(std::string("WINDOW visible=") + (window_->isVisible() ? "1" : "0") +
      " minimized=" + (window_->isMinimized() ? "1" : "0"));
}

void ProgramWindowDriver::ReadInput() {
  char buffer[512];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof(buffer));
  if (n <= 0) {  // the test is gone
    input_.setEnabled(false);
    Run("quit", "");
    return;
  }
  pending_.append(buffer, static_cast<size_t>(n));
  for (size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
    const std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    const size_t space = line.find(' ');
    Run(line.substr(0, space), space == std::string::npos ? "" : line.substr(space + 1));
  }
}

void ProgramWindowDriver::Run(const std::string& command, const std::string& argument) {
  if (!window_) return;
  if (command == "select") {
    Select(argument);
  } else if (command == "start" || command == "stop") {
    Watch();  // note the file box as it is before the press
    Press("cmdDo");
  } else if (command == "tray") {
    Press("Command4");
    // Told at once: a Wayland compositor may report the window as normal again
    // at its next configure (minimised is not a state it sends back).
    SayWindowState();
  } else if (command == "window") {
    SayWindowState();
  } else if (command == "activate") {
    Activate();
  } else if (command == "quit") {
    window_->close();
    QApplication::quit();
  }
}

void ProgramWindowDriver::Select(const std::string& description) {
  auto* devices = window_->findChild<QComboBox*>(QStringLiteral("cboDev"));
  const int index = devices->findText(QString::fromStdString(description));
  if (index < 0) {
    Say("NOSUCHDEVICE " + description);
    return;
  }
  devices->setCurrentIndex(index);
  emit devices->activated(index);
  Say("SELECTED " + std::to_string(index));
}

void ProgramWindowDriver::Activate() {
  // With no window manager (a bare X server) nothing else gives a window the
  // keyboard; told once the window system has handed it over. An open dialog
  // takes it rather than the window it blocks.
  QWidget* target = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : window_.data();
  target->activateWindow();
  if (QGuiApplication::focusWindow() == target->windowHandle()) {
    Say("ACTIVE");
    return;
  }
  auto* told = new QObject(target);
  connect(qApp, &QGuiApplication::focusWindowChanged, told, [target, told](QWindow* focused) {
    if (focused != target->windowHandle()) return;
    Say("ACTIVE");
    told->deleteLater();
  });
}

void ProgramWindowDriver::Press(const char* button) {
  window_->findChild<QPushButton*>(QString::fromLatin1(button))->click();
}
