// frmTakeTags: the modal "标签" dialog: title (txtTitle), start (dtpStart),
// program (txtSoftware) and comment (txtComment) of a take, OK/Cancel. Before a
// recording it holds the texts for the next takes, and the start, not known
// yet, is shown disabled with a hint; after the stop it holds the take's tags
// as read from its file. The dialog keeps nothing itself. UI thread only.
#pragma once

#include <QDialog>
#include <chrono>

#include "app/recording/TakeTexts.h"
#include "tagging/TakeMetadata.h"

class QDateTimeEdit;
class QGridLayout;
class QLabel;
class QLineEdit;

class frmTakeTags : public QDialog {
  Q_OBJECT

 public:
  explicit frmTakeTags(QWidget* parent = nullptr);
  ~frmTakeTags() override;

  // The texts for the next recordings; the start is set when one begins.
  void LoadNext(const TakeTexts& texts);
  // The tags `file` (shown in the caption) holds now.
  void LoadTake(const QString& file, const TakeMetadata& tags);
  // What the fields hold (empty title or program: the defaults).
  TakeTexts Texts() const;
  std::chrono::system_clock::time_point Start() const;

 private:
  // A field at `row` of `grid` with its caption, which is also its accessible name.
  QLineEdit* AddField(QGridLayout* grid, int row, const char* name, const QString& caption);
  void Fill(const TakeTexts& texts);

  QLineEdit* txtTitle_ = nullptr;
  QDateTimeEdit* dtpStart_ = nullptr;
  QLabel* lblStartHint_ = nullptr;
  QLineEdit* txtSoftware_ = nullptr;
  QLineEdit* txtComment_ = nullptr;
};
