// Window tree queries. A window may vanish between any two requests: its
// replies are then null and it simply drops out.
#include "desktop/x11/windows.h"

#include <xcb/res.h>
#include <xcb/xcb_icccm.h>

#include "desktop/x11/selection_transfer.h"
#include "text/utf8.h"

namespace kestrova::desktop::x11 {
namespace {

constexpr std::uint32_t wholeProperty = 0x1FFFFFFF;  // in 32-bit units

XcbReply<xcb_get_property_reply_t> propertyReply(Connection& connection, xcb_get_property_cookie_t cookie) {
  return connection.reply<xcb_get_property_reply_t>(cookie);
}

xcb_get_property_cookie_t requestProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                          xcb_atom_t type) {
  return xcb_get_property(c, 0, window, property, type, 0, wholeProperty);
}

// WM_CLASS is an ICCCM STRING, Latin-1. Many programs put their UTF-8 name
// there all the same; bytes that form valid UTF-8 are taken as such, since
// Latin-1 text almost never does.
std::string stringText(const std::string& bytes) {
  return repairUtf8(bytes) == bytes ? bytes : latin1ToUtf8(bytes);
}

std::optional<xcb_window_t> firstWindow(const xcb_get_property_reply_t* reply) {
  auto values = propertyValues<std::uint32_t>(reply);
  if (values.empty() || values.front() == XCB_NONE) return std::nullopt;
  return values.front();
}

// Where no manager reparents, the top-level window is the client; a manager
// without EWMH may have framed it, so look one level down for WM_CLASS.
std::optional<xcb_window_t> clientWithin(Connection& connection, xcb_window_t topLevel) {
  xcb_connection_t* c = connection.get();
  if (propertyValues<char>(propertyReply(connection, xcb_icccm_get_wm_class(c, topLevel)).get()).size() > 0) {
    return topLevel;
  }
  auto tree = connection.reply<xcb_query_tree_reply_t>(xcb_query_tree(c, topLevel));
  if (!tree) return std::nullopt;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  std::vector<xcb_get_property_cookie_t> cookies;
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    cookies.push_back(xcb_icccm_get_wm_class(c, children[i]));
  }
  std::optional<xcb_window_t> client;
  for (std::size_t i = 0; i < cookies.size(); ++i) {
    auto reply = propertyReply(connection, cookies[i]);
    if (!client && !propertyValues<char>(reply.get()).empty()) client = children[i];
  }
  return client ? client : topLevel;
}

std::optional<xcb_window_t> focusedTopLevel(Connection& connection) {
  xcb_connection_t* c = connection.get();
  auto focus = connection.reply<xcb_get_input_focus_reply_t>(xcb_get_input_focus(c));
  if (!focus) return std::nullopt;
  xcb_window_t window = focus->focus;
  if (window == XCB_INPUT_FOCUS_POINTER_ROOT) {
    // Keyboard input goes to whatever lies under the pointer.
    auto pointer = connection.reply<xcb_query_pointer_reply_t>(xcb_query_pointer(c, connection.root()));
    window = pointer ? pointer->child : XCB_NONE;
  }
  // Climb to the child of the root; the depth bound only guards a tree that changes under us.
  for (int depth = 0; depth < 64 && window != XCB_NONE && window != connection.root(); ++depth) {
    auto tree = connection.reply<xcb_query_tree_reply_t>(xcb_query_tree(c, window));
    if (!tree) return std::nullopt;
    if (tree->parent == connection.root() || tree->parent == XCB_NONE) return clientWithin(connection, window);
    window = tree->parent;
  }
  return std::nullopt;
}

}  // namespace

std::optional<xcb_window_t> activeClient(Connection& connection) {
  auto& ewmh = connection.ewmh();
  xcb_connection_t* c = connection.get();
  // Asked before the manager check, so both answers come in one round trip.
  auto active = requestProperty(c, connection.root(), ewmh._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW);
  if (!connection.hasWindowManager()) {
    xcb_discard_reply(c, active.sequence);
    return focusedTopLevel(connection);
  }
  return firstWindow(propertyReply(connection, active).get());
}

