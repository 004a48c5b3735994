#pragma once
// Receives what the desktop would be asked to open: registered with QDesktopServices::setUrlHandler for
// a scheme, it records the URLs instead of starting another program.
#include <QList>
#include <QObject>
#include <QUrl>

class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened.append(url); }
};
