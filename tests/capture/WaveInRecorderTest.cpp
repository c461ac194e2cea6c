// Tests of the capture engine on the scripted driver: formats, call order,
// the buffer ring, failure paths and what is (not) delivered around a stop.
#include "capture/WaveInRecorder.h"

#include <gtest/gtest.h>

#include <numeric>

#include "tests/capture/EventPump.h"
#include "tests/capture/FakeSourceMixer.h"
#include "tests/capture/FakeWaveInDriver.h"
#include "tests/capture/RecordedReports.h"

namespace {

class WaveInRecorderTest : public ::testing::Test {
 protected:
  WaveInRecorderTest() {
    auto fakeDriver = std::make_unique<FakeWaveInDriver>();
    driver = fakeDriver.get();
    recorder = std::make_unique<WaveInRecorder>(
        std::move(fakeDriver), std::make_unique<FakeSourceMixer>(), &reports, &reports);
    recorder->GotData = [this](std::span<int16_t> intBuffer, int32_t& lngLen) {
      deliveries.push_back({intBuffer.data(), intBuffer.size(), lngLen,
                            std::vector<int16_t>(intBuffer.begin(), intBuffer.begin() + lngLen / 2)});
      if (onData) onData();
    };
    EnsureEventLoop();
  }

  // A full buffer of recognisable samples, different for every call.
  std::vector<int16_t> Block(size_t samples = 5120) {
    std::vector<int16_t> block(samples);
    std::iota(block.begin(), block.end(), static_cast<int16_t>(next_));
    next_ += 7;
    return block;
  }

  std::vector<std::string> CallsFrom(size_t first) const {
    return {driver->calls.begin() + static_cast<long>(first), driver->calls.end()};
  }

  struct Delivery {
    int16_t* array;
    size_t elements;
    int32_t lngLen;
    std::vector<int16_t> samples;
  };

