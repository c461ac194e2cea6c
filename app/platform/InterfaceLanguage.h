// InterfaceLanguage: the language the windows speak. Chinese is the program's
// own: its texts are the sources' and a Chinese locale shows them as they are.
// Any other locale gets the English translation, "tamblin_en.qm", read from the
// data folder (beside the executable, or the installed data folder). The
// command line's "--lang zh|en" overrides the locale.
// UI thread only, except Current and Iso639_2.
#pragma once

#include <QLocale>
#include <QString>
#include <optional>
#include <string>

class InterfaceLanguage {
 public:
  enum class Language { Chinese, English };

  // The language a "--lang" value names ("zh" or "en", any case); nullopt otherwise.
  static std::optional<Language> FromName(const QString& name);
  // Chinese for a Chinese locale (any script or region), English for every other.
  static Language ForLocale(const QLocale& locale);
  // The desktop's language: the first of the user's interface languages
  // (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG).
  static Language ForSystem();

  // Makes `language` the interface's for windows made from now on: installs
  // its translation from `folder` into the running application, or removes
  // the installed one for Chinese. When the translation cannot be read, the
  // interface stays Chinese and `error` says why.
  static bool Use(Language language, const QString& folder, QString* error = nullptr);
  static Language Current();
  // The current language's ISO 639-2 code, as tags name the language of a text
  // the user typed: "zho" or "eng".
  static std::string Iso639_2();

  // "<folder>/tamblin_en.qm".
  static QString TranslationFile(const QString& folder);
  // The help page in the current language: "bangzhu.htm" or "help.htm".
  static QString HelpPageName();
};
