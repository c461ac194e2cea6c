// ShellServices: hands the help page and the output folder to the desktop
// (browser, file manager). The paths go as file URLs, never through a shell, so
// spaces and other special characters in the program folder are safe. The
// result is not examined: the desktop reports a missing page or folder itself.
#pragma once

#include <QUrl>
#include <functional>

class ShellServices {
 public:
  using UrlOpener = std::function<bool(const QUrl&)>;

  static void OpenHelp();          // ProgramFolder::HelpPage()
  static void OpenOutputFolder();  // ProgramFolder::OutputFolder()

  // For tests: replaces QDesktopServices::openUrl (an empty function restores it).
  static void SetUrlOpener(UrlOpener opener);
};
