// `active-app` against a real desktop: the focused xterm by the name a task
// bar shows (desktop entry or WM_CLASS), and "Unknown" with no window at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/expectations.h"
#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

namespace fs = std::filesystem;

class ActiveApp : public ::testing::TestWithParam<WindowManager> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrova-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dataDir_ = pattern;
    fs::create_directories(dataDir_ / "applications" / "kestrova");
  }
  void TearDown() override { fs::remove_all(dataDir_); }

  void writeEntry(const std::string& relativePath, const std::string& contents) {
    std::ofstream(dataDir_ / "applications" / relativePath) << contents;
  }
  // Desktop entries only from this test's folder (besides the system's, where asked).
  Environment dataDirs(bool withSystem) const {
    return {{"XDG_DATA_HOME", (dataDir_ / "home").string()},
            {"XDG_DATA_DIRS", dataDir_.string() + (withSystem ? ":/usr/share" : "")}};
  }

  fs::path dataDir_;
};

TEST_P(ActiveApp, NamesTheFocusedWindowsApplication) {
  struct Case {
    const char* what;
    std::vector<std::string> xtermOptions;
    std::string gtkApplicationId;  // set on the window when not empty
    bool systemEntries;
    std::string expected;
    bool emptyClass = false;  // WM_CLASS made "xterm\0\0" once the window shows
  };
  writeEntry("kestrova-terminal.desktop",
             "[Desktop Entry]\nType=Application\nName=Kestrova Terminal\nStartupWMClass=KestrovaTerm\n");
  writeEntry("kestrova-notes.desktop", "# a comment\n[Desktop Entry]\nType=Application\nName=Notes\\sPlus\n");
  writeEntry("kestrova/viewer.desktop", "[Desktop Entry]\nType=Application\nName=Hidden Viewer\nHidden=true\n");
  writeEntry("kestrova/editor.desktop", "[Desktop Entry]\nType=Application\nName=Kestrova Editor\n");
  writeEntry("org.kestrova.Viewer.desktop", "[Desktop Entry]\nName=Kestrova Viewer\nType=Application\n");
  writeEntry("kestrova-blank.desktop", "[Desktop Entry]\nType=Application\nName=\n");
  writeEntry("kestrova-lines.desktop", "[Desktop Entry]\nType=Application\nName=Two\\nLines\n");
  const Case cases[] = {
      {"plain xterm, Debian's entry", {}, "", true, "XTerm"},
      {"plain xterm, no entry: WM_CLASS class", {}, "", false, "XTerm"},
      {"class with no entry", {"-class", "NoSuchTerm"}, "", true, "NoSuchTerm"},
      {"entry by StartupWMClass", {"-class", "KestrovaTerm"}, "", true, "Kestrova Terminal"},
      {"entry by file name", {"-name", "kestrova-notes"}, "", false, "Notes Plus"},
      {"entry by application id", {"-class", "NoSuchTerm"}, "org.kestrova.Viewer", true, "Kestrova Viewer"},
      {"entry in a subfolder, id joined by '-'", {"-name", "kestrova-editor"}, "", false, "Kestrova Editor"},
      {"hidden entry is skipped", {"-name", "kestrova-viewer", "-class", "Kestrova-viewer"}, "", false,
       "Kestrova-viewer"},
      {"non-ASCII class", {"-class", "Térm水"}, "", false, "Térm水"},
      {"Latin-1 class, as ICCCM has it", {"-class", "T\xe9rm"}, "", false, "Térm"},
      // A name is never empty and always one line.
      {"empty class: the instance", {}, "", false, "xterm", true},
      {"empty Name: the class", {"-name", "kestrova-blank"}, "", false, "XTerm"},
      {"line feed in Name", {"-name", "kestrova-lines"}, "", false, "Two Lines"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XSession session(GetParam());
    const auto xterm = session.startXterm(c.xtermOptions);
    if (!c.gtkApplicationId.empty()) {
      ASSERT_TRUE(session.run({"xprop", "-id", std::to_string(xterm.window), "-f", "_GTK_APPLICATION_ID", "8u", "-set",
                               "_GTK_APPLICATION_ID", c.gtkApplicationId})
                      .exited);
    }
    if (c.emptyClass) {
      ASSERT_EQ(session.run({"xdotool", "set_window", "--class", "", std::to_string(xterm.window)}).exitCode, 0);
    }
    session.focus(xterm.window);
    EXPECT_TRUE(ranWith(session.tool({"active-app"}, dataDirs(c.systemEntries)), c.expected + "\n", "", 0));
  }
}

TEST_P(ActiveApp, IsUnknownWithNoWindowAndAfterTheLastOneCloses) {
  XSession session(GetParam());
  EXPECT_TRUE(ranWith(session.tool({"active-app"}), "Unknown\n", "", 0));

  auto& xterm = session.start({"xterm", "-e", "sleep", "600"});
  const auto window = session.visibleWindowOf(xterm.pid());
  ASSERT_TRUE(window);
  session.focus(*window);
  EXPECT_TRUE(ranWith(session.tool({"active-app"}), "XTerm\n", "", 0));
  xterm.stop();
  EXPECT_TRUE(eventually([&] { return session.tool({"active-app"}).out == "Unknown\n"; }));
}

INSTANTIATE_TEST_SUITE_P(Desktop, ActiveApp, ::testing::Values(WindowManager::openbox, WindowManager::none),
                         [](const auto& info) { return nameOf(info.param); });

}  // namespace
}  // namespace kestrova::e2e
