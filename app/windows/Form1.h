// Form1: the main window "TamblinV3.3". It builds the capture engine, the encoder,
// the effects chain, the displays and the recorder (RecordingEngine) that owns the
// recording, its controller and its state, and keeps them alive; it hands
// the user's choices (effects; the input's through its InputChooser, the output's
// through its OutputChooser) to the recorder, calls its verbs for the buttons and keys, shows the
// recorder's state (buttons, tray items, frames) and follows the choices other
// doors made; it redraws waveform, spectrum, level bars and status texts on its
// own 25 ms timer from the newest processed block; while a recording is paused
// only the level bars move. Ctrl+R starts and stops, Ctrl+P pauses and goes on.
//
// Every control's objectName is its name: cmdDo, cmdPause, frmInp, cboDev, cboRecLine,
// sldVol, lblVolPer, chkMonitor, spnPreRecord (InputChooser), cboDev2, cmdComputerSound, spnGain1,
// spnGain2, cboTracks, chkRemoveComputer, lblEchoDelay (SecondInputChooser), frmOut, picOutXP, txtFile, cmdBrowse, Command3,
// txtWAVFmt, cmdSelFmt, cboSamplerate, cboFileType (WAV, FLAC, Ogg Opus, MP3), chkStereo (OutputChooser),
// Command1, Command2, Command4, frmEffects, chkFX0..chkFX3 (the
// control array chkFX, Index 0..3), cmdFXOpts, picVUL, picVUR (picVU2L, picVU2R: the
// second input's, shown while one is chosen), picAmpl, picFreq,
// sbar (panels sbarPanel1, sbarPanel2) and tmrVis; beside the bars (MeterPanel) lampClipL,
// lampClipR, picVUScale, lblLoudness and the status panel sbarClips. cboRecLine and sldVol sit over
// frmInp but are not inside it, so they stay usable while a recording runs.
// UI thread only.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "app/recording/RecorderControl.h"
#include "app/recording/RecordingMonitor.h"
#include "app/windows/TextPace.h"
#include "display/clsDraw.h"
#include "effects/clsDSP.h"

class EncoderSelection;
class EncoderWAV;
class FormatChooser;
class FormatChooserDialog;
class InputChooser;
class MessageBoxService;
class MeterPanel;
class OutputChooser;
class OutputFileDialog;
class PictureSurface;
class PictureView;
class QCheckBox;
class QGroupBox;
class QImageSurface;
class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;
class QuestionService;
class RecordingController;
class RecordingEngine;
class ScheduleKeeper;
class SecondInputChooser;
class SecondInputFinder;
class SettingsKeeper;
class SettingChooser;
class SettingChooserDialog;
class SourceWatcher;
class TakeReviewPanel;
class TakeTagsKeeper;
class TrayIcon;
class WaveInRecorder;
class WindowThreadDialogs;
class frmFXOpts;
class SteadyLabel;

