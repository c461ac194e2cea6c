// The real main window (safety_driver, a child process) recording from a fed
// pipe source of a real audio server into real files, while the test kills it,
// removes its source, kills the server, overloads the input or fills the disk.
// Each time: the file stays a valid WAVE file that sox and ffprobe read, the
// user is told what happened, and the program neither crashes nor hangs.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "app/recording/RecordingJournal.h"
#include "encoding/WavFileRepair.h"
#include "tests/app/safety/DriverProcess.h"
#include "tests/app/safety/SafetyFiles.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Pseudo-random samples without zeros, so where the fed signal starts in a
// recording (after any silence of the idle source) is unambiguous.
std::vector<int16_t> KnownSamples(size_t count) {
  std::vector<int16_t> samples(count);
  uint32_t state = 987654321u;
  for (int16_t& sample : samples) {
    state = state * 1664525u + 1013904223u;
    sample = static_cast<int16_t>(state >> 16);
    if (sample == 0) sample = 1;
  }
  return samples;
}

// Number of leading samples of `fed` found, in order and exact, in `recorded`
// from its first non-zero sample on.
size_t ExactPrefix(const std::vector<int16_t>& recorded, const std::vector<int16_t>& fed) {
  const auto first = std::find_if(recorded.begin(), recorded.end(), [](int16_t s) { return s != 0; });
  const auto mismatch = std::mismatch(first, recorded.end(), fed.begin(), fed.end());
  return static_cast<size_t>(mismatch.second - fed.begin());
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// A finished recording: sizes agree with the length, sox and ffprobe read it.
void ExpectValidWave(const fs::path& file) {
  ASSERT_TRUE(fs::exists(file)) << file;
  EXPECT_FALSE(WavFileRepair::NeedsRepair(file.string())) << file;
  EXPECT_GE(SoxSampleCount(file), 0) << "sox cannot read " << file;
  EXPECT_TRUE(FfprobeDuration(file).has_value()) << "ffprobe cannot read " << file;
}

class RecordingSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }

  fs::path Folder() const { return folder_.path().toStdString(); }
  fs::path OutputFolder() const { return Folder() / "file"; }

  // Waits for the window, then picks `device` as the user would.
  static bool SelectDevice(DriverProcess& driver, const std::string& device) {
    if (!driver.WaitFor("READY").has_value()) return false;
    driver.Send("select " + device);
    return driver.WaitFor("SELECTED").has_value();
  }

  // A driver with `device` selected, recording; returns the recorded file.
  static fs::path StartRecording(DriverProcess& driver, const std::string& device) {
    EXPECT_TRUE(SelectDevice(driver, device)) << "device " << device << " not listed";
    driver.Send("start");
    const auto state = driver.WaitFor("STATE recording ");
    EXPECT_TRUE(state.has_value()) << "did not start";
    return state ? fs::path(state->substr(std::string("STATE recording ").size())) : fs::path();
  }

  // A new window records from `feeder`'s source (after the `setup` commands)
  // while `fed` is fed, and is killed after `run`; returns the recorded file.
  fs::path RecordThenKill(PipeSourceFeeder& feeder, const std::vector<int16_t>& fed, std::chrono::seconds run,
                          const std::vector<std::string>& setup = {}) {
    fs::path file;
    {
      DriverProcess driver(Folder().string());
      EXPECT_TRUE(driver.Started());
      // Read once the window is up, before the device is picked.
      for (const std::string& command : setup) driver.Send(command);
      file = StartRecording(driver, feeder.Description());
      if (!file.empty()) feeder.Feed(fed, 2.0);
      std::this_thread::sleep_for(run);
      driver.Kill();
    }
    feeder.StopFeeding();
    return file;
  }

  QTemporaryDir folder_;
};

