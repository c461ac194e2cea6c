// EncoderWAV: file layout, lifecycle, failure codes, format selection, and the
// file staying a valid WAV when the disk fills up or the RIFF size limit nears.
#include "encoding/EncoderWAV.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/AppError.h"
#include "encoding/FormatRecord.h"
#include "encoding/WavFileRepair.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/encoding/ScriptedConversionStream.h"
#include "tests/encoding/SmallTmpfs.h"

namespace {

constexpr int32_t kDefaultBlock = 17640;  // 0.1 s of 44100 Hz stereo

// A recognisable byte pattern of `count` bytes (a ramp that does not repeat every 256).
std::vector<uint8_t> Pattern(size_t count, uint8_t seed = 0) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251 + seed);
  return bytes;
}

// Checks the RIFF header of a closed file and returns its data bytes.
std::vector<uint8_t> DataOfValidWav(const std::filesystem::path& file, uint32_t formatLength) {
  const auto bytes = ReadFileBytes(file);
  const size_t header = formatLength + 28;
  EXPECT_GE(bytes.size(), header);
  if (bytes.size() < header) return {};
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
  EXPECT_EQ(ReadU32(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(ReadU32(bytes, 16), formatLength);
  EXPECT_EQ(std::string(bytes.begin() + 20 + formatLength, bytes.begin() + 24 + formatLength), "data");
  EXPECT_EQ(ReadU32(bytes, 24 + formatLength), bytes.size() - header);
  return {bytes.begin() + static_cast<ptrdiff_t>(header), bytes.end()};
}

class ScriptedChooser : public FormatChooser {
 public:
  std::optional<FormatEntry> answer;
  WAVEFORMATEX seenInput{};
  std::string seenTitle;

  std::optional<FormatEntry> Choose(const WAVEFORMATEX& pcmInput, const std::string& Title) override {
    seenInput = pcmInput;
    seenTitle = Title;
    return answer;
  }
};

class EncoderWAVTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path file = dir / "out.wav";
};

TEST_F(EncoderWAVTest, NewEncoderReportsDefaultFormatAndIdleMetrics) {
  EncoderWAV encoder;
  EXPECT_EQ(encoder.FormatTag(), "PCM");
  EXPECT_EQ(encoder.FormatID(), "44.1 kHz 16 Bit Stereo");
  EXPECT_TRUE(encoder.WriteHeader());
  EXPECT_EQ(encoder.EncoderMetrics(0), -1);
  EXPECT_EQ(encoder.EncoderMetrics(1), -1);
  EXPECT_EQ(encoder.EncoderMetrics(5), 0);
  EXPECT_EQ(encoder.TargetBytesPerSecond(), 176400);
  EXPECT_EQ(encoder.Description() + " (*." + encoder.Extension() + ")", "Wave ACM Encoder (*.wav)");
  const auto format = encoder.TargetFormat();
  ASSERT_EQ(format.size(), 18u);
  const WAVEFORMATEX wfx = WAVEFORMATEX::FromBytes(format);
  EXPECT_EQ(wfx.wFormatTag, 1);
  EXPECT_EQ(wfx.nChannels, 2);
  EXPECT_EQ(wfx.nSamplesPerSec, 44100u);
  EXPECT_EQ(wfx.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(wfx.nBlockAlign, 4);
  EXPECT_EQ(wfx.wBitsPerSample, 16);
  EXPECT_EQ(wfx.cbSize, 0);
}

TEST_F(EncoderWAVTest, OneBlockGivesA46ByteHeaderAndTheExactData) {
  EncoderWAV encoder;
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  EXPECT_EQ(encoder.EncoderMetrics(1), 176400);
  EXPECT_EQ(encoder.EncoderMetrics(0), 4);
  const auto block = Pattern(kDefaultBlock);
  int32_t used = -1;
  EXPECT_EQ(encoder.Encode(block.data(), kDefaultBlock, used), ENC_OK);
  EXPECT_EQ(used, kDefaultBlock);
  EXPECT_EQ(encoder.EncoderClose(), ENC_OK);
  EXPECT_EQ(encoder.EncoderClose(), ENC_FILE_ERROR);  // second close: nothing runs
  EXPECT_EQ(encoder.EncoderMetrics(1), -1);

  const auto bytes = ReadFileBytes(file);
  ASSERT_EQ(bytes.size(), 46u + kDefaultBlock);
  EXPECT_EQ(ReadU32(bytes, 4), 17678u);
  EXPECT_EQ(ReadU32(bytes, 16), 18u);
  EXPECT_EQ(ReadU16(bytes, 20), 1);            // PCM
  EXPECT_EQ(ReadU16(bytes, 22), 2);            // channels
  EXPECT_EQ(ReadU32(bytes, 24), 44100u);
  EXPECT_EQ(ReadU32(bytes, 28), 176400u);
  EXPECT_EQ(ReadU16(bytes, 32), 4);            // block align
  EXPECT_EQ(ReadU16(bytes, 34), 16);           // bits
  EXPECT_EQ(ReadU16(bytes, 36), 0);            // cbSize
  EXPECT_EQ(std::string(bytes.begin() + 38, bytes.begin() + 42), "data");
  EXPECT_EQ(ReadU32(bytes, 42), 17640u);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), bytes.begin() + 46));
  const auto probe = ProbeWithSox(file);
  ASSERT_TRUE(probe.has_value());
  EXPECT_EQ(probe->rate, 44100);
}

