// Process entry: builds the platform's desktop and hands over to run().
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "cli/run.h"
#include "desktop/desktop.h"
#include "io/fd_stream.h"
#include "io/standard_descriptors.h"

int main(int argc, char** argv) {
  const auto closed = kestrova::occupyClosedStandardDescriptors();
  // A host that closes its end of the pipe makes the write fail with a
  // status, instead of killing the process without a word.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv, argv + argc);
  // A stream the host closed refuses every byte, as it would have: output
  // then ends in "Failed to write output", and messages are lost, not misdirected.
  kestrova::FdOStream out(closed[STDOUT_FILENO] ? -1 : STDOUT_FILENO);
  kestrova::FdOStream err(closed[STDERR_FILENO] ? -1 : STDERR_FILENO);
  const auto desktop = kestrova::desktop::makePlatformDesktop();
  return kestrova::run(args, *desktop, out, err);
}
