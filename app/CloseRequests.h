#pragma once
// The window manager's close request (WM_DELETE_WINDOW) to the main window while a modal window blocks
// it: Qt drops such a request, so during a run the title bar's close button would do nothing visible.
// Here the request reaches the window's own close, which refuses with its message while it is busy.
#include <QAbstractNativeEventFilter>
#include <memory>

class TmainFrm;

// Installs the watch in the running application for as long as the result lives (X11 only; elsewhere
// the result is empty).
std::unique_ptr<QAbstractNativeEventFilter> AnswerBlockedCloseRequests(TmainFrm* window);
