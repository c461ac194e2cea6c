// The recording engine through the real window: a disk whose every sync takes
// seconds, a window thread held up, a disk that truly cannot keep up, a
// quit while the queue is still being written, and sound-activated takes.
// Fed pipe sources, exact counts.
#include "app/recording/RecordingEngine.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QSpinBox>
#include <QTimer>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>

#include "ScriptedSecondInput.h"
#include "TestDoubles.h"
#include "app/recording/RecordingController.h"
#include "app/recording/TakeMarkers.h"
#include "app/platform/RemoteRequest.h"
#include "app/control/RecorderRequests.h"
#include "app/windows/Form1.h"
#include "encoding/EncoderSelection.h"
#include "capture/WaveInRecorder.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"
#include "tests/support/SlowSync.h"

namespace {

using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr size_t kSamplesPerSecond = kRate * 2;

std::vector<int16_t> NoiseSamples(size_t count, unsigned seed) {
  std::minstd_rand generator(seed);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<int16_t> samples(count);
  std::generate(samples.begin(), samples.end(), [&] { return static_cast<int16_t>(value(generator)); });
  return samples;
}

// The level bar's colours are never near white; the threshold line is.
bool ThresholdLineShown(const QImage& bar) {
  for (int y = 0; y < bar.height(); ++y) {
    for (int x = 0; x < bar.width(); ++x) {
      const QColor c = bar.pixelColor(x, y);
      if (std::min({c.red(), c.green(), c.blue()}) > 240) return true;
    }
  }
  return false;
}

// Music-like stereo input: three tones and noise whose level changes every
// half second (between about -36 and -12 dBFS), so loudness range and gating matter.
std::vector<int16_t> MusicLikeSamples(double seconds, unsigned seed) {
  std::minstd_rand generator(seed);
  std::normal_distribution<double> noise(0.0, 0.05);
  std::uniform_real_distribution<double> level(0.02, 0.25);
  const auto frames = static_cast<size_t>(seconds * kRate);
  std::vector<int16_t> samples(frames * 2);
  double gain = level(generator);
  for (size_t i = 0; i < frames; ++i) {
    if (i % (kRate / 2) == 0) gain = level(generator);
    const double t = static_cast<double>(i) / kRate;
    for (size_t channel = 0; channel < 2; ++channel) {
      const double tones = 0.5 * std::sin(2 * std::numbers::pi * (220.0 + 110.0 * channel) * t) +
                           0.3 * std::sin(2 * std::numbers::pi * 1250.0 * t) + 0.2 * std::sin(2 * std::numbers::pi * 5300.0 * t);
      samples[2 * i + channel] = static_cast<int16_t>(std::lrint(32767.0 * gain * (tones + noise(generator))));
    }
  }
  return samples;
}

class RecordingEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsurePulseServer());
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    feeder_ = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("engine"), kRate, 2,
                                                 "Engine-" + name + "-" + std::to_string(getpid()));
    ASSERT_TRUE(feeder_->Loaded());
    form_ = std::make_unique<Form1>(Form1::Services{&messages_, nullptr, nullptr, false, nullptr});
    form_->Load();
    auto* device = form_->findChild<QComboBox*>("cboDev");
    const int index = device->findText(QString::fromStdString(feeder_->Description()));
    ASSERT_GE(index, 0) << "pipe source not listed";
    device->setCurrentIndex(index);
    emit device->activated(index);
  }
  void TearDown() override {
    SlowSync::Delay(0ms);
    SlowSync::DelayNext(0ms);
    form_.reset();
  }

  void Click() { form_->findChild<QPushButton*>("cmdDo")->click(); }
  bool WaitUntilState(RecorderState state, int ms = 120000) {
    return WaitFor([&] { return form_->Engine().State() == state; }, ms);
  }
  // A stop ends in Monitoring while the chosen device's input stays open, else in Idle.
  bool WaitUntilAtRest() {
    return WaitFor([&] { return AtRest(form_->Engine().State()); }, 120000);
  }
  bool WaitUntilReceived(size_t samples) {
    return WaitFor([&] { return form_->Recorder().ReceivedBytes() >= static_cast<int64_t>(samples * 2); });
  }
  // Starts, feeds `fed` at `speed` times real time, waits (in the event
  // loop) until the server has handed it all over, and clicks stop.
  void RecordAndStop(const std::vector<int16_t>& fed, double speed) {
    Click();
    ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << Shown();
    feeder_->Feed(fed, speed);
    ASSERT_TRUE(WaitUntilReceived(fed.size())) << "received " << form_->Recorder().ReceivedBytes();
    Click();
  }
  std::vector<int16_t> Recorded(int n = 0) const {
    return DecodeWithSox((folder_.Path() + "/file/录音" + QString::number(n) + ".wav").toStdString())
        .value_or(std::vector<int16_t>{});
  }
  std::string Shown() const { return messages_.shown.empty() ? "" : messages_.shown.back().text; }

  TempProgramFolder folder_;
  RecordingMessages messages_;
  std::unique_ptr<PipeSourceFeeder> feeder_;
  std::unique_ptr<Form1> form_;
};