std::vector<xcb_window_t> topLevelClients(Connection& connection) {
  xcb_connection_t* c = connection.get();
  if (connection.hasWindowManager()) {
    auto& ewmh = connection.ewmh();
    auto stackingCookie = requestProperty(c, connection.root(), ewmh._NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW);
    auto listCookie = requestProperty(c, connection.root(), ewmh._NET_CLIENT_LIST, XCB_ATOM_WINDOW);
    auto stacking = propertyValues<std::uint32_t>(propertyReply(connection, stackingCookie).get());
    auto list = propertyValues<std::uint32_t>(propertyReply(connection, listCookie).get());
    return stacking.empty() ? list : stacking;
  }
  // Without a manager, the root's mapped children are the clients, in stacking order.
  auto tree = connection.reply<xcb_query_tree_reply_t>(xcb_query_tree(c, connection.root()));
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  std::vector<xcb_get_window_attributes_cookie_t> cookies;
  for (int i = 0; i < count; ++i) cookies.push_back(xcb_get_window_attributes(c, children[i]));
  std::vector<xcb_window_t> clients;
  for (int i = 0; i < count; ++i) {
    auto attributes = connection.reply<xcb_get_window_attributes_reply_t>(cookies[i]);
    if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && attributes->override_redirect == 0) {
      clients.push_back(children[i]);
    }
  }
  return clients;
}

std::vector<std::optional<std::uint32_t>> processIds(Connection& connection, const std::vector<xcb_window_t>& windows) {
  xcb_connection_t* c = connection.get();
  auto& ewmh = connection.ewmh();
  const auto* res = connection.extension(xcb_res_id);
  const bool haveRes = res != nullptr && res->present != 0;
  // Both questions go out for every window before any answer is read: one round trip.
  std::vector<xcb_get_property_cookie_t> pidCookies;
  std::vector<xcb_res_query_client_ids_cookie_t> resCookies;
  for (auto window : windows) {
    pidCookies.push_back(requestProperty(c, window, ewmh._NET_WM_PID, XCB_ATOM_CARDINAL));
    if (haveRes) {
      const xcb_res_client_id_spec_t pidOfWindow{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
      resCookies.push_back(xcb_res_query_client_ids(c, 1, &pidOfWindow));
    }
  }
  std::vector<std::optional<std::uint32_t>> pids;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    std::optional<std::uint32_t> pid;
    auto fromProperty = propertyValues<std::uint32_t>(propertyReply(connection, pidCookies[i]).get());
    if (!fromProperty.empty()) pid = fromProperty.front();
    if (haveRes) {
      auto ids = connection.reply<xcb_res_query_client_ids_reply_t>(resCookies[i]);
      for (auto it = ids ? xcb_res_query_client_ids_ids_iterator(ids.get()) : xcb_res_client_id_value_iterator_t{};
           !pid && it.rem > 0; xcb_res_client_id_value_next(&it)) {
        const auto& [clientId, length] = *it.data;
        if ((clientId.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 && length == 4) {
          pid = *xcb_res_client_id_value_value(it.data);
        }
      }
    }
    pids.push_back(pid);
  }
  return pids;
}

std::vector<xcb_window_t> windowsOfProcess(Connection& connection, std::int32_t pid) {
  // X stores process ids as unsigned 32-bit values: no window belongs to a
  // negative one, though 4294967295 looks like -1 when read as signed.
  if (pid < 0) return {};
  const auto clients = topLevelClients(connection);
  const auto pids = processIds(connection, clients);
  std::vector<xcb_window_t> owned;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    if (pids[i] == static_cast<std::uint32_t>(pid)) owned.push_back(clients[i]);
  }
  return owned;
}

WindowIdentity identityOf(Connection& connection, xcb_window_t window) {
  xcb_connection_t* c = connection.get();
  const xcb_atom_t gtkAtom = connection.gtkApplicationIdAtom();
  auto classCookie = xcb_icccm_get_wm_class(c, window);
  auto gtkCookie = requestProperty(c, window, gtkAtom, XCB_GET_PROPERTY_TYPE_ANY);

  WindowIdentity identity;
  // Two NUL-terminated strings, instance then class; tolerate a missing final NUL.
  const auto wmClass = propertyValues<char>(propertyReply(connection, classCookie).get());
  if (!wmClass.empty()) {
    const std::string value(wmClass.begin(), wmClass.end());
    const auto split = value.find('\0');
    identity.instance = stringText(value.substr(0, split));
    if (split != std::string::npos) {
      const auto end = value.find('\0', split + 1);
      identity.wmClass = stringText(value.substr(split + 1, end == std::string::npos ? end : end - split - 1));
    }
  }
  const auto gtk = propertyValues<char>(propertyReply(connection, gtkCookie).get());
  if (!gtk.empty() && gtkAtom != XCB_ATOM_NONE) identity.gtkApplicationId = std::string(gtk.begin(), gtk.end());
  return identity;
}

}  // namespace kestrova::desktop::x11
