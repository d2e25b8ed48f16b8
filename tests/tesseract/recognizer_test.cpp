// The recognizer over screens composed from text that pango-view renders:
// lines, their order and their confidences, and the failures it describes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "desktop/raster_image.h"
#include "desktop/tesseract/loader.h"
#include "desktop/tesseract/module_loader.h"

namespace kestrova::desktop {
namespace {

struct Gray {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-ocr-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) != nullptr ? pattern : "";
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Black text on white, as pango-view's FreeType backend renders it at 96 dpi.
Gray render(const std::vector<std::string>& lines, const std::string& font) {
  TempDir dir;
  const auto text = dir.path() / "text.txt";
  const auto pgm = dir.path() / "text.pgm";
  std::ofstream(text) << [&] {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
  }();
  const std::string command = "pango-view -q --backend=ft2 --dpi=96 --margin=0 --font='" + font + "' -o '" +
                              pgm.string() + "' '" + text.string() + "'";
  if (std::system(command.c_str()) != 0) {
    ADD_FAILURE() << "pango-view could not render: " << command;
    return {};
  }
  std::ifstream in(pgm, std::ios::binary);
  std::string magic;
  Gray image;
  int maxValue = 0;
  in >> magic >> image.width >> image.height >> maxValue;
  in.get();
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  in.read(reinterpret_cast<char*>(image.pixels.data()), static_cast<std::streamsize>(image.pixels.size()));
  EXPECT_TRUE(in && magic == "P5" && maxValue == 255) << "unreadable " << pgm;
  return image;
}

struct Color {
  std::uint8_t gray;
};

// A screen in the capture's pixel layout, filled with the desktop's color.
class Screen {
 public:
  Screen(int width, int height, Color desktop)
      : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, desktop.gray) {}

  // A window of `background` with the text drawn in `ink`, 16 px of padding.
  void window(int x, int y, const Gray& text, Color background, Color ink) {
    for (int wy = 0; wy < text.height + 32; ++wy) {
      for (int wx = 0; wx < text.width + 32; ++wx) {
        const int tx = wx - 16;
        const int ty = wy - 16;
        int value = background.gray;
        if (tx >= 0 && ty >= 0 && tx < text.width && ty < text.height) {
          const int coverage = 255 - text.pixels[static_cast<std::size_t>(ty) * text.width + tx];
          value = (background.gray * (255 - coverage) + ink.gray * coverage) / 255;
        }
        pixels_[static_cast<std::size_t>(y + wy) * width_ + x + wx] = static_cast<std::uint8_t>(value);
      }
    }
  }

