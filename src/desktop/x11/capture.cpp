// Display capture: finds the main display's rectangle through RandR and reads
// it through MIT-SHM, or with a plain GetImage where shared memory fails.
#include "desktop/x11/capture.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/randr.h>
#include <xcb/shm.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "desktop/raster_image.h"
#include "desktop/x11/pixel_layout.h"

namespace kestrova::desktop::x11 {
namespace {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// RandR 1.5 folds outputs (and monitors the user defined) into monitors, one marked primary.
std::optional<Rect> primaryMonitor(xcb_connection_t* c, xcb_window_t root) {
  XcbReply<xcb_randr_get_monitors_reply_t> monitors(
      xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
  if (!monitors) return std::nullopt;
  std::optional<Rect> first;
  for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
       xcb_randr_monitor_info_next(&it)) {
    const Rect rect{it.data->x, it.data->y, it.data->width, it.data->height};
    if (it.data->primary != 0) return rect;
    if (!first) first = rect;
  }
  return first;
}

// Before RandR 1.5: the primary output's CRTC, else the first output that has one.
std::optional<Rect> primaryOutput(xcb_connection_t* c, xcb_window_t root) {
  auto primaryCookie = xcb_randr_get_output_primary(c, root);
  auto resourcesCookie = xcb_randr_get_screen_resources_current(c, root);
  XcbReply<xcb_randr_get_output_primary_reply_t> primary(xcb_randr_get_output_primary_reply(c, primaryCookie, nullptr));
  XcbReply<xcb_randr_get_screen_resources_current_reply_t> resources(
      xcb_randr_get_screen_resources_current_reply(c, resourcesCookie, nullptr));
  if (!resources) return std::nullopt;
  std::vector<xcb_randr_output_t> outputs;
  if (primary && primary->output != XCB_NONE) outputs.push_back(primary->output);
  const auto* listed = xcb_randr_get_screen_resources_current_outputs(resources.get());
  outputs.insert(outputs.end(), listed, listed + xcb_randr_get_screen_resources_current_outputs_length(resources.get()));

  std::vector<xcb_randr_get_output_info_cookie_t> cookies;
  for (auto output : outputs) cookies.push_back(xcb_randr_get_output_info(c, output, resources->config_timestamp));
  xcb_randr_crtc_t crtc = XCB_NONE;
  for (auto cookie : cookies) {
    XcbReply<xcb_randr_get_output_info_reply_t> info(xcb_randr_get_output_info_reply(c, cookie, nullptr));
    if (crtc == XCB_NONE && info && info->crtc != XCB_NONE) crtc = info->crtc;
  }
  if (crtc == XCB_NONE) return std::nullopt;
  XcbReply<xcb_randr_get_crtc_info_reply_t> info(
      xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, crtc, resources->config_timestamp), nullptr));
  if (!info || info->width == 0 || info->height == 0) return std::nullopt;
  return Rect{info->x, info->y, info->width, info->height};
}

Rect mainDisplay(Connection& connection) {
  xcb_connection_t* c = connection.get();
  const Rect whole{0, 0, connection.screen().width_in_pixels, connection.screen().height_in_pixels};
  std::optional<Rect> found;
  const auto* randr = xcb_get_extension_data(c, &xcb_randr_id);
  if (randr != nullptr && randr->present != 0) {
    XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr));
    if (version && (version->major_version > 1 || version->minor_version >= 5)) {
      found = primaryMonitor(c, connection.root());
    } else if (version && version->minor_version >= 3) {
      found = primaryOutput(c, connection.root());
    }
  }
  if (!found) return whole;
  // A monitor may reach past the root window while the screen is being resized.
  const int x = std::clamp(found->x, 0, whole.width);
  const int y = std::clamp(found->y, 0, whole.height);
  return Rect{x, y, std::clamp(found->width, 0, whole.width - x), std::clamp(found->height, 0, whole.height - y)};
}

std::optional<PixelLayout> rootPixelLayout(Connection& connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection.get());
  const xcb_screen_t& screen = connection.screen();
  PixelLayout layout;
  layout.mostSignificantFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
  bool formatFound = false;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it)) {
    if (it.data->depth != screen.root_depth) continue;
    layout.bitsPerPixel = it.data->bits_per_pixel;
    layout.scanlinePad = it.data->scanline_pad;
    formatFound = true;
  }
  for (auto depths = xcb_screen_allowed_depths_iterator(&screen); depths.rem > 0; xcb_depth_next(&depths)) {
    for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0; xcb_visualtype_next(&visuals)) {
      if (visuals.data->visual_id != screen.root_visual) continue;
      const auto kind = visuals.data->_class;
      if (!formatFound || (kind != XCB_VISUAL_CLASS_TRUE_COLOR && kind != XCB_VISUAL_CLASS_DIRECT_COLOR)) {
        return std::nullopt;
      }
      layout.redMask = visuals.data->red_mask;
      layout.greenMask = visuals.data->green_mask;
      layout.blueMask = visuals.data->blue_mask;
      return layout;
    }
  }
  return std::nullopt;
}

