// FormatCatalogue: what it offers, with which record bytes, and, for every entry
// offered for 44100 Hz stereo and 8000 Hz mono input, a recording of 3 s that
// ffprobe and sox (sox does not read MPEG Layer-3 inside WAV) must read with the
// right family, rate, channels and length, and whose decoded audio must match.
#include "encoding/FormatCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "encoding/EncoderWAV.h"
#include "encoding/FormatRecord.h"
#include "tests/encoding/AudioProbe.h"

namespace {

TEST(FormatCatalogueTest, FamiliesFollowTheInput) {
  const std::vector<std::string> stereo = {"PCM", "CCITT A-Law", "CCITT u-Law", "IMA ADPCM", "MS ADPCM",
                                           "MPEG Layer-3"};
  EXPECT_EQ(FormatCatalogue::Families(44100, 2), stereo);
  const auto mono8k = FormatCatalogue::Families(8000, 1);
  EXPECT_NE(std::find(mono8k.begin(), mono8k.end(), "GSM 6.10"), mono8k.end());
  const auto mono44k = FormatCatalogue::Families(44100, 1);
  EXPECT_EQ(std::find(mono44k.begin(), mono44k.end(), "GSM 6.10"), mono44k.end());
  // The MPEG Layer-3 encoder has no 96000 Hz; bad inputs get nothing.
  const auto high = FormatCatalogue::Families(96000, 2);
  EXPECT_EQ(std::find(high.begin(), high.end(), "MPEG Layer-3"), high.end());
  EXPECT_TRUE(FormatCatalogue::List(44100, 3).empty());
  EXPECT_TRUE(FormatCatalogue::List(0, 2).empty());
}

TEST(FormatCatalogueTest, EveryRecordCarriesItsExtraBytesAndAUsualDescription) {
  const auto list = FormatCatalogue::List(22050, 1);
  int pcm = 0;
  for (const FormatEntry& entry : list) {
    SCOPED_TRACE(entry.FormatTag + " " + entry.FormatID);
    ASSERT_GE(entry.format.size(), 18u);
    const WAVEFORMATEX wfx = WAVEFORMATEX::FromBytes(entry.format);
    EXPECT_EQ(entry.format.size(), 18u + wfx.cbSize);
    EXPECT_GT(wfx.nAvgBytesPerSec, 0u);
    if (entry.FormatTag == "PCM") ++pcm;
  }
  EXPECT_EQ(pcm, 20);  // 5 rates x 8/16 bit x mono/stereo
  auto has = [&](const std::string& tag, const std::string& id) {
    return std::any_of(list.begin(), list.end(),
                       [&](const FormatEntry& e) { return e.FormatTag == tag && e.FormatID == id; });
  };
  EXPECT_TRUE(has("PCM", "48.000 kHz, 16 Bit, Stereo"));
  EXPECT_TRUE(has("PCM", "11.025 kHz, 8 Bit, Mono"));
  EXPECT_TRUE(has("IMA ADPCM", "22.050 kHz, 4 Bit, Mono"));
  EXPECT_TRUE(has("CCITT u-Law", "22.050 kHz, 8 Bit, Mono"));
  EXPECT_TRUE(has("MPEG Layer-3", "64 kBit/s, 22.050 kHz, Mono"));
}

struct Case {
  int rate;
  int channels;
  FormatEntry entry;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.rate << " Hz x" << c.channels << " -> " << c.entry.FormatTag << ", " << c.entry.FormatID;
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (auto [rate, channels] : {std::pair{44100, 2}, std::pair{8000, 1}}) {
    for (auto& entry : FormatCatalogue::List(rate, static_cast<int16_t>(channels))) {
      cases.push_back({rate, channels, entry});
    }
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name = std::to_string(info.param.rate) + "x" + std::to_string(info.param.channels) + "_" +
                     info.param.entry.FormatTag + "_" + info.param.entry.FormatID;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + "_" + std::to_string(info.index);
}

// What each family must look like to the referees, and the lowest signal-to-noise
// ratio (dB) its decoded test tones may show. Floors sit about 5 dB under the
// worst case measured (16-bit resampled 78, 8-bit 35, G.711 38, IMA 30, MS 29,
// GSM 32, MPEG Layer-3 at 32 kbit/s 35); a broken coder lands far below them.
struct Expectation {
  std::string ffprobeCodec;
  std::string soxEncoding;  // empty: sox cannot read this family in WAV
  double snrFloor;
  int blockSamples;  // duration tolerance in samples
};

Expectation ExpectationFor(const std::vector<uint8_t>& format) {
  const WAVEFORMATEX wfx = WAVEFORMATEX::FromBytes(format);
  switch (wfx.wFormatTag) {
    case WAVE_FORMAT_PCM:
      return wfx.wBitsPerSample == 8 ? Expectation{"pcm_u8", "Unsigned Integer PCM", 30, 1}
                                     : Expectation{"pcm_s16le", "Signed Integer PCM", 70, 1};
    case WAVE_FORMAT_ALAW: return {"pcm_alaw", "A-law", 32, 1};
    case WAVE_FORMAT_MULAW: return {"pcm_mulaw", "u-law", 32, 1};
    case WAVE_FORMAT_IMA_ADPCM: return {"adpcm_ima_wav", "IMA ADPCM", 25, FormatRecord::ExtraWord(format, 0)};
    case WAVE_FORMAT_ADPCM: return {"adpcm_ms", "MS ADPCM", 24, FormatRecord::ExtraWord(format, 0)};
    case WAVE_FORMAT_GSM610: return {"gsm_ms", "GSM", 20, 320};
    // Without gapless information in WAV, the encoder's start-up delay (576
    // samples), its final frame and the padded last frame stay in the decoded
    // audio: up to three frames more.
    case WAVE_FORMAT_MPEGLAYER3:
      return {"mp3", "", 28, 3 * FormatRecord::MPEGFrameSamples(static_cast<int>(wfx.nSamplesPerSec))};
    default: return {};
  }
}

class CatalogueRoundTrip : public ::testing::TestWithParam<Case> {
 protected:
  TempDir dir;
};

void CheckDecoded(const char* decoder, const std::optional<std::vector<int16_t>>& decoded, const Case& c,
                  const WAVEFORMATEX& target, const std::vector<int16_t>& input, const Expectation& expect) {
  SCOPED_TRACE(decoder);
  ASSERT_TRUE(decoded.has_value()) << "cannot decode";
  const double seconds = static_cast<double>(decoded->size()) / target.nChannels / target.nSamplesPerSec;
  EXPECT_NEAR(seconds, 3.0, static_cast<double>(expect.blockSamples) / target.nSamplesPerSec + 1e-6)
      << "decoded length off by more than one codec block";
  const bool sameAsInput = target.wFormatTag == WAVE_FORMAT_PCM && target.wBitsPerSample == 16 &&
                           static_cast<int>(target.nSamplesPerSec) == c.rate && target.nChannels == c.channels;
  if (sameAsInput) {
    EXPECT_TRUE(*decoded == input) << "a PCM target equal to the input must be a bit-exact copy";
    return;
  }
  for (int ch = 0; ch < target.nChannels; ++ch) {
    const auto tones = ExpectedTones(c.channels, target.nChannels, ch);
    std::vector<double> fitted;
    const double snr = ToneSNR(*decoded, target.nChannels, ch, static_cast<int>(target.nSamplesPerSec), tones, &fitted);
    EXPECT_GE(snr, expect.snrFloor) << "channel " << ch;
    for (size_t k = 0; k < tones.size(); ++k) {
      EXPECT_NEAR(fitted[k], tones[k].amplitude, tones[k].amplitude * 0.15) << "channel " << ch << " tone " << k;
    }
  }
}

// Records `input` (interleaved 16-bit at `rate`) into `file` in the entry's format,
// in blocks of 10240 bytes. Empty when it worked, else what failed and why.
std::string Record(const FormatEntry& entry, int rate, int channels, const std::vector<int16_t>& input,
                   const std::filesystem::path& file) {
  EncoderWAV encoder;
  encoder.SetFormat(entry.format.data(), static_cast<int32_t>(entry.format.size()), entry.FormatID, entry.FormatTag);
  if (encoder.EncoderInit(rate, static_cast<int16_t>(channels), file) != ENC_OK) {
    return "EncoderInit failed: " + encoder.InitError();
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
  const size_t total = input.size() * 2;
  for (size_t at = 0; at < total;) {
    const auto length = static_cast<int32_t>(std::min<size_t>(10240, total - at));
    int32_t used = 0;
    if (encoder.Encode(bytes + at, length, used) != ENC_OK || used != length) return "Encode failed";
    at += static_cast<size_t>(used);
  }
  return encoder.EncoderClose() == ENC_OK ? "" : "EncoderClose failed";
}

TEST_P(CatalogueRoundTrip, ThreeSecondsAreReadBackByIndependentTools) {
  const Case& c = GetParam();
  const auto file = dir / "out.wav";
  const auto input = TestSignal(c.rate, c.channels, 3.0);
  ASSERT_EQ(Record(c.entry, c.rate, c.channels, input, file), "");

  const WAVEFORMATEX target = WAVEFORMATEX::FromBytes(c.entry.format);
  const Expectation expect = ExpectationFor(c.entry.format);
  const double tolerance = static_cast<double>(expect.blockSamples) / target.nSamplesPerSec + 1e-3;
  const auto probe = ProbeWithFfprobe(file);
  ASSERT_TRUE(probe.has_value()) << "ffprobe cannot read the file";
  EXPECT_EQ(probe->codec, expect.ffprobeCodec);
  EXPECT_EQ(probe->rate, static_cast<int>(target.nSamplesPerSec));
  EXPECT_EQ(probe->channels, target.nChannels);
  // ffprobe estimates the length of ADPCM from 4 bits per sample, ignoring block headers.
  EXPECT_NEAR(probe->duration, 3.0, std::max(tolerance, 0.03 * 3.0));
  CheckDecoded("ffmpeg", DecodeWithFfmpeg(file), c, target, input, expect);
  if (expect.soxEncoding.empty()) return;
  const auto sox = ProbeWithSox(file);
  ASSERT_TRUE(sox.has_value()) << "sox cannot read the file";
  EXPECT_NE(sox->codec.find(expect.soxEncoding), std::string::npos) << sox->codec;
  EXPECT_EQ(sox->rate, static_cast<int>(target.nSamplesPerSec));
  EXPECT_EQ(sox->channels, target.nChannels);
  EXPECT_NEAR(sox->duration, 3.0, tolerance);
  CheckDecoded("sox", DecodeWithSox(file), c, target, input, expect);
}

INSTANTIATE_TEST_SUITE_P(EveryOfferedFormat, CatalogueRoundTrip, ::testing::ValuesIn(AllCases()), CaseName);

// Every entry offered at any rate of the rate box opens and encodes half a second;
// the rates cover each ADPCM block size step (rate / 11025 from 0 to 8). ffprobe
// reads one file of each kind (family, rate, channels, bits): the fixed PCM list
// recurs at every input and the MPEG Layer-3 bit rates share a kind, and one
// ffprobe run costs more than all the encoding.
TEST(FormatCatalogueSweep, EveryEntryAtEveryRateEncodesAndIsReadByFfprobe) {
  TempDir dir;
  const auto file = dir / "sweep.wav";
  std::set<std::tuple<std::string, uint32_t, uint16_t, uint16_t>> probed;
  for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 40000, 44100, 48000, 64000, 72000, 80000, 88200,
                   96000}) {
    for (int channels : {1, 2}) {
      const auto input = TestSignal(rate, channels, 0.5);
      for (const FormatEntry& entry : FormatCatalogue::List(rate, static_cast<int16_t>(channels))) {
        const std::string what = std::to_string(rate) + " Hz x" + std::to_string(channels) + " -> " +
                                 entry.FormatTag + ", " + entry.FormatID;
        const std::string failure = Record(entry, rate, channels, input, file);
        EXPECT_EQ(failure, "") << what;
        const WAVEFORMATEX target = WAVEFORMATEX::FromBytes(entry.format);
        const auto kind = std::make_tuple(entry.FormatTag, target.nSamplesPerSec, target.nChannels,
                                          target.wBitsPerSample);
        if (!failure.empty() || !probed.insert(kind).second) continue;
        const Expectation expect = ExpectationFor(entry.format);
        const auto probe = ProbeWithFfprobe(file);
        ASSERT_TRUE(probe.has_value()) << what << ": ffprobe cannot read the file";
        EXPECT_EQ(probe->codec, expect.ffprobeCodec) << what;
        EXPECT_EQ(probe->rate, static_cast<int>(target.nSamplesPerSec)) << what;
        EXPECT_EQ(probe->channels, target.nChannels) << what;
        const double tolerance = static_cast<double>(expect.blockSamples) / target.nSamplesPerSec + 0.015;
        EXPECT_NEAR(probe->duration, 0.5, tolerance) << what;
      }
    }
  }
}

}  // namespace
