// The journal of recordings in progress: which files it takes, how it leaves
// them, and that a corrupt, huge or foreign journal is read within bounds,
// never hangs or crashes, and keeps the entries that are valid.
#include "app/recording/RecordingJournal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/safety/RecoveryFolderTest.h"
#include "tests/app/safety/SafetyFiles.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// A 44100 Hz stereo 16-bit file of `frames` frames whose sizes claim `claimed` bytes.
std::vector<uint8_t> Wave(uint32_t claimed, uint32_t frames) {
  std::vector<uint8_t> bytes(46 + frames * 4, 0x5A);  // audio, not zeros a file system may leave
  const uint8_t header[38] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
                              1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
  std::copy(std::begin(header), std::end(header), bytes.begin());
  std::copy_n("data", 4, bytes.begin() + 38);
  PutU32(bytes, 4, 38 + claimed);
  PutU32(bytes, 42, claimed);
  return bytes;
}

class RecordingJournalTest : public RecoveryFolderTest {
 protected:
  std::string InOutput(const char* name) const { return (Output() / name).string(); }
};

TEST(RecordingJournalNames, NumberedNamesAreExactlyThoseTheProgramWrites) {
  for (const char* name : {"录音0.wav", "录音12.wav", "录音-32768.wav", "录音32767.wav", "录音3.flac", "录音3.opus",
                           "录音3.mp3"}) {
    EXPECT_TRUE(RecordingJournal::IsNumberedRecording(QString::fromUtf8(name))) << name;
  }
  for (const char* name : {"录音.wav", "录音007.wav", "录音+1.wav", "录音32768.wav", "录音1.WAV", "录音1.wav.bak",
                           "x录音1.wav", "录音 1.wav", "录音1x.wav", "录音1.ogg", "录音1.FLAC", "录音1.", "录音1",
                           "录音1.flac.wav.mp3x"}) {
    EXPECT_FALSE(RecordingJournal::IsNumberedRecording(QString::fromUtf8(name))) << name;
  }
}

TEST_F(RecordingJournalTest, TakesRecordingsItCanIdentifyInAnyFolderAndDropsThemWhenFinished) {
  const auto journal = Journal();
  const auto elsewhere = Dir() / "my takes";
  fs::create_directories(elsewhere);
  for (const auto& file : {Output() / "录音3.wav", Output() / "notes.wav", elsewhere / "take 1\n%.wav"}) {
    WriteBytes(file, Wave(400, 100));
  }
  WriteBytes(Output() / "录音6.wav", Wave(0, 100));
  WriteBytes(Output() / "录音7.wav", Bytes("not a recording of ours"));
  fs::create_symlink(Output() / "录音6.wav", Output() / "录音8.wav");
  EXPECT_EQ(journal.Begin(InOutput("录音3.wav")), "");
  EXPECT_EQ(journal.Begin(InOutput("录音3.wav")), "") << "twice is one entry";
  EXPECT_EQ(journal.Begin(InOutput("notes.wav")), "");
  EXPECT_EQ(journal.Begin(InOutput("../my takes/take 1\n%.wav")), "");
  EXPECT_EQ(journal.Begin(InOutput("录音6.wav")), "");
  for (const char* unprovable : {"录音5.wav", "录音7.wav", "录音8.wav"}) EXPECT_EQ(journal.Begin(InOutput(unprovable)), "");
  const QString named = QString::fromStdString((elsewhere / "take 1\n%.wav").string());
  ASSERT_EQ(journal.Read().names, (QStringList{QStringLiteral("录音3.wav"), QStringLiteral("notes.wav"), named,
                                               QStringLiteral("录音6.wav")}))
      << "missing, foreign and linked files have nothing to prove them ours";
  EXPECT_EQ(journal.Read().list[2].path, named);
  const auto text = ReadBytes(JournalPath());
  EXPECT_NE(std::string(text.begin(), text.end()).find("/my%20takes/take%201%0A%25.wav\n"), std::string::npos)
      << "one line per entry, whatever its name holds";

  // Finished cleanly: gone. Its last header missing: kept for the next start.
  for (const char* name : {"录音3.wav", "notes.wav", "录音6.wav"}) journal.Finish(InOutput(name));
  journal.Finish(named.toStdString());
  EXPECT_EQ(journal.Read().names, QStringList{QStringLiteral("录音6.wav")});
}

TEST_F(RecordingJournalTest, CorruptOrHugeJournalKeepsItsValidEntriesWithinBounds) {
  std::string text = std::string("\0\xff\xfe garbage\n", 12) + "录音1.wav\r\n/etc/passwd\n../录音2.wav\n" +
                     "录音007.wav\n" + std::string(3000, 'x') + "\n录音1.wav\n录音-3.wav\n";
  for (int i = 0; i < RecordingJournal::kMaxLines; ++i) text += "#\n";
  text += "录音8.wav\n";                                  // past the line limit
  text += std::string(RecordingJournal::kMaxBytes, '\n');  // and past the byte limit:
  text += "录音9.wav\n";
  WriteBytes(JournalPath(), Bytes(text));
  const auto journal = Journal();
  const auto read = journal.Read();
  EXPECT_TRUE(read.error.empty()) << read.error;
  EXPECT_EQ(read.names, (QStringList{QStringLiteral("录音1.wav"), QStringLiteral("录音-3.wav")}));

  // A new recording keeps what was valid.
  WriteBytes(InOutput("录音4.wav"), Wave(0, 10));
  EXPECT_EQ(journal.Begin(InOutput("录音4.wav")), "");
  EXPECT_EQ(journal.Read().names,
            (QStringList{QStringLiteral("录音1.wav"), QStringLiteral("录音-3.wav"), QStringLiteral("录音4.wav")}));
  const auto kept = ReadBytes(JournalPath());
  EXPECT_EQ(std::vector<uint8_t>(kept.begin(), kept.begin() + 25), Bytes("录音1.wav\n录音-3.wav\n"));

  // A size cut through a line never turns it into a shorter valid name.
  const std::string name = "录音1.wav";
  WriteBytes(JournalPath(), Bytes(std::string(RecordingJournal::kMaxBytes - name.size(), '\n') + name + "x\n"));
  EXPECT_TRUE(journal.Read().names.isEmpty());
}

TEST_F(RecordingJournalTest, NeverWritesThroughALink) {
  const auto elsewhere = Dir() / "elsewhere.txt";
  WriteBytes(elsewhere, Bytes("录音1.wav\n"));
  fs::create_symlink(elsewhere, JournalPath());
  const auto journal = Journal();
  EXPECT_FALSE(journal.Read().error.empty());
  const std::string refused = journal.Begin(InOutput("录音2.wav"));
  EXPECT_NE(refused.find("录音日志"), std::string::npos) << refused;
  EXPECT_NE(refused.find("not a regular file"), std::string::npos) << refused;
  EXPECT_EQ(ReadBytes(elsewhere), Bytes("录音1.wav\n"));
  EXPECT_TRUE(fs::is_symlink(JournalPath()));
}

}  // namespace
