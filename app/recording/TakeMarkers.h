// TakeMarkers: the markers of the file being recorded, as frame positions in
// that file. The recording thread counts the frames it writes and places a
// marker at the current position: the user's (Ctrl+M, the button, the tray,
// "tamblin --mark") and its own (pause, resume, lost input, a continued file).
// A file holds at most kLimit markers, so a script that marks in a loop cannot
// grow what the stop writes without bound; the user's stop at kAskedLimit, so
// the program's own still have room after a flood of the user's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TakeMarkers {
 public:
  struct Marker {
    int64_t frame = 0;
    std::string name;
    friend bool operator==(const Marker&, const Marker&) = default;
  };
  static constexpr size_t kLimit = 999;  // what a file's tags can name (CHAPTER001 .. CHAPTER999)
  static constexpr size_t kAskedLimit = 900;

  // A new file: no markers, position 0, the default names count from 1 again.
  void Begin();
  // `frames` more went into the file.
  void Written(int64_t frames) { position_ += frames; }
  // The program's own marker at the current position, or `ahead` frames
  // after it (within a block about to be written). False when the file holds
  // kLimit markers already.
  bool Add(const std::string& name, int64_t ahead = 0);
  // The user's marker at the current position; an empty `name` gives "标记 N".
  // False when the file holds kAskedLimit of them, or kLimit markers in all.
  bool AddAsked(const std::string& name);
  int64_t Position() const { return position_; }
  const std::vector<Marker>& Markers() const { return markers_; }

 private:
  std::vector<Marker> markers_;
  int64_t position_ = 0;
  int32_t unnamed_ = 0;  // markers given the default name so far
  size_t asked_ = 0;     // the user's markers in the file
};
