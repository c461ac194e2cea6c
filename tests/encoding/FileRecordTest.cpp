// FileRecord: creation and truncation, keeping files that hold data (or that
// another recording holds open), discarding only a file of our own, exact reporting of failed writes, header
// writes that leave the append position alone, and cutting a partial block off.
#include "encoding/FileRecord.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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

std::string Contents(const std::filesystem::path& path) {
  const auto bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

TEST(FileRecordTest, DataIsKeptUnlessReplacingIsAllowed) {
  TempDir dir;
  const auto full = dir / "full.bin";
  const auto empty = dir / "empty.bin";
  { std::ofstream(full) << "a recording"; }
  { std::ofstream{empty}; }
  const TargetRules keep{.replaceData = false, .followLinks = true};
  FileRecord file;
  EXPECT_EQ(file.Open(full, keep), FileRecord::OpenResult::HoldsData);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_NE(file.LastError().find("11 bytes"), std::string::npos) << file.LastError();
  EXPECT_EQ(Contents(full), "a recording");

  EXPECT_EQ(file.Open(empty, keep), FileRecord::OpenResult::Opened) << "an empty file holds nothing to lose";
  file.Close();

  // Through a link: kept as well; not followed at all when links are not ours.
  const auto link = dir / "link.bin";
  std::filesystem::create_symlink(empty, link);
  const TargetRules noLinks{.replaceData = false, .followLinks = false};
  EXPECT_EQ(file.Open(link, noLinks), FileRecord::OpenResult::HoldsData);
  EXPECT_EQ(file.Open(link, keep), FileRecord::OpenResult::Opened);
  file.Close();

  // A file another recording holds open is taken, even where replacing is allowed.
  FileRecord running;
  const auto busy = dir / "busy.bin";
  ASSERT_TRUE(running.Open(busy));
  ASSERT_EQ(running.Write("abc", 3), 3);
  EXPECT_EQ(file.Open(busy, TargetRules{}), FileRecord::OpenResult::HoldsData);
  EXPECT_EQ(Contents(busy), "abc");

  // A folder or a named pipe is no output file, and the pipe does not block the open.
  const auto pipe = dir / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(file.Open(pipe, TargetRules{}), FileRecord::OpenResult::Failed);
  EXPECT_EQ(file.Open(dir.path(), TargetRules{}), FileRecord::OpenResult::Failed);
  EXPECT_FALSE(file.IsOpen());
}

TEST(FileRecordTest, DiscardRemovesNoFileThatIsNotOurs) {
  TempDir dir;
  const auto created = dir / "new.bin";
  FileRecord file;
  ASSERT_TRUE(file.Open(created));
  // The name now leads to someone else's file: that one stays.
  const auto foreign = dir / "foreign.bin";
  { std::ofstream(foreign) << "not ours"; }
  std::filesystem::rename(foreign, created);
  EXPECT_TRUE(file.Discard());
  EXPECT_EQ(Contents(created), "not ours");
  EXPECT_FALSE(file.Discard()) << "closed: nothing to discard";
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
