// ProgramFolder: the folder that holds the executable, without a trailing
// separator. The numbered recordings ("/file"), the counter ("/nu.ini") and the
// help page ("/bangzhu.htm") live there. Tests point it at a folder of their own.
#pragma once

#include <QString>

class ProgramFolder {
 public:
  static QString Path();
  static QString OutputFolder();  // Path() + "/file"
  static QString SettingsFile();  // Path() + "/nu.ini"
  static QString JournalFile();   // Path() + "/recording.journal": recordings in progress
  static QString HelpPage();      // Path() + "/bangzhu.htm"

  // For tests: use `folder` instead of the executable's folder (empty: back to it).
  static void Override(const QString& folder);
};