// A System V segment, removed on every path; marked for removal as soon as the
// server holds it, so not even a crash leaves it behind.
class SharedSegment {
 public:
  explicit SharedSegment(std::size_t size) : id_(shmget(IPC_PRIVATE, size, IPC_CREAT | 0600)) {
    if (id_ < 0) return;
    void* address = shmat(id_, nullptr, SHM_RDONLY);
    if (address != reinterpret_cast<void*>(-1)) address_ = static_cast<const std::uint8_t*>(address);
  }
  ~SharedSegment() {
    if (address_ != nullptr) shmdt(address_);
    if (id_ >= 0) shmctl(id_, IPC_RMID, nullptr);
  }
  SharedSegment(const SharedSegment&) = delete;
  SharedSegment& operator=(const SharedSegment&) = delete;

  bool usable() const { return address_ != nullptr; }
  int id() const { return id_; }
  const std::uint8_t* data() const { return address_; }
  void markForRemoval() {
    shmctl(id_, IPC_RMID, nullptr);
    id_ = -1;
  }

 private:
  int id_;
  const std::uint8_t* address_ = nullptr;
};

// The server's view of a segment, detached on every path.
class ServerAttachment {
 public:
  ServerAttachment(xcb_connection_t* c, const SharedSegment& segment) : c_(c), id_(xcb_generate_id(c)) {
    // Checked: on a remote display or in another IPC namespace this is where SHM
    // fails. Writable, since the server writes the image into it.
    XcbError error(xcb_request_check(c, xcb_shm_attach_checked(c, id_, static_cast<std::uint32_t>(segment.id()), 0)));
    attached_ = !error;
  }
  ~ServerAttachment() {
    if (attached_) xcb_shm_detach(c_, id_);
  }
  ServerAttachment(const ServerAttachment&) = delete;
  ServerAttachment& operator=(const ServerAttachment&) = delete;

  bool attached() const { return attached_; }
  xcb_shm_seg_t id() const { return id_; }

 private:
  xcb_connection_t* c_;
  xcb_shm_seg_t id_;
  bool attached_ = false;
};

// Rows are fetched in strips of about this many bytes, each converted
// straight into the image: the shared segment is then a strip, not a second
// copy of the screen.
constexpr std::size_t kStripBytes = 4U << 20;

std::vector<std::uint8_t> readShared(Connection& connection, const Rect& rect, const PixelLayout& layout) {
  xcb_connection_t* c = connection.get();
  const auto* shm = xcb_get_extension_data(c, &xcb_shm_id);
  const auto stride = sourceBytesPerRow(layout, rect.width);
  if (shm == nullptr || shm->present == 0 || !stride || *stride == 0) return {};
  const int stripRows = static_cast<int>(std::clamp<std::size_t>(kStripBytes / *stride, 1, rect.height));
  const std::size_t stripSize = *stride * static_cast<std::size_t>(stripRows);
  SharedSegment segment(stripSize);
  if (!segment.usable()) return {};
  ServerAttachment attachment(c, segment);
  if (!attachment.attached()) return {};
  segment.markForRemoval();
  const auto outRowBytes = static_cast<std::size_t>(rect.width);
  std::vector<std::uint8_t> pixels(outRowBytes * static_cast<std::size_t>(rect.height));
  for (int top = 0; top < rect.height; top += stripRows) {
    const int rows = std::min(stripRows, rect.height - top);
    XcbReply<xcb_shm_get_image_reply_t> image(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, connection.root(), static_cast<std::int16_t>(rect.x),
                          static_cast<std::int16_t>(rect.y + top), static_cast<std::uint16_t>(rect.width),
                          static_cast<std::uint16_t>(rows), ~0U, XCB_IMAGE_FORMAT_Z_PIXMAP, attachment.id(), 0),
        nullptr));
    if (!image || !convertRows(segment.data(), std::min<std::size_t>(image->size, stripSize), rect.width, rows, layout,
                               pixels.data() + static_cast<std::size_t>(top) * outRowBytes)) {
      return {};
    }
  }
  return pixels;
}

std::vector<std::uint8_t> readPlain(Connection& connection, const Rect& rect, const PixelLayout& layout) {
  xcb_connection_t* c = connection.get();
  XcbReply<xcb_get_image_reply_t> image(xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, connection.root(), static_cast<std::int16_t>(rect.x),
                    static_cast<std::int16_t>(rect.y), static_cast<std::uint16_t>(rect.width),
                    static_cast<std::uint16_t>(rect.height), ~0U),
      nullptr));
  if (!image) return {};
  return toLuma(xcb_get_image_data(image.get()), static_cast<std::size_t>(xcb_get_image_data_length(image.get())),
                rect.width, rect.height, layout);
}

}  // namespace

ImagePtr captureMainDisplay(Connection& connection) {
  // Both extension queries travel in one round trip.
  xcb_prefetch_extension_data(connection.get(), &xcb_randr_id);
  xcb_prefetch_extension_data(connection.get(), &xcb_shm_id);
  const Rect rect = mainDisplay(connection);
  const auto layout = rootPixelLayout(connection);
  if (!layout || rect.width <= 0 || rect.height <= 0) return nullptr;
  auto pixels = readShared(connection, rect, *layout);
  if (pixels.empty()) pixels = readPlain(connection, rect, *layout);
  if (pixels.empty()) return nullptr;
  return std::make_unique<RasterImage>(rect.width, rect.height, static_cast<std::size_t>(rect.width),
                                       std::move(pixels));
}

}  // namespace kestrova::desktop::x11
