// Desktop entry lookup. Reading every desktop file costs milliseconds, so
// files whose names suggest the window are read first and the rest only when
// those do not match.
#include "desktop/x11/desktop_entries.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

namespace kestrova::desktop::x11 {
namespace fs = std::filesystem;
namespace {

std::string lowered(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char ch) { return static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch); });
  return out;
}

// The escapes the desktop entry format allows in string values.
std::string unescaped(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      default: out += value[i]; break;
    }
  }
  return out;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

// Desktop files run to a few kilobytes, their translations included.
constexpr std::size_t entryLimit = 1 << 20;

struct FileDescriptor {
  int fd;
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Only a regular file of sensible size is read: a FIFO named like an entry
// would block the run, a link to /dev/zero would never end.
std::optional<ParsedEntry> readEntry(const fs::path& path, std::string_view locale) {
  const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
  struct stat status {};
  if (file.fd < 0 || ::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<std::uintmax_t>(status.st_size) > entryLimit) {
    return std::nullopt;
  }
  // Read no further than the size it had, however it grows meanwhile.
  std::string contents(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t filled = 0;
  while (filled < contents.size()) {
    const ssize_t count = ::read(file.fd, contents.data() + filled, contents.size() - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    filled += static_cast<std::size_t>(count);
  }
  contents.resize(filled);
  return parseDesktopEntry(contents, locale);
}

// The Name keys a locale reads, best first: lang_COUNTRY@MODIFIER,
// lang_COUNTRY, lang@MODIFIER, lang, then the plain Name.
std::vector<std::string> nameKeys(std::string_view locale) {
  const std::size_t at = locale.find('@');
  const std::string_view modifier = at == std::string_view::npos ? "" : locale.substr(at);
  locale = locale.substr(0, std::min(at, locale.find('.')));
  const std::string_view language = locale.substr(0, locale.find('_'));
  std::vector<std::string> keys;
  auto add = [&](std::string_view tag) {
    const std::string key = "Name[" + std::string(tag) + "]";
    if (!tag.empty() && std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  };
  if (!modifier.empty()) add(std::string(locale) + std::string(modifier));
  add(locale);
  if (!modifier.empty() && !language.empty()) add(std::string(language) + std::string(modifier));
  add(language);
  keys.emplace_back("Name");
  return keys;
}

// Desktop entry ids: the path below the applications folder, '/' turned into '-'.
void listEntries(const fs::path& dir, std::map<std::string, fs::path>& entries) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension() != ".desktop") continue;
    std::string id = path.lexically_relative(dir).replace_extension().generic_string();
    std::replace(id.begin(), id.end(), '/', '-');
    entries.emplace(std::move(id), path);  // an earlier folder's entry wins
  }
}

}  // namespace

std::optional<ParsedEntry> parseDesktopEntry(std::string_view contents, std::string_view locale) {
  // "C" and "POSIX" name no language: only the plain Name applies.
  const auto keys = nameKeys(locale == "C" || locale == "POSIX" || locale.starts_with("C.") ? "" : locale);
  std::size_t nameRank = keys.size();
  ParsedEntry entry;
  bool inMainGroup = false;
  bool isApplication = false;
  std::size_t start = 0;
  while (start < contents.size()) {
    const std::size_t end = std::min(contents.find('\n', start), contents.size());
    const std::string_view line = trimmed(contents.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      if (inMainGroup) break;  // only the first group describes the entry
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = trimmed(line.substr(0, equals));
    const std::string_view value = trimmed(line.substr(equals + 1));
    const auto rank = static_cast<std::size_t>(std::find(keys.begin(), keys.end(), key) - keys.begin());
    if (rank < nameRank) {
      entry.name = unescaped(value);
      nameRank = rank;
    } else if (key == "StartupWMClass") {
      entry.startupWmClass = unescaped(value);
    } else if (key == "Type") {
      isApplication = value == "Application";
    } else if (key == "Hidden" && value == "true") {
      return std::nullopt;
    }
  }
  if (!isApplication) return std::nullopt;
  return entry;
}

std::optional<DesktopEntry> findDesktopEntry(const WindowIdentity& identity, const std::vector<fs::path>& applicationDirs,
                                             std::string_view locale) {
  std::error_code error;
  // An application id names its desktop file exactly: no listing needed.
  if (identity.gtkApplicationId && !identity.gtkApplicationId->empty() &&
      identity.gtkApplicationId->find('/') == std::string::npos) {
    for (const auto& dir : applicationDirs) {
      const fs::path path = dir / (*identity.gtkApplicationId + ".desktop");
      if (!fs::is_regular_file(path, error)) continue;
      if (auto entry = readEntry(path, locale)) return DesktopEntry{*identity.gtkApplicationId, entry->name};
    }
  }

  std::vector<std::string> keys;  // the WM_CLASS parts, instance first, as GNOME Shell orders them
  for (const auto& part : {identity.instance, identity.wmClass}) {
    if (part && !part->empty()) keys.push_back(*part);
  }
  if (keys.empty()) return std::nullopt;

  std::map<std::string, fs::path> entries;
  for (const auto& dir : applicationDirs) listEntries(dir, entries);

  std::map<std::string, ParsedEntry> read;
  std::set<std::string> tried;
  auto startupMatch = [&]() -> std::optional<DesktopEntry> {
    for (const auto& key : keys) {
      for (const auto& [id, entry] : read) {
        if (entry.startupWmClass == key) return DesktopEntry{id, entry.name};
      }
    }
    return std::nullopt;
  };
  auto readWhere = [&](auto&& wanted) {
    for (const auto& [id, path] : entries) {
      if (tried.contains(id) || !wanted(lowered(id))) continue;
      tried.insert(id);
      if (auto entry = readEntry(path, locale)) read.emplace(id, std::move(*entry));
    }
  };

  // First the files named like the window (debian-xterm for XTerm)...
  std::vector<std::string> lowKeys;
  for (const auto& key : keys) lowKeys.push_back(lowered(key));
  readWhere([&](const std::string& id) {
    return std::any_of(lowKeys.begin(), lowKeys.end(), [&](const auto& key) { return id.find(key) != std::string::npos; });
  });
  if (auto match = startupMatch()) return match;
  // ...then a file named exactly after it, the usual heuristic...
  for (const auto& key : lowKeys) {
    for (const auto& [id, entry] : read) {
      if (lowered(id) == key || lowered(id).ends_with("." + key)) return DesktopEntry{id, entry.name};
    }
  }
  // ...and only then every other file, for a StartupWMClass that names it.
  readWhere([](const std::string&) { return true; });
  return startupMatch();
}

std::string messagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::vector<fs::path> applicationDirs() {
  // The desktop's own lookup rules (XDG base directories), not settings of this tool.
  std::vector<fs::path> dirs;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome != nullptr && *dataHome == '/') {
    dirs.emplace_back(fs::path(dataHome) / "applications");
  } else if (home != nullptr && *home == '/') {
    dirs.emplace_back(fs::path(home) / ".local/share/applications");
  }
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::stringstream list((dataDirs != nullptr && *dataDirs != '\0') ? dataDirs : "/usr/local/share:/usr/share");
  for (std::string dir; std::getline(list, dir, ':');) {
    if (!dir.empty() && dir.front() == '/') dirs.emplace_back(fs::path(dir) / "applications");
  }
  return dirs;
}

}  // namespace kestrova::desktop::x11
