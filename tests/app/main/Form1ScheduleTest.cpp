// Scheduled recording through the real window on a clock the test turns: a
// delayed start and a stop after 30 s record exactly the first 30 s of what a
// pipe source was fed; the start button, and a toggle from the command line,
// cancel a pending start; a start with no device is reported once. And the "定时/触发" page: its defaults change nothing, and what
// it shows is what it gives back.
#include "app/handsfree/ScheduleKeeper.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <random>

#include "TestDoubles.h"
#include "app/platform/RemoteRequest.h"
#include "app/control/RecorderRequests.h"
#include "app/recording/RecordingEngine.h"
#include "app/windows/Form1.h"
#include "app/handsfree/frmSchedule.h"
#include "capture/WaveInRecorder.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

using namespace std::chrono_literals;
using Plan = RecordingSchedule::Plan;

constexpr int kRate = 44100;

class Form1ScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsurePulseServer());
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    feeder_ = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("schedule"), kRate, 2,
                                                 "Schedule-" + name + "-" + std::to_string(getpid()));
    ASSERT_TRUE(feeder_->Loaded());
    form_ = std::make_unique<Form1>(Form1::Services{&messages_, nullptr, nullptr, false, nullptr});
    form_->Load();
    form_->Schedule().Schedule().SetClock([this] { return now_; });
  }

  // No device is chosen at start-up: the user (or this) picks one.
  void ChooseFedDevice() {
    auto* device = form_->findChild<QComboBox*>("cboDev");
    const int index = device->findText(QString::fromStdString(feeder_->Description()));
    ASSERT_GE(index, 0) << "pipe source not listed";
    device->setCurrentIndex(index);
    emit device->activated(index);
  }
  bool WaitUntilState(RecorderState state) {
    return WaitFor([&] { return form_->Engine().State() == state; }, 120000);
  }
  QString Countdown() const { return form_->findChild<QLabel*>("sbarSchedule")->text(); }
  static Plan DelayedStart(std::chrono::seconds delay) {
    Plan plan;
    plan.start = Plan::Start::After;
    plan.startDelay = delay;
    return plan;
  }

  RecordingSchedule::TimePoint now_{std::chrono::hours{500000}};
  TempProgramFolder folder_;
  RecordingMessages messages_;
  std::unique_ptr<PipeSourceFeeder> feeder_;
  std::unique_ptr<Form1> form_;
};

TEST_F(Form1ScheduleTest, DelayedStartAndStopAfterDurationRecordExactlyWhatWasFed) {
  ChooseFedDevice();
  Plan plan = DelayedStart(60s);
  plan.stop = Plan::Stop::After;
  plan.stopAfter = 30s;
  form_->Schedule().Apply(plan, HandsFreeSettings{});
  EXPECT_TRUE(Countdown().contains("0:01:00")) << Countdown().toStdString();
  now_ += 59s;
  EXPECT_TRUE(WaitFor([&] { return Countdown().contains("0:00:01"); })) << Countdown().toStdString();
  EXPECT_EQ(form_->Engine().State(), RecorderState::Monitoring);

  now_ += 1s;
  ASSERT_TRUE(WaitUntilState(RecorderState::Recording)) << (messages_.shown.empty() ? "" : messages_.shown[0].text);
  EXPECT_TRUE(WaitFor([&] { return Countdown().contains("0:00:30"); })) << Countdown().toStdString();
  // The stop after 30 s is the recorder's, to the sample; the clock the schedule counts down on stands still.
  std::minstd_rand generator(7);
  std::vector<int16_t> fed(31 * kRate * 2 + 2 * 333);
  for (int16_t& sample : fed) sample = static_cast<int16_t>(generator() % 65536 - 32768);
  feeder_->Feed(fed, 8.0);
  ASSERT_TRUE(WaitUntilState(RecorderState::Monitoring));
  EXPECT_TRUE(messages_.shown.empty()) << messages_.shown[0].text;
  EXPECT_TRUE(WaitFor([&] { return !form_->Schedule().Schedule().Armed(); })) << "done once the recording ended";
  EXPECT_TRUE(Countdown().isEmpty());
  const auto recorded = DecodeWithSox((folder_.Path() + "/file/录音0.wav").toStdString());
  ASSERT_TRUE(recorded.has_value());
  fed.resize(size_t(30) * kRate * 2);
  EXPECT_TRUE(*recorded == fed) << recorded->size() << " of " << fed.size() << " samples";
}

// A toggle from any door does what the start/stop button does: a start that
// waits is cancelled, and nothing is started.
TEST_F(Form1ScheduleTest, AToggleFromTheCommandLineCancelsAPendingStartAsTheButtonDoes) {
  ChooseFedDevice();
  form_->Schedule().Apply(DelayedStart(10s), HandsFreeSettings{});
  RemoteRequest status;
  status.verb = RemoteRequest::Verb::Status;
  const QByteArray waiting = RecorderRequests::Answer(form_->Engine(), form_->SecondInputs(), status.Encode().chopped(1));
  EXPECT_TRUE(waiting.contains("等待定时开始 (0:10 后)")) << waiting.toStdString();
  RemoteRequest toggle;
  toggle.verb = RemoteRequest::Verb::Toggle;
  const QByteArray answer = RecorderRequests::Answer(form_->Engine(), form_->SecondInputs(), toggle.Encode().chopped(1));
  EXPECT_TRUE(answer.startsWith("ok")) << answer.toStdString();
  EXPECT_FALSE(form_->Schedule().Schedule().Armed());
  EXPECT_TRUE(Countdown().isEmpty());
  now_ += 1h;
  form_->Schedule().Tick();
  EXPECT_EQ(form_->Engine().State(), RecorderState::Monitoring) << "the toggle only cancelled";
}

