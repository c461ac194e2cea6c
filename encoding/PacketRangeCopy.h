// PacketRangeCopy: keeps a range of an Ogg Opus or MP3 take by copying its
// coded packets into a new file of the same container, without coding them
// again: a packet is kept when its middle falls inside the range, so the cut
// lands on the nearest codec frame boundary.
#pragma once

#include <string>

#include "encoding/TrimRange.h"

class PacketRangeCopy {
 public:
  // Empty on success, else why not (the codec library's words included).
  // `kept`, when given, gets the span of the take the copied packets cover, at the range's rate.
  static std::string Copy(const std::string& take, const TrimRange& range, const std::string& target,
                          TrimRange* kept = nullptr);
};
