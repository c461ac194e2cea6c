// RecordingRecovery: the start-up check of the output folder. A numbered
// recording ("录音<n>.wav") whose RIFF sizes disagree with its length was left
// behind by a killed process, a crash or a power cut; its sizes are mended so
// every player reads all the audio it holds, and the user is told which files
// were recovered. Files of other names, empty files and files that are not WAVE
// files are left alone.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

class RecordingRecovery {
 public:
  struct Result {
    QStringList recovered;  // file names (no folder) whose header was mended
    QStringList failed;     // needed mending but could not be written
    bool Empty() const { return recovered.isEmpty() && failed.isEmpty(); }
  };

  // Checks every numbered recording in `folder` (missing folder: nothing).
  static Result Scan(const QString& folder);
  // The text telling the user what Scan did; empty when it did nothing.
  static std::string Message(const Result& result);
  // True for "录音<n>.wav", n a whole number from -32768 to 32767.
  static bool IsNumberedRecording(const QString& fileName);
};
