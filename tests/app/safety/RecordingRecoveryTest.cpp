// Start-up recovery of numbered recordings left behind by a killed recording:
// only numbered WAVE files with stale sizes are mended, everything else stays
// byte for byte as it was.
#include "app/RecordingRecovery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "encoding/EncoderWAV.h"
#include "tests/app/safety/SafetyFiles.h"

namespace {

namespace fs = std::filesystem;

// A recording of `blocks` blocks of 0.1 s whose process "died" before the
// first header refresh: a copy of the open file with the start-up header.
std::vector<uint8_t> KilledRecording(const fs::path& scratch, int blocks) {
  EncoderWAV encoder;
  encoder.HeaderRefreshInterval(std::chrono::hours{1});
  const auto path = scratch / "running.wav";
  EXPECT_EQ(encoder.EncoderInit(44100, 2, path.string()), ENC_OK);
  std::vector<int16_t> block(8820);
  for (int b = 0; b < blocks; ++b) {
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int16_t>(b * 1000 + i);
    int32_t used = 0;
    EXPECT_EQ(encoder.Encode(block.data(), 17640, used), ENC_OK);
  }
  return ReadBytes(path);
}

TEST(RecordingRecoveryTest, NumberedNamesAreExactlyThoseTheProgramWrites) {
  for (const char* name : {"录音0.wav", "录音12.wav", "录音-32768.wav", "录音32767.wav"}) {
    EXPECT_TRUE(RecordingJournal::IsNumberedRecording(QString::fromUtf8(name))) << name;
  }
  for (const char* name : {"录音.wav", "录音007.wav", "录音+1.wav", "录音32768.wav", "录音1.WAV", "录音1.wav.bak",
                           "x录音1.wav", "录音 1.wav", "录音1x.wav"}) {
    EXPECT_FALSE(RecordingJournal::IsNumberedRecording(QString::fromUtf8(name))) << name;
  }
}

TEST(RecordingRecoveryTest, MendsOnlyStaleNumberedRecordingsAndNamesThem) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const fs::path dir = folder.path().toStdString();
  const auto killed = KilledRecording(dir, 7);
  fs::remove(dir / "running.wav");

  WriteBytes(dir / "录音1.wav", killed);
  WriteBytes(dir / "录音007.wav", killed);   // not a name the program writes
  WriteBytes(dir / "notes.wav", killed);
  WriteBytes(dir / "录音3.wav", {});         // the prepared next file
  WriteBytes(dir / "录音4.wav", std::vector<uint8_t>(5000, 0x5A));  // not a WAVE file
  auto finished = killed;
  PutU32(finished, 4, static_cast<uint32_t>(finished.size() - 8));
  PutU32(finished, 42, static_cast<uint32_t>(finished.size() - 46));
  WriteBytes(dir / "录音2.wav", finished);

  const auto result = RecordingRecovery::Scan(folder.path());
  EXPECT_EQ(result.recovered, QStringList{QStringLiteral("录音1.wav")});
  EXPECT_TRUE(result.failed.isEmpty());
  EXPECT_EQ(ReadBytes(dir / "录音1.wav"), finished) << "sizes now describe all 0.7 s";
  EXPECT_EQ(ReadBytes(dir / "录音007.wav"), killed);
  EXPECT_EQ(ReadBytes(dir / "notes.wav"), killed);
  EXPECT_EQ(ReadBytes(dir / "录音2.wav"), finished);
  EXPECT_TRUE(ReadBytes(dir / "录音3.wav").empty());
  EXPECT_EQ(ReadBytes(dir / "录音4.wav"), std::vector<uint8_t>(5000, 0x5A));
  EXPECT_EQ(SoxSampleCount(dir / "录音1.wav"), 7 * 8820 / 2) << "stereo frames";

  const std::string text = RecordingRecovery::Message(result);
  EXPECT_NE(text.find("录音1.wav"), std::string::npos) << text;
  EXPECT_NE(text.find("修复"), std::string::npos) << text;

  // A second start finds nothing left to do and says nothing.
  const auto again = RecordingRecovery::Scan(folder.path());
  EXPECT_TRUE(again.Empty());
  EXPECT_TRUE(RecordingRecovery::Message(again).empty());
}

TEST(RecordingRecoveryTest, MissingFolderAndUnwritableFilesAreReportedNotFatal) {
  EXPECT_TRUE(RecordingRecovery::Scan(QStringLiteral("/nonexistent/tamblin/file")).Empty());
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only files; unwritable case not testable";
  QTemporaryDir folder;
  const fs::path dir = folder.path().toStdString();
  const auto killed = KilledRecording(dir, 2);
  WriteBytes(dir / "录音9.wav", killed);
  fs::permissions(dir / "录音9.wav", fs::perms::owner_read);
  const auto result = RecordingRecovery::Scan(folder.path());
  EXPECT_EQ(result.failed, QStringList{QStringLiteral("录音9.wav")});
  EXPECT_NE(RecordingRecovery::Message(result).find("无法修复"), std::string::npos);
}

}  // namespace
