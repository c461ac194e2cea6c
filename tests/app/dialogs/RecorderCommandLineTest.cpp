// The verbs of the command line (--start, --stop, --pause, --resume, --toggle,
// --status) against a running copy of the real program under the offscreen
// platform, recording from a private audio daemon: exit status, the one-line
// answers and refusals, and a start with nothing running, which becomes the
// program and records exactly the duration asked for; verbs that take longer
// than a second (slow syncs) run once, and a start-up message box holds up no
// verb. Then recording without a window: an exact duration from a fed source,
// and SIGTERM mid-recording.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <memory>

#include "tests/support/PipeSourceFeeder.h"
#include "tests/support/PrivatePulseDaemon.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Answer {
  int status = -1;
  std::string out, err;
};

class RecorderCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(daemon_.Running()) << daemon_.Log();
    ASSERT_TRUE(QFile::copy(TAMBLIN_EXECUTABLE, executable_));
    environment_.insert("QT_QPA_PLATFORM", "offscreen");
    environment_.insert("XDG_RUNTIME_DIR", runtime_.path());
    environment_.insert("PULSE_SERVER", QString::fromStdString(daemon_.Server()));
  }
  void TearDown() override {
    if (program_ && program_->state() != QProcess::NotRunning) {
      program_->kill();
      program_->waitForFinished(5000);
    }
  }

  Answer Ask(const QStringList& arguments) {
    QProcess asking;
    asking.setProcessEnvironment(environment_);
    asking.start(executable_, arguments);
    if (!asking.waitForFinished(60000)) asking.kill();
    return {asking.exitStatus() == QProcess::NormalExit ? asking.exitCode() : -1,
            asking.readAllStandardOutput().trimmed().toStdString(),
            asking.readAllStandardError().trimmed().toStdString()};
  }
  void StartProgram(const QStringList& arguments = {},
                    QProcess::ProcessChannelMode channels = QProcess::ForwardedErrorChannel) {
    program_ = std::make_unique<QProcess>();
    program_->setProcessEnvironment(environment_);
    program_->setProcessChannelMode(channels);
    program_->start(executable_, arguments);
    ASSERT_TRUE(program_->waitForStarted(10000));
  }
  // The status line once it holds `text` (a guard against hangs, not a speed requirement).
  std::string StatusHolding(const std::string& text) {
    const QDeadlineTimer deadline(60000);
    std::string line;
    while (!deadline.hasExpired()) {
      const Answer status = Ask({"--status"});
      line = status.out;
      if (status.status == 0 && line.find(text) != std::string::npos) return line;
      QThread::msleep(100);
    }
    ADD_FAILURE() << "no status with " << text << ", last: " << line;
    return line;
  }
  static QString FileOf(const std::string& status) {
    const size_t from = status.find("文件 ") + std::string("文件 ").size();
    const size_t to = status.rfind(", 输入丢失");
    return QString::fromStdString(status.substr(from, to - from));
  }
  // Standard output of the program until it holds `text`.
  QByteArray OutputHolding(const QByteArray& text) {
    QByteArray output;
    const QDeadlineTimer deadline(60000);
    while (!output.contains(text) && !deadline.hasExpired() && program_->state() == QProcess::Running) {
      program_->waitForReadyRead(100);
      output += program_->readAllStandardOutput();
    }
    return output;
  }
  static int64_t SampleCount(const QString& file) {
    QProcess soxi;
    soxi.start("soxi", {"-s", file});
    return soxi.waitForFinished(20000) ? soxi.readAllStandardOutput().trimmed().toLongLong() : -1;
  }
  bool EndsCleanly() {
    ::kill(static_cast<pid_t>(program_->processId()), SIGTERM);
    return program_->waitForFinished(30000) && program_->exitStatus() == QProcess::NormalExit &&
           program_->exitCode() == 0;
  }

  PrivatePulseDaemon daemon_{true};
  QTemporaryDir runtime_, folder_;
  const QString executable_ = folder_.path() + "/tamblin";
  QProcessEnvironment environment_ = QProcessEnvironment::systemEnvironment();
  std::unique_ptr<QProcess> program_;
};

