// FormatRecord: the stored bytes of each family's format record, as other
// readers expect them.
#include "encoding/FormatRecord.h"

#include <gtest/gtest.h>

#include "tests/encoding/AudioProbe.h"

namespace {

TEST(FormatRecordTest, PcmBlockAlignAndRate) {
  const WAVEFORMATEX mono = FormatRecord::PCM(22050, 1, 16);
  EXPECT_EQ(mono.nBlockAlign, 2);
  EXPECT_EQ(mono.nAvgBytesPerSec, 44100u);
  const WAVEFORMATEX eight = FormatRecord::PCM(8000, 2, 8);
  EXPECT_EQ(eight.nBlockAlign, 2);
  EXPECT_EQ(eight.nAvgBytesPerSec, 16000u);
  EXPECT_EQ(FormatRecord::PCM(8000, 1, 12).nBlockAlign, 2);  // 1.5 rounds half to even
}

TEST(FormatRecordTest, AdpcmRecordsCarrySamplesPerBlock) {
  const auto ima = FormatRecord::IMAADPCM(44100, 2);
  ASSERT_EQ(ima.size(), 20u);
  EXPECT_EQ(ReadU16(ima, 0), WAVE_FORMAT_IMA_ADPCM);
  EXPECT_EQ(ReadU16(ima, 12), 2048);  // block align
  EXPECT_EQ(ReadU16(ima, 14), 4);     // bits
  EXPECT_EQ(ReadU16(ima, 16), 2);     // cbSize
  EXPECT_EQ(ReadU16(ima, 18), 2041);  // (2048 - 8) * 8 / 8 + 1
  EXPECT_EQ(ReadU32(ima, 8), 44100u * 2048 / 2041);

  const auto ms = FormatRecord::MSADPCM(8000, 1);
  ASSERT_EQ(ms.size(), 50u);
  EXPECT_EQ(ReadU16(ms, 0), WAVE_FORMAT_ADPCM);
  EXPECT_EQ(ReadU16(ms, 12), 256);
  EXPECT_EQ(ReadU16(ms, 16), 32);
  EXPECT_EQ(ReadU16(ms, 18), 500);  // (256 - 7) * 2 + 2
  EXPECT_EQ(ReadU16(ms, 20), 7);
  const int16_t expected[14] = {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(static_cast<int16_t>(ReadU16(ms, 22 + 2 * i)), expected[i]) << i;
}

TEST(FormatRecordTest, AdpcmBlocksArePowersOfTwoAndUnchangedWhereTheyWere) {
  // Rate / 11025 of 1, 2, 4 and 8 keep their blocks; 3 .. 7 round down to 2 or 4.
  const std::pair<int32_t, int32_t> monoBlocks[] = {{1000, 256},  {8000, 256},   {11025, 256},  {22050, 512},
                                                    {40000, 512}, {44100, 1024}, {64000, 1024}, {72000, 1024},
                                                    {80000, 1024}, {88200, 2048}, {96000, 2048}};
  for (auto [rate, bytes] : monoBlocks) {
    EXPECT_EQ(FormatRecord::ADPCMBlockAlign(rate, 1), bytes) << rate;
    EXPECT_EQ(FormatRecord::ADPCMBlockAlign(rate, 2), 2 * bytes) << rate;
  }
}

TEST(FormatRecordTest, GsmAndMpegRecords) {
  const auto gsm = FormatRecord::GSM610();
  ASSERT_EQ(gsm.size(), 20u);
  EXPECT_EQ(ReadU16(gsm, 0), WAVE_FORMAT_GSM610);
  EXPECT_EQ(ReadU32(gsm, 4), 8000u);
  EXPECT_EQ(ReadU32(gsm, 8), 1625u);
  EXPECT_EQ(ReadU16(gsm, 12), 65);
  EXPECT_EQ(ReadU16(gsm, 18), 320);

  const auto mp3 = FormatRecord::MPEGLayer3(44100, 2, 128);
  ASSERT_EQ(mp3.size(), 30u);
  EXPECT_EQ(ReadU16(mp3, 0), WAVE_FORMAT_MPEGLAYER3);
  EXPECT_EQ(ReadU32(mp3, 8), 16000u);
  EXPECT_EQ(ReadU16(mp3, 12), 1);
  EXPECT_EQ(ReadU16(mp3, 16), 12);
  EXPECT_EQ(ReadU16(mp3, 18), 1);    // MPEG id
  EXPECT_EQ(ReadU16(mp3, 24), 417);  // 1152 / 8 x 128000 / 44100
  EXPECT_EQ(ReadU16(mp3, 26), 1);
  EXPECT_EQ(ReadU16(FormatRecord::MPEGLayer3(22050, 1, 64), 24), 208);  // 576-sample frames below 32000 Hz
}

TEST(FormatRecordTest, ExtraWordStaysInsideCbSize) {
  const auto ima = FormatRecord::IMAADPCM(8000, 1);
  EXPECT_EQ(FormatRecord::ExtraWord(ima, 0), 505);
  EXPECT_EQ(FormatRecord::ExtraWord(ima, 2), -1);
  EXPECT_EQ(FormatRecord::ExtraWord(ima, -2), -1);
  auto lying = ima;
  lying[16] = 40;  // cbSize claims more than the record holds
  EXPECT_EQ(FormatRecord::ExtraWord(lying, 10), -1);
  EXPECT_EQ(FormatRecord::ExtraWord(FormatRecord::PCM(8000, 1, 16).ToBytes(), 0), -1);
}

TEST(FormatRecordTest, StoredLengthCompletesAPcmRecordWithoutCbSize) {
  const auto pcm = FormatRecord::PCM(8000, 1, 8).ToBytes();
  EXPECT_EQ(FormatRecord::StoredLength(std::span(pcm).first(16)), 18);
  EXPECT_EQ(FormatRecord::StoredLength(pcm), 18);
  const auto ima = FormatRecord::IMAADPCM(8000, 1);
  EXPECT_EQ(FormatRecord::StoredLength(ima), 20);
  EXPECT_EQ(FormatRecord::StoredLength(std::span(ima).first(16)), 0) << "other families need their cbSize";
  EXPECT_EQ(FormatRecord::StoredLength(std::span(pcm).first(17)), 0);
  EXPECT_EQ(FormatRecord::StoredLength(std::span(pcm).first(14)), 0);
}

}  // namespace