// Every sync takes 3 s (the journal's and the counter's too): 20 s of input
// reach the file bit for bit, and the display ticks on time throughout.
TEST_F(RecordingEngineTest, SlowSyncsLoseNothingAndTheWindowKeepsTicking) {
  SlowSync::Delay(3000ms);
  const std::vector<int16_t> fed = NoiseSamples(20 * kSamplesPerSecond + 777 * 2, 1);
  RecordAndStop(fed, 4.0);
  EXPECT_EQ(form_->Engine().State(), RecorderState::Finishing);
  EXPECT_TRUE(WaitFor([&] { return form_->findChild<QLabel*>("sbarPanel1")->text().contains("秒"); }))
      << "the status bar tells what is left to write";
  ASSERT_TRUE(WaitUntilAtRest());
  // A sync is 3 s here: a window that waited for one is late by seconds, a busy machine by far less.
  EXPECT_LT(form_->MaxTickLatenessMs(), 1000) << "the window waited for a sync";
  EXPECT_GE(SlowSync::Count(), 4) << "the syncs were slowed";
  SlowSync::Delay(0ms);
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
  EXPECT_TRUE(Recorded() == fed) << Recorded().size() << " of " << fed.size() << " samples";
}

// The take's first sync takes 10 s (a disk waking up) while the input runs
// live from the click on, as a microphone's does: the capture takes it from the
// first block all the same, and the file holds every sample of it.
TEST_F(RecordingEngineTest, SlowFirstSyncHoldsUpNoneOfTheLiveInput) {
  const std::vector<int16_t> fed = NoiseSamples(14 * kSamplesPerSecond, 6);
  SlowSync::DelayNext(10000ms);
  Click();
  feeder_->FeedLive(fed);
  feeder_->WaitFed();
  EXPECT_EQ(feeder_->Dropped(), 0u) << "input went by before the capture ran";
  ASSERT_TRUE(WaitUntilReceived(fed.size() - feeder_->Dropped() / 2)) << "received " << form_->Recorder().ReceivedBytes();
  Click();
  ASSERT_TRUE(WaitUntilAtRest());
  EXPECT_GE(SlowSync::Count(), 1);
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
  EXPECT_TRUE(Recorded() == fed) << Recorded().size() << " of " << fed.size() << " samples";
}

// The stop's last syncs take seconds: the button offers the next start only
// once a click on it starts one (before, such a click was dropped).
TEST_F(RecordingEngineTest, StartOfferedByTheButtonAfterAStopIsTaken) {
  auto* button = form_->findChild<QPushButton*>("cmdDo");
  Click();
  ASSERT_TRUE(WaitFor([&] { return button->text() == "停止录音"; })) << Shown();
  SlowSync::Delay(1500ms);
  Click();
  ASSERT_TRUE(WaitFor([&] { return button->text() == "开始录音"; }, 120000));
  Click();
  EXPECT_TRUE(WaitUntilState(RecorderState::Recording, 60000)) << "the click was dropped";
  SlowSync::Delay(0ms);
  Click();
  ASSERT_TRUE(WaitUntilAtRest());
}

