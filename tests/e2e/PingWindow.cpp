// A stand-in for a window manager's check that a window is alive: sends the window named on the command
// line (an X window id) the _NET_WM_PING of the EWMH, count times one after the other, and prints how
// long each answer took in milliseconds, one a line. Exit 0 when every ping was answered within
// timeout milliseconds, 1 otherwise.
//   tolvane-test-ping WINDOW COUNT TIMEOUT_MS
#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;
using Clock = std::chrono::steady_clock;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Waits for the answer to the ping stamped stamp: the client sends it back to the root window.
bool AwaitAnswer(xcb_connection_t* connection, xcb_atom_t ping, xcb_window_t window, uint32_t stamp,
                 Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(connection)) {
      const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(raw, &std::free);
      if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) continue;
      const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(raw);
      if (message->data.data32[0] == ping && message->data.data32[1] == stamp &&
          message->data.data32[2] == window)
        return true;
    }
    if (xcb_connection_has_error(connection)) return false;
    pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
    poll(&descriptor, 1, 5);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
  const int count = std::atoi(argv[2]);
  const auto timeout = std::chrono::milliseconds(std::atoi(argv[3]));
  Connection connection(xcb_connect(nullptr, nullptr), &xcb_disconnect);
  if (xcb_connection_has_error(connection.get())) return 1;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection.get())).data->root;
  // The answers go to the root window; Qt sends them to whoever listens to the root's own structure.
  const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection.get(), root, XCB_CW_EVENT_MASK, &mask);
  const xcb_atom_t protocols = Atom(connection.get(), "WM_PROTOCOLS");
  const xcb_atom_t ping = Atom(connection.get(), "_NET_WM_PING");
  for (int i = 0; i < count; ++i) {
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = protocols;
    request.data.data32[0] = ping;
    request.data.data32[1] = static_cast<uint32_t>(1000 + i);  // the stamp that marks this ping's answer
    request.data.data32[2] = window;
    const Clock::time_point sent = Clock::now();
    xcb_send_event(connection.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(connection.get());
    if (!AwaitAnswer(connection.get(), ping, window, request.data.data32[1], sent + timeout)) {
      std::printf("no answer\n");
      return 1;
    }
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    std::fflush(stdout);
  }
  return 0;
}
