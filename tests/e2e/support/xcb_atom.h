// For the XCB test peers: an atom by name, in one round trip, none on failure.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace kestrova::e2e {

inline xcb_atom_t intern(xcb_connection_t* c, std::string_view name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

}  // namespace kestrova::e2e
