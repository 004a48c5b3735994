#include "tests/support/ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "ui/msgbox.h"

namespace {
constexpr int kTickMs = 10;
}

QAbstractButton* FindButton(QWidget* window, const QString& caption) {
  if (!window) return nullptr;
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (button->text() == caption && button->isVisible() && button->isEnabled()) return button;
  }
  return nullptr;
}

void CloseAllModalWindows() {
  for (int guard = 0; guard < 32; ++guard) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    modal->close();
    QApplication::processEvents();
  }
}

ModalDriver::ModalDriver() {
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &ModalDriver::Tick);
}

ModalDriver::~ModalDriver() { timer_.stop(); }

ModalDriver& ModalDriver::Then(std::function<void(QWidget*)> act, const char* className) {
  steps_.push_back(Step{std::move(act), className ? QByteArray(className) : QByteArray(), 0});
  if (!timer_.isActive()) timer_.start();
  return *this;
}

ModalDriver& ModalDriver::Press(const QString& caption, const char* className) {
  return Then(
      [this, caption](QWidget* window) {
        QAbstractButton* button = FindButton(window, caption);
        if (!button) {
          failures << QString("no button \"%1\" in %2").arg(caption, window->metaObject()->className());
          window->close();
          return;
        }
        button->click();
      },
      className);
}

ModalDriver& ModalDriver::Answer(const QString& caption) {
  return Then(
      [this, caption](QWidget* window) {
        auto* box = static_cast<TmsgFrm*>(window);
        messages << box->Text();
        kinds << box->Kind();
        QAbstractButton* button = FindButton(box, caption);
        if (!button) {
          failures << QString("message \"%1\" has no button \"%2\"").arg(box->Text(), caption);
          box->close();
          return;
        }
        button->click();
      },
      "TmsgFrm");
}

ModalDriver& ModalDriver::CloseByTitleBar(const char* className) {
  return Then([](QWidget* window) { window->close(); }, className);
}

void ModalDriver::Tick() {
  if (steps_.empty()) {
    timer_.stop();
    return;
  }
  Step& step = steps_.front();
  QWidget* modal = QApplication::activeModalWidget();
  // A window that takes no input yet (busy reading) is waited for, as a user would wait.
  const bool matches = modal && modal->isVisible() && modal->isEnabled() &&
                       (step.className.isEmpty() || step.className == modal->metaObject()->className());
  if (!matches) {
    step.waitedMs += kTickMs;
    if (step.waitedMs >= stepTimeoutMs) {
      failures << QString("no %1 window appeared")
                      .arg(step.className.isEmpty() ? QString("modal") : QString(step.className));
      steps_.pop_front();
      // Whatever is open instead would block the test for ever.
      if (modal) modal->close();
    }
    return;
  }
  // Taken off the list and run after this tick has returned: an action may open a nested modal loop,
  // and Qt does not fire a timer again while its own handler is still running.
  auto act = std::move(step.act);
  steps_.pop_front();
  timer_.stop();
  QPointer<QWidget> target(modal);
  QTimer::singleShot(0, this, [this, act = std::move(act), target] {
    if (!steps_.empty()) timer_.start();
    if (target) act(target);
    if (!steps_.empty() && !timer_.isActive()) timer_.start();
  });
}
