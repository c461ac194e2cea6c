#include "app/recording/WindowThreadDialogs.h"

#include <QMetaObject>
#include <QThread>

WindowThreadDialogs::WindowThreadDialogs(MessageBoxService& boxes, QuestionService* questions, QObject& window)
    : boxes_(boxes), questions_(questions), window_(window) {}

bool WindowThreadDialogs::OnWindowThread() const { return QThread::currentThread() == window_.thread(); }

void WindowThreadDialogs::ShowWarning(const std::string& title, const std::string& text) {
  if (OnWindowThread()) {
    boxes_.ShowWarning(title, text);
    return;
  }
  QMetaObject::invokeMethod(&window_, [this, title, text] { boxes_.ShowWarning(title, text); },
                            Qt::QueuedConnection);
}

bool WindowThreadDialogs::AskYesNo(const std::string& title, const std::string& text) {
  if (questions_ == nullptr) return false;
  if (OnWindowThread()) return questions_->AskYesNo(title, text);
  bool answer = false;
  // The window's thread never blocks on the recording thread (it waits in an
  // event loop), so this cannot deadlock.
  QMetaObject::invokeMethod(&window_, [&] { answer = questions_->AskYesNo(title, text); },
                            Qt::BlockingQueuedConnection);
  return answer;
}