TEST_F(EncoderWAVTest, InitRejectsBadParametersAndMissingFolders) {
  EncoderWAV encoder;
  EXPECT_EQ(encoder.EncoderInit(0, 2, file), ENC_INIT_FAILED);
  EXPECT_EQ(encoder.EncoderInit(44100, 0, file), ENC_INIT_FAILED);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(encoder.EncoderInit(44100, 2, dir / "missing" / "x.wav"), ENC_FILE_ERROR);
  EXPECT_EQ(encoder.EncoderInit(44100, 2, ""), ENC_FILE_ERROR);
  EXPECT_EQ(encoder.EncoderMetrics(1), -1);
  EXPECT_EQ(encoder.EncoderClose(), ENC_FILE_ERROR);
}

TEST_F(EncoderWAVTest, FailedInitLeavesNoStreamOpen) {
  auto stream = std::make_unique<ScriptedConversionStream>();
  auto* fake = stream.get();
  EncoderWAV encoder(std::move(stream));
  EXPECT_EQ(encoder.EncoderInit(44100, 2, dir / "missing" / "x.wav"), ENC_FILE_ERROR);
  EXPECT_FALSE(fake->open);
  fake->openSucceeds = false;
  EXPECT_EQ(encoder.EncoderInit(44100, 2, file), ENC_INIT_FAILED);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(EncoderWAVTest, TargetHoldingDataIsRefusedUntouchedAndDiscardLeavesNoHeader) {
  auto stream = std::make_unique<ScriptedConversionStream>();
  auto* fake = stream.get();
  EncoderWAV encoder(std::move(stream));
  { std::ofstream(file, std::ios::binary) << "an earlier recording"; }
  encoder.OutputRules({.replaceData = false, .followLinks = true});
  EXPECT_EQ(encoder.EncoderInit(44100, 2, file), ENC_TARGET_HOLDS_DATA);
  EXPECT_FALSE(fake->open);
  EXPECT_EQ(encoder.EncoderMetrics(1), -1);
  EXPECT_NE(encoder.InitError().find("20 bytes"), std::string::npos) << encoder.InitError();
  const auto kept = ReadFileBytes(file);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "an earlier recording");

  // A start that never got audio: no header-only file stays behind.
  const auto fresh = dir / "fresh.wav";
  ASSERT_EQ(encoder.EncoderInit(44100, 2, fresh), ENC_OK);
  ASSERT_TRUE(std::filesystem::exists(fresh));
  EXPECT_EQ(encoder.EncoderDiscard(), ENC_OK);
  EXPECT_FALSE(fake->open);
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_EQ(encoder.EncoderMetrics(1), -1);
}

