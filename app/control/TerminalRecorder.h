// TerminalRecorder: records without a window (--no-window), for scripts and
// machines without a desktop: the same RecordingEngine as the window, so the
// same journal, crash safety and start-up repair, and the same verbs for a
// later start's --stop, --pause, --status ... (Control). The device, and a
// second one recorded beside it, are chosen by name or description; the file type by the given file's extension (a
// --type that differs is refused), else by --type, else WAV; the output is
// the given file, else the next numbered one. Hands-free options as on the
// "定时/触发" page, checked against its limits. Progress (length, size, level;
// while the file is finished, what is left to write) is rewritten in place on
// standard output every kProgressInterval, below a line with the file being
// written, and a summary line ends it; messages go to standard error.
// Finish (Ctrl+C, SIGTERM) stops as the stop button does; before the start,
// nothing is started.
// Needs a QCoreApplication; its thread only.
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/CommandLine.h"
#include "app/control/TerminalMessages.h"
#include "effects/clsDSP.h"

class EncoderSelection;
class SecondInputFinder;
class RecorderControl;
class RecordingEngine;
class WaveInRecorder;
class WindowThreadDialogs;

class TerminalRecorder {
  Q_DECLARE_TR_FUNCTIONS(TerminalRecorder)

 public:
  static constexpr std::chrono::milliseconds kProgressInterval{250};

  struct Options {
    std::string device;  // name or description
    std::string secondDevice;  // the second input's name or description; empty: one input
    std::string tracks;        // a TrackNames word; empty: mixed
    std::string type;    // "wav", "flac", "opus" or "mp3"; empty: wav
    std::optional<std::chrono::milliseconds> duration;
    std::string file;  // empty: the next numbered file
    CommandLine::HandsFreeOptions handsFree;
  };

  explicit TerminalRecorder(Options options);
  ~TerminalRecorder();

  // Records until the duration is over, Finish is called or the recording
  // fails; returns the exit status: 0 when the file was finished and nothing
  // went wrong, 1 otherwise.
  int Run();
  // Stops the recording as the button does; Run returns once the file is finished.
  void Finish();

  // The recorder's verbs, for the requests of later starts.
  RecorderControl& Control();
  // Where a later start's second input is found.
  const SecondInputFinder& SecondInputs() const { return *secondInputs_; }

 private:
  // Why the recording cannot start; nothing when it runs.
  std::optional<QString> Begin();
  // The refusal of a --device `name`, with the names that would work on the lines after it.
  QString UnknownDevice(const std::string& name);
  std::optional<QString> ChooseHandsFree();
  static QString OutOfRange(const char* option, double lowest, double highest);
  void ShowProgress();
  void PrintProgress(const QString& line);
  // The file being recorded, once on a line of its own (again for each next part).
  void AnnounceFile(const std::string& file);
  // After the stop: length, size of the files, input lost, integrated loudness.
  QString Summary();
  void PrintLine(const QString& line);
  void Fail(const QString& reason);

  Options options_;
  bool finishing_ = false;
  bool progressOutput_ = true;  // standard output takes the progress line (until a write there fails)
  std::vector<std::string> written_;  // the files of the recording, as announced
  TerminalMessages messages_;
  QObject context_;  // this thread, where the capture engine's reports are shown
  std::unique_ptr<WindowThreadDialogs> hookDialogs_;
  std::unique_ptr<WaveInRecorder> recorder_;
  std::unique_ptr<EncoderSelection> encoder_;
  clsDSP effects_;  // all off
  std::unique_ptr<RecordingEngine> engine_;
  std::unique_ptr<SecondInputFinder> secondInputs_;  // over no chosen second input
  QTimer progress_;
};
