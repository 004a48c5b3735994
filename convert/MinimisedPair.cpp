#include "convert/MinimisedPair.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace {

constexpr const char* kWatcherName = "minimisedTogether";

// A child of the progress window while the pair is minimised; restoring removes it.
class PairWatcher : public QObject {
 public:
  PairWatcher(QWidget* progress, QWidget* main) : QObject(progress), progress_(progress), main_(main) {
    setObjectName(kWatcherName);
    progress->installEventFilter(this);
    if (main) main->installEventFilter(this);
  }

  void RestoreBoth() {
    if (restoring_) return;
    restoring_ = true;
    for (QWidget* window : {main_.data(), progress_.data()}) {
      if (!window) continue;
      window->removeEventFilter(this);
      window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
      window->show();
    }
    if (progress_) {
      progress_->raise();
      progress_->activateWindow();
    }
    deleteLater();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // The desktop restored one of the two (from its task bar, or a click on its icon).
    const auto* window = qobject_cast<QWidget*>(watched);
    const bool restored = window && (event->type() == QEvent::WindowStateChange ||
                                     (event->type() == QEvent::Show && event->spontaneous()));
    if (restored && !window->isMinimized() && window->isVisible()) RestoreBoth();
    return false;
  }

 private:
  QPointer<QWidget> progress_;
  QPointer<QWidget> main_;
  bool restoring_ = false;
};

PairWatcher* Watcher(QWidget* progress) {
  return progress->findChild<PairWatcher*>(kWatcherName, Qt::FindDirectChildrenOnly);
}

}  // namespace

void MinimiseTogether(QWidget* progress, QWidget* main) {
  if (!progress) return;
  if (PairWatcher* old = Watcher(progress)) delete old;
  progress->showMinimized();
  if (main) main->showMinimized();
  new PairWatcher(progress, main);  // owned by the progress window
}

bool RestoreMinimisedTogether(QWidget* progress) {
  PairWatcher* watcher = progress ? Watcher(progress) : nullptr;
  if (!watcher) return false;
  watcher->RestoreBoth();
  return true;
}
