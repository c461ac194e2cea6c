// Tests of the capture engine on the scripted driver: formats, call order,
// the buffer ring, failure paths and what is (not) delivered around a stop.
#include "capture/WaveInRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "tests/capture/EventPump.h"
#include "tests/capture/FakeSourceMixer.h"
#include "tests/capture/FakeWaveInDriver.h"
#include "tests/support/CaptureHandlers.h"
#include "tests/capture/RecordedReports.h"

namespace {

class WaveInRecorderTest : public ::testing::Test {
 protected:
  WaveInRecorderTest() {
    auto fakeDriver = std::make_unique<FakeWaveInDriver>();
    driver = fakeDriver.get();
    recorder = std::make_unique<WaveInRecorder>(
        std::move(fakeDriver), std::make_unique<FakeSourceMixer>(), &reports, &reports);
    recorder->Sink(&handlers);
    handlers.gotData = [this](std::span<int16_t> intBuffer, int32_t& lngLen) {
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
  CaptureHandlers handlers;
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
    EXPECT_FALSE(failing.StartFailure().empty()) << c.failing;
    EXPECT_EQ(fake.calls, c.calls) << c.failing;
    // The callback window is unhooked and gone: a late post reaches nobody.
    if (fake.window != 0) EXPECT_FALSE(CallbackWindow::PostMessage(fake.window, MM_WIM_DATA, 0, 0));
    // Stopping afterwards touches no device.
    EXPECT_TRUE(failing.StopRecord());
    EXPECT_EQ(fake.calls.size(), c.calls.size());
  }
  EXPECT_TRUE(reports.boxes.empty());
}

// The end of a recording is not lost: buffers handed back but not yet
// dispatched and the partly filled one go out before the device closes, while
// the engine still counts as recording; nothing comes after.
TEST_F(WaveInRecorderTest, StopDeliversTheRestBeforeClosing) {
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  std::vector<bool> recordingAtDelivery;
  onData = [&] { recordingAtDelivery.push_back(recorder->IsRecording()); };
  const std::vector<int16_t> first = Block(), second = Block(), last = Block(333);
  ASSERT_TRUE(driver->FillNext(first));
  ASSERT_TRUE(driver->FillNext(second));  // posted, not yet dispatched
  ASSERT_TRUE(driver->FillPartly(last));
  const size_t before = driver->calls.size();
  ASSERT_TRUE(recorder->StopRecord());
  EXPECT_FALSE(recorder->IsRecording());
  ASSERT_EQ(deliveries.size(), 3u);
  EXPECT_EQ(deliveries[0].samples, first);
  EXPECT_EQ(deliveries[1].samples, second);
  EXPECT_EQ(deliveries[2].samples, last);
  EXPECT_EQ(deliveries[2].lngLen, 666);
  EXPECT_EQ(recordingAtDelivery, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(CallsFrom(before).back(), "close");
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(deliveries.size(), 3u) << "a posted buffer came again after the stop";
}

// A pause's cut: what was handed back and the partly filled buffer go out
// before DeliverReceived returns, the device keeps running, and what it
// records next comes in the following buffers. A stop from inside ends it.
TEST_F(WaveInRecorderTest, DeliverReceivedHandsOutEverythingSoFarAndRecordingGoesOn) {
  recorder->DeliverReceived();
  EXPECT_TRUE(driver->calls.empty()) << "idle: no device is touched";
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  const std::vector<int16_t> first = Block(), part = Block(100), next = Block();
  ASSERT_TRUE(driver->FillNext(first));  // posted, not yet dispatched
  ASSERT_TRUE(driver->FillPartly(part));
  EXPECT_EQ(recorder->ReceivedBytes(), 10240 + 200);
  const size_t before = driver->calls.size();
  recorder->DeliverReceived();
  ASSERT_EQ(deliveries.size(), 2u);
  EXPECT_EQ(deliveries[0].samples, first);
  EXPECT_EQ(deliveries[1].samples, part);
  EXPECT_EQ(CallsFrom(before), (std::vector<std::string>{"flush", "add 0", "add 1"}));
  EXPECT_TRUE(recorder->IsRecording());
  EXPECT_EQ(driver->QueuedCount(), 5u);
  ASSERT_TRUE(driver->FillNext(next));
  ASSERT_TRUE(PumpUntil([&] { return deliveries.size() == 3; }));
  EXPECT_EQ(deliveries[2].samples, next);
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(deliveries.size(), 3u) << "a buffer delivered by the cut came again";

  onData = [&] { recorder->StopRecord(); };
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(driver->FillPartly(Block(10)));
  recorder->DeliverReceived();
  EXPECT_FALSE(recorder->IsRecording());
  EXPECT_EQ(driver->calls.back(), "close");
  EXPECT_EQ(deliveries.size(), 5u) << "the stop inside delivered the rest once";
}

// A pace chosen while idle goes with the next start; one chosen while
// recording reaches the open device at once.
TEST_F(WaveInRecorderTest, ThePaceReachesTheDeviceAtTheStartAndWhileRecording) {
  recorder->FragmentsPerSecond(4);
  EXPECT_TRUE(driver->paces.empty()) << "idle: no device is touched";
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  recorder->FragmentsPerSecond(0);
  recorder->FragmentsPerSecond(4);
  EXPECT_EQ(driver->paces, (std::vector<uint32_t>{4, 0, 4}));
  recorder->StopRecord();
}

TEST_F(WaveInRecorderTest, StopWhileIdleChangesNothing) {
  EXPECT_TRUE(recorder->StopRecord());
  EXPECT_TRUE(driver->calls.empty());
  EXPECT_FALSE(recorder->IsRecording());
  EXPECT_TRUE(reports.boxes.empty());
}

// A handler that stops inside GotData gets the rest first; stopping again
// inside those last deliveries ends them without queueing any buffer again.
TEST_F(WaveInRecorderTest, StopInsideGotDataDeliversTheRestOnceAndDoesNotRequeue) {
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  int stops = 0;
  onData = [&] {
    ++stops;
    recorder->StopRecord();
  };
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(PumpUntil([&] { return !recorder->IsRecording(); }));
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(deliveries.size(), 2u);  // the second handler's stop ended the rest
  EXPECT_EQ(stops, 2);
  EXPECT_EQ(driver->calls.back(), "close");
  EXPECT_EQ(std::count(driver->calls.begin(), driver->calls.end(), "close"), 1);
  EXPECT_EQ(std::count_if(driver->calls.begin(), driver->calls.end(),
                          [](const std::string& call) { return call.rfind("add", 0) == 0; }),
            5);  // the first five only
  EXPECT_TRUE(reports.boxes.empty());

  // The engine starts cleanly again afterwards.
  onData = nullptr;
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  ASSERT_TRUE(driver->FillNext(Block()));
  EXPECT_TRUE(PumpUntil([&] { return deliveries.size() == 3; }));
}

TEST_F(WaveInRecorderTest, DeviceLossIsReportedAfterTheBuffersBeforeIt) {
  std::vector<std::string> events;
  handlers.deviceLost = [&](const std::string& reason) { events.push_back("lost: " + reason); };
  onData = [&] { events.push_back("data"); };
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  ASSERT_TRUE(driver->FillNext(Block()));
  driver->LoseDevice("Connection terminated");
  ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; }));
  EXPECT_EQ(events, (std::vector<std::string>{"data", "lost: Connection terminated"}));
  EXPECT_TRUE(recorder->IsRecording());  // the owner stops it
  EXPECT_TRUE(recorder->StopRecord());
}

