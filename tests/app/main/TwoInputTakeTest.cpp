// A take of two inputs: the files each layout makes (real WAV encoder, sox as
// the reader), markers and losses in every file, a second input that vanishes
// or never opens, parts with their companions, and the start-up repair of
// every file a killed two-input take left. The second input is scripted.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ScriptedSecondInput.h"
#include "TestDoubles.h"
#include "app/recording/RecordingJournal.h"
#include "app/recording/RecordingRecovery.h"
#include "encoding/EncoderSelection.h"
#include "encoding/EncoderWAV.h"
#include "mixing/TrackMix.h"
#include "tagging/WavMetadataReader.h"
#include "tests/encoding/AudioProbe.h"

namespace {

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Takes the reference out of the microphone, exactly.
class SubtractingCanceller : public EchoCanceller {
 public:
  void Process(std::span<int16_t> near, std::span<const int16_t> far) override {
    for (size_t i = 0; i < near.size(); ++i) near[i] = static_cast<int16_t>(near[i] - far[i]);
  }
  std::optional<double> DelayMs() const override { return std::nullopt; }
  int32_t LagFrames() const override { return 0; }  // sample for sample
};

class TwoInputTakeTest : public ::testing::Test, protected ControllerRigWith<EncoderSelection> {
 protected:
  using Marker = std::pair<int64_t, std::string>;
  static constexpr int32_t kBlockSamples = 4410;  // 50 ms of 44.1 kHz stereo
  static constexpr int kBlocks = 6;

  void SetUp() override {
    controller.SecondInputMakers([this] { return std::make_unique<ScriptedSecondInput>(script); },
                                 [this](int32_t rate, int16_t channels) -> std::unique_ptr<EchoCanceller> {
                                   cancellerFormats.emplace_back(rate, channels);
                                   return removeWith ? std::make_unique<SubtractingCanceller>() : nullptr;
                                 });
    second.sourceName = "monitor-of-speakers";
    second.removeComputerSound = false;
    for (int64_t i = 0; i < int64_t{kBlocks} * kBlockSamples; ++i) script.audio.push_back(static_cast<int16_t>(i * 13 % 20000 - 10000));
    WriteAll(folder.Path() + "/nu.ini", "1\r\n");
    controller.StartUp();
  }

  QString Numbered(int n, const char* suffix = "") const {
    return folder.Path() + "/file/录音" + QString::number(n) + suffix + ".wav";
  }

  // Starts a take with `second`, feeds `blocks` blocks of the first input
  // (`afterBlock` runs after each) and stops; returns what was fed.
  std::vector<int16_t> Record(int blocks, const std::function<void(int)>& afterBlock = {}) {
    controller.SecondInput(second);
    controller.Toggle();
    EXPECT_TRUE(capture.recording);
    std::vector<int16_t> fed;
    std::vector<int16_t> block(kBlockSamples);
    for (int b = 0; b < blocks; ++b) {
      for (size_t i = 0; i < block.size(); ++i) {
        block[i] = firstSilent ? int16_t{0} : static_cast<int16_t>((b * block.size() + i) * 7 % 24000 - 12000);
      }
      controller.GotData(block, kBlockSamples * 2);
      fed.insert(fed.end(), block.begin(), block.end());
      if (afterBlock) afterBlock(b);
    }
    if (capture.recording) controller.Toggle();
    return fed;
  }

  std::vector<int16_t> SecondFed(size_t samples) const { return {script.audio.begin(), script.audio.begin() + static_cast<ptrdiff_t>(samples)}; }

  static std::vector<int16_t> Decoded(const QString& path) {
    const auto samples = DecodeWithSox(Utf8(path));
    EXPECT_TRUE(samples.has_value()) << Utf8(path);
    return samples.value_or(std::vector<int16_t>{});
  }

  static TakeMetadata MetadataOf(const QString& path) {
    TakeMetadata metadata;
    EXPECT_EQ(WavMetadataReader::Read(Utf8(path), metadata), "") << Utf8(path);
    return metadata;
  }

  // The file's markers as frame and name.
  static std::vector<Marker> MarkersOf(const QString& path) {
    const TakeMetadata metadata = MetadataOf(path);
    std::vector<Marker> markers;
    for (const auto& marker : metadata.markers) markers.emplace_back(marker.frame, marker.name);
    return markers;
  }

