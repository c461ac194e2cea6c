// Form1's file type box: what the format box, its "..." button, the save
// dialog's filter and the numbered file do per type; a type or setting the open
// file refuses; and per type, 3 s of a fed pipe source recorded through the
// window, judged by ffprobe (codec, rate, channels, length) and, for the
// lossless types, decoded bit for bit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <QTest>

#include "Form1Fixture.h"
#include "TestDoubles.h"
#include "app/windows/Form1.h"
#include "app/recording/RecordingEngine.h"
#include "app/windows/SettingChooser.h"
#include "app/windows/TrayIcon.h"
#include "capture/WaveInRecorder.h"
#include "encoding/EncoderSelection.h"
#include "encoding/MuxedEncoder.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

class Form1FileTypeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsurePulseServer());
    Open();
  }
  void TearDown() override { form.reset(); }

  // A new window (it reads the device list at start-up).
  void Open(bool trayIcon = false) {
    form.reset();
    Form1::Services services{&messages, &fileDialog, &formats, trayIcon, &questions};
    services.settingChooser = &settings;
    form = std::make_unique<Form1>(services);
    form->Load();
  }

  template <typename T>
  T* Find(const char* name) const {
    return FindNamed<T>(*form, name);
  }
  void PickType(EncoderSelection::FileType type) {
    auto* box = Find<QComboBox>("cboFileType");
    box->setCurrentIndex(type);
    emit box->activated(type);
  }
  // Capture buffers of `bytes` from the next input opened: the monitored input reopens for them.
  void UseBufferSize(int32_t bytes) {
    form->Recorder().BufferSize(bytes);
    auto* monitor = Find<QCheckBox>("chkMonitor");
    monitor->click();
    monitor->click();
  }
  // Opens the window again and picks `feeder`'s source as the user would.
  void OpenWithSource(const PipeSourceFeeder& feeder, bool trayIcon) {
    Open(trayIcon);
    auto* device = Find<QComboBox>("cboDev");
    const int index = device->findText(QString::fromStdString(feeder.Description()));
    ASSERT_GE(index, 0) << "pipe source not listed";
    device->setCurrentIndex(index);
    emit device->activated(index);
  }
  QString Numbered(int n, const char* extension) const {
    return folder.Path() + "/file/录音" + QString::number(n) + "." + extension;
  }

  TempProgramFolder folder;
  RecordingMessages messages;
  ScriptedQuestions questions;
  StubFileDialog fileDialog;
  ScriptedChooser formats;
  ScriptedSettingChooser settings;
  std::unique_ptr<Form1> form;
};

TEST_F(Form1FileTypeTest, WavIsTheDefaultAndLooksAsBefore) {
  auto* box = Find<QComboBox>("cboFileType");
  ASSERT_EQ(box->count(), 4);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(box->itemText(k).toStdString(), (std::vector<std::string>{"WAV", "FLAC", "Ogg Opus", "MP3"}[k]));
  }
  EXPECT_EQ(box->currentIndex(), 0);
  EXPECT_EQ(Find<QLabel>("lblFileType")->text(), "文件类型:");
  EXPECT_EQ(Find<QLabel>("lblWAVFmt")->text(), "WAV 格式:");
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "PCM - 44.1 kHz 16 Bit Stereo");
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), Numbered(0, "wav"));
  QTest::mouseClick(Find<QPushButton>("cmdSelFmt"), Qt::LeftButton);
  EXPECT_EQ(formats.requests.size(), 1u) << "WAV keeps its format chooser";
  EXPECT_TRUE(settings.titles.empty());
}

