// The second input through the window and the doors, on a daemon of the
// test's own (it changes the default output): the Computer sound button, the
// choice reaching the recorder and surviving a restart, and a door's start
// naming a second device.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <unistd.h>

#include "Form1Fixture.h"
#include "app/control/RecorderRequests.h"
#include "app/handsfree/ScheduleKeeper.h"
#include "app/platform/RemoteRequest.h"
#include "app/recording/RecordingEngine.h"
#include "app/recording/SecondInputFinder.h"
#include "app/windows/Form1.h"
#include "capture/WaveInRecorder.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"
#include "tests/support/ShellCommand.h"

namespace {

// Keeps every start it is asked for, and starts nothing.
class StartKeeper : public RecorderControl {
 public:
  Result Start(const RecordingRequest& request) override {
    starts.push_back(request);
    return {true};
  }
  Result Stop() override { return {true}; }
  Result Pause() override { return {true}; }
  Result Resume() override { return {true}; }
  Result Toggle() override { return {true}; }
  Result Mark(const std::string&) override { return {true}; }
  Status CurrentStatus() const override { return {}; }
  void OnStateChanged(StateListener) override {}

  std::vector<RecordingRequest> starts;
};

class Form1SecondInputTest : public Form1Fixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon.Running()) << daemon.Log();
    // A second output made the default: the button must follow the server's default, not the first monitor listed.
    ASSERT_EQ(RunShellCommand("pactl load-module module-null-sink sink_name=" + kSpeakers +
                              " sink_properties=device.description=Speakers-Out >/dev/null && "
                              "pactl set-default-sink " + kSpeakers)
                  .exitCode,
              0);
  }
  void TearDown() override { form.reset(); }  // before its daemon goes

  const SecondInputSettings& Chosen() { return form->Engine().SecondInputChoice(); }

  const std::string kSpeakers = "tamblin_speakers";
  PrivatePulseDaemon daemon;
};

TEST_F(Form1SecondInputTest, ComputerSoundChoosesTheDefaultOutputsMonitorAndTheChoiceSurvivesARestart) {
  Restart();
  EXPECT_EQ(Find<QComboBox>("cboDev2")->currentIndex(), 0) << "none by default";
  EXPECT_FALSE(Find<QWidget>("pnlSecondInput")->isVisible());
  EXPECT_FALSE(Find<QWidget>("picVU2L")->isVisible());
  EXPECT_FALSE(Chosen().Active());

  QTest::mouseClick(Find<QPushButton>("cmdComputerSound"), Qt::LeftButton);
  EXPECT_EQ(Chosen().sourceName, kSpeakers + ".monitor");
  EXPECT_TRUE(Chosen().removeComputerSound) << "on for a monitor";
  EXPECT_TRUE(Find<QWidget>("pnlSecondInput")->isVisible());
  EXPECT_TRUE(Find<QWidget>("picVU2L")->isVisible());
  EXPECT_TRUE(Find<QWidget>("picVU2R")->isVisible());

  Find<QDoubleSpinBox>("spnGain1")->setValue(-6);
  Find<QDoubleSpinBox>("spnGain2")->setValue(35);  // past the end: the box keeps it in range
  Choose("cboTracks", 1);
  auto* remove = Find<QCheckBox>("chkRemoveComputer");
  QTest::mouseClick(remove, Qt::LeftButton, {}, QPoint(8, remove->height() / 2));  // on its box: the row is wider than its text
  form->Schedule().GateOnEither(true);
  form->Schedule().HandsFreeChosen();
  const SecondInputSettings expected{.sourceName = kSpeakers + ".monitor", .tracks = TrackLayout::Separate,
                                     .firstGainDb = -6, .secondGainDb = 20,
                                     .removeComputerSound = false, .gateOnEither = true};
  EXPECT_EQ(Chosen(), expected);

  Restart();
  EXPECT_EQ(Chosen(), expected) << "handed to the recorder at start-up";
  EXPECT_EQ(Find<QComboBox>("cboDev2")->currentText(), "Monitor of Speakers-Out");
  EXPECT_EQ(Find<QComboBox>("cboTracks")->currentIndex(), 1);
  EXPECT_EQ(Find<QDoubleSpinBox>("spnGain2")->value(), 20);

  Choose("cboDev2", 0);
  EXPECT_FALSE(Chosen().Active());
  EXPECT_FALSE(Find<QWidget>("pnlSecondInput")->isVisible());
  EXPECT_FALSE(Find<QWidget>("picVU2L")->isVisible());
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

TEST_F(Form1SecondInputTest, ADoorsStartNamingASecondDeviceCarriesItAndAnUnknownOneIsRefusedAsTheFirstIs) {
  auto feeder = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("second"), 44100, 2,
                                                   "Second-Mic-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder->Loaded());
  WaveInRecorder devices;
  devices.DeviceCount();
  StartKeeper control;
  SecondInputSettings chosen{.sourceName = "elsewhere", .firstGainDb = 3, .removeComputerSound = false};
  const SecondInputFinder finder(devices, [&chosen] { return chosen; });
  const auto ask = [&](const std::string& second, const std::string& tracks) {
    RemoteRequest request{RemoteRequest::Verb::Start, feeder->Description(), "wav", std::nullopt};
    request.secondDevice = second;
    request.tracks = tracks;
    return QString::fromUtf8(RecorderRequests::Answer(control, finder, request.Encode().chopped(1)));
  };

  EXPECT_TRUE(ask("Monitor of Speakers-Out", "both").startsWith("ok")) << "by its description";
  ASSERT_EQ(control.starts.size(), 1u);
  ASSERT_TRUE(control.starts[0].second);
  EXPECT_EQ(control.starts[0].second->sourceName, kSpeakers + ".monitor");
  EXPECT_EQ(control.starts[0].second->tracks, TrackLayout::Both);
  EXPECT_EQ(control.starts[0].second->firstGainDb, 3) << "the rest as chosen";
  EXPECT_TRUE(control.starts[0].second->removeComputerSound) << "a monitor not chosen before";

  EXPECT_TRUE(ask(feeder->SourceName(), "").startsWith("ok")) << "by its server name";
  ASSERT_EQ(control.starts.size(), 2u);
  EXPECT_EQ(control.starts[1].second->sourceName, feeder->SourceName());
  EXPECT_FALSE(control.starts[1].second->removeComputerSound) << "a microphone is no computer sound";
  EXPECT_EQ(control.starts[1].second->tracks, TrackLayout::Mix);

  EXPECT_TRUE(ask("", "").startsWith("ok"));
  ASSERT_EQ(control.starts.size(), 3u);
  EXPECT_EQ(control.starts[2].second, std::nullopt) << "nothing asked: as chosen";

  const QString refused = ask("No-Such-Device", "");
  EXPECT_TRUE(refused.startsWith("error")) << refused.toStdString();
  EXPECT_TRUE(refused.contains("No-Such-Device"));
  EXPECT_TRUE(refused.contains(QString::fromStdString(feeder->Description()))) << "the names that would work";
  EXPECT_TRUE(ask(feeder->SourceName(), "sideways").startsWith("error"));
  EXPECT_EQ(control.starts.size(), 3u) << "a refusal starts nothing";
}

}  // namespace
