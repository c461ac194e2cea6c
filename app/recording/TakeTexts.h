// TakeTexts: what the user wants the next recordings tagged with. Empty title:
// each file's name; empty program: this program and its version; empty
// comment: none. They stay for every take and every part until changed.
#pragma once

#include <string>

struct TakeTexts {
  std::string title;
  std::string software;
  std::string comment;

  bool operator==(const TakeTexts&) const = default;
};
