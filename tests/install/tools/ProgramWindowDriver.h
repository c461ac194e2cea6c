// ProgramWindowDriver: drives the main window of the program it was loaded into
// (see WindowDriverPlugin) from standard input, one command a line, through the
// widgets a user would press, found by their object names.
//
// Commands:
//   select <device description>   pick the input device as the user would
//   start | stop                  press the start/stop button
//   tray                          press "最小化至系统托盘", then print the state as "window"
//   window                        print the main window's state
//   activate                      give the window (or its open dialog) the keyboard
//   quit                          close the window and end
// Output lines: READY <start button caption> (the window is shown on the screen), SELECTED <index> |
// NOSUCHDEVICE <text>, STATE recording <file> | STATE idle, MESSAGE <text> (a
// message box, closed at once), WINDOW visible=<0|1> minimized=<0|1>,
// ACTIVE (the window has the keyboard).
// End of input ends the program as "quit" does.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <string>

class QMainWindow;

class ProgramWindowDriver : public QObject {
  Q_OBJECT

 public:
  ProgramWindowDriver();

 private:
  void Watch();
  void ReadInput();
  void Run(const std::string& command, const std::string& argument);
  void Select(const std::string& description);
  void Activate();
  void Press(const char* button);
  static void Say(const std::string& line);
  void SayWindowState();

  QTimer watch_;
  QSocketNotifier input_;
  std::string pending_;
  QPointer<QMainWindow> window_;  // found once it is shown
  bool recording_ = false;
  std::string file_;  // the file box before the last change: the file being recorded
};
