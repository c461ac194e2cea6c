// Tests of the audio server driver on its own, below the engine: filled
// buffers reach the callback window on the thread that opened the driver, in
// the order they were queued, input waits for a busy window, and a vanished
// source is reported after its data.
#include "capture/PulseWaveInDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "capture/compat/CallbackWindow.h"
#include "capture/PulseConnection.h"
#include "tests/capture/EventPump.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

constexpr int32_t kRate = 8000;  // mono: 16000 bytes per second
constexpr uint32_t kBufferBytes = 1600;
constexpr size_t kBufferCount = 3;

constexpr uint32_t kBytesPerSecond = kRate * 2;

WAVEFORMATEX MonoFormat() {
  WAVEFORMATEX format;
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = kRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 2;
  format.nAvgBytesPerSec = kBytesPerSecond;
  format.cbSize = 0;
  return format;
}

struct Delivery {
  std::thread::id thread;
  uintptr_t index;  // dwUser
  uint32_t bytes;
  uint32_t flags;
};

// A driver on a fed pipe source of its own whose buffers go to a window that
// records each delivery, keeps the samples and queues the buffer again.
class PulseDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsurePulseServer());
    EnsureEventLoop();
    feeder_ = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("tamblin_drv"),
                                                 kRate, 1, "Pipe-Driver");
    ASSERT_TRUE(feeder_->Loaded());
    window_ = CallbackWindow::Create("TEST");
    window_->SetWindowProc([this](WindowHandle, uint32_t uMsg, uintptr_t, intptr_t lParam) {
      if (uMsg == MM_WIM_DATA) Received(reinterpret_cast<WAVEHDR*>(lParam));
      if (uMsg == WIM_DEVICE_LOST && lostCount_++ == 0) {
        lostAt_ = static_cast<int>(deliveries_.size());
      }
      return intptr_t{0};
    });
    ASSERT_EQ(driver_.Open(feeder_->SourceName(), MonoFormat(), window_->Handle()), MMSYSERR_NOERROR);
    for (size_t i = 0; i < kBufferCount; ++i) {
      data_[i].assign(kBufferBytes, 0);
      headers_[i].lpData = data_[i].data();
      headers_[i].dwBufferLength = kBufferBytes;
      headers_[i].dwUser = i;
      ASSERT_EQ(driver_.Prepare(&headers_[i]), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(driver_.Start(), MMSYSERR_NOERROR);
    for (WAVEHDR& header : headers_) ASSERT_EQ(driver_.AddBuffer(&header), MMSYSERR_NOERROR);
  }

  void TearDown() override {
    driver_.Reset();
    for (WAVEHDR& header : headers_) driver_.Unprepare(&header);
    driver_.Close();
  }

  void Received(WAVEHDR* header) {
    deliveries_.push_back({std::this_thread::get_id(), header->dwUser, header->dwBytesRecorded,
                           header->dwFlags});
    const auto* samples = reinterpret_cast<const int16_t*>(header->lpData);
    samples_.insert(samples_.end(), samples, samples + header->dwBytesRecorded / 2);
    driver_.AddBuffer(header);
  }

  // The delivered samples from the first non-silent one on.
  std::vector<int16_t> Signal() const {
    const auto first =
        std::find_if(samples_.begin(), samples_.end(), [](int16_t s) { return s != 0; });
    return {first, samples_.end()};
  }

  static std::vector<int16_t> Ramp(size_t count) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(1 + i % 30000);
    return samples;
  }

  std::unique_ptr<PipeSourceFeeder> feeder_;
  std::shared_ptr<CallbackWindow> window_;
  PulseWaveInDriver driver_{std::make_shared<PulseConnection>("Tamblin driver test")};
  std::vector<char> data_[kBufferCount];
  WAVEHDR headers_[kBufferCount];
  std::vector<Delivery> deliveries_;
  std::vector<int16_t> samples_;
  int lostCount_ = 0;
  int lostAt_ = -1;  // deliveries before the loss was reported
};

