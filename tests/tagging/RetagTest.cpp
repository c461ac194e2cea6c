// Changing the texts of a tagged take: only title, start, program and comment
// change; the audio, the markers and the loudness fields stay as they were.
// WAV: only our own chunks after the audio are replaced, and every state a
// kill can leave on the way reads as the recording or is repaired to it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sndfile.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "encoding/WavFileRepair.h"
#include "tagging/TagLibMetadataReader.h"
#include "tagging/TakeMetadataWriter.h"
#include "tagging/WavMetadataReader.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/tagging/TakeFiles.h"

namespace {

using FileType = EncoderSelection::FileType;
constexpr int kRate = 48000;
const std::vector<int64_t> kMarkerFrames{kRate / 2, kRate * 2};
const TakeMetadata::Loudness kLoudness{.integratedLufs = -13, .rangeLu = 4.5, .truePeakDbtp = -1,
                                       .maxMomentaryLufs = -9.25};

TakeMetadata NewTexts(std::string comment) {
  TakeMetadata texts;
  texts.title = "第二乐章";
  texts.start = kStart + std::chrono::hours(1);
  texts.comment = std::move(comment);
  return texts;
}

// A 3 s take recorded as `type`, tagged at its stop with markers, a comment and loudness.
std::filesystem::path TaggedTake(const TempDir& dir, FileType type, const std::string& extension) {
  const auto take = dir / ("录音 3." + extension);
  Record(take, type, kRate, 2, 3 * kRate);
  TakeMetadata metadata = WithMarkers(kMarkerFrames);
  metadata.comment = "排练";
  metadata.loudness = kLoudness;
  const auto written = TakeMetadataWriter::Write(take.string(), type, kRate, metadata);
  EXPECT_TRUE(written.ok()) << written.reason;
  return take;
}

void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                 static_cast<std::streamsize>(bytes.size()));
}

void SetU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) { std::memcpy(&bytes[offset], &value, 4); }

TEST(WavRetagTest, TextsChangeWhileAudioMarkersAndLoudnessStay) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TempDir dir;
  const auto take = TaggedTake(dir, EncoderSelection::TYPE_WAV, "wav");
  TakeMetadata before;
  ASSERT_EQ(WavMetadataReader::Read(take.string(), before), "");
  const auto tagged = ReadFileBytes(take);
  sf_count_t recorded = 0;
  CueOffsets(take, &recorded);
  const size_t audioEnd = 46 + ReadU32(tagged, 42);  // our header: "fmt " of 18 bytes, then "data"

  const auto result = TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("正式"));
  ASSERT_TRUE(result.ok()) << result.reason;
  const auto after = ReadFileBytes(take);
  EXPECT_TRUE(std::equal(tagged.begin() + 8, tagged.begin() + audioEnd, after.begin() + 8)) << "header or audio changed";
  EXPECT_EQ(ReadU32(after, 4), after.size() - 8);
  TakeMetadata read;
  ASSERT_EQ(WavMetadataReader::Read(take.string(), read), "");
  EXPECT_EQ(read.title, "第二乐章");
  EXPECT_EQ(read.comment, "正式");
  EXPECT_EQ(read.software, before.software);
  EXPECT_EQ(read.start, kStart + std::chrono::hours(1));
  ASSERT_EQ(read.markers.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(read.markers[i].frame, before.markers[i].frame);
    EXPECT_EQ(read.markers[i].name, before.markers[i].name);
  }
  ASSERT_TRUE(read.loudness && before.loudness);
  EXPECT_EQ(read.loudness->integratedLufs, -13);
  EXPECT_EQ(read.loudness->maxMomentaryLufs, -9.25);
  EXPECT_FALSE(read.loudness->maxShortTermLufs);
  sf_count_t frames = 0;
  EXPECT_EQ(CueOffsets(take, &frames), (std::vector<uint32_t>{kRate / 2, kRate * 2}));
  EXPECT_EQ(frames, recorded);
  const std::string tags = ProbeTags(take);
  EXPECT_NE(tags.find("title=第二乐章\n"), std::string::npos) << tags;

  // A cleared comment goes; the rest as before.
  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("")).ok());
  TakeMetadata cleared;
  ASSERT_EQ(WavMetadataReader::Read(take.string(), cleared), "");
  EXPECT_EQ(cleared.comment, "");
  EXPECT_EQ(cleared.markers.size(), 2u);
  EXPECT_EQ(ProbeTags(take).find("comment="), std::string::npos);
}

