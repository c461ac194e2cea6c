// The label file beside a recording: its exact text, and which existing
// files it may replace.
#include "tagging/LabelFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tests/encoding/AudioProbe.h"
#include "tests/tagging/TakeFiles.h"

namespace {

std::string Text(const std::filesystem::path& file) {
  const auto bytes = ReadFileBytes(file);
  return {bytes.begin(), bytes.end()};
}

TEST(LabelFileTest, PointsInSecondsWithSixDecimalsAndNamesOnOneLine) {
  // 1 hour at 96 kHz and one frame: the rest is exact, not a rounded double.
  const std::vector<TakeMetadata::Marker> markers = {{0, "开始"}, {96000LL * 3600 + 1, "a\tb\nc"}, {47999, "x"}};
  EXPECT_EQ(LabelFile::Text(markers, 96000), "0.000000\t0.000000\t开始\n3600.000010\t3600.000010\ta b c\n"
                                             "0.499990\t0.499990\tx\n");
  EXPECT_TRUE(LabelFile::IsLabelText("1.000000\t1.000000\tname\n0.500000\t2.000000\t\n"));
  for (const char* text : {"", "notes\n", "1.0\t1.0\tx\n", "1.000000\t1.000000\tx", "-1.000000\t1.000000\tx\n"}) {
    EXPECT_FALSE(LabelFile::IsLabelText(text)) << text;
  }
}

TEST(LabelFileTest, ReplacesOnlyALabelFileAndNeverFollowsALink) {
  TempDir dir;
  const auto recording = (dir / "take.wav").string();
  const std::vector<TakeMetadata::Marker> markers = {{44100, "标记 1"}};
  std::ofstream(dir / "take.txt") << "0.000000\t0.000000\told\n";
  EXPECT_EQ(LabelFile::Write(recording, markers, 44100), "");
  EXPECT_EQ(Text(dir / "take.txt"), "1.000000\t1.000000\t标记 1\n");

  std::ofstream(dir / "take.txt") << "my own notes\n";
  EXPECT_NE(LabelFile::Write(recording, markers, 44100), "");
  EXPECT_EQ(Text(dir / "take.txt"), "my own notes\n");

  std::filesystem::remove(dir / "take.txt");
  std::ofstream(dir / "elsewhere.txt") << "0.000000\t0.000000\told\n";
  std::filesystem::create_symlink(dir / "elsewhere.txt", dir / "take.txt");
  EXPECT_NE(LabelFile::Write(recording, markers, 44100), "");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "take.txt"));
  EXPECT_EQ(Text(dir / "elsewhere.txt"), "0.000000\t0.000000\told\n");
  EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"elsewhere.txt", "take.txt"})) << "no stray file";
}

// A take and one of another type under the same stem each keep their own labels;
// a recording alone keeps today's name.
TEST(LabelFileTest, TwoRecordingsOfOneStemNeverShareALabelFile) {
  TempDir dir;
  std::ofstream(dir / "take.wav") << "";
  EXPECT_EQ(LabelFile::Write((dir / "take.wav").string(), {{44100, "wav"}}, 44100), "");
  EXPECT_EQ(Text(dir / "take.txt"), "1.000000\t1.000000\twav\n");
  std::ofstream(dir / "take.flac") << "";
  EXPECT_EQ(LabelFile::Write((dir / "take.flac").string(), {{88200, "flac"}}, 44100), "");
  EXPECT_EQ(Text(dir / "take.txt"), "1.000000\t1.000000\twav\n") << "the first take's labels were replaced";
  EXPECT_EQ(Text(dir / "take.flac.txt"), "2.000000\t2.000000\tflac\n");
  EXPECT_EQ(LabelFile::PathFor((dir / "other.mp3").string()), (dir / "other.txt").string());
}

}  // namespace
