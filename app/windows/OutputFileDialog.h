// OutputFileDialog: asks the user for the file of the next recording. The main
// window uses QtOutputFileDialog; tests supply a scripted answer.
#pragma once

#include <string>

class OutputFileDialog {
 public:
  virtual ~OutputFileDialog() = default;

  // `filter` in the form "Description (*.ext)|*.ext". Starts with an empty name.
  // Does not ask about replacing an existing file: the caller asks about the
  // file it will really write (the typed name may still get its suffix).
  // Returns the chosen path (UTF-8), empty when the user cancelled.
  virtual std::string AskFileName(const std::string& filter) = 0;
};
