// The window's remembered choices across restarts: chosen through its own
// controls, read back by a new window in the same program folder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <unistd.h>

#include "Form1Fixture.h"
#include "app/recording/RecordingController.h"
#include "app/recording/RecordingEngine.h"
#include "app/windows/Form1.h"
#include "app/handsfree/ScheduleKeeper.h"
#include "encoding/EncoderSelection.h"
#include "encoding/EncoderWAV.h"
#include "encoding/FormatCatalogue.h"
#include "encoding/MuxedEncoder.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

class Form1SettingsTest : public Form1Fixture {
 protected:
  void SetUp() override { ASSERT_TRUE(EnsurePulseServer()); }
};

TEST_F(Form1SettingsTest, ARestartKeepsEveryChoiceAndNamesARememberedDeviceThatIsGone) {
  auto feeder = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("settings"), 22050, 1,
                                                   "Settings-Pipe-" + std::to_string(getpid()));
  ASSERT_TRUE(feeder->Loaded());
  const QString device = QString::fromStdString(feeder->Description());
  Restart();
  Choose("cboDev", Find<QComboBox>("cboDev")->findText(device));
  Choose("cboRecLine", 0);
  QTest::mouseClick(Find<QCheckBox>("chkStereo"), Qt::LeftButton);  // the chooser is cancelled
  const FormatEntry adpcm = FormatCatalogue::List(22050, 1).at(1);
  chooser.answer = adpcm;
  Choose("cboSamplerate", Find<QComboBox>("cboSamplerate")->findText("22050"));
  ASSERT_EQ(form->Encoder().FormatID(), adpcm.FormatID);
  Choose("cboFileType", EncoderSelection::TYPE_FLAC);
  settings.answer = 8;
  QTest::mouseClick(Find<QPushButton>("cmdSelFmt"), Qt::LeftButton);
  form->Effects().EchoLength(250);
  form->Effects().EqualizerBandGainDB(6, -7.5f);
  form->Effects().PhaseShiftFrequency(42);
  QTest::mouseClick(Find<QCheckBox>("chkFX1"), Qt::LeftButton);
  HandsFreeSettings handsFree;
  handsFree.sound = {.enabled = true, .thresholdDbfs = -31.5, .holdMs = 250, .preRollSeconds = 4,
                     .hangSeconds = 12, .afterSilence = SoundActivation::AfterSilence::NewFile};
  handsFree.splitMinutes = 15;
  form->Schedule().Apply({}, handsFree);
  Find<QSpinBox>("spnPreRecord")->setValue(7);
  QTest::mouseClick(Find<QCheckBox>("chkMonitor"), Qt::LeftButton);
  const EffectSettings effects = form->Effects().Settings();
  ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].text;

  Restart();
  EXPECT_EQ(Find<QComboBox>("cboDev")->currentText(), device);
  EXPECT_EQ(Find<QComboBox>("cboRecLine")->currentIndex(), 0);
  EXPECT_EQ(Find<QComboBox>("cboSamplerate")->currentText(), "22050");
  EXPECT_FALSE(Find<QCheckBox>("chkStereo")->isChecked());
  EXPECT_EQ(Find<QComboBox>("cboFileType")->currentIndex(), EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(form->Encoders().Type(), EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(form->Encoders().Compressed()->ChosenSetting(), 8);
  EXPECT_EQ(form->Encoders().Compressed(EncoderSelection::TYPE_MP3)->ChosenSetting(), std::nullopt)
      << "a type whose setting was never chosen keeps its default";
  EXPECT_EQ(form->Encoder().FormatTag(), adpcm.FormatTag);
  EXPECT_EQ(form->Encoder().FormatID(), adpcm.FormatID);
  const EffectSettings restored = form->Effects().Settings();
  EXPECT_EQ(restored.effectsUsed, FX_PHASESHIFT);
  EXPECT_TRUE(Find<QCheckBox>("chkFX1")->isChecked());
  EXPECT_EQ(restored.echoLength, effects.echoLength);
  EXPECT_EQ(restored.bandGainsDB, effects.bandGainsDB);
  EXPECT_EQ(restored.phaseShiftFrequency, effects.phaseShiftFrequency);
  EXPECT_EQ(form->Schedule().HandsFree(), handsFree);
  EXPECT_FALSE(Find<QCheckBox>("chkMonitor")->isChecked());
  EXPECT_EQ(Find<QSpinBox>("spnPreRecord")->value(), 7);
  EXPECT_EQ(form->Engine().State(), RecorderState::Idle) << "not monitored";
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;

  // The first start with the remembered device present just records.
  QTest::mouseClick(Find<QPushButton>("cmdDo"), Qt::LeftButton);
  form->Engine().WaitUntilHandled();
  EXPECT_TRUE(form->Controller().IsRecording()) << (messages.shown.empty() ? "" : messages.shown[0].text);
  QTest::mouseClick(Find<QPushButton>("cmdDo"), Qt::LeftButton);
  form->Engine().WaitUntilHandled();

  feeder.reset();  // the device goes away
  Restart();
  EXPECT_EQ(Find<QComboBox>("cboDev")->currentIndex(), -1);
  auto* notice = Find<QLabel>("sbarNotice");
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_TRUE(notice->text().contains(device)) << notice->text().toStdString();
  EXPECT_TRUE(messages.shown.empty()) << "no box at start-up";
  EXPECT_EQ(Find<QComboBox>("cboSamplerate")->currentText(), "22050") << "the rest is still remembered";
}

TEST_F(Form1SettingsTest, ADamagedSettingsFileGivesTheDefaultsAndANoticeInTheStatusBar) {
  WriteAll(folder.Path() + "/tamblin.ini", "[Tamblin]\nrate=8000\nstereo=0\n");  // cut before its end
  Restart();
  EXPECT_EQ(Find<QComboBox>("cboSamplerate")->currentText(), "44100");
  EXPECT_TRUE(Find<QCheckBox>("chkStereo")->isChecked());
  auto* notice = Find<QLabel>("sbarNotice");
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_TRUE(messages.shown.empty()) << "no box at start-up";
}

}  // namespace
