// The whole tool: one command per run, chosen by the first argument.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "desktop/desktop.h"

namespace kestrova {

inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1;

// `args` as the process received them, program name first. Writes the
// command's result to `out`, messages to `err`, and returns the exit status.
int run(const std::vector<std::string>& args, desktop::Desktop& desktop, std::ostream& out, std::ostream& err);

}  // namespace kestrova
