// `screenshot` reading an xterm on a private display, only `screenshot`
// loading Tesseract, and the record still printed when the module is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

const std::vector<std::string> kFileLines{
    "Quarterly report for the northern region",
    "Revenue grew by twelve percent since spring",
    "Please review the attached summary before Friday",
};

// An xterm showing a file, its cursor hidden, and no text but the file's.
void showFile(XSession& session, const std::filesystem::path& file) {
  std::ofstream out(file);
  for (const auto& line : kFileLines) out << line << "\n";
  out.close();
  const std::string script = "cat '" + file.string() + "'; printf '\\033[?25l'; exec sleep 600";
  auto& xterm = session.start({"xterm", "-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "70x8+60+60", "-e", "sh",
                               "-c", script});
  ASSERT_TRUE(session.visibleWindowOf(xterm.pid()).has_value());
}

std::vector<std::string> linesOf(const nlohmann::json& record) {
  std::vector<std::string> lines;
  if (!record.is_object() || !record["text"].is_string()) return lines;
  std::istringstream text(record["text"].get<std::string>());
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

std::filesystem::path tempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temp dir");
  return pattern;
}

TEST(ScreenshotText, TheRecordHoldsTheLinesAnXtermShows) {
  XSession session;
  const auto dir = tempDir();
  showFile(session, dir / "report.txt");
  nlohmann::json record;
  // The xterm draws its text shortly after its window maps.
  const bool read = eventually([&] {
    const auto result = session.tool({"screenshot"});
    if (!result.exited || result.exitCode != 0 || !result.err.empty()) return false;
    record = nlohmann::json::parse(result.out, nullptr, false);
    const auto lines = linesOf(record);
    return std::all_of(kFileLines.begin(), kFileLines.end(), [&](const std::string& expected) {
      return std::find(lines.begin(), lines.end(), expected) != lines.end();
    });
  }, 20s);
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(read) << record.dump(2);
  ASSERT_TRUE(record["confidence"].is_number());
  EXPECT_GT(record["confidence"].get<double>(), 0.0);
  EXPECT_LE(record["confidence"].get<double>(), 1.0);
}

TEST(ScreenshotText, ReadsNoTextThatIsNotOnTheScreen) {
  // Title bars, icons, window edges and cursors beside the text, which the
  // recognizer once read as lines of their own or as the first letters.
  struct Case {
    const char* what;
    WindowManager manager;
    const char* geometry;
    std::string phrase;
  };
  const Case cases[] = {
      {"a wide xterm at the desktop's corner, decorated", WindowManager::openbox, "80x24+10+10",
       "The quick brown fox jumps over the lazy dog"},
      {"a small xterm at the desktop's corner, decorated", WindowManager::openbox, "40x3+10+10",
       "The quick brown fox"},
      {"an undecorated xterm with its cursor under the text", WindowManager::none, "60x5+100+100",
       "language data test"},
  };
  const std::string title = "kestrova";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    XSession session(c.manager);
    session.start({"xterm", "-title", title, "-geometry", c.geometry, "-hold", "-e", "echo", c.phrase});
    std::vector<std::string> lines;
    // Until the xterm has drawn its text; then every line must be on screen.
    eventually([&] {
      const auto result = session.tool({"screenshot"});
      lines = linesOf(nlohmann::json::parse(result.out, nullptr, false));
      return std::find(lines.begin(), lines.end(), c.phrase) != lines.end();
    }, 10s);
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.phrase), lines.end());
    for (const auto& line : lines) EXPECT_TRUE(line == c.phrase || line == title) << '"' << line << '"';
  }
}

TEST(ScreenshotText, OnlyScreenshotLoadsTesseract) {
  XSession session;
  session.startXterm();
  struct Case {
    std::vector<std::string> args;
    bool loads;
  };
  const Case cases[] = {
      {{"active-app"}, false}, {{"clipboard"}, false}, {{"activate", "1"}, false}, {{"screenshot"}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    // The dynamic loader lists every library it opens.
    const auto result = session.tool(c.args, {{"LD_DEBUG", "libs"}});
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.err.find("libtesseract") != std::string::npos, c.loads);
    EXPECT_EQ(result.err.find("kestrova-ocr.so") != std::string::npos, c.loads);
  }
}

TEST(ScreenshotText, WithoutTheModuleTheRecordIsStillPrinted) {
  XSession session;
  const auto dir = tempDir();
  const auto lonely = dir / "bin" / "kestrova-capture";
  std::filesystem::create_directories(lonely.parent_path());
  std::filesystem::copy_file(toolPath(), lonely);
  const auto result = session.run({lonely.string(), "screenshot"});
  std::filesystem::remove_all(dir);
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);
  const std::string expectedStart =
      "OCR error: the Tesseract module kestrova-ocr.so is missing; looked in " + lonely.parent_path().string() + " ";
  EXPECT_EQ(result.err.rfind(expectedStart, 0), 0U) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  const auto record = nlohmann::json::parse(result.out, nullptr, false);
  ASSERT_TRUE(record.is_object()) << result.out;
  EXPECT_EQ(record["text"], "");
  EXPECT_EQ(record["confidence"], 0);
}

}  // namespace
}  // namespace kestrova::e2e