TEST_F(EncoderWAVTest, EncodeRefusesOverlongNullAndIdleBlocks) {
  EncoderWAV encoder;
  const auto block = Pattern(176401);
  int32_t used = 12345;
  EXPECT_EQ(encoder.Encode(block.data(), 100, used), ENC_BUFFER_TOO_LARGE);  // idle
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  EXPECT_EQ(encoder.Encode(block.data(), 176401, used), ENC_BUFFER_TOO_LARGE);
  EXPECT_EQ(used, 12345);  // left as the caller set it
  EXPECT_EQ(encoder.Encode(nullptr, 4000, used), ENC_CONVERT_FAILED);
  EXPECT_EQ(used, 0);
  EXPECT_EQ(encoder.Encode(block.data(), 176400, used), ENC_OK);  // exactly one second is fine
  EXPECT_EQ(used, 176400);
  EXPECT_EQ(encoder.EncoderClose(), ENC_OK);
  EXPECT_EQ(DataOfValidWav(file, 18).size(), 176400u);
}

TEST_F(EncoderWAVTest, OddLengthBlockReportsOnlyWholeFramesUsed) {
  EncoderWAV encoder;
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  const auto block = Pattern(10243);
  int32_t used = 0;
  EXPECT_EQ(encoder.Encode(block.data(), 10243, used), ENC_OK);
  EXPECT_EQ(used, 10240);
  encoder.EncoderClose();
  EXPECT_EQ(DataOfValidWav(file, 18).size(), 10240u);
}

TEST_F(EncoderWAVTest, WithoutHeaderTheFileHoldsOnlyConvertedBytes) {
  EncoderWAV encoder;
  encoder.WriteHeader(false);
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  const auto block = Pattern(kDefaultBlock);
  int32_t used = 0;
  ASSERT_EQ(encoder.Encode(block.data(), kDefaultBlock, used), ENC_OK);
  EXPECT_FALSE(encoder.WriteWavHeader());
  encoder.EncoderClose();
  EXPECT_EQ(ReadFileBytes(file), block);
}

TEST_F(EncoderWAVTest, WriteHeaderCannotChangeWhileRunning) {
  EncoderWAV encoder;
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  try {
    encoder.WriteHeader(false);
    FAIL() << "no error raised";
  } catch (const AppError& error) {
    EXPECT_EQ(error.number(), 90);
    EXPECT_EQ(error.description(), "Encoder already running!");
  }
  EXPECT_TRUE(encoder.WriteHeader());
  encoder.EncoderClose();
  encoder.WriteHeader(false);
  EXPECT_FALSE(encoder.WriteHeader());
}

TEST_F(EncoderWAVTest, InitWhileRunningFinishesTheFirstFile) {
  EncoderWAV encoder;
  const auto first = dir / "first.wav";
  ASSERT_EQ(encoder.EncoderInit(44100, 2, first), ENC_OK);
  const auto block = Pattern(kDefaultBlock);
  int32_t used = 0;
  ASSERT_EQ(encoder.Encode(block.data(), kDefaultBlock, used), ENC_OK);
  ASSERT_EQ(encoder.EncoderInit(22050, 1, file), ENC_OK);
  EXPECT_EQ(encoder.EncoderMetrics(1), 44100);
  EXPECT_EQ(DataOfValidWav(first, 18), block);
  ASSERT_EQ(encoder.Encode(block.data(), 4410, used), ENC_OK);
  encoder.EncoderClose();
  // 0.1 s of 22050 Hz mono input, converted to the 44100 Hz stereo target.
  EXPECT_EQ(DataOfValidWav(file, 18).size(), 17640u);
}

TEST_F(EncoderWAVTest, ExistingFileIsReplacedAndDestructionFinishesTheFile) {
  { std::ofstream(file, std::ios::binary) << std::string(100000, 'x'); }
  {
    EncoderWAV encoder;
    ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
    const auto block = Pattern(400);
    int32_t used = 0;
    ASSERT_EQ(encoder.Encode(block.data(), 400, used), ENC_OK);
  }  // destroyed while running
  EXPECT_EQ(DataOfValidWav(file, 18).size(), 400u);
}

TEST_F(EncoderWAVTest, HeaderCanBeRefreshedDuringTheRecording) {
  EncoderWAV encoder;
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  const auto block = Pattern(kDefaultBlock);
  int32_t used = 0;
  ASSERT_EQ(encoder.Encode(block.data(), kDefaultBlock, used), ENC_OK);
  ASSERT_TRUE(encoder.WriteWavHeader());
  EXPECT_EQ(DataOfValidWav(file, 18), block);  // readable as it is now
  ASSERT_EQ(encoder.Encode(block.data(), kDefaultBlock, used), ENC_OK);  // appends after, not at the header
  encoder.EncoderClose();
  EXPECT_EQ(DataOfValidWav(file, 18).size(), 2u * kDefaultBlock);
}

