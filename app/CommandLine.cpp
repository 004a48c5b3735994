#include "app/CommandLine.h"

#include <QFileInfo>

QStringList CommandLineFiles(const QStringList& arguments) {
  QStringList files;
  bool onlyFiles = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument.isEmpty()) continue;
    if (!onlyFiles && argument == QLatin1String("--")) {
      onlyFiles = true;
      continue;
    }
    const QFileInfo file(argument);
    if (onlyFiles || !argument.startsWith('-') || file.exists()) files << file.absoluteFilePath();
  }
  return files;
}
