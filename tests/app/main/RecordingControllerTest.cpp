// RecordingController without widgets: numbering and nu.ini, start and stop
// checks, the block path into the encoder, encoder failures, status texts, and
// (with the real WAV encoder) files that hold data at the moment of the start.
#include "app/recording/StatusTexts.h"
#include "app/recording/RecordingController.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <numeric>

#include "TestDoubles.h"
#include "app/recording/RecordingMonitor.h"
#include "effects/clsDSP.h"
#include "encoding/EncoderWAV.h"

namespace {

// A sine-like test block: 5120 samples, as the capture engine delivers them.
std::vector<int16_t> TestBlock(size_t samples = 5120) {
  std::vector<int16_t> block(samples);
  for (size_t i = 0; i < samples; ++i) block[i] = static_cast<int16_t>(std::lround(9000 * std::sin(i * 0.05)));
  return block;
}

class RecordingControllerTest : public ::testing::Test, protected ControllerRig {
 protected:
  void SetUp() override {
    messages.onShow = [this] {
      recordingAtMessage.push_back(capture.recording);
      captionAtMessage.push_back(Buttons().startStop.toStdString());
    };
  }

  QString Numbered(int n) const { return folder.Path() + "/file/录音" + QString::number(n) + ".wav"; }
  QString Settings() const { return folder.Path() + "/nu.ini"; }
  std::string Utf8(const QString& s) const { return s.toUtf8().toStdString(); }

  void StartWithCounter(const QByteArray& ini) {
    WriteAll(Settings(), ini);
    controller.StartUp();
  }

  std::vector<bool> recordingAtMessage;
  std::vector<std::string> captionAtMessage;
};

TEST_F(RecordingControllerTest, RecordAndStopAdvancesCounterAndReservesTheNextNumber) {
  StartWithCounter("5\r\n");
  EXPECT_EQ(view.outputFile, Utf8(Numbered(5)));
  EXPECT_FALSE(QFileInfo::exists(Numbered(5))) << "reserved by its number, made only by a recording";

  controller.Toggle();
  ASSERT_TRUE(capture.recording);
  EXPECT_EQ(encoder.initOutput, Utf8(Numbered(5)));
  EXPECT_EQ(encoder.initRate, 44100);
  EXPECT_EQ(encoder.initChannels, 2);
  EXPECT_EQ(capture.startedRate, 44100);
  EXPECT_EQ(capture.startedChannels, 2);
  EXPECT_EQ(effects.samplerate(), 44100);
  EXPECT_EQ(effects.Channels(), 2);
  EXPECT_EQ(controller.lngBytesPerSec(), 176400);
  EXPECT_EQ(Buttons().startStop.toStdString(), "停止录音");
  EXPECT_FALSE(Buttons().settingsEnabled);
  EXPECT_EQ(ReadAll(Settings()), QByteArray("5\r\n"));

  controller.Toggle();
  EXPECT_FALSE(capture.recording);
  EXPECT_EQ(encoder.closes, 1);
  EXPECT_EQ(Buttons().startStop.toStdString(), "开始录音");
  EXPECT_TRUE(Buttons().settingsEnabled);
  EXPECT_EQ(controller.lngBytesPerSec(), 0);
  EXPECT_EQ(controller.lngRecMS(), 0);
  EXPECT_EQ(view.outputFile, Utf8(Numbered(6)));
  EXPECT_FALSE(QFileInfo::exists(Numbered(6)));
  EXPECT_EQ(ReadAll(Settings()), QByteArray("6\r\n"));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingControllerTest, CounterWrapsInSixteenBitTwosComplement) {
  StartWithCounter("32767\r\n");
  EXPECT_EQ(view.outputFile, Utf8(Numbered(32767)));
  controller.Toggle();
  controller.Toggle();
  EXPECT_EQ(view.outputFile, Utf8(Numbered(-32768)));
  EXPECT_EQ(ReadAll(Settings()), QByteArray("-32768\r\n"));
}

TEST_F(RecordingControllerTest, BrowsedFileServesOneRecordingThenNumberingResumes) {
  StartWithCounter("3\r\n");
  view.outputFile = Utf8(folder.Path() + "/mine.wav");
  controller.Toggle();
  EXPECT_EQ(encoder.initOutput, view.outputFile);
  controller.Toggle();
  EXPECT_EQ(view.outputFile, Utf8(Numbered(4)));
  EXPECT_EQ(ReadAll(Settings()), QByteArray("4\r\n"));
}

TEST_F(RecordingControllerTest, UnusableSettingsFileStartsAtZeroAndIsRewritten) {
  for (const QByteArray& ini : {QByteArray("abc\r\n"), QByteArray("40000\r\n"), QByteArray("-32769"), QByteArray(""),
                               QByteArray("7x\r\n")}) {
    WriteAll(Settings(), ini);
    FileCounter counter;
    EXPECT_FALSE(counter.Load()) << ini.toStdString();
    EXPECT_EQ(counter.intFileNo(), 0) << ini.toStdString();
  }
  FileCounter counter;
  WriteAll(Settings(), "-12\r\nignored line\r\n");
  EXPECT_TRUE(counter.Load());
  EXPECT_EQ(counter.intFileNo(), -12);

  QFile::remove(Settings());
  controller.StartUp();
  EXPECT_EQ(view.outputFile, Utf8(Numbered(0)));
  controller.Toggle();
  EXPECT_EQ(ReadAll(Settings()), QByteArray("0\r\n"));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingControllerTest, MissingOutputFolderIsCreatedAtStartUp) {
  QDir(folder.Path() + "/file").removeRecursively();
  StartWithCounter("2\r\n");
  EXPECT_TRUE(QFileInfo(folder.Path() + "/file").isDir());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecordingControllerTest, OutputFolderThatCannotBeCreatedIsReported) {
  QDir(folder.Path() + "/file").removeRecursively();
  WriteAll(folder.Path() + "/file", "a plain file where the folder belongs");
  StartWithCounter("2\r\n");
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown.front().title, "Tamblin");
  EXPECT_NE(messages.shown.front().text.find("无法创建输出文件夹"), std::string::npos);
}