// The cause of a failed start is kept: the driver's own words where it has
// them, else what its result code means; a good start clears it.
TEST_F(WaveInRecorderTest, FailedStartKeepsTheDriversCause) {
  driver->FailOn("open");
  driver->lastError = "No such entity";
  EXPECT_FALSE(recorder->StartRecord(44100, 2));
  EXPECT_EQ(recorder->StartFailure(), "No such entity");
  driver->lastError.clear();
  EXPECT_FALSE(recorder->StartRecord(44100, 2));
  EXPECT_EQ(recorder->StartFailure(), "录音设备不存在");  // MMSYSERR_BADDEVICEID

  auto fakeDriver = std::make_unique<FakeWaveInDriver>();
  fakeDriver->lastError = "Access denied";
  fakeDriver->FailOn("start");
  WaveInRecorder failing(std::move(fakeDriver), std::make_unique<FakeSourceMixer>(), &reports, &reports);
  EXPECT_FALSE(failing.StartRecord(44100, 2));
  EXPECT_EQ(failing.StartFailure(), "Access denied");

  WaveInRecorder working(std::make_unique<FakeWaveInDriver>(), std::make_unique<FakeSourceMixer>(), &reports,
                         &reports);
  working.BufferCount(0);
  EXPECT_FALSE(working.StartRecord(44100, 2));
  EXPECT_FALSE(working.StartFailure().empty());
  working.BufferCount(5);
  EXPECT_TRUE(working.StartRecord(44100, 2));
  EXPECT_TRUE(working.StartFailure().empty());
  EXPECT_FALSE(working.StartRecord(44100, 2));
  EXPECT_FALSE(working.StartFailure().empty());
}

