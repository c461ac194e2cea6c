// The recording controller's safety duties against the window suites' fakes:
// the start-up recovery message, the disk-space refusal and stop, and the
// lost-input panel.
#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>

#include "app/recording/RecordingController.h"
#include "app/recording/RecordingJournal.h"
#include "app/recording/StatusTexts.h"
#include "effects/clsDSP.h"
#include "encoding/EncoderWAV.h"
#include "tests/app/main/TestDoubles.h"
#include "tests/app/safety/SafetyFiles.h"

namespace {

namespace fs = std::filesystem;

class SafetyControllerTest : public ::testing::Test, protected ControllerRig {
 protected:
  void SetUp() override {
    controller.DiskGuard(DiskSpaceGuard([this](const std::string&) { ++diskQueries; return freeBytes; }));
  }
  fs::path OutputFolder() const { return fs::path(folder.Path().toStdString()) / "file"; }

  std::optional<uint64_t> freeBytes = 1ull << 40;
  int diskQueries = 0;
};

TEST_F(SafetyControllerTest, StartUpMendsAnInterruptedRecordingAndNamesIt) {
  // A recording whose process died before its first header refresh.
  {
    EncoderWAV wav;
    wav.HeaderRefreshInterval(std::chrono::hours{1});
    ASSERT_EQ(wav.EncoderInit(44100, 2, (OutputFolder() / "running.wav").string()), ENC_OK);
    std::vector<int16_t> block(8820, 1234);
    int32_t used = 0;
    ASSERT_EQ(wav.Encode(block.data(), 17640, used), ENC_OK);
    fs::copy_file(OutputFolder() / "running.wav", OutputFolder() / "录音3.wav");
  }
  fs::remove(OutputFolder() / "running.wav");
  // As the recording that died left it in the journal.
  ASSERT_EQ(RecordingJournal().Begin((OutputFolder() / "录音3.wav").string()), "");
  controller.StartUp();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Tamblin");
  EXPECT_NE(messages.shown[0].text.find("录音3.wav"), std::string::npos) << messages.shown[0].text;
  EXPECT_EQ(GetU32(ReadBytes(OutputFolder() / "录音3.wav"), 42), 17640u);
  EXPECT_EQ(fs::path(view.outputFile).filename().string(), "录音0.wav") << "numbering goes on as before";

  messages.shown.clear();
  controller.StartUp();
  EXPECT_TRUE(messages.shown.empty()) << "nothing left to recover";
}

TEST_F(SafetyControllerTest, StartNeedsRoomForTenSecondsOfTheChosenFormat) {
  controller.StartUp();
  freeBytes = 10 * 176400 - 1;  // the fake encoder names no format: 44.1 kHz stereo input counts
  controller.Toggle();
  EXPECT_FALSE(capture.recording);
  EXPECT_TRUE(encoder.initOutput.empty()) << "no file opened";
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "提示");
  EXPECT_EQ(messages.shown[0].text, "磁盘空间不足, 无法开始录音!");

  freeBytes = 10 * 176400;
  controller.Toggle();
  EXPECT_TRUE(capture.recording);
  controller.Toggle();
}

TEST_F(SafetyControllerTest, RecordingStopsLikeTheButtonWhileTheReserveStillFits) {
  controller.StartUp();
  const auto counter = controller.Counter().intFileNo();
  controller.Toggle();
  ASSERT_TRUE(capture.recording);
  std::vector<int16_t> block(5120, 100);
  controller.GotData(block, 10240);
  EXPECT_TRUE(capture.recording);
  freeBytes = 3 * 176400 - 1;
  for (int i = 0; i < 20 && capture.recording; ++i) controller.GotData(block, 10240);
  EXPECT_FALSE(capture.recording) << "not stopped within a second of input";
  EXPECT_EQ(encoder.closes, 1) << "file finished";
  EXPECT_EQ(controller.Counter().intFileNo(), counter + 1);
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown.back().text, "磁盘空间即将用完, 录音已停止!");
  const int queries = diskQueries;
  controller.GotData(block, 10240);
  EXPECT_EQ(diskQueries, queries) << "idle blocks are not guarded";
}

TEST_F(SafetyControllerTest, LostInputPanelShowsTheEnginesCountWhileRecording) {
  controller.StartUp();
  EXPECT_EQ(StatusTexts::Lost(monitor.Read()), "输入丢失: 0");
  controller.Toggle();
  capture.lostInputs = 3;
  controller.GotData(std::vector<int16_t>(5120, 0), 10240);  // published with the next block
  EXPECT_EQ(StatusTexts::Lost(monitor.Read()), "输入丢失: 3");
  controller.Toggle();
  EXPECT_EQ(StatusTexts::Lost(monitor.Read()), "输入丢失: 0") << "idle";
}

}  // namespace
