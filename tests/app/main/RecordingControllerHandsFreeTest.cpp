// RecordingController without someone at the window: sound-activated takes in
// one file or one file each, every setting at its default and its limits at
// every rate and file type, an armed start that never heard anything, and
// parts cut by time to the sample (real encoders, real files, sox and ffmpeg read).
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <random>

#include "TestDoubles.h"
#include "app/recording/RecordingJournal.h"
#include "encoding/EncoderSelection.h"
#include "encoding/EncoderWAV.h"
#include "tagging/WavMetadataReader.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/support/ShellCommand.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr size_t kBlockFrames = 1234;  // not a whole number of 10 ms windows

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// Quiet noise (about -50 dBFS) with loud bursts [start, end) in frames.
std::vector<int16_t> QuietWithBursts(size_t frames, const std::vector<std::pair<size_t, size_t>>& bursts,
                                     size_t channels = 2) {
  std::minstd_rand generator(11);
  std::uniform_int_distribution<int> quiet(-100, 100);
  std::uniform_int_distribution<int> loud(-32768, 32767);
  std::vector<int16_t> samples(frames * channels);
  for (auto& s : samples) s = static_cast<int16_t>(quiet(generator));
  for (const auto& [start, end] : bursts) {
    for (size_t i = start * channels; i < end * channels; ++i) samples[i] = static_cast<int16_t>(loud(generator));
    std::fill_n(samples.begin() + static_cast<ptrdiff_t>(start * channels), channels, int16_t{-20000});
  }
  return samples;
}

std::vector<int16_t> Frames(const std::vector<int16_t>& samples, size_t from, size_t to, size_t channels = 2) {
  return {samples.begin() + static_cast<ptrdiff_t>(from * channels),
          samples.begin() + static_cast<ptrdiff_t>(to * channels)};
}

class RecordingControllerHandsFreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controller.StartUp();
    ASSERT_EQ(view.outputFile, Utf8(Numbered(0)));
  }

  QString Numbered(int n) const {
    return folder.Path() + "/file/录音" + QString::number(n) + "." + QString::fromStdString(encoder.Extension());
  }
  std::vector<int16_t> Read(int n) const { return DecodeWithSox(Utf8(Numbered(n))).value_or(std::vector<int16_t>{}); }
  // The format and file type of the next start.
  void Choose(int32_t rate, int16_t channels, EncoderSelection::FileType type) {
    view.format = RecordingFormat{.rate = rate, .channels = channels};
    encoder.Type(type);
    encoder.WAV().SetPCMFormat(rate, channels, "", "");  // as the window sets it: no conversion
    controller.FileTypeChanged();
  }

  // Starts, feeds `samples` in blocks (the last one shorter), paused from
  // block `pauseFrom` to before block `pauseTo`, and stops; returns what was not paused.
  std::vector<int16_t> Record(const std::vector<int16_t>& samples, size_t pauseFrom = 0, size_t pauseTo = 0) {
    controller.Toggle();
    EXPECT_TRUE(capture.recording);
    std::vector<int16_t> recorded;
    const size_t blockSamples = kBlockFrames * static_cast<size_t>(view.format->channels);
    for (size_t at = 0, b = 0; at < samples.size(); at += blockSamples, ++b) {
      if (pauseFrom < pauseTo && (b == pauseFrom || b == pauseTo)) controller.TogglePause();
      const auto end = samples.begin() + static_cast<ptrdiff_t>(std::min(at + blockSamples, samples.size()));
      std::vector<int16_t> block(samples.begin() + static_cast<ptrdiff_t>(at), end);
      controller.GotData(block, static_cast<int32_t>(block.size() * 2));
      if (!controller.IsPaused()) recorded.insert(recorded.end(), block.begin(), block.end());
    }
    controller.Toggle();
    return recorded;
  }

  TempProgramFolder folder;
  FakeCapture capture;
  EncoderSelection encoder;
  clsDSP effects;
  FakeView view;
  RecordingMessages messages;
  RecordingController controller{capture, encoder, effects, view, messages};
};

