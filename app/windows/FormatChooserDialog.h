// FormatChooserDialog: the output format chooser. A list of format families
// ("PCM", "IMA ADPCM", ...) and the formats of the selected family that the
// converter can produce from the recording's 16-bit PCM (rate and channels of
// the request); OK takes the selected format, Cancel changes nothing.
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "encoding/FormatChooser.h"
#include "encoding/FormatEntry.h"

class QDialogButtonBox;
class QLabel;
class QListWidget;

class FormatChooserDialog : public QDialog, public FormatChooser {
  Q_OBJECT

 public:
  explicit FormatChooserDialog(QWidget* parent = nullptr);

  // FormatChooser: runs the dialog modally.
  std::optional<FormatEntry> Choose(const WAVEFORMATEX& pcmInput, const std::string& Title) override;

  // Fills the lists for `pcmInput` without running the dialog (Choose does this first).
  void Fill(const WAVEFORMATEX& pcmInput, const std::string& Title);
  // The format selected now, if any.
  std::optional<FormatEntry> Selected() const;

 private:
  void ShowFamily(int familyRow);
  // Selects the listed format whose record equals `format`, when there is one.
  void SelectEntry(const std::vector<uint8_t>& format);

  QListWidget* lstFamily_;
  QListWidget* lstFormat_;
  QLabel* lblInput_;
  QDialogButtonBox* buttons_;
  std::vector<FormatEntry> formats_;          // every format for the request
  std::vector<size_t> shownFormats_;          // indices into formats_ of lstFormat_ rows
};