// What a killed process leaves behind: a copy of the file taken while it is open.
std::filesystem::path SnapshotOf(const std::filesystem::path& file, const std::string& name) {
  const auto copy = file.parent_path() / name;
  std::filesystem::copy_file(file, copy, std::filesystem::copy_options::overwrite_existing);
  return copy;
}

std::vector<uint8_t> AsBytes(const int16_t* samples, size_t count) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
  return {bytes, bytes + count * sizeof(int16_t)};
}

TEST_F(EncoderWAVTest, HeaderIsValidFromInitAndAfterEveryBlockWithoutARefreshPause) {
  EncoderWAV encoder;
  encoder.HeaderRefreshInterval(std::chrono::milliseconds{0});
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  EXPECT_TRUE(DataOfValidWav(file, 18).empty()) << "valid and empty before the first block";

  const auto signal = TestSignal(44100, 2, 1.0);
  std::vector<uint8_t> written;
  size_t at = 0;
  for (int block = 0; block < 6; ++block, at += 5120) {
    int32_t used = 0;
    ASSERT_EQ(encoder.Encode(signal.data() + at, 10240, used), ENC_OK);
    const auto bytes = AsBytes(signal.data() + at, 5120);
    written.insert(written.end(), bytes.begin(), bytes.end());
    ASSERT_EQ(DataOfValidWav(file, 18), written) << "after block " << block;
  }
  // Independent readers see exactly the samples so far in a copy of the open file.
  const auto copy = SnapshotOf(file, "copy.wav");
  const auto decoded = DecodeWithSox(copy);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(AsBytes(decoded->data(), decoded->size()), written);
  const auto probe = ProbeWithFfprobe(copy);
  ASSERT_TRUE(probe.has_value());
  EXPECT_NEAR(probe->duration, written.size() / 176400.0, 0.001);
  encoder.EncoderClose();
  EXPECT_EQ(DataOfValidWav(file, 18), written);
}

TEST_F(EncoderWAVTest, BlockCodecFileIsReadableMidRecording) {
  EncoderWAV encoder;
  encoder.HeaderRefreshInterval(std::chrono::milliseconds{0});
  const auto record = FormatRecord::IMAADPCM(44100, 2);
  encoder.SetFormat(record.data(), static_cast<int32_t>(record.size()), "ima", "IMA ADPCM");
  EXPECT_EQ(encoder.TargetBytesPerSecond(), WAVEFORMATEX::FromBytes(record).nAvgBytesPerSec);
  EXPECT_LT(encoder.TargetBytesPerSecond(), 176400 / 3) << "4-bit samples";
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  const auto signal = TestSignal(44100, 2, 3.0);
  for (size_t at = 0; at < signal.size(); at += 5120) {
    const auto bytes = static_cast<int32_t>(std::min<size_t>(5120, signal.size() - at) * 2);  // last block short
    int32_t used = 0;
    ASSERT_EQ(encoder.Encode(signal.data() + at, bytes, used), ENC_OK);
  }
  const auto copy = SnapshotOf(file, "copy.wav");
  EXPECT_EQ(DataOfValidWav(copy, 20).size() % 2048, 0u) << "whole ADPCM blocks only";
  const auto decoded = DecodeWithSox(copy);
  ASSERT_TRUE(decoded.has_value());
  // All but what the converter holds for its next block (< 2041 frames) is there.
  EXPECT_GT(decoded->size(), signal.size() - 2 * 2041);
  EXPECT_GT(ToneSNR(*decoded, 2, 0, 44100, ExpectedTones(2, 2, 0)), 25.0);
  ASSERT_TRUE(ProbeWithFfprobe(copy).has_value());
  encoder.EncoderClose();
}

