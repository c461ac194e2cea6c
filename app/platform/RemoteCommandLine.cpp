#include "app/platform/RemoteCommandLine.h"

#include <QCoreApplication>
#include <cstdio>

#include "app/platform/ProgramFolder.h"
#include "app/platform/SingleInstance.h"

namespace {

// The text, marked with QT_TRANSLATE_NOOP where it is written, in the interface's language.
QString Tr(const char* text) { return QCoreApplication::translate("RemoteCommandLine", text); }

int Fail(const QString& reason) {
  std::fprintf(stderr, "tamblin: %s\n", qPrintable(reason));
  return 1;
}

}  // namespace

std::optional<int> RemoteCommandLine::Send(const RemoteRequest& request) {
  SingleInstance instance(ProgramFolder::Path(), ProgramFolder::LockFile());
  if (!instance.HeldByLiveCopy()) {
    if (request.verb == RemoteRequest::Verb::Start) return std::nullopt;
    return Fail(Tr(QT_TRANSLATE_NOOP("RemoteCommandLine", "Tamblin 没有在运行")));
  }
  const QByteArray reply = instance.AskRunningCopy(request.Encode(), kAnswerTime);
  const auto answer = RemoteRequest::ReadReply(reply);
  if (!answer) {
    const QString why = reply.isEmpty() ? instance.ErrorText() : QString::fromUtf8(reply.trimmed());
    // Never sent again: a start that takes long must not run twice.
    if (reply.isEmpty() && instance.RequestDelivered()) {
      return Fail(Tr(QT_TRANSLATE_NOOP("RemoteCommandLine", "运行中的 Tamblin 没有回答, 这个命令可能已经执行 (%1)"))
                      .arg(why));
    }
    return Fail(Tr(QT_TRANSLATE_NOOP("RemoteCommandLine", "运行中的 Tamblin 没有回答 (%1)")).arg(why));
  }
  if (!answer->ok) return Fail(answer->text);
  if (!answer->text.isEmpty()) std::printf("%s\n", qPrintable(answer->text));
  return 0;
}