TEST(WavRetagTest, ForeignLinkedAndUntaggedFiles) {
  TempDir dir;
  const auto take = TaggedTake(dir, EncoderSelection::TYPE_WAV, "wav");
  const auto texts = NewTexts("x");

  // Through a link: refused, the file it names untouched.
  const auto link = dir / "link.wav";
  std::filesystem::create_symlink(take, link);
  const auto tagged = ReadFileBytes(take);
  const auto linked = TakeMetadataWriter::Retag(link.string(), EncoderSelection::TYPE_WAV, kRate, texts);
  EXPECT_NE(linked.reason.find("open: "), std::string::npos) << linked.reason;
  EXPECT_EQ(ReadFileBytes(take), tagged);

  // A chunk some other program added after ours: not ours to cut.
  auto foreign = tagged;
  for (char c : std::string("junk\x04\0\0\0abcd", 12)) foreign.push_back(static_cast<uint8_t>(c));
  SetU32(foreign, 4, static_cast<uint32_t>(foreign.size() - 8));
  const auto other = dir / "other.wav";
  WriteBytes(other, foreign);
  EXPECT_FALSE(TakeMetadataWriter::Retag(other.string(), EncoderSelection::TYPE_WAV, kRate, texts).ok());
  EXPECT_EQ(ReadFileBytes(other), foreign);

  // A recording whose tagging failed at its stop gets the texts now.
  const auto bare = dir / "bare.wav";
  Record(bare, EncoderSelection::TYPE_WAV, kRate, 1, kRate);
  const auto untagged = ReadFileBytes(bare);
  ASSERT_TRUE(TakeMetadataWriter::Retag(bare.string(), EncoderSelection::TYPE_WAV, kRate, texts).ok());
  const auto now = ReadFileBytes(bare);
  EXPECT_TRUE(std::equal(untagged.begin() + 8, untagged.end(), now.begin() + 8));
  TakeMetadata read;
  ASSERT_EQ(WavMetadataReader::Read(bare.string(), read), "");
  EXPECT_EQ(read.title, "第二乐章");
  EXPECT_TRUE(read.markers.empty());
}

// The replacement first takes the RIFF size back to the audio, then cuts and
// appends: at each step a kill leaves what the repair brings back to the bare
// recording, and the next re-tag still finds the file ours.
TEST(WavRetagTest, EveryStateAKillCanLeaveIsRepairedToTheRecording) {
  TempDir dir;
  const auto take = dir / "take.wav";
  Record(take, EncoderSelection::TYPE_WAV, kRate, 1, kRate + 1);  // odd-sized audio: a pad byte
  const auto bare = ReadFileBytes(take);
  TakeMetadata metadata = WithMarkers(kMarkerFrames);
  metadata.loudness = kLoudness;
  ASSERT_TRUE(TakeMetadataWriter::Write(take.string(), EncoderSelection::TYPE_WAV, kRate, metadata).ok());
  const auto oldTags = ReadFileBytes(take);
  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("新")).ok());
  const auto newTags = ReadFileBytes(take);

  std::vector<std::vector<uint8_t>> states;
  auto sizeCut = oldTags;  // the RIFF size back at the audio, the old chunks still there
  SetU32(sizeCut, 4, ReadU32(bare, 4));
  states.push_back(sizeCut);
  for (size_t kept = bare.size() + 1; kept < newTags.size(); kept += 97) {  // the new chunks partly written
    std::vector<uint8_t> partial(newTags.begin(), newTags.begin() + static_cast<std::ptrdiff_t>(kept));
    SetU32(partial, 4, ReadU32(bare, 4));
    states.push_back(partial);
  }
  for (size_t i = 0; i < states.size(); ++i) {
    WriteBytes(take, states[i]);
    EXPECT_EQ(WavFileRepair::Repair(take.string()), WavFileRepair::Outcome::Repaired) << i;
    EXPECT_EQ(ReadFileBytes(take), bare) << i;
  }
  // Unrepaired, the state is still one the re-tag takes.
  WriteBytes(take, sizeCut);
  const auto retagged = TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("新"));
  ASSERT_TRUE(retagged.ok()) << retagged.reason;
  EXPECT_EQ(ReadFileBytes(take), newTags);
}

