// TakeMetadata: what a finished recording (one file, one part of a long
// recording) is tagged with: its markers, title, start, program, comment and
// measured loudness. Marker positions count frames from the start of this file.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TakeMetadata {
  struct Marker {
    int64_t frame = 0;  // from the file's first frame
    std::string name;   // UTF-8; the caller names unnamed markers ("标记 N")
  };

  // Measured over the take; EBU R 128 quantities.
  struct Loudness {
    double integratedLufs = 0;
    double rangeLu = 0;
    double truePeakDbtp = 0;
    std::optional<double> maxMomentaryLufs;
    std::optional<double> maxShortTermLufs;
  };

  std::vector<Marker> markers;  // in any order; written sorted by frame
  std::string title;            // empty: the file's name without its extension
  std::chrono::system_clock::time_point start;
  std::string software;         // empty: this program and its version
  std::string comment;          // empty: none
  std::string language = "und";  // ISO 639-2 of the texts: the interface's when typed ("zho", "eng"); "und": unknown
  std::optional<Loudness> loudness;  // none: no loudness or gain fields
};
