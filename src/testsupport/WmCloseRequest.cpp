// sendrix-wm-close WINDOW: asks an X window to close as a window manager's
// close button does, by the WM_DELETE_WINDOW client message (ICCCM 4.2.8.1).
// A manager sends it only to a window that lists WM_DELETE_WINDOW in its
// WM_PROTOCOLS; any other window it would kill. So this helper fails (exit
// 1) when the window does not list it, and sends nothing then. The test
// servers have no window manager, hence this helper. WINDOW is a decimal or
// 0x hex window ID, as xdotool prints it. Test support only.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, std::strlen(name), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
      xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

bool ListsProtocol(xcb_connection_t* c, xcb_window_t window, xcb_atom_t protocols,
                   xcb_atom_t wanted) {
  xcb_get_property_cookie_t cookie =
      xcb_get_property(c, 0, window, protocols, XCB_ATOM_ATOM, 0, 64);
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
      xcb_get_property_reply(c, cookie, nullptr), &std::free);
  if (!reply || reply->format != 32)
    return false;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  for (int i = 0; i < count; ++i) {
    if (atoms[i] == wanted)
      return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sendrix-wm-close WINDOW\n");
    return 2;
  }
  const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "sendrix-wm-close: cannot open the display\n");
    xcb_disconnect(c);
    return 1;
  }
  const xcb_atom_t protocols = Atom(c, "WM_PROTOCOLS");
  const xcb_atom_t deleteWindow = Atom(c, "WM_DELETE_WINDOW");
  int status = 0;
  if (!ListsProtocol(c, window, protocols, deleteWindow)) {
    std::fprintf(stderr, "sendrix-wm-close: window %s does not take WM_DELETE_WINDOW\n", argv[1]);
    status = 1;
  } else {
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = protocols;
    event.data.data32[0] = deleteWindow;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    // A round trip: the server has handled the request before this client
    // goes away (requests still queued at a disconnect may be dropped).
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  }
  xcb_disconnect(c);
  return status;
}
