// Tests of the capture engine against a real audio server: exact samples fed
// through a pipe source come back bit for bit, devices and the record level
// are those the server reports, and a vanishing server ends delivery cleanly.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "capture/PulseConnection.h"
#include "capture/PulseSourceMixer.h"
#include "capture/PulseWaveInDriver.h"
#include "capture/WaveInRecorder.h"
#include "encoding/EncoderWAV.h"
#include "tests/capture/EventPump.h"
#include "tests/support/CaptureHandlers.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"
#include "tests/support/ShellCommand.h"

namespace {

// A signal without zero samples, so the first fed sample is told from the
// silence a source gives before it.
std::vector<int16_t> KnownSamples(size_t count) {
  std::vector<int16_t> samples(count);
  uint32_t state = 12345;
  for (int16_t& sample : samples) {
    state = state * 1103515245u + 12345u;
    sample = static_cast<int16_t>(state >> 16);
    if (sample == 0) sample = 1;
  }
  return samples;
}

int32_t FindDevice(WaveInRecorder& recorder, const std::string& description) {
  const int32_t count = recorder.DeviceCount();
  for (int32_t i = 0; i < count; ++i) {
    if (recorder.DeviceName(i) == description) return i;
  }
  return -1;
}

// Records from a fed pipe source of its own, collecting every delivered
// sample; optionally holds the UI thread up once inside GotData.
class PulseRecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(EnsurePulseServer());
    EnsureEventLoop();
  }

  // Loads the source, selects it and starts recording.
  void StartRecording(int32_t rate, int16_t channels, const std::string& description) {
    rate_ = rate;
    channels_ = channels;
    feeder_ = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("tamblin_cap"), rate,
                                                 channels, description);
    ASSERT_TRUE(feeder_->Loaded());
    recorder_.Sink(&handlers_);
    handlers_.gotData = [this](std::span<int16_t> intBuffer, int32_t& lngLen) {
      ++deliveries_;
      samples_.insert(samples_.end(), intBuffer.begin(), intBuffer.begin() + lngLen / 2);
      if (deliveries_ == stallAt_) std::this_thread::sleep_for(stall_);
    };
    const int32_t device = FindDevice(recorder_, description);
    ASSERT_GE(device, 0);
    ASSERT_TRUE(recorder_.SelectDevice(device));
    ASSERT_TRUE(recorder_.StartRecord(rate, channels));
  }

  // Feeds `fed` (then a second of silence, which fills the last buffer) and
  // returns what was recorded from the first non-silent sample on, as many
  // samples as were fed when all arrived.
  std::vector<int16_t> RecordFed(const std::vector<int16_t>& fed) {
    std::vector<int16_t> padded = fed;
    padded.resize(fed.size() + static_cast<size_t>(rate_) * channels_, 0);
    feeder_->Feed(padded, 4.0);
    const auto firstSignal = [this] {
      return std::find_if(samples_.begin(), samples_.end(), [](int16_t s) { return s != 0; });
    };
    PumpUntil([&] { return samples_.end() - firstSignal() >= static_cast<long>(fed.size()); },
              std::chrono::seconds(30));
    feeder_->StopFeeding();
    recorder_.StopRecord();
    const auto first = firstSignal();
    EXPECT_EQ((first - samples_.begin()) % channels_, 0);  // frames stay whole
    return {first, first + std::min<long>(samples_.end() - first, static_cast<long>(fed.size()))};
  }

  CaptureHandlers handlers_;
  WaveInRecorder recorder_;
  std::unique_ptr<PipeSourceFeeder> feeder_;
  std::vector<int16_t> samples_;
  int32_t deliveries_ = 0;
  int32_t stallAt_ = -1;  // delivery number that sleeps for stall_
  std::chrono::milliseconds stall_{0};
  int32_t rate_ = 0;
  int16_t channels_ = 0;
};

class PulseCaptureTest : public PulseRecordingTest,
                         public ::testing::WithParamInterface<std::pair<int32_t, int16_t>> {};

