#include "app/platform/ShellServices.h"

#include <QDesktopServices>

#include "app/platform/ProgramFolder.h"
#include "common/MessageBoxService.h"

namespace {

ShellServices::UrlOpener& Opener() {
  static ShellServices::UrlOpener opener;
  return opener;
}

// True when the desktop took the path.
bool OpenLocalPath(const QString& path) {
  // A file URL carries the path as one argument: no quoting, no shell.
  const QUrl url = QUrl::fromLocalFile(path);
  return Opener() ? Opener()(url) : QDesktopServices::openUrl(url);
}

void Unopened(MessageBoxService& messages, const QString& text) {
  messages.ShowWarning("Tamblin", text.toStdString());
}

}  // namespace

void ShellServices::OpenHelp(MessageBoxService& messages) {
  const QString page = ProgramFolder::HelpPage();
  if (!OpenLocalPath(page)) Unopened(messages, tr("没有程序能打开帮助页, 请手动打开:\n%1").arg(page));
}

void ShellServices::OpenOutputFolder(MessageBoxService& messages) {
  const QString folder = ProgramFolder::OutputFolder();
  if (!OpenLocalPath(folder)) Unopened(messages, tr("没有程序能打开录音文件夹, 请手动打开:\n%1").arg(folder));
}

void ShellServices::SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }
