// Checkpoint (a pause): a copy of the file taken right after one, which is what a
// kill while paused leaves, holds every sample fed once the start-up repair has
// run; and checkpoints leave the finished file byte for byte as it is without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>

#include "encoding/EncoderFLAC.h"
#include "encoding/EncoderMP3.h"
#include "encoding/EncoderOpus.h"
#include "encoding/EncoderWAV.h"
#include "encoding/FlacFileRepair.h"
#include "encoding/FlacVerbatimFrame.h"
#include "encoding/FormatRecord.h"
#include "encoding/OggPageScanner.h"
#include "encoding/WavFileRepair.h"
#include "tests/encoding/AudioProbe.h"

namespace {

enum class Type { WavPcm, WavImaAdpcm, Flac, Opus, Mp3 };

struct Recording {
  Type type;
  int rate;
  int channels;
};

std::string Name(const ::testing::TestParamInfo<Recording>& info) {
  static const char* const kNames[] = {"wav", "ima_adpcm_wav", "flac", "opus", "mp3"};
  return std::string(kNames[static_cast<int>(info.param.type)]) + "_" + std::to_string(info.param.rate) + "Hz_" +
         std::to_string(info.param.channels) + "ch";
}

std::unique_ptr<Encoder> MakeEncoder(const Recording& r) {
  auto wav = std::make_unique<EncoderWAV>();
  switch (r.type) {
    case Type::WavPcm: wav->SetPCMFormat(r.rate, static_cast<int16_t>(r.channels), "", ""); return wav;
    case Type::WavImaAdpcm: {
      const auto record = FormatRecord::IMAADPCM(r.rate, static_cast<int16_t>(r.channels));
      wav->SetFormat(record.data(), static_cast<int32_t>(record.size()), "ima", "IMA ADPCM");
      return wav;
    }
    case Type::Flac: return std::make_unique<EncoderFLAC>();
    case Type::Opus: return std::make_unique<EncoderOpus>();
    case Type::Mp3: return std::make_unique<EncoderMP3>();
  }
  return nullptr;
}

// Noise of slowly changing loudness: no codec frame repeats another.
std::vector<int16_t> Noise(size_t frames, int channels) {
  std::vector<int16_t> samples(frames * static_cast<size_t>(channels));
  uint32_t state = 12345;
  for (size_t i = 0; i < samples.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    const double loudness = 0.1 + 0.9 * std::abs(std::sin(static_cast<double>(i) * 3e-4));
    samples[i] = static_cast<int16_t>((static_cast<int32_t>(state >> 16) - 32768) * loudness);
  }
  return samples;
}

// Feeds sample frames [from, to) of `signal` in blocks of odd sizes, each taken whole.
void Feed(Encoder& encoder, const std::vector<int16_t>& signal, int channels, size_t from, size_t to) {
  static constexpr size_t kBlocks[] = {4410, 3001, 1777, 5003};
  for (size_t block = 0; from < to; ++block) {
    const size_t frames = std::min(kBlocks[block % 4], to - from);
    const auto bytes = static_cast<int32_t>(frames * channels * 2);
    int32_t used = 0;
    ASSERT_EQ(encoder.Encode(signal.data() + from * channels, bytes, used), ENC_OK) << "at frame " << from;
    ASSERT_EQ(used, bytes);
    from += frames;
  }
}

// An Ogg stream's serial number is drawn at random (and each page's CRC covers
// it): both blanked, two files of the same audio compare equal.
std::vector<uint8_t> WithoutOggSerials(std::vector<uint8_t> bytes) {
  const auto startsPage = [&](size_t at) { return std::equal(bytes.begin() + at, bytes.begin() + at + 4, "OggS"); };
  for (size_t page = 0; page + 27 <= bytes.size() && startsPage(page);) {
    std::fill(bytes.begin() + page + 14, bytes.begin() + page + 18, uint8_t{0});
    std::fill(bytes.begin() + page + 22, bytes.begin() + page + 26, uint8_t{0});
    const size_t segments = bytes[page + 26];
    size_t body = 0;
    for (size_t i = 0; i < segments && page + 27 + i < bytes.size(); ++i) body += bytes[page + 27 + i];
    page += 27 + segments + body;
  }
  return bytes;
}

class CheckpointTest : public ::testing::TestWithParam<Recording> {
 protected:
  TempDir dir;
  const Recording& r = GetParam();
};

// Samples a reader may find beyond or short of those fed: one codec frame for
// the lossy types (Opus decodes at 48 kHz; MP3 at these rates is MPEG-1), none
// for WAV and FLAC.
double Tolerance(Type type) { return type == Type::Opus ? 960 : type == Type::Mp3 ? 1152 : 0; }

class CheckpointCopyTest : public CheckpointTest {
 protected:
  // Records `signal`, checkpoints, and judges a copy of the file as a kill would
  // leave it; then goes on and finishes the file.
  void ExpectCopyHoldsEverySampleOf(const std::vector<int16_t>& signal) {
    const auto encoder = MakeEncoder(r);
    const auto file = dir / ("paused." + encoder->Extension());
    ASSERT_EQ(encoder->EncoderInit(r.rate, static_cast<int16_t>(r.channels), file), ENC_OK);
    Feed(*encoder, signal, r.channels, 0, signal.size() / r.channels);
    ASSERT_EQ(encoder->Checkpoint(), ENC_OK);

    const auto copy = dir / ("killed." + encoder->Extension());
    std::filesystem::copy_file(file, copy);
    if (r.type == Type::WavPcm) {
      EXPECT_FALSE(WavFileRepair::NeedsRepair(copy.string())) << "the header describes every byte";
    } else if (r.type == Type::Flac) {
      EXPECT_EQ(FlacFileRepair::Repair(copy.string()), FlacFileRepair::Outcome::Repaired);
    }
    EXPECT_EQ(DecoderComplaints(copy), "");
    const auto decoded = DecodeWithFfmpeg(copy);
    ASSERT_TRUE(decoded.has_value());
    if (r.type == Type::WavPcm || r.type == Type::Flac) {
      EXPECT_TRUE(*decoded == signal) << "ffmpeg: " << decoded->size() << " of " << signal.size() << " samples";
      EXPECT_TRUE(DecodeWithSox(copy) == signal) << "sox";
    } else {
      const auto probe = ProbeWithFfprobe(copy);
      ASSERT_TRUE(probe.has_value());
      const double fed = static_cast<double>(signal.size()) / r.channels * probe->rate / r.rate;
      EXPECT_NEAR(static_cast<double>(decoded->size() / r.channels), fed, Tolerance(r.type));
    }
    // Going on after the pause cuts the checkpoint's additions off again.
    Feed(*encoder, signal, r.channels, 0, signal.size() / r.channels);
    ASSERT_EQ(encoder->EncoderClose(), ENC_OK);
    EXPECT_EQ(DecoderComplaints(file), "");
  }
};

TEST_P(CheckpointTest, FinishedFileIsTheSameWithCheckpoints) {
  const auto signal = Noise(static_cast<size_t>(r.rate) * 2 + 1237, r.channels);
  const size_t total = signal.size() / r.channels;
  const size_t pauses[] = {static_cast<size_t>(r.rate) / 2 + 311, static_cast<size_t>(r.rate) + 4099, total};
  std::vector<std::vector<uint8_t>> files;
  for (const bool paused : {false, true}) {
    const auto encoder = MakeEncoder(r);
    const auto file = dir / ("out" + std::to_string(files.size()) + "." + encoder->Extension());
    ASSERT_EQ(encoder->EncoderInit(r.rate, static_cast<int16_t>(r.channels), file), ENC_OK);
    size_t at = 0;
    for (const size_t pause : pauses) {
      Feed(*encoder, signal, r.channels, at, pause);
      at = pause;
      for (int twice = 0; paused && twice < 2; ++twice) EXPECT_EQ(encoder->Checkpoint(), ENC_OK);
    }
    ASSERT_EQ(encoder->EncoderClose(), ENC_OK);
    EXPECT_EQ(encoder->Checkpoint(), ENC_FILE_ERROR) << "no file open";
    files.push_back(WithoutOggSerials(ReadFileBytes(file)));
  }
  EXPECT_EQ(files[0].size(), files[1].size());
  EXPECT_TRUE(files[0] == files[1]);
}

TEST_P(CheckpointCopyTest, HoldsEverySampleFedAfterTheStartUpRepair) {
  ExpectCopyHoldsEverySampleOf(Noise(static_cast<size_t>(r.rate) * 13 / 10 + 1237, r.channels));
}

// Less than a codec frame: for the codecs, all of it is still in the look-ahead
// or the partial frame, and nothing of their own stream has reached the file.
TEST_P(CheckpointCopyTest, HoldsALessThanOneFrameRecording) { ExpectCopyHoldsEverySampleOf(Noise(1001, r.channels)); }

// FLAC with a rate of its own code and one written out; Opus and MP3 at their
// own rate and resampled (8 kHz MP3 runs at 32 kHz).
const auto kCopied = ::testing::Values(Recording{Type::WavPcm, 44100, 2}, Recording{Type::Flac, 44100, 2},
                                       Recording{Type::Flac, 11025, 1}, Recording{Type::Opus, 48000, 1},
                                       Recording{Type::Opus, 44100, 2}, Recording{Type::Mp3, 48000, 1},
                                       Recording{Type::Mp3, 8000, 2});
INSTANTIATE_TEST_SUITE_P(Types, CheckpointCopyTest, kCopied, Name);
// An IMA ADPCM conversion keeps its partial block through a checkpoint: only the finished file is checked.
INSTANTIATE_TEST_SUITE_P(Types, CheckpointTest,
                         ::testing::Values(Recording{Type::WavPcm, 44100, 2}, Recording{Type::WavImaAdpcm, 22050, 1},
                                           Recording{Type::Flac, 44100, 2}, Recording{Type::Opus, 44100, 2},
                                           Recording{Type::Mp3, 44100, 2}),
                         Name);

// The frame a FLAC checkpoint adds carries its number in a code of 1 to 6 bytes;
// the start-up repair reads it (with the CRCs) to count the file's samples.
TEST(FlacVerbatimFrameTest, RepairCountsTheFrameWhateverItsNumber) {
  TempDir dir;
  const auto file = dir / "frame.flac";
  constexpr int kBlock = 16;  // STREAMINFO's block size: frame number * 16 stays within the 36-bit total
  const auto samples = Noise(kBlock, 2);
  for (const uint32_t number : {0u, 127u, 128u, 2047u, 2048u, 65535u, 65536u, (1u << 21) - 1, 1u << 21,
                                (1u << 26) - 1, 1u << 26, (1u << 31) - 1}) {
    // STREAMINFO: block sizes, no frame sizes, 44100 Hz, 2 channels, 16 bits, total unknown, no MD5;
    // then the comment block with the codec library's vendor and the padding, as our writer leaves them.
    std::vector<uint8_t> bytes = {'f', 'L', 'a', 'C', 0x00, 0, 0, 34, 0, kBlock, 0, kBlock, 0, 0, 0, 0, 0, 0,
                                  0x0A, 0xC4, 0x42, 0xF0, 0, 0, 0, 0};
    bytes.resize(42);
    const uint8_t ours[] = {4, 0, 0, 12, 4, 0, 0, 0, 'L', 'a', 'v', 'f', 0, 0, 0, 0, 0x81, 0, 0, 4, 0, 0, 0, 0};
    bytes.insert(bytes.end(), std::begin(ours), std::end(ours));
    FlacVerbatimFrame::Append(number, samples, 2, 44100, bytes);
    { std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size()); }
    ASSERT_EQ(FlacFileRepair::Repair(file.string()), FlacFileRepair::Outcome::Repaired) << number;
    const auto mended = ReadFileBytes(file);
    const uint64_t total = (uint64_t{mended[21] & 0x0Fu} << 32) | uint64_t{mended[22]} << 24 | mended[23] << 16 |
                           mended[24] << 8 | mended[25];
    EXPECT_EQ(total, uint64_t{number} * kBlock + kBlock) << number;
  }
}