TEST_F(EncoderWAVTest, RefreshPauseLeavesStaleSizesThatRepairMendsAndTheFinishedFileIsUnchanged) {
  const auto blocks = Pattern(8 * kDefaultBlock, 3);
  auto record = [&](const std::filesystem::path& path, std::chrono::milliseconds interval,
                    std::filesystem::path* snapshot) {
    EncoderWAV encoder;
    encoder.HeaderRefreshInterval(interval);
    ASSERT_EQ(encoder.EncoderInit(44100, 2, path), ENC_OK);
    for (int i = 0; i < 8; ++i) {
      int32_t used = 0;
      ASSERT_EQ(encoder.Encode(blocks.data() + i * kDefaultBlock, kDefaultBlock, used), ENC_OK);
    }
    if (snapshot != nullptr) *snapshot = SnapshotOf(path, "killed.wav");
    encoder.EncoderClose();
  };
  std::filesystem::path killed;
  record(file, std::chrono::hours{1}, &killed);
  record(dir / "every-block.wav", std::chrono::milliseconds{0}, nullptr);

  // Within the pause the header still describes the empty file of EncoderInit:
  // valid, but short of the audio behind it until the start-up repair.
  auto stale = ReadFileBytes(killed);
  ASSERT_EQ(stale.size(), 46u + blocks.size());
  EXPECT_EQ(ReadU32(stale, 4), 38u);
  EXPECT_EQ(ReadU32(stale, 42), 0u);
  EXPECT_EQ(WavFileRepair::Repair(killed.string()), WavFileRepair::Outcome::Repaired);
  EXPECT_EQ(DataOfValidWav(killed, 18), blocks);

  // However often the header was refreshed, the finished file is the same.
  EXPECT_EQ(ReadFileBytes(file), ReadFileBytes(dir / "every-block.wav"));
  EXPECT_EQ(DataOfValidWav(file, 18), blocks);
}

TEST_F(EncoderWAVTest, ConversionFailureIsReportedAfterWritingWhatWasProduced) {
  auto stream = std::make_unique<ScriptedConversionStream>();
  auto* fake = stream.get();
  EncoderWAV encoder(std::move(stream));
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  const auto block = Pattern(1000);
  int32_t used = 0;
  fake->convertFails = true;
  fake->producedOnFailure = 30;
  EXPECT_EQ(encoder.Encode(block.data(), 1000, used), ENC_CONVERT_FAILED);  // consumed input, still a failure
  EXPECT_EQ(used, 1000);
  fake->convertFails = false;
  EXPECT_EQ(encoder.Encode(block.data(), 1000, used), ENC_OK);  // still running
  encoder.EncoderClose();
  const auto data = DataOfValidWav(file, 18);
  ASSERT_EQ(data.size(), 1030u);
  EXPECT_EQ(data[0], 0xEE);
  EXPECT_EQ(data[29], 0xEE);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), data.begin() + 30));
}

TEST_F(EncoderWAVTest, FailedFlushWritesNothingAndGoodFlushIsAppended) {
  for (bool flushFails : {true, false}) {
    SCOPED_TRACE(flushFails ? "failing flush" : "working flush");
    auto stream = std::make_unique<ScriptedConversionStream>();
    stream->flushFails = flushFails;
    stream->flushBytes = 64;  // a failing flush claims bytes too: they must not reach the file
    EncoderWAV encoder(std::move(stream));
    ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
    const auto block = Pattern(400);
    int32_t used = 0;
    ASSERT_EQ(encoder.Encode(block.data(), 400, used), ENC_OK);
    EXPECT_EQ(encoder.EncoderClose(), ENC_OK);
    const auto data = DataOfValidWav(file, 18);
    ASSERT_EQ(data.size(), flushFails ? 400u : 464u);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), data.begin()));
    if (!flushFails) {
      EXPECT_EQ(data.back(), 0xF1);
    }
  }
}

TEST_F(EncoderWAVTest, BlocksThatCouldOverflowTheRiffSizesAreRefused) {
  // One second of input bounds both a block's output and the flush (176400 bytes here);
  // with this limit four blocks fit before the reserve for block + flush runs out.
  const int64_t limit = 46 + 2 * 176400 + 3 * kDefaultBlock + 100;
  auto stream = std::make_unique<ScriptedConversionStream>();
  stream->flushBytes = 16;
  EncoderWAV encoder(std::move(stream), limit);
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  const auto block = Pattern(kDefaultBlock);
  int32_t used = 0;
  int accepted = 0;
  EncoderResult result = ENC_OK;
  while ((result = encoder.Encode(block.data(), kDefaultBlock, used)) == ENC_OK && accepted < 100) ++accepted;
  EXPECT_EQ(result, ENC_SIZE_LIMIT);  // told apart from a failed write
  EXPECT_EQ(used, 0);
  EXPECT_EQ(accepted, 4);
  EXPECT_EQ(encoder.Encode(block.data(), kDefaultBlock, used), ENC_SIZE_LIMIT);  // stays refused
  encoder.EncoderClose();
  const auto data = DataOfValidWav(file, 18);
  EXPECT_EQ(data.size(), 4u * kDefaultBlock + 16);
  EXPECT_LE(static_cast<int64_t>(data.size()) + 46, limit);
}

