#include "tests/app/safety/SafetyFiles.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "tests/support/ShellCommand.h"

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, 4); }

uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

int64_t SoxSampleCount(const std::filesystem::path& file) {
  const auto result = RunShellCommand("soxi -s " + ShellQuote(file.string()) + " 2>/dev/null");
  if (result.exitCode != 0 || result.output.empty()) return -1;
  return std::stoll(result.output);
}

std::optional<double> FfprobeDuration(const std::filesystem::path& file) {
  const auto result = RunShellCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                      ShellQuote(file.string()));
  if (result.exitCode != 0 || result.output.empty()) return std::nullopt;
  try {
    return std::stod(result.output);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::vector<int16_t>> SoxSamples(const std::filesystem::path& file) {
  const auto raw = std::filesystem::temp_directory_path() /
                   ("tamblin-sox-" + std::to_string(::getpid()) + "-" + file.filename().string() + ".raw");
  const auto result = RunShellCommand("sox " + ShellQuote(file.string()) + " -t raw -e signed -b 16 -L " +
                                      ShellQuote(raw.string()));
  if (result.exitCode != 0) return std::nullopt;
  const auto bytes = ReadBytes(raw);
  std::filesystem::remove(raw);
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}