TEST_F(Form1ScheduleTest, StartButtonCancelsAPendingStartAndAStartWithNoDeviceIsReportedOnce) {
  form_->Schedule().Apply(DelayedStart(10s), HandsFreeSettings{});
  form_->findChild<QPushButton*>("cmdDo")->click();
  EXPECT_FALSE(form_->Schedule().Schedule().Armed());
  EXPECT_TRUE(Countdown().isEmpty());
  EXPECT_EQ(form_->Engine().State(), RecorderState::Idle) << "the press only cancelled";

  Plan plan = DelayedStart(5s);
  plan.stop = Plan::Stop::Size;
  plan.stopBytes = 1 << 20;
  form_->Schedule().Apply(plan, HandsFreeSettings{});
  now_ += 5s;
  ASSERT_TRUE(WaitFor([&] { return !form_->Schedule().Schedule().Armed(); }));
  ASSERT_TRUE(WaitUntilState(RecorderState::Idle));
  now_ += 1h;
  QTest::qWait(600);  // several ticks of the schedule's timer: none may start again
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "没有选择硬件设备!");
}

TEST(frmScheduleTest, DefaultsChangeNothingAndEveryChoiceComesBackAsShown) {
  frmSchedule page;
  EXPECT_TRUE(page.ChosenPlan().IsEmpty());
  EXPECT_EQ(page.ChosenHandsFree(), HandsFreeSettings{});

  Plan plan;
  plan.start = Plan::Start::At;
  plan.startAt = RecordingSchedule::TimePoint{std::chrono::seconds{1900000000}};
  plan.stop = Plan::Stop::Size;
  plan.stopBytes = int64_t{3000} << 20;  // beyond 32 bits
  HandsFreeSettings handsFree;
  handsFree.sound = {true, -52.5, 250, 7.5, 12, SoundActivation::AfterSilence::NewFile};
  handsFree.splitMinutes = 45;
  page.Load(plan, handsFree, true);
  EXPECT_EQ(page.ChosenPlan(), plan);
  EXPECT_EQ(page.ChosenHandsFree(), handsFree);
  page.findChild<QAbstractButton*>("chkSplit")->click();
  EXPECT_EQ(page.ChosenHandsFree().splitMinutes, 0) << "unticked: off, whatever the minutes say";
}

// OK on a plan that would stop before it starts keeps the page open and says
// why; once the stop comes after the start, OK takes it.
TEST(frmScheduleTest, AStopTimeNotAfterTheStartIsRefusedWithTheReason) {
  const auto now = std::chrono::system_clock::now();
  const auto wholeSecond = std::chrono::time_point_cast<std::chrono::seconds>(now);
  struct Case {
    const char* name;
    Plan::Start start;
    RecordingSchedule::TimePoint startAt, stopAt;
  };
  for (const Case& refused : {Case{"stop an hour before a timed start", Plan::Start::At, wholeSecond + 2h, wholeSecond + 1h},
                              Case{"stop at the start", Plan::Start::At, wholeSecond + 2h, wholeSecond + 2h},
                              Case{"start now, stop already past", Plan::Start::Now, {}, wholeSecond - 1h}}) {
    SCOPED_TRACE(refused.name);
    frmSchedule page;
    int accepted = 0;
    QObject::connect(&page, &QDialog::accepted, [&] { ++accepted; });
    Plan plan;
    plan.start = refused.start;
    plan.startAt = refused.startAt;
    plan.stop = Plan::Stop::At;
    plan.stopAt = refused.stopAt;
    page.Load(plan, HandsFreeSettings{}, false);
    auto* problem = page.findChild<QLabel*>("lblScheduleProblem");
    EXPECT_TRUE(problem->isHidden());
    page.findChild<QPushButton*>("cmdOK")->click();
    EXPECT_EQ(accepted, 0);
    EXPECT_FALSE(problem->isHidden());
    EXPECT_TRUE(problem->text().contains("停止时间必须晚于开始时间")) << problem->text().toStdString();

    plan.stopAt = wholeSecond + 3h;
    page.Load(plan, HandsFreeSettings{}, false);
    page.findChild<QPushButton*>("cmdOK")->click();
    EXPECT_EQ(accepted, 1) << "a stop after the start is taken";
  }
}

// Each part of a duration takes what is typed into it, "00" hours of the
// hour shown at first included; a stop after no time at all is refused.
TEST(frmScheduleTest, TypedDurationPartsAreTakenAndAStopAfterNothingIsRefused) {
  frmSchedule page;
  page.show();
  page.findChild<QAbstractButton*>("optStopAfter")->click();
  const auto type = [&](const char* field, QDateTimeEdit::Section section, const char* digits) {
    auto* edit = page.findChild<QDateTimeEdit*>(field);
    edit->setFocus();
    edit->setSelectedSection(section);
    QTest::keyClicks(edit, digits);
  };
  type("timStopAfter", QDateTimeEdit::HourSection, "00");  // of 01:00:00
  type("timStopAfter", QDateTimeEdit::MinuteSection, "30");
  EXPECT_EQ(page.ChosenPlan().stopAfter, 30min);

  int accepted = 0;
  QObject::connect(&page, &QDialog::accepted, [&] { ++accepted; });
  type("timStopAfter", QDateTimeEdit::MinuteSection, "00");
  EXPECT_EQ(page.ChosenPlan().stopAfter, 0s);
  page.findChild<QPushButton*>("cmdOK")->click();
  EXPECT_EQ(accepted, 0) << "a recording of no length";
  EXPECT_FALSE(page.findChild<QLabel*>("lblScheduleProblem")->isHidden());
}

}  // namespace
