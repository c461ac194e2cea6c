#include "app/platform/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTranslator>
#include <atomic>
#include <memory>

namespace {

struct State {
  // Read by the recording thread too, to name the language of the texts it tags with.
  std::atomic<InterfaceLanguage::Language> current = InterfaceLanguage::Language::Chinese;
  std::unique_ptr<QTranslator> translator;
};

State& Installed() {
  static State state;
  return state;
}

void RemoveTranslator() {
  State& state = Installed();
  if (state.translator) QCoreApplication::removeTranslator(state.translator.get());
  state.translator.reset();
  state.current = InterfaceLanguage::Language::Chinese;
}

}  // namespace

std::optional<InterfaceLanguage::Language> InterfaceLanguage::FromName(const QString& name) {
  const QString key = name.trimmed().toLower();
  if (key == QStringLiteral("zh")) return Language::Chinese;
  if (key == QStringLiteral("en")) return Language::English;
  return std::nullopt;
}

InterfaceLanguage::Language InterfaceLanguage::ForLocale(const QLocale& locale) {
  return locale.language() == QLocale::Chinese ? Language::Chinese : Language::English;
}

InterfaceLanguage::Language InterfaceLanguage::ForSystem() {
  const QStringList languages = QLocale::system().uiLanguages();
  return ForLocale(languages.isEmpty() ? QLocale::system() : QLocale(languages.first()));
}

bool InterfaceLanguage::Use(Language language, const QString& folder, QString* error) {
  RemoveTranslator();
  if (language == Language::Chinese) return true;
  const QString file = TranslationFile(folder);
  auto translator = std::make_unique<QTranslator>();
  // QTranslator::load gives no reason; the likely ones are told apart here.
  if (!translator->load(file)) {
    if (error) *error = QFileInfo(file).isFile() ? file + ": not a readable translation" : file + ": not found";
    return false;
  }
  if (!QCoreApplication::installTranslator(translator.get())) {
    if (error) *error = QStringLiteral("no application to translate");
    return false;
  }
  Installed().translator = std::move(translator);
  Installed().current = language;
  return true;
}

InterfaceLanguage::Language InterfaceLanguage::Current() { return Installed().current; }

std::string InterfaceLanguage::Iso639_2() { return Current() == Language::English ? "eng" : "zho"; }

QString InterfaceLanguage::TranslationFile(const QString& folder) { return folder + "/tamblin_en.qm"; }

QString InterfaceLanguage::HelpPageName() {
  return Current() == Language::English ? QStringLiteral("help.htm") : QStringLiteral("bangzhu.htm");
}
