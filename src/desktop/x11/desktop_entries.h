// Finding the desktop entry (the .desktop file) behind a window, the way the
// big desktops match task bar buttons to applications.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/x11/windows.h"

namespace kestrova::desktop::x11 {

struct DesktopEntry {
  std::string id;                   // e.g. "org.gnome.Terminal", "debian-xterm"
  std::optional<std::string> name;  // the [Desktop Entry] group's Name
};

// The fields of one desktop file that matching needs; none for a file that
// is no application entry (or hides itself).
struct ParsedEntry {
  std::optional<std::string> name;
  std::optional<std::string> startupWmClass;
};
// `locale` as POSIX spells it ("de_AT.UTF-8@euro"): the Name in the closest
// of its languages wins over the plain Name. Empty: the plain Name.
std::optional<ParsedEntry> parseDesktopEntry(std::string_view contents, std::string_view locale = {});

// `applicationDirs`: most important first, e.g. ~/.local/share/applications, then the system's.
std::optional<DesktopEntry> findDesktopEntry(const WindowIdentity& identity,
                                             const std::vector<std::filesystem::path>& applicationDirs,
                                             std::string_view locale = {});

// The XDG data directories' "applications" folders, most important first.
std::vector<std::filesystem::path> applicationDirs();
// The locale messages are shown in (LC_ALL, LC_MESSAGES, LANG), as menus and task bars pick names.
std::string messagesLocale();

}  // namespace kestrova::desktop::x11