TEST_F(EncoderWAVTest, SetPCMFormatBuildsTextsAndRecord) {
  EncoderWAV encoder;
  encoder.SetPCMFormat(22050, 1, "", "");
  EXPECT_EQ(encoder.FormatTag(), "PCM");
  EXPECT_EQ(encoder.FormatID(), "22 16 Bit mono");  // 22.05 to one decimal, half to even
  const WAVEFORMATEX wfx = WAVEFORMATEX::FromBytes(encoder.TargetFormat());
  EXPECT_EQ(encoder.TargetFormat().size(), 18u);
  EXPECT_EQ(wfx.nBlockAlign, 2);
  EXPECT_EQ(wfx.nAvgBytesPerSec, 44100u);
  encoder.SetPCMFormat(44100, 2, "", "");
  EXPECT_EQ(encoder.FormatID(), "44.1 16 Bit stereo");
  encoder.SetPCMFormat(8000, 1, "own id", "own tag");
  EXPECT_EQ(encoder.FormatID(), "own id");
  EXPECT_EQ(encoder.FormatTag(), "own tag");
}

TEST_F(EncoderWAVTest, SetFormatIgnoresMissingOrShortRecords) {
  EncoderWAV encoder;
  encoder.SetFormat(nullptr, 18, "x", "y");
  const uint8_t shortRecord[10] = {};
  encoder.SetFormat(shortRecord, 10, "x", "y");
  EXPECT_EQ(encoder.FormatTag(), "PCM");
  EXPECT_EQ(encoder.TargetFormat().size(), 18u);
  const std::vector<uint8_t> large(200000, 0x11);  // longer than the initial 131072-byte store
  encoder.SetFormat(large.data(), 200000, "big", "big");
  EXPECT_EQ(encoder.TargetFormat().size(), 200000u);
}

TEST_F(EncoderWAVTest, SetFormatTakesAPcmRecordWithoutCbSize) {
  EncoderWAV encoder;
  const auto pcm = FormatRecord::PCM(8000, 1, 8).ToBytes();
  encoder.SetFormat(pcm.data(), 16, "8 kHz 8 Bit Mono", "PCM");
  EXPECT_EQ(encoder.FormatID(), "8 kHz 8 Bit Mono");
  ASSERT_EQ(encoder.TargetFormat().size(), 18u);
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), encoder.TargetFormat().begin())) << "cbSize 0 added";
  EXPECT_EQ(encoder.TargetBytesPerSecond(), 8000);
  ASSERT_EQ(encoder.EncoderInit(8000, 1, file), ENC_OK);
  const auto block = Pattern(1600);
  int32_t used = 0;
  ASSERT_EQ(encoder.Encode(block.data(), 1600, used), ENC_OK);
  ASSERT_EQ(encoder.EncoderClose(), ENC_OK);
  EXPECT_EQ(DataOfValidWav(file, 18).size(), 800u);
  const auto probe = ProbeWithSox(file);
  ASSERT_TRUE(probe.has_value());
  EXPECT_NE(probe->codec.find("Unsigned Integer PCM"), std::string::npos) << probe->codec;

  auto ima = FormatRecord::IMAADPCM(8000, 1);
  encoder.SetFormat(ima.data(), 16, "x", "y");
  EXPECT_EQ(encoder.FormatID(), "8 kHz 8 Bit Mono") << "16 bytes of another family are no record";
}

