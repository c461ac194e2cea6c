#include "app/review/TakeTagsKeeper.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <memory>

#include "app/platform/InterfaceLanguage.h"
#include "app/review/frmTakeTags.h"
#include "common/MessageBoxService.h"
#include "tagging/CutMetadata.h"
#include "tagging/TakeMetadataWriter.h"

namespace {
constexpr const char* kCaption = "Tamblin";

std::string WithCause(const QString& message, const std::string& cause) {
  return message.toStdString() + "\n" + cause;
}
}  // namespace

TakeTagsKeeper::TakeTagsKeeper(MessageBoxService& messages, QWidget& window) : messages_(messages), window_(window) {}

TakeTagsKeeper::~TakeTagsKeeper() {
  // The file must not be left to a re-tag nobody hears the end of.
  if (worker_ != nullptr) worker_->wait();
}

QString TakeTagsKeeper::FailureText(const std::string& path) {
  return tr("无法修改文件的标签: %1").arg(QString::fromStdString(path));
}

frmTakeTags& TakeTagsKeeper::Dialog() {
  if (dialog_ == nullptr) dialog_ = new frmTakeTags(&window_);
  return *dialog_;
}

void TakeTagsKeeper::EditNext() {
  Dialog().LoadNext(next_);
  // The window may close (tray menu "退出") while the dialog is up, and this object with it.
  const QPointer<TakeTagsKeeper> alive(this);
  if (Dialog().exec() == QDialog::Accepted && alive) ApplyNext(dialog_->Texts());
}

void TakeTagsKeeper::ApplyNext(const TakeTexts& texts) {
  if (texts == next_) return;
  next_ = texts;
  if (NextTextsChanged) NextTextsChanged(next_);
}

void TakeTagsKeeper::EditTake(const std::string& path, int32_t rate) {
  if (Busy()) return;
  TakeMetadata tags;
  if (std::string error = CutMetadata::Read(path, CutMetadata::TypeOfPath(path), rate, tags); !error.empty()) {
    messages_.ShowWarning(kCaption, WithCause(FailureText(path), error));
    return;
  }
  const QFileInfo file(QString::fromStdString(path));
  if (tags.start == std::chrono::system_clock::time_point{}) {
    // Untagged: the file came into being when its recording started.
    const QDateTime born = file.birthTime().isValid() ? file.birthTime() : file.lastModified();
    tags.start = std::chrono::system_clock::time_point{std::chrono::milliseconds{born.toMSecsSinceEpoch()}};
  }
  Dialog().LoadTake(file.fileName(), tags);
  const QPointer<TakeTagsKeeper> alive(this);
  if (Dialog().exec() != QDialog::Accepted || !alive) return;
  const TakeTexts texts = dialog_->Texts();
  Retag(path, rate, {.title = texts.title, .start = dialog_->Start(), .software = texts.software,
                     .comment = texts.comment, .language = InterfaceLanguage::Iso639_2()});
}

bool TakeTagsKeeper::Retag(const std::string& path, int32_t rate, const TakeMetadata& texts) {
  if (Busy()) return false;
  auto reason = std::make_shared<std::string>();
  worker_ = QThread::create([path, rate, texts, reason] {
    *reason = TakeMetadataWriter::Retag(path, CutMetadata::TypeOfPath(path), rate, texts).reason;
  });
  connect(worker_, &QThread::finished, this, [this, path, reason] { Finished(path, *reason); });
  if (BusyChanged) BusyChanged(true);
  worker_->start();
  return true;
}

void TakeTagsKeeper::Finished(const std::string& path, const std::string& reason) {
  worker_->deleteLater();
  worker_ = nullptr;
  if (BusyChanged) BusyChanged(false);
  if (!reason.empty()) messages_.ShowWarning(kCaption, WithCause(FailureText(path), reason));
}
