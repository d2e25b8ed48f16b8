// One lazily opened XCB connection and the few shared things every operation
// group needs from it: atoms, the EWMH state, a helper window, bounded waits.
// Every reply is awaited through reply(), sync() or check(): a server that
// stops answering ends the wait, never hangs the run.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/desktop.h"

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
  // How long the server may stay silent while we wait for it. Bytes arriving
  // count as an answer, so a large image on a slow link takes what it needs.
  static constexpr std::chrono::seconds patience{3};

  // The display the environment names; null, with `why` filled, when it cannot be opened.
  static std::unique_ptr<Connection> open(Unreachable& why);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  xcb_connection_t* get() const { return connection_.get(); }
  xcb_screen_t& screen() const { return *screen_; }
  int screenNumber() const { return screenNumber_; }
  xcb_window_t root() const { return screen_->root; }

  // The reply to a request, or null: an X error, a broken connection, or no
  // answer within the patience. After the first unanswered wait the
  // connection is given up, so every later one ends at once.
  template <class Reply, class Cookie>
  XcbReply<Reply> reply(Cookie cookie) {
    return XcbReply<Reply>(static_cast<Reply*>(awaitReply(cookie.sequence)));
  }
  // Waits until every request sent so far has been answered, so that library
  // calls that would block on those answers return at once. False when the
  // server did not answer.
  bool sync();
  // Whether a checked request without a reply succeeded; false on an X
  // error or when the server did not answer.
  bool succeeded(xcb_void_cookie_t cookie);
  // The extension's data, asked in a bounded wait; null when the server did not answer.
  const xcb_query_extension_reply_t* extension(xcb_extension_t& extension);

  // Once a wait found the server silent or the connection broken, why.
  std::optional<Unreachable> stoppedAnswering() const;

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

  Connection(std::unique_ptr<xcb_connection_t, Disconnect> connection, xcb_screen_t* screen, int screenNumber,
             std::string display);

  void* awaitReply(unsigned int sequence);
  void giveUp();

  std::unique_ptr<xcb_connection_t, Disconnect> connection_;
  std::string display_;
  bool silent_ = false;
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