// The window's thread held up for 5 s in the middle of a recording.
TEST_F(RecordingEngineTest, BusyWindowThreadLosesNothing) {
  const std::vector<int16_t> fed = NoiseSamples(8 * kSamplesPerSecond, 2);
  QTimer::singleShot(300, form_.get(), [] { std::this_thread::sleep_for(5s); });
  RecordAndStop(fed, 1.0);
  ASSERT_TRUE(WaitUntilAtRest());
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
  EXPECT_EQ(form_->Recorder().LostInputCount(), 0);
  EXPECT_TRUE(Recorded() == fed) << Recorded().size() << " of " << fed.size() << " samples";
}

// A queue of 2 s and syncs of 4 s: input is lost, counted, and reported with
// the disk and the folder as its cause; the file stays a valid WAV.
TEST_F(RecordingEngineTest, DiskThatCannotKeepUpIsNamedAsTheCauseAndTheFileStaysValid) {
  form_->Recorder().QueueSeconds(2);
  auto* monitor = form_->findChild<QCheckBox*>("chkMonitor");
  monitor->click();  // the input reopens with the shorter queue
  monitor->click();
  SlowSync::Delay(4000ms);
  Click();
  ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << Shown();
  feeder_->Feed(NoiseSamples(12 * kSamplesPerSecond, 3), 1.0);
  feeder_->WaitFed();  // what the full queue drops is never received
  Click();
  ASSERT_TRUE(WaitUntilAtRest());
  SlowSync::Delay(0ms);
  ASSERT_TRUE(WaitFor([&] { return !messages_.shown.empty(); }));
  const std::string& text = messages_.shown.back().text;
  EXPECT_NE(text.find("磁盘写入跟不上"), std::string::npos) << text;
  EXPECT_NE(text.find((folder_.Path() + "/file").toStdString()), std::string::npos) << text;
  const auto info = ProbeWithSox((folder_.Path() + "/file/录音0.wav").toStdString());
  ASSERT_TRUE(info.has_value());
  EXPECT_GT(info->duration, 1.0);
  const size_t kept = Recorded().size();
  EXPECT_GT(kept, 0u);
  EXPECT_LT(kept, 12 * kSamplesPerSecond) << "something was lost";
  EXPECT_NEAR(info->duration, static_cast<double>(kept) / kSamplesPerSecond, 0.01) << "header and data agree";
}

// Closing the window while the queue is still being written waits for it:
// the file is complete and the journal holds nothing unfinished.
TEST_F(RecordingEngineTest, QuitWhileTheQueueDrainsFinishesTheFile) {
  SlowSync::Delay(2000ms);
  const std::vector<int16_t> fed = NoiseSamples(6 * kSamplesPerSecond + 3 * 2, 4);
  RecordAndStop(fed, 4.0);
  ASSERT_EQ(form_->Engine().State(), RecorderState::Finishing);
  form_->close();  // returns once the file is finished
  SlowSync::Delay(0ms);
  EXPECT_TRUE(Recorded() == fed) << Recorded().size() << " of " << fed.size() << " samples";
  const QByteArray journal = ReadAll(ProgramFolder::JournalFile());
  EXPECT_TRUE(journal.trimmed().isEmpty() || journal == "<missing>") << journal.toStdString();
}

