// Clipboard reading: asks the owner for UTF8_STRING, text/plain;charset=utf-8,
// then STRING, and follows INCR transfers chunk by chunk. Every wait on the
// owner is bounded, since an owner may hang or die mid-transfer.
#include "desktop/x11/clipboard.h"

#include <algorithm>
#include <array>

#include "desktop/x11/selection_transfer.h"

namespace kestrova::desktop::x11 {
namespace {

using namespace std::chrono_literals;
constexpr auto patience = 2s;  // without progress; each INCR chunk counts as progress
// However it progresses, a read ends within these bounds, its memory let go:
// an owner may send chunks forever. Real transfers stay far inside them: 50 MB
// from xclip arrive in 0.7 s, from xsel (in 4000-byte chunks) in 3 s.
constexpr auto transferLimit = 20s;
constexpr std::size_t textLimit = std::size_t{128} << 20;

enum class Conversion { text, notText, failed };

class ClipboardReader {
 public:
  ClipboardReader(Connection& connection, xcb_atom_t clipboard, xcb_atom_t property, TransferTypes types)
      : connection_(connection), c_(connection.get()), clipboard_(clipboard), property_(property), types_(types),
        window_(connection.helperWindow()), end_(Clock::now() + transferLimit) {}

  void requestConversion(xcb_atom_t target) {
    // CurrentTime, as xclip and xsel ask: we own nothing whose time could be older.
    xcb_convert_selection(c_, window_, clipboard_, target, property_, XCB_CURRENT_TIME);
  }

  // Waits for the answer to the conversion already requested.
  Conversion finishConversion(std::string& text) {
    auto notify = awaitSelectionNotify();
    if (!notify) return Conversion::failed;
    if (notify->property == XCB_ATOM_NONE) return Conversion::notText;
    SelectionTransfer transfer(types_, textLimit);
    auto first = takeProperty();
    if (!first || first->bytes_after > 0) return Conversion::failed;
    transfer.acceptFirst(chunkOf(*first));
    while (transfer.state() == SelectionTransfer::State::incremental) {
      // Deleting the property (done by takeProperty) asks the owner for the next chunk.
      if (!awaitNewValue()) return Conversion::failed;
      auto chunk = takeProperty();
      if (!chunk || chunk->bytes_after > 0) return Conversion::failed;
      transfer.acceptChunk(chunkOf(*chunk));
    }
    if (transfer.state() == SelectionTransfer::State::interrupted) return Conversion::failed;
    if (transfer.state() != SelectionTransfer::State::complete) return Conversion::notText;
    text = transfer.takeText();
    return Conversion::text;
  }

 private:
  XcbReply<xcb_selection_notify_event_t> awaitSelectionNotify() {
    connection_.flush();
    while (auto event = connection_.waitForEvent(nextDeadline())) {
      if ((event->response_type & 0x7F) != XCB_SELECTION_NOTIFY) continue;
      auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event.get());
      if (notify->requestor != window_ || notify->selection != clipboard_) continue;
      event.release();
      return XcbReply<xcb_selection_notify_event_t>(notify);
    }
    return nullptr;
  }

  bool awaitNewValue() {
    connection_.flush();
    while (auto event = connection_.waitForEvent(nextDeadline())) {
      if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) continue;
      const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
      if (notify->window == window_ && notify->atom == property_ && notify->state == XCB_PROPERTY_NEW_VALUE) {
        return true;
      }
    }
    return false;
  }

  Clock::time_point nextDeadline() const { return std::min(Clock::now() + patience, end_); }

  // Deleted as it is read. Never more than the limit: what is left over
  // (bytes_after) marks a text too large.
  XcbReply<xcb_get_property_reply_t> takeProperty() {
    constexpr std::uint32_t units = textLimit / 4 + 1;  // in 32-bit units
    return connection_.reply<xcb_get_property_reply_t>(
        xcb_get_property(c_, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, units));
  }

  static PropertyChunk chunkOf(const xcb_get_property_reply_t& reply) {
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(&reply));
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(&reply)) * (reply.format / 8);
    return PropertyChunk{reply.type, reply.format, std::string_view(bytes, length)};
  }

  Connection& connection_;
  xcb_connection_t* c_;
  xcb_atom_t clipboard_;
  xcb_atom_t property_;
  TransferTypes types_;
  xcb_window_t window_;
  Clock::time_point end_;
};

}  // namespace

PasteboardRead readClipboard(Connection& connection) {
  const auto atoms = connection.internAtoms(
      {"CLIPBOARD", "UTF8_STRING", "text/plain;charset=utf-8", "INCR", "_KESTROVA_CLIPBOARD"});
  for (auto atom : atoms) {
    if (atom == XCB_ATOM_NONE) return PasteboardRead::failed();
  }
  const TransferTypes types{atoms[3], atoms[1], atoms[2], XCB_ATOM_STRING};
  ClipboardReader reader(connection, atoms[0], atoms[4], types);
  xcb_connection_t* c = connection.get();

  // The owner query and the first conversion share one round trip.
  auto ownerCookie = xcb_get_selection_owner(c, atoms[0]);
  const std::array<xcb_atom_t, 3> targets{atoms[1], atoms[2], XCB_ATOM_STRING};
  reader.requestConversion(targets[0]);
  auto owner = connection.reply<xcb_get_selection_owner_reply_t>(ownerCookie);
  if (!owner) return PasteboardRead::failed();
  if (owner->owner == XCB_NONE) return PasteboardRead::noText();

  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (i > 0) reader.requestConversion(targets[i]);
    std::string text;
    switch (reader.finishConversion(text)) {
      case Conversion::text: return PasteboardRead::withText(std::move(text));
      case Conversion::failed: return PasteboardRead::failed();
      case Conversion::notText: break;
    }
  }
  return PasteboardRead::noText();
}

}  // namespace kestrova::desktop::x11
