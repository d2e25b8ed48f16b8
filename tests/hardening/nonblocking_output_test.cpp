// A host may hand over a pipe in non-blocking mode; a reader slower than the
// tool must still get every byte, not a cut text and "Failed to write output".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "../unit/fake_desktop.h"
#include "io/fd_stream.h"

namespace kestrova::testing {
namespace {

TEST(NonBlockingOutput, ASlowReaderGetsTheWholeClipboard) {
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
  ASSERT_EQ(::fcntl(ends[1], F_SETFL, ::fcntl(ends[1], F_GETFL) | O_NONBLOCK), 0);
  // Several pipe buffers' worth, so the writer must wait for the reader more than once.
  std::string text(1024 * 1024, 'x');
  for (std::size_t i = 0; i < text.size(); i += 4093) text[i] = static_cast<char>('a' + i % 26);

  std::string received;
  std::thread reader([&received, fd = ends[0]] {
    char chunk[8192];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
      received.append(chunk, static_cast<std::size_t>(n));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::close(fd);
  });

  FakeDesktop desktop;
  desktop.pasteboard = desktop::PasteboardRead::withText(text);
  std::ostringstream err;
  int status = -1;
  {
    FdOStream out(ends[1]);
    status = run({"kestrova-capture", "clipboard"}, desktop, out, err);
  }
  ::close(ends[1]);
  reader.join();

  EXPECT_EQ(status, 0);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(received.size(), text.size() + 1);
  EXPECT_TRUE(received == text + "\n") << "the bytes arrived out of order or changed";
}

}  // namespace
}  // namespace kestrova::testing
