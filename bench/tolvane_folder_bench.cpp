// tolvane-folder-bench FOLDER (or FILE...): the main window on a real X display (Xvfb) is given FOLDER
// as a drop gives it (AddDroppedFiles), the editor of the first file is confirmed and the same-settings
// question answered yes, as a user would; then a run over every task is started, watched for a few seconds
// and cancelled. Throughout, a thread of its own pings the main window through the X server
// (_NET_WM_PING, the window manager's "is it still answering?") every 10 ms and times each answer.
// Prints the adding time, the number of tasks, the ping answer times, resident memory, and the run's
// start, progress and cancel.
#include <sys/resource.h>
#include <xcb/xcb.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/AddSummary.h"
#include "app/MainWindow.h"
#include "convert/ElidedLabel.h"
#include "convert/prg.h"
#include "core/Profile.h"
#include "core/Settings.h"
#include "core/TaskList.h"
#include "ui/add.h"
#include "ui/lang.h"
#include "ui/msgbox.h"

namespace {

using Clock = std::chrono::steady_clock;
using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Pings one window until stopped; each answer time goes into the list of the phase then current.
class Pinger {
 public:
  explicit Pinger(xcb_window_t window) : window_(window), thread_([this] { Run(); }) {}
  ~Pinger() {
    stop_ = true;
    thread_.join();
  }
  void SetPhase(int phase) { phase_ = phase; }
  std::vector<double> Times(int phase) {
    std::lock_guard<std::mutex> lock(mutex_);
    return times_[phase];
  }
  int Unanswered() const { return unanswered_; }

 private:
  void Run() {
    Connection connection(xcb_connect(nullptr, nullptr), &xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) return;
    xcb_connection_t* c = connection.get();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // The answer goes to the root window for the window manager's eyes, with the root's structure (or,
    // in other Qt versions, substructure) notification mask: a client that selects those sees it too.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = Atom(c, "WM_PROTOCOLS"), ping = Atom(c, "_NET_WM_PING");
    uint32_t serial = 0;
    const int fd = xcb_get_file_descriptor(c);
    while (!stop_) {
      xcb_client_message_event_t request{};
      request.response_type = XCB_CLIENT_MESSAGE;
      request.format = 32;
      request.window = window_;
      request.type = protocols;
      request.data.data32[0] = ping;
      request.data.data32[1] = ++serial;
      request.data.data32[2] = window_;
      const auto sent = Clock::now();
      const int phase = phase_;
      xcb_send_event(c, 0, window_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&request));
      xcb_flush(c);
      bool answered = false;
      while (!answered && !stop_ && Clock::now() - sent < std::chrono::seconds(30)) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(c), &std::free);
        if (!event) {
          fd_set read;
          FD_ZERO(&read);
          FD_SET(fd, &read);
          timeval wait{0, 20000};
          select(fd + 1, &read, nullptr, nullptr, &wait);
          continue;
        }
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
        const auto* answer = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        answered = answer->data.data32[0] == ping && answer->data.data32[1] == serial;
      }
      if (!answered) {
        ++unanswered_;
        continue;
      }
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
      {
        std::lock_guard<std::mutex> lock(mutex_);
        times_[phase].push_back(ms);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  const xcb_window_t window_;
  std::atomic<bool> stop_{false};
  std::atomic<int> phase_{0};
  std::atomic<int> unanswered_{0};
  std::mutex mutex_;
  std::vector<double> times_[3];
  std::thread thread_;
};

double ResidentMb(const char* field) {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith(field))
      return line.mid(int(std::strlen(field))).trimmed().split(' ')[0].toDouble() / 1024;
  return 0;
}

void PrintTimes(const char* phase, std::vector<double> times) {
  if (times.empty()) {
    std::printf("%s_pings 0\n", phase);
    return;
  }
  std::sort(times.begin(), times.end());
  std::printf("%s_pings %zu\n%s_ping_median_ms %.2f\n%s_ping_p99_ms %.2f\n%s_ping_worst_ms %.2f\n", phase,
              times.size(), phase, times[times.size() / 2], phase, times[times.size() * 99 / 100], phase,
              times.back());
}

