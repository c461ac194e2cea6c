// ShellServices: hands the help page and the output folder to the desktop
// (browser, file manager). The paths go as file URLs, never through a shell, so
// spaces and other special characters in the program folder are safe. Where
// the desktop has no program for them (no handler, no xdg-open), the user is
// told so with the path, to open it by hand.
#pragma once

#include <QCoreApplication>
#include <QUrl>
#include <functional>

class MessageBoxService;

class ShellServices {
  Q_DECLARE_TR_FUNCTIONS(ShellServices)

 public:
  using UrlOpener = std::function<bool(const QUrl&)>;

  // `messages` tells a path nothing could open. UI thread.
  static void OpenHelp(MessageBoxService& messages);          // ProgramFolder::HelpPage()
  static void OpenOutputFolder(MessageBoxService& messages);  // ProgramFolder::OutputFolder()

  // For tests: replaces QDesktopServices::openUrl (an empty function restores it).
  static void SetUrlOpener(UrlOpener opener);
};
