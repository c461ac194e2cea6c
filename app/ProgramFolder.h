// ProgramFolder: the folder that holds the executable, without a trailing
// separator. The numbered recordings ("/file"), the counter ("/nu.ini"), the
// help page ("/bangzhu.htm") and the running copy's lock live there. Tests point
// it at a folder of their own.
#pragma once

#include <QString>

class ProgramFolder {
 public:
  static QString Path();
  static QString OutputFolder();  // Path() + "/file"
  static QString SettingsFile();  // Path() + "/nu.ini"
  static QString JournalFile();   // Path() + "/recording.journal": recordings in progress
  static QString HelpPage();      // Path() + "/bangzhu.htm"
  static QString LockFile();      // Path() + "/tamblin.lock": held by the running copy

  // For tests: use `folder` instead of the executable's folder (empty: back to it).
  static void Override(const QString& folder);
};
