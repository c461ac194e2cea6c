#include "app/windows/SettingsKeeper.h"

#include <QTimer>

#include "app/platform/DiskSettingsFile.h"
#include "app/platform/ProgramFolder.h"

namespace {

// Long enough to take a slider's drag as one change.
constexpr int kSaveDelayMs = 1000;

}  // namespace

SettingsKeeper::SettingsKeeper(std::unique_ptr<SettingsFile> file, QObject* parent)
    : QObject(parent),
      file_(file ? std::move(file) : std::make_unique<DiskSettingsFile>(ProgramFolder::PreferencesFile())),
      settings_(std::make_unique<RecorderSettings>(*file_)),
      timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  timer_->setInterval(kSaveDelayMs);
  connect(timer_, &QTimer::timeout, this, [this] {
    if (!held_) SaveNow();
  });
}

SettingsKeeper::~SettingsKeeper() {
  SaveFailed = nullptr;  // whoever listened may be gone by now
  SaveNow();
}

QString SettingsKeeper::Load() { return settings_->Load(); }

void SettingsKeeper::SaveSoon() {
  pending_ = true;
  timer_->start();
}

void SettingsKeeper::HoldWrites(bool hold) {
  held_ = hold;
  if (!held_) SaveNow();
}

void SettingsKeeper::SaveNow() {
  // Not the timer's isActive: a single-shot timer is no longer active when its timeout calls here.
  if (!pending_) return;
  pending_ = false;
  timer_->stop();
  if (const QString notice = settings_->Save(); !notice.isEmpty() && SaveFailed) SaveFailed(notice);
}
