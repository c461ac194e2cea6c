// AppErrorBox: the boundary between a user's action and the classes that refuse
// a request by throwing AppError (a setting changed while a file is open, ...).
// The refusal is shown in a "Tamblin" box with its number and its own words, and
// the program goes on as it was before the action. Window's thread only.
#pragma once

#include <QCoreApplication>
#include <functional>
#include <string>

class AppError;
class MessageBoxService;

class AppErrorBox {
  Q_DECLARE_TR_FUNCTIONS(AppErrorBox)

 public:
  // Runs `action`; an AppError it throws is shown through `messages`. True when
  // the action ran to its end.
  static bool Run(MessageBoxService& messages, const std::function<void()>& action);
  // "无法完成此操作 (错误 90):" with the error's description on the next line.
  static std::string Message(const AppError& error);
};
