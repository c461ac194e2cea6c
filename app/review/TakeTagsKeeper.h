// TakeTagsKeeper: the window's side of the takes' texts. Keeps the texts for
// the next recordings (they stay until changed) and hands them on; opens the
// "标签" dialog for them, or for a finished take with the tags read from its
// file, and re-tags that file on a worker thread (a FLAC copy of an hour takes
// seconds), telling the window while it runs. Failures are reported in a
// message box with the system's words. UI thread only.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "app/recording/TakeTexts.h"
#include "tagging/TakeMetadata.h"

class MessageBoxService;
class QThread;
class QWidget;
class frmTakeTags;

class TakeTagsKeeper : public QObject {
  Q_OBJECT

 public:
  // `window` owns the dialog and gets the message boxes.
  TakeTagsKeeper(MessageBoxService& messages, QWidget& window);
  ~TakeTagsKeeper() override;  // waits for a re-tag under way

  // The dialog for the next recordings; confirming applies it (ApplyNext).
  void EditNext();
  void ApplyNext(const TakeTexts& texts);
  const TakeTexts& Next() const { return next_; }

  // The dialog for the take at `path`, recorded at `rate`, filled from its file;
  // confirming re-tags it (Retag). An unreadable file is reported instead.
  void EditTake(const std::string& path, int32_t rate);
  // Re-tags `path` with the texts and start of `texts` on a worker thread.
  // Refused (false) while one runs.
  bool Retag(const std::string& path, int32_t rate, const TakeMetadata& texts);
  bool Busy() const { return worker_ != nullptr; }

  // Heard when ApplyNext changed the texts (the recording thread takes them).
  std::function<void(const TakeTexts&)> NextTextsChanged;
  // Heard when a re-tag starts (true) and when it is done (false).
  std::function<void(bool busy)> BusyChanged;

  static QString FailureText(const std::string& path);  // "无法修改文件的标签: <path>"

 private:
  frmTakeTags& Dialog();
  void Finished(const std::string& path, const std::string& reason);

  MessageBoxService& messages_;
  QWidget& window_;
  TakeTexts next_;
  frmTakeTags* dialog_ = nullptr;  // created on first use, child of the window
  QThread* worker_ = nullptr;      // the re-tag under way
};