// Quiet noise (about -50 dBFS) with two loud bursts, one file per take:
// each holds its burst bit for bit with exactly the pre-roll before it, and
// the window shows the wait, the take and the threshold.
TEST_F(RecordingEngineTest, SoundActivatedTakesHoldTheirBurstsWithThePreRoll) {
  const std::vector<size_t> onsets = {kRate * 3 / 2, 4 * kRate};  // frames; each burst lasts 0.5 s
  std::vector<int16_t> fed = NoiseSamples(6 * kSamplesPerSecond, 5);
  for (auto& s : fed) s = static_cast<int16_t>(s / 328);
  for (const size_t onset : onsets) {
    const auto loud = NoiseSamples(kRate, static_cast<unsigned>(onset));
    std::copy(loud.begin(), loud.end(), fed.begin() + static_cast<ptrdiff_t>(onset * 2));
    fed[onset * 2] = 30000;  // the onset is the burst's first sample
  }
  HandsFreeSettings settings;
  settings.sound = {.enabled = true, .preRollSeconds = 0.5, .hangSeconds = 1.0,
                    .afterSilence = SoundActivation::AfterSilence::NewFile};
  form_->Engine().HandsFreeChanged(settings);
  auto* length = form_->findChild<QLabel*>("sbarPanel2");
  Click();
  ASSERT_TRUE(WaitUntilState(RecorderState::WaitingForSound)) << Shown();
  EXPECT_TRUE(WaitFor([&] { return length->text().contains("等待声音…"); })) << length->text().toStdString();
  const auto fedAt = std::chrono::steady_clock::now();
  feeder_->Feed(fed, 2.0);
  EXPECT_TRUE(WaitFor([&] { return length->text().contains("第 1 段"); })) << length->text().toStdString();
  EXPECT_TRUE(WaitUntilState(RecorderState::Recording)) << "a take runs";
  const auto shown = std::chrono::steady_clock::now() - fedAt - 750ms;  // the burst is fed 0.75 s in
  std::cout << "take 1 shown " << std::chrono::duration_cast<std::chrono::milliseconds>(shown).count()
            << " ms after its onset was fed\n";
  EXPECT_TRUE(WaitFor([&] { return ThresholdLineShown(form_->findChild<QWidget*>("picVUL")->grab().toImage()); }));
  EXPECT_TRUE(WaitFor([&] { return length->text().contains("第 2 段"); })) << length->text().toStdString();
  ASSERT_TRUE(WaitUntilReceived(fed.size()));
  EXPECT_TRUE(WaitFor([&] { return length->text().contains("等待声音…"); })) << "the hang ended take 2";
  Click();
  ASSERT_TRUE(WaitUntilAtRest());
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
  for (int k = 0; k < 2; ++k) {
    // From the pre-roll on to the hang's end, which a 10 ms level window may delay.
    const std::vector<int16_t> take = Recorded(k);
    const size_t from = (onsets[k] - kRate / 2) * 2;
    EXPECT_GE(take.size(), 2 * kSamplesPerSecond) << "take " << k;
    EXPECT_LE(take.size(), 2 * kSamplesPerSecond + kSamplesPerSecond / 100) << "take " << k;
    EXPECT_TRUE(std::equal(take.begin(), take.end(), fed.begin() + static_cast<ptrdiff_t>(from))) << "take " << k;
  }
}

// What the controller measured on the recording thread is what an independent
// meter finds in the written file.
TEST_F(RecordingEngineTest, LoudnessOfTheRecordingMatchesAnIndependentMeterOfTheFile) {
  const std::vector<int16_t> fed = MusicLikeSamples(15.0, 5);
  RecordAndStop(fed, 4.0);
  ASSERT_TRUE(WaitUntilAtRest());
  ASSERT_TRUE(Recorded() == fed) << Recorded().size() << " of " << fed.size() << " samples";
  const auto reference = MeasureWithFfmpeg((folder_.Path() + "/file/录音0.wav").toStdString());
  ASSERT_TRUE(reference.has_value());
  const LoudnessReading measured = form_->Controller().FinalLoudness();
  EXPECT_NEAR(measured.integrated, reference->integrated, 0.1);
  EXPECT_NEAR(measured.truePeak, reference->truePeak, 0.2);
  EXPECT_GT(measured.range, 3.0) << "the level changes";
  EXPECT_GE(measured.maxMomentary, measured.integrated);
  EXPECT_GE(measured.maxShortTerm, measured.integrated);
}

