// Cutting a take: WAV and FLAC cuts hold exactly the kept samples, Opus and
// MP3 cuts decode to the kept length within one codec frame, the take itself
// stays as it was, and a cut never lands on a name something already holds.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "encoding/EncoderFLAC.h"
#include "encoding/EncoderMP3.h"
#include "encoding/EncoderOpus.h"
#include "encoding/EncoderWAV.h"
#include "encoding/TakeDecoder.h"
#include "encoding/TakeTrimmer.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/encoding/NotedPendingFiles.h"
#include "tests/support/WaitingFifo.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

std::string RecordTake(Encoder& encoder, const std::filesystem::path& path, const std::vector<int16_t>& samples) {
  EXPECT_EQ(encoder.EncoderInit(kRate, kChannels, path.string()), ENC_OK);
  constexpr size_t kBlock = 4096;
  for (size_t at = 0; at < samples.size(); at += kBlock) {
    const auto bytes = static_cast<int32_t>(std::min(kBlock, samples.size() - at) * sizeof(int16_t));
    int32_t used = 0;
    EXPECT_EQ(encoder.Encode(samples.data() + at, bytes, used), ENC_OK);
  }
  EXPECT_EQ(encoder.EncoderClose(), ENC_OK);
  return path.string();
}

// `signal` recorded as a WAV and as a FLAC take in `dir`: the paths.
std::vector<std::string> LosslessTakes(const TempDir& dir, const std::vector<int16_t>& signal) {
  EncoderWAV wav;
  EncoderFLAC flac;
  return {RecordTake(wav, dir / "take.wav", signal), RecordTake(flac, dir / "take.flac", signal)};
}

std::vector<int16_t> Frames(const std::vector<int16_t>& samples, int64_t first, int64_t end) {
  return {samples.begin() + first * kChannels, samples.begin() + end * kChannels};
}

TEST(TakeTrimmerTest, WavAndFlacCutsHoldExactlyTheKeptSamples) {
  TempDir dir;
  const auto signal = TestSignal(kRate, kChannels, 2.0);
  for (const std::string& take : LosslessTakes(dir, signal)) {
    SCOPED_TRACE(take);
    const auto before = ReadFileBytes(take);
    // Odd frame counts at both ends: no block or packet boundary helps.
    const TakeTrimmer::Result cut = TakeTrimmer::Trim(take, {.first = 12345, .end = 77777, .rate = kRate});
    ASSERT_TRUE(cut.ok) << cut.error;
    EXPECT_EQ(cut.path, take.substr(0, take.rfind('.')) + " (剪辑)" + take.substr(take.rfind('.')));
    const auto decoded = DecodeWithFfmpeg(cut.path);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(*decoded == Frames(signal, 12345, 77777)) << decoded->size() << " samples";
    EXPECT_EQ(ReadFileBytes(take), before);
  }
}

TEST(TakeTrimmerTest, OpusAndMp3CutsKeepTheLengthWithinOneFrame) {
  TempDir dir;
  const auto signal = TestSignal(kRate, kChannels, 3.0);
  struct Case {
    std::unique_ptr<Encoder> encoder;
    int decodedRate;
    int frameLength;  // codec frame, in decoded frames
  };
  Case cases[] = {{std::make_unique<EncoderOpus>(), 48000, 960}, {std::make_unique<EncoderMP3>(), kRate, 1152}};
  for (Case& c : cases) {
    SCOPED_TRACE(c.encoder->Extension());
    const std::string take = RecordTake(*c.encoder, dir / ("take." + c.encoder->Extension()), signal);
    const TakeTrimmer::Result cut = TakeTrimmer::Trim(take, {.first = 30000, .end = 100000, .rate = kRate});
    ASSERT_TRUE(cut.ok) << cut.error;
    const auto decoded = DecodeWithFfmpeg(cut.path);
    ASSERT_TRUE(decoded.has_value());
    const double expected = 70000.0 * c.decodedRate / kRate;
    EXPECT_NEAR(static_cast<double>(decoded->size()) / kChannels, expected, c.frameLength);
    EXPECT_EQ(DecoderComplaints(cut.path), "");
  }
}

TEST(TakeTrimmerTest, CutNeverTakesANameThatIsHeld) {
  TempDir dir;
  EncoderWAV wav;
  const std::string take = RecordTake(wav, dir / "take.wav", TestSignal(kRate, kChannels, 0.5));
  const TrimRange range{.first = 100, .end = 2000, .rate = kRate};
  ASSERT_TRUE(TakeTrimmer::Trim(take, range).ok);
  // A dangling link on the next name is someone else's: passed over, left as it is.
  const auto link = dir / "take (剪辑 2).wav";
  std::filesystem::create_symlink(dir / "elsewhere.wav", link);
  const TakeTrimmer::Result third = TakeTrimmer::Trim(take, range);
  ASSERT_TRUE(third.ok) << third.error;
  EXPECT_EQ(third.path, (dir / "take (剪辑 3).wav").string());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere.wav"));
}

