// The frontmost application's name and its fallbacks.
#include <gtest/gtest.h>

#include "apps/active_app.h"
#include "fake_desktop.h"

namespace kestrova::testing {
namespace {

TEST(ActiveAppName, FallsBackFromDisplayNameToBundleIdentifierToUnknown) {
  struct Row {
    const char* situation;
    std::optional<AppScript> frontmost;
    std::string name;
    CallLog calls;
  };
  const std::vector<Row> rows{
      {"no frontmost application", std::nullopt, "Unknown", {"frontmostApplication"}},
      {"both present", AppScript{"XTerm", "xterm"}, "XTerm", {"frontmostApplication", "localizedName"}},
      {"identifier only", AppScript{std::nullopt, "org.example.App"}, "org.example.App",
       {"frontmostApplication", "localizedName", "bundleIdentifier"}},
      {"neither", AppScript{}, "Unknown", {"frontmostApplication", "localizedName", "bundleIdentifier"}},
      {"present but empty", AppScript{"", "org.example.App"}, "", {"frontmostApplication", "localizedName"}},
      {"non-ASCII kept", AppScript{"Caf\xC3\xA9 \xE6\xB0\xB4", {}}, "Caf\xC3\xA9 \xE6\xB0\xB4",
       {"frontmostApplication", "localizedName"}},
      {"ill-formed repaired", AppScript{"Bad\xE9", {}}, "Bad\xEF\xBF\xBD", {"frontmostApplication", "localizedName"}},
      {"one line: control characters become spaces", AppScript{"Two\nLines\t\x7F\xC2\x85\xC2\xA0.", {}},
       "Two Lines   \xC2\xA0.", {"frontmostApplication", "localizedName"}},
      {"one line, the identifier too", AppScript{{}, "id\r\n"}, "id  ",
       {"frontmostApplication", "localizedName", "bundleIdentifier"}},
  };
  for (const auto& row : rows) {
    FakeDesktop desktop;
    desktop.frontmost = row.frontmost;
    EXPECT_EQ(getActiveAppName(desktop), row.name) << row.situation;
    EXPECT_EQ(desktop.calls, row.calls) << row.situation;
  }
}

TEST(ActiveAppName, EmptyNameIsPrintedAsALoneLineFeed) {
  FakeDesktop desktop;
  desktop.frontmost = AppScript{"", "ignored"};
  const auto result = runTool({"active-app"}, desktop);
  EXPECT_EQ(result.out, "\n");
  EXPECT_EQ(result.status, 0);
}

}  // namespace
}  // namespace kestrova::testing