// Every door's markers come through the engine: a name from outside is made
// plain text, and past the user's limit a marker is refused with the reason,
// by the window's button too, while the pause and resume are still marked.
TEST_F(RecordingEngineTest, MarkerNamesArePlainAndTheUsersLimitIsSaid) {
  Click();
  ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << Shown();
  feeder_->Feed(NoiseSamples(kSamplesPerSecond / 10, 6), 4.0);
  ASSERT_TRUE(WaitUntilReceived(kSamplesPerSecond / 10));
  EXPECT_TRUE(form_->Engine().Mark(std::string("a\0b\vc\xE2\x80\xA8" "d\xC0\xAF", 11)).ok);
  for (size_t i = 1; i < TakeMarkers::kAskedLimit; ++i) ASSERT_TRUE(form_->Engine().Mark({}).ok);
  const RecorderControl::Result refused = form_->Engine().Mark("one too many");
  ASSERT_FALSE(refused.ok);
  EXPECT_NE(refused.reason.find(std::to_string(TakeMarkers::kAskedLimit)), std::string::npos) << refused.reason;
  auto* mark = form_->findChild<QPushButton*>("cmdMark");
  ASSERT_TRUE(WaitFor([&] { return mark->isEnabled(); }));
  mark->click();
  EXPECT_EQ(Shown(), refused.reason);
  EXPECT_TRUE(form_->Engine().Pause().ok);
  EXPECT_TRUE(form_->Engine().Resume().ok);
  Click();
  ASSERT_TRUE(WaitUntilAtRest());

  const QList<QByteArray> labels = ReadAll(folder_.Path() + "/file/录音0.txt").split('\n');
  ASSERT_EQ(labels.size(), static_cast<qsizetype>(TakeMarkers::kAskedLimit + 3));  // and the empty piece after the last
  EXPECT_TRUE(labels.front().endsWith("\ta b c d\xEF\xBF\xBD\xEF\xBF\xBD")) << labels.front().toStdString();
  EXPECT_TRUE(labels[labels.size() - 3].endsWith("\t暂停"));
  EXPECT_TRUE(labels[labels.size() - 2].endsWith("\t继续"));
}

// Every door reads the one state: a take started by the window's button in a
// type chosen there is the file the command line's status names, and a stop
// from the command line shows on the window's buttons.
TEST_F(RecordingEngineTest, TheCommandLineSeesTheWindowsTakeAndItsStopShowsOnTheWindow) {
  auto* type = form_->findChild<QComboBox*>("cboFileType");
  type->setCurrentIndex(EncoderSelection::TYPE_FLAC);
  emit type->activated(EncoderSelection::TYPE_FLAC);
  Click();
  ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << Shown();
  const auto ask = [&](RemoteRequest::Verb verb) {
    RemoteRequest request;
    request.verb = verb;
    return QString::fromUtf8(RecorderRequests::Answer(form_->Engine(), form_->SecondInputs(), request.Encode().chopped(1)));
  };
  const QString status = ask(RemoteRequest::Verb::Status);
  const QString file = folder_.Path() + "/file/录音0.flac";
  EXPECT_TRUE(status.contains("录音中") && status.contains("文件 " + file + ",")) << status.toStdString();
  EXPECT_EQ(form_->findChild<QPushButton*>("cmdDo")->text(), "停止录音");
  EXPECT_TRUE(ask(RemoteRequest::Verb::Stop).startsWith("ok")) << "stopped";
  ASSERT_TRUE(WaitFor([&] { return form_->findChild<QPushButton*>("cmdDo")->text() == "开始录音"; }));
  EXPECT_EQ(form_->Engine().State(), RecorderState::Monitoring);
  EXPECT_TRUE(QFileInfo(file).size() > 0);
}