TEST_P(PulseCaptureTest, FedSamplesComeBackBitForBit) {
  const auto [rate, channels] = GetParam();
  StartRecording(rate, channels, "Pipe-" + std::to_string(rate) + "-" + std::to_string(channels));
  const std::vector<int16_t> fed = KnownSamples(static_cast<size_t>(rate) * channels * 3);  // 3 s
  const std::vector<int16_t> got = RecordFed(fed);
  ASSERT_EQ(got.size(), fed.size());
  const auto mismatch = std::mismatch(got.begin(), got.end(), fed.begin());
  EXPECT_TRUE(mismatch.first == got.end())
      << "first difference at sample " << (mismatch.first - got.begin());
  EXPECT_EQ(recorder_.LostInputCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(RatesAndChannels, PulseCaptureTest,
                         ::testing::Values(std::make_pair(44100, int16_t{2}),
                                           std::make_pair(8000, int16_t{1})));

// A UI thread held up for a second loses nothing: the driver's reserve keeps
// the input until buffers come back.
TEST_F(PulseRecordingTest, BusyHandlerLosesNoInput) {
  stallAt_ = 2;
  stall_ = std::chrono::seconds(1);
  StartRecording(44100, 2, "Pipe-Busy");
  const std::vector<int16_t> fed = KnownSamples(44100 * 2 * 2);
  EXPECT_EQ(RecordFed(fed), fed);
  EXPECT_EQ(recorder_.LostInputCount(), 0);
}

// Held up far longer than the queue (shortened here to 3 s): the loss is
// counted, told to the sink as the queue's, and recording goes on. The stall
// itself outlasts the queue, since a server may pace a pipe source at real
// time whatever the feed (PipeWire does).
TEST_F(PulseRecordingTest, InputBeyondTheReserveIsCountedAsLost) {
  stallAt_ = 1;
  stall_ = std::chrono::seconds(5);
  recorder_.QueueSeconds(3);
  int queueLosses = 0;
  handlers_.inputLost = [&](InputLoss cause) { queueLosses += cause == InputLoss::QueueFull; };
  StartRecording(44100, 2, "Pipe-Over");
  feeder_->FeedContinuously(4.0);
  ASSERT_TRUE(PumpUntil([&] { return deliveries_ > 10; }));
  EXPECT_GE(recorder_.LostInputCount(), 1);
  EXPECT_GE(recorder_.LostToQueueCount(), 1);
  EXPECT_GE(queueLosses, 1);
  feeder_->StopFeeding();
  recorder_.StopRecord();
}

// `got` holds `fed` exactly; where the server pads with silence, `fed` with
// only zero samples before it (whole frames) and after it.
::testing::AssertionResult HoldsFedRun(const std::vector<int16_t>& got, const std::vector<int16_t>& fed,
                                       int16_t channels, bool silenceAround) {
  const auto isSignal = [](int16_t sample) { return sample != 0; };
  const size_t start =
      silenceAround ? static_cast<size_t>(std::find_if(got.begin(), got.end(), isSignal) - got.begin()) : 0;
  if (start % channels != 0) return ::testing::AssertionFailure() << "the fed run starts inside a frame";
  if (got.size() - start < fed.size()) {
    return ::testing::AssertionFailure() << "only " << got.size() - start << " of " << fed.size()
                                         << " fed samples in the file";
  }
  const auto mismatch = std::mismatch(fed.begin(), fed.end(), got.begin() + static_cast<long>(start));
  if (mismatch.first != fed.end()) {
    return ::testing::AssertionFailure() << "first difference at fed sample " << (mismatch.first - fed.begin());
  }
  const auto after = got.begin() + static_cast<long>(start + fed.size());
  if (!silenceAround && after != got.end()) {
    return ::testing::AssertionFailure() << (got.end() - after) << " samples more than were fed";
  }
  if (std::any_of(after, got.end(), isSignal)) {
    return ::testing::AssertionFailure() << "sound after the fed run";
  }
  return ::testing::AssertionSuccess();
}

// The file holds everything captured up to the stop: an exact number of
// samples, no multiple of a buffer and with nothing after it, comes back bit
// for bit through the engine and the encoder, at usual and at the lowest rates.
// PipeWire's pipe source gives silence while its pipe is short of a graph
// cycle, so there silence may come before and after the fed run, nothing else.
class PulseRecordingEndTest : public ::testing::TestWithParam<std::tuple<int32_t, int16_t, size_t>> {
 protected:
  // A PipeWire graph runs at sound card rates; a stream below them is
  // resampled through it and its samples cannot come back exactly.
  static constexpr int32_t kLowestGraphRate = 8000;

  struct Recording {
    std::vector<int16_t> file;  // the data chunk of the finished file
    int64_t receivedBytes = 0;  // what the driver took from the server up to the stop
  };

  void SetUp() override {
    ASSERT_TRUE(EnsurePulseServer());
    EnsureEventLoop();
    ASSERT_TRUE(folder_.isValid());
    silenceAround_ = ServerIsPipeWire();
  }

  // Feeds `fed` into a pipe source, waits until the driver has it all, stops,
  // and returns the finished file's samples.
  Recording RecordIntoFile(int32_t rate, int16_t channels, const std::vector<int16_t>& fed) {
    // ctest runs the cases side by side on one server: each its own source.
    const std::string description = "Pipe-End-" + std::to_string(rate) + "-" + std::to_string(channels);
    PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("tamblin_end"), rate, channels, description);
    EXPECT_TRUE(feeder.Loaded());
    const auto connection = std::make_shared<PulseConnection>("Tamblin end test");
    auto driver = std::make_unique<PulseWaveInDriver>(connection);
    PulseWaveInDriver& received = *driver;
    WaveInRecorder recorder(std::move(driver), std::make_unique<PulseSourceMixer>(connection));
    CaptureHandlers handlers;
    recorder.Sink(&handlers);
    EncoderWAV encoder;
    encoder.SetPCMFormat(rate, channels, "", "");
    const std::string file = folder_.filePath("end.wav").toStdString();
    EXPECT_EQ(encoder.EncoderInit(rate, channels, file), ENC_OK);
    std::vector<int16_t> delivered;
    handlers.gotData = [&](std::span<int16_t> intBuffer, int32_t& lngLen) {
      int32_t used = 0;
      EXPECT_TRUE(recorder.IsRecording());
      EXPECT_EQ(encoder.Encode(intBuffer.data(), lngLen, used), ENC_OK);
      delivered.insert(delivered.end(), intBuffer.begin(), intBuffer.begin() + lngLen / 2);
    };
    EXPECT_TRUE(recorder.SelectDevice(FindDevice(recorder, description)));
    EXPECT_TRUE(recorder.StartRecord(rate, channels)) << recorder.StartFailure();
    feeder.Feed(FeedFor(fed, rate, channels), 4.0);
    const auto bytes = static_cast<int64_t>(fed.size() * sizeof(int16_t));
    // Without padding the last of the run may wait in a partly filled buffer,
    // which only the stop hands over; with it, silence follows and fills it.
    EXPECT_TRUE(PumpUntil([&] {
      return received.ReceivedBytes() >= bytes && (!silenceAround_ || HoldsWholeRun(delivered, fed.size()));
    }, std::chrono::seconds(30)));
    recorder.StopRecord();
    encoder.EncoderClose();
    return {ReadDataChunk(file), received.ReceivedBytes()};
  }

  // Exactly `fed`; on PipeWire followed by silence, since its pipe source
  // reads whole graph cycles only and keeps a shorter rest in the pipe until
  // more comes (it gives silence after the run anyway).
  std::vector<int16_t> FeedFor(const std::vector<int16_t>& fed, int32_t rate, int16_t channels) const {
    std::vector<int16_t> feed = fed;
    if (silenceAround_) feed.resize(fed.size() + static_cast<size_t>(rate) * channels * 2, 0);
    return feed;
  }

  // The first non-silent sample and `runSize` samples from it have arrived.
  static bool HoldsWholeRun(const std::vector<int16_t>& samples, size_t runSize) {
    const auto first = std::find_if(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
    return static_cast<size_t>(samples.end() - first) >= runSize;
  }

  static std::vector<int16_t> ReadDataChunk(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    constexpr auto kHeader = static_cast<size_t>(WavHeader::Size(WAVEFORMATEX::kSize));
    if (bytes.size() < kHeader) return {};
    std::vector<int16_t> samples((bytes.size() - kHeader) / 2);
    std::memcpy(samples.data(), bytes.data() + kHeader, samples.size() * 2);
    return samples;
  }

  QTemporaryDir folder_;
  bool silenceAround_ = false;  // the server pads its pipe sources with silence
};

TEST_P(PulseRecordingEndTest, FileHoldsExactlyTheFedSamples) {
  const auto [rate, channels, frames] = GetParam();
  if (silenceAround_ && rate < kLowestGraphRate) {
    GTEST_SKIP() << "PipeWire resamples " << rate << " Hz through its graph";
  }
  const std::vector<int16_t> fed = KnownSamples(frames * channels);
  const Recording recording = RecordIntoFile(rate, channels, fed);
  // Nothing received up to the stop is missing from the end of the file.
  EXPECT_EQ(static_cast<int64_t>(recording.file.size() * sizeof(int16_t)), recording.receivedBytes);
  EXPECT_TRUE(HoldsFedRun(recording.file, fed, channels, silenceAround_));
}

// 1.3 s and 1.7 s at the usual rates; the lowest rates a few seconds each.
INSTANTIATE_TEST_SUITE_P(RatesAndChannels, PulseRecordingEndTest,
                         ::testing::Values(std::make_tuple(44100, int16_t{2}, size_t{57330}),
                                           std::make_tuple(8000, int16_t{1}, size_t{13601}),
                                           std::make_tuple(1000, int16_t{2}, size_t{2501}),
                                           std::make_tuple(100, int16_t{1}, size_t{301}),
                                           std::make_tuple(1, int16_t{1}, size_t{3})));

// The cut of a pause on the real driver: everything received before
// DeliverReceived comes out before it returns, bit for bit, even when it is
// more than the buffer ring holds and more input arrives while the cut is
// being delivered; that input starts the blocks after the cut.
TEST_F(PulseRecordingTest, DeliverReceivedCutsAtTheInputReceivedSoFar) {
  // The cut is counted in bytes received from the pipe; PipeWire's pipe source
  // mixes silence into that count whenever the pipe runs dry, so the exact cut
  // is checked on the PulseAudio daemon (the pause through the window too).
  if (ServerIsPipeWire()) GTEST_SKIP() << "PipeWire pads an empty pipe with silence";
  StartRecording(44100, 2, "Pipe-Cut");
  const std::vector<int16_t> fed = KnownSamples(44100 * 2 * 2);
  const std::vector<int16_t> before(fed.begin(), fed.begin() + 44100 * 2 + 2 * 333);  // 8.6 buffers
  const std::vector<int16_t> after(fed.begin() + static_cast<long>(before.size()), fed.end());
  // Without running the event loop nothing is delivered: all of it waits in
  // the driver's reserve.
  const auto receivedAtLeast = [this](size_t samples) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (recorder_.ReceivedBytes() < static_cast<int64_t>(samples * 2)) {
      if (std::chrono::steady_clock::now() > limit) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  };
  feeder_->Feed(before, 4.0);
  ASSERT_TRUE(receivedAtLeast(before.size()));
  feeder_->WaitFed();
  // The first block of the cut waits until the rest has arrived behind it.
  handlers_.gotData = [&](std::span<int16_t> intBuffer, int32_t& lngLen) {
    if (samples_.empty()) {
      feeder_->Feed(after, 4.0);
      EXPECT_TRUE(receivedAtLeast(fed.size()));
    }
    samples_.insert(samples_.end(), intBuffer.begin(), intBuffer.begin() + lngLen / 2);
  };
  recorder_.DeliverReceived();
  EXPECT_EQ(recorder_.ReceivedBytes(), static_cast<int64_t>(fed.size() * 2)) << "the source gave more than was fed";
  EXPECT_TRUE(samples_ == before) << samples_.size() << " samples delivered, " << before.size() << " before the cut";
  recorder_.DeliverReceived();
  EXPECT_TRUE(samples_ == fed) << samples_.size() << " samples delivered, " << fed.size() << " fed";
  recorder_.StopRecord();
  EXPECT_EQ(samples_.size(), fed.size()) << "the stop found nothing more";
}

TEST(PulseDevicesTest, PipeSourceIsListedAndItsLevelReachesTheServer) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("tamblin_dev"), 44100, 2, "Pipe-Devices");
  ASSERT_TRUE(feeder.Loaded());
  WaveInRecorder recorder;
  const int32_t device = FindDevice(recorder, "Pipe-Devices");
  ASSERT_GE(device, 0);
  ASSERT_TRUE(recorder.SelectDevice(device));
  EXPECT_EQ(recorder.SelectedDevice(), device);
  // Outside the list: refused, selection kept.
  EXPECT_FALSE(recorder.SelectDevice(recorder.DeviceCount()));
  EXPECT_EQ(recorder.SelectedDevice(), device);

  // A pipe source has no ports: it is its own line.
  EXPECT_EQ(recorder.MixerLineCount(), 1);
  EXPECT_EQ(recorder.MixerLineName(0), "Pipe-Devices");
  EXPECT_TRUE(recorder.SelectMixerLine(0));
  EXPECT_FALSE(recorder.SelectMixerLine(1));
  EXPECT_EQ(recorder.SelectedMixerLine(), 0);

  recorder.MixerLineVolume(40000);
  EXPECT_EQ(recorder.MixerLineVolume(), 40000);
  const ShellResult volume =
      RunShellCommand("pactl get-source-volume " + ShellQuote(feeder.SourceName()));
  ASSERT_EQ(volume.exitCode, 0);
  // "Volume: front-left: 40000 /  61% / ..., front-right: 40000 / ..."
  std::istringstream words(volume.output);
  std::vector<std::string> raw;
  for (std::string word, previous; words >> word; previous = word) {
    if (previous == "front-left:" || previous == "front-right:") raw.push_back(word);
  }
  EXPECT_EQ(raw, (std::vector<std::string>{"40000", "40000"})) << volume.output;
}

