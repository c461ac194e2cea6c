// Markers and tags in FLAC, Ogg Opus and MP3 files, as independent readers
// (ffprobe, ffmpeg, soxi) see them, with the audio left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tagging/CutMetadata.h"
#include "tagging/LabelFile.h"
#include "tagging/TakeMetadataWriter.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/tagging/TakeFiles.h"

namespace {

struct Case {
  EncoderSelection::FileType type;
  const char* extension;
  int codecFrame;  // frames per codec frame at 48 kHz: the precision a chapter reader promises
  const char* gainTag;  // the loudness field this type carries, for -13 LUFS (as ProbeTags spells it)
};

class CompressedTaggingTest : public ::testing::TestWithParam<Case> {};

constexpr int kRate = 48000;

size_t OpenDescriptors() { return FileNames("/proc/self/fd").size(); }

TEST_P(CompressedTaggingTest, ChaptersAndTagsReachReadersAndTheAudioStaysTheSame) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TempDir dir;
  const auto file = dir / (std::string("录音 7.") + GetParam().extension);
  Record(file, GetParam().type, kRate, 2, 3 * kRate);
  const auto before = DecodeWithFfmpeg(file);
  ASSERT_TRUE(before);

  // Out of order on purpose: written sorted.
  TakeMetadata metadata = WithMarkers({kRate * 2 + 4321, 12345, 0});
  metadata.comment = "第一次排练";
  metadata.loudness = TakeMetadata::Loudness{.integratedLufs = -13, .rangeLu = 4.5, .truePeakDbtp = -1};
  const size_t descriptors = OpenDescriptors();
  const auto result = TakeMetadataWriter::Write(file.string(), GetParam().type, kRate, metadata);
  ASSERT_TRUE(result.ok()) << result.reason;

  const auto chapters = ProbeChapters(file);
  ASSERT_EQ(chapters.size(), 3u);
  const double expected[] = {0, 12345.0 / kRate, (kRate * 2 + 4321.0) / kRate};
  const char* names[] = {"标记 3", "标记 2", "标记 1"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(chapters[i].start, expected[i], double(GetParam().codecFrame) / kRate) << i;
    EXPECT_EQ(chapters[i].title, names[i]) << i;
  }
  const std::string tags = ProbeTags(file);
  for (const std::string& line : {std::string("title=录音 7"), std::string("comment=第一次排练"),
                                  std::string("date=2026-12-07t19:54:38"),
                                  std::string(GetParam().gainTag)}) {
    EXPECT_NE(tags.find(line + "\n"), std::string::npos) << line << " in\n" << tags;
  }
  EXPECT_NE(tags.find("tamblin 3"), std::string::npos) << tags;
  if (GetParam().type == EncoderSelection::TYPE_FLAC) {
    const auto soxi = ReadShellOutput("soxi -a '" + file.string() + "'");
    for (const char* line : {"TITLE=录音 7\n", "DATE=2026-12-07T19:54:38\n", "ENCODER=Tamblin 3"}) {
      EXPECT_NE(soxi.find(line), std::string::npos) << line << " in\n" << soxi;
    }
  }
  EXPECT_EQ(DecodeWithFfmpeg(file), before) << "the audio changed";
  EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{file.filename().string(), "录音 7.txt"}))
      << "a copy was left behind";
  EXPECT_EQ(OpenDescriptors(), descriptors) << "a descriptor was left open";
}

TEST_P(CompressedTaggingTest, AFileNotOfItsTypeIsLeftAsItWas) {
  TempDir dir;
  const auto file = dir / (std::string("notes.") + GetParam().extension);
  const std::vector<uint8_t> text(5000, 'x');
  FILE* out = std::fopen(file.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), out);
  std::fclose(out);
  const auto result = TakeMetadataWriter::Write(file.string(), GetParam().type, kRate, TakeMetadata{});
  EXPECT_FALSE(result.ok());
  EXPECT_EQ(ReadFileBytes(file), text);
  EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"notes." + std::string(GetParam().extension)});
}

// 2^32 frames is 12.4 hours at 96 kHz: these types keep milliseconds, not 32-bit frames.
TEST_P(CompressedTaggingTest, AMarkerPastTheFirstFourBillionFramesIsKept) {
  constexpr int kHighRate = 96000;
  const int64_t late = (int64_t{1} << 32) + 5 * kHighRate;
  TempDir dir;
  const auto file = dir / (std::string("long.") + GetParam().extension);
  Record(file, GetParam().type, kHighRate, 1, kHighRate / 2);
  TakeMetadata metadata = WithMarkers({100, late});
  const auto result = TakeMetadataWriter::Write(file.string(), GetParam().type, kHighRate, metadata);
  ASSERT_TRUE(result.ok()) << result.reason;
  TakeMetadata read;
  ASSERT_EQ(CutMetadata::Read(file.string(), GetParam().type, kHighRate, read), "");
  ASSERT_EQ(read.markers.size(), 2u);
  EXPECT_NEAR(static_cast<double>(read.markers[1].frame), static_cast<double>(late), kHighRate / 1000.0);
  const auto chapters = ProbeChapters(file);
  ASSERT_EQ(chapters.size(), 2u);
  EXPECT_NEAR(chapters[1].start, static_cast<double>(late) / kHighRate, 0.001);
  const auto labels = ReadFileBytes(dir / "long.txt");
  EXPECT_EQ(std::string(labels.begin(), labels.end()), LabelFile::Text(metadata.markers, kHighRate));
}

// An ID3v2 comment names the language it was typed in (the interface's), or "und" when unknown.
TEST(CommentLanguageTest, TheCommentFrameNamesItsTextsLanguage) {
  TempDir dir;
  for (const auto& [given, named] : {std::pair{"eng", "eng"}, {"", "und"}, {"EN", "und"}}) {
    const auto file = dir / (std::string(given) + named + ".mp3");
    Record(file, EncoderSelection::TYPE_MP3, kRate, 1, kRate / 10);
    ASSERT_TRUE(TakeMetadataWriter::Write(file.string(), EncoderSelection::TYPE_MP3, kRate,
                                          {.comment = "first run", .language = given}).ok());
    const auto bytes = ReadFileBytes(file);
    const std::string id = "COMM";
    const auto at = std::search(bytes.begin(), bytes.end(), id.begin(), id.end());
    ASSERT_GE(bytes.end() - at, 14);
    EXPECT_EQ(std::string(at + 11, at + 14), named) << given;  // after the frame header and the text encoding
  }
  TakeMetadata read;  // what a cut carries over
  ASSERT_EQ(CutMetadata::Read((dir / "engeng.mp3").string(), EncoderSelection::TYPE_MP3, kRate, read), "");
  EXPECT_EQ(read.language, "eng");
}

INSTANTIATE_TEST_SUITE_P(Types, CompressedTaggingTest,
                         ::testing::Values(Case{EncoderSelection::TYPE_FLAC, "flac", 4608, "replaygain_track_gain=-5.00 db"},
                                           Case{EncoderSelection::TYPE_OPUS, "opus", 960, "r128_track_gain=-2560"},
                                           Case{EncoderSelection::TYPE_MP3, "mp3", 1152, "replaygain_track_gain=-5.00 db"}),
                         [](const auto& info) { return std::string(info.param.extension); });

}  // namespace