class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  // Platform services the window uses; nullptr: the real Qt ones. Tests pass
  // recording or scripted ones. Not owned.
  struct Services {
    MessageBoxService* messages = nullptr;
    OutputFileDialog* fileDialog = nullptr;
    FormatChooser* formatChooser = nullptr;
    bool trayIcon = true;  // false: no tray icon (tests)
    // nullptr: the Qt boxes when `messages` is nullptr too, else no questions
    // (a file that holds data is then never replaced).
    QuestionService* questions = nullptr;
    SettingChooser* settingChooser = nullptr;  // the compressed types' settings
  };

  Form1();
  explicit Form1(Services services, QWidget* parent = nullptr);
  ~Form1() override;

  // The start-up sequence: objects, defaults, device list, window shown, next
  // numbered file, tray icon.
  void Load();

  // A later start of the program asked for this window: shown (out of the
  // tray too), restored from minimised, raised and activated.
  void BringToFront();

  // The controller runs on the recording thread: read it only while idle.
  RecordingController& Controller();
  RecordingEngine& Engine() { return *engine_; }
  // Where a door's start finds the second input it names (after Load).
  const SecondInputFinder& SecondInputs() const { return *secondInputs_; }
  ScheduleKeeper& Schedule() { return *schedule_; }  // after Load
  TakeTagsKeeper& Tags() { return *tags_; }          // after Load
  // Most a 25 ms display tick came late while a recording ran (since Load).
  int64_t MaxTickLatenessMs() const { return maxTickLatenessMs_; }
  clsDSP& Effects() { return clsEffects_; }
  EncoderWAV& Encoder();               // the WAV type's encoder
  EncoderSelection& Encoders() { return *clsEncoder_; }  // every type, the chosen one recording
  WaveInRecorder& Recorder() { return *clsRecorder_; }

  // The choices as the window shows them.
  std::string OutputFile() const;
  std::string RateText() const;
  bool Stereo() const;
  bool DeviceChosen() const;

 signals:
  // Every 25 ms once loaded, after the displays were brought up to date.
  void Ticked();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OrderTabs();
  void BuildControls();
  QGroupBox* BuildEffectsFrame();
  QWidget* BuildDisplays();
  void ConnectHandlers();
  // cmdDo's and cmdPause's keys, also heard while another control has focus.
  void AddRecordingShortcuts();
  void ConnectTrayRecordingItems();
  // The recorder's state on the buttons, the tray's items and the frames.
  void ShowState(RecorderState state);
  // The rate, stereo and device choices go to the recorder.
  void HandChoicesToRecorder();
  // The second input's choice (with the schedule page's gate) goes to the recorder; its bars show while one is chosen.
  void HandSecondInputToRecorder();
  void ShowSecondBars(bool shown);
  // At least as tall as the controls shown need.
  void FitHeight();
  // Another door chose a device, type or file: the boxes show them.
  void FollowRecorderChoices();
  // cmdPause, its key and the tray item.
  void OnPausePressed();
  // A refusal or warnings of a verb the window's own controls asked for, in its boxes.
  void ShowResult(const RecorderControl::Result& result);
  // cmdMark, Ctrl+M and the tray item: a marker at the current sample.
  void AddMarker();
  PictureView* AddPicture(const char* name, QImageSurface& surface, QWidget* parent);
  PictureView* ShowSurface(PictureView* view, QImageSurface& surface);

  void OnEffectClicked(int Index);
  void ShowEffectsDialog();
  // cmdDo, its key and the tray item: a pending scheduled start is cancelled, else start/stop.
  void OnStartStopPressed();
  // A start with no device chosen: the focus goes to cboDev and the message says to choose there.
  void PointAtDeviceBox();
  void OnTick();
  void NoteTickLateness();
  // Stops playback when a recording starts and shows the take once it is finished.
  void FollowTakeReview(RecorderState state);
  void ShowStatusTexts(const RecordingMonitor::Snapshot& shown);
  void DrawDisplays(const RecordingMonitor::Snapshot& shown);
  // Once a recording has stopped: the level bars and the spectrum at rest.
  void ShowIdleDisplays();
  static void ShowText(SteadyLabel& label, const std::string& text);
  // The waveform and spectrum can be seen: the window is shown and not minimized.
  bool DisplaysSeen() const;
  void Unload();
  void ShowWarning(const std::string& text);

  // Remembered choices: put back at start-up (before the device list, with
  // their handlers quiet), kept whenever the user changes one.
  void RestoreChoices();
  void RestoreEffects();
  void WatchChoices();
  void RememberChoices();
  // A one-line notice in the status bar (empty: none), never a box.
  void ShowNotice(const QString& text);

  Services services_;
  std::unique_ptr<MessageBoxService> ownMessages_;
  std::unique_ptr<OutputFileDialog> ownFileDialog_;
  std::unique_ptr<FormatChooserDialog> ownChooser_;
  std::unique_ptr<SettingChooserDialog> ownSettingChooser_;

  // The system's objects, created by Load and released by the shutdown.
  std::unique_ptr<WindowThreadDialogs> hookDialogs_;  // before clsRecorder_, which uses it
  std::unique_ptr<WaveInRecorder> clsRecorder_;
  std::unique_ptr<EncoderSelection> clsEncoder_;
  clsDraw clsVis_;
  clsDSP clsEffects_;
  std::unique_ptr<RecordingEngine> engine_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<ScheduleKeeper> schedule_;  // the "定时/触发" page and its schedule
  std::unique_ptr<TakeTagsKeeper> tags_;      // the texts of the next takes, re-tagging the last one
  std::unique_ptr<SourceWatcher> sourceWatcher_;  // keeps cboDev following the server
  std::unique_ptr<SettingsKeeper> settings_;      // the remembered choices
  frmFXOpts* fxOpts_ = nullptr;  // created on first use, kept
  bool blnLoaded_ = false;
  uint64_t drawnBlock_ = UINT64_MAX;  // Snapshot::blockSerial of the waveform on screen; MAX: none
  RecordingMonitor::Snapshot shown_;  // what the last tick showed, its buffers reused
  // What the status texts last told besides size and length: a change is shown at once.
  struct StatusMeaning {
    RecorderState state = RecorderState::Idle;
    bool waitingForSound = false;
    int32_t take = 0;
    int64_t lost = 0;
    bool operator==(const StatusMeaning&) const = default;
  };
  std::optional<StatusMeaning> statusMeaning_;
  TextPace statusPace_;
  QElapsedTimer lastTick_;  // valid while a recording runs
  int64_t maxTickLatenessMs_ = 0;
  bool unloaded_ = false;
  TakeReviewPanel* review_ = nullptr;  // the last take: play, overview, cut
  bool reviewIdle_ = true;  // the state the review panel last followed
  bool displaysLive_ = false;  // the pictures show a recording's blocks, not their look at rest
  int waitingOnEngine_ = 0;  // handlers now waiting for the recording thread

  std::unique_ptr<QImageSurface> surfAmpl_, surfFreq_;

  QPushButton* cmdDo_ = nullptr;
  QPushButton* cmdPause_ = nullptr;
  QPushButton* cmdMark_ = nullptr;
  QPushButton* cmdTags_ = nullptr;  // the texts of the next takes
  QGroupBox* frmInp_ = nullptr;
  InputChooser* input_ = nullptr;  // frmInp: device, line, level, monitor, pre-record
  SecondInputChooser* second_ = nullptr;  // frmInp: the second input, gains, tracks
  std::unique_ptr<SecondInputFinder> secondInputs_;
  std::array<QWidget*, 2> secondBarLabels_{};  // beside the second input's level bars
  QGroupBox* frmOut_ = nullptr;
  OutputChooser* output_ = nullptr;  // frmOut: file, format, rate, stereo, file type
  QGroupBox* frmEffects_ = nullptr;
  std::array<QCheckBox*, 4> chkFX_{};
  QPushButton* cmdFXOpts_ = nullptr;
  QPushButton* cmdSchedule_ = nullptr;
  QPushButton* Command2_ = nullptr;
  QPushButton* Command1_ = nullptr;
  QPushButton* Command4_ = nullptr;
  PictureView* picAmpl_ = nullptr;
  PictureView* picFreq_ = nullptr;
  QStatusBar* sbar_ = nullptr;
  SteadyLabel* sbarPanel1_ = nullptr;
  SteadyLabel* sbarPanel2_ = nullptr;
  SteadyLabel* sbarPanel3_ = nullptr;  // input lost during the recording
  QLabel* sbarNotice_ = nullptr;       // a remembered device gone, a settings file not usable
  QTimer* tmrVis_ = nullptr;
  MeterPanel* meters_ = nullptr;  // scale, clip lamps, peak holds, loudness
};
