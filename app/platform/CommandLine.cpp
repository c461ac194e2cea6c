#include "app/platform/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "app/platform/ApplicationIdentity.h"
#include "app/platform/ProgramFolder.h"

namespace {

const QString kLangName = QStringLiteral("lang");

QCommandLineOption LangOption(const QString& description) {
  return QCommandLineOption(kLangName, description, QStringLiteral("zh|en"));
}

// The language asked for with "--lang", else the desktop's. An unknown name ends the program.
InterfaceLanguage::Language ChosenLanguage(const QStringList& arguments) {
  QCommandLineParser first;
  first.addOption(LangOption({}));
  first.addHelpOption();
  first.addVersionOption();
  first.parse(arguments);  // errors are reported by the full parse
  if (!first.isSet(kLangName)) return InterfaceLanguage::ForSystem();
  const QString name = first.value(kLangName);
  if (const auto language = InterfaceLanguage::FromName(name)) return *language;
  InterfaceLanguage::Use(InterfaceLanguage::ForSystem(), ProgramFolder::DataFolder());
  const QString message =
      QCoreApplication::translate("CommandLine", "未知的界面语言 \"%1\", 可用: zh, en").arg(name);
  std::fprintf(stderr, "%s\n", qPrintable(message));
  std::exit(1);
}

}  // namespace

InterfaceLanguage::Language CommandLine::Process(int argc, char** argv) {
  // A plain core application for the parse alone: it needs no display, and
  // ends before the real application is made.
  QCoreApplication parsing(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Tamblin"));
  QCoreApplication::setApplicationVersion(ApplicationIdentity::Version());
  const InterfaceLanguage::Language language = ChosenLanguage(parsing.arguments());
  // The help text in that language; a missing translation is told by the program itself.
  InterfaceLanguage::Use(language, ProgramFolder::DataFolder());
  QCommandLineParser parser;
  parser.setApplicationDescription(QCoreApplication::translate("CommandLine", "Tamblin 录音机"));
  parser.addOption(LangOption(QCoreApplication::translate("CommandLine", "界面语言: zh (中文) 或 en (英文)")));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(parsing);  // prints and ends the program for --help, --version and errors
  InterfaceLanguage::Use(InterfaceLanguage::Language::Chinese, {});
  return language;
}