TEST_F(RecordingSafetyTest, KilledRecordingKeepsTheFedSamplesAndIsRepairedAtTheNextStart) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_kill"), 44100, 2, "Pipe-Kill");
  ASSERT_TRUE(feeder.Loaded());
  const auto fed = KnownSamples(44100 * 2 * 14);
  const fs::path file = RecordThenKill(feeder, fed, 5s);
  ASSERT_FALSE(file.empty());

  // As the kill left it: readable by both tools, all but at most the last second.
  const auto duration = FfprobeDuration(file);
  ASSERT_TRUE(duration.has_value()) << "ffprobe cannot read the killed recording";
  const auto before = SoxSamples(file);
  ASSERT_TRUE(before.has_value()) << "sox cannot read the killed recording";
  const size_t exact = ExactPrefix(*before, fed);
  EXPECT_GE(exact, 44100u * 2 * 4) << "at least 4 s of exactly the fed samples";
  EXPECT_NEAR(*duration, before->size() / 88200.0, 0.01);

  // The next start mends the header and names the file.
  DriverProcess next(Folder().string());
  ASSERT_TRUE(next.WaitFor("READY").has_value());
  EXPECT_TRUE(Contains(next.Messages(), file.filename().string())) << "no recovery message";
  EXPECT_TRUE(next.Quit());
  EXPECT_FALSE(WavFileRepair::NeedsRepair(file.string()));
  const auto after = SoxSamples(file);
  ASSERT_TRUE(after.has_value());
  EXPECT_GE(after->size(), before->size()) << "the repair reveals the audio after the last refresh";
  EXPECT_GE(ExactPrefix(*after, fed), exact);
}

TEST_F(RecordingSafetyTest, KilledFlacRecordingIsMendedAtTheNextStartToTheLengthItHolds) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_kill_flac"), 44100, 2, "Pipe-Kill-Flac");
  ASSERT_TRUE(feeder.Loaded());
  const auto fed = KnownSamples(44100 * 2 * 10);
  const fs::path file = RecordThenKill(feeder, fed, 3s, {"type FLAC"});
  ASSERT_EQ(file.extension(), ".flac");

  // The next start mends the total length and names the file.
  DriverProcess next(Folder().string());
  ASSERT_TRUE(next.WaitFor("READY").has_value());
  EXPECT_TRUE(Contains(next.Messages(), file.filename().string())) << "no recovery message";
  EXPECT_TRUE(next.Quit());
  const auto decoded = DecodeWithFfmpeg(file);
  ASSERT_TRUE(decoded.has_value()) << "ffmpeg cannot decode the mended recording";
  EXPECT_GE(ExactPrefix(*decoded, fed), 44100u * 2 * 3) << "at least 3 s of exactly the fed samples";
  const auto probe = ProbeWithFfprobe(file);
  ASSERT_TRUE(probe.has_value());
  EXPECT_EQ(probe->codec, "flac");
  EXPECT_NEAR(probe->duration, static_cast<double>(decoded->size()) / 88200, 1e-6) << "the length it holds";
}

// A separate take of two inputs killed mid-way: the next start mends both
// files, and they end on the same sample.
TEST_F(RecordingSafetyTest, KilledSeparateTwoInputTakeLeavesBothFilesMendedToOneLength) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder first(PipeSourceFeeder::UniqueName("safety_kill_two"), 44100, 2, "Pipe-Kill-First");
  PipeSourceFeeder second(PipeSourceFeeder::UniqueName("safety_kill_two"), 44100, 2, "Pipe-Kill-Second");
  ASSERT_TRUE(first.Loaded() && second.Loaded());
  second.FeedContinuously();
  const auto fed = KnownSamples(44100 * 2 * 10);
  const fs::path file = RecordThenKill(first, fed, 4s, {"second " + second.Description(), "tracks 分开"});
  ASSERT_FALSE(file.empty());
  const fs::path companion = fs::path(file).replace_filename(file.stem().string() + "-2" + file.extension().string());
  ASSERT_TRUE(fs::exists(companion)) << "no second file beside " << file;

  DriverProcess next(Folder().string());
  ASSERT_TRUE(next.WaitFor("READY").has_value());
  EXPECT_TRUE(next.Quit());
  for (const fs::path& each : {file, companion}) ExpectValidWave(each);
  const int64_t frames = SoxSampleCount(file);
  EXPECT_GE(frames, 44100 * 2) << "at least 2 s recorded before the kill";
  EXPECT_EQ(SoxSampleCount(companion), frames) << "the two files of one take differ in length";
  const auto recorded = SoxSamples(file);
  ASSERT_TRUE(recorded.has_value());
  EXPECT_GE(ExactPrefix(*recorded, fed), 44100u * 2 * 2) << "the first input's samples, exact";
}

