// The compressed file types (FLAC, Ogg Opus, MP3) on the shared muxing core: what
// independent readers find in the file, every sample fed arriving, settings and
// start failures, and the file staying readable after a kill or on a full disk.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

#include "common/AppError.h"
#include "encoding/EncoderFLAC.h"
#include "encoding/EncoderMP3.h"
#include "encoding/EncoderOpus.h"
#include "encoding/FlacFileRepair.h"
#include "tests/encoding/AudioProbe.h"
#include "tests/encoding/SmallTmpfs.h"

namespace {

constexpr int32_t kCaptureBlock = 10240;  // bytes per block as the capture delivers them

enum class FileType { Flac, Opus, Mp3 };

std::unique_ptr<MuxedEncoder> MakeEncoder(FileType type) {
  switch (type) {
    case FileType::Flac: return std::make_unique<EncoderFLAC>();
    case FileType::Opus: return std::make_unique<EncoderOpus>();
    case FileType::Mp3: return std::make_unique<EncoderMP3>();
  }
  return nullptr;
}

std::string CodecName(FileType type) {
  switch (type) {
    case FileType::Flac: return "flac";
    case FileType::Opus: return "opus";
    case FileType::Mp3: return "mp3";
  }
  return {};
}

// Three seconds and one frame of the test signal: a count no codec frame divides.
std::vector<int16_t> Signal(int rate, int channels) {
  return TestSignal(rate, channels, (3.0 * rate + 1) / rate);
}

// Feeds `samples` in capture-sized blocks, the last one partial, until one fails;
// each block must be taken whole. Returns the last result.
EncoderResult Feed(Encoder& encoder, const std::vector<int16_t>& samples, int channels) {
  const size_t perBlock = kCaptureBlock / 2;
  for (size_t at = 0; at < samples.size(); at += perBlock) {
    const auto count = std::min(perBlock, samples.size() - at);
    int32_t used = -1;
    const EncoderResult result = encoder.Encode(samples.data() + at, static_cast<int32_t>(count * 2), used);
    EXPECT_EQ(used, static_cast<int32_t>(count * 2)) << "block at sample " << at << " of " << channels << " channels";
    if (result != ENC_OK) return result;
  }
  return ENC_OK;
}

// Decoded frames per channel (interleaved samples over channels).
size_t Frames(const std::vector<int16_t>& samples, int channels) { return samples.size() / channels; }

struct RoundTrip {
  FileType type;
  int rate;
  int channels;
  int decodedRate;  // what ffprobe and the decoder report
};

std::string Name(const ::testing::TestParamInfo<RoundTrip>& info) {
  return CodecName(info.param.type) + "_" + std::to_string(info.param.rate) + "Hz_" +
         std::to_string(info.param.channels) + "ch";
}

// Least signal-to-noise ratio of the decoded test tones at the default settings,
// some 8 to 12 dB under the lowest measured over these cases (Opus 47.5 dB at
// 48 kbit/s mono, MP3 77.0 dB at 192 kbit/s).
double SnrFloor(FileType type) { return type == FileType::Opus ? 40.0 : 65.0; }

class MuxedEncoderRoundTrip : public ::testing::TestWithParam<RoundTrip> {
 protected:
  TempDir dir;
};

TEST_P(MuxedEncoderRoundTrip, ReadersSeeTheFormatAndEverySampleFed) {
  const RoundTrip& p = GetParam();
  const auto encoder = MakeEncoder(p.type);
  const auto file = dir / ("out." + encoder->Extension());
  const auto signal = Signal(p.rate, p.channels);
  ASSERT_EQ(encoder->EncoderInit(p.rate, static_cast<int16_t>(p.channels), file), ENC_OK) << encoder->InitError();
  EXPECT_EQ(encoder->EncoderMetrics(1), p.rate * p.channels * 2);
  EXPECT_EQ(encoder->EncoderMetrics(0), p.channels * 2);
  ASSERT_EQ(Feed(*encoder, signal, p.channels), ENC_OK);
  ASSERT_EQ(encoder->EncoderClose(), ENC_OK);

  const double fedSeconds = static_cast<double>(Frames(signal, p.channels)) / p.rate;
  const auto probe = ProbeWithFfprobe(file);
  ASSERT_TRUE(probe.has_value());
  EXPECT_EQ(probe->codec, CodecName(p.type));
  EXPECT_EQ(probe->rate, p.decodedRate);
  EXPECT_EQ(probe->channels, p.channels);
  // MP3 frames hold 1152 samples and the file's frame count includes the encoder's
  // 1105-sample delay: two frames there, one codec frame elsewhere.
  const double frame = p.type == FileType::Mp3 ? 2 * 1152.0 / p.decodedRate : p.type == FileType::Opus ? 0.02 : 0.001;
  EXPECT_NEAR(probe->duration, fedSeconds, frame);
  if (p.type == FileType::Opus) {  // players show the header's input rate as the recording's
    const auto bytes = ReadFileBytes(file);
    const std::string head = "OpusHead";
    const size_t at = std::search(bytes.begin(), bytes.end(), head.begin(), head.end()) - bytes.begin();
    EXPECT_EQ(at + 19 <= bytes.size() ? ReadU32(bytes, at + 12) : 0u, static_cast<uint32_t>(p.rate));
  }

  EXPECT_EQ(DecoderComplaints(file), "");
  const auto decoded = DecodeWithFfmpeg(file);
  ASSERT_TRUE(decoded.has_value());
  if (p.type == FileType::Flac) {
    EXPECT_TRUE(*decoded == signal) << "lossless: bit for bit, no padding, no lost tail";
    return;
  }
  // The decoders trim encoder delay and padding: the length is the fed one (resampled).
  EXPECT_NEAR(static_cast<double>(Frames(*decoded, p.channels)), fedSeconds * p.decodedRate, p.decodedRate * 0.001);
  for (int c = 0; c < p.channels; ++c) {
    const double snr = ToneSNR(*decoded, p.channels, c, p.decodedRate, ExpectedTones(p.channels, p.channels, c));
    EXPECT_GT(snr, SnrFloor(p.type)) << "channel " << c;
  }
}

std::vector<RoundTrip> RoundTrips() {
  std::vector<RoundTrip> cases;
  for (int channels : {1, 2}) {
    // Opus decodes at 48 kHz whatever rate it ran at; MP3 at 192 kbit/s needs an MPEG-1 rate.
    for (const auto& [rate, mp3Rate] : {std::pair{8000, 32000}, {22050, 32000}, {44100, 44100}, {48000, 48000}}) {
      cases.push_back({FileType::Flac, rate, channels, rate});
      cases.push_back({FileType::Opus, rate, channels, 48000});
      cases.push_back({FileType::Mp3, rate, channels, mp3Rate});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Types, MuxedEncoderRoundTrip, ::testing::ValuesIn(RoundTrips()), Name);

class MuxedEncoderTest : public ::testing::TestWithParam<FileType> {
 protected:
  TempDir dir;
  std::string TypeName() const { return CodecName(GetParam()); }

  // The samples of a file left unfinished, after checking that ffprobe knows its
  // type and ffmpeg decodes it without a complaint (it ends on a whole packet).
  std::vector<int16_t> DecodeUnfinished(const std::filesystem::path& file) const {
    const auto probe = ProbeWithFfprobe(file);
    EXPECT_TRUE(probe.has_value() && probe->codec == TypeName()) << file;
    EXPECT_EQ(DecoderComplaints(file), "");
    return DecodeWithFfmpeg(file).value_or(std::vector<int16_t>{});
  }
};

std::string TypeName(const ::testing::TestParamInfo<FileType>& info) { return CodecName(info.param); }

TEST_P(MuxedEncoderTest, StartFailuresKeepTheirCauseAndIdleCallsAreRefused) {
  const auto encoder = MakeEncoder(GetParam());
  int32_t used = -1;
  const std::vector<int16_t> block(2560 * 2);
  EXPECT_EQ(encoder->Encode(block.data(), kCaptureBlock, used), ENC_BUFFER_TOO_LARGE);
  EXPECT_EQ(encoder->EncoderClose(), ENC_FILE_ERROR);
  EXPECT_EQ(encoder->EncoderMetrics(1), -1);

  EXPECT_EQ(encoder->EncoderInit(44100, 2, (dir / "missing" / "out").string()), ENC_FILE_ERROR);
  EXPECT_NE(encoder->InitError().find("No such file or directory"), std::string::npos) << encoder->InitError();
  EXPECT_EQ(encoder->EncoderInit(44100, 3, (dir / "out").string()), ENC_INIT_FAILED);
  EXPECT_FALSE(encoder->InitError().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "out")) << "a refused start creates no file";

  ASSERT_EQ(encoder->EncoderInit(8000, 1, (dir / "out").string()), ENC_OK);
  EXPECT_TRUE(encoder->InitError().empty());
  const std::vector<int16_t> second(8001);
  EXPECT_EQ(encoder->Encode(second.data(), 8000 * 2 + 1, used), ENC_BUFFER_TOO_LARGE) << "longer than one second";
  EXPECT_EQ(encoder->Encode(second.data(), 7999 * 2 + 1, used), ENC_OK) << "a trailing half frame is left";
  EXPECT_EQ(used, 7999 * 2);
  EXPECT_EQ(encoder->EncoderClose(), ENC_OK);
}

TEST_P(MuxedEncoderTest, SettingIsChosenFromItsListAndOnlyWhileIdle) {
  const auto encoder = MakeEncoder(GetParam());
  const auto choices = encoder->SettingChoices();
  ASSERT_GE(choices.size(), 2u);
  EXPECT_THROW(encoder->Setting(choices.back().value + 1), AppError);
  encoder->Setting(choices.front().value);
  EXPECT_EQ(encoder->SettingFor(1), choices.front().value);
  EXPECT_EQ(encoder->SettingText(2), choices.front().description);
  ASSERT_EQ(encoder->EncoderInit(44100, 2, (dir / "out").string()), ENC_OK);
  try {
    encoder->Setting(choices.back().value);
    ADD_FAILURE() << "changed while running";
  } catch (const AppError& e) {
    EXPECT_EQ(e.number(), 90);
  }
  encoder->EncoderClose();
}

TEST_P(MuxedEncoderTest, OutputRulesKeepAFileHoldingDataAndDiscardRemovesTheNewFile) {
  const auto encoder = MakeEncoder(GetParam());
  const auto kept = dir / "kept";
  { std::ofstream(kept) << "earlier recording"; }
  encoder->OutputRules(TargetRules{.replaceData = false, .followLinks = false});
  EXPECT_EQ(encoder->EncoderInit(44100, 2, kept), ENC_TARGET_HOLDS_DATA);
  EXPECT_FALSE(encoder->InitError().empty());
  EXPECT_EQ(std::filesystem::file_size(kept), 17u);

  const auto fresh = dir / "fresh";
  ASSERT_EQ(encoder->EncoderInit(44100, 2, fresh), ENC_OK);
  EXPECT_EQ(encoder->EncoderDiscard(), ENC_OK);
  EXPECT_FALSE(std::filesystem::exists(fresh)) << "never recorded into: gone again";
  EXPECT_EQ(encoder->EncoderDiscard(), ENC_FILE_ERROR);
  EXPECT_EQ(encoder->EncoderClose(), ENC_FILE_ERROR);
}

// Lowest and highest setting on the same input: the files differ in size the way the setting says.
TEST_P(MuxedEncoderTest, SettingReachesTheCodec) {
  const auto signal = Signal(44100, 2);
  std::vector<uintmax_t> sizes;
  for (const bool highest : {false, true}) {
    const auto encoder = MakeEncoder(GetParam());
    const auto choices = encoder->SettingChoices();
    encoder->Setting(highest ? choices.back().value : choices.front().value);
    const auto file = dir / ("out" + std::to_string(sizes.size()));
    ASSERT_EQ(encoder->EncoderInit(44100, 2, file), ENC_OK);
    ASSERT_EQ(Feed(*encoder, signal, 2), ENC_OK);
    ASSERT_EQ(encoder->EncoderClose(), ENC_OK);
    sizes.push_back(std::filesystem::file_size(file));
    if (GetParam() == FileType::Mp3) {  // constant bit rate: the size follows it
      EXPECT_NEAR(sizes.back(), encoder->TargetBytesPerSecond() * 3.0, encoder->TargetBytesPerSecond() * 0.1);
    }
  }
  if (GetParam() == FileType::Flac) {
    EXPECT_LT(sizes[1], sizes[0]) << "level 8 packs tighter than level 0";
  } else {
    EXPECT_GT(sizes[1], 3 * sizes[0]) << "the highest bit rate writes more";
  }
}

// Runs `work` in a child process and kills it with SIGKILL once `work` says it is
// done (or after 60 s). True when `work` succeeded and the kill ended the child.
bool RunAndKill(const std::function<bool()>& work) {
  int ready[2];
  if (pipe(ready) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    const char done = work() ? 1 : 0;
    if (write(ready[1], &done, 1) != 1) _exit(2);
    sleep(60);  // bounded: the parent kills long before
    _exit(0);
  }
  close(ready[1]);
  pollfd wait{ready[0], POLLIN, 0};
  char done = 0;
  const bool reported = child > 0 && poll(&wait, 1, 60000) == 1 && read(ready[0], &done, 1) == 1;
  close(ready[0]);
  if (child <= 0) return false;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  return reported && done == 1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST_P(MuxedEncoderTest, KilledRecordingLeavesAFileWithAllButItsLastSecond) {
  const auto file = dir / ("killed." + TypeName());
  const auto signal = Signal(44100, 2);
  std::unique_ptr<MuxedEncoder> encoder;  // the child's stays open until the kill
  ASSERT_TRUE(RunAndKill([&] {
    encoder = MakeEncoder(GetParam());
    return encoder->EncoderInit(44100, 2, file) == ENC_OK && Feed(*encoder, signal, 2) == ENC_OK;
  }));
  const auto decoded = DecodeUnfinished(file);
  const int decodedRate = GetParam() == FileType::Opus ? 48000 : 44100;
  const double fedSeconds = static_cast<double>(Frames(signal, 2)) / 44100;
  EXPECT_GE(Frames(decoded, 2), (fedSeconds - 1.0) * decodedRate);
  if (GetParam() != FileType::Flac) return;

  // The frames there are the fed samples; the mend then gives their count to every reader.
  ASSERT_LE(decoded.size(), signal.size());
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), signal.begin()));
  const auto size = std::filesystem::file_size(file);
  EXPECT_EQ(FlacFileRepair::Repair(file.string()), FlacFileRepair::Outcome::Repaired);
  EXPECT_EQ(std::filesystem::file_size(file), size);
  const auto mended = ProbeWithFfprobe(file);
  ASSERT_TRUE(mended.has_value());
  EXPECT_NEAR(mended->duration, static_cast<double>(Frames(decoded, 2)) / 44100, 1e-6);
  EXPECT_EQ(DecodeWithFfmpeg(file), decoded);
  EXPECT_EQ(FlacFileRepair::Repair(file.string()), FlacFileRepair::Outcome::Consistent);
}