TEST_F(RecorderCommandLineTest, EveryVerbAnswersWithItsStatusAndARefusalSaysWhy) {
  const Answer none = Ask({"--status"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("没有在运行"));
  EXPECT_EQ(Ask({"--for", "5"}).status, 1);  // only with --start
  EXPECT_EQ(Ask({"--start", "--for", "5 m"}).status, 1);
  EXPECT_EQ(Ask({"--stop", "--pause"}).status, 1);

  StartProgram();
  StatusHolding("空闲");
  const auto refused = [&](const QStringList& arguments, const std::string& reason) {
    const Answer answer = Ask(arguments);
    EXPECT_EQ(answer.status, 1) << arguments.join(' ').toStdString();
    EXPECT_THAT(answer.err, HasSubstr(reason)) << arguments.join(' ').toStdString();
    EXPECT_EQ(answer.err.find('\n'), std::string::npos);
  };
  refused({"--stop"}, "没有可停止的录音");
  refused({"--pause"}, "没有可暂停的录音");
  refused({"--resume"}, "没有可继续的录音");
  refused({"--mark"}, "没有正在进行的录音");
  // An unknown device: the names that would work, on the one line.
  refused({"--start", "--device", "no-such-source"}, "找不到设备 \"no-such-source\", 可用: ");
  refused({"--start", "--device", "no-such-source"}, "tamblin_tone (Test-Tone-440Hz)");
  // No device chosen yet: the recorder's own message comes back, and no box is left waiting on the window.
  const Answer unchosen = Ask({"--start"});
  EXPECT_EQ(unchosen.status, 1);
  EXPECT_THAT(unchosen.err, HasSubstr("没有选择硬件设备"));
  StatusHolding("空闲");

  const Answer started = Ask({"--start", "--device", "Test-Tone-440Hz", "--type", "flac"});
  EXPECT_EQ(started.status, 0) << started.err;
  refused({"--start"}, "录音已在进行中");
  const std::string recording = StatusHolding("录音中");
  const QString file = FileOf(recording);
  EXPECT_TRUE(file.endsWith(".flac")) << recording;
  EXPECT_EQ(Ask({"--mark", "Intro", QString::fromUtf8("part\v\u2028end")}).status, 0);
  EXPECT_EQ(Ask({"--pause"}).status, 0);
  refused({"--pause"}, "录音已暂停");
  StatusHolding("已暂停");
  EXPECT_EQ(Ask({"--resume"}).status, 0);
  refused({"--resume"}, "录音没有暂停");
  EXPECT_EQ(Ask({"--stop"}).status, 0);
  EXPECT_EQ(FileOf(StatusHolding("监听中")), file);
  QFile flac(file);
  ASSERT_TRUE(flac.open(QIODevice::ReadOnly)) << file.toStdString();
  EXPECT_EQ(flac.read(4), QByteArray("fLaC"));
  EXPECT_GT(flac.size(), 4096);
  // The markers, in the order they came, in the label file beside the recording.
  QFile labels(file.chopped(5) + ".txt");
  ASSERT_TRUE(labels.open(QIODevice::ReadOnly)) << labels.fileName().toStdString();
  const QString labelText = QString::fromUtf8(labels.readAll());
  EXPECT_TRUE(labelText.contains(QRegularExpression("^[0-9.]+\t[0-9.]+\tIntro part  end\n[0-9.]+\t[0-9.]+\t暂停\n"
                                                    "[0-9.]+\t[0-9.]+\t继续\n$")))
      << labelText.toStdString();

  // The same device and type stay chosen for the button's own start.
  EXPECT_EQ(Ask({"--toggle"}).status, 0);
  const QString second = FileOf(StatusHolding("录音中"));
  EXPECT_NE(second, file);
  EXPECT_TRUE(second.endsWith(".flac"));
  EXPECT_EQ(Ask({"--toggle"}).status, 0);
  StatusHolding("监听中");
  EXPECT_TRUE(EndsCleanly());
}

TEST_F(RecorderCommandLineTest, ASecondDeviceAndTheTracksAreListedReadAndRefusedWhenWrong) {
  const Answer help = Ask({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("--tracks <mix|separate|both>"));
  EXPECT_THAT(help.out, HasSubstr("第二输入"));
  const auto refused = [&](const QStringList& arguments, const std::string& reason) {
    const Answer answer = Ask(arguments);
    EXPECT_EQ(answer.status, 1) << arguments.join(' ').toStdString();
    EXPECT_THAT(answer.err, HasSubstr(reason)) << arguments.join(' ').toStdString();
  };
  refused({"--start", "--device", "a", "--device", "b", "--device", "c"}, "--device");
  refused({"--start", "--device", "a", "--device", "b", "--tracks", "sideways"}, "\"sideways\"");
  refused({"--tracks", "mix"}, "--tracks");
  refused({"--no-window", "--device", "tamblin_tone", "--tracks", "both"}, "--tracks");
  // Without a window an unknown second device is refused as the first is, with the names that would work.
  const Answer unknown = Ask({"--no-window", "--device", "tamblin_tone", "--device", "no-such-second"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_THAT(unknown.err, HasSubstr("找不到设备 \"no-such-second\""));
  EXPECT_THAT(unknown.err, HasSubstr("tamblin_tone (Test-Tone-440Hz)"));

  // The running copy hears the second device through the socket.
  StartProgram();
  StatusHolding("空闲");
  const Answer unknownThere = Ask({"--start", "--device", "tamblin_tone", "--device", "no-such-second"});
  EXPECT_EQ(unknownThere.status, 1);
  EXPECT_THAT(unknownThere.err, HasSubstr("找不到设备 \"no-such-second\", 可用: "));
  StatusHolding("空闲");
  EXPECT_TRUE(EndsCleanly());
}

TEST_F(RecorderCommandLineTest, AStartWithNothingRunningBecomesTheProgramAndRecordsExactlyTheDuration) {
  constexpr int32_t kRate = 44100;  // the window's default rate, stereo
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("for"), kRate, 2, "Pipe-For");
  ASSERT_TRUE(feeder.Loaded());
  StartProgram({"--start", "--device", QString::fromStdString(feeder.SourceName()), "--type", "wav", "--for", "2s"});
  const QString file = FileOf(StatusHolding("录音中"));

  // Exactly two seconds of input, nothing after it.
  std::vector<int16_t> samples(size_t(2) * kRate * 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i % 20000);
  feeder.Feed(samples, 4.0);
  EXPECT_THAT(StatusHolding("监听中"), Not(HasSubstr("0:00")));
  feeder.WaitFed();

  EXPECT_EQ(SampleCount(file), 2 * kRate) << file.toStdString();
  EXPECT_TRUE(EndsCleanly());
}

// The test tone comes in blocks of about two seconds: a duration shorter than
// the first block still ends exactly there, without a window and with one.
TEST_F(RecorderCommandLineTest, ADurationShorterThanTheFirstBlockIsExact) {
  const QString terminal = folder_.path() + "/short.wav";
  const Answer done = Ask({"--no-window", "--device", "Test-Tone-440Hz", "--for", "1", terminal});
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_EQ(SampleCount(terminal), 44100);
  // Over before the progress line could see it run, and still named.
  EXPECT_NE(done.out.find("录音文件: " + terminal.toStdString() + " "), std::string::npos) << done.out;
  const QDir numbered(folder_.path() + "/file");
  EXPECT_EQ(numbered.entryList(QDir::Files), QStringList{}) << "a named take makes no numbered file";

  StartProgram();
  StatusHolding("空闲");
  const Answer started = Ask({"--start", "--device", "Test-Tone-440Hz", "--type", "wav", "--for", "1"});
  EXPECT_EQ(started.status, 0) << started.err;
  StatusHolding("监听中");  // over before a status could see it run; the chosen input stays open
  const QFileInfoList takes = QDir(folder_.path() + "/file").entryInfoList({"*.wav"}, QDir::Files);
  ASSERT_FALSE(takes.isEmpty());
  const auto take = std::max_element(takes.begin(), takes.end(), [](const auto& a, const auto& b) {
    return a.size() < b.size();
  });
  EXPECT_EQ(SampleCount(take->filePath()), 44100) << take->filePath().toStdString();
  EXPECT_TRUE(EndsCleanly());
  EXPECT_EQ(numbered.entryList(QDir::Files), QStringList{"录音0.wav"})
      << "the named take used no number, and nothing empty is left for the next one";
}

// Every sync takes 1.5 s, so a start and a pause take longer than the request
// line may: each verb runs once and says so, and the state follows it.
TEST_F(RecorderCommandLineTest, VerbsThatTakeLongerThanTheRequestLineRunOnce) {
  QProcessEnvironment slow = environment_;
  slow.insert("LD_PRELOAD", TAMBLIN_SLOW_SYNC_PRELOAD);
  slow.insert("TAMBLIN_SYNC_DELAY_MS", "1500");
  std::swap(environment_, slow);
  StartProgram();
  std::swap(environment_, slow);
  StatusHolding("空闲");
  const Answer started = Ask({"--start", "--device", "Test-Tone-440Hz"});
  EXPECT_EQ(started.status, 0) << started.err;
  EXPECT_EQ(started.out, "已开始录音");
  const QString file = FileOf(StatusHolding("录音中"));
  const Answer paused = Ask({"--pause"});
  EXPECT_EQ(paused.status, 0) << paused.err;
  StatusHolding("已暂停");
  EXPECT_EQ(Ask({"--resume"}).status, 0);
  EXPECT_EQ(Ask({"--toggle"}).status, 0);
  EXPECT_EQ(FileOf(StatusHolding("监听中")), file);
  QFile labels(file.chopped(4) + ".txt");
  ASSERT_TRUE(labels.open(QIODevice::ReadOnly)) << labels.fileName().toStdString();
  const QString labelText = QString::fromUtf8(labels.readAll());
  EXPECT_TRUE(labelText.contains(QRegularExpression("^[0-9.]+\t[0-9.]+\t暂停\n[0-9.]+\t[0-9.]+\t继续\n$")))
      << labelText.toStdString();
  EXPECT_TRUE(EndsCleanly());
}

// A journal that cannot be read: the start-up repair's box waits for an OK
// nobody gives, yet verbs are answered meanwhile, and a start that runs tells
// its caller the same warning.
TEST_F(RecorderCommandLineTest, AStartUpMessageHoldsUpNoVerbAndAStartsWarningReachesItsCaller) {
  ASSERT_TRUE(QDir(folder_.path()).mkdir("recording.journal"));
  StartProgram();
  StatusHolding("空闲");
  const Answer started = Ask({"--start", "--device", "Test-Tone-440Hz"});
  EXPECT_EQ(started.status, 0) << started.err;
  EXPECT_THAT(started.out, HasSubstr("已开始录音"));
  EXPECT_THAT(started.out, HasSubstr("无法读取录音日志"));
  StatusHolding("录音中");
  EXPECT_EQ(Ask({"--stop"}).status, 0);
  StatusHolding("监听中");
  EXPECT_TRUE(EndsCleanly());
}

TEST_F(RecorderCommandLineTest, WithoutAWindowAFedSourceIsRecordedForExactlyTheDuration) {
  constexpr int32_t kRate = 44100;
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("nowin"), kRate, 2, "Pipe-No-Window");
  ASSERT_TRUE(feeder.Loaded());
  const QString file = folder_.path() + "/take.wav";
  StartProgram({"--no-window", "--device", QString::fromStdString(feeder.SourceName()), "--for", "3", file});
  const QByteArray output = OutputHolding(" dB");
  EXPECT_TRUE(output.startsWith('\r'));  // the progress line, rewritten in place

  std::vector<int16_t> samples(size_t(3) * kRate * 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i % 30000 - 15000);
  feeder.Feed(samples, 4.0);
  ASSERT_TRUE(program_->waitForFinished(60000));
  feeder.WaitFed();
  EXPECT_EQ(program_->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program_->exitCode(), 0);
  EXPECT_EQ(SampleCount(file), 3 * kRate);
  // The file first, and at the end what was recorded.
  const QString printed = QString::fromUtf8(output + program_->readAllStandardOutput());
  EXPECT_TRUE(printed.contains("\r录音文件: " + file + " ")) << printed.toStdString();
  const auto summary = QRegularExpression("长度 3\\.000 秒, 大小 (\\d+) KB, 输入丢失 0, 综合响度 -\\d+\\.\\d LUFS").match(printed);
  ASSERT_TRUE(summary.hasMatch()) << printed.toStdString();
  EXPECT_EQ(summary.captured(1).toLongLong(), std::llround(QFileInfo(file).size() / 1024.0));
  QFile journal(folder_.path() + "/recording.journal");
  const QByteArray entries = journal.open(QIODevice::ReadOnly) ? journal.readAll() : QByteArray();
  EXPECT_FALSE(entries.contains("take.wav")) << "a finished recording leaves nothing to repair";
}

// Exactly `seconds` of 44100 Hz stereo: quiet (about -50 dBFS) but for loud
// bursts [from, to) in seconds.
std::vector<int16_t> QuietWithBursts(double seconds, const std::vector<std::pair<double, double>>& bursts) {
  std::vector<int16_t> samples(static_cast<size_t>(seconds * 44100) * 2);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i % 199) - 99;
  for (const auto& [from, to] : bursts) {
    for (auto i = static_cast<size_t>(from * 44100) * 2; i < static_cast<size_t>(to * 44100) * 2; ++i) {
      samples[i] = static_cast<int16_t>((i * 7919) % 40000) - 20000;
    }
    samples[static_cast<size_t>(from * 44100) * 2] = -20000;  // the onset is the burst's first frame
  }
  return samples;
}

// The hands-free options without a window, at the page's defaults: a take
// with the default 2 s of pre-roll, and the hang's silence after it; a new
// file every minute; values outside the page's limits refused with the reason.
TEST_F(RecorderCommandLineTest, WithoutAWindowSoundActivationAndSplittingWorkAsOnThePage) {
  constexpr int32_t kRate = 44100;
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("gate"), kRate, 2, "Pipe-Gate");
  ASSERT_TRUE(feeder.Loaded());
  const QString device = QString::fromStdString(feeder.SourceName());
  const QString take = folder_.path() + "/take.wav";
  const auto refused = [&](const QStringList& options, const std::string& reason) {
    const Answer answer = Ask(QStringList{"--no-window", "--device", device} + options + QStringList{take});
    EXPECT_EQ(answer.status, 1) << options.join(' ').toStdString();
    EXPECT_THAT(answer.err, HasSubstr(reason)) << options.join(' ').toStdString();
  };
  refused({"--sound-activated", "--pre-roll", "30.5"}, "--pre-roll 必须在 0 到 30 之间");
  refused({"--sound-activated", "--hang", "0"}, "--hang 必须在 0.1 到 600 之间");
  refused({"--sound-activated", "--threshold", "-91"}, "--threshold 必须在 -90 到 0 之间");
  refused({"--sound-activated", "--after-silence", "stop"}, "pause 或 new-file");
  refused({"--threshold=-30"}, "需要 --sound-activated");
  refused({"--split", "0"}, "--split 必须在 1 到 1440 之间");
  EXPECT_FALSE(QFile::exists(take));
  EXPECT_EQ(Ask({"--start", "--sound-activated"}).status, 1) << "only without a window";

  // One burst at 2.5 .. 3 s; a 0.5 s hang ends its take at 3.5 s.
  StartProgram({"--no-window", "--device", device, "--sound-activated", "--hang", "0.5", "--after-silence",
                "new-file", "--for", "4", take});
  EXPECT_THAT(OutputHolding("等待声音").toStdString(), HasSubstr("等待声音"));
  feeder.Feed(QuietWithBursts(4.0, {{2.5, 3.0}}), 4.0);
  ASSERT_TRUE(program_->waitForFinished(60000));
  feeder.WaitFed();
  EXPECT_EQ(program_->exitCode(), 0);
  EXPECT_EQ(SampleCount(take), 3 * kRate) << "2 s of pre-roll, 0.5 s of sound, 0.5 s of hang";

  const QString parts = folder_.path() + "/parts.wav";
  StartProgram({"--no-window", "--device", device, "--split", "1", "--for", "61", parts});
  std::vector<int16_t> minute(size_t(61) * kRate * 2);
  for (size_t i = 0; i < minute.size(); ++i) minute[i] = static_cast<int16_t>(i % 30000 - 15000);
  feeder.Feed(minute, 8.0);
  ASSERT_TRUE(program_->waitForFinished(60000));
  feeder.WaitFed();
  EXPECT_EQ(program_->exitCode(), 0);
  EXPECT_EQ(SampleCount(parts), 60 * kRate);
  EXPECT_EQ(SampleCount(folder_.path() + "/parts (2).wav"), kRate);
}

