// TakeFiles with a scripted encoder: a full file whose next part cannot be
// opened ends the writing once, with the encoder's own reason, and leaves the
// recording's files as they were (the controller's suites cover the rest).
#include <gtest/gtest.h>

#include "TestDoubles.h"
#include "app/recording/DiskSpaceGuard.h"
#include "app/recording/TakeFiles.h"

namespace {

class ListenerLog : public TakeFiles::Listener {
 public:
  void Warn(const std::string& text) override { warnings.push_back(text); }
  void PartOpened(const std::string& path) override { opened.push_back(path); }
  void WritingFailed() override { ++failures; }

  std::vector<std::string> warnings;
  std::vector<std::string> opened;
  int failures = 0;
};

class TakeFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(folder.Path()).mkpath("file");
    files.LoadCounter();
  }

  TempProgramFolder folder;
  FakeEncoder encoder;
  FakeView view;
  RecordingMessages messages;
  DiskSpaceGuard disk{[](const std::string&) { return std::optional<uint64_t>(); }};
  ListenerLog listener;
  TakeFiles files{encoder, view, messages, disk, listener};
};

TEST_F(TakeFilesTest, NextPartThatCannotOpenEndsTheWritingOnceWithTheEncodersReason) {
  ASSERT_EQ(files.Open({.rate = 44100, .channels = 2}), "");
  files.Begin({});
  const std::string first = view.outputFile;
  encoder.encodeResult = ENC_SIZE_LIMIT;
  encoder.initResult = ENC_FILE_ERROR;
  encoder.initError = "open: Permission denied";
  const std::vector<int16_t> block(1024, 32767);  // a clip, were it measured
  files.Write(block.data(), 2048);

  EXPECT_EQ(listener.failures, 1);
  EXPECT_TRUE(listener.opened.empty());
  EXPECT_FALSE(files.Writable());
  EXPECT_EQ(encoder.closes, 1) << "the full part is finished";
  EXPECT_EQ(files.Parts(), std::vector<std::string>{first});
  EXPECT_EQ(files.Clips().Clips(0), 0) << "the refused block is in no file";
  EXPECT_EQ(files.TakeFailure(), "文件已满, 无法创建下一个文件, 录音已停止!\nopen: Permission denied");
  EXPECT_FALSE(files.Failed()) << "told once";
}

}  // namespace
