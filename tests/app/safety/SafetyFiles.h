// Small file helpers of the safety suite: whole-file bytes, little-endian
// fields, and what sox and ffprobe say about a WAVE file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);
void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);
uint32_t GetU32(const std::vector<uint8_t>& bytes, size_t at);

// Sample frames sox reads from the file; -1 when sox cannot open it.
int64_t SoxSampleCount(const std::filesystem::path& file);
// Duration in seconds as ffprobe reports it; nullopt when it cannot open the file.
std::optional<double> FfprobeDuration(const std::filesystem::path& file);
// The file's samples decoded by sox as interleaved 16-bit; nullopt on failure.
std::optional<std::vector<int16_t>> SoxSamples(const std::filesystem::path& file);
