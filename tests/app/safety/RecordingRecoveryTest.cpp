// Start-up recovery of recordings left behind by a killed recording: only
// journalled WAVE files with stale sizes are mended, everything else (files the
// journal does not name, finished files, links, running recordings) stays byte
// for byte as it was.
#include "app/recording/RecordingRecovery.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/recording/RecordingJournal.h"
#include "encoding/EncoderFLAC.h"
#include "encoding/EncoderMP3.h"
#include "encoding/EncoderOpus.h"
#include "encoding/EncoderSelection.h"
#include "encoding/EncoderWAV.h"
#include "encoding/FileRecord.h"
#include "tests/app/safety/DriverProcess.h"
#include "tests/app/safety/RecoveryFolderTest.h"
#include "tests/app/safety/SafetyFiles.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"
#include "tests/support/ShellCommand.h"

namespace {

namespace fs = std::filesystem;

// A recording of `blocks` blocks of 0.1 s whose process "died" before the
// first header refresh: a copy of the open file with the start-up header.
std::vector<uint8_t> KilledRecording(const fs::path& scratch, int blocks) {
  EncoderWAV encoder;
  encoder.HeaderRefreshInterval(std::chrono::hours{1});
  const auto path = scratch / "running.wav";
  EXPECT_EQ(encoder.EncoderInit(44100, 2, path.string()), ENC_OK);
  std::vector<int16_t> block(8820);
  for (int b = 0; b < blocks; ++b) {
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<int16_t>(b * 1000 + i);
    int32_t used = 0;
    EXPECT_EQ(encoder.Encode(block.data(), 17640, used), ENC_OK);
  }
  return ReadBytes(path);
}

// Recovery in a program folder of its own; the output folder can be made read-only.
class RecordingRecoveryTest : public RecoveryFolderTest {
 protected:
  void TearDown() override {
    if (bound_) ::umount2(Output().c_str(), MNT_DETACH);
  }
  // Root writes read-only files anyway, but not into a read-only mount.
  bool BindReadOnly(const fs::path& folder) {
    if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
    bound_ = true;
    return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
  }
  void Journalled(std::initializer_list<const char*> names) const {
    for (const char* name : names) ASSERT_EQ(Journal().Begin((Output() / name).string()), "");
  }

