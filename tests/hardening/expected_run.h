// One row of a bad-input table: the arguments after the program name and
// everything a host would see of the run.
#pragma once

#include <string>
#include <vector>

namespace kestrova::hardening {

struct ExpectedRun {
  const char* situation;
  std::vector<std::string> arguments;
  std::string out;
  std::string err;
  int status;
};

}  // namespace kestrova::hardening