// A start from another door that names the device and the type: the window
// follows, showing what is recorded, and its own next start keeps them.
TEST_F(RecordingEngineTest, TheWindowFollowsTheChoicesOfAnotherDoorsStart) {
  auto* device = form_->findChild<QComboBox*>("cboDev");
  device->setCurrentIndex(-1);
  const RecorderControl::Result started =
      form_->Engine().Start({.device = feeder_->SourceName(), .type = "flac"});
  ASSERT_TRUE(started.ok) << started.reason;
  EXPECT_EQ(device->currentText().toStdString(), feeder_->Description());
  EXPECT_EQ(form_->findChild<QComboBox*>("cboFileType")->currentIndex(), EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(form_->Engine().CurrentStatus().file, (folder_.Path() + "/file/录音0.flac").toStdString());
  EXPECT_TRUE(form_->Engine().Stop().ok);
  ASSERT_TRUE(WaitUntilAtRest());
  // The next numbered file reaches the box through the window's event queue, just after the state.
  auto* file = form_->findChild<QLineEdit*>("txtFile");
  EXPECT_TRUE(WaitFor([&] { return file->text().endsWith("录音1.flac"); })) << file->text().toStdString();
}

// Before Start the chosen device's input is open: its level reaches the
// status; unticking the monitor closes it.
TEST_F(RecordingEngineTest, TheLevelMovesBeforeStartUntilMonitoringIsTurnedOff) {
  ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring)) << Shown();
  feeder_->Feed(NoiseSamples(kSamplesPerSecond, 9), 4.0);
  EXPECT_TRUE(WaitFor([&] { return form_->Engine().CurrentStatus().levelDbfs > -20.0; }))
      << form_->Engine().CurrentStatus().levelDbfs;
  EXPECT_EQ(form_->Engine().State(), RecorderState::Monitoring) << "nothing written";
  form_->findChild<QCheckBox*>("chkMonitor")->click();
  EXPECT_EQ(form_->Engine().State(), RecorderState::Idle);
  EXPECT_FALSE(form_->Recorder().IsRecording()) << "the input is closed";
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
}

// A take begins the pre-record's seconds of fed input before the press, to
// the sample, and goes on with the live input with nothing lost or repeated at
// the seam; with 0 it begins at the press.
TEST_F(RecordingEngineTest, PreRecordBeginsTheTakeThatLongBeforeThePressToTheSample) {
  auto* preRecord = form_->findChild<QSpinBox*>("spnPreRecord");
  for (const int seconds : {5, 0}) {
    preRecord->setValue(seconds);
    ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring)) << Shown();
    const int64_t before = form_->Recorder().ReceivedBytes() / 2;
    const std::vector<int16_t> early = NoiseSamples(7 * kSamplesPerSecond + 333 * 2, 10 + seconds);
    feeder_->Feed(early, 4.0);
    ASSERT_TRUE(WaitUntilReceived(before + early.size()));
    Click();
    ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << Shown();
    const std::vector<int16_t> live = NoiseSamples(3 * kSamplesPerSecond + 55 * 2, 20 + seconds);
    feeder_->Feed(live, 4.0);
    ASSERT_TRUE(WaitUntilReceived(before + early.size() + live.size()));
    Click();
    ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring)) << Shown();
    std::vector<int16_t> expected(early.end() - seconds * kSamplesPerSecond, early.end());
    expected.insert(expected.end(), live.begin(), live.end());
    const std::vector<int16_t> recorded = Recorded(seconds == 5 ? 0 : 1);
    EXPECT_TRUE(recorded == expected) << seconds << " s: " << recorded.size() << " of " << expected.size();
  }
  EXPECT_EQ(form_->Engine().Controller().PreRecordBytes(), 0u) << "pre-record 0 keeps nothing";
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
}

