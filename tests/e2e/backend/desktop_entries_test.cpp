// Desktop entry parsing and the matching of windows to entries, over
// throw-away application folders.
#include "desktop/x11/desktop_entries.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>

namespace kestrova::desktop::x11 {
namespace {

namespace fs = std::filesystem;

TEST(DesktopEntry, ReadsNameAndStartupClassOfApplicationsOnly) {
  struct Case {
    const char* what;
    std::string contents;
    std::optional<std::string> name;  // none: not an application entry
    std::optional<std::string> startupWmClass;
    std::string locale = "";
  };
  const std::string localized =
      "[Desktop Entry]\nType=Application\nName[de_AT]=Dateien (AT)\nName=Files\nName[de]=Dateien\n"
      "Name[sr@latin]=Datoteke\nName[sr]=Датотеке\n";
  const Case cases[] = {
      {"plain", "[Desktop Entry]\nType=Application\nName=Files\nStartupWMClass=Nautilus\n", "Files", "Nautilus"},
      {"spaces, escapes, CRLF", "[Desktop Entry]\r\nName = A\\sB\\\\C\\tD \r\nType=Application\r\n", "A B\\C\tD",
       std::nullopt},
      {"no locale: the plain Name", localized, "Files", std::nullopt},
      {"C locale: the plain Name", localized, "Files", std::nullopt, "C.UTF-8"},
      {"language and country", localized, "Dateien (AT)", std::nullopt, "de_AT.UTF-8"},
      {"language alone", localized, "Dateien", std::nullopt, "de_DE.UTF-8"},
      {"modifier", localized, "Datoteke", std::nullopt, "sr_RS@latin"},
      {"language without the modifier", localized, "Датотеке", std::nullopt, "sr_RS.UTF-8"},
      {"a language it lacks", localized, "Files", std::nullopt, "fr_FR.UTF-8"},
      {"only the first group counts",
       "# head\n[Desktop Entry]\nType=Application\nName=Main\n[Desktop Action New]\nName=New Window\n", "Main",
       std::nullopt},
      {"a link is no application", "[Desktop Entry]\nType=Link\nName=Site\n", std::nullopt, std::nullopt},
      {"hidden entries are deleted ones", "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n", std::nullopt,
       std::nullopt},
      {"no main group", "[Other]\nType=Application\nName=X\n", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto entry = parseDesktopEntry(c.contents, c.locale);
    ASSERT_EQ(entry.has_value(), c.name.has_value());
    if (!entry) continue;
    EXPECT_EQ(entry->name, c.name);
    EXPECT_EQ(entry->startupWmClass, c.startupWmClass);
  }
}

class DesktopEntryLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kestrova-entries-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    user_ = root_ / "user";
    system_ = root_ / "system";
    fs::create_directories(user_);
    fs::create_directories(system_ / "vendor");
    write(system_ / "org.example.Editor.desktop", "Name=Editor", "");
    write(system_ / "vendor" / "term.desktop", "Name=Vendor Terminal", "VendorTerm");
    write(system_ / "debian-xterm.desktop", "Name=XTerm", "XTerm");
    write(system_ / "quill.desktop", "Name=Quill by name", "");
    write(system_ / "writer-suite.desktop", "Name=Quill by class", "quill");
    write(system_ / "mail.desktop", "Name=Mail (system)", "");
    write(user_ / "mail.desktop", "Name=Mail (mine)", "");
    // Named like entries, but no file to read: reading must neither block nor eat memory.
    ASSERT_EQ(mkfifo((system_ / "fifo.desktop").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", system_ / "zero.desktop");
    std::ofstream(system_ / "huge.desktop") << "[Desktop Entry]\nType=Application\nName=Huge\nStartupWMClass=Huge\n"
                                            << std::string(2 << 20, '#');
  }
  void TearDown() override { fs::remove_all(root_); }

  static void write(const fs::path& path, const std::string& nameLine, const std::string& startupClass) {
    std::ofstream(path) << "[Desktop Entry]\nType=Application\n"
                        << nameLine << "\n"
                        << (startupClass.empty() ? "" : "StartupWMClass=" + startupClass + "\n");
  }

  fs::path root_, user_, system_;
};

TEST_F(DesktopEntryLookup, MatchesAsTheBigDesktopsDo) {
  struct Case {
    const char* what;
    WindowIdentity identity;
    std::optional<std::string> id;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"application id names the file", {"editor", "Editor", "org.example.Editor"}, "org.example.Editor", "Editor"},
      {"StartupWMClass, file named otherwise, in a subfolder", {"vt", "VendorTerm", {}}, "vendor-term",
       "Vendor Terminal"},
      {"StartupWMClass in a file named like the class", {"xterm", "XTerm", {}}, "debian-xterm", "XTerm"},
      // Reading every file on each run costs milliseconds; a file named exactly
      // after the window is trusted before that.
      {"a file named after the window before a full scan", {"quill", "Quill", {}}, "quill", "Quill by name"},
      {"StartupWMClass in a file named like the instance", {"writer", "quill", {}}, "writer-suite", "Quill by class"},
      {"file name, case aside", {"MAIL", "Mail", {}}, "mail", "Mail (mine)"},
      {"unknown application id falls back to WM_CLASS", {"mail", "Mail", "org.example.Nothing"}, "mail",
       "Mail (mine)"},
      {"nothing matches", {"nothing", "Nothing", {}}, std::nullopt, std::nullopt},
      {"a FIFO is no entry", {"fifo", "Fifo", "fifo"}, std::nullopt, std::nullopt},
      {"nor a link to a device", {"zero", "Zero", "zero"}, std::nullopt, std::nullopt},
      {"nor a file of megabytes", {"huge", "Huge", {}}, std::nullopt, std::nullopt},
      {"no WM_CLASS at all", {{}, {}, {}}, std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto entry = findDesktopEntry(c.identity, {user_, system_});
    ASSERT_EQ(entry.has_value(), c.id.has_value());
    if (!entry) continue;
    EXPECT_EQ(entry->id, *c.id);
    EXPECT_EQ(entry->name, c.name);
  }
}

TEST(ApplicationDirs, FollowTheXdgBaseDirectories) {
  setenv("HOME", "/home/someone", 1);
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_DATA_DIRS");
  EXPECT_EQ(applicationDirs(), (std::vector<fs::path>{"/home/someone/.local/share/applications",
                                                      "/usr/local/share/applications", "/usr/share/applications"}));
  setenv("XDG_DATA_HOME", "/data/home", 1);
  setenv("XDG_DATA_DIRS", "/opt/share:relative::/usr/share", 1);
  EXPECT_EQ(applicationDirs(),
            (std::vector<fs::path>{"/data/home/applications", "/opt/share/applications", "/usr/share/applications"}));
}

}  // namespace
}  // namespace kestrova::desktop::x11