// The name's extension decides the type; a --type that differs is refused
// and nothing is written. An input that stops before --for is over ends the
// recording on the clock with what was received, saying so, and a start of
// the window's copy the same.
TEST_F(RecorderCommandLineTest, WithoutAWindowTheNameDecidesTheTypeAndAStoppedInputEndsTheRecording) {
  constexpr int32_t kRate = 44100;
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("named"), kRate, 2, "Pipe-Named");
  ASSERT_TRUE(feeder.Loaded());
  const QString device = QString::fromStdString(feeder.SourceName());
  const Answer mismatch = Ask({"--no-window", "--device", device, "--type", "mp3", folder_.path() + "/x.wav"});
  EXPECT_EQ(mismatch.status, 1);
  EXPECT_THAT(mismatch.err, HasSubstr("不符"));
  EXPECT_FALSE(QFile::exists(folder_.path() + "/x.wav"));

  // One second fed of the three asked for.
  const QString flac = folder_.path() + "/x.flac";
  StartProgram({"--no-window", "--device", device, "--for", "3", flac}, QProcess::SeparateChannels);
  std::vector<int16_t> second(size_t(kRate) * 2);
  for (size_t i = 0; i < second.size(); ++i) second[i] = static_cast<int16_t>(i % 30000 - 15000);
  feeder.Feed(second, 4.0);
  ASSERT_TRUE(program_->waitForFinished(60000)) << "the clock ends it";
  feeder.WaitFed();
  EXPECT_EQ(program_->exitCode(), 1) << "the recording is shorter than asked";
  EXPECT_THAT(program_->readAllStandardError().toStdString(), HasSubstr("输入已停止"));
  QFile file(flac);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.read(4), QByteArray("fLaC"));
  EXPECT_EQ(SampleCount(flac), kRate) << "everything received";

  StartProgram({"--start", "--device", device, "--for", "3"});
  const QString window = FileOf(StatusHolding("录音中"));
  feeder.Feed(second, 4.0);
  StatusHolding("监听中");
  feeder.WaitFed();
  EXPECT_EQ(SampleCount(window), kRate) << window.toStdString();
}