struct Case {
  FileType type;
  const char* extension;
  const char* gainTag;  // as ProbeTags spells it, for kLoudness
};

class CompressedRetagTest : public ::testing::TestWithParam<Case> {};

TakeMetadata ReadBack(const std::filesystem::path& file, FileType type) {
  TakeMetadata metadata;
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  EXPECT_EQ(TagLibMetadataReader::Read(fd, type, kRate, metadata), "");
  ::close(fd);
  return metadata;
}

TEST_P(CompressedRetagTest, TextsChangeWhileChaptersAndGainStay) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TempDir dir;
  const auto take = TaggedTake(dir, GetParam().type, GetParam().extension);
  const auto audio = DecodeWithFfmpeg(take);
  const auto chaptersBefore = ProbeChapters(take);
  const TakeMetadata before = ReadBack(take, GetParam().type);

  const auto result = TakeMetadataWriter::Retag(take.string(), GetParam().type, kRate, NewTexts("正式"));
  ASSERT_TRUE(result.ok()) << result.reason;
  const std::string tags = ProbeTags(take);
  for (const std::string& line : std::vector<std::string>{"title=第二乐章\n", "comment=正式\n", "date=2026-12-07t20:54:38\n",
                                 std::string(GetParam().gainTag) + "\n"}) {
    EXPECT_NE(tags.find(line), std::string::npos) << line << " in\n" << tags;
  }
  EXPECT_EQ(tags.find("排练"), std::string::npos) << "the old comment stayed:\n" << tags;
  const auto chapters = ProbeChapters(take);
  ASSERT_EQ(chapters.size(), chaptersBefore.size());
  for (size_t i = 0; i < chapters.size(); ++i) {
    EXPECT_EQ(chapters[i].start, chaptersBefore[i].start) << i;
    EXPECT_EQ(chapters[i].title, chaptersBefore[i].title) << i;
  }
  const TakeMetadata read = ReadBack(take, GetParam().type);
  ASSERT_EQ(read.markers.size(), before.markers.size());
  for (size_t i = 0; i < read.markers.size(); ++i) EXPECT_EQ(read.markers[i].frame, before.markers[i].frame) << i;
  EXPECT_EQ(read.software, before.software);
  EXPECT_EQ(DecodeWithFfmpeg(take), audio) << "the audio changed";

  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), GetParam().type, kRate, NewTexts("")).ok());
  EXPECT_EQ(ProbeTags(take).find("comment="), std::string::npos) << "a cleared comment stayed";
  EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{take.filename().string(), "录音 3.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Types, CompressedRetagTest,
                         ::testing::Values(Case{EncoderSelection::TYPE_FLAC, "flac", "replaygain_track_gain=-5.00 db"},
                                           Case{EncoderSelection::TYPE_OPUS, "opus", "r128_track_gain=-2560"},
                                           Case{EncoderSelection::TYPE_MP3, "mp3", "replaygain_track_gain=-5.00 db"}),
                         [](const auto& info) { return std::string(info.param.extension); });

}  // namespace