// A recording from a pipe source on a daemon of the test's own, which the
// test may kill or freeze; counts what GotData delivers.
class PrivateServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureEventLoop();
    ASSERT_TRUE(daemon_.Running());
    recorder_.Sink(&handlers_);
    handlers_.gotData = [this](std::span<int16_t>, int32_t& lngLen) {
      ++deliveries_;
      deliveredBytes_ += lngLen;
    };
  }

  void StartOnPipe(int32_t rate, int16_t channels, const std::string& description) {
    feeder_ = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("tamblin_private"), rate, channels,
                                                 description);
    ASSERT_TRUE(feeder_->Loaded());
    const int32_t device = FindDevice(recorder_, description);
    ASSERT_GE(device, 0);
    ASSERT_TRUE(recorder_.SelectDevice(device));
    ASSERT_TRUE(recorder_.StartRecord(rate, channels)) << recorder_.StartFailure();
  }

  PrivatePulseDaemon daemon_;
  std::unique_ptr<PipeSourceFeeder> feeder_;
  CaptureHandlers handlers_;
  WaveInRecorder recorder_;
  int32_t deliveries_ = 0;
  int64_t deliveredBytes_ = 0;
};

TEST_F(PrivateServerTest, KilledServerEndsDeliveryWithDeviceLost) {
  std::string lostReason;
  int32_t deliveriesAtLoss = -1;
  handlers_.deviceLost = [&](const std::string& reason) {
    lostReason = reason;
    deliveriesAtLoss = deliveries_;
  };
  StartOnPipe(44100, 2, "Pipe-Loss");
  feeder_->FeedContinuously(2.0);
  ASSERT_TRUE(PumpUntil([&] { return deliveries_ >= 3; }));

  daemon_.Stop();
  ASSERT_TRUE(PumpUntil([&] { return deliveriesAtLoss >= 0; }));
  EXPECT_FALSE(lostReason.empty());
  PumpFor(std::chrono::milliseconds(300));
  EXPECT_EQ(deliveries_, deliveriesAtLoss);  // nothing after the loss
  EXPECT_TRUE(recorder_.IsRecording());
  EXPECT_TRUE(recorder_.StopRecord());
  EXPECT_FALSE(recorder_.IsRecording());

  // With the server gone: no devices, no selection, no recording, no hang.
  EXPECT_EQ(recorder_.DeviceCount(), 0);
  EXPECT_FALSE(recorder_.SelectDevice(0));
  EXPECT_FALSE(recorder_.StartRecord(44100, 2));
  feeder_->StopFeeding();
}

