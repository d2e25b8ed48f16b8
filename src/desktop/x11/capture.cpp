// Display capture: finds the main display's rectangle through RandR and reads
// it through MIT-SHM, or with a plain GetImage where shared memory fails.
#include "desktop/x11/capture.h"

#include <pthread.h>
#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/shm.h>

#include <algorithm>
#include <csignal>
#include <optional>
#include <vector>

#include "desktop/raster_image.h"
#include "desktop/screen_gray.h"
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
std::optional<Rect> primaryMonitor(Connection& connection) {
  auto monitors = connection.reply<xcb_randr_get_monitors_reply_t>(
      xcb_randr_get_monitors(connection.get(), connection.root(), 1));
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
std::optional<Rect> primaryOutput(Connection& connection) {
  xcb_connection_t* c = connection.get();
  auto primaryCookie = xcb_randr_get_output_primary(c, connection.root());
  auto resourcesCookie = xcb_randr_get_screen_resources_current(c, connection.root());
  auto primary = connection.reply<xcb_randr_get_output_primary_reply_t>(primaryCookie);
  auto resources = connection.reply<xcb_randr_get_screen_resources_current_reply_t>(resourcesCookie);
  if (!resources) return std::nullopt;
  std::vector<xcb_randr_output_t> outputs;
  if (primary && primary->output != XCB_NONE) outputs.push_back(primary->output);
  const auto* listed = xcb_randr_get_screen_resources_current_outputs(resources.get());
  outputs.insert(outputs.end(), listed, listed + xcb_randr_get_screen_resources_current_outputs_length(resources.get()));

  std::vector<xcb_randr_get_output_info_cookie_t> cookies;
  for (auto output : outputs) cookies.push_back(xcb_randr_get_output_info(c, output, resources->config_timestamp));
  xcb_randr_crtc_t crtc = XCB_NONE;
  for (auto cookie : cookies) {
    auto info = connection.reply<xcb_randr_get_output_info_reply_t>(cookie);
    if (crtc == XCB_NONE && info && info->crtc != XCB_NONE) crtc = info->crtc;
  }
  if (crtc == XCB_NONE) return std::nullopt;
  auto info = connection.reply<xcb_randr_get_crtc_info_reply_t>(
      xcb_randr_get_crtc_info(c, crtc, resources->config_timestamp));
  if (!info || info->width == 0 || info->height == 0) return std::nullopt;
  return Rect{info->x, info->y, info->width, info->height};
}

Rect mainDisplay(Connection& connection) {
  xcb_connection_t* c = connection.get();
  const Rect whole{0, 0, connection.screen().width_in_pixels, connection.screen().height_in_pixels};
  std::optional<Rect> found;
  const auto* randr = connection.extension(xcb_randr_id);
  if (randr != nullptr && randr->present != 0) {
    auto version = connection.reply<xcb_randr_query_version_reply_t>(xcb_randr_query_version(c, 1, 5));
    if (version && (version->major_version > 1 || version->minor_version >= 5)) {
      found = primaryMonitor(connection);
    } else if (version && version->minor_version >= 3) {
      found = primaryOutput(connection);
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

// Memory the server writes the image into, released on every path. Where
// the server takes descriptors (MIT-SHM 1.2, a local connection) it is a
// memfd: no System V segment exists, so a run killed at any moment leaves
// nothing behind. Else a System V segment, marked for removal before the
// server is told of it (Linux still lets the server attach it by its id),
// with signals held back from its creation to its marking.
class SharedStrip {
 public:
  SharedStrip(Connection& connection, std::size_t size, bool passDescriptor)
      : connection_(connection), id_(xcb_generate_id(connection.get())), size_(size) {
    xcb_connection_t* c = connection.get();
    if (passDescriptor) {
      const int fd = memfd_create("kestrova-capture", MFD_CLOEXEC);
      if (fd < 0) return;
      void* address = ftruncate(fd, static_cast<off_t>(size)) == 0
                          ? mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0)
                          : MAP_FAILED;
      if (address == MAP_FAILED) {
        close(fd);
        return;
      }
      address_ = static_cast<const std::uint8_t*>(address);
      // libxcb closes the descriptor once it is sent. Writable, since the
      // server writes the image into it.
      attached_ = connection.succeeded(xcb_shm_attach_fd_checked(c, id_, fd, 0));
      return;
    }
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    const int segment = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (segment >= 0) {
      void* address = shmat(segment, nullptr, SHM_RDONLY);
      if (address != reinterpret_cast<void*>(-1)) address_ = static_cast<const std::uint8_t*>(address);
      shmctl(segment, IPC_RMID, nullptr);
      systemV_ = true;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // Checked: on a remote display or in another IPC namespace this is where SHM fails.
    if (address_ != nullptr) {
      attached_ = connection.succeeded(xcb_shm_attach_checked(c, id_, static_cast<std::uint32_t>(segment), 0));
    }
  }
  ~SharedStrip() {
    if (attached_) xcb_shm_detach(connection_.get(), id_);
    if (address_ == nullptr) return;
    if (systemV_) {
      shmdt(address_);
    } else {
      munmap(const_cast<std::uint8_t*>(address_), size_);
    }
  }
  SharedStrip(const SharedStrip&) = delete;
  SharedStrip& operator=(const SharedStrip&) = delete;

  bool attached() const { return attached_; }
  xcb_shm_seg_t id() const { return id_; }
  const std::uint8_t* data() const { return address_; }

 private:
  Connection& connection_;
  xcb_shm_seg_t id_;
  std::size_t size_;
  const std::uint8_t* address_ = nullptr;
  bool systemV_ = false;
  bool attached_ = false;
};

// Descriptors travel only over a local socket, and MIT-SHM takes them from 1.2 on.
bool serverTakesDescriptors(Connection& connection) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(xcb_get_file_descriptor(connection.get()), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.ss_family != AF_UNIX) {
    return false;
  }
  auto version = connection.reply<xcb_shm_query_version_reply_t>(xcb_shm_query_version(connection.get()));
  return version && (version->major_version > 1 || version->minor_version >= 2);
}

// Rows are fetched in strips of about this many bytes, each converted
// straight into the image: the shared segment is then a strip, not a second
// copy of the screen.
constexpr std::size_t kStripBytes = 4U << 20;

std::vector<std::uint8_t> readShared(Connection& connection, const Rect& rect, const PixelLayout& layout) {
  xcb_connection_t* c = connection.get();
  const auto* shm = connection.extension(xcb_shm_id);
  const auto stride = sourceBytesPerRow(layout, rect.width);
  if (shm == nullptr || shm->present == 0 || !stride || *stride == 0) return {};
  // Whole cells of the rows grays are judged over, so strips change no gray.
  const std::size_t cells = std::max<std::size_t>(kStripBytes / *stride / kGrayCellRows, 1);
  const int stripRows = static_cast<int>(std::min<std::size_t>(cells * kGrayCellRows, rect.height));
  const std::size_t stripSize = *stride * static_cast<std::size_t>(stripRows);
  SharedStrip segment(connection, stripSize, serverTakesDescriptors(connection));
  if (!segment.attached()) return {};
  const auto outRowBytes = static_cast<std::size_t>(rect.width);
  std::vector<std::uint8_t> pixels(outRowBytes * static_cast<std::size_t>(rect.height));
  ScreenGrayConverter grays(rect.width);
  for (int top = 0; top < rect.height; top += stripRows) {
    const int rows = std::min(stripRows, rect.height - top);
    auto image = connection.reply<xcb_shm_get_image_reply_t>(
        xcb_shm_get_image(c, connection.root(), static_cast<std::int16_t>(rect.x),
                          static_cast<std::int16_t>(rect.y + top), static_cast<std::uint16_t>(rect.width),
                          static_cast<std::uint16_t>(rows), ~0U, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.id(), 0));
    if (!image || !convertRows(segment.data(), std::min<std::size_t>(image->size, stripSize), rect.width, rows, layout,
                               grays, pixels.data() + static_cast<std::size_t>(top) * outRowBytes)) {
      return {};
    }
  }
  return pixels;
}

std::vector<std::uint8_t> readPlain(Connection& connection, const Rect& rect, const PixelLayout& layout) {
  xcb_connection_t* c = connection.get();
  auto image = connection.reply<xcb_get_image_reply_t>(
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, connection.root(), static_cast<std::int16_t>(rect.x),
                    static_cast<std::int16_t>(rect.y), static_cast<std::uint16_t>(rect.width),
                    static_cast<std::uint16_t>(rect.height), ~0U));
  if (!image) return {};
  return toGray(xcb_get_image_data(image.get()), static_cast<std::size_t>(xcb_get_image_data_length(image.get())),
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
