#include "tests/encoding/AudioProbe.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>

#include "common/SampleMath.h"

namespace {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Standard output of `command`; nullopt when it exits non-zero.
std::optional<std::string> Run(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  if (pclose(pipe) != 0) return std::nullopt;
  return output;
}

std::optional<std::vector<int16_t>> RunDecoder(const std::string& command) {
  const auto raw = Run(command);
  if (!raw) return std::nullopt;
  std::vector<int16_t> samples(raw->size() / 2);
  std::memcpy(samples.data(), raw->data(), samples.size() * 2);
  return samples;
}

// The text after "key" up to the line end, "key=value" or "Key   : value" style.
std::string Field(const std::string& text, const std::string& key, char separator) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto at = line.find(separator);
    if (at == std::string::npos) continue;
    std::string name = line.substr(0, at);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name != key) continue;
    std::string value = line.substr(at + 1);
    while (!value.empty() && value.front() == ' ') value.erase(value.begin());
    return value;
  }
  return {};
}

}  // namespace

std::optional<ProbeInfo> ProbeWithFfprobe(const std::filesystem::path& file) {
  const auto out = Run("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=duration "
                       "-of default=nw=1 " + Quote(file.string()));
  if (!out) return std::nullopt;
  ProbeInfo info;
  info.codec = Field(*out, "codec_name", '=');
  info.rate = std::atoi(Field(*out, "sample_rate", '=').c_str());
  info.channels = std::atoi(Field(*out, "channels", '=').c_str());
  info.duration = std::atof(Field(*out, "duration", '=').c_str());
  return info;
}

std::optional<ProbeInfo> ProbeWithSox(const std::filesystem::path& file) {
  const auto out = Run("sox --i " + Quote(file.string()) + " 2>/dev/null");
  if (!out) return std::nullopt;
  ProbeInfo info;
  info.codec = Field(*out, "Sample Encoding", ':');
  info.rate = std::atoi(Field(*out, "Sample Rate", ':').c_str());
  info.channels = std::atoi(Field(*out, "Channels", ':').c_str());
  // "00:00:03.00 = 132300 samples ~ 225 CDDA sectors": samples per channel over the rate.
  const std::string duration = Field(*out, "Duration", ':');
  const auto equals = duration.find('=');
  if (equals != std::string::npos && info.rate > 0) {
    info.duration = std::atof(duration.c_str() + equals + 1) / info.rate;
  }
  return info;
}

std::optional<std::vector<int16_t>> DecodeWithFfmpeg(const std::filesystem::path& file) {
  return RunDecoder("ffmpeg -v error -i " + Quote(file.string()) + " -f s16le -c:a pcm_s16le -");
}

std::optional<std::vector<int16_t>> DecodeWithSox(const std::filesystem::path& file) {
  return RunDecoder("sox -V1 " + Quote(file.string()) + " -t raw -e signed -b 16 -L -");
}

std::optional<ReferenceLoudness> MeasureWithFfmpeg(const std::filesystem::path& file) {
  const auto output = Run("ffmpeg -nostats -hide_banner -i " + Quote(file.string()) +
                          " -af ebur128=peak=true -f null - 2>&1");
  const size_t summary = output ? output->rfind("Summary:") : std::string::npos;
  if (summary == std::string::npos) return std::nullopt;
  std::istringstream lines(output->substr(summary));
  ReferenceLoudness reference;
  int found = 0;
  for (std::string word; lines >> word;) {
    if (word == "I:" && lines >> reference.integrated) ++found;
    if (word == "Peak:" && lines >> reference.truePeak) ++found;
  }
  if (found != 2) return std::nullopt;
  return reference;
}

std::string DecoderComplaints(const std::filesystem::path& file) {
  const std::string command = "ffmpeg -nostdin -v error -i " + Quote(file.string()) + " -f null - 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "cannot run ffmpeg";
  std::string text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  return pclose(pipe) == 0 ? text : text + " (ffmpeg failed)";
}

std::vector<int16_t> TestSignal(int rate, int channels, double seconds) {
  const auto frames = static_cast<size_t>(std::lround(rate * seconds));
  std::vector<int16_t> samples(frames * channels);
  for (size_t n = 0; n < frames; ++n) {
    for (int c = 0; c < channels; ++c) {
      const Tone tone = ExpectedTones(channels, channels, c).front();
      samples[n * channels + c] = ClipSample(tone.amplitude * std::sin(2 * std::numbers::pi * tone.frequency * n / rate));
    }
  }
  return samples;
}

std::vector<Tone> ExpectedTones(int inChannels, int outChannels, int channel) {
  const Tone left{440.0, 12000.0};
  const Tone right{1000.0, 8000.0};
  if (inChannels == 1) return {left};
  if (outChannels == 1) return {{left.frequency, left.amplitude / 2}, {right.frequency, right.amplitude / 2}};
  return {channel == 0 ? left : right};
}

double ToneSNR(const std::vector<int16_t>& samples, int channels, int channel, int rate,
               const std::vector<Tone>& tones, std::vector<double>* fitted) {
  const size_t first = static_cast<size_t>(rate) / 2;
  const size_t last = std::min(samples.size() / channels, static_cast<size_t>(rate) * 5 / 2);
  if (last <= first) return -1000;
  const double count = static_cast<double>(last - first);
  auto at = [&](size_t n) { return static_cast<double>(samples[n * channels + channel]); };
  double mean = 0;
  for (size_t n = first; n < last; ++n) mean += at(n);
  mean /= count;
  // Over two seconds the sine and cosine of each tone are orthogonal enough for a projection fit.
  std::vector<double> sinPart(tones.size()), cosPart(tones.size());
  for (size_t k = 0; k < tones.size(); ++k) {
    const double w = 2 * std::numbers::pi * tones[k].frequency / rate;
    for (size_t n = first; n < last; ++n) {
      sinPart[k] += (at(n) - mean) * std::sin(w * n);
      cosPart[k] += (at(n) - mean) * std::cos(w * n);
    }
    sinPart[k] *= 2 / count;
    cosPart[k] *= 2 / count;
    if (fitted != nullptr) fitted->push_back(std::hypot(sinPart[k], cosPart[k]));
  }
  double signal = 0;
  double noise = 0;
  for (size_t n = first; n < last; ++n) {
    double model = mean;
    for (size_t k = 0; k < tones.size(); ++k) {
      const double w = 2 * std::numbers::pi * tones[k].frequency / rate;
      model += sinPart[k] * std::sin(w * n) + cosPart[k] * std::cos(w * n);
    }
    signal += (model - mean) * (model - mean);
    noise += (at(n) - model) * (at(n) - model);
  }
  return 10 * std::log10(signal / std::max(noise, 1e-9));
}

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t ReadU32(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset + 4 > bytes.size()) return 0xDEADBEEF;
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

uint16_t ReadU16(const std::vector<uint8_t>& bytes, size_t offset) {
  if (offset + 2 > bytes.size()) return 0xBEEF;
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tamblin-enc.XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}
