#include "app/windows/QtOutputFileDialog.h"

#include <QFileDialog>
#include <QStringList>

QString QtOutputFileDialog::QtFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList descriptions;
  // Pairs of description and pattern; a description without parentheses gets its pattern.
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    descriptions << (description.contains('(') ? description : description + " (" + parts[i + 1] + ")");
  }
  return descriptions.join(";;");
}

std::string QtOutputFileDialog::AskFileName(const std::string& filter) {
  // The typed name may still get its suffix, so the question about replacing
  // is the caller's, about the final name; a question here would be about another file.
  const QString name = QFileDialog::getSaveFileName(owner_, QString(), QString(), QtFilter(filter), nullptr,
                                                    QFileDialog::DontConfirmOverwrite);
  return name.toUtf8().toStdString();
}