  RecordedReports reports;
  FakeWaveInDriver* driver = nullptr;
  std::unique_ptr<WaveInRecorder> recorder;
  std::vector<Delivery> deliveries;
  std::function<void()> onData;
  int next_ = 1;
};

TEST_F(WaveInRecorderTest, StartOpensTheDefaultDeviceForPcmAndQueuesTheRing) {
  EXPECT_EQ(recorder->BufferCount(), 5);
  EXPECT_EQ(recorder->BufferSize(), 10240);
  EXPECT_FALSE(recorder->IsRecording());

  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  EXPECT_TRUE(recorder->IsRecording());
  EXPECT_EQ(driver->openedSource, "");  // no device selected: the default input
  EXPECT_EQ(driver->openedFormat.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(driver->openedFormat.nChannels, 2);
  EXPECT_EQ(driver->openedFormat.wBitsPerSample, 16);
  EXPECT_EQ(driver->openedFormat.nBlockAlign, 4);
  EXPECT_EQ(driver->openedFormat.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(driver->calls,
            (std::vector<std::string>{"open", "prepare 0", "prepare 1", "prepare 2", "prepare 3",
                                      "prepare 4", "start", "add 0", "add 1", "add 2", "add 3",
                                      "add 4"}));
  EXPECT_FALSE(recorder->StartRecord(44100, 2));  // no second start over a running one
  ASSERT_TRUE(recorder->StopRecord());

  ASSERT_TRUE(recorder->StartRecord(8000, 1));
  EXPECT_EQ(driver->openedFormat.nBlockAlign, 2);
  EXPECT_EQ(driver->openedFormat.nAvgBytesPerSec, 16000u);
  EXPECT_TRUE(reports.boxes.empty());
}

TEST_F(WaveInRecorderTest, BuffersCycleInFillOrderWithTheirWholeArrays) {
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  std::vector<std::vector<int16_t>> fed;
  for (int i = 0; i < 12; ++i) {
    fed.push_back(Block());
    ASSERT_TRUE(driver->FillNext(fed.back()));
    // The handler returned before the next fill, so the ring never runs dry.
    ASSERT_TRUE(PumpUntil([&] { return deliveries.size() == static_cast<size_t>(i + 1); }));
  }
  for (size_t i = 0; i < deliveries.size(); ++i) {
    EXPECT_EQ(deliveries[i].elements, 5120u);
    EXPECT_EQ(deliveries[i].lngLen, 10240);
    EXPECT_EQ(deliveries[i].samples, fed[i]);
    // Buffer numbers 0,1,2,3,4,0,...: the array of delivery i is that of i % 5.
    EXPECT_EQ(deliveries[i].array, deliveries[i % 5].array);
    if (i > 0 && i < 5) EXPECT_NE(deliveries[i].array, deliveries[i - 1].array);
  }
  EXPECT_EQ(driver->QueuedCount(), 5u);
}

TEST_F(WaveInRecorderTest, PartlyFilledBufferReportsItsByteCount) {
  ASSERT_TRUE(recorder->StartRecord(8000, 1));
  ASSERT_TRUE(driver->FillNext(Block(1000)));
  ASSERT_TRUE(PumpUntil([&] { return deliveries.size() == 1; }));
  EXPECT_EQ(deliveries[0].lngLen, 2000);
  EXPECT_EQ(deliveries[0].elements, 5120u);
}

TEST_F(WaveInRecorderTest, FailuresUndoTheStartInOrder) {
  struct Case {
    std::string failing;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {"open", {"open"}},
      {"prepare 3",
       {"open", "prepare 0", "prepare 1", "prepare 2", "prepare 3", "unprepare 2", "unprepare 1",
        "unprepare 0", "close"}},
      {"start",
       {"open", "prepare 0", "prepare 1", "prepare 2", "prepare 3", "prepare 4", "start",
        "unprepare 4", "unprepare 3", "unprepare 2", "unprepare 1", "unprepare 0", "close"}},
  };
  for (const Case& c : cases) {
    auto fakeDriver = std::make_unique<FakeWaveInDriver>();
    FakeWaveInDriver& fake = *fakeDriver;
    fake.FailOn(c.failing);
    WaveInRecorder failing(std::move(fakeDriver), std::make_unique<FakeSourceMixer>(), &reports,
                           &reports);
    EXPECT_FALSE(failing.StartRecord(44100, 2)) << c.failing;
    EXPECT_FALSE(failing.IsRecording());
    EXPECT_EQ(fake.calls, c.calls) << c.failing;
    // The callback window is unhooked and gone: a late post reaches nobody.
    if (fake.window != 0) EXPECT_FALSE(CallbackWindow::PostMessage(fake.window, MM_WIM_DATA, 0, 0));
    // Stopping afterwards touches no device.
    EXPECT_TRUE(failing.StopRecord());
    EXPECT_EQ(fake.calls.size(), c.calls.size());
  }
  EXPECT_TRUE(reports.boxes.empty());
}

TEST_F(WaveInRecorderTest, NothingIsDeliveredOnceStopHasBegun) {
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(driver->FillNext(Block()));  // posted, not yet dispatched
  const size_t before = driver->calls.size();
  ASSERT_TRUE(recorder->StopRecord());
  EXPECT_FALSE(recorder->IsRecording());
  EXPECT_EQ(CallsFrom(before),
            (std::vector<std::string>{"stop", "reset", "unprepare 0", "unprepare 1", "unprepare 2",
                                      "unprepare 3", "unprepare 4", "close"}));
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_TRUE(deliveries.empty());
}

TEST_F(WaveInRecorderTest, StopWhileIdleChangesNothing) {
  EXPECT_TRUE(recorder->StopRecord());
  EXPECT_TRUE(driver->calls.empty());
  EXPECT_FALSE(recorder->IsRecording());
  EXPECT_TRUE(reports.boxes.empty());
}

TEST_F(WaveInRecorderTest, StopInsideGotDataEndsDeliveryAndDoesNotRequeue) {
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  onData = [this] { recorder->StopRecord(); };
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(PumpUntil([&] { return !deliveries.empty(); }));
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(deliveries.size(), 1u);
  EXPECT_FALSE(recorder->IsRecording());
  EXPECT_EQ(driver->calls.back(), "close");  // no "add" after the stop
  EXPECT_TRUE(reports.boxes.empty());

  // The engine starts cleanly again afterwards.
  onData = nullptr;
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  ASSERT_TRUE(driver->FillNext(Block()));
  EXPECT_TRUE(PumpUntil([&] { return deliveries.size() == 2; }));
}

TEST_F(WaveInRecorderTest, DeviceLossIsReportedAfterTheBuffersBeforeIt) {
  std::vector<std::string> events;
  recorder->DeviceLost = [&](const std::string& reason) { events.push_back("lost: " + reason); };
  onData = [&] { events.push_back("data"); };
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  ASSERT_TRUE(driver->FillNext(Block()));
  driver->LoseDevice("Connection terminated");
  ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; }));
  EXPECT_EQ(events, (std::vector<std::string>{"data", "lost: Connection terminated"}));
  EXPECT_TRUE(recorder->IsRecording());  // the owner stops it
  EXPECT_TRUE(recorder->StopRecord());
}

TEST_F(WaveInRecorderTest, LostInputCountComesFromTheDriver) {
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  EXPECT_EQ(recorder->LostInputCount(), 0);
  driver->overflows = 3;
  EXPECT_EQ(recorder->LostInputCount(), 3);
}

TEST_F(WaveInRecorderTest, UnusableBufferSettingsRefuseToStart) {
  recorder->BufferSize(10241);  // the sample array could not hold the last byte
  EXPECT_FALSE(recorder->StartRecord(44100, 2));
  recorder->BufferSize(10240);
  recorder->BufferCount(0);
  EXPECT_FALSE(recorder->StartRecord(44100, 2));
  EXPECT_TRUE(driver->calls.empty());
  recorder->BufferCount(3);
  recorder->BufferSize(4096);
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  ASSERT_TRUE(driver->FillNext(Block(2048)));
  ASSERT_TRUE(PumpUntil([&] { return deliveries.size() == 1; }));
  EXPECT_EQ(deliveries[0].elements, 2048u);
  EXPECT_EQ(driver->QueuedCount(), 3u);
}

}  // namespace