TEST_F(Form1FileTypeTest, CompressedTypeShowsAndChoosesItsSettingAndNamesFilesByItsExtension) {
  PickType(EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(Find<QLabel>("lblWAVFmt")->text(), "FLAC 格式:");
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "FLAC - 压缩级别 5 (默认)");
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), Numbered(0, "flac"));
  EXPECT_FALSE(QFileInfo::exists(Numbered(0, "wav")));
  EXPECT_FALSE(QFileInfo::exists(Numbered(0, "flac"))) << "reserved by its number, made only by a recording";

  settings.answer = 8;
  QTest::mouseClick(Find<QPushButton>("cmdSelFmt"), Qt::LeftButton);
  EXPECT_EQ(formats.requests.size(), 0u) << "the WAV format chooser is not for FLAC";
  ASSERT_EQ(settings.currents, std::vector<int32_t>{5});
  EXPECT_EQ(settings.offered.size(), 9u);
  EXPECT_EQ(settings.titles[0], "选择声音输出格式");
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "FLAC - 压缩级别 8 (最小)");
  EXPECT_EQ(form->Encoders().Compressed()->SettingFor(2), 8);

  // Cancelled: nothing changes. The rate and stereo boxes ask for nothing.
  settings.answer.reset();
  QTest::mouseClick(Find<QPushButton>("cmdSelFmt"), Qt::LeftButton);
  EXPECT_EQ(form->Encoders().Compressed()->SettingFor(2), 8);
  PickType(EncoderSelection::TYPE_OPUS);
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "Ogg Opus - 96 kbit/s");
  QTest::mouseClick(Find<QCheckBox>("chkStereo"), Qt::LeftButton);
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "Ogg Opus - 48 kbit/s") << "the mono default";
  EXPECT_EQ(formats.requests.size(), 0u);
  EXPECT_EQ(settings.currents.size(), 2u);

  // The save dialog offers the type and the name gets its extension.
  PickType(EncoderSelection::TYPE_MP3);
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), Numbered(0, "mp3"));
  fileDialog.answer = (folder.Path() + "/talk").toStdString();
  QTest::mouseClick(Find<QPushButton>("cmdBrowse"), Qt::LeftButton);
  ASSERT_EQ(fileDialog.filters.size(), 1u);
  EXPECT_EQ(fileDialog.filters[0], "MP3 音频 (*.mp3)|*.mp3");
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), folder.Path() + "/talk.mp3");

  // Back to WAV: the user's file keeps its name with the WAV extension, numbering is WAV again.
  PickType(EncoderSelection::TYPE_WAV);
  EXPECT_EQ(Find<QLabel>("lblWAVFmt")->text(), "WAV 格式:");
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), folder.Path() + "/talk.wav");
  EXPECT_EQ(form->Controller().Counter().NextFileName(), Numbered(0, "wav"));
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