  bool bound_ = false;
};

TEST_F(RecordingRecoveryTest, MendsOnlyJournalledStaleRecordingsAndNamesThem) {
  const auto killed = KilledRecording(Dir(), 7);
  fs::remove(Dir() / "running.wav");
  auto finished = killed;
  PutU32(finished, 4, static_cast<uint32_t>(finished.size() - 8));
  PutU32(finished, 42, static_cast<uint32_t>(finished.size() - 46));

  WriteBytes(Output() / "录音1.wav", killed);
  WriteBytes(Output() / "录音2.wav", finished);
  WriteBytes(Output() / "录音3.wav", {});  // started, then the file was emptied
  WriteBytes(Output() / "录音4.wav", std::vector<uint8_t>(5000, 0x5A));  // not a WAVE file
  WriteBytes(Output() / "录音5.wav", killed);  // stale, but not left by this program
  WriteBytes(Dir() / "elsewhere.wav", killed);
  fs::create_symlink(Dir() / "elsewhere.wav", Output() / "录音6.wav");
  Journalled({"录音1.wav", "录音2.wav", "录音3.wav", "录音4.wav", "录音6.wav", "录音8.wav"});  // 8: gone since

  const auto result = RecordingRecovery::Scan(Journal());
  EXPECT_EQ(result.recovered, QStringList{QStringLiteral("录音1.wav")});
  EXPECT_TRUE(result.failed.isEmpty());
  EXPECT_EQ(ReadBytes(Output() / "录音1.wav"), finished) << "sizes now describe all 0.7 s";
  EXPECT_EQ(SoxSampleCount(Output() / "录音1.wav"), 7 * 8820 / 2) << "stereo frames";
  EXPECT_EQ(ReadBytes(Output() / "录音2.wav"), finished);
  EXPECT_TRUE(ReadBytes(Output() / "录音3.wav").empty());
  EXPECT_EQ(ReadBytes(Output() / "录音4.wav"), std::vector<uint8_t>(5000, 0x5A));
  EXPECT_EQ(ReadBytes(Output() / "录音5.wav"), killed) << "a file the journal does not name was touched";
  EXPECT_EQ(ReadBytes(Dir() / "elsewhere.wav"), killed) << "a link was followed";
  EXPECT_TRUE(Journal().Read().names.isEmpty()) << "settled entries stay in the journal";

  const std::string text = RecordingRecovery::Message(result);
  EXPECT_NE(text.find("修复"), std::string::npos) << text;
  EXPECT_NE(text.find("录音1.wav"), std::string::npos) << text;
  for (const char* other : {"录音2", "录音3", "录音4", "录音5", "录音6", "录音8"}) EXPECT_EQ(text.find(other), std::string::npos) << text;

  // A second start finds nothing left to do and says nothing.
  const auto again = RecordingRecovery::Scan(Journal());
  EXPECT_TRUE(again.Empty());
  EXPECT_TRUE(RecordingRecovery::Message(again).empty());
}

TEST_F(RecordingRecoveryTest, AFileAnotherRecordingHoldsStaysInTheJournalUntouched) {
  const auto killed = KilledRecording(Dir(), 2);
  const auto path = Output() / "录音7.wav";
  FileRecord running;
  ASSERT_TRUE(running.Open(path.string())) << running.LastError();
  ASSERT_EQ(running.Write(killed.data(), static_cast<int64_t>(killed.size())), static_cast<int64_t>(killed.size()));
  Journalled({"录音7.wav"});
  EXPECT_TRUE(RecordingRecovery::Scan(Journal()).Empty());
  EXPECT_EQ(ReadBytes(path), killed);
  EXPECT_EQ(Journal().Read().names, QStringList{QStringLiteral("录音7.wav")});

  // Once that recording is gone, the next start mends it.
  running.Close();
  EXPECT_EQ(RecordingRecovery::Scan(Journal()).recovered, QStringList{QStringLiteral("录音7.wav")});
}

TEST_F(RecordingRecoveryTest, MissingJournalAndUnwritableFilesAreReportedNotFatal) {
  EXPECT_TRUE(RecordingRecovery::Scan(Journal()).Empty());
  WriteBytes(Output() / "录音9.wav", KilledRecording(Dir(), 2));
  Journalled({"录音9.wav"});
  if (geteuid() != 0) {
    fs::permissions(Output() / "录音9.wav", fs::perms::owner_read);
  } else if (!BindReadOnly(Output())) {
    GTEST_SKIP() << "root writes read-only files, and no read-only bind mount: " << std::strerror(errno);
  }
  const auto result = RecordingRecovery::Scan(Journal());
  ASSERT_EQ(result.failed.size(), 1);
  EXPECT_TRUE(result.failed[0].startsWith(QStringLiteral("录音9.wav: open: "))) << result.failed[0].toStdString();
  const std::string text = RecordingRecovery::Message(result);
  EXPECT_NE(text.find("无法修复"), std::string::npos) << text;
  EXPECT_EQ(text.find("已修复"), std::string::npos) << "names only files actually repaired: " << text;
  EXPECT_EQ(Journal().Read().names, QStringList{QStringLiteral("录音9.wav")}) << "kept for the next try";
}

// A copy of the file `encoder` writes after 2 s of the test signal, taken while
// it is still open: what a killed recording leaves.
std::vector<uint8_t> KilledCompressed(Encoder& encoder, const fs::path& scratch) {
  const auto signal = TestSignal(44100, 2, 2.0);
  const auto path = scratch / ("running." + encoder.Extension());
  EXPECT_EQ(encoder.EncoderInit(44100, 2, path.string()), ENC_OK);
  int32_t used = 0;
  for (size_t at = 0; at < signal.size(); at += 8820) EXPECT_EQ(encoder.Encode(signal.data() + at, 17640, used), ENC_OK);
  auto bytes = ReadBytes(path);
  encoder.EncoderClose();
  return bytes;
}

// A killed FLAC recording gets its total length; killed Ogg Opus and MP3 files
// need no mend (readers find their length in what was written): left as they
// are, and their entries leave the journal.
TEST_F(RecordingRecoveryTest, MendsAKilledFlacAndSettlesOpusAndMp3AsTheyAre) {
  EncoderFLAC flac;
  EncoderOpus opus;
  EncoderMP3 mp3;
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> killed = {
      {"录音1.flac", KilledCompressed(flac, Dir())},
      {"录音2.opus", KilledCompressed(opus, Dir())},
      {"录音3.mp3", KilledCompressed(mp3, Dir())}};
  for (const auto& [name, bytes] : killed) WriteBytes(Output() / name, bytes);
  Journalled({"录音1.flac", "录音2.opus", "录音3.mp3"});

  const auto result = RecordingRecovery::Scan(Journal());
  EXPECT_EQ(result.recovered, QStringList{QStringLiteral("录音1.flac")});
  EXPECT_TRUE(result.failed.isEmpty());
  EXPECT_TRUE(Journal().Read().names.isEmpty());
  EXPECT_EQ(ReadBytes(Output() / "录音2.opus"), killed[1].second);
  EXPECT_EQ(ReadBytes(Output() / "录音3.mp3"), killed[2].second);
  EXPECT_EQ(ReadBytes(Output() / "录音1.flac").size(), killed[0].second.size()) << "only the total is written";
  // The stated length is what the file holds: exact for FLAC, within a codec frame (two for MP3's delay) otherwise.
  for (const auto& [name, tolerance] : {std::pair{"录音1.flac", 1e-6}, {"录音2.opus", 0.02}, {"录音3.mp3", 2 * 1152.0 / 44100}}) {
    const auto probe = ProbeWithFfprobe(Output() / name);
    const auto decoded = DecodeWithFfmpeg(Output() / name);
    ASSERT_TRUE(probe.has_value() && decoded.has_value()) << name;
    EXPECT_GT(decoded->size(), 44100u) << name;
    EXPECT_NEAR(probe->duration, static_cast<double>(decoded->size()) / 2 / probe->rate, tolerance) << name;
  }
}

// The real window (safety_driver) records, stops, and starts again: a clean
// stop clears the journal, and a tag chunk added in between is not absorbed.
TEST_F(RecordingRecoveryTest, FinishedRecordingWithATagChunkSurvivesTheNextStart) {
  ASSERT_TRUE(EnsurePulseServer());
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("recovery_tag"), 44100, 2, "Pipe-Tag");
  ASSERT_TRUE(feeder.Loaded());
  fs::path file;
  {
    DriverProcess driver(Dir().string());
    ASSERT_TRUE(driver.WaitFor("READY").has_value());
    driver.Send("select Pipe-Tag");
    ASSERT_TRUE(driver.WaitFor("SELECTED").has_value());
    driver.Send("start");
    const auto state = driver.WaitFor("STATE recording ");
    ASSERT_TRUE(state.has_value());
    file = state->substr(std::string("STATE recording ").size());
    feeder.FeedContinuously(1.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // The caption turns as the start is handed over; the entry is written once the file is open.
    EXPECT_EQ(Journal().Read().names, QStringList{QString::fromStdString(file.filename().string())});
    driver.Send("stop");
    ASSERT_TRUE(driver.WaitFor("STATE idle").has_value());
    EXPECT_TRUE(driver.Quit());
  }
  feeder.StopFeeding();
  EXPECT_TRUE(Journal().Read().names.isEmpty()) << "a clean stop leaves its entry behind";

  // A tag editor appends an INFO list and sets the RIFF size; then a crash
  // elsewhere leaves the entry in the journal again.
  auto tagged = ReadBytes(file);
  const std::string list("LIST\x0e\0\0\0INFOINAM\x02\0\0\0A\0", 22);
  tagged.insert(tagged.end(), list.begin(), list.end());
  PutU32(tagged, 4, static_cast<uint32_t>(tagged.size() - 8));
  WriteBytes(file, tagged);
  Journalled({file.filename().string().c_str()});

  DriverProcess next(Dir().string());
  ASSERT_TRUE(next.WaitFor("READY").has_value());
  EXPECT_TRUE(next.Messages().empty()) << next.Messages().front();
  EXPECT_TRUE(next.Quit());
  EXPECT_EQ(ReadBytes(file), tagged);
  EXPECT_TRUE(Journal().Read().names.isEmpty());
}

// A whole file another program streamed to a pipe: sizes or total unknown by design.
std::vector<uint8_t> StreamedByFfmpeg(const std::string& format) {
  const auto streamed = RunShellCommand("ffmpeg -v error -f lavfi -i sine=d=1 -ac 2 -f " + format + " pipe:1");
  EXPECT_EQ(streamed.exitCode, 0);
  return {streamed.output.begin(), streamed.output.end()};
}

// Finished files of other writers under numbered names, each journalled with
// its own identity: none has a layout our writer leaves, none is touched.
TEST_F(RecordingRecoveryTest, FinishedFilesOfOtherWritersStayByteForByteAndLeaveTheJournal) {
  auto finished = KilledRecording(Dir(), 3);
  PutU32(finished, 4, static_cast<uint32_t>(finished.size() - 8));
  PutU32(finished, 42, static_cast<uint32_t>(finished.size() - 46));
  auto tagged = finished;  // an ID3v1 tag appended
  std::string tag = "TAGA title";
  tag.resize(128, ' ');
  tagged.insert(tagged.end(), tag.begin(), tag.end());
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
      {"录音1.wav", tagged}, {"录音3.wav", StreamedByFfmpeg("wav")}, {"录音4.flac", StreamedByFfmpeg("flac")}};
  for (const auto& [name, bytes] : files) WriteBytes(Output() / name, bytes);
  Journalled({"录音1.wav", "录音3.wav", "录音4.flac"});
  ASSERT_EQ(Journal().Read().names.size(), 3);

