// TakeTracks: the files a take's recorded frames go into. With one input a
// recorded frame is a file frame, and the one file takes the frames as they
// are. With two inputs a recorded frame holds the first input's channels, then
// the second's, and the layout makes the files of them: the mix, the first,
// the second, the main file ("<name>.ext") first, its companions named by
// their suffix ("<name>-1.ext", "<name>-2.ext"). Every file gets the same
// number of frames. The layout is set once per take; Split runs per block and
// allocates only when a block is longer than any before.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/recording/SecondInputSettings.h"
#include "mixing/TrackMix.h"

class TakeTracks {
 public:
  // One input: one file.
  TakeTracks() = default;
  // Two inputs of `channels` each, into the files `layout` names.
  TakeTracks(TrackLayout layout, int16_t channels, double firstGainDb, double secondGainDb);

  // Inputs in a recorded frame: 1 or 2.
  int16_t Inputs() const { return tracks_.empty() ? 1 : 2; }
  size_t Files() const { return tracks_.empty() ? 1 : tracks_.size(); }
  // How file `file`'s name differs from the main file's: "" for the main file (0).
  std::string Suffix(size_t file) const;

  // The files' blocks of `recorded` (whole recorded frames), kept until the next call.
  void Split(std::span<const int16_t> recorded);
  std::span<const int16_t> File(size_t file) const;

 private:
  enum class Track { Mix, First, Second };

  std::vector<Track> tracks_;  // empty: one input
  int16_t channels_ = 1;
  std::optional<TrackMix> mix_;
  std::span<const int16_t> recorded_;  // the last block, as one input's file takes it
  std::vector<int16_t> first_;   // two inputs: the last block's inputs apart
  std::vector<int16_t> second_;
  std::vector<int16_t> mixed_;   // and their mix, when a file takes it
};
