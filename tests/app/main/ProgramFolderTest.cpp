// Where the program keeps recordings, the counter and the help page: beside the
// executable in a build folder, in the user's folders when installed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>

#include "app/recording/FileCounter.h"
#include "app/platform/ProgramFolder.h"
#include "app/recording/RecordingJournal.h"
#include "encoding/EncoderWAV.h"
#include "app/platform/SingleInstance.h"

namespace {

// Sets an environment variable for the test's lifetime.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const QString& value)
      : name_(name), previous_(qgetenv(name)), wasSet_(qEnvironmentVariableIsSet(name)) {
    qputenv(name, value.toUtf8());
  }
  ~ScopedVariable() {
    if (wasSet_) {
      qputenv(name_, previous_);
    } else {
      qunsetenv(name_);
    }
  }

 private:
  const char* name_;
  QByteArray previous_;
  bool wasSet_;
};

// "<root>/usr/bin" with "<root>/usr/share/<id>", and a home whose desktop names
// its music folder in Chinese, as a Chinese desktop does.
class InstalledLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir root(root_.path());
    ASSERT_TRUE(root.mkpath("usr/bin") && root.mkpath("usr/share/org.tamblin.Tamblin") && root.mkpath("home/.config"));
    QFile dirs(Home() + "/.config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_MUSIC_DIR=\"$HOME/音乐\"\n");
    dirs.close();
    ProgramFolder::Override(root_.path() + "/usr/bin");
  }
  void TearDown() override { ProgramFolder::Override(QString()); }
  QString Home() const { return root_.path() + "/home"; }

  QTemporaryDir root_;
  ScopedVariable home_{"HOME", root_.path() + "/home"};
  ScopedVariable config_{"XDG_CONFIG_HOME", root_.path() + "/home/.config"};
};

TEST(ProgramFolderTest, OutsideTheInstalledLayoutEverythingStaysBesideTheExecutable) {
  QTemporaryDir root;
  // A "bin" folder alone is not an installation: the data folder must be beside it.
  ASSERT_TRUE(QDir(root.path()).mkpath("bin"));
  for (const QString& folder : {root.path(), root.path() + "/bin"}) {
    ProgramFolder::Override(folder + "/");
    EXPECT_FALSE(ProgramFolder::Installed()) << folder.toStdString();
    EXPECT_EQ(ProgramFolder::OutputFolder(), folder + "/file");
    EXPECT_EQ(ProgramFolder::SettingsFile(), folder + "/nu.ini");
    EXPECT_EQ(ProgramFolder::StateFolder(), folder);
    EXPECT_EQ(ProgramFolder::HelpPage(), folder + "/bangzhu.htm");
  }
  ProgramFolder::Override(QString());
}

TEST_F(InstalledLayoutTest, RecordingsGoToTheMusicFolderAndTheCounterToTheConfigFolder) {
  EXPECT_TRUE(ProgramFolder::Installed());
  EXPECT_EQ(ProgramFolder::OutputFolder(), Home() + "/音乐/Tamblin");
  EXPECT_EQ(ProgramFolder::StateFolder(), Home() + "/.config/org.tamblin.Tamblin");
  EXPECT_EQ(ProgramFolder::SettingsFile(), Home() + "/.config/org.tamblin.Tamblin/nu.ini");
  EXPECT_EQ(ProgramFolder::HelpPage(), root_.path() + "/usr/share/org.tamblin.Tamblin/bangzhu.htm");
}

// The first run of an installed program has no config folder of its own yet.
TEST_F(InstalledLayoutTest, FirstRunCreatesTheFoldersItWritesTo) {
  FileCounter counter;
  counter.intFileNo(7);
  ASSERT_TRUE(FileCounter::EnsureOutputFolder());
  EXPECT_TRUE(QDir(Home() + "/音乐/Tamblin").exists());
  ASSERT_TRUE(counter.Save());
  FileCounter again;
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.intFileNo(), 7);
  EXPECT_TRUE(QFile::exists(Home() + "/.config/org.tamblin.Tamblin/nu.ini"));
}

// A crashed FLAC recording keeps its number from the next WAV file; so do a
// recording, a link or a folder of any other type. An empty file of another
// type (an older version left one at every number it reserved) is no recording;
// an empty one of the type to be written is passed by all the same.
TEST(ProgramFolderTest, NextNumberedFileSkipsANumberAnyRecordedTypeHolds) {
  QTemporaryDir root;
  ProgramFolder::Override(root.path());
  ASSERT_TRUE(FileCounter::EnsureOutputFolder());
  const QString numbered = ProgramFolder::OutputFolder() + "/录音";
  const auto create = [&](const char* name, const QByteArray& bytes) {
    QFile file(numbered + name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
  };
  ASSERT_TRUE(create("3.flac", "fLaC") && create("4.opus", "OggS") && create("7.mp3", ""));
  ASSERT_TRUE(QFile::link(root.path() + "/nowhere", numbered + "5.mp3"));
  ASSERT_TRUE(QDir().mkpath(numbered + "6.flac"));

  FileCounter counter;
  counter.intFileNo(3);
  ASSERT_TRUE(counter.PrepareNextFile());
  EXPECT_EQ(counter.intFileNo(), 7);
  EXPECT_FALSE(QFileInfo::exists(numbered + "7.wav")) << "reserved by its number, not made";
  EXPECT_EQ(QFileInfo(numbered + "7.mp3").size(), 0) << "an older version's empty file stays";
  for (int used = 3; used < 7; ++used) EXPECT_FALSE(QFileInfo::exists(numbered + QString::number(used) + ".wav"));
  // An empty file of the very type is no recording of ours either: it is passed by, not written into.
  ASSERT_TRUE(create("7.wav", ""));
  ASSERT_TRUE(counter.PrepareNextFile());
  EXPECT_EQ(counter.intFileNo(), 8);
  EXPECT_EQ(QFileInfo(numbered + "7.wav").size(), 0);
  ProgramFolder::Override(QString());
}

// A plain file stands where a parent of the state folder belongs: the counter,
// the journal and the lock each say which folder could not be made and why.
TEST(ProgramFolderTest, WritesIntoAStateFolderThatCannotBeMadeSayWhichFolderAndWhy) {
  QTemporaryDir root;
  ASSERT_TRUE(QFile(root.path() + "/config").open(QIODevice::WriteOnly));
  ProgramFolder::Override(root.path() + "/config/state");
  const std::string why = "无法创建文件夹 " + root.path().toStdString() + "/config: " + std::strerror(EEXIST);

  QString counterError;
  EXPECT_FALSE(FileCounter().Save(&counterError));
  EXPECT_EQ(counterError.toStdString(), why);
  // A recording of ours elsewhere (the user named it): journalled in the state folder all the same.
  const std::string take = (root.path() + "/take.wav").toStdString();
  EncoderWAV recording;
  ASSERT_EQ(recording.EncoderInit(44100, 2, take), ENC_OK);
  const std::string journalError = RecordingJournal().Begin(take);
  recording.EncoderClose();
  EXPECT_NE(journalError.find(why), std::string::npos) << journalError;
  SingleInstance instance(ProgramFolder::Path(), ProgramFolder::LockFile());
  EXPECT_EQ(instance.Claim(), SingleInstance::ClaimResult::NoLock);
  EXPECT_EQ(instance.ErrorText().toStdString(), why);
  ProgramFolder::Override(QString());
}

}  // namespace