  EXPECT_TRUE(RecordingRecovery::Scan(Journal()).Empty());
  for (const auto& [name, bytes] : files) EXPECT_EQ(ReadBytes(Output() / name), bytes) << name;
  EXPECT_TRUE(Journal().Read().names.isEmpty());
}

// A quiet input killed after its last header refresh leaves zeros past the
// sizes: its own silence, mended like any audio, so the file keeps the length
// of the take's other files.
TEST_F(RecordingRecoveryTest, AJournalledRecordingEndingInSilenceIsMendedToItsWholeLength) {
  auto killed = KilledRecording(Dir(), 3);
  PutU32(killed, 4, static_cast<uint32_t>(killed.size() - 8));
  PutU32(killed, 42, static_cast<uint32_t>(killed.size() - 46));
  killed.resize(killed.size() + 17640, 0);  // a block of silence after the refresh
  WriteBytes(Output() / "录音1.wav", killed);
  Journalled({"录音1.wav"});

  EXPECT_EQ(RecordingRecovery::Scan(Journal()).recovered, QStringList{"录音1.wav"});
  EXPECT_EQ(SoxSampleCount(Output() / "录音1.wav"), 4 * 4410);
}

// A killed recording of ours, but the journalled name no longer leads to the
// file the recording opened: replaced by a copy (another inode), rewritten in
// place by another program (another header), or named by a journal of the
// older format (nothing to prove it by). Left alone; the entries go.
TEST_F(RecordingRecoveryTest, OnlyTheFileTheRecordingOpenedIsMended) {
  const auto killed = KilledRecording(Dir(), 3);
  for (const char* name : {"录音1.wav", "录音2.wav", "录音3.wav"}) WriteBytes(Output() / name, killed);
  Journalled({"录音1.wav", "录音2.wav"});
  WriteBytes(Dir() / "copy.wav", killed);
  fs::rename(Dir() / "copy.wav", Output() / "录音1.wav");
  auto rewritten = killed;
  PutU32(rewritten, 24, 48000);  // another rate
  WriteBytes(Output() / "录音2.wav", rewritten);
  std::ofstream(JournalPath(), std::ios::app) << "录音3.wav\n";
  ASSERT_EQ(Journal().Read().names.size(), 3);

  EXPECT_TRUE(RecordingRecovery::Scan(Journal()).Empty());
  EXPECT_EQ(ReadBytes(Output() / "录音1.wav"), killed);
  EXPECT_EQ(ReadBytes(Output() / "录音2.wav"), rewritten);
  EXPECT_EQ(ReadBytes(Output() / "录音3.wav"), killed);
  EXPECT_TRUE(Journal().Read().names.isEmpty());
}

