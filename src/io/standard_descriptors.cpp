#include "io/standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace kestrova {

std::array<bool, 3> occupyClosedStandardDescriptors() {
  std::array<bool, 3> closed{};
  for (int fd = 0; fd < 3; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed[fd] = true;
    // The lowest free number is this one. Not close-on-exec: it stands in for
    // a standard stream. Without /dev/null (a bare chroot) the root directory
    // still holds the place, refusing every write.
    if (::open("/dev/null", O_RDWR) != fd) ::open("/", O_RDONLY | O_DIRECTORY);
  }
  return closed;
}

}  // namespace kestrova