// A terminal recording opens its input at its start, so it has nothing from
// before it to begin with: --pre-record is refused, saying what to use instead.
TEST_F(RecorderCommandLineTest, WithoutAWindowPreRecordIsRefusedWithTheReason) {
  const QString file = folder_.path() + "/pre.wav";
  const Answer refused = Ask({"--no-window", "--device", "Test-Tone-440Hz", "--pre-record", "5", "--for", "1", file});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("--pre-record"));
  EXPECT_THAT(refused.err, HasSubstr("--pre-roll"));
  EXPECT_FALSE(QFile::exists(file));
}

// Its progress read by a reader that goes away (`| head -c 50`): the progress
// stops, the recording goes on to its end.
TEST_F(RecorderCommandLineTest, WithoutAWindowAClosedOutputLeavesTheRecordingRunning) {
  constexpr int32_t kRate = 44100;
  PipeSourceFeeder feeder(PipeSourceFeeder::UniqueName("closed"), kRate, 2, "Pipe-Closed-Output");
  ASSERT_TRUE(feeder.Loaded());
  const QString file = folder_.path() + "/closed.wav";
  QProcess piped;
  piped.setProcessEnvironment(environment_);
  piped.start("bash", {"-c", R"("$0" "$@" | head -c 50 >/dev/null; exit "${PIPESTATUS[0]}")", executable_,
                       "--no-window", "--device", QString::fromStdString(feeder.SourceName()), "--for", "2", file});
  ASSERT_TRUE(piped.waitForStarted(10000));
  // Held in the pipe until the recording reads it.
  feeder.Feed(std::vector<int16_t>(size_t(2) * kRate * 2, 1234), 1.0);
  ASSERT_TRUE(piped.waitForFinished(60000));
  feeder.WaitFed();
  EXPECT_EQ(piped.exitCode(), 0) << piped.readAllStandardError().toStdString();
  EXPECT_EQ(SampleCount(file), 2 * kRate);
}

