// AudioProbe: test helpers that let independent tools judge our files: ffprobe
// and sox for the header, ffmpeg and sox for the decoded samples, and a tone fit
// that measures how well decoded audio matches a known test signal.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What a reader says about a file.
struct ProbeInfo {
  std::string codec;  // ffprobe codec_name, or sox's "Sample Encoding" text
  int rate = 0;
  int channels = 0;
  double duration = 0;  // seconds
};

// A sine component of the test signal: frequency (Hz) and amplitude (sample units).
struct Tone {
  double frequency;
  double amplitude;
};

std::optional<ProbeInfo> ProbeWithFfprobe(const std::filesystem::path& file);
std::optional<ProbeInfo> ProbeWithSox(const std::filesystem::path& file);
// Decoded interleaved 16-bit samples at the file's own rate and channel count;
// nullopt when the tool cannot decode the file.
std::optional<std::vector<int16_t>> DecodeWithFfmpeg(const std::filesystem::path& file);
std::optional<std::vector<int16_t>> DecodeWithSox(const std::filesystem::path& file);
// The loudness ffmpeg's own meter finds in a file (its summary's "I:" and "Peak:").
struct ReferenceLoudness {
  double integrated = 0;  // LUFS, to 0.1
  double truePeak = 0;    // dBTP, to 0.1
};
std::optional<ReferenceLoudness> MeasureWithFfmpeg(const std::filesystem::path& file);
// What ffmpeg says about damaged data in `file` while decoding it (empty: it decoded cleanly).
std::string DecoderComplaints(const std::filesystem::path& file);

// 3 s (or `seconds`) of the test signal: left 440 Hz, right 1000 Hz; mono 440 Hz.
std::vector<int16_t> TestSignal(int rate, int channels, double seconds);
// The tones each output channel should hold when the test signal of
// `inChannels` is converted to `outChannels` (down-mix averages, up-mix copies).
std::vector<Tone> ExpectedTones(int inChannels, int outChannels, int channel);

// Signal-to-noise ratio (dB) of channel `channel` of interleaved `samples`
// against the best fit of `tones` (any phase, any level) over 0.5..2.5 s.
// `fitted` receives the fitted amplitude of each tone.
double ToneSNR(const std::vector<int16_t>& samples, int channels, int channel, int rate,
               const std::vector<Tone>& tones, std::vector<double>* fitted = nullptr);

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& file);
uint32_t ReadU32(const std::vector<uint8_t>& bytes, size_t offset);
uint16_t ReadU16(const std::vector<uint8_t>& bytes, size_t offset);

// A fresh directory below the system temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};
