// SettingChooserDialog: the settings chooser of the compressed file types, in
// the format chooser's style: one list of the type's choices ("压缩级别 5",
// "96 kbit/s" ...), OK takes the selected one, Cancel changes nothing.
#pragma once

#include <QDialog>

#include "app/windows/SettingChooser.h"

class QDialogButtonBox;
class QListWidget;

class SettingChooserDialog : public QDialog, public SettingChooser {
  Q_OBJECT

 public:
  explicit SettingChooserDialog(QWidget* parent = nullptr);

  // SettingChooser: runs the dialog modally.
  std::optional<int32_t> Choose(const std::vector<EncoderSetting>& choices, int32_t current,
                                const std::string& Title) override;

  // Fills the list without running the dialog (Choose does this first).
  void Fill(const std::vector<EncoderSetting>& choices, int32_t current, const std::string& Title);
  // The value selected now, if any.
  std::optional<int32_t> Selected() const;

 private:
  QListWidget* lstSetting_;
  QDialogButtonBox* buttons_;
  std::vector<EncoderSetting> choices_;  // in the list's order
};