TEST(TakeTrimmerTest, FailedCutSaysWhyAndLeavesNoFile) {
  TempDir dir;
  const auto bogus = dir / "bogus.wav";
  { std::ofstream(bogus) << "not a wave file at all"; }
  const TakeTrimmer::Result cut = TakeTrimmer::Trim(bogus.string(), {.first = 0, .end = 10, .rate = kRate});
  EXPECT_FALSE(cut.ok);
  EXPECT_NE(cut.error.find("Invalid argument"), std::string::npos) << cut.error;
  EXPECT_FALSE(std::filesystem::exists(dir / "bogus (剪辑).wav"));
  const TakeTrimmer::Result missing = TakeTrimmer::Trim((dir / "gone.flac").string(), {0, 10, kRate});
  EXPECT_FALSE(missing.ok);
  EXPECT_FALSE(std::filesystem::exists(dir / "gone (剪辑).flac"));
}

// A cut is noted, as the file it is, from its claim until it is whole or gone
// again: a kill meanwhile leaves it to the start-up repair to remove.
TEST(TakeTrimmerTest, TheCutIsNotedUntilItIsWholeOrGone) {
  TempDir dir;
  EncoderWAV wav;
  const std::string take = RecordTake(wav, dir / "take.wav", TestSignal(kRate, kChannels, 0.5));
  NotedPendingFiles pending;
  const TakeTrimmer::Result cut = TakeTrimmer::Trim(take, {.first = 100, .end = 2000, .rate = kRate});
  ASSERT_TRUE(cut.ok) << cut.error;
  ASSERT_EQ(pending.notes.size(), 1u);
  EXPECT_EQ(pending.notes[0].path, cut.path);
  const int fd = ::open(cut.path.c_str(), O_RDONLY);
  EXPECT_EQ(pending.notes[0].file, FileIdentity::Of(fd));
  ::close(fd);
  ASSERT_EQ(pending.drops.size(), 1u);
  EXPECT_EQ(pending.drops[0].path, cut.path);

  const std::string gone = (dir / "gone.flac").string();
  EXPECT_FALSE(TakeTrimmer::Trim(gone, {.first = 0, .end = 10, .rate = kRate}).ok);
  ASSERT_EQ(pending.drops.size(), 2u);
  EXPECT_EQ(pending.drops[1].path, TakeTrimmer::CutName(gone, 1));
  EXPECT_FALSE(pending.drops[1].named) << "a failed cut is removed before its note goes";
}

// A FIFO where the take was is refused at once, not opened: without a writer
// it would hold the caller for ever.
TEST(TakeTrimmerTest, AFifoInPlaceOfTheTakeIsRefusedUnopened) {
  TempDir dir;
  for (const char* name : {"take.wav", "take.flac", "take.opus"}) {
    SCOPED_TRACE(name);
    const WaitingFifo fifo(dir / name);
    const TakeTrimmer::Result cut = TakeTrimmer::Trim((dir / name).string(), {.first = 0, .end = 10, .rate = kRate});
    EXPECT_FALSE(cut.ok);
    EXPECT_NE(cut.error.find("not a regular file"), std::string::npos) << cut.error;
    TakeDecoder decoder;
    EXPECT_FALSE(decoder.Open((dir / name).string()));
    EXPECT_EQ(decoder.LastError(), "not a regular file");
  }
  const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()), {});
  EXPECT_EQ(entries, 3) << "a cut was left";
}

TEST(TakeDecoderTest, ReadsEverySampleAndSeeksToTheFrame) {
  TempDir dir;
  const auto signal = TestSignal(kRate, kChannels, 1.0);
  for (const std::string& take : LosslessTakes(dir, signal)) {
    SCOPED_TRACE(take);
    TakeDecoder decoder;
    ASSERT_TRUE(decoder.Open(take));
    EXPECT_EQ(decoder.Rate(), kRate);
    EXPECT_EQ(decoder.Channels(), kChannels);
    std::vector<int16_t> all;
    while (decoder.Read(all, 1000) > 0) {
    }
    EXPECT_TRUE(all == signal) << all.size();
    ASSERT_TRUE(decoder.Seek(30001));
    std::vector<int16_t> tail;
    EXPECT_EQ(decoder.Read(tail, 500), 500);
    EXPECT_TRUE(tail == Frames(signal, 30001, 30501));
  }
}

}  // namespace