TEST_F(RecordingSafetyTest, RemovedSourceStopsTheRecordingWithAMessage) {
  ASSERT_TRUE(EnsurePulseServer());
  auto feeder = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("safety_gone"), 44100, 2, "Pipe-Gone");
  ASSERT_TRUE(feeder->Loaded());
  DriverProcess driver(Folder().string());
  const auto file = StartRecording(driver, "Pipe-Gone");
  feeder->FeedContinuously(1.0);
  std::this_thread::sleep_for(2s);
  feeder.reset();  // unloads the pipe source module
  const auto message = driver.WaitFor("MESSAGE ");
  ASSERT_TRUE(message.has_value()) << "no message after the source vanished";
  EXPECT_NE(message->find("录音设备已断开"), std::string::npos) << *message;
  EXPECT_TRUE(driver.Saw("STATE idle"));
  ExpectValidWave(file);
  EXPECT_GT(SoxSampleCount(file), 44100) << "the audio before the loss is kept";
  EXPECT_TRUE(driver.Quit()) << "no clean exit after the loss";
}

TEST_F(RecordingSafetyTest, KilledServerStopsTheRecordingWithAMessage) {
  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_dead"), 44100, 2, "Pipe-Dead");
  ASSERT_TRUE(feeder.Loaded());
  DriverProcess driver(Folder().string());
  const auto file = StartRecording(driver, "Pipe-Dead");
  feeder.FeedContinuously(1.0);
  std::this_thread::sleep_for(2s);
  feeder.StopFeeding();
  daemon.Stop();
  const auto message = driver.WaitFor("MESSAGE ");
  ASSERT_TRUE(message.has_value()) << "no message after the server died";
  EXPECT_NE(message->find("录音设备已断开"), std::string::npos) << *message;
  EXPECT_TRUE(driver.Saw("STATE idle"));
  ExpectValidWave(file);
  EXPECT_GT(SoxSampleCount(file), 44100);
  driver.Send("status");
  EXPECT_TRUE(driver.WaitFor("STATUS").has_value()) << "window no longer answers";
  EXPECT_TRUE(driver.Quit()) << "no clean exit without a server";
}

// A hung server (a daemon under SIGSTOP) costs a stop one wait, not one per
// call (cork, flush ...: 6 s before), and the file is finished with what had
// arrived. The bound only tells one wait from several.
TEST_F(RecordingSafetyTest, StopAgainstAHungServerReturnsAfterOneWait) {
  PrivatePulseDaemon daemon;
  ASSERT_TRUE(daemon.Running()) << daemon.Log();
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_hung"), 44100, 2, "Pipe-Hung");
  ASSERT_TRUE(feeder.Loaded());
  DriverProcess driver(Folder().string());
  const auto file = StartRecording(driver, "Pipe-Hung");
  const auto fed = KnownSamples(44100 * 2);  // 1 s: 17.2 capture buffers
  feeder.Feed(fed, 4.0);
  feeder.WaitFed();
  std::this_thread::sleep_for(1s);  // the server passes it on within its 50 ms latency
  daemon.Freeze();
  const auto stopAt = std::chrono::steady_clock::now();
  driver.Send("stop");
  const auto idle = driver.WaitFor("STATE idle", 10s);
  const auto took = std::chrono::steady_clock::now() - stopAt;
  daemon.Thaw();
  ASSERT_TRUE(idle.has_value()) << "the stop hangs";
  EXPECT_LT(took, 4s) << "more than one wait on the hung server";
  ExpectValidWave(file);
  const auto recorded = SoxSamples(file);
  ASSERT_TRUE(recorded.has_value());
  EXPECT_EQ(recorded->size(), fed.size()) << "all that had arrived before the stop, and nothing else";
  EXPECT_EQ(ExactPrefix(*recorded, fed), fed.size());
  EXPECT_TRUE(driver.Quit());
}

