// QtOutputFileDialog: the platform's save-file dialog for the output file.
#pragma once

#include <QString>

#include "app/windows/OutputFileDialog.h"

class QWidget;

class QtOutputFileDialog : public OutputFileDialog {
 public:
  explicit QtOutputFileDialog(QWidget* owner = nullptr) : owner_(owner) {}
  void Owner(QWidget* owner) { owner_ = owner; }

  std::string AskFileName(const std::string& filter) override;

  // "Wave ACM Encoder (*.wav)|*.wav" -> "Wave ACM Encoder (*.wav)": Qt reads the
  // patterns from the parentheses of each "|"-separated description.
  static QString QtFilter(const std::string& filter);

 private:
  QWidget* owner_;
};
