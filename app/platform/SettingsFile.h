// SettingsFile: where the program's remembered choices are kept, as one small
// text: read whole at start-up, replaced whole on a change. The program reads
// and writes it only through this interface; tests give one in memory.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class SettingsFile {
 public:
  struct Contents {
    std::optional<QByteArray> bytes;  // none: no file, or not usable
    QString problem;                  // why a file that is there is not used; empty: no problem
  };

  virtual ~SettingsFile() = default;

  virtual Contents Read() const = 0;
  // Replaces the file by `bytes` so that a crash leaves the old or the new one,
  // never a mix. Empty when written, else why not in the system's words.
  virtual QString Write(const QByteArray& bytes) = 0;
};