// Input flooded in while every sync takes 2 s: the recording thread, held in
// a sync, falls behind by more than the capture queue holds. (Unpaced input
// alone is no longer lost when the disk keeps up.) The count shows while
// recording and the message at the stop names the disk.
TEST_F(RecordingSafetyTest, InputTheDiskCannotKeepUpWithIsCountedAndShown) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_flood"), 44100, 2, "Pipe-Flood");
  ASSERT_TRUE(feeder.Loaded());
  DriverProcess driver(Folder().string(), std::nullopt, 2000ms);
  const auto file = StartRecording(driver, "Pipe-Flood");
  feeder.FeedContinuously(1e6);  // as fast as the pipe takes it
  std::this_thread::sleep_for(5s);
  feeder.StopFeeding();
  // The count shows once the recording thread, out of its syncs, reaches the gap.
  std::optional<std::string> status;
  for (int asked = 0; asked < 30 && (!status || status->find("丢失: 0") != std::string::npos); ++asked) {
    if (asked > 0) std::this_thread::sleep_for(1s);
    driver.Send("status");
    status = driver.WaitFor("STATUS");
    ASSERT_TRUE(status.has_value());
  }
  EXPECT_NE(status->find("丢失"), std::string::npos) << *status;
  EXPECT_EQ(status->find("丢失: 0"), std::string::npos) << "input was dropped: " << *status;
  driver.Send("stop");
  ASSERT_TRUE(driver.WaitFor("STATE idle", 60s).has_value());
  EXPECT_TRUE(driver.Saw("MESSAGE ", "磁盘写入跟不上")) << "the count and its cause are given at the stop";
  ExpectValidWave(file);
  EXPECT_TRUE(driver.Quit(60s));
}

// A small tmpfs as the output folder (needs root to mount).
class SmallDiskTest : public RecordingSafetyTest {
 protected:
  void Mount(const std::string& options) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    fs::create_directories(OutputFolder());
    if (mount("tamblin-safety", OutputFolder().c_str(), "tmpfs", options.find("ro") == 0 ? MS_RDONLY : 0,
              options.c_str()) != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs: " << std::strerror(errno);
    }
    mounted_ = true;
  }
  void TearDown() override {
    if (mounted_) umount2(OutputFolder().c_str(), MNT_DETACH);
  }
  bool mounted_ = false;
};

TEST_F(SmallDiskTest, FillingDiskStopsTheRecordingBeforeItIsFull) {
  Mount("size=3m");
  if (!mounted_) return;
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_full"), 44100, 2, "Pipe-Full");
  ASSERT_TRUE(feeder.Loaded());
  DriverProcess driver(Folder().string());
  const auto file = StartRecording(driver, "Pipe-Full");
  feeder.FeedContinuously(8.0);  // 3 MiB hold about 17 s of 44.1 kHz stereo
  const auto message = driver.WaitFor("MESSAGE ", 60s);
  ASSERT_TRUE(message.has_value()) << "the recording was not stopped";
  EXPECT_NE(message->find("磁盘空间"), std::string::npos) << *message;
  EXPECT_TRUE(driver.Saw("STATE idle"));
  feeder.StopFeeding();
  ExpectValidWave(file);
  const auto bytes = ReadBytes(file);
  EXPECT_EQ(GetU32(bytes, 42), bytes.size() - 46) << "complete up to the stop";
  EXPECT_GT(bytes.size(), 1000000u);

  // Too little room left for ten seconds: a new recording does not start.
  driver.Send("start");
  const auto refused = driver.WaitFor("MESSAGE ");
  ASSERT_TRUE(refused.has_value());
  EXPECT_NE(refused->find("磁盘空间不足"), std::string::npos) << *refused;
  EXPECT_FALSE(driver.WaitFor("STATE recording", 1s).has_value());
  EXPECT_TRUE(driver.Quit());
}

TEST_F(SmallDiskTest, ReadOnlyOutputFolderIsReportedNotFatal) {
  Mount("ro,size=4m");  // room enough: the refusal must come from the file itself
  if (!mounted_) return;
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_ro"), 44100, 2, "Pipe-RO");
  ASSERT_TRUE(feeder.Loaded());
  DriverProcess driver(Folder().string());
  ASSERT_TRUE(SelectDevice(driver, "Pipe-RO"));
  // Nothing is made before a recording starts: the start meets the folder's refusal.
  driver.Send("start");
  EXPECT_FALSE(driver.WaitFor("STATE recording", 2s).has_value());
  EXPECT_TRUE(Contains(driver.Messages(), "无法初始化编码器!"));
  EXPECT_TRUE(driver.Quit());
}

