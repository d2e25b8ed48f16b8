// Writing helpers shared by the commands.
#include "io/write.h"

namespace kestrova {

void writeMessage(std::ostream& err, std::string_view message) {
  err.write(message.data(), static_cast<std::streamsize>(message.size()));
  err.flush();
}

bool printLine(std::ostream& out, std::string_view text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.put('\n');
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace kestrova
