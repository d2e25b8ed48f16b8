// Output that cannot be written is a failure the host gets to see.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "fake_desktop.h"
#include "io/fd_stream.h"

namespace kestrova::testing {
namespace {

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

TEST(Output, FailedWriteOrFlushEndsWithStatusOne) {
  const Descriptor full{::open("/dev/full", O_WRONLY)};
  ASSERT_GE(full.fd, 0) << "/dev/full is needed to test a full output";
  const std::vector<std::vector<std::string>> commands{{"active-app"}, {"clipboard"}, {"activate", "812"},
                                                       {"screenshot"}};
  for (const auto& command : commands) {
    FakeDesktop desktop;
    desktop.pasteboard = desktop::PasteboardRead::withText(std::string(100000, 'x'));
    FdOStream out(full.fd);
    std::ostringstream err;
    std::vector<std::string> args{"kestrova-capture"};
    args.insert(args.end(), command.begin(), command.end());
    const int status = run(args, desktop, out, err);
    EXPECT_EQ(status, 1) << command.front();
    EXPECT_TRUE(err.str().ends_with("Failed to write output\n")) << command.front() << ": " << err.str();
  }
}

TEST(Output, FdStreamWritesEveryByteInOrder) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const Descriptor reader{ends[0]};
  const std::string big(3 * 16384 + 17, 'b');
  {
    const Descriptor writer{ends[1]};
    FdOStream out(writer.fd);
    out << "small " << 'c';
    out.write(big.data(), static_cast<std::streamsize>(big.size()));
    out << " tail";
    out.flush();
    ASSERT_TRUE(out);
  }
  std::string received;
  char chunk[4096];
  for (ssize_t n; (n = ::read(reader.fd, chunk, sizeof chunk)) > 0;) received.append(chunk, static_cast<size_t>(n));
  EXPECT_EQ(received, "small c" + big + " tail");
}

}  // namespace
}  // namespace kestrova::testing
