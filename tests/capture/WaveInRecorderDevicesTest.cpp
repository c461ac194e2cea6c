// Tests of the device and line members on in-memory sources: selection bounds,
// ports as lines, a port-less source as its own line, and the record level.
#include <gtest/gtest.h>

#include "capture/WaveInRecorder.h"
#include "tests/capture/FakeSourceMixer.h"
#include "tests/capture/FakeWaveInDriver.h"

namespace {

class WaveInRecorderDevicesTest : public ::testing::Test {
 protected:
  WaveInRecorderDevicesTest() {
    auto fakeMixer = std::make_unique<FakeSourceMixer>();
    mixer = fakeMixer.get();
    mixer->sources = {
        {"alsa_input.card", "Built-in Audio", MIXERLINE_COMPONENTTYPE_SRC_UNDEFINED,
         {{"analog-input-mic", "Microphone", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
          {"analog-input-linein", "Line In", MIXERLINE_COMPONENTTYPE_SRC_LINE},
          {"analog-input-front", "Front Microphone", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE},
          {"analog-input-rear", "Rear Microphone", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE}},
         1,
         {30000, 30000}},
        {"null.monitor", "Monitor of Null Output", MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, {}, -1,
         {65536, 65536}},
    };
    auto fakeDriver = std::make_unique<FakeWaveInDriver>();
    driver = fakeDriver.get();
    recorder = std::make_unique<WaveInRecorder>(std::move(fakeDriver), std::move(fakeMixer));
  }

  FakeSourceMixer* mixer = nullptr;
  FakeWaveInDriver* driver = nullptr;
  std::unique_ptr<WaveInRecorder> recorder;
};

TEST_F(WaveInRecorderDevicesTest, NothingSelectedGivesEmptyLines) {
  EXPECT_EQ(recorder->SelectedDevice(), -1);
  EXPECT_EQ(recorder->MixerLineCount(), 0);
  EXPECT_EQ(recorder->MixerLineName(0), "");
  EXPECT_FALSE(recorder->SelectMixerLine(0));
  EXPECT_EQ(recorder->SelectedMixerLine(), -1);
  EXPECT_EQ(recorder->MixerLineType(-1), 0);
  EXPECT_EQ(recorder->MixerLineVolume(), 0);
  recorder->MixerLineVolume(1000);  // no device: nothing is written
  EXPECT_EQ(mixer->sources[0].volume[0], 30000u);
}

TEST_F(WaveInRecorderDevicesTest, DevicesAreListedAndSelectedByPosition) {
  ASSERT_EQ(recorder->DeviceCount(), 2);
  EXPECT_EQ(recorder->DeviceName(0), "Built-in Audio");
  EXPECT_EQ(recorder->DeviceName(1), "Monitor of Null Output");
  EXPECT_EQ(recorder->DeviceName(2), "");
  EXPECT_EQ(recorder->DeviceName(-1), "");

  ASSERT_TRUE(recorder->SelectDevice(1));
  EXPECT_EQ(recorder->SelectedDevice(), 1);
  // Out of range: false, previous selection kept.
  EXPECT_FALSE(recorder->SelectDevice(-1));
  EXPECT_FALSE(recorder->SelectDevice(2));
  EXPECT_EQ(recorder->SelectedDevice(), 1);

  // The selected device is the one the next recording opens.
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  EXPECT_EQ(driver->openedSource, "null.monitor");
  recorder->StopRecord();
}

TEST_F(WaveInRecorderDevicesTest, AVanishedDeviceCannotBeSelected) {
  ASSERT_EQ(recorder->DeviceCount(), 2);
  ASSERT_TRUE(recorder->SelectDevice(0));
  mixer->sources.erase(mixer->sources.begin());
  // Ids still refer to the list as enumerated; the source behind id 0 is gone.
  EXPECT_FALSE(recorder->SelectDevice(0));
  EXPECT_EQ(recorder->SelectedDevice(), -1);
  EXPECT_TRUE(recorder->SelectDevice(1));
}

TEST_F(WaveInRecorderDevicesTest, PortsAreTheLinesAndTheActivePortIsTheSelection) {
  ASSERT_EQ(recorder->DeviceCount(), 2);
  ASSERT_TRUE(recorder->SelectDevice(0));
  ASSERT_EQ(recorder->MixerLineCount(), 4);
  EXPECT_EQ(recorder->MixerLineName(0), "Microphone");
  EXPECT_EQ(recorder->MixerLineName(3), "Rear Microphone");
  EXPECT_EQ(recorder->MixerLineName(4), "");
  EXPECT_EQ(recorder->SelectedMixerLine(), 1);
  EXPECT_EQ(recorder->MixerLineType(-1), MIXERLINE_COMPONENTTYPE_SRC_LINE);

  ASSERT_TRUE(recorder->SelectMixerLine(0));
  EXPECT_EQ(mixer->sources[0].activePort, 0);
  EXPECT_EQ(recorder->SelectedMixerLine(), 0);
  EXPECT_EQ(recorder->MixerLineType(-1), recorder->MixerLineType(0));
  EXPECT_EQ(recorder->MixerLineType(0), MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE);

  // Index equal to the line count or below 0: refused, selection unchanged.
  EXPECT_FALSE(recorder->SelectMixerLine(4));
  EXPECT_FALSE(recorder->SelectMixerLine(-1));
  EXPECT_EQ(recorder->SelectedMixerLine(), 0);
}

TEST_F(WaveInRecorderDevicesTest, APortlessSourceIsItsOwnSingleLine) {
  ASSERT_EQ(recorder->DeviceCount(), 2);
  ASSERT_TRUE(recorder->SelectDevice(1));
  ASSERT_EQ(recorder->MixerLineCount(), 1);
  EXPECT_EQ(recorder->MixerLineName(0), "Monitor of Null Output");
  EXPECT_EQ(recorder->MixerLineName(1), "");
  EXPECT_TRUE(recorder->SelectMixerLine(0));
  EXPECT_FALSE(recorder->SelectMixerLine(1));
  EXPECT_EQ(recorder->SelectedMixerLine(), 0);
  EXPECT_EQ(recorder->MixerLineType(-1), MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT);
}

TEST_F(WaveInRecorderDevicesTest, VolumeIsSetOnEveryChannelAndReadFromTheFirst) {
  ASSERT_EQ(recorder->DeviceCount(), 2);
  ASSERT_TRUE(recorder->SelectDevice(0));
  EXPECT_EQ(recorder->MixerLineVolume(), 30000);
  recorder->MixerLineVolume(40000);
  EXPECT_EQ(mixer->sources[0].volume, (std::vector<uint32_t>{40000, 40000}));
  EXPECT_EQ(recorder->MixerLineVolume(), 40000);
  mixer->sources[0].volume = {123, 456};
  EXPECT_EQ(recorder->MixerLineVolume(), 123);
}

}  // namespace