  RasterImage image() const { return {width_, height_, static_cast<std::size_t>(width_), pixels_}; }

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

struct Outcome {
  bool performed = false;
  int completions = 0;
  std::vector<Observation> observations;
  std::string error;
};

Outcome recognize(const Image& image) {
  Outcome outcome;
  auto recognizer = makeTesseractRecognizer();
  outcome.performed = recognizer->perform(
      image, RecognitionSettings{},
      [&](std::optional<std::vector<Observation>> results, std::optional<std::string> error) {
        ++outcome.completions;
        if (results) outcome.observations = std::move(*results);
        if (error) outcome.error = *error;
      },
      outcome.error);
  return outcome;
}

TEST(TesseractRecognizer, ReadsEveryLineOfEveryWindowInReadingOrder) {
  const std::vector<std::string> mail{"Please send the updated contract to the legal team.",
                                      "The meeting moved to Thursday at half past ten."};
  const std::vector<std::string> terminal{"Backup finished successfully in 14 minutes.",
                                          "Removed archives older than ninety days."};
  const std::vector<std::string> settings{"Send a short summary of new messages every morning.",
                                          "Changes are saved automatically for this account."};
  const std::vector<std::string> code{"def load_settings(path):", "report = build_report(rows, title)"};
  const std::vector<std::string> german{"Die Straße nach Köln ist für größere Fahrzeuge gesperrt.",
                                        "Jörg Müller öffnet täglich um acht Uhr."};
  struct Case {
    const char* what;
    Color desktop;
    std::vector<std::string> expected;
    std::function<void(Screen&)> draw;
    const char* locale = "C.UTF-8";  // the user's: its language is read besides English
  };
  const Case cases[] = {
      {"a light mail window above a dark terminal, on a dark desktop",
       {24},
       {mail[0], mail[1], terminal[0], terminal[1]},
       [&](Screen& s) {
         s.window(60, 40, render(mail, "DejaVu Serif 11"), {255}, {20});
         s.window(500, 360, render(terminal, "DejaVu Sans Mono 10"), {30}, {210});
       }},
      {"small gray text on a light gray dialog left of a white one",
       {70},
       {settings[0], settings[1], mail[0], mail[1]},
       [&](Screen& s) {
         s.window(20, 80, render(settings, "DejaVu Sans 8"), {240}, {130});
         s.window(620, 80, render(mail, "DejaVu Sans 9"), {255}, {0});
       }},
      {"snake_case names in a dark editor: underscores are no spaces",
       {70},
       code,
       [&](Screen& s) { s.window(200, 200, render(code, "DejaVu Sans Mono 10"), {30}, {230}); }},
      {"a file sidebar beside the code, its rows between the code's: sidebar first",
       {70},
       {"src", "config.py", "runner.py", code[0], code[1]},
       [&](Screen& s) {
         const Gray files = render({"src", "config.py", "runner.py"}, "DejaVu Sans 9");
         s.window(0, 0, files, {37}, {200});
         s.window(files.width + 32, 0, render(code, "DejaVu Sans Mono 10"), {30}, {230});
       }},
      {"a large bold heading: its letters are no buttons, the dots of its i no cursors",
       {70},
       {"Planning Review", mail[0]},
       [&](Screen& s) {
         s.window(100, 100, render({"Planning Review"}, "DejaVu Sans Bold 42"), {255}, {20});
         s.window(100, 240, render({mail[0]}, "DejaVu Sans 10"), {255}, {20});
       }},
      {"a greyed line under a black one in the same panel",
       {70},
       mail,
       [&](Screen& s) {
         const Gray first = render({mail[0]}, "DejaVu Sans 9");
         s.window(100, 100, first, {255}, {20});
         s.window(100, 100 + first.height + 32, render({mail[1]}, "DejaVu Sans 9"), {255}, {205});
       }},
      {"a German mail in a German locale: its diacritics are kept",
       {70},
       german,
       [&](Screen& s) { s.window(100, 100, render(german, "DejaVu Sans 11"), {255}, {0}); },
       "de_DE.UTF-8"},
      {"a locale whose language has no model: English alone, without complaint",
       {70},
       mail,
       [&](Screen& s) { s.window(100, 100, render(mail, "DejaVu Sans 10"), {255}, {0}); },
       "kl_GL.UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setenv("LC_ALL", c.locale, 1);
    Screen screen(1280, 720, c.desktop);
    c.draw(screen);
    const Outcome outcome = recognize(screen.image());
    ASSERT_TRUE(outcome.performed) << outcome.error;
    EXPECT_EQ(outcome.completions, 1);
    std::vector<std::string> lines;
    for (const Observation& o : outcome.observations) {
      EXPECT_TRUE(o.isText);
      ASSERT_EQ(o.topCandidates.size(), 1U);
      lines.push_back(o.topCandidates[0].string);
      // Clean rendered text: Tesseract is sure of it, on the 0..1 scale.
      EXPECT_GT(o.topCandidates[0].confidence, 0.8F) << o.topCandidates[0].string;
      EXPECT_LE(o.topCandidates[0].confidence, 1.0F);
    }
    EXPECT_EQ(lines, c.expected);
  }
}

TEST(TesseractRecognizer, TwoEnginesReturnEveryBandsLinesInPageOrder) {
  // Enough lines for several bands, shared by two engines that finish them
  // in no fixed order.
  const std::vector<std::string> report{
      "The quarterly report is ready for review this morning.", "Please send the updated contract to the legal team.",
      "Our new build pipeline cut the release time in half.",   "Remember to back up your files before the update.",
      "The meeting with the design group moved to Thursday.",   "Customers asked for a simpler checkout page.",
      "The server logs show a steady increase in traffic.",     "Travel expenses must be submitted within thirty days.",
      "The library keeps printed copies of every report.",      "A short walk after lunch helps the team stay focused.",
      "Migration of the old database finished overnight.",     "Each new employee receives a laptop and a badge.",
      "The weather service expects heavy rain on the coast.",   "Every invoice needs a purchase order number.",
  };
  Screen screen(1280, 720, {40});
  screen.window(40, 30, render(report, "DejaVu Sans 11"), {255}, {0});
  std::string error;
  const auto module = tesseract::OcrModule::load(error);
  ASSERT_TRUE(module) << error;
  KestrovaOcrOptions twoEngines{};
  twoEngines.threads = 2;
  std::vector<tesseract::RecognizedLine> lines;
  ASSERT_TRUE(module->recognize(screen.image(), twoEngines, nullptr, lines, error)) << error;
  std::vector<std::string> texts;
  for (const auto& line : lines) texts.push_back(line.text);
  EXPECT_EQ(texts, report);
}

TEST(TesseractRecognizer, AScreenWithoutTextHasNoObservations) {
  Screen screen(800, 600, {40});
  screen.window(100, 100, Gray{400, 200, std::vector<std::uint8_t>(400 * 200, 255)}, {250}, {0});
  const Outcome outcome = recognize(screen.image());
  ASSERT_TRUE(outcome.performed) << outcome.error;
  EXPECT_EQ(outcome.completions, 1);
  EXPECT_TRUE(outcome.observations.empty());
}

TEST(TesseractRecognizer, FailuresNameWhatIsMissing) {
  class OtherImage final : public Image {
   public:
    int width() const override { return 1; }
    int height() const override { return 1; }
  };
  const Outcome notRaster = recognize(OtherImage{});
  EXPECT_FALSE(notRaster.performed);
  EXPECT_EQ(notRaster.completions, 0);
  EXPECT_EQ(notRaster.error, "the Tesseract recognizer reads only raster images");

  std::string error;
  const auto module = tesseract::OcrModule::load(error);
  ASSERT_TRUE(module) << error;
  const RasterImage image(8, 8, 8, std::vector<std::uint8_t>(64, 255));
  std::vector<tesseract::RecognizedLine> lines;
  EXPECT_FALSE(module->recognize(image, KestrovaOcrOptions{}, "/nonexistent/tessdata", lines, error));
  EXPECT_EQ(error, "Tesseract language data eng.traineddata not found in /nonexistent/tessdata");
  EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace kestrova::desktop
