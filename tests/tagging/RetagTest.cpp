// Changing the texts of a tagged take: only title, start, program and comment
// change; the audio, the markers and the loudness fields stay as they were.
// WAV: only our own chunks after the audio are replaced, and every state a
// kill can leave on the way is repaired to the recording.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <tuple>

#include "encoding/WavFileRepair.h"
#include "tagging/CutMetadata.h"
#include "tagging/TakeMetadataWriter.h"
#include "tagging/WavMetadataReader.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/encoding/NotedPendingFiles.h"
#include "tests/tagging/TakeFiles.h"

namespace {

using FileType = EncoderSelection::FileType;
constexpr int kRate = 48000;
const std::vector<int64_t> kMarkerFrames{kRate / 2, kRate * 2};

TakeMetadata NewTexts(std::string comment) {
  return {.title = "第二乐章", .start = kStart + std::chrono::hours(1), .comment = std::move(comment)};
}

// A take recorded as `type`, tagged at its stop with markers, a comment and loudness.
std::filesystem::path TaggedTake(const TempDir& dir, FileType type, const std::string& extension, int frames) {
  const auto take = dir / ("录音 3." + extension);
  Record(take, type, kRate, 2, frames);
  TakeMetadata metadata = WithMarkers(kMarkerFrames);
  metadata.comment = "排练";
  metadata.loudness = TakeMetadata::Loudness{.integratedLufs = -13, .rangeLu = 4.5, .truePeakDbtp = -1,
                                             .maxMomentaryLufs = -9.25};
  EXPECT_TRUE(TakeMetadataWriter::Write(take.string(), type, kRate, metadata).ok());
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
  const auto take = TaggedTake(dir, EncoderSelection::TYPE_WAV, "wav", 3 * kRate);
  const auto tagged = ReadFileBytes(take);
  const size_t audioEnd = 46 + ReadU32(tagged, 42);  // our header: "fmt " of 18 bytes, then "data"

  const auto result = TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("正式"));
  ASSERT_TRUE(result.ok()) << result.reason;
  const auto after = ReadFileBytes(take);
  EXPECT_TRUE(std::equal(tagged.begin() + 8, tagged.begin() + audioEnd, after.begin() + 8)) << "header or audio changed";
  TakeMetadata read;
  ASSERT_EQ(WavMetadataReader::Read(take.string(), read), "");
  EXPECT_EQ(read.title + "|" + read.comment, "第二乐章|正式");
  EXPECT_NE(MediaInfoView(take).find("第二乐章"), std::string::npos) << "the ID3v2 tag kept the old title";
  EXPECT_EQ(read.start, kStart + std::chrono::hours(1));
  EXPECT_EQ(read.markers.size() == 2 ? read.markers[1].name : "", "标记 2");
  sf_count_t frames = 0;
  EXPECT_EQ(CueOffsets(take, &frames), (std::vector<uint32_t>{kRate / 2, kRate * 2}));
  ASSERT_TRUE(read.loudness);
  EXPECT_EQ(std::tie(read.loudness->integratedLufs, read.loudness->maxMomentaryLufs, read.loudness->maxShortTermLufs),
            std::make_tuple(-13.0, std::optional<double>(-9.25), std::optional<double>()));

  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("")).ok());
  EXPECT_EQ(ProbeTags(take).find("comment="), std::string::npos) << "a cleared comment stayed";
}

TEST(WavRetagTest, AForeignChunkIsRefusedAndAnUntaggedRecordingTagged) {
  TempDir dir;
  const auto take = TaggedTake(dir, EncoderSelection::TYPE_WAV, "wav", kRate);
  auto foreign = ReadFileBytes(take);  // with a chunk some other program added after ours
  for (char c : std::string("junk\x04\0\0\0abcd", 12)) foreign.push_back(static_cast<uint8_t>(c));
  SetU32(foreign, 4, static_cast<uint32_t>(foreign.size() - 8));
  WriteBytes(take, foreign);
  EXPECT_FALSE(TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("")).ok());
  EXPECT_EQ(ReadFileBytes(take), foreign);

  const auto bare = dir / "bare.wav";  // its tagging failed at the stop
  Record(bare, EncoderSelection::TYPE_WAV, kRate, 1, kRate);
  ASSERT_TRUE(TakeMetadataWriter::Retag(bare.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("")).ok());
  EXPECT_NE(ProbeTags(bare).find("title=第二乐章\n"), std::string::npos);
}

// The re-tag never writes the file it replaces: a second name for it (what a
// kill would leave at the path up to the rename) keeps the old tags whole.
TEST(WavRetagTest, TheTaggedFileStaysWholeUntilTheNewOneTakesItsPlace) {
  TempDir dir;
  const auto take = TaggedTake(dir, EncoderSelection::TYPE_WAV, "wav", kRate);
  const auto tagged = ReadFileBytes(take);
  const auto before = dir / "before.wav";
  std::filesystem::create_hard_link(take, before);
  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("正式")).ok());
  EXPECT_EQ(ReadFileBytes(before), tagged) << "the old file was changed in place";
  TakeMetadata read;
  ASSERT_EQ(WavMetadataReader::Read(take.string(), read), "");
  EXPECT_EQ(read.comment, "正式");
  EXPECT_EQ(read.markers.size(), 2u);
  EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"before.wav", "录音 3.txt", "录音 3.wav"}));
}