TEST_F(RecorderCommandLineTest, WithoutAWindowSigtermFinishesTheFile) {
  const QString file = folder_.path() + "/signalled.flac";
  StartProgram({"--no-window", "--device", "Test-Tone-440Hz", "--type", "flac", file});
  OutputHolding(" KB");  // the test tone comes in bursts of about two seconds
  // A copy with no window answers the verbs as the window's copy does, naming the file it writes.
  const Answer status = Ask({"--status"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_THAT(status.out, HasSubstr("录音中"));
  EXPECT_EQ(FileOf(status.out), file) << status.out;
  EXPECT_THAT(status.out, HasSubstr("类型 flac"));
  EXPECT_EQ(Ask({"--pause"}).status, 0);
  EXPECT_THAT(Ask({"--status"}).out, HasSubstr("已暂停"));
  const Answer resumed = Ask({"--resume"});
  EXPECT_EQ(resumed.status, 0) << resumed.err;
  EXPECT_EQ(Ask({"--start"}).status, 1) << "one recording at a time";
  EXPECT_TRUE(EndsCleanly());
  // Finished: the header counts the samples written, about one second of them and more.
  EXPECT_GE(SampleCount(file), 44100);
  QFile flac(file);
  ASSERT_TRUE(flac.open(QIODevice::ReadOnly));
  EXPECT_EQ(flac.read(4), QByteArray("fLaC"));

  // A device that is not there: refused with the reason and the names that work, nothing recorded.
  const Answer missing = Ask({"--no-window", "--device", "no-such-source", folder_.path() + "/none.wav"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("找不到设备 \"no-such-source\"\n"));
  EXPECT_THAT(missing.err, HasSubstr("\n  tamblin_tone (Test-Tone-440Hz)"));
  EXPECT_FALSE(QFile::exists(folder_.path() + "/none.wav"));
}

}  // namespace
