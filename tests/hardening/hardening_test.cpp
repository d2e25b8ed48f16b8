// Argument vectors only exec builds (the parsing rules are the unit tests'),
// and output onto a non-blocking pipe that a slow reader drains.
#include <fcntl.h>
#include <unistd.h>

#include "io/fd_stream.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

TEST(BadInput, ArgumentsAsExecPassesThem) {
  const std::string usage = "Usage: kestrova-capture activate <pid>\n";
  // Parsed: the run goes on to the desktop, and there is none.
  const std::string parsed = "Failed to open display: DISPLAY is not set\n";
  // The kernel refuses any single argument of 128 KiB or more.
  const std::size_t longest = 128 * 1024 - 1;
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, usage}, {{std::string(longest, '9')}, usage}, {{std::string(longest - 1, '0') + "7"}, parsed},
      {{"-1", std::string(longest, '\x80'), std::string(longest, 'x')}, parsed},  // the rest is ignored
  };
  for (const auto& [args, err] : cases) {
    std::vector<std::string> argv{toolPath(), "activate"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto result = runProcess(argv, {{"PATH", "/usr/bin:/bin"}, {"LANG", "C.UTF-8"}}, 10s);
    EXPECT_TRUE(ranWith(result, "", err, 1)) << (args.empty() ? "no pid" : args[0].substr(0, 30));
  }
}

TEST(NonBlockingOutput, ASlowReaderGetsEveryByte) {
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  ASSERT_EQ(fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK), 0);
  // Several pipe buffers' worth, so the writer must wait for the reader more than once.
  std::string text(1024 * 1024, 'x');
  for (std::size_t i = 0; i < text.size(); i += 4093) text[i] = static_cast<char>('a' + i % 26);
  std::string received;
  std::thread reader([&received, fd = ends[0]] {
    char chunk[8192];
    for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0; std::this_thread::sleep_for(200us)) {
      received.append(chunk, static_cast<std::size_t>(n));
    }
    close(fd);
  });
  bool written = false;
  {
    FdOStream out(ends[1]);
    written = static_cast<bool>(out << text << std::flush);
  }
  close(ends[1]);
  reader.join();
  EXPECT_TRUE(written);
  EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes, or changed";
}

}  // namespace
}  // namespace kestrova::e2e