TEST_F(RecordingControllerTest, NumberedFileHoldingARecordingIsNeverOverwritten) {
  WriteAll(Numbered(5), "RIFF....WAVE earlier recording");
  WriteAll(Numbered(7), "RIFF....WAVE another one");
  StartWithCounter("5\r\n");
  EXPECT_EQ(view.outputFile, Utf8(Numbered(6)));
  controller.Toggle();
  controller.Toggle();
  EXPECT_EQ(view.outputFile, Utf8(Numbered(8)));
  EXPECT_EQ(ReadAll(Settings()), QByteArray("8\r\n"));
  EXPECT_EQ(ReadAll(Numbered(5)), QByteArray("RIFF....WAVE earlier recording"));
  EXPECT_EQ(ReadAll(Numbered(7)), QByteArray("RIFF....WAVE another one"));
}

TEST_F(RecordingControllerTest, UnwritableSettingsFileIsReportedAndRecordingGoesOn) {
  controller.StartUp();
  QFile::remove(Settings());
  QDir(folder.Path()).mkdir("nu.ini");  // a folder in its place cannot be written
  controller.Toggle();
  EXPECT_TRUE(capture.recording);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Tamblin");
  EXPECT_NE(messages.shown[0].text.find("nu.ini"), std::string::npos);
}

struct Refusal {
  const char* name;
  std::function<void(FakeView&)> setUp;
  const char* message;
};

TEST_F(RecordingControllerTest, StartChecksRefuseBeforeAnythingChanges) {
  StartWithCounter("9\r\n");
  const std::vector<Refusal> refusals = {
      {"empty output box", [](FakeView& v) { v.outputFile.clear(); }, "没有指定输出文件!"},
      {"no device", [](FakeView& v) { v.deviceChosen = false; }, "没有选择硬件设备!"},
      {"empty rate", [](FakeView& v) { v.format = RecordingFormat::FromChoices("", true); }, "取样率无效! 请输入 1000 到 96000 之间的数字."},
      {"zero rate", [](FakeView& v) { v.format = RecordingFormat::FromChoices("0", true); }, "取样率无效! 请输入 1000 到 96000 之间的数字."},
      {"rate beyond the chain", [](FakeView& v) { v.format = RecordingFormat::FromChoices("99999", true); },
       "取样率无效! 请输入 1000 到 96000 之间的数字."},
      {"rate below the converter", [](FakeView& v) { v.format = RecordingFormat::FromChoices("999", true); },
       "取样率无效! 请输入 1000 到 96000 之间的数字."},
      {"a name of another type", [](FakeView& v) { v.outputFile = "/nowhere/talk.FLAC"; },
       "文件 /nowhere/talk.FLAC 的扩展名与文件类型 wav 不符!"},
  };
  const FakeView pristine = view;
  for (const Refusal& refusal : refusals) {
    view = pristine;
    messages.shown.clear();
    WriteAll(Settings(), "9 untouched\r\n");
    refusal.setUp(view);
    controller.Toggle();
    ASSERT_EQ(messages.shown.size(), 1u) << refusal.name;
    EXPECT_EQ(messages.shown[0].title, "提示") << refusal.name;
    EXPECT_EQ(messages.shown[0].text, refusal.message) << refusal.name;
    EXPECT_FALSE(capture.recording) << refusal.name;
    EXPECT_TRUE(encoder.initOutput.empty()) << refusal.name;
    EXPECT_EQ(Buttons().startStop.toStdString(), "开始录音") << refusal.name;
    EXPECT_TRUE(Buttons().settingsEnabled) << refusal.name;
    EXPECT_EQ(ReadAll(Settings()), QByteArray("9 untouched\r\n")) << refusal.name;
  }
}