// A door's second input holds for its take, the window's choice for the
// next. Over the open monitor with pre-record, the second track begins with
// silence for the pre-recorded second, then holds its input aligned: both
// files as long as each other, to the sample.
TEST_F(RecordingEngineTest, ADoorsSecondInputHoldsForItsTakeAndTheWindowsChoiceForTheNext) {
  SecondInputScript script;
  script.audio.assign(64 * kSamplesPerSecond, 1000);
  form_->Engine().SecondInputMakers([&script] { return std::make_unique<ScriptedSecondInput>(script); }, {});
  form_->Engine().SecondInputChosen({.sourceName = "window-choice", .tracks = TrackLayout::Mix});
  form_->findChild<QSpinBox*>("spnPreRecord")->setValue(1);
  ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring)) << Shown();
  const int64_t before = form_->Recorder().ReceivedBytes() / 2;
  const std::vector<int16_t> early = NoiseSamples(2 * kSamplesPerSecond, 31);
  feeder_->Feed(early, 4.0);
  ASSERT_TRUE(WaitUntilReceived(before + early.size()));

  const RecorderControl::Result started = form_->Engine().Start(
      {.second = SecondInputSettings{.sourceName = "door-choice", .tracks = TrackLayout::Separate, .removeComputerSound = false}});
  ASSERT_TRUE(started.ok) << started.reason;
  const std::vector<int16_t> live = NoiseSamples(kSamplesPerSecond + 77 * 2, 32);
  feeder_->Feed(live, 4.0);
  ASSERT_TRUE(WaitUntilReceived(before + early.size() + live.size()));
  EXPECT_TRUE(form_->Engine().Stop().ok);
  ASSERT_TRUE(WaitUntilAtRest());
  EXPECT_EQ(script.openedSource, "door-choice");
  std::vector<int16_t> expected(early.end() - kSamplesPerSecond, early.end());
  expected.insert(expected.end(), live.begin(), live.end());
  EXPECT_TRUE(Recorded(0) == expected) << Recorded(0).size() << " of " << expected.size();
  std::vector<int16_t> second(kSamplesPerSecond, 0);
  second.resize(expected.size(), 1000);
  const auto recordedSecond = DecodeWithSox((folder_.Path() + "/file/录音0-2.wav").toStdString());
  ASSERT_TRUE(recordedSecond.has_value());
  EXPECT_TRUE(*recordedSecond == second) << recordedSecond->size() << " of " << second.size();

  Click();
  ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << Shown();
  Click();
  ASSERT_TRUE(WaitUntilAtRest());
  EXPECT_EQ(script.openedSource, "window-choice");
  EXPECT_TRUE(QFileInfo::exists(folder_.Path() + "/file/录音1.wav"));
  EXPECT_FALSE(QFileInfo::exists(folder_.Path() + "/file/录音1-2.wav")) << "the window chose the mix";
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
}

// With the echo on, the take is the fed input through one unbroken echo: the
// kept input and the live input meet at the press with the echo's history
// running on, as in a take without the seam.
TEST_F(RecordingEngineTest, TheEchoRunsOnUnbrokenAcrossThePreRecordSeam) {
  form_->findChild<QCheckBox*>("chkFX0")->click();
  form_->findChild<QSpinBox*>("spnPreRecord")->setValue(2);
  ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring)) << Shown();
  const int64_t before = form_->Recorder().ReceivedBytes() / 2;
  std::vector<int16_t> input = NoiseSamples(3 * kSamplesPerSecond + 111 * 2, 31);
  feeder_->Feed(input, 4.0);
  ASSERT_TRUE(WaitUntilReceived(before + input.size()));
  Click();
  ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << Shown();
  const std::vector<int16_t> live = NoiseSamples(kSamplesPerSecond + 77 * 2, 32);
  feeder_->Feed(live, 4.0);
  ASSERT_TRUE(WaitUntilReceived(before + input.size() + live.size()));
  Click();
  ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring)) << Shown();
  input.insert(input.end(), live.begin(), live.end());
  clsDSP echo;
  echo.Apply(form_->Effects().Settings());
  echo.samplerate(kRate);
  echo.Channels(2);
  echo.ProcessSamples(input);
  const std::vector<int16_t> expected(input.end() - static_cast<long>(live.size() + 2 * kSamplesPerSecond), input.end());
  const std::vector<int16_t> recorded = Recorded();
  ASSERT_EQ(recorded.size(), expected.size());
  const auto differs = std::mismatch(recorded.begin(), recorded.end(), expected.begin());
  EXPECT_EQ(differs.first, recorded.end()) << "first difference at sample " << differs.first - recorded.begin();
  EXPECT_TRUE(messages_.shown.empty()) << Shown();
}

// The monitored source goes away: the lost device's message, and Idle.
TEST_F(RecordingEngineTest, ASourceRemovedWhileMonitoringIsToldAndTheRecorderIsIdle) {
  ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring)) << Shown();
  feeder_.reset();
  ASSERT_TRUE(WaitUntilState(RecorderState::Idle));
  EXPECT_TRUE(WaitFor([&] { return !messages_.shown.empty(); }));
  EXPECT_NE(Shown().find("录音设备已断开"), std::string::npos) << Shown();
}

}  // namespace