TEST(PulseServerLossTest, RemovedSourceEndsDeliveryWithDeviceLost) {
  ASSERT_TRUE(EnsurePulseServer());
  EnsureEventLoop();
  auto feeder = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("tamblin_gone"),
                                                   8000, 1, "Pipe-Gone");
  ASSERT_TRUE(feeder->Loaded());
  WaveInRecorder recorder;
  CaptureHandlers handlers;
  recorder.Sink(&handlers);
  bool lost = false;
  handlers.deviceLost = [&](const std::string&) { lost = true; };
  ASSERT_TRUE(recorder.SelectDevice(FindDevice(recorder, "Pipe-Gone")));
  ASSERT_TRUE(recorder.StartRecord(8000, 1));
  feeder.reset();  // unloads the source under the running recording
  ASSERT_TRUE(PumpUntil([&] { return lost; }));
  EXPECT_TRUE(recorder.StopRecord());
  // Starting on it again fails with the server's own reason.
  EXPECT_FALSE(recorder.StartRecord(8000, 1));
  EXPECT_EQ(recorder.StartFailure(), "No such entity");
  // The device list no longer offers it.
  EXPECT_LT(FindDevice(recorder, "Pipe-Gone"), 0);
}

// A hung server costs one timeout, not one per call: the start-up's calls
// after the first, and a stop's cork and flush after the first, give up at once.
TEST(PulseServerLossTest, HungServerCostsOneTimeoutPerBurstOfCalls) {
  EnsureEventLoop();
  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running());
  WaveInRecorder recorder;
  daemon.Freeze();
  const int64_t before = PulseConnection::TimedOutWaits();
  EXPECT_EQ(recorder.DeviceCount(), 0);
  EXPECT_FALSE(recorder.SelectDevice(0));
  EXPECT_FALSE(recorder.StartRecord(44100, 2));
  EXPECT_EQ(recorder.StartFailure(), "Timeout");  // the server's own word for it
  EXPECT_EQ(PulseConnection::TimedOutWaits() - before, 1);
  daemon.Thaw();
  // Tried afresh once the hold is over, and found again.
  EXPECT_TRUE(PumpUntil([&] { return recorder.DeviceCount() > 0; }));
}

