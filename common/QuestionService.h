// QuestionService: how non-GUI code asks the user a yes/no question. The
// program supplies a Qt implementation; tests supply scripted answers.
#pragma once

#include <string>

class QuestionService {
 public:
  virtual ~QuestionService() = default;

  // Shows `text` in a modal box with the caption `title` and the buttons Yes
  // and No (No is the default); true when the user chose Yes. UI thread only.
  virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
};