// Buffers never hold more than one second of input (what the encoder takes at
// once); where BufferSize is one second or less it is kept.
TEST_F(WaveInRecorderTest, BuffersHoldAtMostOneSecond) {
  const struct {
    int32_t rate;
    int16_t channels;
    size_t elements;
  } cases[] = {{44100, 2, 5120}, {8000, 1, 5120}, {5120, 1, 5120}, {5119, 1, 5119},
               {2000, 2, 4000},  {1000, 1, 1000}, {1, 1, 1},       {1, 2, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels");
    deliveries.clear();
    ASSERT_TRUE(recorder->StartRecord(c.rate, c.channels));
    ASSERT_TRUE(driver->FillNext(Block()));
    ASSERT_TRUE(PumpUntil([&] { return deliveries.size() == 1; }));
    EXPECT_EQ(deliveries[0].elements, c.elements);
    EXPECT_EQ(deliveries[0].lngLen, static_cast<int32_t>(c.elements * 2));
    recorder->StopRecord();
  }
}

// The count comes from the driver; the sink hears of a loss once, before the
// block that follows it.
TEST_F(WaveInRecorderTest, LostInputIsCountedAndToldBeforeTheNextBlock) {
  std::vector<std::string> events;
  handlers.inputLost = [&](InputLoss cause) { events.push_back(cause == InputLoss::QueueFull ? "queue" : "server"); };
  onData = [&] { events.push_back("block"); };
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  EXPECT_EQ(recorder->LostInputCount(), 0);
  driver->overflows = 3;
  EXPECT_EQ(recorder->LostInputCount(), 3);
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(driver->FillNext(Block()));
  ASSERT_TRUE(PumpUntil([&] { return deliveries.size() == 2; }));
  EXPECT_EQ(events, (std::vector<std::string>{"server", "block", "block"}));
}

// A cut marked from another thread holds when the recording thread gets to it:
// the partly filled buffer ends at the mark.
TEST_F(WaveInRecorderTest, MarkedCutIsDeliveredExactlyLater) {
  EXPECT_EQ(recorder->MarkReceived(), 0) << "nothing to mark while idle";
  ASSERT_TRUE(recorder->StartRecord(44100, 2));
  ASSERT_TRUE(driver->FillPartly(Block(1000)));
  const int64_t mark = recorder->MarkReceived();
  EXPECT_EQ(mark, 2000);
  EXPECT_TRUE(deliveries.empty()) << "marking delivers nothing by itself";
  recorder->DeliverReceived(mark);
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].lngLen, 2000);
  EXPECT_EQ(recorder->DeliveredBytes(), 2000);
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
