// Markers and tags after the audio of WAV recordings: cue points at their
// exact frames for libsndfile, names, INFO, ID3v2 and loudness where a chunk
// walk, ffprobe, mediainfo and sox find them, the header and audio byte for
// byte as recorded.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "encoding/WavFileRepair.h"
#include "tagging/TakeMetadataWriter.h"
#include "tagging/WavMetadataChunks.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/tagging/TakeFiles.h"

namespace {

constexpr int kRate = 44100;

// Chunk id -> bodies, walking from the first chunk after "WAVE"; LIST bodies keyed "LIST/<type>".
std::multimap<std::string, std::vector<uint8_t>> Chunks(const std::vector<uint8_t>& bytes, size_t from = 12) {
  std::multimap<std::string, std::vector<uint8_t>> chunks;
  for (size_t at = from; at + 8 <= bytes.size();) {
    std::string id(bytes.begin() + at, bytes.begin() + at + 4);
    const uint32_t size = ReadU32(bytes, at + 4);
    if (at + 8 + size > bytes.size()) break;
    std::vector<uint8_t> body(bytes.begin() + at + 8, bytes.begin() + at + 8 + size);
    if (id == "LIST") id += "/" + std::string(body.begin(), body.begin() + 4);
    chunks.emplace(id, std::move(body));
    at += 8 + size + size % 2;
  }
  return chunks;
}

std::vector<std::string> LabelNames(const std::vector<uint8_t>& adtl) {
  std::vector<std::string> names;
  for (const auto& [id, body] : Chunks(adtl, 4)) {
    if (id == "labl") names.emplace_back(reinterpret_cast<const char*>(body.data() + 4));
  }
  return names;
}

TEST(WavTaggingTest, MarkersTagsAndLoudnessFollowTheUnchangedAudio) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TempDir dir;
  const auto file = dir / "录音 1.wav";
  Record(file, EncoderSelection::TYPE_WAV, kRate, 2, 2 * kRate + 3);
  const auto before = ReadFileBytes(file);
  TakeMetadata metadata = WithMarkers({kRate + 17, 5, 2 * kRate});
  metadata.comment = "排练";
  metadata.loudness = TakeMetadata::Loudness{.integratedLufs = -20.5, .rangeLu = 6.25, .truePeakDbtp = -0.3,
                                             .maxMomentaryLufs = -12.5};
  const auto result = TakeMetadataWriter::Write(file.string(), EncoderSelection::TYPE_WAV, kRate, metadata);
  ASSERT_TRUE(result.ok()) << result.reason;

  const auto after = ReadFileBytes(file);
  ASSERT_GT(after.size(), before.size());
  EXPECT_TRUE(std::equal(before.begin() + 8, before.end(), after.begin() + 8)) << "header or audio changed";
  EXPECT_EQ(ReadU32(after, 4), after.size() - 8) << "the RIFF size covers the tags";
  sf_count_t frames = 0;
  EXPECT_EQ(CueOffsets(file, &frames), (std::vector<uint32_t>{5, kRate + 17, 2 * kRate}));
  EXPECT_EQ(frames, 2 * kRate + 3);

  const auto chunks = Chunks(after);
  ASSERT_EQ(chunks.count("LIST/adtl"), 1u);
  EXPECT_EQ(LabelNames(chunks.find("LIST/adtl")->second), (std::vector<std::string>{"标记 2", "标记 1", "标记 3"}));
  ASSERT_EQ(chunks.count("bext"), 1u);
  const auto& bext = chunks.find("bext")->second;
  ASSERT_EQ(bext.size(), 602u);
  // ASCII only there: a Chinese comment is left out, the program's name kept.
  EXPECT_EQ(std::count(bext.begin(), bext.begin() + 256, 0), 256) << "description";
  EXPECT_EQ(std::string(bext.begin() + 256, bext.begin() + 264), "Tamblin ");
  const int16_t expected[] = {-2050, 625, -30, -1250, 0x7FFF};  // hundredths; short-term absent
  for (int i = 0; i < 5; ++i) EXPECT_EQ(static_cast<int16_t>(ReadU16(bext, 412 + 2 * i)), expected[i]) << i;

