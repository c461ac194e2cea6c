// SettingsKeeper: the window's remembered choices (RecorderSettings) in the
// program's settings file: read once at start-up, saved a moment after a
// change, so a run of changes (a slider dragged) is one write, and at once by
// SaveNow (the window closing). The window's thread only.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "app/platform/SettingsFile.h"
#include "app/recording/RecorderSettings.h"

class QTimer;

class SettingsKeeper : public QObject {
  Q_OBJECT

 public:
  // Keeps them in `file` (nullptr: ProgramFolder::PreferencesFile()).
  explicit SettingsKeeper(std::unique_ptr<SettingsFile> file = nullptr, QObject* parent = nullptr);
  ~SettingsKeeper() override;

  RecorderSettings& Values() { return *settings_; }
  // Reads the file; the one-line notice for the user when it could not be used.
  QString Load();
  // The values changed: written a moment later.
  void SaveSoon();
  // Writes a pending change now.
  void SaveNow();
  // While held (a take runs), a change waits instead of being written a moment
  // later: the write syncs the disk, which the window's thread must not wait
  // for while the take's own writes share that disk. Releasing writes it.
  void HoldWrites(bool hold);

  // Heard with the notice when a save failed.
  std::function<void(const QString& notice)> SaveFailed;

 private:
  std::unique_ptr<SettingsFile> file_;
  std::unique_ptr<RecorderSettings> settings_;
  QTimer* timer_ = nullptr;
  bool pending_ = false;  // a change not yet written
  bool held_ = false;
};
