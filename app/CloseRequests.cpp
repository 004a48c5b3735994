#include "app/CloseRequests.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QByteArray>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/MainWindow.h"

namespace {

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
  const xcb_intern_atom_cookie_t cookie =
      xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

class BlockedCloseFilter : public QAbstractNativeEventFilter {
 public:
  BlockedCloseFilter(TmainFrm* window, xcb_atom_t protocols, xcb_atom_t deleteWindow)
      : window_(window), protocols_(protocols), deleteWindow_(deleteWindow) {}

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    if (eventType != "xcb_generic_event_t" || !window_) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return false;
    const auto* request = static_cast<const xcb_client_message_event_t*>(message);
    if (request->format != 32 || request->type != protocols_ || request->data.data32[0] != deleteWindow_ ||
        request->window != window_->winId())
      return false;
    // Not blocked, or blocked by a window of an idle program (the editor, a question): Qt's own way.
    if (!QApplication::activeModalWidget() || !window_->Busy()) return false;
    // Answered from the event loop: the refusal is a modal message of its own.
    QTimer::singleShot(0, window_, [window = window_] {
      if (window) window->close();
    });
    return true;
  }

 private:
  QPointer<TmainFrm> window_;
  xcb_atom_t protocols_;
  xcb_atom_t deleteWindow_;
};

}  // namespace

std::unique_ptr<QAbstractNativeEventFilter> AnswerBlockedCloseRequests(TmainFrm* window) {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return nullptr;
  xcb_connection_t* connection = x11->connection();
  const xcb_atom_t protocols = InternAtom(connection, "WM_PROTOCOLS");
  const xcb_atom_t deleteWindow = InternAtom(connection, "WM_DELETE_WINDOW");
  if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE) return nullptr;
  // Its destructor takes it out of the application again.
  auto filter = std::make_unique<BlockedCloseFilter>(window, protocols, deleteWindow);
  QCoreApplication::instance()->installNativeEventFilter(filter.get());
  return filter;
}