TEST_F(EncoderWAVTest, FailedInitTellsWhy) {
  EncoderWAV encoder;
  EXPECT_EQ(encoder.EncoderInit(44100, 2, dir / "missing" / "x.wav"), ENC_FILE_ERROR);
  EXPECT_NE(encoder.InitError().find(std::strerror(ENOENT)), std::string::npos) << encoder.InitError();
  EXPECT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  EXPECT_EQ(encoder.InitError(), "");
  encoder.EncoderClose();

  // A record the codec library refuses (IMA ADPCM blocks must be a power of two):
  // the refused parameter and the library's own words.
  auto ima = FormatRecord::IMAADPCM(40000, 2);
  ima[12] = 0x00;  // nBlockAlign 3072
  ima[13] = 0x0C;
  const auto samples = static_cast<uint16_t>(FormatRecord::IMASamplesPerBlock(3072, 2));
  ima[18] = static_cast<uint8_t>(samples);
  ima[19] = static_cast<uint8_t>(samples >> 8);
  encoder.SetFormat(ima.data(), static_cast<int32_t>(ima.size()), "ima", "IMA ADPCM");
  EXPECT_EQ(encoder.EncoderInit(40000, 2, file), ENC_INIT_FAILED);
  EXPECT_NE(encoder.InitError().find("3072-byte blocks"), std::string::npos) << encoder.InitError();
  EXPECT_NE(encoder.InitError().find(std::strerror(EINVAL)), std::string::npos) << encoder.InitError();

  auto stream = std::make_unique<ScriptedConversionStream>();
  stream->openSucceeds = false;
  EncoderWAV scripted(std::move(stream));
  EXPECT_EQ(scripted.EncoderInit(44100, 2, file), ENC_INIT_FAILED);
  EXPECT_EQ(scripted.InitError(), "scripted refusal");
}

TEST_F(EncoderWAVTest, CancelledChooserChangesNothing) {
  EncoderWAV encoder;
  ScriptedChooser chooser;
  EXPECT_EQ(encoder.SelectFormat(22050, 1, chooser, "选择声音输出格式"), ENC_CANCELLED);
  EXPECT_EQ(chooser.seenTitle, "选择声音输出格式");
  EXPECT_EQ(chooser.seenInput.wFormatTag, 1);
  EXPECT_EQ(chooser.seenInput.nSamplesPerSec, 22050u);
  EXPECT_EQ(chooser.seenInput.nChannels, 1);
  EXPECT_EQ(chooser.seenInput.wBitsPerSample, 16);
  EXPECT_EQ(chooser.seenInput.nBlockAlign, 2);
  // A record claiming more extra bytes than it carries counts as a failed chooser.
  auto truncated = FormatRecord::MSADPCM(22050, 1);
  truncated.resize(30);
  chooser.answer = FormatEntry{truncated, "MS ADPCM", "22.050 kHz, 4 Bit, Mono"};
  EXPECT_EQ(encoder.SelectFormat(22050, 1, chooser, "t"), ENC_CANCELLED);
  EXPECT_EQ(encoder.FormatTag(), "PCM");
  EXPECT_EQ(encoder.FormatID(), "44.1 kHz 16 Bit Stereo");
  EXPECT_EQ(encoder.TargetFormat().size(), 18u);
}

TEST_F(EncoderWAVTest, ChosenFormatWith32ExtraBytesGivesAFmtChunkOf50) {
  EncoderWAV encoder;
  ScriptedChooser chooser;
  chooser.answer = FormatEntry{FormatRecord::MSADPCM(44100, 2), "MS ADPCM", "44.100 kHz, 4 Bit, Stereo"};
  ASSERT_EQ(encoder.SelectFormat(44100, 2, chooser, "t"), ENC_OK);
  EXPECT_EQ(encoder.TargetFormat().size(), 50u);
  EXPECT_EQ(encoder.FormatTag(), "MS ADPCM");
  EXPECT_EQ(encoder.FormatID(), "44.100 kHz, 4 Bit, Stereo");
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file), ENC_OK);
  const auto signal = TestSignal(44100, 2, 0.5);
  int32_t used = 0;
  ASSERT_EQ(encoder.Encode(signal.data(), static_cast<int32_t>(signal.size() * 2), used), ENC_OK);
  encoder.EncoderClose();
  const auto data = DataOfValidWav(file, 50);
  EXPECT_EQ(data.size() % 2048, 0u);  // whole ADPCM blocks only
  const auto probe = ProbeWithFfprobe(file);
  ASSERT_TRUE(probe.has_value());
  EXPECT_EQ(probe->codec, "adpcm_ms");
}

