// ProgramFolder: decides where the program keeps its files. Nothing else in the
// program builds these paths.
//
// Installed (the executable in "<prefix>/bin" with "<prefix>/share/<app id>"
// beside it): recordings go to "Tamblin" in the user's music folder, the
// per-user state ("nu.ini") to the application's config folder, and the help
// page comes from "<prefix>/share/<app id>".
// Anywhere else (the build folder, a copied folder): everything lives beside
// the executable: "/file" for recordings, "/nu.ini", the help pages "/bangzhu.htm"
// (Chinese) and "/help.htm" (English) and the translation "/tamblin_en.qm".
// The remembered choices ("tamblin.ini"), the journal of recordings in progress
// and the running copy's lock live in the state folder beside "nu.ini".
// Paths carry no trailing separator. Tests point it at a folder of their own.
#pragma once

#include <QString>

class ProgramFolder {
 public:
  // The folder that holds the executable (or the overridden one).
  static QString Path();
  // True when Path() sits in the installed layout described above.
  static bool Installed();

  static QString OutputFolder();  // installed: <music>/Tamblin; else Path() + "/file"
  static QString StateFolder();   // installed: <config>/<app id>; else Path()
  static QString DataFolder();    // installed: <prefix>/share/<app id>; else Path()
  static QString SettingsFile();  // StateFolder() + "/nu.ini"
  // StateFolder() + "/tamblin.ini": the remembered choices (device, format, effects ...).
  static QString PreferencesFile();
  static QString HelpPage();      // DataFolder() + the interface language's page
  static QString JournalFile();   // StateFolder() + "/recording.journal": recordings in progress
  static QString LockFile();      // StateFolder() + "/tamblin.lock": held by the running copy

  // For tests: use `folder` instead of the executable's folder (empty: back to it).
  static void Override(const QString& folder);
};
