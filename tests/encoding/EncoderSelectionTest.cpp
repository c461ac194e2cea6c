// EncoderSelection: the chosen type does the work (extension, description, the
// file it writes), a running file keeps its type until it is finished, output
// rules set under one type hold for every type, and a file name's extension
// names the type that writes it.
#include "encoding/EncoderSelection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/AppError.h"
#include "common/FileTypes.h"
#include "encoding/EncoderWAV.h"
#include "encoding/FormatRecord.h"
#include "encoding/MuxedEncoder.h"
#include "tests/encoding/AudioProbe.h"

namespace {

int32_t ErrorNumberOf(EncoderSelection& encoders, EncoderSelection::FileType type) {
  try {
    encoders.Type(type);
  } catch (const AppError& error) {
    return error.number();
  }
  return 0;
}

TEST(EncoderSelectionTest, TheChosenTypeWritesAndARunningFileKeepsItsType) {
  TempDir dir;
  EncoderSelection encoders;
  EXPECT_EQ(encoders.Type(), EncoderSelection::TYPE_WAV);
  EXPECT_EQ(encoders.Extension(), "wav");
  EXPECT_EQ(encoders.Compressed(), nullptr);

  encoders.Type(EncoderSelection::TYPE_FLAC);
  EXPECT_EQ(encoders.Extension(), "flac");
  EXPECT_EQ(encoders.Description(), "FLAC 无损音频");
  ASSERT_NE(encoders.Compressed(), nullptr);
  const auto file = dir / "out.flac";
  ASSERT_EQ(encoders.EncoderInit(44100, 2, file.string()), ENC_OK);
  EXPECT_EQ(ErrorNumberOf(encoders, EncoderSelection::TYPE_MP3), 90) << "refused while the file is open";
  EXPECT_EQ(encoders.Type(), EncoderSelection::TYPE_FLAC);
  const auto signal = TestSignal(44100, 2, 0.5);
  int32_t used = 0;
  ASSERT_EQ(encoders.Encode(signal.data(), static_cast<int32_t>(signal.size() * 2), used), ENC_OK);
  ASSERT_EQ(encoders.EncoderClose(), ENC_OK);
  EXPECT_EQ(ProbeWithFfprobe(file)->codec, "flac");

  EXPECT_EQ(ErrorNumberOf(encoders, EncoderSelection::TYPE_MP3), 0);
  EXPECT_EQ(encoders.Extension(), "mp3");
  EXPECT_EQ(ErrorNumberOf(encoders, static_cast<EncoderSelection::FileType>(4)), 32000);
  EXPECT_EQ(std::string(FileTypes::Of(EncoderSelection::TYPE_OPUS).caption), "Ogg Opus");
}

TEST(EncoderSelectionTest, OutputRulesHoldAcrossATypeChange) {
  TempDir dir;
  const auto kept = dir / "kept.opus";
  std::ofstream(kept) << "someone's data";
  EncoderSelection encoders;
  encoders.OutputRules({.replaceData = false, .followLinks = false});
  encoders.Type(EncoderSelection::TYPE_OPUS);
  EXPECT_EQ(encoders.EncoderInit(48000, 1, kept.string()), ENC_TARGET_HOLDS_DATA);
  EXPECT_EQ(ReadFileBytes(kept).size(), 14u);
}

// Each type's own extension, in any case, names it; other names name none.
// Every row of the table is the type it stands at, and its name finds it again.
TEST(EncoderSelectionTest, AFileNamesTheTypeOfItsExtension) {
  EncoderSelection encoders;
  for (int32_t t = 0; t < EncoderSelection::kTypeCount; ++t) {
    const auto type = static_cast<EncoderSelection::FileType>(t);
    encoders.Type(type);
    EXPECT_EQ(FileTypes::OfPath("/a/take." + encoders.Extension()), type) << encoders.Extension();
    EXPECT_EQ(FileTypes::Of(type).type, type);
    EXPECT_EQ(FileTypes::Named(FileTypes::Of(type).name), type);
  }
  EXPECT_EQ(FileTypes::Names("|"), "wav|flac|opus|mp3");
  EXPECT_EQ(FileTypes::Named("FLAC"), std::nullopt) << "names are exact; only extensions take any case";
  EXPECT_EQ(FileTypes::OfPath("Take.FLAC"), EncoderSelection::TYPE_FLAC);
  for (const char* other : {"take", "take.ogg", "take.wav.bak", "/a.wav/take", ".wav/x", "flac"}) {
    EXPECT_EQ(FileTypes::OfPath(other), std::nullopt) << other;
  }
}

}  // namespace

namespace {

std::vector<char> FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `signal` (44.1 kHz stereo) through `encoder` into `file`.
void WriteThrough(Encoder& encoder, const std::filesystem::path& file, const std::vector<int16_t>& signal) {
  ASSERT_EQ(encoder.EncoderInit(44100, 2, file.string()), ENC_OK);
  int32_t used = 0;
  ASSERT_EQ(encoder.Encode(signal.data(), static_cast<int32_t>(signal.size() * 2), used), ENC_OK);
  ASSERT_EQ(encoder.EncoderClose(), ENC_OK);
}

}  // namespace

// A take's second file is written as its first: the type, the WAV target
// format and every compressed type's setting go with a sibling.
TEST(EncoderSelectionTest, ASiblingWritesWhatItsOriginalWritesWithTheSameSettings) {
  TempDir dir;
  EncoderSelection encoders;
  const auto ima = FormatRecord::IMAADPCM(44100, 2);
  encoders.WAV().SetFormat(ima.data(), static_cast<int32_t>(ima.size()), "ima", "IMA ADPCM");
  encoders.Compressed(EncoderSelection::TYPE_MP3)->Setting(96);
  const auto signal = TestSignal(44100, 2, 0.5);

  const std::unique_ptr<Encoder> sibling = encoders.Sibling();
  ASSERT_NE(sibling, nullptr);
  WriteThrough(encoders, dir / "first.wav", signal);
  WriteThrough(*sibling, dir / "second.wav", signal);
  EXPECT_EQ(FileBytes(dir / "second.wav"), FileBytes(dir / "first.wav"));

  encoders.Type(EncoderSelection::TYPE_MP3);
  const std::unique_ptr<Encoder> mp3 = encoders.Sibling();
  EXPECT_EQ(mp3->Extension(), "mp3");
  EXPECT_EQ(mp3->TargetBytesPerSecond(), encoders.TargetBytesPerSecond()) << "96 kbit/s, not the default";
}