// Under a file-size limit (ulimit -f) the write fails instead of the signal
// ending the program: the recording stops as on a full disk, and the file is
// finished up to the last whole block.
TEST_F(RecordingSafetyTest, FileSizeLimitIsAWriteErrorNotAKill) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_ulimit"), 44100, 2, "Pipe-Ulimit");
  ASSERT_TRUE(feeder.Loaded());
  constexpr uint64_t kLimit = 1 << 20;  // about 6 s of 44.1 kHz stereo
  DriverProcess driver(Folder().string(), kLimit);
  const auto file = StartRecording(driver, "Pipe-Ulimit");
  feeder.FeedContinuously(4.0);
  const auto message = driver.WaitFor("MESSAGE ", 30s);
  feeder.StopFeeding();
  ASSERT_TRUE(message.has_value()) << "no message: the program was killed at the limit";
  EXPECT_NE(message->find("Write error"), std::string::npos) << *message;
  EXPECT_TRUE(driver.Saw("STATE idle"));
  ExpectValidWave(file);
  const auto bytes = ReadBytes(file);
  EXPECT_EQ(GetU32(bytes, 42), bytes.size() - 46) << "complete up to the stop";
  EXPECT_GT(bytes.size(), kLimit - 2 * 176400) << "stopped at the limit, not before";
  EXPECT_TRUE(driver.Quit()) << "no clean exit after the write error";
}

TEST_F(RecordingSafetyTest, BadSettingsFilesGiveCounterZero) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""},
      {"binary", std::string("\x00\xff\xfe\x80\x01garbage\x00\x7f", 14)},
      {"100 kB", std::string(100 * 1024, '7')},
      {"above range", "40000\r\n"},
      {"below range", "-32769\r\n"},
  };
  for (const auto& [name, contents] : cases) {
    SCOPED_TRACE(name);
    { std::ofstream(Folder() / "nu.ini", std::ios::binary | std::ios::trunc) << contents; }
    DriverProcess driver(Folder().string());
    ASSERT_TRUE(driver.WaitFor("READY").has_value()) << "no start with this nu.ini";
    driver.Send("file");
    const auto file = driver.WaitFor("FILE ");
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(fs::path(file->substr(5)).filename().string(), "录音0.wav");
    EXPECT_TRUE(driver.Quit());
  }
}

// The driver's device list once `done` holds for it: the list now, then each
// list the driver announces as it changes (guard: 60 s).
std::optional<std::string> WaitForDevices(DriverProcess& driver, const std::function<bool(const std::string&)>& done) {
  driver.Send("devices");
  const auto guard = std::chrono::steady_clock::now() + 60s;
  for (auto now = std::chrono::steady_clock::now(); now < guard; now = std::chrono::steady_clock::now()) {
    const auto line = driver.WaitFor("DEVICES ", std::chrono::duration_cast<std::chrono::milliseconds>(guard - now));
    if (!line) return std::nullopt;
    if (done(*line)) return line;
  }
  return std::nullopt;
}

TEST_F(RecordingSafetyTest, DeviceListFollowsTheServerAndKeepsTheChoice) {
  ASSERT_TRUE(EnsurePulseServer());
  auto chosen = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("safety_a"), 44100, 2, "Pipe-Chosen");
  ASSERT_TRUE(chosen->Loaded());
  DriverProcess driver(Folder().string());
  ASSERT_TRUE(SelectDevice(driver, "Pipe-Chosen"));

  PipeSourceFeeder added(PipeSourceFeeder::UniqueName("safety_b"), 44100, 2, "Pipe-Added");
  ASSERT_TRUE(added.Loaded());
  const auto grown = WaitForDevices(driver, [](const std::string& l) { return l.find("Pipe-Added|") != std::string::npos; });
  ASSERT_TRUE(grown.has_value()) << "a new source does not appear in the list";
  EXPECT_EQ(grown->rfind("DEVICES Pipe-Chosen\t", 0), 0u) << "the choice was lost: " << *grown;

  // The chosen source still records from the right device after the list moved.
  driver.Send("start");
  const auto state = driver.WaitFor("STATE recording ");
  ASSERT_TRUE(state.has_value());
  chosen.reset();
  EXPECT_TRUE(driver.WaitFor("STATE idle").has_value()) << "the recording used another device";

  const auto shrunk = WaitForDevices(driver, [](const std::string& l) { return l.find("Pipe-Chosen|") == std::string::npos; });
  ASSERT_TRUE(shrunk.has_value()) << "a removed source stays in the list";
  EXPECT_EQ(shrunk->rfind("DEVICES \t", 0), 0u) << "nothing is chosen any more: " << *shrunk;
  driver.Send("start");
  EXPECT_TRUE(driver.WaitFor("MESSAGE 提示\t没有选择硬件设备!").has_value());
  EXPECT_TRUE(driver.Quit());
}

