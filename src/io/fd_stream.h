// Output streams straight onto file descriptors, so that a write or flush
// that fails (a closed pipe, a full disk) is seen rather than lost in stdio.
#pragma once

#include <array>
#include <ostream>
#include <streambuf>

namespace kestrova {

class FdStreamBuf final : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd);
  ~FdStreamBuf() override;
  FdStreamBuf(const FdStreamBuf&) = delete;
  FdStreamBuf& operator=(const FdStreamBuf&) = delete;

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* bytes, std::streamsize count) override;
  int sync() override;

 private:
  bool drainBuffer();
  bool writeAll(const char* bytes, std::size_t count);
  bool waitUntilWritable() const;

  int fd_;
  bool failed_ = false;
  std::array<char, 16384> buffer_{};
};

// Does not own the descriptor.
class FdOStream final : public std::ostream {
 public:
  explicit FdOStream(int fd) : std::ostream(nullptr), buffer_(fd) { rdbuf(&buffer_); }

 private:
  FdStreamBuf buffer_;
};

}  // namespace kestrova
