// One lazily opened XCB connection and the few shared things every operation
// group needs from it: atoms, the EWMH state, a helper window, bounded waits.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace kestrova::desktop::x11 {

struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};
// Replies, errors and events from XCB are malloc'ed and owned by the caller.
template <class T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;
using XcbError = XcbReply<xcb_generic_error_t>;
using XcbEvent = XcbReply<xcb_generic_event_t>;

using Clock = std::chrono::steady_clock;

class Connection {
 public:
  // The display the environment names; null when none is reachable.
  static std::unique_ptr<Connection> open();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  xcb_connection_t* get() const { return connection_.get(); }
  xcb_screen_t& screen() const { return *screen_; }
  int screenNumber() const { return screenNumber_; }
  xcb_window_t root() const { return screen_->root; }

  // Sends every request before reading any reply: one round trip for all.
  std::vector<xcb_atom_t> internAtoms(std::initializer_list<std::string_view> names);
  // Interned on first use; only the commands that look at windows pay for it.
  xcb_ewmh_connection_t& ewmh();
  // Interned with the EWMH atoms, in the same round trip.
  xcb_atom_t gtkApplicationIdAtom() {
    ewmh();
    return gtkApplicationId_;
  }
  // Whether an EWMH window manager runs: its check window names itself.
  bool hasWindowManager();

  // An unmapped window of ours that hears its own property changes: the
  // requestor of selection transfers and the source of server timestamps.
  xcb_window_t helperWindow();
  // A real server time (window managers refuse or misorder requests stamped 0).
  xcb_timestamp_t serverTime();

  // The next event, or null once the deadline passes or the connection breaks.
  XcbEvent waitForEvent(Clock::time_point deadline);
  void flush() { xcb_flush(get()); }

 private:
  struct Disconnect {
    void operator()(xcb_connection_t* c) const noexcept { xcb_disconnect(c); }
  };
  struct EwmhWipe {
    void operator()(xcb_ewmh_connection_t* e) const noexcept;
  };

  Connection(std::unique_ptr<xcb_connection_t, Disconnect> connection, xcb_screen_t* screen, int screenNumber);

  std::unique_ptr<xcb_connection_t, Disconnect> connection_;
  xcb_screen_t* screen_;
  int screenNumber_;
  std::unique_ptr<xcb_ewmh_connection_t, EwmhWipe> ewmh_;
  xcb_atom_t gtkApplicationId_ = XCB_ATOM_NONE;
  std::optional<bool> hasWindowManager_;
  xcb_window_t helperWindow_ = XCB_NONE;
  std::optional<xcb_timestamp_t> serverTime_;
};

// The property's value as bytes, or empty when the window or property is gone.
template <class T>
std::vector<T> propertyValues(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != sizeof(T) * 8) return {};
  const auto* first = static_cast<const T*>(xcb_get_property_value(reply));
  return std::vector<T>(first, first + xcb_get_property_value_length(reply) / static_cast<int>(sizeof(T)));
}

}  // namespace kestrova::desktop::x11