  SecondInputScript script;
  SecondInputSettings second;
  bool removeWith = false;
  bool firstSilent = false;
  std::vector<std::pair<int32_t, int16_t>> cancellerFormats;
};

TEST_F(TwoInputTakeTest, SeparateFilesHoldEachInputSampleForSampleWithTheSameMarkers) {
  second.tracks = TrackLayout::Separate;
  const auto fed = Record(kBlocks, [&](int b) {
    if (b == 1) controller.AddMarker(INT64_MAX, "A");
    if (b == 2) EXPECT_EQ(RecordingJournal().Read().names, (QStringList{"录音1.wav", "录音1-2.wav"}));
  });

  EXPECT_EQ(script.openedSource, "monitor-of-speakers");
  EXPECT_EQ(script.openedRate, 44100);
  EXPECT_EQ(script.openedChannels, 2);
  EXPECT_TRUE(script.closed) << "closed at the stop";
  std::vector<int64_t> consecutive;
  for (int b = 0; b < kBlocks; ++b) consecutive.push_back(int64_t{b} * kBlockSamples / 2);
  EXPECT_EQ(script.pulledFrames, consecutive);

  EXPECT_EQ(Decoded(Numbered(1)), fed);
  EXPECT_EQ(Decoded(Numbered(1, "-2")), SecondFed(fed.size())) << "the same length to the sample";
  const std::vector<Marker> marked = {{2 * kBlockSamples / 2, "A"}};
  EXPECT_EQ(MarkersOf(Numbered(1)), marked);
  EXPECT_EQ(MarkersOf(Numbered(1, "-2")), marked);
  EXPECT_TRUE(RecordingJournal().Read().names.isEmpty()) << "both finished";
  EXPECT_EQ(view.outputFile, Utf8(Numbered(2)));
  EXPECT_FALSE(QFile::exists(Numbered(2, "-2"))) << "a companion is made with its take, not reserved";
  EXPECT_FALSE(monitor.Read().secondInput) << "its level bars go with the take";
}

TEST_F(TwoInputTakeTest, EachFileIsTaggedWithItsOwnLoudness) {
  second.tracks = TrackLayout::Separate;
  const int blocks = 40;  // 2 s: integrated loudness needs more than one 400 ms block
  script.audio.resize(size_t{blocks} * kBlockSamples);
  for (size_t i = 0; i < script.audio.size(); ++i) script.audio[i] = static_cast<int16_t>(i * 13 % 2000 - 1000);
  Record(blocks);

  double integrated[2] = {};
  for (const int file : {0, 1}) {
    const QString path = Numbered(1, file == 0 ? "" : "-2");
    const auto tagged = MetadataOf(path).loudness;
    const auto reference = MeasureWithFfmpeg(Utf8(path));
    ASSERT_TRUE(tagged.has_value() && reference.has_value()) << Utf8(path);
    EXPECT_NEAR(tagged->integratedLufs, reference->integrated, 0.15) << Utf8(path);
    integrated[file] = tagged->integratedLufs;
  }
  EXPECT_GT(integrated[0] - integrated[1], 10.0) << "the quiet second input has a tag of its own";
}

TEST_F(TwoInputTakeTest, MixIsOneFileOfBothInputsAtTheirGains) {
  second.tracks = TrackLayout::Mix;
  second.firstGainDb = 6;
  second.secondGainDb = -3;
  const auto fed = Record(kBlocks);

  std::vector<int16_t> mixed(fed.size());
  TrackMix(6, -3).Mix(fed, SecondFed(fed.size()), mixed);
  EXPECT_EQ(Decoded(Numbered(1)), mixed);
  EXPECT_FALSE(QFile::exists(Numbered(1, "-2")));
  EXPECT_FALSE(QFile::exists(Numbered(1, "-1")));
  EXPECT_DOUBLE_EQ(controller.FinalSeconds(), kBlocks * 0.05) << "the length counts the first input's frames";
}

TEST_F(TwoInputTakeTest, BothGivesTheMixAndEachInputTheComputersSoundTakenOutOfTheFirst) {
  second.tracks = TrackLayout::Both;
  second.removeComputerSound = true;
  removeWith = true;
  view.outputFile = Utf8(folder.Path() + "/Interview.wav");
  const auto fed = Record(kBlocks);

  EXPECT_EQ(cancellerFormats, (std::vector<std::pair<int32_t, int16_t>>{{44100, 2}}));
  const std::vector<int16_t> secondFed = SecondFed(fed.size());
  std::vector<int16_t> cancelled(fed.size());
  for (size_t i = 0; i < fed.size(); ++i) cancelled[i] = static_cast<int16_t>(fed[i] - secondFed[i]);
  std::vector<int16_t> mixed(fed.size());
  TrackMix(0, 0).Mix(cancelled, secondFed, mixed);
  EXPECT_EQ(Decoded(folder.Path() + "/Interview.wav"), mixed);
  EXPECT_EQ(Decoded(folder.Path() + "/Interview-1.wav"), cancelled);
  EXPECT_EQ(Decoded(folder.Path() + "/Interview-2.wav"), secondFed);
}

TEST_F(TwoInputTakeTest, AVanishedSecondInputIsMarkedSilencedAndToldWhileTheTakeGoesOn) {
  second.tracks = TrackLayout::Separate;
  const int64_t lostAt = kBlockSamples / 2 * 3 + 100;  // inside the fourth block
  script.losses = {{.firstFrame = 300, .frames = 50, .vanished = false, .reason = ""},
                   {.firstFrame = lostAt, .frames = 0, .vanished = true, .reason = "source gone"}};
  std::vector<bool> recordingAfter;
  const auto fed = Record(kBlocks, [&](int) { recordingAfter.push_back(capture.recording); });

  EXPECT_EQ(recordingAfter, std::vector<bool>(kBlocks, true)) << "neither the take nor the first track ends";
  EXPECT_EQ(Decoded(Numbered(1)), fed);
  std::vector<int16_t> expected = SecondFed(fed.size());
  std::fill(expected.begin() + 600, expected.begin() + 700, int16_t{0});
  std::fill(expected.begin() + lostAt * 2, expected.end(), int16_t{0});
  EXPECT_EQ(Decoded(Numbered(1, "-2")), expected);
  const std::vector<Marker> marked = {{300, "输入 2 丢失"}, {lostAt, "输入 2 丢失"}};
  EXPECT_EQ(MarkersOf(Numbered(1)), marked);
  EXPECT_EQ(MarkersOf(Numbered(1, "-2")), marked);
  ASSERT_EQ(messages.shown.size(), 1u) << "told once";
  EXPECT_EQ(messages.shown[0].text, "输入 2 已断开, 它的音轨此后是静音; 输入 1 照常录音!\nsource gone");
}

TEST_F(TwoInputTakeTest, ASecondInputThatDoesNotOpenRecordsSilenceAndSaysSo) {
  second.tracks = TrackLayout::Separate;
  script.openFailure = "no such source";
  const auto fed = Record(2);

  EXPECT_EQ(Decoded(Numbered(1)), fed);
  EXPECT_EQ(Decoded(Numbered(1, "-2")), std::vector<int16_t>(fed.size(), 0));
  EXPECT_TRUE(script.pulledFrames.empty());
  EXPECT_EQ(MarkersOf(Numbered(1, "-2")), (std::vector<Marker>{{0, "输入 2 丢失"}}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "无法打开输入 2, 它的音轨是静音; 输入 1 照常录音!\nno such source");
}

TEST_F(TwoInputTakeTest, PausedTakesPullOnAndShowTheSecondInputsLevel) {
  second.tracks = TrackLayout::Separate;
  std::array<int32_t, 2> pausedPeaks{};
  const auto fed = Record(3, [&](int b) {
    if (b == 0) controller.Pause(true, INT64_MAX);
    if (b == 1) {
      pausedPeaks = monitor.Read().secondPeaks;
      controller.Pause(false, INT64_MAX);
    }
  });

  EXPECT_EQ(script.pulledFrames.size(), 3u) << "every block's stretch, paused or not";
  EXPECT_GT(pausedPeaks[0], 0);
  std::vector<int16_t> firstKept(fed.begin(), fed.begin() + kBlockSamples);
  firstKept.insert(firstKept.end(), fed.begin() + 2 * kBlockSamples, fed.end());
  std::vector<int16_t> secondKept = SecondFed(kBlockSamples);
  secondKept.insert(secondKept.end(), script.audio.begin() + 2 * kBlockSamples, script.audio.begin() + 3 * kBlockSamples);
  EXPECT_EQ(Decoded(Numbered(1)), firstKept);
  EXPECT_EQ(Decoded(Numbered(1, "-2")), secondKept);
}

TEST_F(TwoInputTakeTest, EveryPartOfASplitTakeHasItsCompanion) {
  second.tracks = TrackLayout::Separate;
  controller.FramesPerPart(kBlockSamples);  // two blocks of stereo per part
  const auto fed = Record(kBlocks);

  std::vector<int16_t> first;
  std::vector<int16_t> secondJoined;
  for (int part = 1; part <= 3; ++part) {
    const auto a = Decoded(Numbered(part));
    const auto b = Decoded(Numbered(part, "-2"));
    EXPECT_EQ(a.size(), b.size()) << "part " << part;
    first.insert(first.end(), a.begin(), a.end());
    secondJoined.insert(secondJoined.end(), b.begin(), b.end());
  }
  EXPECT_EQ(first, fed);
  EXPECT_EQ(secondJoined, SecondFed(fed.size()));
  EXPECT_EQ(MarkersOf(Numbered(2, "-2")), MarkersOf(Numbered(2))) << "the continued file's marker in both";
  EXPECT_FALSE(QFile::exists(Numbered(4, "-2")));
}

TEST_F(TwoInputTakeTest, BothFilesOfAKilledTakeAreRepairedAtTheNextStart) {
  second.tracks = TrackLayout::Separate;
  encoder.WAV().HeaderRefreshInterval(std::chrono::hours{1});
  QByteArray firstKilled;
  QByteArray secondKilled;
  QByteArray journalKilled;
  const auto fed = Record(kBlocks, [&](int b) {
    if (b != 3) return;
    firstKilled = ReadAll(Numbered(1));
    secondKilled = ReadAll(Numbered(1, "-2"));
    journalKilled = ReadAll(ProgramFolder::JournalFile());
  });
  // The files as a kill left them, in place.
  WriteAll(Numbered(1), firstKilled);
  WriteAll(Numbered(1, "-2"), secondKilled);
  WriteAll(ProgramFolder::JournalFile(), journalKilled);

  const auto result = RecordingRecovery::Scan(RecordingJournal());
  EXPECT_EQ(result.recovered, (QStringList{"录音1.wav", "录音1-2.wav"}));
  const size_t kept = 4 * kBlockSamples;
  EXPECT_EQ(Decoded(Numbered(1)), std::vector<int16_t>(fed.begin(), fed.begin() + kept));
  EXPECT_EQ(Decoded(Numbered(1, "-2")), SecondFed(kept));
}

// A companion's name taken by a file with data: no take, and nothing of that file lost.
TEST_F(TwoInputTakeTest, ACompanionNameHoldingDataRefusesTheStartAndKeepsTheFile) {
  second.tracks = TrackLayout::Separate;
  WriteAll(Numbered(1, "-2"), "someone's recording");
  controller.SecondInput(second);
  const RecordingController::StartResult result = controller.TryStart();

  EXPECT_FALSE(result.started);
  EXPECT_EQ(result.refusal, "文件 " + Utf8(Numbered(1, "-2")) + " 已有内容, 不会覆盖!");
  EXPECT_FALSE(capture.recording);
  EXPECT_EQ(ReadAll(Numbered(1, "-2")), QByteArray("someone's recording"));
  EXPECT_EQ(QFileInfo(Numbered(1)).size(), 0) << "nothing written into the numbered file";
  EXPECT_EQ(view.outputFile, Utf8(Numbered(1))) << "kept for the next try";
  EXPECT_TRUE(RecordingJournal().Read().names.isEmpty());
}

// Sound activation hears the first input alone unless told to hear either.
TEST_F(TwoInputTakeTest, OnlyAGateOnEitherInputOpensATakeForTheSecondInputsSound) {
  second.tracks = TrackLayout::Separate;
  firstSilent = true;
  HandsFreeSettings handsFree;
  handsFree.sound = {.enabled = true, .thresholdDbfs = -40, .holdMs = 10, .preRollSeconds = 0, .hangSeconds = 60};
  controller.HandsFree(handsFree);

  Record(kBlocks);
  EXPECT_EQ(controller.FinalSeconds(), 0.0) << "the first input stayed silent";
  EXPECT_FALSE(QFile::exists(Numbered(1, "-2")));

  second.gateOnEither = true;
  const auto fed = Record(kBlocks);
  const auto first = Decoded(Numbered(1));
  const auto heard = Decoded(Numbered(1, "-2"));
  EXPECT_EQ(first, std::vector<int16_t>(heard.size(), 0));
  ASSERT_GT(heard.size(), fed.size() / 2) << "the take began within the first block";
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), script.audio.end() - static_cast<ptrdiff_t>(heard.size())))
      << "the second input up to the stop, aligned";
}

TEST_F(TwoInputTakeTest, WithoutASecondDeviceATakeIsOneFileAndNoInputIsMade) {
  second.sourceName.clear();
  second.tracks = TrackLayout::Both;
  const auto fed = Record(2);

  EXPECT_EQ(Decoded(Numbered(1)), fed);
  EXPECT_TRUE(script.openedSource.empty());
  EXPECT_TRUE(cancellerFormats.empty());
  EXPECT_EQ(QDir(folder.Path() + "/file").entryList(QDir::Files), QStringList{"录音1.wav"}) << "no companion";
}

}  // namespace