// A small tmpfs that fills up: mounted for the test, removed after it.
class MuxedEncoderFullDiskTest : public MuxedEncoderTest {
 protected:
  void SetUp() override {
    if (!disk.Mounted()) GTEST_SKIP() << disk.SkipReason();
  }
  SmallTmpfs disk{dir.path()};
};

TEST_P(MuxedEncoderFullDiskTest, FullDiskReportsWriteErrorAndKeepsAReadableFile) {
  const auto file = disk / ("full." + TypeName());
  const auto encoder = MakeEncoder(GetParam());
  ASSERT_EQ(encoder->EncoderInit(44100, 2, file), ENC_OK);
  const auto signal = Signal(44100, 2);
  EncoderResult result = ENC_OK;
  for (int pass = 0; pass < 20 && result == ENC_OK; ++pass) result = Feed(*encoder, signal, 2);  // up to 60 s
  EXPECT_EQ(result, ENC_WRITE_ERROR);
  int32_t used = 0;
  EXPECT_EQ(encoder->Encode(signal.data(), kCaptureBlock, used), ENC_WRITE_ERROR) << "stays failed";
  EXPECT_EQ(encoder->EncoderClose(), ENC_WRITE_ERROR) << "the ending could not be written";

  const auto decoded = DecodeUnfinished(file);
  EXPECT_GT(Frames(decoded, 2), 44100u / 2);
  if (GetParam() != FileType::Flac) return;
  // What is there is the start of what was fed, and the close mended the length.
  for (size_t at = 0; at < decoded.size(); at += signal.size()) {
    const size_t count = std::min(signal.size(), decoded.size() - at);
    ASSERT_TRUE(std::equal(signal.begin(), signal.begin() + count, decoded.begin() + at)) << "at " << at;
  }
  const auto probe = ProbeWithFfprobe(file);
  ASSERT_TRUE(probe.has_value());
  EXPECT_NEAR(probe->duration, static_cast<double>(Frames(decoded, 2)) / 44100, 1e-6);
}

