// Test peer, for what xclip and xterm cannot do:
//   capture: prints the main display as the X11 desktop captures it, which the
//     tool never shows: size, the centre pixel's luma and a hash of every pixel;
//   incr <chunks> <delay-ms> finish|stall [chunk-bytes]: a CLIPBOARD owner
//     giving UTF8_STRING by INCR, "chunk 0\n", ... (padded with dots to
//     chunk-bytes; -1 chunks: without end), then the transfer's end or silence;
//   grab: grabs the server and keeps the grab;
//   windows <n>: one process with n top-level windows;
//   picture <file.pgm> <x> <y>: shows a binary 8-bit PGM at x, y, for text
//     whose rendering no terminal reproduces.
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/desktop.h"
#include "desktop/raster_image.h"

namespace {

xcb_connection_t* c;

xcb_atom_t intern(std::string_view name) {
  auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.data()), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

int capture() {
  const auto image = kestrova::desktop::makePlatformDesktop()->captureMainDisplay();
  const auto* raster = dynamic_cast<const kestrova::desktop::RasterImage*>(image.get());
  if (raster == nullptr) return 1;
  std::uint64_t hash = 0xcbf29ce484222325ULL;  // FNV-1a
  for (int y = 0; y < raster->height(); ++y) {
    for (int x = 0; x < raster->width(); ++x) hash = (hash ^ raster->row(y)[x]) * 0x100000001b3ULL;
  }
  std::printf("%dx%d %d %016llx\n", raster->width(), raster->height(),
              raster->row(raster->height() / 2)[raster->width() / 2], static_cast<unsigned long long>(hash));
  return 0;
}

// An unmanaged window whose background is the picture: the server repaints
// it unasked.
int picture(xcb_screen_t* screen, const char* path, int x, int y) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, most = 0;
  if (!(in >> magic >> width >> height >> most) || (magic != "P5" && magic != "P6") || most != 255 ||
      screen->root_depth != 24) {
    return 1;
  }
  in.get();
  // Gray (P5) or colour (P6): a coloured prompt reads unlike its gray.
  const std::size_t channels = magic == "P6" ? 3 : 1;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * channels);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) return 1;
  std::vector<std::uint32_t> pixels(bytes.size() / channels);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const std::uint8_t* pixel = bytes.data() + i * channels;
    pixels[i] = channels == 3 ? std::uint32_t{pixel[0]} << 16 | std::uint32_t{pixel[1]} << 8 | pixel[2]
                              : std::uint32_t{pixel[0]} * 0x010101U;
  }
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, 24, pixmap, screen->root, width, height);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  xcb_create_gc(c, gc, pixmap, 0, nullptr);
  // One request per row keeps each under the server's request size limit.
  for (int row = 0; row < height; ++row) {
    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, width, 1, 0, row, 0, 24, width * 4,
                  reinterpret_cast<const std::uint8_t*>(pixels.data() + static_cast<std::size_t>(row) * width));
  }
  const std::uint32_t values[] = {pixmap, 1};
  const xcb_window_t window = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, x, y, width, height, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT,
                    values);
  xcb_map_window(c, window);
  xcb_flush(c);
  pause();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  if (mode == "capture") return capture();
  c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c) != 0) return 1;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  if (mode == "grab") xcb_grab_server(c), xcb_flush(c), pause();
  if (mode == "windows" && argc == 3) {
    const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
    for (int i = 0; i < std::atoi(argv[2]); ++i) {
      const xcb_window_t window = xcb_generate_id(c);
      xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 20 + 30 * i, 20 + 30 * i, 200, 150, 0,
                        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, 10, "peer\0Peer");
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, intern("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
      xcb_map_window(c, window);
    }
    xcb_flush(c);
    pause();
  }
  if (mode == "picture" && argc == 5) return picture(screen, argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (mode != "incr" || argc < 5) return 2;
  const int chunks = std::atoi(argv[2]), delayMs = std::atoi(argv[3]);
  const bool finish = std::string_view(argv[4]) == "finish";
  const std::size_t chunkBytes = argc > 5 ? std::strtoul(argv[5], nullptr, 10) : 0;
  const xcb_atom_t utf8 = intern("UTF8_STRING"), targets = intern("TARGETS"), incr = intern("INCR");
  const xcb_window_t window = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_set_selection_owner(c, window, intern("CLIPBOARD"), XCB_CURRENT_TIME);
  xcb_flush(c);
  xcb_window_t requestor = XCB_NONE;
  xcb_atom_t property = XCB_ATOM_NONE;
  int sent = 0;
  while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
    const auto type = event->response_type & 0x7F;
    const auto& request = *reinterpret_cast<xcb_selection_request_event_t*>(event);
    const auto& change = *reinterpret_cast<xcb_property_notify_event_t*>(event);
    if (type == XCB_SELECTION_REQUEST) {
      xcb_selection_notify_event_t notify{XCB_SELECTION_NOTIFY, 0, 0, request.time, request.requestor,
                                          request.selection, request.target, request.property};
      const xcb_atom_t offered[] = {targets, utf8};
      const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE, size = static_cast<std::uint32_t>(chunks) * 8;
      if (request.target == targets) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, request.property, XCB_ATOM_ATOM, 32, 2, offered);
      } else if (request.target == utf8) {
        xcb_change_window_attributes(c, request.requestor, XCB_CW_EVENT_MASK, &events);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, request.property, incr, 32, 1, &size);
        requestor = request.requestor, property = request.property, sent = 0;
      } else {
        notify.property = XCB_ATOM_NONE;
      }
      xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    } else if (type == XCB_PROPERTY_NOTIFY && change.window == requestor && change.atom == property &&
               change.state == XCB_PROPERTY_DELETE) {
      // The requestor deleting the property asks for the next chunk.
      std::string chunk = "chunk " + std::to_string(sent) + "\n";
      chunk.resize(std::max(chunk.size(), chunkBytes), '.');
      if (sent < chunks || chunks < 0) {
        usleep(static_cast<useconds_t>(delayMs) * 1000);
        ++sent;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, utf8, 8, chunk.size(), chunk.data());
      } else {
        if (finish) xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, utf8, 8, 0, nullptr);
        requestor = XCB_NONE;
      }
    }
    std::free(event);
    xcb_flush(c);
  }
}