TEST_F(RecordingControllerTest, EncoderThatCannotStartLeavesIdle) {
  StartWithCounter("9\r\n");
  encoder.initResult = ENC_INIT_FAILED;
  controller.Toggle();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "提示");
  EXPECT_EQ(messages.shown[0].text, "无法初始化编码器!");
  EXPECT_EQ(capture.startedRate, 0);  // capture never asked
  EXPECT_EQ(controller.lngBytesPerSec(), 0);
  EXPECT_EQ(Buttons().startStop.toStdString(), "开始录音");
  EXPECT_EQ(ReadAll(Settings()), QByteArray("9\r\n"));

  encoder.initError = "open: Permission denied";
  controller.Toggle();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].text, "无法初始化编码器!\nopen: Permission denied") << "the cause on a second line";
}

TEST_F(RecordingControllerTest, FailedCaptureStartDiscardsTheFileAndStaysIdle) {
  StartWithCounter("9\r\n");
  WriteAll(Settings(), "9 untouched\r\n");
  capture.startResult = false;
  controller.Toggle();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "提示");
  EXPECT_EQ(messages.shown[0].text, "不能启动录音功能!");
  EXPECT_FALSE(encoder.open);
  EXPECT_EQ(encoder.discards, 1) << "a start that failed leaves no header-only file";
  EXPECT_EQ(encoder.closes, 0);
  EXPECT_EQ(Buttons().startStop.toStdString(), "开始录音");
  EXPECT_TRUE(Buttons().settingsEnabled);
  EXPECT_EQ(controller.lngBytesPerSec(), 0);
  EXPECT_EQ(ReadAll(Settings()), QByteArray("9 untouched\r\n"));
  // The next press takes the start path again.
  capture.startResult = true;
  controller.Toggle();
  EXPECT_TRUE(capture.recording);
}

TEST_F(RecordingControllerTest, RefusedStopIsReportedAndTheStopCompletes) {
  StartWithCounter("1\r\n");
  controller.Toggle();
  capture.stopResult = false;
  controller.Toggle();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "提示");
  EXPECT_EQ(messages.shown[0].text, "此时无法停止录音!");
  EXPECT_EQ(encoder.closes, 1);
  EXPECT_EQ(view.outputFile, Utf8(Numbered(2)));
  EXPECT_EQ(ReadAll(Settings()), QByteArray("2\r\n"));
  EXPECT_TRUE(Buttons().settingsEnabled);
}

TEST_F(RecordingControllerTest, DroppedInputIsReportedAfterTheStop) {
  StartWithCounter("1\r\n");
  controller.Toggle();
  controller.Toggle();
  EXPECT_TRUE(messages.shown.empty()) << "a loss-free recording says nothing";

  controller.Toggle();
  capture.lostInputs = 3;
  controller.Toggle();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Tamblin");
  EXPECT_NE(messages.shown[0].text.find(" 3 "), std::string::npos) << messages.shown[0].text;
  EXPECT_FALSE(recordingAtMessage[0]);
  EXPECT_EQ(captionAtMessage[0], "开始录音");
}

TEST_F(RecordingControllerTest, RecordedLengthRoundsEachBlockHalfToEven) {
  StartWithCounter("1\r\n");
  const std::vector<int16_t> block = TestBlock();
  controller.Toggle();
  for (int i = 0; i < 100; ++i) controller.GotData(block, 10240);
  EXPECT_EQ(controller.lngRecMS(), 5800);  // 58 per block, not 5805
  EXPECT_EQ(StatusTexts::Length(monitor.Read()), "长度: 0:06");
  controller.Toggle();

  view.format = RecordingFormat{.rate = 8000, .channels = 1};
  controller.Toggle();
  EXPECT_EQ(controller.lngBytesPerSec(), 16000);
  controller.GotData(block, 10240);
  EXPECT_EQ(controller.lngRecMS(), 640);
  EXPECT_EQ(capture.startedChannels, 1);
  EXPECT_EQ(effects.Channels(), 1);
}