TEST_F(PrivateServerTest, StopAgainstAHungServerWaitsOnceAndKeepsTheData) {
  StartOnPipe(8000, 1, "Pipe-Hung");
  feeder_->Feed(KnownSamples(8000 + 123), 4.0);
  feeder_->WaitFed();
  ASSERT_TRUE(PumpUntil([&] { return deliveredBytes_ >= 10240; }));
  daemon_.Freeze();
  const int64_t before = PulseConnection::TimedOutWaits();
  EXPECT_TRUE(recorder_.StopRecord());
  EXPECT_FALSE(recorder_.IsRecording());
  EXPECT_EQ(PulseConnection::TimedOutWaits() - before, 1) << "cork, flush ... each waited";
  EXPECT_EQ(deliveredBytes_, (8000 + 123) * 2) << "what had arrived before the stop";
  daemon_.Thaw();
}

TEST(PulseServerLossTest, NoServerMeansNoDevices) {
  EnsureEventLoop();
  const char* previous = std::getenv("PULSE_SERVER");
  const std::string saved = previous != nullptr ? previous : "";
  ::setenv("PULSE_SERVER", "unix:/nonexistent/tamblin/native", 1);
  {
    WaveInRecorder recorder;
    EXPECT_EQ(recorder.DeviceCount(), 0);
    EXPECT_EQ(recorder.DeviceName(0), "");
    EXPECT_FALSE(recorder.SelectDevice(0));
    EXPECT_EQ(recorder.MixerLineCount(), 0);
    EXPECT_FALSE(recorder.StartRecord(44100, 2));
    EXPECT_FALSE(recorder.IsRecording());
  }
  if (previous != nullptr) {
    ::setenv("PULSE_SERVER", saved.c_str(), 1);
  } else {
    ::unsetenv("PULSE_SERVER");
  }
}

}  // namespace
