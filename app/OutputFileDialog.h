// OutputFileDialog: asks the user for the file of the next recording. The main
// window uses QtOutputFileDialog; tests supply a scripted answer.
#pragma once

#include <string>

class OutputFileDialog {
 public:
  virtual ~OutputFileDialog() = default;

  // `filter` in the form "Description (*.ext)|*.ext". Starts with an empty name
  // and asks before an existing file is overwritten. Returns the chosen path
  // (UTF-8), empty when the user cancelled.
  virtual std::string AskFileName(const std::string& filter) = 0;
};