TEST_F(RecordingControllerTest, EncoderGetsExactlyTheValidBytesAfterEffects) {
  StartWithCounter("1\r\n");
  effects.EffectsUsed(FX_AMPLIFY | FX_ECHO);
  effects.AmplifyDB(6);
  clsDSP reference;
  reference.samplerate(44100);
  reference.Channels(2);
  reference.EffectsUsed(FX_AMPLIFY | FX_ECHO);
  reference.AmplifyDB(6);

  const std::vector<int16_t> block = TestBlock();
  controller.Toggle();
  controller.GotData(block, 6000);  // a short block: 3000 valid samples
  std::vector<int16_t> expected = block;
  reference.ProcessSamples(expected);

  ASSERT_EQ(encoder.encoded.size(), 1u);
  EXPECT_EQ(encoder.encoded[0], std::vector<int16_t>(expected.begin(), expected.begin() + 3000));
  // The display copy holds the whole processed array, the delivered one is untouched.
  EXPECT_TRUE(std::ranges::equal(controller.intVisSamples(), expected));
  EXPECT_EQ(block, TestBlock());
  EXPECT_NE(expected, block);
}

TEST_F(RecordingControllerTest, BlockWhileIdleIsShownButNotEncodedOrCounted) {
  StartWithCounter("1\r\n");
  EXPECT_EQ(controller.intVisSamples().size(), 1024u);
  const std::vector<int16_t> block = TestBlock(2048);
  controller.GotData(block, 4096);
  EXPECT_TRUE(encoder.encoded.empty());
  EXPECT_EQ(controller.lngRecMS(), 0);
  EXPECT_TRUE(std::ranges::equal(controller.intVisSamples(), block));  // no effects set
}

TEST_F(RecordingControllerTest, EncoderFailuresStopTheRecordingBeforeTheirMessage) {
  // None is ignored: each would drop audio silently for the rest of the recording.
  // (A full file, ENC_SIZE_LIMIT, continues in the next one: see the files tests.)
  const std::vector<std::pair<EncoderResult, std::string>> failures = {
      {ENC_WRITE_ERROR, "Write error (no disk space left?)!"},
      {ENC_CONVERT_FAILED, "编码转换失败, 录音已停止!"},
      {ENC_BUFFER_TOO_LARGE, "编码器出错 (代码 8), 录音已停止!"},
      {ENC_FILE_ERROR, "编码器出错 (代码 2), 录音已停止!"},
  };
  StartWithCounter("1\r\n");
  int16_t counter = 1;
  for (const auto& [result, text] : failures) {
    messages.shown.clear();
    recordingAtMessage.clear();
    captionAtMessage.clear();
    encoder.encodeResult = ENC_OK;
    controller.Toggle();
    const std::vector<int16_t> block = TestBlock();
    controller.GotData(block, 10240);
    encoder.encodeResult = result;
    const int closesBefore = encoder.closes;
    controller.GotData(block, 10240);
    ++counter;

    ASSERT_EQ(messages.shown.size(), 1u) << text;
    EXPECT_EQ(messages.shown[0].title, "Tamblin");
    EXPECT_EQ(messages.shown[0].text, text);
    EXPECT_FALSE(recordingAtMessage[0]) << "stopped before the message: " << text;
    EXPECT_EQ(captionAtMessage[0], "开始录音") << text;
    EXPECT_EQ(encoder.closes, closesBefore + 1) << text;
    EXPECT_EQ(view.outputFile, Utf8(Numbered(counter))) << text;
    EXPECT_EQ(controller.lngRecMS(), 0);
  }
}

// The engine delivers the end of the recording inside StopRecord: it is encoded
// before the file is closed; a failure on it is told once, after the stop.
TEST_F(RecordingControllerTest, BlocksDeliveredByTheStopAreEncodedBeforeTheClose) {
  StartWithCounter("1\r\n");
  controller.Toggle();
  std::vector<int> closesAtBlock;
  capture.onStop = [&] {
    controller.GotData(TestBlock(), 10240);
    closesAtBlock.push_back(encoder.closes);
    controller.GotData(TestBlock(), 666);
  };
  controller.Toggle();
  ASSERT_EQ(encoder.encoded.size(), 2u);
  EXPECT_EQ(encoder.encoded[1].size(), 333u);
  EXPECT_EQ(closesAtBlock, std::vector<int>{0});
  EXPECT_EQ(encoder.closes, 1);
  EXPECT_TRUE(messages.shown.empty());

  // A write error on the last block: one stop, one message after it, nothing
  // more encoded.
  controller.Toggle();
  encoder.encodeResult = ENC_WRITE_ERROR;
  controller.Toggle();
  EXPECT_EQ(encoder.encoded.size(), 3u);
  EXPECT_EQ(capture.stops, 2);
  EXPECT_EQ(encoder.closes, 2);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Write error (no disk space left?)!");
  EXPECT_FALSE(recordingAtMessage[0]);
  EXPECT_EQ(ReadAll(Settings()), QByteArray("3\r\n"));  // advanced once per recording
}

