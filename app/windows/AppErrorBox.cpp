#include "app/windows/AppErrorBox.h"

#include "app/recording/RecordingController.h"
#include "common/AppError.h"
#include "common/MessageBoxService.h"

bool AppErrorBox::Run(MessageBoxService& messages, const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const AppError& error) {
    messages.ShowWarning(RecordingController::kAppCaption, Message(error));
    return false;
  }
}

std::string AppErrorBox::Message(const AppError& error) {
  return tr("无法完成此操作 (错误 %1):").arg(error.number()).toStdString() + "\n" + error.description();
}
