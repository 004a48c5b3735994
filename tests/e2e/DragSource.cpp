// A stand-in for a file manager in the end-to-end tests: a small window at the top left of the screen
// that starts a real drag of the files named on its command line when the mouse is pressed on it.
// It prints "drop: copy" (or "drop: ignore") when the drag ends, then stays a few seconds so the
// target can still fetch the dropped data, and ends by itself.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

constexpr int kLingerMs = 5000;     // after the drop: the target reads the data from us
constexpr int kLifetimeMs = 60000;  // a test that never drags does not leave us behind

class DragSource : public QWidget {
 public:
  explicit DragSource(QList<QUrl> urls) : urls_(std::move(urls)) {
    setWindowTitle("Tolvane test drag source");
    setGeometry(0, 0, 120, 120);
    setStyleSheet("background: #3a6ea5;");
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || dragged_) return;
    dragged_ = true;
    auto* data = new QMimeData;
    data->setUrls(urls_);
    auto* drag = new QDrag(this);  // Qt owns the drag and its data once exec() has started
    drag->setMimeData(data);
    const Qt::DropAction action = drag->exec(Qt::CopyAction);
    std::printf("drop: %s\n", action == Qt::IgnoreAction ? "ignore" : "copy");
    std::fflush(stdout);
    QTimer::singleShot(kLingerMs, qApp, &QCoreApplication::quit);
  }

 private:
  QList<QUrl> urls_;
  bool dragged_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QList<QUrl> urls;
  for (const QString& path : QCoreApplication::arguments().mid(1)) urls << QUrl::fromLocalFile(path);
  DragSource window(urls);
  window.show();
  std::printf("ready\n");
  std::fflush(stdout);
  QTimer::singleShot(kLifetimeMs, &application, &QCoreApplication::quit);
  return QApplication::exec();
}