// A failure inside GotData stops the recording; the blocks its stop still
// delivers are not written after it.
TEST_F(RecordingControllerTest, FailureStopWritesNothingMore) {
  StartWithCounter("1\r\n");
  controller.Toggle();
  capture.onStop = [&] { controller.GotData(TestBlock(), 10240); };
  encoder.encodeResult = ENC_CONVERT_FAILED;
  controller.GotData(TestBlock(), 10240);
  EXPECT_EQ(encoder.encoded.size(), 1u);
  EXPECT_EQ(capture.stops, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "编码转换失败, 录音已停止!");
}

// Pause and resume: each click first takes what the engine has received (it
// belongs to the side it came on), then switches. While paused nothing is
// written or counted, no effect runs, the level bars still get the input, the
// button says "继续" and the length says it is paused; the stop's last blocks
// of a paused recording are not written either.
TEST_F(RecordingControllerTest, PausedBlocksAreNeitherWrittenNorCounted) {
  StartWithCounter("1\r\n");
  EXPECT_FALSE(Buttons().pauseEnabled);
  controller.TogglePause();
  EXPECT_EQ(capture.deliverCalls, 0) << "idle: nothing to pause";
  EXPECT_FALSE(controller.IsPaused());

  controller.Toggle();
  EXPECT_TRUE(Buttons().pauseEnabled);
  EXPECT_EQ(Buttons().pause.toStdString(), "暂停");
  effects.EffectsUsed(FX_AMPLIFY);
  effects.AmplifyDB(6);
  const std::vector<int16_t> before = TestBlock(100), during = TestBlock(200), after = TestBlock(300);
  capture.onDeliverReceived = [&] { controller.GotData(before, 200); };
  controller.TogglePause();
  EXPECT_TRUE(controller.IsPaused());
  ASSERT_EQ(encoder.encoded.size(), 1u) << "received before the click: written";
  EXPECT_EQ(encoder.checkpoints, 1) << "and handed to the disk for the length of the pause";
  const int32_t length = controller.lngRecMS();
  EXPECT_EQ(Buttons().pause.toStdString(), "继续");
  EXPECT_TRUE(Buttons().pauseEnabled);
  EXPECT_EQ(StatusTexts::Length(monitor.Read()), "长度: 0:00 (已暂停)");

  capture.onDeliverReceived = [&] { controller.GotData(during, 400); };
  controller.GotData(during, 400);
  EXPECT_TRUE(std::ranges::equal(controller.LevelSamples(), during)) << "live input, no effects";
  controller.TogglePause();
  EXPECT_FALSE(controller.IsPaused());
  EXPECT_EQ(encoder.encoded.size(), 1u) << "received while paused: not written";
  EXPECT_EQ(controller.lngRecMS(), length);
  EXPECT_EQ(Buttons().pause.toStdString(), "暂停");
  EXPECT_EQ(capture.deliverCalls, 2);
  EXPECT_EQ(encoder.checkpoints, 1) << "going on needs none";

  controller.GotData(after, 600);
  ASSERT_EQ(encoder.encoded.size(), 2u);
  EXPECT_NE(encoder.encoded[1], after) << "the effects run again";
  EXPECT_GT(controller.lngRecMS(), length);

  capture.onDeliverReceived = nullptr;
  controller.TogglePause();
  capture.onStop = [&] { controller.GotData(during, 400); };
  controller.Toggle();
  EXPECT_EQ(encoder.encoded.size(), 2u) << "the stop's last block came while paused";
  EXPECT_EQ(encoder.closes, 1);
  EXPECT_FALSE(controller.IsPaused());
  EXPECT_FALSE(Buttons().pauseEnabled);
  EXPECT_EQ(Buttons().pause.toStdString(), "暂停");
  EXPECT_EQ(StatusTexts::Length(monitor.Read()), "长度: 0:00");

  controller.Toggle();
  capture.onStop = nullptr;
  controller.GotData(after, 600);
  EXPECT_EQ(encoder.encoded.size(), 3u) << "the next recording starts unpaused";
  controller.Toggle();
}

// A write error in the blocks the pause's click delivers stops the recording:
// the pause does not switch and the button goes back to idle.
TEST_F(RecordingControllerTest, FailureWhilePausingStopsInstead) {
  StartWithCounter("1\r\n");
  controller.Toggle();
  encoder.encodeResult = ENC_WRITE_ERROR;
  capture.onDeliverReceived = [&] { controller.GotData(TestBlock(), 10240); };
  controller.TogglePause();
  EXPECT_FALSE(capture.recording);
  EXPECT_FALSE(controller.IsPaused());
  EXPECT_FALSE(Buttons().pauseEnabled);
  EXPECT_EQ(Buttons().pause.toStdString(), "暂停");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Write error (no disk space left?)!");
}