// A name typed into the file box with a known extension sets the type (the
// numbered files follow, the name stays as typed); another extension leaves it.
TEST_F(Form1FileTypeTest, ATypedNameDecidesTheTypeByItsExtension) {
  auto* file = Find<QLineEdit>("txtFile");
  const auto typeIn = [&](const QString& name) {
    file->clear();
    QTest::keyClicks(file, folder.Path() + "/" + name);
  };
  typeIn("talk.FLAC");
  EXPECT_EQ(form->Encoders().Type(), EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(Find<QComboBox>("cboFileType")->currentIndex(), EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(file->text().toStdString(), (folder.Path() + "/talk.FLAC").toStdString());
  EXPECT_EQ(form->Controller().Counter().NextFileName().toStdString(), Numbered(0, "flac").toStdString());
  typeIn("talk.ogg");
  EXPECT_EQ(form->Encoders().Type(), EncoderSelection::TYPE_FLAC) << "not a type's extension";
  typeIn("talk.opus");
  EXPECT_EQ(form->Encoders().Type(), EncoderSelection::TYPE_OPUS);
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

// The encoder refuses a type or setting while its file is open (AppError 90): the
// refusal is shown, what is in use stays in use and on screen, a recording that
// runs meanwhile keeps every sample, and the choice is taken once the file is finished.
TEST_F(Form1FileTypeTest, ChoicesTheOpenFileRefusesAreShownAndNothingIsLost) {
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("form1_refused"), 44100, 2,
                          "Form1-Refused-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder.Loaded());
  ASSERT_NO_FATAL_FAILURE(OpenWithSource(feeder, true));
  const auto expectRefusalShown = [&](size_t count) {
    ASSERT_EQ(messages.shown.size(), count);
    EXPECT_EQ(messages.shown.back().title, "Tamblin");
    EXPECT_EQ(messages.shown.back().text, "无法完成此操作 (错误 90):\nEncoder already running!");
  };

  // The type box while the file is open, as during a stop the recording thread began itself.
  ASSERT_EQ(form->Encoders().EncoderInit(44100, 2, (folder.Path() + "/open.wav").toStdString()), ENC_OK);
  PickType(EncoderSelection::TYPE_FLAC);
  expectRefusalShown(1);
  EXPECT_EQ(form->Encoders().Type(), EncoderSelection::TYPE_WAV);
  EXPECT_EQ(Find<QComboBox>("cboFileType")->currentIndex(), EncoderSelection::TYPE_WAV);
  EXPECT_EQ(form->Encoders().EncoderClose(), ENC_OK);
  PickType(EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), Numbered(0, "flac"));

  // The setting chooser while the tray menu starts a recording (0.1 s buffers).
  UseBufferSize(17640);
  QAction* startStop = form->findChild<TrayIcon*>()->Menu()->actions()[0];
  settings.answer = 8;
  settings.whileOpen = [&] {
    startStop->trigger();
    form->Engine().WaitUntilHandled();
  };
  QTest::mouseClick(Find<QPushButton>("cmdSelFmt"), Qt::LeftButton);
  ASSERT_EQ(form->Engine().State(), RecorderState::Recording);
  expectRefusalShown(2);
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "FLAC - 压缩级别 5 (默认)");

  const std::vector<int16_t> fed = TestSignal(44100, 2, 1.0);
  feeder.Feed(fed, 4.0);
  const auto fedBytes = static_cast<int64_t>(fed.size() * sizeof(int16_t));
  EXPECT_TRUE(WaitFor([&] { return form->Recorder().DeliveredBytes() >= fedBytes; }));
  startStop->trigger();
  form->Engine().WaitUntilHandled();
  EXPECT_EQ(messages.shown.size(), 2u) << messages.shown.back().text;
  EXPECT_TRUE(DecodeWithFfmpeg(Numbered(0, "flac").toStdString()) == fed) << "not every sample fed is in the file";

  settings.whileOpen = nullptr;
  QTest::mouseClick(Find<QPushButton>("cmdSelFmt"), Qt::LeftButton);
  EXPECT_EQ(form->Encoders().Compressed()->SettingFor(2), 8);
}

// A rate and stereo chosen under another type reach the WAV format unasked,
// its coding kept: a start in WAV from another door records what is shown.
TEST_F(Form1FileTypeTest, AWavStartFromAnotherDoorRecordsTheRateAndChannelsChosenUnderAnotherType) {
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("form1_follow"), 44100, 2,
                          "Form1-Follow-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder.Loaded());
  ASSERT_NO_FATAL_FAILURE(OpenWithSource(feeder, false));
  PickType(EncoderSelection::TYPE_OPUS);
  auto* rate = Find<QComboBox>("cboSamplerate");
  rate->setCurrentIndex(rate->findText("22050"));
  emit rate->activated(rate->currentIndex());
  QTest::mouseClick(Find<QCheckBox>("chkStereo"), Qt::LeftButton);
  EXPECT_TRUE(formats.requests.empty()) << "nothing asked under Opus";

  const RecorderControl::Result started = form->Engine().Start({.type = "wav"});
  ASSERT_TRUE(started.ok) << started.reason;
  EXPECT_EQ(Find<QLineEdit>("txtWAVFmt")->text(), "PCM - 22.050 kHz, 16 Bit, Mono");
  ASSERT_TRUE(form->Engine().Stop().ok);
  ASSERT_TRUE(WaitFor([&] { return AtRest(form->Engine().State()); }));
  const auto probe = ProbeWithFfprobe(Numbered(0, "wav").toStdString());
  ASSERT_TRUE(probe.has_value());
  EXPECT_EQ(probe->codec, "pcm_s16le");
  EXPECT_EQ(probe->rate, 22050);
  EXPECT_EQ(probe->channels, 1);
}

// One recording per type of exactly 3 s of a known signal, no padding after it.
struct TypeCase {
  EncoderSelection::FileType type;
  const char* extension;
  const char* codec;
  int rate;             // as ffprobe reports it
  // One codec frame: the length may differ by that much. An MP3's frame count
  // includes the encoder's 1105-sample delay, so there two frames.
  double frameSeconds;
  bool lossless;
};

class Form1TypeRecordingTest : public Form1FileTypeTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(Form1TypeRecordingTest, ThreeSecondsOfAFedSignalReachTheFileOfTheChosenType) {
  const TypeCase param = GetParam();
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("form1_type"), 44100, 2,
                          std::string("Form1-Type-") + param.extension + "-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder.Loaded());
  Open();
  auto* device = Find<QComboBox>("cboDev");
  const int index = device->findText(QString::fromStdString(feeder.Description()));
  ASSERT_GE(index, 0) << "pipe source not listed";
  device->setCurrentIndex(index);
  emit device->activated(index);
  PickType(param.type);

  // 0.1 s buffers: 3 s fill 30 of them, so every fed sample arrives before the stop.
  constexpr int32_t kBufferBytes = 17640;
  UseBufferSize(kBufferBytes);
  const auto delivered = [&] { return static_cast<size_t>(form->Recorder().DeliveredBytes()); };
  QTest::mouseClick(Find<QPushButton>("cmdDo"), Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  ASSERT_TRUE(form->Controller().IsRecording()) << (messages.shown.empty() ? "" : messages.shown[0].text);

  const std::vector<int16_t> fed = TestSignal(44100, 2, 3.0);
  feeder.Feed(fed, 4.0);
  const size_t fedBytes = fed.size() * sizeof(int16_t);
  EXPECT_TRUE(WaitFor([&] { return delivered() >= fedBytes; })) << "delivered " << delivered() << " of " << fedBytes;
  QTest::mouseClick(Find<QPushButton>("cmdDo"), Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  ASSERT_FALSE(form->Controller().IsRecording());
  EXPECT_EQ(delivered(), fedBytes) << "the source gave more than was fed";
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;

  const std::filesystem::path file = Numbered(0, param.extension).toStdString();
  EXPECT_EQ(Find<QLineEdit>("txtFile")->text(), Numbered(1, param.extension));
  const auto probe = ProbeWithFfprobe(file);
  ASSERT_TRUE(probe.has_value()) << "ffprobe cannot read " << file;
  EXPECT_EQ(probe->codec, param.codec);
  EXPECT_EQ(probe->rate, param.rate);
  EXPECT_EQ(probe->channels, 2);
  EXPECT_NEAR(probe->duration, 3.0, param.frameSeconds);
  if (param.lossless) {
    const auto decoded = DecodeWithFfmpeg(file);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(*decoded == fed) << "decoded " << decoded->size() << " samples of " << fed.size();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, Form1TypeRecordingTest,
    ::testing::Values(TypeCase{EncoderSelection::TYPE_WAV, "wav", "pcm_s16le", 44100, 1.0 / 44100, true},
                      TypeCase{EncoderSelection::TYPE_FLAC, "flac", "flac", 44100, 4608.0 / 44100, true},
                      TypeCase{EncoderSelection::TYPE_OPUS, "opus", "opus", 48000, 0.02, false},
                      TypeCase{EncoderSelection::TYPE_MP3, "mp3", "mp3", 44100, 2 * 1152.0 / 44100, false}),
    [](const ::testing::TestParamInfo<TypeCase>& info) { return std::string(info.param.extension); });

}  // namespace
