// FileCounter: the number of the next recording (intFileNo, 16-bit two's
// complement) and the files named after it:
//   <program folder>/file/录音<n>.<ext>  the next numbered recording, <ext> the
//                                       chosen file type's extension ("wav" at first)
//   <program folder>/nu.ini            the counter as one line "<n>\r\n"
// The counter survives program runs through nu.ini. The recording thread
// only (the window reads it while idle).
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class FileCounter {
 public:
  int16_t intFileNo() const { return intFileNo_; }
  void intFileNo(int16_t value) { intFileNo_ = value; }

  // Reads the first line of nu.ini. A missing or unreadable file, or a first line
  // that is not a whole number from -32768 to 32767, gives 0 and returns false
  // (the file is rewritten at the next Save).
  bool Load();
  // Replaces nu.ini by the counter and CR LF; false when it cannot be written,
  // and `error` (when given) says why in the system's words.
  bool Save(QString* error = nullptr) const;

  // 32767 + 1 gives -32768.
  void Advance();

  // The output folder's "录音<n>.<ext>" for the current counter.
  QString NextFileName() const;

  QString Extension() const { return extension_; }  // without the dot
  // Numbers the files with `extension` from now on.
  void ChangeExtension(const QString& extension) { extension_ = extension; }

  // Creates the output folder when it is missing; false when that is impossible.
  static bool EnsureOutputFolder();

  // Reserves NextFileName for a new recording by its number: while the number
  // is taken, the counter moves on (a recording is never overwritten). Nothing
  // is created: the encoder creates the file when a recording starts, so no
  // empty file is left when none does. A number is taken when its file of the
  // chosen type exists at all, or its file of any other recorded type holds
  // data, is a symbolic link or is no file: one number never names two
  // recordings. An empty file of another type (an older version's) does not
  // take it, and stays as it is. False when no free number exists.
  bool PrepareNextFile();

  // The extensions of the file types the program records (EncoderSelection's types).
  static const QStringList& RecordedExtensions();

 private:
  QString NumberedFile(const QString& extension) const;  // "录音<n>.<extension>" in the output folder
  bool NumberTaken() const;

  int16_t intFileNo_ = 0;
  QString extension_ = QStringLiteral("wav");
};