// A failed start names its cause on a second line, as the device-lost message does.
TEST_F(RecordingControllerTest, FailedStartShowsTheCause) {
  StartWithCounter("1\r\n");
  capture.startResult = false;
  capture.startFailure = "No such entity";
  controller.Toggle();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "不能启动录音功能!\nNo such entity");
}

TEST_F(RecordingControllerTest, LostDeviceStopsLikeTheButtonThenReports) {
  StartWithCounter("4\r\n");
  controller.DeviceLost("gone");  // idle: nothing to do
  EXPECT_TRUE(messages.shown.empty());

  controller.Toggle();
  controller.DeviceLost("Connection terminated");
  EXPECT_FALSE(capture.recording);
  EXPECT_EQ(encoder.closes, 1);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, "Tamblin");
  EXPECT_EQ(messages.shown[0].text, "录音设备已断开, 录音已停止!\nConnection terminated");
  EXPECT_FALSE(recordingAtMessage[0]);
  EXPECT_EQ(ReadAll(Settings()), QByteArray("5\r\n"));
}

TEST_F(RecordingControllerTest, ShutdownStopsARunningRecordingLikeTheButton) {
  StartWithCounter("4\r\n");
  controller.Shutdown();  // idle: counter stays
  EXPECT_EQ(ReadAll(Settings()), QByteArray("4\r\n"));
  controller.Toggle();
  controller.Shutdown();
  EXPECT_FALSE(capture.recording);
  EXPECT_EQ(encoder.closes, 1);
  EXPECT_EQ(ReadAll(Settings()), QByteArray("5\r\n"));
}

// The recording thread publishes numbers; the status bar's texts are made from
// them as they always read. The size is the encoder's count, not the disk's.
TEST_F(RecordingControllerTest, StatusTextsAreMadeFromThePublishedNumbers) {
  StartWithCounter("1\r\n");
  const auto texts = [&] {
    const RecordingMonitor::Snapshot shown = monitor.Read();
    return std::vector<std::string>{StatusTexts::Size(shown), StatusTexts::LengthWithHandsFree(shown),
                                    StatusTexts::Lost(shown)};
  };
  EXPECT_EQ(texts(), (std::vector<std::string>{"文件大小: 0 Bytes", "长度: 0:00", "输入丢失: 0"}));
  controller.Toggle();
  encoder.fileBytes = 3000;
  capture.lostInputs = 3;
  const std::vector<int16_t> block = TestBlock();
  for (int i = 0; i < 22; ++i) controller.GotData(block, 10240);
  EXPECT_EQ(texts(), (std::vector<std::string>{"文件大小: 3 KB", "长度: 0:01", "输入丢失: 3"}))
      << "the file on the disk is still empty: its size comes from the count";
  encoder.fileBytes = -1;
  controller.TogglePause();
  EXPECT_EQ(texts(), (std::vector<std::string>{"文件大小: ", "长度: 0:01 (已暂停)", "输入丢失: 3"}));
  controller.Toggle();
  EXPECT_EQ(texts(), (std::vector<std::string>{"文件大小: 0 Bytes", "长度: 0:00", "输入丢失: 0"}));
}

// The controller with the real WAV encoder writing real files; capture is faked.
class RecordingControllerFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(folder.Path()).mkpath("file");
    controller.Questions(&questions);
  }
  QString Numbered(int n) const { return folder.Path() + "/file/录音" + QString::number(n) + ".wav"; }
  static std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }
  void StartUpWithCounter(const QByteArray& ini) {
    WriteAll(folder.Path() + "/nu.ini", ini);
    controller.StartUp();
  }

  TempProgramFolder folder;
  FakeCapture capture;
  EncoderWAV encoder;
  clsDSP effects;
  FakeView view;
  RecordingMessages messages;
  ScriptedQuestions questions;
  RecordingController controller{capture, encoder, effects, view, messages};
};

TEST_F(RecordingControllerFilesTest, NumberedFileFilledSinceStartUpIsKeptAndTheRecordingMovesOn) {
  StartUpWithCounter("5\r\n");
  ASSERT_EQ(view.outputFile, Utf8(Numbered(5)));
  // Meanwhile another copy records into 5, and 6 became a link to a file elsewhere.
  WriteAll(Numbered(5), "RIFF another copy's recording");
  const QString elsewhere = folder.Path() + "/elsewhere.wav";
  WriteAll(elsewhere, "");
  ASSERT_TRUE(QFile::link(elsewhere, Numbered(6)));

  controller.Toggle();
  ASSERT_TRUE(capture.recording);
  EXPECT_EQ(view.outputFile, Utf8(Numbered(7)));
  controller.GotData(TestBlock(), 10240);
  controller.Toggle();
  EXPECT_EQ(ReadAll(Numbered(5)), QByteArray("RIFF another copy's recording"));
  EXPECT_EQ(ReadAll(elsewhere), QByteArray());
  EXPECT_EQ(WaveAudioEnd(Numbered(7)), 46 + 10240);
  EXPECT_EQ(view.outputFile, Utf8(Numbered(8)));
  EXPECT_EQ(ReadAll(folder.Path() + "/nu.ini"), QByteArray("8\r\n"));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(questions.asked.empty()) << "numbered files are never replaced, so never asked about";
}

