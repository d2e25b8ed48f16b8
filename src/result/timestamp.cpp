// Calendar arithmetic in UTC by the standard library, free of TZ and locale.
#include "result/timestamp.h"

#include <cstdio>

namespace kestrova {

std::string formatTimestamp(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto seconds = floor<std::chrono::seconds>(time);
  const auto day = floor<days>(seconds);
  const year_month_day date{day};
  const hh_mm_ss clock{seconds - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

}  // namespace kestrova
