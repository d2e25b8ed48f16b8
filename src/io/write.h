// The two ways the tool writes: a message on the error stream, and one
// printed text with its line feed on the output stream.
#pragma once

#include <ostream>
#include <string_view>

namespace kestrova {

// Written whole and flushed at once; the message carries its own line feed.
void writeMessage(std::ostream& err, std::string_view message);

// Writes the text and one line feed, then flushes; false when either failed.
bool printLine(std::ostream& out, std::string_view text);

}  // namespace kestrova