TEST_F(RecordingControllerFilesTest, TypedFileHoldingDataIsReplacedOnlyAfterYes) {
  StartUpWithCounter("1\r\n");
  const QString mine = folder.Path() + "/mine.wav";
  WriteAll(mine, "keep me");
  view.outputFile = Utf8(mine);

  controller.Toggle();
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(questions.asked[0].title, "提示");
  EXPECT_EQ(questions.asked[0].text, RecordingController::ReplaceQuestion(view.outputFile));
  EXPECT_FALSE(capture.recording);
  EXPECT_EQ(ReadAll(mine), QByteArray("keep me"));
  EXPECT_TRUE(messages.shown.empty()) << "the user's no needs no warning";

  questions.answer = true;
  controller.Toggle();
  ASSERT_TRUE(capture.recording);
  EXPECT_EQ(questions.asked.size(), 2u);
  controller.Toggle();
  EXPECT_EQ(WaveAudioEnd(mine), 46) << "replaced by the new, empty recording";

  // Confirmed in the save dialog: no second question, for that one start only.
  view.outputFile = Utf8(mine);
  controller.ReplaceConfirmed(view.outputFile);
  controller.Toggle();
  EXPECT_TRUE(capture.recording);
  controller.Toggle();
  EXPECT_EQ(questions.asked.size(), 2u);
  view.outputFile = Utf8(mine);
  questions.answer = false;
  controller.Toggle();
  EXPECT_EQ(questions.asked.size(), 3u);
  EXPECT_FALSE(capture.recording);
}

TEST_F(RecordingControllerFilesTest, FailedStartLeavesNoHeaderOnlyFile) {
  StartUpWithCounter("5\r\n");
  capture.startResult = false;
  controller.Toggle();
  EXPECT_FALSE(QFileInfo::exists(Numbered(5))) << "the file the start made went again";
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "不能启动录音功能!");

  // A typed file that did not exist before is not left behind.
  const QString fresh = folder.Path() + "/fresh.wav";
  view.outputFile = Utf8(fresh);
  controller.Toggle();
  EXPECT_FALSE(QFileInfo::exists(fresh));

  // After a restart the same number is used.
  FakeView restartedView;
  RecordingController restarted{capture, encoder, effects, restartedView, messages};
  restarted.StartUp();
  EXPECT_EQ(restartedView.outputFile, Utf8(Numbered(5)));
}

TEST(RecordingControllerFormat, SizeBoundaries) {
  EXPECT_EQ(StatusTexts::FormatSize(0), "0 bytes");
  EXPECT_EQ(StatusTexts::FormatSize(1023), "1023 bytes");
  EXPECT_EQ(StatusTexts::FormatSize(1024), "1 KB");
  EXPECT_EQ(StatusTexts::FormatSize(1536), "2 KB");  // 1.5 rounds to even
  EXPECT_EQ(StatusTexts::FormatSize(2560), "2 KB");  // 2.5 rounds to even
  EXPECT_EQ(StatusTexts::FormatSize(1048575), "1024 KB");
  EXPECT_EQ(StatusTexts::FormatSize(1048576), "1.0 MB");
  EXPECT_EQ(StatusTexts::FormatSize(1572864), "1.5 MB");
  EXPECT_EQ(StatusTexts::FormatSize(1073741823), "1024.0 MB");
  EXPECT_EQ(StatusTexts::FormatSize(1073741824), "1.0 GB");
  EXPECT_EQ(StatusTexts::FormatSize(5.0 * 1073741824), "5.0 GB");  // beyond 32 bits
  EXPECT_EQ(StatusTexts::FormatSize(-1), "");
}

TEST(RecordingControllerFormat, RateRangeIsWhatTheEncoderAndTheChainTake) {
  EXPECT_EQ(RecordingFormat::ParseRate("999"), 0);
  EXPECT_EQ(RecordingFormat::ParseRate(" 1000 "), 1000);
  EXPECT_EQ(RecordingFormat::ParseRate("96000"), 96000);
  EXPECT_EQ(RecordingFormat::ParseRate("96001"), 0);
}

