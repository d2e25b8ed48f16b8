// Process entry: builds the platform's desktop and hands over to run().
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "cli/run.h"
#include "desktop/desktop.h"
#include "io/fd_stream.h"

int main(int argc, char** argv) {
  // A host that closes its end of the pipe makes the write fail with a
  // status, instead of killing the process without a word.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv, argv + argc);
  kestrova::FdOStream out(STDOUT_FILENO);
  kestrova::FdOStream err(STDERR_FILENO);
  const auto desktop = kestrova::desktop::makePlatformDesktop();
  return kestrova::run(args, *desktop, out, err);
}