// The muxer's bytes reach the scanner in slices of any size; a page header may
// be split anywhere.
TEST(OggPageScannerTest, FollowsPagesWhateverTheSlices) {
  TempDir dir;
  const auto file = dir / "out.opus";
  EncoderOpus encoder;
  ASSERT_EQ(encoder.EncoderInit(48000, 2, file), ENC_OK);
  const auto signal = Noise(48000, 2);
  Feed(encoder, signal, 2, 0, 48000);
  ASSERT_EQ(encoder.EncoderClose(), ENC_OK);
  const auto bytes = ReadFileBytes(file);
  const auto lastPage = std::string(bytes.begin(), bytes.end()).rfind("OggS");
  ASSERT_NE(lastPage, std::string::npos);
  int64_t lastGranule = 0;
  for (int i = 7; i >= 0; --i) lastGranule = lastGranule << 8 | bytes[lastPage + 6 + i];

  for (const size_t slice : {bytes.size(), size_t{1}, size_t{26}, size_t{1000}}) {
    OggPageScanner scanner;
    for (size_t at = 0; at < bytes.size(); at += slice) {
      scanner.Scan(std::span(bytes).subspan(at, std::min(slice, bytes.size() - at)));
    }
    EXPECT_TRUE(scanner.Valid()) << slice;
    EXPECT_EQ(scanner.LastGranule(), lastGranule) << slice;
    EXPECT_EQ(scanner.NextSequence(), ReadU32(bytes, lastPage + 18) + 1) << slice;
    EXPECT_EQ(scanner.Serial(), ReadU32(bytes, lastPage + 14)) << slice;
  }
  OggPageScanner scanner;
  scanner.Scan(std::span(bytes).subspan(1));
  EXPECT_FALSE(scanner.Valid()) << "no page header where one must start";
}

}  // namespace