TEST(RecordingControllerFormat, LengthBoundaries) {
  EXPECT_EQ(StatusTexts::FormatLength(0), "0:00");
  EXPECT_EQ(StatusTexts::FormatLength(9499), "0:09");
  EXPECT_EQ(StatusTexts::FormatLength(59499), "0:59");
  EXPECT_EQ(StatusTexts::FormatLength(59500), "1:00");
  EXPECT_EQ(StatusTexts::FormatLength(60500), "1:00");
  EXPECT_EQ(StatusTexts::FormatLength(61500), "1:02");
  EXPECT_EQ(StatusTexts::FormatLength(3600000), "60:00");
}

}  // namespace

namespace {

// The meters see exactly what goes into the file: blocks after effects, none
// received while paused; the stop's values stay until the next start.
TEST_F(RecordingControllerTest, LoudnessAndClipsMeasureOnlyTheWrittenSamplesAfterEffects) {
  RecordingMonitor monitor;
  controller.Monitor(&monitor);
  StartWithCounter("1\r\n");
  controller.Toggle();
  const std::vector<int16_t> fullScale(2048, 32767);
  capture.onDeliverReceived = [] {};
  controller.TogglePause();
  controller.GotData(fullScale, 4096);
  controller.TogglePause();
  EXPECT_EQ(monitor.Read().clips, (std::array<int64_t, 2>{0, 0})) << "paused input is not measured";

  effects.EffectsUsed(FX_AMPLIFY);
  effects.AmplifyDB(12);
  std::vector<int16_t> quiet(2048, 0);
  quiet[2 * 500 + 1] = 10000;  // 12 dB up: past full scale in the right channel
  controller.GotData(quiet, 4096);
  EXPECT_EQ(monitor.Read().clips, (std::array<int64_t, 2>{0, 1}));
  controller.Toggle();
  const LoudnessReading stopped = controller.FinalLoudness();
  EXPECT_GT(stopped.truePeak, -0.5) << "the amplified sample, not the input's " << stopped.truePeak;
  EXPECT_EQ(monitor.Read().loudness, stopped);
  EXPECT_EQ(monitor.Read().clips, (std::array<int64_t, 2>{0, 1})) << "counted until the next start";

  controller.Toggle();
  EXPECT_EQ(monitor.Read().clips, (std::array<int64_t, 2>{0, 0}));
  EXPECT_FALSE(std::isfinite(controller.FinalLoudness().truePeak));
  controller.Toggle();
}

// A recording with a set length: the block that crosses it is cut to the byte,
// the recording stops there, and what its stop delivers stays out. The next
// start records without a limit.
TEST_F(RecordingControllerTest, EndAfterRecordsExactlyThatMuchInputAndStops) {
  StartWithCounter("1\r\n");
  controller.Toggle();
  controller.EndAfter(2 * 10240 + 1000);
  capture.onStop = [&] { controller.GotData(TestBlock(), 10240); };
  controller.GotData(TestBlock(), 10240);
  controller.GotData(TestBlock(), 10240);
  EXPECT_EQ(capture.stops, 0);
  controller.GotData(TestBlock(), 10240);
  EXPECT_EQ(capture.stops, 1);
  ASSERT_EQ(encoder.encoded.size(), 3u);
  EXPECT_EQ(encoder.encoded[2].size(), 500u);
  EXPECT_FALSE(controller.IsRecording());

  capture.onStop = nullptr;
  controller.Toggle();
  for (int i = 0; i < 4; ++i) controller.GotData(TestBlock(), 10240);
  EXPECT_TRUE(controller.IsRecording());
  EXPECT_EQ(encoder.encoded.size(), 7u);
}

// A door's stop or toggle that arrives while a write failure stops the
// recording finds it finishing, and never turns into a start.
TEST_F(RecordingControllerTest, ADoorsStopThatMeetsAFailuresStopNeverStartsARecording) {
  StartWithCounter("1\r\n");
  controller.Toggle();
  ASSERT_EQ(monitor.State(), RecorderState::Recording);
  std::vector<RecorderState> found;
  capture.onStop = [&] {
    found.push_back(monitor.ToggleRequested(0));
    found.push_back(monitor.StopRequested(0));
  };
  encoder.encodeResult = ENC_WRITE_ERROR;
  const std::vector<int16_t> block = TestBlock();
  controller.GotData(block, static_cast<int32_t>(block.size() * 2));
  EXPECT_EQ(found, (std::vector<RecorderState>{RecorderState::Finishing, RecorderState::Finishing}));
  EXPECT_EQ(monitor.State(), RecorderState::Idle);
  EXPECT_FALSE(capture.recording);
}

}  // namespace