// Two bursts, the hang ending each take; the second burst's pre-roll would
// reach back into the first take. Each take holds its burst with exactly the
// pre-roll before it (or from where the take before ended: nothing twice) and
// the silence up to the hang; one file per take, or both in one file.
TEST_F(RecordingControllerHandsFreeTest, TakesHoldTheirBurstsWithExactlyThePreRoll) {
  const size_t hang = kRate / 2;
  const size_t end0 = kRate * 3 / 2 + hang;  // the burst ends on a 10 ms window
  const size_t end1 = 110250 + hang;         // the next window end after 110000
  const auto fed = QuietWithBursts(3 * kRate + 5000, {{kRate + 123, kRate * 3 / 2}, {end0 + kRate / 10 + 7, 110000}});
  HandsFreeSettings settings;
  settings.sound = {.enabled = true, .preRollSeconds = 0.25, .hangSeconds = 0.5};

  settings.sound.afterSilence = SoundActivation::AfterSilence::NewFile;
  controller.HandsFree(settings);
  Record(fed);
  EXPECT_TRUE(Read(0) == Frames(fed, kRate + 123 - kRate / 4, end0)) << Read(0).size();
  EXPECT_TRUE(Read(1) == Frames(fed, end0, end1)) << Read(1).size();
  EXPECT_EQ(view.outputFile, Utf8(Numbered(2)));

  settings.sound.afterSilence = SoundActivation::AfterSilence::Pause;
  controller.HandsFree(settings);
  Record(fed);
  EXPECT_TRUE(Read(2) == Frames(fed, kRate + 123 - kRate / 4, end1)) << Read(2).size();
  EXPECT_FALSE(QFileInfo::exists(Numbered(3))) << "reserved, nothing made";
  EXPECT_TRUE(RecordingJournal().Read().names.isEmpty()) << "every take finished";
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

// The first frame of the next 10 ms level window after `frame`'s.
size_t WindowEndAfter(size_t frame, int32_t rate) { return (frame / (rate / 100) + 1) * (rate / 100); }

// `frames` of silence with a value in every channel of each marked frame.
std::vector<int16_t> SilenceWith(size_t frames, size_t channels, const std::vector<std::pair<size_t, int16_t>>& marks) {
  std::vector<int16_t> samples(frames * channels, 0);
  for (const auto& [at, value] : marks) std::fill_n(samples.begin() + static_cast<ptrdiff_t>(at * channels), channels, value);
  return samples;
}

class HandsFreeSettingsTest : public RecordingControllerHandsFreeTest {
 protected:
  // Records `fed` sound-activated with `sound`, one file per take, and
  // expects exactly the takes `takes` (frames [from, to) of `fed`), each in
  // its own file: bit for bit in a lossless type, as long within a few codec
  // frames in a lossy one; no other take and no message.
  void ExpectTakes(const std::vector<int16_t>& fed, SoundActivation sound,
                   const std::vector<std::pair<size_t, size_t>>& takes, const std::string& what) {
    const int32_t rate = view.format->rate;
    const size_t channels = static_cast<size_t>(view.format->channels);
    const bool lossless = encoder.Type() == EncoderSelection::TYPE_WAV || encoder.Type() == EncoderSelection::TYPE_FLAC;
    int first = 0;
    while (view.outputFile != Utf8(Numbered(first)) && first < 100) ++first;
    sound.enabled = true;
    sound.afterSilence = SoundActivation::AfterSilence::NewFile;
    controller.HandsFree({.sound = sound});
    Record(fed);
    for (size_t k = 0; k < takes.size(); ++k) {
      const QString file = Numbered(first + static_cast<int>(k));
      const auto [from, to] = takes[k];
      if (lossless) {
        EXPECT_TRUE(Read(first + static_cast<int>(k)) == Frames(fed, from, to, channels))
            << what << ": take " << k << " holds " << Read(first + static_cast<int>(k)).size() / channels
            << " frames, not " << to - from;
      } else {
        const auto info = ProbeWithFfprobe(Utf8(file));
        EXPECT_NEAR(info ? info->duration : 0.0, static_cast<double>(to - from) / rate, 0.06) << what << ": take " << k;
      }
    }
    EXPECT_EQ(QFileInfo(Numbered(first + static_cast<int>(takes.size()))).size(), 0) << what << ": no other take";
    EXPECT_TRUE(messages.shown.empty()) << what << ": " << messages.shown[0].text;
    messages.shown.clear();
  }
};

// Every pre-roll from none to the longest, at the lowest and highest rates,
// in every file type, the page's defaults among them: the take holds the
// burst with exactly the pre-roll before it and the hang after it.
TEST_F(HandsFreeSettingsTest, EveryPreRollWorksAtEveryRateAndType) {
  struct Case {
    const char* what;
    int32_t rate;
    int16_t channels;
    EncoderSelection::FileType type;
    SoundActivation sound;
  };
  const SoundActivation defaults;
  const Case cases[] = {
      {"defaults", kRate, 2, EncoderSelection::TYPE_WAV, defaults},
      {"longest pre-roll, lowest rate", 8000, 1, EncoderSelection::TYPE_WAV, {.preRollSeconds = 30.0}},
      {"longest pre-roll, highest rate", 96000, 2, EncoderSelection::TYPE_WAV, {.preRollSeconds = 30.0, .hangSeconds = 0.5}},
      {"FLAC, longest pre-roll", 96000, 2, EncoderSelection::TYPE_FLAC, {.preRollSeconds = 30.0, .hangSeconds = 0.5}},
      {"FLAC, no pre-roll", 8000, 1, EncoderSelection::TYPE_FLAC, {.preRollSeconds = 0.0, .hangSeconds = 0.5}},
      {"Opus, defaults", 48000, 2, EncoderSelection::TYPE_OPUS, defaults},
      {"Opus, longest pre-roll", 8000, 1, EncoderSelection::TYPE_OPUS, {.preRollSeconds = 30.0, .hangSeconds = 0.5}},
      {"MP3, defaults", kRate, 2, EncoderSelection::TYPE_MP3, defaults},
  };
  for (const Case& each : cases) {
    Choose(each.rate, each.channels, each.type);
    const auto preRoll = static_cast<size_t>(each.sound.preRollSeconds * each.rate);
    const auto hang = static_cast<size_t>(each.sound.hangSeconds * each.rate);
    const size_t onset = preRoll + static_cast<size_t>(each.rate) / 3 + 7;
    const size_t end = WindowEndAfter(onset + static_cast<size_t>(each.rate) / 2, each.rate);
    const auto fed = QuietWithBursts(end + hang + static_cast<size_t>(each.rate) / 4, {{onset, end}}, each.channels);
    ExpectTakes(fed, each.sound, {{onset - preRoll, end + hang}}, each.what);
  }
}

// The threshold, the hold and the hang at the limits the page allows (and a
// hang of 0, which counts as one window): a take starts and ends where those
// say, and only there.
TEST_F(HandsFreeSettingsTest, EverySettingWorksAtItsLimits) {
  constexpr int32_t kLowRate = 8000;
  constexpr size_t kSecond = kLowRate;
  constexpr size_t kWindow = kLowRate / 100;
  Choose(kLowRate, 1, EncoderSelection::TYPE_WAV);
  const auto lead = static_cast<size_t>(SoundActivation{}.preRollSeconds * kLowRate);  // the default pre-roll

  // Thresholds: 0 dBFS is only reached by -32768; -90 dBFS by 2, not by 1.
  ExpectTakes(SilenceWith(5 * kSecond, 1, {{lead, 32767}, {lead + kSecond, -32768}}),
              {.thresholdDbfs = 0.0, .holdMs = 0, .hangSeconds = 0.5},
              {{kSecond, WindowEndAfter(lead + kSecond, kLowRate) + kSecond / 2}}, "threshold 0 dBFS");
  ExpectTakes(SilenceWith(5 * kSecond, 1, {{lead, 1}, {lead + kSecond, -1}, {lead + 2 * kSecond, 2}}),
              {.thresholdDbfs = -90.0, .holdMs = 0, .hangSeconds = 0.5},
              {{2 * kSecond, WindowEndAfter(lead + 2 * kSecond, kLowRate) + kSecond / 2}}, "threshold -90 dBFS");

  // Hold: 9.9 s of sound do not start a take held for 10 s, 10 s do.
  const size_t held = lead + 11 * kSecond;
  ExpectTakes(QuietWithBursts(held + 11 * kSecond, {{lead, lead + 99 * kSecond / 10}, {held, held + 10 * kSecond}}, 1),
              {.holdMs = 10000, .hangSeconds = 0.5}, {{held - lead, held + 10 * kSecond + kSecond / 2}},
              "hold 10 s");

  // Hang: a take goes on through 599.9 s of silence and ends after 600 s of it;
  // with a hang of 0 it ends after one quiet window, not after every window.
  const size_t second = lead + kSecond + 5999 * kSecond / 10;
  ExpectTakes(QuietWithBursts(second + kSecond + 601 * kSecond, {{lead, lead + kSecond}, {second, second + kSecond}}, 1),
              {.hangSeconds = 600.0}, {{0, second + kSecond + 600 * kSecond}}, "hang 600 s");
  ExpectTakes(QuietWithBursts(lead + 3 * kSecond, {{lead, lead + 2 * kSecond}}, 1), {.hangSeconds = 0.0},
              {{0, lead + 2 * kSecond + kWindow}}, "hang 0");
}

// Armed, stopped before any sound: no file is left behind and the number is
// not used up.
TEST_F(RecordingControllerHandsFreeTest, ArmedRecordingWithoutSoundLeavesNoFile) {
  HandsFreeSettings settings;
  settings.sound.enabled = true;
  controller.HandsFree(settings);
  Record(QuietWithBursts(2 * kRate, {}));
  EXPECT_EQ(QFileInfo(Numbered(0)).size(), 0);
  EXPECT_EQ(view.outputFile, Utf8(Numbered(0)));
  view.outputFile = Utf8(folder.Path() + "/mine.wav");
  Record(QuietWithBursts(kRate, {}));
  EXPECT_FALSE(QFileInfo::exists(folder.Path() + "/mine.wav"));
  EXPECT_TRUE(RecordingJournal().Read().names.isEmpty());
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

// Parts of 1000 frames: every part but the last exactly that long, the joined
// parts exactly what was recorded, paused input not counted; a recording of
// whole parts leaves no empty part after them.
TEST_F(RecordingControllerHandsFreeTest, SplitByTimeCutsAtTheSampleAndPausesDoNotCount) {
  HandsFreeSettings settings;
  settings.splitMinutes = 10;  // the frame counts below stand in for it
  controller.HandsFree(settings);
  controller.FramesPerPart(1000);
  const auto recorded = Record(QuietWithBursts(12000, {{100, 5000}}), 3, 5);
  ASSERT_EQ(recorded.size(), (12000 - 2 * kBlockFrames) * 2);
  std::vector<int16_t> joined;
  for (int n = 0; n < 10; ++n) {
    const auto part = Read(n);
    EXPECT_EQ(part.size(), n < 9 ? 2000u : recorded.size() - 18000) << "part " << n;
    joined.insert(joined.end(), part.begin(), part.end());
  }
  EXPECT_TRUE(joined == recorded) << joined.size() << " of " << recorded.size();
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;

  controller.FramesPerPart(kBlockFrames);
  const auto whole = Record(QuietWithBursts(2 * kBlockFrames, {}));
  EXPECT_TRUE(Read(10) == Frames(whole, 0, kBlockFrames));
  EXPECT_TRUE(Read(11) == Frames(whole, kBlockFrames, 2 * kBlockFrames));
  EXPECT_FALSE(QFileInfo::exists(Numbered(12))) << "reserved, nothing made";
  EXPECT_FALSE(QFileInfo::exists(Numbered(13))) << "no empty part after whole parts";
}

}  // namespace

namespace {

std::string FileText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

std::string Label(double frame, const std::string& name) {
  char time[32];
  std::snprintf(time, sizeof time, "%.6f", frame / kRate);
  return std::string(time) + "\t" + time + "\t" + name + "\n";
}

}  // namespace

namespace {

// A second of noise at each amplitude (sample units), each followed by `silenceFrames` of silence.
std::vector<int16_t> NoiseLevels(std::initializer_list<int> amplitudes, size_t silenceFrames = 0) {
  std::minstd_rand generator(5);
  std::vector<int16_t> samples;
  for (const int amplitude : amplitudes) {
    std::uniform_int_distribution<int> value(-amplitude, amplitude);
    for (size_t i = 0; i < 2 * kRate; ++i) samples.push_back(static_cast<int16_t>(value(generator)));
    samples.resize(samples.size() + 2 * silenceFrames);
  }
  return samples;
}

// The WAV file's "bext" loudness is what ffmpeg's meter finds in its audio (not the true
// peak: on white noise the two oversampling filters differ by about 1 dB).
void ExpectOwnWavLoudness(const QString& file) {
  TakeMetadata tags;
  ASSERT_EQ(WavMetadataReader::Read(Utf8(file), tags), "");
  const auto reference = MeasureWithFfmpeg(Utf8(file));
  ASSERT_TRUE(reference.has_value()) << Utf8(file);
  ASSERT_TRUE(tags.loudness.has_value()) << Utf8(file) << " carries no loudness";
  EXPECT_NEAR(tags.loudness->integratedLufs, reference->integrated, 0.1) << Utf8(file);
}

}  // namespace

// Every file carries the loudness of exactly the samples it holds: each part
// of a split, each take of its own (the levels differ, so a whole-recording
// value fails), and an MP3 as decoded (its encoder's low-pass takes about
// 2 LU off full-band noise, which the samples before encoding still have).
TEST_F(RecordingControllerHandsFreeTest, EveryFileCarriesTheLoudnessOfItsOwnSamples) {
  controller.HandsFree({.splitMinutes = 10});  // the frame count below stands in for it
  controller.FramesPerPart(kRate);
  Record(NoiseLevels({1000, 16000, 4000}));
  for (int n = 0; n < 3; ++n) ExpectOwnWavLoudness(Numbered(n));

  controller.HandsFree({.sound = {.enabled = true, .preRollSeconds = 0, .hangSeconds = 0.5,
                                  .afterSilence = SoundActivation::AfterSilence::NewFile}});
  controller.FramesPerPart(0);
  Record(NoiseLevels({2000, 30000}, 2 * kRate));
  ExpectOwnWavLoudness(Numbered(3));
  ExpectOwnWavLoudness(Numbered(4));

  controller.HandsFree({});
  Choose(kRate, 2, EncoderSelection::TYPE_MP3);
  Record(NoiseLevels({20000}));
  const auto decoded = MeasureWithFfmpeg(Utf8(Numbered(5)));
  ASSERT_TRUE(decoded.has_value());
  const ShellResult gain = RunShellCommand("ffprobe -v error -show_entries format_tags=REPLAYGAIN_TRACK_GAIN "
                                           "-of default=nw=1:nk=1 " + ShellQuote(Utf8(Numbered(5))));
  ASSERT_FALSE(gain.output.empty()) << "no ReplayGain";
  EXPECT_NEAR(std::stod(gain.output), -18.0 - decoded->integrated, 0.1) << gain.output;
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

// A flood of the user's markers leaves room for the program's own: the pause
// and the resume after it are still in the label file.
TEST_F(RecordingControllerHandsFreeTest, TheUsersMarkersLeaveRoomForTheProgramsOwn) {
  const std::vector<int16_t> block(2 * 1000, 7);
  controller.Toggle();
  controller.GotData(block, 4000);
  size_t accepted = 0;
  for (size_t i = 0; i < TakeMarkers::kLimit; ++i) accepted += controller.AddMarker(INT64_MAX, "") ? 1 : 0;
  controller.TogglePause();
  controller.TogglePause();
  controller.Toggle();
  EXPECT_LT(accepted, TakeMarkers::kLimit);
  const std::string labels = FileText(folder.Path() + "/file/录音0.txt");
  EXPECT_EQ(static_cast<size_t>(std::count(labels.begin(), labels.end(), '\n')), accepted + 2);
  EXPECT_NE(labels.find(Label(1000, "暂停") + Label(1000, "继续")), std::string::npos);
}

// Markers sit at the frame written before them, whatever the blocks: the
// user's, the pause's and the resume's at the cut, lost input where the gap
// is, and a part cut by time starts with its own; each part keeps its own
// markers in its cue chunk and its label file.
TEST_F(RecordingControllerHandsFreeTest, MarkersSitAtTheWrittenFrameOfTheirOwnPart) {
  HandsFreeSettings settings;
  settings.splitMinutes = 10;
  controller.HandsFree(settings);
  controller.FramesPerPart(3000);
  const std::vector<int16_t> block(2 * 1000, 7);
  controller.Toggle();
  controller.GotData(block, 4000);
  controller.GotData(block, 4000);
  EXPECT_TRUE(controller.AddMarker(INT64_MAX, "Intro"));
  controller.TogglePause();
  controller.GotData(block, 4000);  // paused: not written, no frames
  EXPECT_TRUE(controller.AddMarker(INT64_MAX, ""));
  controller.TogglePause();
  controller.GotData(block, 2000);
  controller.InputLost(InputLoss::ProgramTooBusy);
  controller.GotData(block, 4000);  // 2500 .. 3500: the part ends at 3000
  controller.Toggle();
  EXPECT_FALSE(controller.AddMarker(INT64_MAX, "late")) << "nothing while idle";

  EXPECT_EQ(FileText(folder.Path() + "/file/录音0.txt"),
            Label(2000, "Intro") + Label(2000, "暂停") + Label(2000, "标记 1") + Label(2000, "继续") +
                Label(2500, "输入丢失"));
  EXPECT_EQ(FileText(folder.Path() + "/file/录音1.txt"), Label(0, "续接上一个文件"));
  EXPECT_EQ(Read(0).size(), 3000u * 2) << "the tags follow the audio, which stays as it was";
  EXPECT_NE(FileText(Numbered(0)).find("cue "), std::string::npos);
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}
