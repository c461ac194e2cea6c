// FileRecord: creation and truncation, exact reporting of failed writes, header
// writes that leave the append position alone, and cutting a partial block off.
#include "encoding/FileRecord.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/encoding/AudioProbe.h"

namespace {

TEST(FileRecordTest, OpenReplacesAnExistingFileAndFailsForMissingFolders) {
  TempDir dir;
  const auto path = dir / "f.bin";
  { std::ofstream(path) << "old contents"; }
  FileRecord file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.path(), path.string());
  EXPECT_EQ(file.Length(), 0);
  file.Close();
  file.Close();  // twice is harmless
  EXPECT_FALSE(file.IsOpen());
  EXPECT_TRUE(file.path().empty());
  EXPECT_EQ(file.Write("x", 1), 0) << "closed: nothing written";
  EXPECT_EQ(file.Length(), -1);
  EXPECT_FALSE(file.Sync()) << "closed: nothing to sync";
  EXPECT_FALSE(file.Open(dir / "missing" / "f.bin"));
  EXPECT_FALSE(file.LastError().empty());
  EXPECT_FALSE(file.Open(""));
}

TEST(FileRecordTest, FullDeviceIsReportedWithItsReason) {
  FileRecord file;
  if (!file.Open("/dev/full")) GTEST_SKIP() << "/dev/full not available: " << file.LastError();
  const char data[64] = {};
  EXPECT_EQ(file.Write(data, 64), -1);
  EXPECT_NE(file.LastError().find("No space left"), std::string::npos) << file.LastError();
}

TEST(FileRecordTest, WriteAtLeavesThePositionAndTruncateCutsBack) {
  TempDir dir;
  const auto path = dir / "f.bin";
  FileRecord file;
  ASSERT_TRUE(file.Open(path));
  ASSERT_EQ(file.Write("0123456789", 10), 10);
  ASSERT_TRUE(file.WriteAt(2, "ab", 2));
  EXPECT_EQ(file.Position(), 10);
  ASSERT_TRUE(file.Truncate(6));
  EXPECT_EQ(file.Position(), 6);
  EXPECT_EQ(file.Length(), 6);
  ASSERT_EQ(file.Write("xy", 2), 2);
  EXPECT_TRUE(file.Sync());
  file.Close();
  const auto bytes = ReadFileBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "01ab45xy");
}

}  // namespace
