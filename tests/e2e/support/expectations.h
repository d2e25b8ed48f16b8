// What every run of the tool is checked for: exact bytes on both streams and
// the exit status, with the whole run shown when it differs.
#pragma once

#include <gtest/gtest.h>

#include "support/process.h"

namespace kestrova::e2e {

inline ::testing::AssertionResult ranWith(const ProcessResult& result, const std::string& out, const std::string& err,
                                          int status) {
  if (result.exited && result.exitCode == status && result.out == out && result.err == err) {
    return ::testing::AssertionSuccess();
  }
  auto shown = [](const std::string& text) {
    return text.size() > 300 ? ::testing::PrintToString(text.substr(0, 300)) + "... (" + std::to_string(text.size()) +
                                   " bytes)"
                             : ::testing::PrintToString(text);
  };
  return ::testing::AssertionFailure()
         << "expected status " << status << ", stdout " << shown(out) << ", stderr " << shown(err) << "\n"
         << "     got " << (result.timedOut ? "a time-out"
                            : result.exited ? "status " + std::to_string(result.exitCode)
                                            : "signal " + std::to_string(result.termSignal))
         << ", stdout " << shown(result.out) << ", stderr " << shown(result.err);
}

}  // namespace kestrova::e2e
