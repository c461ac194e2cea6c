// RecorderSettings in a real settings file: files that are not whole, not ours
// or too large give the defaults and a notice; values outside their keys give
// the nearest or the default one.
#include "app/recording/RecorderSettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "TestDoubles.h"
#include "app/platform/DiskSettingsFile.h"

namespace {

using Key = RecorderSettings::Key;

TEST(RecorderSettingsTest, UnusableFilesGiveTheDefaultsAndANoticeAndLeaveWhatIsNotOursAlone) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/tamblin.ini";
  const QString elsewhere = dir.path() + "/elsewhere.ini";
  DiskSettingsFile file(path);
  RecorderSettings written(file);
  written.Set(Key::Rate, 22050);
  written.Set(Key::FileType, QStringLiteral("flac"));
  ASSERT_TRUE(written.Save().isEmpty());
  const QByteArray whole = ReadAll(path);
  QByteArray swollen = whole;
  swollen.insert(whole.indexOf("[end]"), QByteArray("rate=1\n").repeated(10000));  // 70 kB of settings

  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"binary garbage", [&] { WriteAll(path, QByteArray("\x00\xff\xfe[Tamblin]\x01\n", 14)); }},
      {"cut in the end line", [&] { WriteAll(path, whole.chopped(3)); }},
      {"cut in half", [&] { WriteAll(path, whole.left(whole.size() / 2)); }},
      {"huge", [&] { WriteAll(path, swollen); }},
      {"a link to elsewhere", [&] {
         WriteAll(elsewhere, whole);
         ASSERT_TRUE(QFile::link(elsewhere, path));
       }},
      {"a folder", [&] { ASSERT_TRUE(QDir().mkdir(path)); }},
  };
  for (const auto& [name, make] : cases) {
    QFile::remove(path);
    QDir().rmdir(path);
    make();
    RecorderSettings read(file);
    EXPECT_FALSE(read.Load().isEmpty()) << name;
    EXPECT_EQ(read.Whole(Key::Rate), 44100) << name;
    EXPECT_EQ(read.Text(Key::FileType), "wav") << name;
    read.Set(Key::Rate, 8000);
    read.Save();
  }
  EXPECT_EQ(ReadAll(elsewhere), whole) << "a link's target is neither read nor written";
  EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(RecorderSettingsTest, NumbersOutsideTheirRangeAreClampedAndUnknownValuesTakeTheDefault) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/tamblin.ini";
  WriteAll(path,
           "[Tamblin]\nrate=200000\nstereo=0\ntype=aiff\nthreshold=-500\nhang=0\nsplitMinutes=99999\n"
           "afterSilence=later\npreRecord=9999\nmonitorInput=0\nechoAmp=5\nband2=-40\nfromALaterVersion=1\n"
           "flacLevel=99\nmp3BitRate=-3\nopusBitRate=many\n[end]\n");
  DiskSettingsFile file(path);
  RecorderSettings read(file);
  EXPECT_TRUE(read.Load().isEmpty()) << "a sane file, only its values are not";
  EXPECT_EQ(read.Whole(Key::Rate), 96000);
  EXPECT_FALSE(read.Flag(Key::Stereo));
  EXPECT_EQ(read.Text(Key::FileType), "wav");
  const HandsFreeSettings handsFree = read.HandsFree();
  EXPECT_EQ(handsFree.sound.thresholdDbfs, SoundActivation::kLowestThresholdDbfs);
  EXPECT_EQ(handsFree.sound.hangSeconds, SoundActivation::kShortestHangSeconds);
  EXPECT_EQ(handsFree.splitMinutes, HandsFreeSettings::kLongestSplitMinutes);
  EXPECT_EQ(handsFree.sound.afterSilence, SoundActivation::AfterSilence::Pause);
  EXPECT_EQ(read.PreRecordSeconds(), 600);
  EXPECT_FALSE(read.MonitorInput());
  EXPECT_EQ(read.CompressedSetting(FileTypes::TYPE_FLAC), 12);
  EXPECT_EQ(read.CompressedSetting(FileTypes::TYPE_MP3), 8);
  EXPECT_EQ(read.CompressedSetting(FileTypes::TYPE_OPUS), std::nullopt) << "no number: the type's default";
  const EffectSettings effects = read.EffectsOver(EffectSettings{.echoAmp = 0.4f, .bandGainsDB = {0, 0, 0}});
  EXPECT_FLOAT_EQ(effects.echoAmp, 0.9f);
  EXPECT_EQ(effects.bandGainsDB, (std::vector<float>{0, -12, 0}));

  WriteAll(path, "[Tamblin]\nrate=fast\n[end]\n");
  EXPECT_TRUE(read.Load().isEmpty());
  EXPECT_EQ(read.Whole(Key::Rate), 44100);
  EXPECT_TRUE(read.MonitorInput());
  EXPECT_EQ(read.PreRecordSeconds(), 0);
}

TEST(RecorderSettingsTest, TheSecondInputComesBackAsSavedWithItsGainsClampedAndUnknownTracksMixed) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/tamblin.ini";
  DiskSettingsFile file(path);
  RecorderSettings written(file);
  EXPECT_EQ(written.SecondInput(), SecondInputSettings{}) << "nothing remembered: one input";
  const SecondInputSettings chosen{.sourceName = "tamblin_null.monitor", .tracks = TrackLayout::Both,
                                   .oneMultichannelFile = true, .firstGainDb = -6.5, .secondGainDb = 12,
                                   .removeComputerSound = false, .gateOnEither = true};
  written.SecondInput(chosen);
  ASSERT_TRUE(written.Save().isEmpty());
  RecorderSettings read(file);
  ASSERT_TRUE(read.Load().isEmpty());
  EXPECT_EQ(read.SecondInput(), chosen);

  WriteAll(path, "[Tamblin]\nsecondDevice=mic\ntracks=sideways\nfirstGainDb=-90\nsecondGainDb=35\n"
                 "removeComputerSound=7\noneMultichannelFile=x\n[end]\n");
  ASSERT_TRUE(read.Load().isEmpty());
  const SecondInputSettings clamped = read.SecondInput();
  EXPECT_EQ(clamped.sourceName, "mic");
  EXPECT_EQ(clamped.tracks, TrackLayout::Mix);
  EXPECT_EQ(clamped.firstGainDb, SecondInputSettings::kLowestGainDb);
  EXPECT_EQ(clamped.secondGainDb, SecondInputSettings::kHighestGainDb);
  EXPECT_TRUE(clamped.removeComputerSound);
  EXPECT_FALSE(clamped.oneMultichannelFile);
}

}  // namespace
