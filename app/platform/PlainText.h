// PlainText: text that comes in from outside (a request line, a marker's name)
// made fit for one line of a label file, a tag or an answer, the same at every
// door: valid UTF-8 with no control or line-separator characters. Any thread.
#pragma once

#include <string>
#include <string_view>

class PlainText {
 public:
  // `text` with every byte that begins no valid UTF-8 character (overlong
  // forms, surrogates, beyond U+10FFFF, cut short) made U+FFFD, and every
  // control character (C0 with NUL and tab, DEL, C1 with U+0085) and U+2028,
  // U+2029 made a space. Everything else stays as it was.
  static std::string OneLine(std::string_view text);

 private:
  // The length of the valid UTF-8 character at the start of `text`, 0 when it is none.
  static size_t CharacterLength(std::string_view text);
  static char32_t CodePoint(std::string_view character);
  static bool BreaksTheLine(char32_t character);
};
