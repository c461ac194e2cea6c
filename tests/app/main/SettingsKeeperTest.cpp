// SettingsKeeper: a change reaches the settings file once the window has been
// left alone for a moment, not only when it closes; while a take runs it waits.
#include "app/windows/SettingsKeeper.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include "app/platform/DiskSettingsFile.h"

namespace {

using Key = RecorderSettings::Key;

TEST(SettingsKeeperTest, AChangeIsWrittenWhenTheWindowIsLeftAlone) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/tamblin.ini";
  SettingsKeeper keeper(std::make_unique<DiskSettingsFile>(path));
  keeper.Values().Set(Key::Rate, 22050);
  keeper.SaveSoon();
  QSignalSpy quiet(keeper.findChild<QTimer*>(), &QTimer::timeout);
  ASSERT_TRUE(quiet.wait());

  DiskSettingsFile file(path);  // while the keeper still runs
  RecorderSettings written(file);
  EXPECT_TRUE(written.Load().isEmpty());
  EXPECT_EQ(written.Whole(Key::Rate), 22050);
}

TEST(SettingsKeeperTest, AChangeDuringATakeWaitsForItsEnd) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/tamblin.ini";
  SettingsKeeper keeper(std::make_unique<DiskSettingsFile>(path));
  keeper.HoldWrites(true);
  keeper.Values().Set(Key::Rate, 22050);
  keeper.SaveSoon();
  QSignalSpy quiet(keeper.findChild<QTimer*>(), &QTimer::timeout);
  ASSERT_TRUE(quiet.wait());
  EXPECT_FALSE(QFile::exists(path)) << "written while the take ran";

  keeper.HoldWrites(false);
  DiskSettingsFile file(path);
  RecorderSettings written(file);
  EXPECT_TRUE(written.Load().isEmpty());
  EXPECT_EQ(written.Whole(Key::Rate), 22050);
}

}  // namespace
