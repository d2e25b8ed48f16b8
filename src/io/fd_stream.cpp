// Buffered writes onto a descriptor; a failure sticks, so the caller's final
// flush reports it.
#include "io/fd_stream.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrova {

FdStreamBuf::FdStreamBuf(int fd) : fd_(fd) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

FdStreamBuf::~FdStreamBuf() { drainBuffer(); }

bool FdStreamBuf::writeAll(const char* bytes, std::size_t count) {
  while (count > 0 && !failed_) {
    const ssize_t written = ::write(fd_, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      // A host may hand over a non-blocking descriptor; wait as a blocking
      // write would, rather than drop the rest of the text.
      if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilWritable()) continue;
      failed_ = true;
      break;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return !failed_;
}

bool FdStreamBuf::waitUntilWritable() const {
  pollfd ready{fd_, POLLOUT, 0};
  for (;;) {
    const int result = ::poll(&ready, 1, -1);
    if (result > 0) return true;  // writable, or an error the next write reports
    if (result < 0 && errno != EINTR) return false;
  }
}

bool FdStreamBuf::drainBuffer() {
  const auto pending = static_cast<std::size_t>(pptr() - pbase());
  const bool ok = writeAll(pbase(), pending);
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return ok;
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type ch) {
  if (!drainBuffer()) return traits_type::eof();
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  *pptr() = traits_type::to_char_type(ch);
  pbump(1);
  return ch;
}

std::streamsize FdStreamBuf::xsputn(const char* bytes, std::streamsize count) {
  const auto size = static_cast<std::size_t>(count);
  if (size <= static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), bytes, size);
    pbump(static_cast<int>(size));
    return count;
  }
  // Large texts (a big clipboard) go straight through instead of in pieces.
  if (!drainBuffer() || !writeAll(bytes, size)) return 0;
  return count;
}

int FdStreamBuf::sync() { return drainBuffer() ? 0 : -1; }

}  // namespace kestrova
