#include "app/platform/ShellServices.h"

#include <QDesktopServices>

#include "app/platform/ProgramFolder.h"

namespace {

ShellServices::UrlOpener& Opener() {
  static ShellServices::UrlOpener opener;
  return opener;
}

void OpenLocalPath(const QString& path) {
  // A file URL carries the path as one argument: no quoting, no shell.
  const QUrl url = QUrl::fromLocalFile(path);
  if (Opener()) {
    Opener()(url);
  } else {
    QDesktopServices::openUrl(url);
  }
}

}  // namespace

void ShellServices::OpenHelp() { OpenLocalPath(ProgramFolder::HelpPage()); }

void ShellServices::OpenOutputFolder() { OpenLocalPath(ProgramFolder::OutputFolder()); }

void ShellServices::SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }
