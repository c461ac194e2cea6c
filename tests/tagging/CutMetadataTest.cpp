// The cut of a tagged take: exactly the markers inside the kept part, counted
// from the cut's start (for Opus and MP3 within one codec frame), the take's
// texts with the cut's own loudness, a label file of its own; a take without
// tags or with lying chunks leaves the cut as the trimmer made it.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "encoding/TakeTrimmer.h"
#include "tagging/CutMetadata.h"
#include "tagging/LabelFile.h"
#include "tagging/TakeMetadataWriter.h"
#include "tagging/WavMetadataReader.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/tagging/TakeFiles.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t k10Ms = kRate / 100;  // positions in whole 10 ms steps: exact in millisecond chapters
// Kept: [0.5 s, 2.0 s). Markers before, at the first kept frame, inside, at the end (not kept), after.
constexpr TrimRange kKept{.first = 50 * k10Ms, .end = 200 * k10Ms, .rate = kRate};
const std::vector<int64_t> kMarkers{10 * k10Ms, 50 * k10Ms, 137 * k10Ms, 200 * k10Ms, 250 * k10Ms};

// A 3 s take of `type` in `dir`, tagged with kMarkers, a comment and loudness.
std::filesystem::path TaggedTake(const TempDir& dir, EncoderSelection::FileType type, const char* extension, int rate) {
  const auto take = dir / (std::string("录音 1.") + extension);
  Record(take, type, rate, 2, 3 * rate);
  TakeMetadata metadata = WithMarkers(kMarkers);
  metadata.comment = "排练";
  metadata.loudness = TakeMetadata::Loudness{.integratedLufs = -20, .rangeLu = 5, .truePeakDbtp = -1};
  const auto written = TakeMetadataWriter::Write(take.string(), type, kRate, metadata);
  EXPECT_TRUE(written.ok()) << written.reason;
  return take;
}

// The loudness the cut was measured at; the take's is -20 LUFS.
constexpr TakeMetadata::Loudness kCutLoudness{.integratedLufs = -30, .rangeLu = 2, .truePeakDbtp = -6};

std::string CutAndCarry(const std::filesystem::path& take, const TrimRange& range) {
  const TakeTrimmer::Result cut = TakeTrimmer::Trim(take.string(), range);
  EXPECT_TRUE(cut.ok) << cut.error;
  const auto carried = CutMetadata::Carry(take.string(), cut.path, cut.kept, kCutLoudness);
  EXPECT_TRUE(carried.ok()) << carried.reason;
  return cut.path;
}

void ExpectTextsWithTheCutsLoudness(const std::string& cut) {
  const std::string tags = ProbeTags(cut);
  for (const char* line : {"title=录音 1\n", "comment=排练\n", "2026-12-07"}) {
    EXPECT_NE(tags.find(line), std::string::npos) << line << " in\n" << tags;
  }
  // The cut's own: "bext" in a WAV, the gain field of the others.
  TakeMetadata wav;
  const bool bext = WavMetadataReader::Read(cut, wav).empty() && wav.loudness && wav.loudness->integratedLufs == -30;
  const bool gain = tags.find("replaygain_track_gain=12.00 db") != std::string::npos ||
                    tags.find("r128_track_gain=1792") != std::string::npos;
  EXPECT_TRUE(bext || gain) << tags;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CutMetadataTest, WavCutHoldsExactlyTheInsideCuePointsShifted) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TempDir dir;
  const std::string cut = CutAndCarry(TaggedTake(dir, EncoderSelection::TYPE_WAV, "wav", kRate), kKept);
  int64_t frames = 0;
  EXPECT_EQ(CueOffsets(cut, &frames), (std::vector<uint32_t>{0, 87 * k10Ms}));
  EXPECT_EQ(frames, kKept.end - kKept.first) << "the audio of the cut changed";
  ExpectTextsWithTheCutsLoudness(cut);
  EXPECT_EQ(ReadFileBytes(cut).size() % 2, 0u);
  EXPECT_EQ(ReadText(LabelFile::PathFor(cut)), "0.000000\t0.000000\t标记 2\n0.870000\t0.870000\t标记 3\n");
}

TEST(CutMetadataTest, FlacCutHoldsExactlyTheInsideChaptersShifted) {
  TempDir dir;
  const std::string cut = CutAndCarry(TaggedTake(dir, EncoderSelection::TYPE_FLAC, "flac", kRate), kKept);
  const auto chapters = ProbeChapters(cut);
  ASSERT_EQ(chapters.size(), 2u);
  EXPECT_DOUBLE_EQ(chapters[0].start, 0);
  EXPECT_EQ(chapters[0].title, "标记 2");
  EXPECT_DOUBLE_EQ(chapters[1].start, 0.87);
  EXPECT_EQ(chapters[1].title, "标记 3");
  ExpectTextsWithTheCutsLoudness(cut);
}

struct PacketCase {
  EncoderSelection::FileType type;
  const char* extension;
  int rate;        // of the file
  int codecFrame;  // frames of the file in one packet
};

class CutMetadataPacketTest : public ::testing::TestWithParam<PacketCase> {};

TEST_P(CutMetadataPacketTest, ChaptersCountFromTheFirstKeptPacket) {
  TempDir dir;
  // Off the packet grid on purpose: the cut moves to the nearest packet, the chapters with it. No
  // marker lies within a packet of either end.
  const TrimRange range{.first = 60 * k10Ms + 333, .end = 180 * k10Ms, .rate = kRate};
  const std::string cut = CutAndCarry(TaggedTake(dir, GetParam().type, GetParam().extension, GetParam().rate), range);
  const auto chapters = ProbeChapters(cut);
  ASSERT_EQ(chapters.size(), 1u) << "only the marker at 1.37 s lies inside";
  // The cut starts with the first packet whose middle lies in the range; the chapter counts from there.
  const int64_t frame = GetParam().codecFrame;
  const int64_t fileFirst = TrimRange::AtRate(range.first, kRate, GetParam().rate);
  const int64_t packetFirst = (fileFirst - frame / 2 + frame - 1) / frame * frame;
  const double expected = double(137 * k10Ms) / kRate - double(packetFirst) / GetParam().rate;
  EXPECT_NEAR(chapters[0].start, expected, 0.0015) << "milliseconds, rounded twice";
  EXPECT_LT(std::abs(chapters[0].start - double(137 * k10Ms - range.first) / kRate), double(frame) / GetParam().rate);
  EXPECT_EQ(chapters[0].title, "标记 3");
  ExpectTextsWithTheCutsLoudness(cut);
}

INSTANTIATE_TEST_SUITE_P(Types, CutMetadataPacketTest,
                         ::testing::Values(PacketCase{EncoderSelection::TYPE_OPUS, "opus", 48000, 960},
                                           PacketCase{EncoderSelection::TYPE_MP3, "mp3", kRate, 1152}),
                         [](const auto& info) { return std::string(info.param.extension); });

TEST(CutMetadataTest, UntaggedOrLyingTakesLeaveTheCutAsTrimmed) {
  TempDir dir;
  const auto take = dir / "录音 2.wav";
  Record(take, EncoderSelection::TYPE_WAV, kRate, 2, kRate);
  const TakeTrimmer::Result bare = TakeTrimmer::Trim(take.string(), {.first = 100, .end = 2000, .rate = kRate});
  ASSERT_TRUE(bare.ok) << bare.error;
  const auto before = ReadFileBytes(bare.path);
  EXPECT_TRUE(CutMetadata::Carry(take.string(), bare.path, bare.kept, std::nullopt).ok());
  EXPECT_EQ(ReadFileBytes(bare.path), before) << "an untagged take tagged its cut";

  // A cue chunk claiming 4 G points in 28 bytes, then a LIST claiming more than the file.
  std::ofstream append(take, std::ios::binary | std::ios::app);
  const char lying[] = "cue \x1c\0\0\0\xff\xff\xff\xff\1\0\0\0\xe8\x03\0\0data\0\0\0\0\0\0\0\0\xe8\x03\0\0LIST\xf0\xff\xff\x7fINFO";
  append.write(lying, sizeof lying - 1);
  append.close();
  const auto carried = CutMetadata::Carry(take.string(), bare.path, bare.kept, std::nullopt);
  EXPECT_TRUE(carried.ok()) << carried.reason;
  int64_t frames = 0;
  EXPECT_EQ(CueOffsets(bare.path, &frames), std::vector<uint32_t>{900}) << "the one whole cue point, shifted";
}

}  // namespace