// Files a kill left on the way to a tagged take or a cut go at the next start,
// told to nobody, while their name leads to the very file noted; a file or a
// link put in their place stays.
TEST_F(RecordingRecoveryTest, PendingFilesAKillLeftAreRemovedOnlyWhileStillTheFileNoted) {
  const fs::path left = Output() / ".录音2.flac.4242.tagging";
  const fs::path replaced = Output() / "录音2 (剪辑).flac";
  const fs::path linked = Output() / "录音3 (剪辑).flac";
  for (const fs::path& file : {left, replaced, linked}) {
    WriteBytes(file, {1, 2, 3});
    const int fd = ::open(file.c_str(), O_RDONLY);
    Journal().BeginPending(file.string(), fd);
    ::close(fd);
  }
  WriteBytes(Dir() / "other", {4, 5});
  fs::rename(Dir() / "other", replaced);  // made before the noted one went: another inode
  fs::remove(linked);
  fs::create_symlink(replaced, linked);
  ASSERT_EQ(Journal().Read().names.size(), 3);

  const auto result = RecordingRecovery::Scan(Journal());
  EXPECT_TRUE(result.Empty()) << RecordingRecovery::Message(result);
  EXPECT_EQ(result.discarded, QStringList{QString::fromStdString(left.filename().string())});
  EXPECT_FALSE(fs::exists(left));
  EXPECT_EQ(ReadBytes(replaced), (std::vector<uint8_t>{4, 5}));
  EXPECT_TRUE(fs::is_symlink(linked));
  EXPECT_TRUE(Journal().Read().names.isEmpty());
}

