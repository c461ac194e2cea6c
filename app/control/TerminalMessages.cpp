#include "app/control/TerminalMessages.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>

namespace {

void PrintLine(const std::string& title, const std::string& text) {
  // After the progress line's carriage return: the warning starts a line of its own.
  QString line = QString::fromStdString(title + ": " + text);
  line.replace('\n', ' ');
  std::fprintf(stderr, "\n%s\n", qPrintable(line));
  std::fflush(stderr);
}

}  // namespace

void TerminalMessages::ShowWarning(const std::string& title, const std::string& text) {
  ++count_;
  PrintLine(title, text);
}

bool TerminalMessages::AskYesNo(const std::string& title, const std::string& text) {
  PrintLine(title,
            text + " " + QCoreApplication::translate("TerminalMessages", "(没有窗口: 回答\"否\")").toStdString());
  return false;
}