TEST_P(MuxedEncoderFullDiskTest, HeaderThatDoesNotFitFailsTheStartAndLeavesNoFile) {
  {
    std::ofstream filler(disk / "filler", std::ios::binary);
    const std::vector<char> chunk(4096, 'x');
    for (int i = 0; i < 64 && filler.write(chunk.data(), chunk.size()); ++i) {
    }
  }
  const auto file = disk / ("header." + TypeName());
  const auto encoder = MakeEncoder(GetParam());
  EXPECT_EQ(encoder->EncoderInit(44100, 2, file), ENC_FILE_ERROR);
  EXPECT_NE(encoder->InitError().find("No space left on device"), std::string::npos) << encoder->InitError();
  EXPECT_FALSE(std::filesystem::exists(file));
}

const auto kTypes = ::testing::Values(FileType::Flac, FileType::Opus, FileType::Mp3);
INSTANTIATE_TEST_SUITE_P(Types, MuxedEncoderTest, kTypes, TypeName);
INSTANTIATE_TEST_SUITE_P(Types, MuxedEncoderFullDiskTest, kTypes, TypeName);

TEST(EncoderTypesTest, NamesDefaultsAndChoices) {
  EncoderFLAC flac;
  EncoderOpus opus;
  EncoderMP3 mp3;
  EXPECT_EQ(flac.Extension() + opus.Extension() + mp3.Extension(), "flacopusmp3");
  EXPECT_EQ(flac.SettingFor(2), 5);
  EXPECT_EQ(flac.SettingText(1), "压缩级别 5 (默认)");
  EXPECT_EQ(flac.SettingChoices().size(), 9u);
  EXPECT_EQ(opus.SettingFor(2), 96);
  EXPECT_EQ(opus.SettingFor(1), 48);
  EXPECT_EQ(opus.SettingText(1), "48 kbit/s");
  EXPECT_EQ(opus.SettingChoices().front().value, 24);
  EXPECT_EQ(opus.SettingChoices().back().value, 192);
  EXPECT_EQ(mp3.SettingFor(1), 192);
  EXPECT_EQ(mp3.SettingChoices().front().value, 64);
  EXPECT_EQ(mp3.SettingChoices().back().value, 320);
  EXPECT_EQ(mp3.TargetBytesPerSecond(), 24000);
  opus.Setting(128);
  EXPECT_EQ(opus.SettingFor(1), 128) << "a chosen rate holds for mono too";
}

TEST(EncoderTypesTest, CodecRefusalIsKeptInTheLibrarysWords) {
  TempDir dir;
  EncoderFLAC flac;
  EXPECT_EQ(flac.EncoderInit(700000, 1, dir / "out.flac"), ENC_INIT_FAILED);
  EXPECT_EQ(flac.InitError(), "avcodec_open2 (flac, 700000 Hz, 1 channel, level 5): Invalid argument");
  EXPECT_FALSE(std::filesystem::exists(dir / "out.flac"));
}

TEST(EncoderTypesTest, Mp3RateCarriesTheChosenBitRate) {
  EXPECT_EQ(EncoderMP3::OutputRate(8000, 64), 8000);
  EXPECT_EQ(EncoderMP3::OutputRate(8000, 80), 16000);
  EXPECT_EQ(EncoderMP3::OutputRate(22050, 160), 22050);
  EXPECT_EQ(EncoderMP3::OutputRate(22050, 192), 32000);
  EXPECT_EQ(EncoderMP3::OutputRate(11000, 64), 11025);
  EXPECT_EQ(EncoderMP3::OutputRate(96000, 320), 48000);
}

}  // namespace
