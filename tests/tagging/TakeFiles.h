// Helpers of the tagging tests: recordings made by our encoders, and what
// ffprobe says about tags and chapters.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "encoding/EncoderSelection.h"
#include "tagging/TakeMetadata.h"

// `frames` frames of the test signal recorded into `file` as `type`.
void Record(const std::filesystem::path& file, EncoderSelection::FileType type, int rate, int channels, int frames);
// Markers at `frames`, named "标记 N"; started 2026-12-07 19:54:38 UTC.
TakeMetadata WithMarkers(const std::vector<int64_t>& frames);
// Standard output of a shell command.
std::string ReadShellOutput(const std::string& command);
// ffprobe's "tag:key=value" lines for the format's and streams' tags, in lower case.
std::string ProbeTags(const std::filesystem::path& file);
// What mediainfo shows a user about `file` (its default view).
std::string MediaInfoView(const std::filesystem::path& file);
inline constexpr std::chrono::sys_seconds kStart{std::chrono::seconds{1796673278}};
// Chapter start times in seconds as ffprobe reads them, and their titles.
struct Chapter {
  double start = 0;
  std::string title;
};
std::vector<Chapter> ProbeChapters(const std::filesystem::path& file);
// The cue points of a WAV file as libsndfile reads them; `frames` gets its length.
std::vector<uint32_t> CueOffsets(const std::filesystem::path& file, int64_t* frames);
// Names of the files in `folder`.
std::vector<std::string> FileNames(const std::filesystem::path& folder);