// Recordings the user named, in any folder, are journalled by their full path
// and mended like numbered ones.
TEST_F(RecordingRecoveryTest, RecordingsTheUserNamedAreMendedInAnyFolder) {
  const auto folder = Dir() / "my takes";
  fs::create_directories(folder);
  const auto wav = folder / "interview 1.wav";
  const auto flac = folder / "concert.flac";
  WriteBytes(wav, KilledRecording(Dir(), 7));
  EncoderFLAC encoder;
  WriteBytes(flac, KilledCompressed(encoder, Dir()));
  ASSERT_EQ(Journal().Begin(wav.string()), "");
  ASSERT_EQ(Journal().Begin(flac.string()), "");

  const auto result = RecordingRecovery::Scan(Journal());
  EXPECT_EQ(result.recovered, (QStringList{QString::fromStdString(wav.string()), QString::fromStdString(flac.string())}));
  EXPECT_EQ(SoxSampleCount(wav), 7 * 8820 / 2);
  const auto probe = ProbeWithFfprobe(flac);
  const auto decoded = DecodeWithFfmpeg(flac);
  ASSERT_TRUE(probe.has_value() && decoded.has_value());
  EXPECT_NEAR(probe->duration, static_cast<double>(decoded->size()) / 2 / 44100, 1e-6);
  EXPECT_NE(RecordingRecovery::Message(result).find(wav.string()), std::string::npos);
  EXPECT_TRUE(Journal().Read().names.isEmpty());
}

