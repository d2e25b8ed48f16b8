// Test peer: a CLIPBOARD owner that answers UTF8_STRING with an INCR transfer
// of N chunks ("chunk 0\n", ..., padded with dots to B bytes if given; N -1:
// without end), D milliseconds apart, and then ends the transfer, falls
// silent as a hung owner would, sends a chunk of a non-text type, or destroys
// its window (and with it the selection) mid-transfer. Or, with "grab", a
// client that grabs the server, says so on descriptor 3, and keeps the grab.
// Usage: incr_owner <chunks> <delay-ms> finish|stall|wrongtype|vanish|grab [chunk-bytes]
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "support/xcb_atom.h"

namespace {

using kestrova::e2e::intern;

void notify(xcb_connection_t* c, const xcb_selection_request_event_t& request, xcb_atom_t property) {
  xcb_selection_notify_event_t event{};
  event.response_type = XCB_SELECTION_NOTIFY;
  event.time = request.time;
  event.requestor = request.requestor;
  event.selection = request.selection;
  event.target = request.target;
  event.property = property;
  xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 2;
  const int chunks = std::atoi(argv[1]);
  const int delayMs = std::atoi(argv[2]);
  const std::string_view ending = argv[3];
  const std::size_t chunkBytes = argc == 5 ? std::strtoul(argv[4], nullptr, 10) : 0;

  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) return 1;
  if (ending == "grab") {
    xcb_grab_server(c);
    // Answered only once the grab is in place.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (write(3, "grabbed\n", 8) != 8) return 1;
    pause();
    return 0;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
  const xcb_atom_t utf8 = intern(c, "UTF8_STRING");
  const xcb_atom_t targets = intern(c, "TARGETS");
  const xcb_atom_t incr = intern(c, "INCR");
  const xcb_window_t window = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
  xcb_flush(c);

  xcb_window_t requestor = XCB_NONE;
  xcb_atom_t property = XCB_ATOM_NONE;
  int sent = 0;
  while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
    const auto type = event->response_type & 0x7F;
    if (type == XCB_SELECTION_REQUEST) {
      const auto& request = *reinterpret_cast<xcb_selection_request_event_t*>(event);
      if (request.target == targets) {
        const xcb_atom_t offered[] = {targets, utf8};
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, request.property, XCB_ATOM_ATOM, 32, 2,
                            offered);
        notify(c, request, request.property);
      } else if (request.target == utf8) {
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c, request.requestor, XCB_CW_EVENT_MASK, &events);
        const std::uint32_t size = static_cast<std::uint32_t>(chunks) * 8;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, request.property, incr, 32, 1, &size);
        notify(c, request, request.property);
        requestor = request.requestor;
        property = request.property;
        sent = 0;
      } else {
        notify(c, request, XCB_ATOM_NONE);
      }
    } else if (type == XCB_PROPERTY_NOTIFY) {
      const auto& change = *reinterpret_cast<xcb_property_notify_event_t*>(event);
      // The requestor deleting the property asks for the next chunk.
      if (change.window == requestor && change.atom == property && change.state == XCB_PROPERTY_DELETE) {
        if (sent < chunks || chunks < 0) {
          usleep(static_cast<useconds_t>(delayMs) * 1000);
          std::string chunk = "chunk " + std::to_string(sent++) + "\n";
          if (chunk.size() < chunkBytes) chunk.resize(chunkBytes, '.');
          xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, utf8, 8,
                              static_cast<std::uint32_t>(chunk.size()), chunk.data());
        } else if (ending == "finish") {
          xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, utf8, 8, 0, nullptr);
          requestor = XCB_NONE;
        } else if (ending == "wrongtype") {
          const std::uint32_t number = 42;
          xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &number);
          requestor = XCB_NONE;
        } else if (ending == "vanish") {
          xcb_destroy_window(c, window);
          requestor = XCB_NONE;
        }
      }
    }
    std::free(event);
    xcb_flush(c);
  }
  xcb_disconnect(c);
  return 0;
}
