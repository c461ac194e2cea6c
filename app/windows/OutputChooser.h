// OutputChooser: the window's output group "输出" (frmOut, panel picOutXP): the
// output file (txtFile) with its buttons (cmdBrowse, Command3 "打开文件夹"), the
// format text and its chooser's button (txtWAVFmt, cmdSelFmt), the rate box
// (cboSamplerate, digits only, at most 5) with the stereo box (chkStereo), and the
// file type box (cboFileType). It hands type, format and file to the encoders and
// the recorder, keeps the effects on the chosen rate and channels, and puts back
// and keeps the remembered choices. Window's thread only.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "app/recording/RecordingFormat.h"

class EncoderSelection;
class EncoderWAV;
class FormatChooser;
class MessageBoxService;
class MuxedEncoder;
class OutputFileDialog;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QWidget;
class QLabel;
class QuestionService;
class RecorderSettings;
class RecordingEngine;
class SettingChooser;
class clsDSP;

class OutputChooser : public QObject {
  Q_OBJECT

 public:
  // The dialogs the choices open; all outlive this. `questions` nullptr: no
  // questions, a file that holds data is then never replaced.
  struct Dialogs {
    MessageBoxService* messages = nullptr;
    OutputFileDialog* fileDialog = nullptr;
    FormatChooser* formatChooser = nullptr;
    SettingChooser* settingChooser = nullptr;
    QuestionService* questions = nullptr;
  };

  OutputChooser(QWidget& parent, Dialogs dialogs);

  QGroupBox* Frame() const { return frame_; }
  // Reading order: file, browse, open folder, format, its button, rate, stereo, file type.
  QList<QWidget*> TabOrder() const;
  // The encoders, the recorder and the effects, once the window has them (Load); all outlive this.
  void Attach(EncoderSelection& encoders, RecordingEngine& engine, clsDSP& effects);
  // From now on the choices go to the recorder (after the remembered ones were put back).
  void GoLive();
  // The rate box's handlers stop: hiding or destroying the window takes its focus,
  // and the box then reports a listed rate in its text as chosen.
  void Quiet();

  // Heard after every choice the user made here (to keep it).
  std::function<void()> Chosen;
  // The rate or stereo changed: the recorder wants the format (ChosenFormat).
  std::function<void()> FormatChanged;

  std::string OutputFile() const;
  std::string RateText() const;
  bool Stereo() const;
  // The rate and stereo boxes as one format; nothing for a rate no recording can use.
  std::optional<RecordingFormat> ChosenFormat() const;
  // A handler here now waits for the recording thread.
  bool WaitingOnEngine() const { return waitingOnEngine_ > 0; }

  // The format text as the chosen type's encoder has it.
  void ShowFormat();
  void ShowFormatInEffects();
  // The recorder named the next file.
  void ShowOutputFile(const std::string& path);
  // Another door chose a type or file: the boxes show them.
  void FollowRecorder();

  // Rate, stereo, type, WAV format and the compressed types' settings as remembered
  // (quietly: before GoLive; after Attach).
  void Restore(const RecorderSettings& remembered);
  void Remember(RecorderSettings& remembered) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildFrame(QWidget* panel);
  void BuildRateBox(QWidget* panel);
  // The file type row: cboFileType at `row` of `grid`.
  void AddFileTypeRow(QGridLayout* grid, QWidget* panel, int row);
  void ConnectHandlers();
  void WatchChoices();
  void OnFormatBoxChanged();
  void ChooseFormat();
  // The WAV format's coding at `format`'s rate and channels, while another type is chosen.
  void FollowWavFormat(const RecordingFormat& format);
  void OnFileTypeChosen(int index);
  void OnFileTyped(const QString& text);
  // cmdSelFmt: the WAV format chooser, or the chosen compressed type's settings.
  void OnSelectFormatClicked();
  void ChooseSetting(MuxedEncoder& encoder);
  void ChooseOutputFile();
  // Shows `path` in the output box as the user's choice.
  void ChooseOutput(const QString& path);
  // `name` ending in "." + `extension` (any case), appended when missing.
  static QString WithSuffix(const QString& name, const QString& extension);
  void RestoreFileType(const QString& name);
  void RestoreWavFormat(const RecorderSettings& remembered);
  void RestoreCompressedSettings(const RecorderSettings& remembered);
  EncoderWAV& Wav() const;
  void ShowWarning(const std::string& text);

  Dialogs dialogs_;
  EncoderSelection* encoders_ = nullptr;
  RecordingEngine* engine_ = nullptr;
  clsDSP* effects_ = nullptr;
  bool live_ = false;
  int waitingOnEngine_ = 0;
  QGroupBox* frame_ = nullptr;
  QLineEdit* txtFile_ = nullptr;
  QPushButton* cmdBrowse_ = nullptr;
  QPushButton* Command3_ = nullptr;
  QLabel* lblWAVFmt_ = nullptr;
  QLineEdit* txtWAVFmt_ = nullptr;
  QPushButton* cmdSelFmt_ = nullptr;
  QComboBox* cboSamplerate_ = nullptr;
  QCheckBox* chkStereo_ = nullptr;
  QComboBox* cboFileType_ = nullptr;
};
