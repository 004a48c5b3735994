// A stand-in for a window manager's close button: sends the window named on the command line (an X
// window id) the WM_DELETE_WINDOW request of the ICCCM, the message a title bar's close button sends.
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
  const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
  Connection connection(xcb_connect(nullptr, nullptr), &xcb_disconnect);
  if (xcb_connection_has_error(connection.get())) return 1;
  xcb_client_message_event_t request{};
  request.response_type = XCB_CLIENT_MESSAGE;
  request.format = 32;
  request.window = window;
  request.type = Atom(connection.get(), "WM_PROTOCOLS");
  request.data.data32[0] = Atom(connection.get(), "WM_DELETE_WINDOW");
  request.data.data32[1] = XCB_CURRENT_TIME;
  const auto cookie = xcb_send_event_checked(connection.get(), 0, window, XCB_EVENT_MASK_NO_EVENT,
                                             reinterpret_cast<const char*>(&request));
  const std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(
      xcb_request_check(connection.get(), cookie), &std::free);
  return error ? 1 : 0;
}