TEST_F(PulseDriverTest, FullBuffersComeBackOnTheOpeningThreadInQueueOrder) {
  // 3 s at 4x real time: 30 buffers, more than a main loop wake-up ever fills.
  feeder_->Feed(Ramp(kRate * 3), 4.0);
  ASSERT_TRUE(PumpUntil([&] { return deliveries_.size() >= 20; }));
  for (size_t i = 0; i < deliveries_.size(); ++i) {
    SCOPED_TRACE("delivery " + std::to_string(i));
    EXPECT_EQ(deliveries_[i].thread, std::this_thread::get_id());
    EXPECT_EQ(deliveries_[i].index, i % kBufferCount);
    EXPECT_EQ(deliveries_[i].bytes, kBufferBytes);
    EXPECT_EQ(deliveries_[i].flags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  }
  EXPECT_EQ(driver_.OverflowCount(), 0);
}

// A vanished source is reported once, after the last buffer; the data
// received before it comes back first and nothing follows.
TEST_F(PulseDriverTest, LostSourceIsReportedOnceAfterTheLastBuffer) {
  feeder_->FeedContinuously();
  ASSERT_TRUE(PumpUntil([&] { return deliveries_.size() >= 2; }));
  feeder_.reset();  // unloads the source under the running stream
  ASSERT_TRUE(PumpUntil([&] { return lostAt_ >= 0; }));
  PumpFor(std::chrono::milliseconds(300));
  EXPECT_EQ(lostCount_, 1);
  EXPECT_EQ(lostAt_, static_cast<int>(deliveries_.size()));
  EXPECT_FALSE(driver_.LostReason().empty());
  EXPECT_NE(driver_.Start(), MMSYSERR_NOERROR);
}

// A window that takes its time loses nothing while the reserve has room: the
// main loop thread goes on storing input and buffers are filled afterwards.
TEST_F(PulseDriverTest, BusyWindowLosesNothing) {
  const std::vector<int16_t> fed = Ramp(kRate * 2);
  feeder_->Feed(fed, 2.0);
  ASSERT_TRUE(PumpUntil([&] { return !deliveries_.empty(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the UI thread is busy
  feeder_->Feed(std::vector<int16_t>(kRate, 0));  // silence fills the last buffer
  ASSERT_TRUE(PumpUntil([&] { return Signal().size() >= fed.size(); }));
  const std::vector<int16_t> got = Signal();
  EXPECT_TRUE(std::equal(fed.begin(), fed.end(), got.begin()));
  EXPECT_EQ(driver_.OverflowCount(), 0);
}

// The pace changes on the running stream, as when a window is hidden and shown
// again: every fed sample arrives once, in order, across both changes.
TEST_F(PulseDriverTest, PaceChangesOnTheRunningStreamKeepEverySample) {
  // Its pipe source puts silence wherever its pipe runs dry for a moment, so
  // the fed ramp does not come back unbroken there.
  if (ServerIsPipeWire()) GTEST_SKIP() << "PipeWire pads an empty pipe with silence";
  const int64_t before = driver_.ReceivedBytes();
  const std::vector<int16_t> fed = Ramp(kRate * 4 + 123);
  feeder_->Feed(fed, 2.0);
  ASSERT_TRUE(PumpUntil([&] { return Signal().size() >= kRate; }));
  driver_.FragmentsPerSecond(4);
  ASSERT_TRUE(PumpUntil([&] { return Signal().size() >= kRate * 2; }));
  driver_.FragmentsPerSecond(0);  // the default again
  ASSERT_TRUE(PumpUntil([&] { return driver_.ReceivedBytes() >= before + static_cast<int64_t>(fed.size() * 2); }));
  driver_.Flush();  // the last, partly filled buffer
  ASSERT_TRUE(PumpUntil([&] { return Signal().size() >= fed.size(); }));
  const std::vector<int16_t> got = Signal();
  EXPECT_TRUE(std::equal(fed.begin(), fed.end(), got.begin()));
  EXPECT_EQ(driver_.OverflowCount(), 0);
}

// A source that lets its listeners set the latency (a sound card's, here an
// output's monitor) grants each new pace on the running stream.
TEST(PulseDriverPaceTest, TheGrantedFragmentFollowsThePace) {
  ASSERT_TRUE(EnsurePulseServer());
  EnsureEventLoop();
  const std::shared_ptr<CallbackWindow> window = CallbackWindow::Create("TEST");
  PulseWaveInDriver driver(std::make_shared<PulseConnection>("Tamblin driver test"));
  ASSERT_EQ(driver.Open("tamblin_null.monitor", MonoFormat(), window->Handle()), MMSYSERR_NOERROR);
  ASSERT_EQ(driver.Start(), MMSYSERR_NOERROR);
  EXPECT_EQ(driver.GrantedFragmentBytes(), kBytesPerSecond / PulseWaveInDriver::kFragmentsPerSecond);
  driver.FragmentsPerSecond(4);
  EXPECT_EQ(driver.GrantedFragmentBytes(), kBytesPerSecond / 4);
  driver.FragmentsPerSecond(0);
  EXPECT_EQ(driver.GrantedFragmentBytes(), kBytesPerSecond / PulseWaveInDriver::kFragmentsPerSecond);
  driver.Reset();
  driver.Close();
  EXPECT_EQ(driver.GrantedFragmentBytes(), 0u);
}

}  // namespace