// Runs the event loop until done() holds, or for at most limitMs.
bool RunUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (!done()) {
    if (elapsed.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

QAbstractButton* Button(QWidget* window, const char* caption) {
  for (auto* button : window->findChildren<QAbstractButton*>())
    if (button->isVisible() && button->isEnabled() && button->text() == caption) return button;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tolvane-folder-bench FOLDER|FILE...   (on an X display: DISPLAY set)\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  SetProgramDir(QCoreApplication::applicationFilePath().toStdString());
  AssignProductProfile();
  FillBitrateTable();
  LoadSettings();
  SetApplicationTitle();
  tips = 10000;
  int code = 0;
  try {
    TmainFrm main;
    TaddFrm editor;
    TprgFrm progress;
    progress.SetMainWindow(&main);
    TmsgFrm messages;
    main.show();
    RunUntil([&] { return main.isVisible(); }, 10000);
    RunUntil([] { return false; }, 300);  // mapped and drawn
    Pinger pinger(static_cast<xcb_window_t>(main.winId()));

    // The user's answers: the first file's editor confirmed as it is, yes to the same settings, OK
    // to a summary or a message; yes to the cancel question and no to opening the output folder.
    QTimer answers;
    QObject::connect(&answers, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || !modal->isVisible()) return;
      if (auto* form = qobject_cast<TaddFrm*>(modal)) {
        for (int i = 0; i < 3; ++i) form->nextBtn->click();
      } else if (auto* box = qobject_cast<TmsgFrm*>(modal)) {
        // No to opening the output folder; yes to a question; OK to the message of a file told by itself.
        const bool endOfRun = box->Text().contains(StrAskOpenFolder);
        QAbstractButton* button = Button(box, endOfRun ? StrNo : StrYes);
        if (!button) button = Button(box, StrOK);
        if (button) button->click();
      } else if (auto* summary = qobject_cast<TAddSummaryFrm*>(modal)) {
        std::printf("summary %s\n", summary->Text().split('\n').first().toStdString().c_str());
        summary->okBtn->click();
      }
    });
    answers.start(20);

    // Adding.
    pinger.SetPhase(0);
    const auto added = Clock::now();
    // The batch runs inside the event loop (and its own waits): a timer sees it start.
    bool sawAdding = false;
    QTimer addWatch;
    QObject::connect(&addWatch, &QTimer::timeout, [&] { sawAdding = sawAdding || main.IsAddingFiles(); });
    addWatch.start(5);
    QStringList dropped;
    for (int i = 1; i < argc; ++i) dropped << QString::fromLocal8Bit(argv[i]);
    main.AddDroppedFiles(dropped);
    RunUntil([&] { return sawAdding && !main.IsAddingFiles() && !QApplication::activeModalWidget(); },
             600000);
    addWatch.stop();
    const double addSeconds = std::chrono::duration<double>(Clock::now() - added).count();
    std::printf("tasks %zu\nadd_seconds %.2f\n", Tasks.size(), addSeconds);
    std::printf("resident_after_adding_mb %.1f\n", ResidentMb("VmRSS:"));
    PrintTimes("adding", pinger.Times(0));

    // The run: started, watched for three seconds, cancelled. The run has its own modal loop, so the
    // watching is done by timers, which fire inside it.
    pinger.SetPhase(1);
    const auto started = Clock::now();
    auto cancelled = started;
    double firstTask = -1, cancelToClosed = -1;
    bool runEnded = false;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (firstTask >= 0 || !progress.isVisible() || progress.fileLabel->text().isEmpty()) return;
      firstTask = std::chrono::duration<double>(Clock::now() - started).count();
      watch.stop();
      QTimer::singleShot(3000, &progress, [&] {
        std::printf(
            "run_after_3s_file_line \"%s\"\nrun_after_3s_total_percent %d\n"
            "run_after_3s_time_line \"%s\"\nrun_resident_mb %.1f\n",
            progress.fileLabel->text().toStdString().c_str(), progress.totalPrgBar->value(),
            progress.timeLabel->text().toStdString().c_str(), ResidentMb("VmRSS:"));
        cancelled = Clock::now();
        progress.cancelBtn->click();
      });
    });
    watch.start();
    QTimer::singleShot(0, &main, [&] {
      main.startBtn->click();  // returns when the run's window has closed
      cancelToClosed = std::chrono::duration<double>(Clock::now() - cancelled).count();
      runEnded = true;
    });
    RunUntil([&] { return runEnded; }, 600000);
    std::printf("run_first_task_seconds %.2f\nrun_cancel_to_closed_seconds %.2f\n", firstTask,
                cancelToClosed);
    std::printf("tasks_after_run %zu\n", Tasks.size());
    PrintTimes("run", pinger.Times(1));
    std::printf("unanswered_pings %d\n", pinger.Unanswered());
    std::printf("peak_resident_mb %.1f\n", ResidentMb("VmHWM:"));
    answers.stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    code = 1;
  }
  FreeAllTasks();
  return code;
}
