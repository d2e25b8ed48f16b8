// Opening the display, interning atoms, the EWMH state and bounded waits for events.
#include "desktop/x11/connection.h"

#include <poll.h>

#include <algorithm>

namespace kestrova::desktop::x11 {

void Connection::EwmhWipe::operator()(xcb_ewmh_connection_t* e) const noexcept {
  xcb_ewmh_connection_wipe(e);
  delete e;
}

Connection::Connection(std::unique_ptr<xcb_connection_t, Disconnect> connection, xcb_screen_t* screen,
                       int screenNumber)
    : connection_(std::move(connection)), screen_(screen), screenNumber_(screenNumber) {}

Connection::~Connection() {
  // Requests still in the buffer (an activation, say) must reach the server.
  if (xcb_connection_has_error(get()) == 0) flush();
}

std::unique_ptr<Connection> Connection::open() {
  int screenNumber = 0;
  std::unique_ptr<xcb_connection_t, Disconnect> connection(xcb_connect(nullptr, &screenNumber));
  // xcb_connect never returns null, but a failed one carries an error state.
  if (!connection || xcb_connection_has_error(connection.get()) != 0) return nullptr;
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
  for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
  if (screens.rem == 0 || screens.data == nullptr) return nullptr;
  return std::unique_ptr<Connection>(new Connection(std::move(connection), screens.data, screenNumber));
}

std::vector<xcb_atom_t> Connection::internAtoms(std::initializer_list<std::string_view> names) {
  std::vector<xcb_intern_atom_cookie_t> cookies;
  cookies.reserve(names.size());
  for (auto name : names) {
    cookies.push_back(xcb_intern_atom(get(), 0, static_cast<std::uint16_t>(name.size()), name.data()));
  }
  std::vector<xcb_atom_t> atoms;
  atoms.reserve(names.size());
  for (auto cookie : cookies) {
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(get(), cookie, nullptr));
    atoms.push_back(reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE});
  }
  return atoms;
}

xcb_ewmh_connection_t& Connection::ewmh() {
  if (!ewmh_) {
    std::unique_ptr<xcb_ewmh_connection_t, EwmhWipe> ewmh(new xcb_ewmh_connection_t{});
    constexpr std::string_view gtkName = "_GTK_APPLICATION_ID";
    auto gtkCookie = xcb_intern_atom(get(), 0, gtkName.size(), gtkName.data());
    xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(get(), ewmh.get());
    // Takes ownership of the cookies. A failure leaves every atom none, so no
    // manager is ever found and no helper that indexes `screens` is reached.
    if (xcb_ewmh_init_atoms_replies(ewmh.get(), cookies, nullptr) == 0) {
      *ewmh = xcb_ewmh_connection_t{};
      ewmh->connection = get();
    }
    XcbReply<xcb_intern_atom_reply_t> gtk(xcb_intern_atom_reply(get(), gtkCookie, nullptr));
    if (gtk) gtkApplicationId_ = gtk->atom;
    ewmh_ = std::move(ewmh);
  }
  return *ewmh_;
}

bool Connection::hasWindowManager() {
  if (!hasWindowManager_) {
    auto& e = ewmh();
    xcb_window_t check = XCB_NONE;
    bool present = false;
    if (xcb_ewmh_get_supporting_wm_check_reply(&e, xcb_ewmh_get_supporting_wm_check(&e, root()), &check,
                                               nullptr) != 0 &&
        check != XCB_NONE) {
      // A manager that died leaves the root property behind; its window does not survive it.
      xcb_window_t self = XCB_NONE;
      present = xcb_ewmh_get_supporting_wm_check_reply(&e, xcb_ewmh_get_supporting_wm_check(&e, check), &self,
                                                       nullptr) != 0 &&
                self == check;
    }
    hasWindowManager_ = present;
  }
  return *hasWindowManager_;
}

xcb_window_t Connection::helperWindow() {
  if (helperWindow_ == XCB_NONE) {
    helperWindow_ = xcb_generate_id(get());
    const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    // Never mapped and destroyed with the connection.
    xcb_create_window(get(), XCB_COPY_FROM_PARENT, helperWindow_, root(), -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
  }
  return helperWindow_;
}

xcb_timestamp_t Connection::serverTime() {
  if (serverTime_) return *serverTime_;
  // The ICCCM way: an empty append changes nothing but yields a PropertyNotify
  // stamped with the server's time.
  const xcb_window_t window = helperWindow();
  xcb_change_property(get(), XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
  flush();
  const auto deadline = Clock::now() + std::chrono::seconds(1);
  while (auto event = waitForEvent(deadline)) {
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) continue;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
    if (notify->window == window && notify->atom == XCB_ATOM_WM_NAME) {
      serverTime_ = notify->time;
      return notify->time;
    }
  }
  return XCB_CURRENT_TIME;
}

XcbEvent Connection::waitForEvent(Clock::time_point deadline) {
  for (;;) {
    if (XcbEvent event{xcb_poll_for_event(get())}) return event;
    if (xcb_connection_has_error(get()) != 0) return nullptr;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return nullptr;
    pollfd socket{xcb_get_file_descriptor(get()), POLLIN, 0};
    ::poll(&socket, 1, static_cast<int>(std::min<long long>(left, 60'000)));
  }
}

}  // namespace kestrova::desktop::x11