  const std::string tags = ProbeTags(file);
  for (const char* line : {"title=录音 1\n", "comment=排练\n", "encoder=tamblin 3", "date=2026-12-07"}) {
    EXPECT_NE(tags.find(line), std::string::npos) << line << " in\n" << tags;
  }
  // Readers that take INFO for Latin-1 find the texts in the ID3v2 tag.
  const std::string shown = MediaInfoView(file);
  for (const char* text : {"录音 1", "排练"}) EXPECT_NE(shown.find(text), std::string::npos) << text << " in\n" << shown;
  EXPECT_EQ(shown.find("\xC3\xA5\xC2\xBD"), std::string::npos) << "garbled title in\n" << shown;
  const auto sox = ProbeWithSox(file);
  EXPECT_TRUE(sox && sox->rate == kRate && sox->channels == 2) << "sox cannot read the tagged file";
  const auto labels = ReadFileBytes(dir / "录音 1.txt");
  EXPECT_EQ(std::string(labels.begin(), labels.end()),
            "0.000113\t0.000113\t标记 2\n1.000385\t1.000385\t标记 1\n2.000000\t2.000000\t标记 3\n");
}

// 8-bit mono: odd-sized audio, which RIFF pads before the next chunk.
TEST(WavTaggingTest, OddSizedAudioGetsItsPadByteBeforeTheTags) {
  TempDir dir;
  const auto file = dir / "odd.wav";
  std::vector<uint8_t> wave = {'R', 'I', 'F', 'F', 0xC7, 0x0F, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
                               1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0, 0, 0, 'd', 'a', 't', 'a',
                               0xA1, 0x0F, 0, 0};  // 4001 bytes of audio
  wave.resize(46 + 4001, 0x80);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(wave.data()), wave.size());

  ASSERT_TRUE(TakeMetadataWriter::Write(file.string(), EncoderSelection::TYPE_WAV, 8000, WithMarkers({4000})).ok());
  const auto after = ReadFileBytes(file);
  EXPECT_EQ(after[wave.size()], 0) << "pad byte";
  EXPECT_EQ(std::string(after.begin() + wave.size() + 1, after.begin() + wave.size() + 5), "LIST");
  sf_count_t frames = 0;
  EXPECT_EQ(CueOffsets(file, &frames), std::vector<uint32_t>{4000});
  EXPECT_EQ(frames, 4001);
}

TEST(WavTaggingTest, AFileTaggedAlreadyIsNotTaggedTwice) {
  TempDir dir;
  const auto file = dir / "take.wav";
  Record(file, EncoderSelection::TYPE_WAV, kRate, 1, kRate);
  ASSERT_TRUE(TakeMetadataWriter::Write(file.string(), EncoderSelection::TYPE_WAV, kRate, TakeMetadata{}).ok());
  const auto tagged = ReadFileBytes(file);
  EXPECT_FALSE(TakeMetadataWriter::Write(file.string(), EncoderSelection::TYPE_WAV, kRate, TakeMetadata{}).ok());
  EXPECT_EQ(ReadFileBytes(file), tagged) << "tagged twice";
}

}  // namespace

namespace {

// The largest tags fit the room a part leaves, and the repair knows each of their chunks as ours.
TEST(WavTaggingTest, TheLargestTagsStayWithinTheBoundsTheRepairAndPartsRelyOn) {
  TakeMetadata metadata;
  metadata.title = metadata.comment = metadata.software = std::string(TakeMetadataWriter::kMaxTextBytes, 'x');
  metadata.loudness = TakeMetadata::Loudness{};
  for (size_t i = 0; i < TakeMetadataWriter::kMaxMarkers; ++i) {
    metadata.markers.push_back({UINT32_MAX, std::string(TakeMetadataWriter::kMaxMarkerNameBytes, 'n')});
  }
  ASSERT_EQ(TakeMetadataWriter::Invalid(metadata, 44100), "");
  const auto chunks = WavMetadataChunks::Build(metadata, 44100);
  EXPECT_LT(static_cast<int64_t>(chunks.size()), TakeMetadataWriter::kMaxWavTagBytes);
  std::vector<uint8_t> file(12, 0);
  file.insert(file.end(), chunks.begin(), chunks.end());
  size_t walked = 0;
  for (const auto& [id, body] : Chunks(file)) {
    EXPECT_LE(static_cast<int64_t>(body.size()), WavFileRepair::kMaxTagChunk) << id;
    walked += 8 + body.size() + body.size() % 2;
  }
  EXPECT_EQ(walked, chunks.size()) << "every byte belongs to a chunk";
}

}  // namespace
