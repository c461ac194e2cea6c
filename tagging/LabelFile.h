// LabelFile: the markers of a recording as a text file beside it (same name,
// ".txt" in place of the extension; "<whole name>.txt" when a recording of
// another type with the same stem is there, so two never share one): one line per marker, "<start>\t<end>\t<name>\n", times in seconds
// with 6 decimals, start = end for a point. Replaces only a file that already
// reads as such a label file, so a text of the user's is never overwritten.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tagging/TakeMetadata.h"

class LabelFile {
 public:
  // Largest existing file read to tell whether it is a label file.
  static constexpr int64_t kMaxExistingBytes = 1 << 20;

  // The label file's path for `recording`, as things are in its folder now.
  static std::string PathFor(const std::string& recording);
  // Tabs and line breaks in names become spaces.
  static std::string Text(const std::vector<TakeMetadata::Marker>& markers, int32_t rate);
  // True when every line of `text` is "<digits>.<6 digits>\t<digits>.<6 digits>\t<text>".
  static bool IsLabelText(std::string_view text);
  // Writes the label file of `recording`; the reason on failure, empty on success.
  static std::string Write(const std::string& recording, const std::vector<TakeMetadata::Marker>& markers,
                           int32_t rate);
};