// A FIFO put in place of a journalled recording is never opened: a writer
// waiting on it stays waiting, and what it then writes reaches its own reader.
TEST_F(RecordingRecoveryTest, AFifoInPlaceOfARecordingIsNeverOpened) {
  const auto path = Output() / "录音5.flac";
  EncoderFLAC encoder;
  WriteBytes(path, KilledCompressed(encoder, Dir()));
  Journalled({"录音5.flac"});
  fs::remove(path);
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(watch, path.c_str(), IN_OPEN), 0);
  const std::string data = "the writer's data";
  std::thread writer([&] {
    sigset_t pipeSignal;  // a vanished reader fails the write instead of ending the test
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);  // waits for a reader
    if (fd >= 0 && ::write(fd, data.data(), data.size()) >= 0) ::close(fd);
  });

  EXPECT_TRUE(RecordingRecovery::Scan(Journal()).Empty());
  std::array<char, 256> events{};
  EXPECT_LT(::read(watch, events.data(), events.size()), 0) << "the FIFO was opened";
  ::close(watch);
  const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  writer.join();
  std::array<char, 64> received{};
  const ssize_t got = ::read(reader, received.data(), received.size());
  ::close(reader);
  EXPECT_EQ(std::string(received.data(), std::max<ssize_t>(got, 0)), data);
  EXPECT_TRUE(Journal().Read().names.isEmpty());
}

// An Ogg Opus or MP3 recording killed before its first audio page or frame
// reached the file holds its headers only, which nothing decodes: the next
// start removes it and says so.
TEST_F(RecordingRecoveryTest, RecordingsKilledBeforeTheirFirstAudioAreRemovedAndNamed) {
  EncoderSelection encoders;
  const auto killedEarly = [&](EncoderSelection::FileType type, const char* name, double seconds) {
    encoders.Type(type);
    const auto running = Dir() / ("running." + encoders.Extension());
    ASSERT_EQ(encoders.EncoderInit(44100, 2, running.string()), ENC_OK);
    const auto signal = TestSignal(44100, 2, seconds);
    int32_t used = 0;
    if (!signal.empty()) {
      ASSERT_EQ(encoders.Encode(signal.data(), static_cast<int32_t>(signal.size() * 2), used), ENC_OK);
    }
    fs::copy_file(running, Output() / name);
    encoders.EncoderClose();
    const auto decoded = DecodeWithFfmpeg(Output() / name);
    EXPECT_TRUE(!decoded || decoded->empty()) << name << " holds audio after all";
  };
  killedEarly(EncoderSelection::TYPE_OPUS, "录音1.opus", 0.3);
  killedEarly(EncoderSelection::TYPE_MP3, "录音2.mp3", 0);
  Journalled({"录音1.opus", "录音2.mp3"});

  const auto result = RecordingRecovery::Scan(Journal());
  EXPECT_EQ(result.removed, (QStringList{QStringLiteral("录音1.opus"), QStringLiteral("录音2.mp3")}));
  EXPECT_TRUE(result.recovered.isEmpty() && result.failed.isEmpty());
  EXPECT_FALSE(fs::exists(Output() / "录音1.opus"));
  EXPECT_FALSE(fs::exists(Output() / "录音2.mp3"));
  EXPECT_TRUE(Journal().Read().names.isEmpty());
  const std::string text = RecordingRecovery::Message(result);
  EXPECT_NE(text.find("已删除:\n录音1.opus\n录音2.mp3"), std::string::npos) << text;
}

}  // namespace
