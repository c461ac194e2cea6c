#include "app/platform/PlainText.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::string PlainText::OneLine(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  while (!text.empty()) {
    const size_t length = CharacterLength(text);
    if (length == 0) {
      plain += kReplacement;
      text.remove_prefix(1);
      continue;
    }
    const std::string_view character = text.substr(0, length);
    if (BreaksTheLine(CodePoint(character))) {
      plain += ' ';
    } else {
      plain += character;
    }
    text.remove_prefix(length);
  }
  return plain;
}

size_t PlainText::CharacterLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  const auto second = static_cast<unsigned char>(text[1]);
  if (second < low || second > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[i]))) return 0;
  }
  return length;
}

char32_t PlainText::CodePoint(std::string_view character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) return lead;
  char32_t code = lead & (0x7F >> character.size());
  for (size_t i = 1; i < character.size(); ++i) code = (code << 6) | (static_cast<unsigned char>(character[i]) & 0x3F);
  return code;
}

bool PlainText::BreaksTheLine(char32_t character) {
  return character < 0x20 || (character >= 0x7F && character <= 0x9F) || character == 0x2028 || character == 0x2029;
}