// What a kill while tagging at the stop (or while an older version re-tagged)
// left: the repair brings it back to the bare recording, and the re-tag takes it.
TEST(WavRetagTest, EveryStateAKillCanLeaveIsRepairedToTheRecording) {
  TempDir dir;
  const auto take = dir / "take.wav";
  Record(take, EncoderSelection::TYPE_WAV, kRate, 1, kRate + 1);  // odd-sized audio: a pad byte
  const auto bare = ReadFileBytes(take);
  ASSERT_TRUE(TakeMetadataWriter::Write(take.string(), EncoderSelection::TYPE_WAV, kRate, WithMarkers({9})).ok());
  auto sizeCut = ReadFileBytes(take);  // the RIFF size back at the audio, the old chunks still there
  SetU32(sizeCut, 4, ReadU32(bare, 4));
  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("新")).ok());
  const auto newTags = ReadFileBytes(take);

  std::vector<std::vector<uint8_t>> states{sizeCut};
  for (size_t kept = bare.size() + 1; kept < newTags.size(); kept += 97) {  // the new chunks partly written
    states.emplace_back(newTags.begin(), newTags.begin() + static_cast<std::ptrdiff_t>(kept));
    SetU32(states.back(), 4, ReadU32(bare, 4));
  }
  for (size_t i = 0; i < states.size(); ++i) {
    WriteBytes(take, states[i]);
    EXPECT_EQ(WavFileRepair::Repair(take.string()), WavFileRepair::Outcome::Repaired) << i;
    EXPECT_EQ(ReadFileBytes(take), bare) << i;
  }
  WriteBytes(take, sizeCut);
  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), EncoderSelection::TYPE_WAV, kRate, NewTexts("新")).ok());
  EXPECT_EQ(ReadFileBytes(take), newTags);
}

struct Case {
  FileType type;
  const char* extension;
  const char* gainTag;  // as ProbeTags spells it, for the take's loudness
};

class CompressedRetagTest : public ::testing::TestWithParam<Case> {};

TEST_P(CompressedRetagTest, TextsChangeWhileChaptersAndGainStay) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TempDir dir;
  const auto take = TaggedTake(dir, GetParam().type, GetParam().extension, 3 * kRate);
  const auto audio = DecodeWithFfmpeg(take);
  const auto chapters = ProbeChapters(take);
  ASSERT_EQ(chapters.size(), 2u);  // the markers as the first tagging wrote them

  const auto result = TakeMetadataWriter::Retag(take.string(), GetParam().type, kRate, NewTexts("正式"));
  ASSERT_TRUE(result.ok()) << result.reason;
  const std::string tags = ProbeTags(take);
  for (const std::string& line : std::vector<std::string>{"title=第二乐章\n", "comment=正式\n", "date=2026-12-07t20:54:38\n",
                                                           std::string(GetParam().gainTag) + "\n"}) {
    EXPECT_NE(tags.find(line), std::string::npos) << line << " in\n" << tags;
  }
  EXPECT_EQ(tags.find("排练"), std::string::npos) << "the old comment stayed:\n" << tags;
  const auto now = ProbeChapters(take);
  ASSERT_EQ(now.size(), 2u);
  EXPECT_EQ(std::tie(now[1].start, now[1].title), std::tie(chapters[1].start, chapters[1].title));
  TakeMetadata read;
  ASSERT_EQ(CutMetadata::Read(take.string(), GetParam().type, kRate, read), "");
  EXPECT_EQ(read.markers.size() == 2 ? read.markers[1].name : "", "标记 2");
  EXPECT_EQ(DecodeWithFfmpeg(take), audio) << "the audio changed";

  ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), GetParam().type, kRate, NewTexts("")).ok());
  EXPECT_EQ(ProbeTags(take).find("comment="), std::string::npos) << "a cleared comment stayed";
  EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{take.filename().string(), "录音 3.txt"}));
}

// The copy's temporary name, which a kill between its link and its rename
// would leave, is noted before it exists and dropped once it is gone, as the
// very file that then takes the take's place.
void ExpectTemporaryNameNoted(const NotedPendingFiles& pending, const std::filesystem::path& take) {
  const std::string temporary =
      (take.parent_path() / ("." + take.filename().string() + "." + std::to_string(::getpid()) + ".tagging")).string();
  ASSERT_EQ(pending.notes.size(), 1u);
  EXPECT_EQ(pending.notes[0].path, temporary);
  EXPECT_FALSE(pending.notes[0].named) << "noted only after the name existed";
  const int fd = ::open(take.c_str(), O_RDONLY);
  EXPECT_EQ(pending.notes[0].file, FileIdentity::Of(fd));
  ::close(fd);
  ASSERT_EQ(pending.drops.size(), 1u);
  EXPECT_EQ(pending.drops[0].path, temporary);
  EXPECT_FALSE(pending.drops[0].named);
}

TEST(RetagPendingTest, TheTemporaryNameIsNotedWhileAKillCouldLeaveIt) {
  for (const auto& [type, extension] : std::vector<std::pair<FileType, std::string>>{
           {EncoderSelection::TYPE_WAV, "wav"}, {EncoderSelection::TYPE_FLAC, "flac"}}) {
    SCOPED_TRACE(extension);
    TempDir dir;
    const auto take = TaggedTake(dir, type, extension, kRate);
    NotedPendingFiles pending;
    ASSERT_TRUE(TakeMetadataWriter::Retag(take.string(), type, kRate, NewTexts("")).ok());
    ExpectTemporaryNameNoted(pending, take);
  }
}

INSTANTIATE_TEST_SUITE_P(Types, CompressedRetagTest,
                         ::testing::Values(Case{EncoderSelection::TYPE_FLAC, "flac", "replaygain_track_gain=-5.00 db"},
                                           Case{EncoderSelection::TYPE_OPUS, "opus", "r128_track_gain=-2560"},
                                           Case{EncoderSelection::TYPE_MP3, "mp3", "replaygain_track_gain=-5.00 db"}),
                         [](const auto& info) { return std::string(info.param.extension); });

}  // namespace
