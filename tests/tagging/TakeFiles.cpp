#include "tests/tagging/TakeFiles.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "tests/encoding/AudioProbe.h"

std::string ReadShellOutput(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (size_t n; pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  if (pipe != nullptr) ::pclose(pipe);
  return output;
}

namespace {

std::string Quoted(const std::filesystem::path& file) { return "'" + file.string() + "'"; }

}  // namespace

void Record(const std::filesystem::path& file, EncoderSelection::FileType type, int rate, int channels, int frames) {
  EncoderSelection encoder;
  encoder.Type(type);
  ASSERT_EQ(encoder.EncoderInit(rate, static_cast<int16_t>(channels), file.string()), ENC_OK) << encoder.InitError();
  const auto signal = TestSignal(rate, channels, static_cast<double>(frames) / rate);
  ASSERT_EQ(signal.size(), static_cast<size_t>(frames) * channels);
  const size_t block = 4096;
  for (size_t at = 0; at < signal.size(); at += block) {
    int32_t used = 0;
    const auto count = static_cast<int32_t>(std::min(block, signal.size() - at) * 2);
    ASSERT_EQ(encoder.Encode(signal.data() + at, count, used), ENC_OK);
  }
  ASSERT_EQ(encoder.EncoderClose(), ENC_OK);
}

TakeMetadata WithMarkers(const std::vector<int64_t>& frames) {
  TakeMetadata metadata;
  metadata.start = kStart;
  for (size_t i = 0; i < frames.size(); ++i) metadata.markers.push_back({frames[i], "标记 " + std::to_string(i + 1)});
  return metadata;
}

std::string MediaInfoView(const std::filesystem::path& file) { return ReadShellOutput("mediainfo " + Quoted(file)); }

std::string ProbeTags(const std::filesystem::path& file) {
  // Keys are spelled as each container keeps them: compared in lower case.
  std::string text = ReadShellOutput("ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1:nk=0 " +
                                     Quoted(file));
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::vector<Chapter> ProbeChapters(const std::filesystem::path& file) {
  std::istringstream lines(
      ReadShellOutput("ffprobe -v error -show_chapters -show_entries chapter=start_time:chapter_tags=title -of csv=p=0 " +
             Quoted(file)));
  std::vector<Chapter> chapters;
  for (std::string line; std::getline(lines, line);) {
    const size_t comma = line.find(',');
    chapters.push_back({std::stod(line.substr(0, comma)), comma == std::string::npos ? "" : line.substr(comma + 1)});
  }
  return chapters;
}

std::vector<std::string> FileNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint32_t> CueOffsets(const std::filesystem::path& file, int64_t* frames) {
  SF_INFO info{};
  SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
  if (sound == nullptr) return {};
  *frames = info.frames;
  SF_CUES cues{};
  std::vector<uint32_t> offsets;
  if (sf_command(sound, SFC_GET_CUE, &cues, sizeof cues) == SF_TRUE) {
    for (uint32_t i = 0; i < cues.cue_count; ++i) offsets.push_back(cues.cue_points[i].sample_offset);
  }
  sf_close(sound);
  return offsets;
}