TEST_F(EncoderWAVTest, ChosenTextsEndAtTheirFirstNul) {
  // A chooser that hands over fixed-size text fields: what follows the NUL is padding.
  EncoderWAV encoder;
  ScriptedChooser chooser;
  chooser.answer = FormatEntry{FormatRecord::IMAADPCM(8000, 1), std::string("IMA ADPCM\0\0old tag", 18),
                               std::string("8.000 kHz, 4 Bit, Mono\0stale", 28)};
  ASSERT_EQ(encoder.SelectFormat(8000, 1, chooser, "t"), ENC_OK);
  EXPECT_EQ(encoder.FormatTag(), "IMA ADPCM");
  EXPECT_EQ(encoder.FormatID(), "8.000 kHz, 4 Bit, Mono");
  // Texts without a NUL are kept whole.
  chooser.answer = FormatEntry{FormatRecord::G711(WAVE_FORMAT_ALAW, 8000, 1), "CCITT A-Law", "8.000 kHz, 8 Bit, Mono"};
  ASSERT_EQ(encoder.SelectFormat(8000, 1, chooser, "t"), ENC_OK);
  EXPECT_EQ(encoder.FormatTag(), "CCITT A-Law");
  EXPECT_EQ(encoder.FormatID(), "8.000 kHz, 8 Bit, Mono");
}

// A small tmpfs that fills up: mounted for the test, removed after it.
class FullDiskTest : public EncoderWAVTest {
 protected:
  void SetUp() override {
    if (!disk.Mounted()) GTEST_SKIP() << disk.SkipReason();
    mountPoint = disk.path();
  }
  SmallTmpfs disk{dir.path()};
  std::filesystem::path mountPoint;
};

TEST_F(FullDiskTest, FullDiskReportsWriteErrorAndLeavesAValidWav) {
  const auto path = mountPoint / "full.wav";
  EncoderWAV encoder;
  ASSERT_EQ(encoder.EncoderInit(44100, 2, path), ENC_OK);
  std::vector<uint8_t> written;
  EncoderResult result = ENC_OK;
  for (int i = 0; i < 100 && result == ENC_OK; ++i) {
    const auto block = Pattern(kDefaultBlock, static_cast<uint8_t>(i));
    int32_t used = 0;
    result = encoder.Encode(block.data(), kDefaultBlock, used);
    if (result == ENC_OK) written.insert(written.end(), block.begin(), block.end());
  }
  EXPECT_EQ(result, ENC_WRITE_ERROR);
  EXPECT_GT(written.size(), 0u);
  EXPECT_EQ(encoder.EncoderClose(), ENC_OK);
  EXPECT_EQ(DataOfValidWav(path, 18), written);  // every accepted block, no partial one
  const auto probe = ProbeWithFfprobe(path);
  ASSERT_TRUE(probe.has_value());
  EXPECT_NEAR(probe->duration, written.size() / 176400.0, 0.001);
  EXPECT_TRUE(ProbeWithSox(path).has_value());
}

TEST_F(FullDiskTest, BlockCodecOnAFullDiskKeepsWholeBlocks) {
  const auto path = mountPoint / "full-ima.wav";
  EncoderWAV encoder;
  const auto record = FormatRecord::IMAADPCM(44100, 2);
  encoder.SetFormat(record.data(), static_cast<int32_t>(record.size()), "ima", "IMA ADPCM");
  ASSERT_EQ(encoder.EncoderInit(44100, 2, path), ENC_OK);
  const auto signal = TestSignal(44100, 2, 3.0);
  EncoderResult result = ENC_OK;
  // 128 KiB hold about 2.9 s of this ADPCM: feed up to 12 s.
  for (int pass = 0; pass < 4 && result == ENC_OK; ++pass) {
    for (size_t at = 0; at < signal.size() && result == ENC_OK; at += 5120) {
      int32_t used = 0;
      const auto count = static_cast<int32_t>(std::min<size_t>(5120, signal.size() - at));
      result = encoder.Encode(signal.data() + at, count * 2, used);
    }
  }
  EXPECT_EQ(result, ENC_WRITE_ERROR);
  encoder.EncoderClose();
  EXPECT_EQ(DataOfValidWav(path, 20).size() % 2048, 0u);
  const auto decoded = DecodeWithSox(path);
  ASSERT_TRUE(decoded.has_value());
  EXPECT_GT(decoded->size(), 44100u * 2);
}

}  // namespace
