// CodecConversionStream: whole-frame consumption, partial codec blocks kept until
// the flush, output within the stated bound, level-keeping channel changes, and
// refusal of pairs it cannot produce.
#include "encoding/CodecConversionStream.h"

#include <gtest/gtest.h>

#include <cstring>

#include "encoding/FormatCatalogue.h"
#include "encoding/FormatRecord.h"
#include "tests/encoding/AudioProbe.h"

namespace {

WAVEFORMATEX Pcm16(int rate, int channels) { return FormatRecord::PCM(rate, static_cast<int16_t>(channels), 16); }

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

TEST(CodecConversionStreamTest, EqualPcmTargetIsAPlainCopyOfWholeFrames) {
  CodecConversionStream stream;
  const WAVEFORMATEX source = Pcm16(44100, 2);
  ASSERT_TRUE(stream.Open(source, source.ToBytes()));
  EXPECT_EQ(stream.OutputBytesPerSecond(), 176400);
  const auto input = AsBytes(TestSignal(44100, 2, 0.1));
  std::vector<uint8_t> out(176400);
  int32_t consumed = 0;
  int32_t produced = 0;
  ASSERT_TRUE(stream.Convert(input.data(), 10243, out.data(), 176400, consumed, produced));
  EXPECT_EQ(consumed, 10240);
  EXPECT_EQ(produced, 10240);
  EXPECT_TRUE(std::equal(input.begin(), input.begin() + 10240, out.begin()));
  ASSERT_TRUE(stream.Flush(out.data(), 176400, produced));
  EXPECT_EQ(produced, 0);
}

struct BlockCase {
  const char* name;
  int rate;
  int channels;
  std::vector<uint8_t> record;
};

class BlockCodecTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockCodecTest, EveryWholeFrameIsTakenAndThePartialBlockComesAtTheFlush) {
  const BlockCase& c = GetParam();
  const WAVEFORMATEX target = WAVEFORMATEX::FromBytes(c.record);
  const int samplesPerBlock = FormatRecord::ExtraWord(c.record, 0);
  CodecConversionStream stream;
  ASSERT_TRUE(stream.Open(Pcm16(c.rate, c.channels), c.record)) << stream.LastError();
  const auto input = AsBytes(TestSignal(c.rate, c.channels, 1.013));  // no whole number of blocks
  const int frameBytes = 2 * c.channels;
  std::vector<uint8_t> out(static_cast<size_t>(stream.OutputBytesPerSecond()));
  int64_t total = 0;
  // Chunks of 1234 frames plus one stray byte: a block boundary almost never falls on a chunk end.
  const size_t chunk = 1234 * frameBytes;
  for (size_t at = 0; at < input.size();) {
    const auto length = static_cast<int32_t>(std::min(chunk + 1, input.size() - at));
    int32_t consumed = 0;
    int32_t produced = 0;
    ASSERT_TRUE(stream.Convert(input.data() + at, length, out.data(), static_cast<int32_t>(out.size()), consumed,
                               produced));
    EXPECT_EQ(consumed, length / frameBytes * frameBytes);
    EXPECT_EQ(produced % target.nBlockAlign, 0);
    total += produced;
    at += static_cast<size_t>(consumed);
    if (length - consumed > 0 && at + frameBytes > input.size()) break;
  }
  int32_t produced = 0;
  ASSERT_TRUE(stream.Flush(out.data(), static_cast<int32_t>(out.size()), produced));
  EXPECT_GT(produced, 0) << "the partial block is emitted at the flush";
  total += produced;
  const int64_t frames = static_cast<int64_t>(input.size()) / frameBytes;
  EXPECT_EQ(total, (frames + samplesPerBlock - 1) / samplesPerBlock * target.nBlockAlign);
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, BlockCodecTest,
    ::testing::Values(BlockCase{"ima_stereo", 44100, 2, FormatRecord::IMAADPCM(44100, 2)},
                      BlockCase{"ima_mono", 8000, 1, FormatRecord::IMAADPCM(8000, 1)},
                      BlockCase{"ms_stereo", 44100, 2, FormatRecord::MSADPCM(44100, 2)},
                      BlockCase{"ms_mono", 22050, 1, FormatRecord::MSADPCM(22050, 1)},
                      BlockCase{"gsm", 8000, 1, FormatRecord::GSM610()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CodecConversionStreamTest, NoConversionOfOneSecondExceedsTheStatedBound) {
  for (auto [rate, channels] : {std::pair{44100, 2}, std::pair{8000, 1}}) {
    const auto input = AsBytes(TestSignal(rate, channels, 1.0));
    for (const FormatEntry& entry : FormatCatalogue::List(rate, static_cast<int16_t>(channels))) {
      SCOPED_TRACE(std::to_string(rate) + " " + entry.FormatTag + " " + entry.FormatID);
      CodecConversionStream stream;
      ASSERT_TRUE(stream.Open(Pcm16(rate, channels), entry.format)) << stream.LastError();
      const int32_t bound = stream.OutputBytesPerSecond();
      std::vector<uint8_t> out(static_cast<size_t>(bound));
      int32_t consumed = 0;
      int32_t produced = 0;
      // A few odd frames first, so a partial codec block is carried into the full second.
      ASSERT_TRUE(stream.Convert(input.data(), 2 * channels * 317, out.data(), bound, consumed, produced));
      ASSERT_TRUE(stream.Convert(input.data(), static_cast<int32_t>(input.size()), out.data(), bound, consumed,
                                 produced)) << stream.LastError();
      EXPECT_EQ(consumed, static_cast<int32_t>(input.size()));
      EXPECT_LE(produced, bound);
      ASSERT_TRUE(stream.Flush(out.data(), bound, produced)) << stream.LastError();
      EXPECT_LE(produced, bound);
    }
  }
}

TEST(CodecConversionStreamTest, ChannelChangesKeepTheLevel) {
  CodecConversionStream stream;
  std::vector<int16_t> stereo(2000);
  for (size_t i = 0; i < stereo.size(); i += 2) {
    stereo[i] = 1000;
    stereo[i + 1] = 3000;
  }
  std::vector<uint8_t> out(100000);
  int32_t consumed = 0;
  int32_t produced = 0;
  ASSERT_TRUE(stream.Open(Pcm16(22050, 2), Pcm16(22050, 1).ToBytes()));
  ASSERT_TRUE(stream.Convert(AsBytes(stereo).data(), 4000, out.data(), 100000, consumed, produced));
  ASSERT_EQ(produced, 2000);
  int16_t sample = 0;
  std::memcpy(&sample, out.data() + 1000, 2);
  EXPECT_NEAR(sample, 2000, 1) << "down-mix is the average of left and right";

  const std::vector<int16_t> mono(1000, 1234);
  ASSERT_TRUE(stream.Open(Pcm16(22050, 1), Pcm16(22050, 2).ToBytes()));
  ASSERT_TRUE(stream.Convert(AsBytes(mono).data(), 2000, out.data(), 100000, consumed, produced));
  ASSERT_EQ(produced, 4000);
  int16_t pair[2] = {};
  std::memcpy(pair, out.data() + 2000, 4);
  EXPECT_NEAR(pair[0], 1234, 1) << "up-mix copies mono to both channels";
  EXPECT_NEAR(pair[1], 1234, 1);
}

TEST(CodecConversionStreamTest, UnsupportedPairsAreRefused) {
  auto withWord = [](std::vector<uint8_t> record, size_t offset, uint16_t value) {
    record[offset] = static_cast<uint8_t>(value);
    record[offset + 1] = static_cast<uint8_t>(value >> 8);
    return record;
  };
  WAVEFORMATEX unknown = Pcm16(44100, 2);
  unknown.wFormatTag = 0x1234;
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> targets = {
      {"unknown tag", unknown.ToBytes()},
      {"record too short", std::vector<uint8_t>(10, 0)},
      {"PCM 24 bit", FormatRecord::PCM(44100, 2, 24).ToBytes()},
      {"6 channels", FormatRecord::PCM(44100, 6, 16).ToBytes()},
      {"GSM at 44100 Hz", withWord(FormatRecord::GSM610(), 4, 44100)},
      {"IMA with wrong samples per block", withWord(FormatRecord::IMAADPCM(44100, 2), 18, 1000)},
      {"MS ADPCM with altered coefficient", withWord(FormatRecord::MSADPCM(44100, 2), 22, 300)},
      {"MPEG Layer-3 at 96000 Hz", FormatRecord::MPEGLayer3(96000, 2, 128)},
  };
  CodecConversionStream stream;
  for (const auto& [what, record] : targets) {
    EXPECT_FALSE(stream.Open(Pcm16(44100, 2), record)) << what;
    EXPECT_FALSE(stream.LastError().empty()) << what;
  }
  EXPECT_FALSE(stream.Open(FormatRecord::PCM(44100, 2, 8), Pcm16(44100, 2).ToBytes())) << "8-bit source";
  std::vector<uint8_t> out(100);
  int32_t consumed = 0;
  int32_t produced = 0;
  const uint8_t input[8] = {};
  EXPECT_FALSE(stream.Convert(input, 8, out.data(), 100, consumed, produced)) << "nothing open";
  EXPECT_FALSE(stream.Flush(out.data(), 100, produced));
}

TEST(CodecConversionStreamTest, TooSmallDestinationFailsInsteadOfOverrunning) {
  CodecConversionStream stream;
  const auto record = FormatRecord::G711(WAVE_FORMAT_ALAW, 8000, 1);
  ASSERT_TRUE(stream.Open(Pcm16(8000, 1), record));
  const auto input = AsBytes(TestSignal(8000, 1, 0.5));
  std::vector<uint8_t> out(1000 + 16, 0xAB);
  int32_t consumed = 0;
  int32_t produced = 0;
  EXPECT_FALSE(stream.Convert(input.data(), static_cast<int32_t>(input.size()), out.data(), 1000, consumed, produced));
  EXPECT_LE(produced, 1000);
  EXPECT_EQ(out[1000], 0xAB);
}

}  // namespace
