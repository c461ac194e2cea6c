#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include "app/ApplicationIdentity.h"

void CommandLine::Process(int argc, char** argv) {
  // A plain core application for the parse alone: it needs no display, and
  // ends before the real application is made.
  QCoreApplication parsing(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Tamblin"));
  QCoreApplication::setApplicationVersion(ApplicationIdentity::Version());
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Tamblin 录音机"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.process(parsing);  // prints and ends the program for --help, --version and errors
}
