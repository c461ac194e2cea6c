// OggMpegFile: Ogg Opus and MP3 files as the start-up repair sees them. Their
// killed recordings need no mend (readers find the length in what was
// written), but one killed before its first audio page or frame reached the
// file holds only the container's headers, which nothing decodes.
//
// Bounded work for any input: at most the first Ogg page (FixedHeaderBytes),
// or a file of at most kMaxAudiolessLength bytes and kMaxPages pages.
#pragma once

#include <cstdint>
#include <vector>

class OggMpegFile {
 public:
  // Longer files hold audio: our headers alone take a few hundred bytes.
  static constexpr int64_t kMaxAudiolessLength = 65536;
  static constexpr int kMaxPages = 16;

  // What the writer never rewrites: the first Ogg page (it carries the
  // stream's random serial number), or the first MP3 frame's header. Empty for
  // anything else.
  static std::vector<uint8_t> FixedHeaderBytes(int fd);
  // True for an Ogg file whose whole pages all have granule position 0
  // (header pages), and for an MP3 file of one Xing/Info frame; either may end
  // in a cut page or frame. False for anything else, audio or not.
  static bool HoldsNoAudio(int fd);
};