TEST_F(RecordingSafetyTest, VanishedSelectedDeviceIsReportedAtStart) {
  ASSERT_TRUE(EnsurePulseServer());
  auto feeder = std::make_unique<PipeSourceFeeder>(PipeSourceFeeder::UniqueName("safety_left"), 44100, 2, "Pipe-Left");
  ASSERT_TRUE(feeder->Loaded());
  DriverProcess driver(Folder().string());
  ASSERT_TRUE(SelectDevice(driver, "Pipe-Left"));
  feeder.reset();
  ASSERT_TRUE(WaitForDevices(driver, [](const std::string& l) { return l.find("Pipe-Left|") == std::string::npos; }));
  driver.Send("start");
  driver.Send("status");
  ASSERT_TRUE(driver.WaitFor("STATUS").has_value()) << "window no longer answers";
  EXPECT_TRUE(driver.Saw("MESSAGE ")) << "the user is not told why nothing records";
  EXPECT_FALSE(Contains(driver.Lines(), "STATE recording")) << "recording from a device that is gone";
  EXPECT_TRUE(driver.Quit());
}

}  // namespace

// Logout, shutdown, a plain kill or Ctrl+C during a recording: it is stopped as
// by the button, so before any restart could mend it the file holds all that
// was fed and says so in its header, its journal entry is gone, and the program
// ends with status 0. A repeat while it ends (SIGHUP, then SIGTERM) changes nothing.
TEST_F(RecordingSafetyTest, TerminationSignalsFinishTheRecordingThenEndTheProgram) {
  ASSERT_TRUE(EnsurePulseServer());
  struct Case {
    std::vector<int> numbers;
    std::string type;
    bool lossless;
  };
  const auto fed = KnownSamples(44100 * 2 * 5 / 2);  // 2.5 s
  for (const Case& signal : {Case{{SIGTERM}, "WAV", true}, Case{{SIGINT}, "FLAC", true},
                             Case{{SIGHUP, SIGTERM}, "Ogg Opus", false}}) {
    SCOPED_TRACE(signal.type);
    PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("safety_term"), 44100, 2, "Pipe-Term");
    ASSERT_TRUE(feeder.Loaded());
    DriverProcess driver(Folder().string());
    driver.Send("type " + signal.type);
    const fs::path file = StartRecording(driver, feeder.Description());
    ASSERT_FALSE(file.empty());
    feeder.Feed(fed, 4.0);
    feeder.WaitFed();
    std::this_thread::sleep_for(1s);  // the server passes it on within its latency
    for (const int number : signal.numbers) driver.Signal(number);
    EXPECT_TRUE(driver.EndedCleanly()) << "not ended with status 0";

    const auto probe = ProbeWithFfprobe(file);
    const auto decoded = DecodeWithFfmpeg(file);
    ASSERT_TRUE(probe.has_value() && decoded.has_value()) << "unreadable " << file;
    EXPECT_NEAR(probe->duration, 2.5, 0.03) << "the header's length";
    if (signal.lossless) EXPECT_TRUE(*decoded == fed) << decoded->size() << " samples instead of " << fed.size();
    if (signal.type == "WAV") ExpectValidWave(file);
    const RecordingJournal journal(QString::fromStdString((Folder() / "recording.journal").string()),
                                   QString::fromStdString(OutputFolder().string()));
    EXPECT_TRUE(journal.Read().names.isEmpty()) << "left to the start-up repair";
  }
}
