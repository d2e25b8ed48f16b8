// Test peer: creates, maps, focuses and destroys top-level windows as fast as
// the server takes them, so the tool meets windows that vanish mid-request.
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string_view>

int main() {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) return 1;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  constexpr std::string_view pidName = "_NET_WM_PID";
  xcb_intern_atom_reply_t* pidAtom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, pidName.size(), pidName.data()), nullptr);
  if (pidAtom == nullptr) return 1;
  const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
  constexpr char wmClass[] = "churn\0Churn";
  std::deque<xcb_window_t> alive;
  for (unsigned n = 0; xcb_connection_has_error(c) == 0; ++n) {
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<std::int16_t>(n % 400),
                      static_cast<std::int16_t>(n % 300), 120, 80, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                        wmClass);
    // Every other window names no process, so lookups also go through X-Resource.
    if (n % 2 == 0) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pidAtom->atom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    }
    xcb_map_window(c, window);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    alive.push_back(window);
    if (alive.size() > 3) {
      xcb_destroy_window(c, alive.front());
      alive.pop_front();
    }
    xcb_flush(c);
    // Errors (focusing a window not yet viewable) are expected; drop them.
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) std::free(event);
    usleep(2000);
  }
  std::free(pidAtom);
  xcb_disconnect(c);
  return 0;
}
