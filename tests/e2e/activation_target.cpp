// Test peer: an application of N top-level windows that, once armed (the test
// sets _KESTROVA_ARM on one of them) and then given the focus by activation,
// pulls the desktop from under the tool: destroys its windows, exits, or kills
// the X server (the pid given).
// Usage: activation_target <windows> destroy|exit|kill-server [server-pid]
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "support/xcb_atom.h"

namespace {

using kestrova::e2e::intern;

bool fromActivation(std::uint8_t mode, std::uint8_t detail) {
  // Focus that follows the pointer, or moves inside our own window, is nobody's activation.
  return mode == XCB_NOTIFY_MODE_NORMAL && detail != XCB_NOTIFY_DETAIL_POINTER &&
         detail != XCB_NOTIFY_DETAIL_INFERIOR;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const int count = std::atoi(argv[1]);
  const std::string_view action = argv[2];
  const pid_t server = argc > 3 ? static_cast<pid_t>(std::atoi(argv[3])) : -1;
  if (count < 1 || (action == "kill-server" && server <= 0)) return 2;

  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) return 1;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_atom_t pidAtom = intern(c, "_NET_WM_PID");
  const xcb_atom_t armAtom = intern(c, "_KESTROVA_ARM");
  if (pidAtom == XCB_ATOM_NONE || armAtom == XCB_ATOM_NONE) return 1;
  const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
  constexpr char wmClass[] = "target\0Target";
  const std::uint32_t events =
      XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  std::vector<xcb_window_t> windows;
  for (int i = 0; i < count; ++i) {
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<std::int16_t>(20 + 30 * i),
                      static_cast<std::int16_t>(20 + 30 * i), 200, 150, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_EVENT_MASK, &events);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                        wmClass);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pidAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    windows.push_back(window);
  }
  // A window manager still starting may drop a map request: ask again until every window shows.
  std::vector<xcb_window_t> unmapped = windows;
  for (int attempt = 0; attempt < 20 && !unmapped.empty(); ++attempt) {
    for (auto window : unmapped) xcb_map_window(c, window);
    xcb_flush(c);
    pollfd socket{xcb_get_file_descriptor(c), POLLIN, 0};
    while (!unmapped.empty() && poll(&socket, 1, 500) > 0) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
          const auto shown = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
          unmapped.erase(std::remove(unmapped.begin(), unmapped.end(), shown), unmapped.end());
        }
        std::free(event);
      }
      if (xcb_connection_has_error(c) != 0) return 1;
    }
  }

  bool armed = false;
  while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
    const auto type = event->response_type & 0x7F;
    if (type == XCB_PROPERTY_NOTIFY && reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == armAtom) {
      // Set by the test once another window has the focus; every focus
      // change before it (a manager mapping our windows) is now behind us.
      armed = true;
    } else if (type == XCB_FOCUS_IN && armed) {
      const auto* focus = reinterpret_cast<xcb_focus_in_event_t*>(event);
      if (fromActivation(focus->mode, focus->detail)) {
        if (action == "kill-server") kill(server, SIGKILL);
        if (action != "destroy") return 0;
        for (auto window : windows) xcb_destroy_window(c, window);
        armed = false;
      }
    }
    std::free(event);
    xcb_flush(c);
  }
  xcb_disconnect(c);
  return 0;
}
