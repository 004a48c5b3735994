#include "ui/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

#include "core/Profile.h"

void ShellOpen(const std::string& target) {
  const QString text = QString::fromStdString(target);
  // A path starts with "/" (or is relative); anything else with a scheme is a URL.
  const QUrl url = text.startsWith('/') || !text.contains(':') ? QUrl::fromLocalFile(text) : QUrl(text);
  QDesktopServices::openUrl(url);
}

void OpenHelp() { ShellOpen(DataFilePath(HelpFile)); }
