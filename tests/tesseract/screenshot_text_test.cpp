// `screenshot` with the real engine on a private display: it reads what
// xterms show in reading order and nothing else, only `screenshot` loads it,
// and without the module the record is still printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/x_session.h"

namespace kestrova::e2e {
namespace {

// A line's text as read: without its terminal's control sequences
// (colours, the cursor hidden), and a run of blanks between words one space.
std::string shown(std::string line) {
  for (std::size_t start; (start = line.find("\033[")) != std::string::npos;) {
    const auto end = std::find_if(line.begin() + static_cast<std::ptrdiff_t>(start) + 2, line.end(),
                                  [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
    line.erase(line.begin() + static_cast<std::ptrdiff_t>(start), end == line.end() ? end : end + 1);
  }
  line.erase(std::unique(line.begin(), line.end(), [](char a, char b) { return a == ' ' && b == ' '; }), line.end());
  return line;
}

TEST(ScreenshotText, ReadsEveryWindowsLinesInReadingOrderAndNothingElse) {
  // Title bars, icons, window edges and the cursor under the text, once read
  // as lines of their own or as first letters, beside windows' text.
  using Xterms = std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>>;  // options, lines
  const std::tuple<const char*, WindowManager, Xterms, const char*> cases[] = {
      {"a light xterm above a dark one, across from it", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "60x3+60+40"},
         {"Please send the updated contract to the legal team.", "The meeting moved to Thursday."}},
        {{"-geometry", "50x4+500+360", "-bg", "#303030", "-fg", "#e0e0e0"},
         {"def load_settings(path):", "rows = read_rows(path, limit=10)"}}}, "C.UTF-8"},
      // Underscores Tesseract leaves out or reads as dashes, and a space it
      // sees beside narrow glyphs of a monospace font.
      {"code in a dark xterm", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "50x4+60+40", "-bg", "#1e1e1e", "-fg", "#e0e0e0"},
         {"class _Cache:", "def __init__(self, size):", "use std::collections::HashMap;"}}}, "C.UTF-8"},
      // The user's language is read besides English.
      {"a German mail in a German locale", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "70x3+60+40"},
         {"Die Straße nach Köln ist für größere Fahrzeuge gesperrt.", "Jörg Müller öffnet um acht."}}}, "de_DE.UTF-8"},
      // Lone short tokens, which the column layout takes for noise.
      {"line numbers alone, beside an indented line", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "10", "-geometry", "40x6+60+40", "-bg", "#f3f3f3", "-fg", "#888888"},
         {"7", "8", "        return total;", "9"}}},
       "C.UTF-8"},
      // A prompt's colours, beside which the model's boxes lag their glyphs
      // and open a space the ink does not have; a git remote's ".git".
      {"a prompt in colour, in a large font", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "16", "-geometry", "60x4+60+40", "-bg", "white", "-fg", "#222222"},
         {"shop_db_1: Up 2 hours (healthy)",
          "\033[1;32mmika@studio\033[0m:\033[1;34m~/work/shop\033[0m$ du -sh node_modules dist",
          "origin git@example.com:ops/infra.git (fetch)"}}}, "C.UTF-8"},
      // A doubled mark the model reads once, its box over both cells, and
      // so a run of w's, which touch.
      {"a command joined by a doubled mark", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "60x4+60+40", "-bg", "#fdf6e3", "-fg", "#586e75"},
         {"\033[1;32mnora@ridge\033[0m:\033[1;34m~/infra/terraform\033[0m$ cd ../ansible && ls",
          "inventory.ini  playbook.yml  roles  vars", "2210 www-data  20   0  771244 S  nginx"}}}, "C.UTF-8"},
      // A closing quote the model makes up after a name in a listing; a
      // remote path whose last s is no prompt's $, after a name's two l's.
      {"a listing in a dark xterm", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "13", "-geometry", "60x5+60+40", "-bg", "#1d1f21", "-fg", "#c5c8c6"},
         {"plan.out      100%   18KB   1.2MB/s   00:00", "nora@ridge:~/infra/terraform$ cd ../ansible && ls",
          "inventory.ini  playbook.yml  roles  vars", "scp all.sql leo@harbor:~/backups"}}},
       "C.UTF-8"},
      // A small letter the model reads as its capital at a line's start.
      {"remotes in a large font", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "16", "-geometry", "84x3+60+40", "-bg", "white", "-fg", "#222222"},
         {"origin git@example.com:ops/infra.git (fetch)", "origin git@example.com:ops/infra.git (push)\033[?25l"}}},
       "C.UTF-8"},
      // A prompt alone on the last line, waiting with the cursor after it,
      // which the model rates as low as decoration.
      {"a prompt waiting for a command", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "60x5+100+100", "-bg", "#1e1e2e", "-fg", "#cdd6f4"},
         {"\033[1;32mleo@harbor\033[0m:\033[1;34m~/apps/ledger\033[0m$ ls", "README.md  src  tests",
          "\033[1;32mleo@harbor\033[0m:\033[1;34m~/apps/ledger\033[0m$ "}}},
       "C.UTF-8"},
      // A window over another's lower right, its top edge across a line of
      // the one under it, where that one's area narrows.
      {"a window over another's lower right", WindowManager::none,
       {{{"-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "60x6+60+40", "-bg", "#263238", "-fg", "#eceff1"},
         {"relay$ mailq | tail -1", "-- 3 Kbytes in 2 Requests.", "relay$ uptime", "08:03:11 up 41 days", "relay$"}},
        {{"-fa", "DejaVu Sans Mono", "-fs", "11", "-geometry", "40x3+330+72", "-bg", "black", "-fg", "#f0e0b0"},
         {"Every 2.0s: uptime", "load average: 1.12"}}},
       "C.UTF-8"},
      {"a wide xterm at the desktop's corner, decorated", WindowManager::openbox,
       {{{"-geometry", "80x24+10+10"}, {"The quick brown fox jumps over the lazy dog"}}}, "C.UTF-8"},
      {"a small xterm at the desktop's corner, decorated", WindowManager::openbox,
       {{{"-geometry", "40x3+10+10"}, {"The quick brown fox"}}}, "C.UTF-8"},
  };
  const std::string title = "kestrova";
  for (const auto& [what, manager, xterms, locale] : cases) {
    XSession session(manager);
    std::vector<std::string> expected;
    for (const auto& [options, lines] : xterms) {
      std::vector<std::string> argv{"xterm", "-u8", "-title", title};
      argv.insert(argv.end(), options.begin(), options.end());
      // A line that ends with a prompt's "$ " waits for a command: no newline after it.
      argv.insert(argv.end(), {"-e", "sh", "-c",
                               "for l; do case $l in *'$ ') printf '%s' \"$l\";; *) printf '%s\\n' \"$l\";; esac; done; "
                               "exec sleep 600",
                               "sh"});
      argv.insert(argv.end(), lines.begin(), lines.end());
      // Each shows before the next starts, which stacks above it.
      session.visibleWindowsOf(session.start(argv).pid());
      // Indentation, control sequences and a blank after the text are no text.
      for (const std::string& line : lines) {
        const std::string text = shown(line.substr(line.find_first_not_of(' ')));
        expected.push_back(text.substr(0, text.find_last_not_of(' ') + 1));
      }
    }
    std::vector<std::string> read;
    nlohmann::json record;
    // Until the xterms have drawn their text; their title bars' title may be read.
    eventually([&] {
      record = nlohmann::json::parse(session.tool({"screenshot"}, {{"LC_ALL", locale}}).out, nullptr, false);
      std::istringstream text(record.is_object() && record["text"].is_string() ? record["text"].get<std::string>() : "");
      read.clear();
      for (std::string line; std::getline(text, line);) {
        if (line != title) read.push_back(line);
      }
      return read == expected;
    }, 20s);
    EXPECT_EQ(read, expected) << what;
    // Clean text: Tesseract is sure of it, on the 0..1 scale, but for a
    // waiting prompt, which it rates low.
    const bool waiting = xterms.back().second.back().ends_with("$ ");
    EXPECT_GT(record.value("confidence", 0.0), waiting ? 0.5 : 0.8) << what << record.dump(2);
    EXPECT_LE(record.value("confidence", 2.0), 1.0) << what;
  }
}

TEST(ScreenshotText, ReadsNamesInCapturedWindowsWhole) {
  // Captures of windows drawn by chromium, whose glyphs no terminal draws
  // alike, and of an xterm's line.
  struct Case {
    const char* picture;
    const char* expected;
    bool amongOthers = false;  // the expected lines are some of the text's
    bool atCorner = false;     // shown at the screen's corner, not 60,40 from it
  };
  const Case cases[] = {
      // A name's second line under its icon, which Tesseract rates 0 at the
      // scale the screen is read at.
      {"wrapped_file_name.pgm", "Screenshot from 2026-03-14\n09-12-44.png"},
      // A period before the extension, which Tesseract reads as a sentence's end.
      {"file_name_with_extension.pgm", "tickets.pdf"},
      // A 1 after a letter, which Tesseract reads as i.
      {"file_name_with_digit.pgm", "budget_q1.xlsx 212.7 kB"},
      // A hidden file's leading period, which Tesseract reads as a hyphen.
      {"hidden_file_name.pgm", ".profile"},
      // The dots of a row's i's and j's, which Tesseract's line finder may
      // make a line of their own, taking a piece of a name with them.
      {"split_file_name.pgm", "lake_10.jpg IMG_1001.jpg"},
      // A window's title, whose period before the extension Tesseract drops.
      {"title_with_file_name.pgm", "ledger.rs"},
      // A number's 0 and 1 in a name, which Tesseract reads as O and l.
      {"number_read_as_letters.pgm", "config.yaml .env data_01.csv data_02.csv"},
      // A white title with a dark shadow, on a bar with dark buttons.
      {"white_title_with_shadow.pgm", "Camera"},
      // A stem the model makes up after a monospace word's last 1.
      {"made_up_last_stem.pgm", "$ docker logs --tail 3 web-1"},
      // A capital among digits and capitals, onto which the boxes of the
      // small letters after it lag: their tops look as high as its.
      {"capital_beside_digits.pgm", "Wed, Dec 9, 2026, 7:58 AM"},
      // A small p the model reads as its capital at a name's start.
      {"name_starting_small.pgm", "passport_scan.png wedding_final_cut.mp4"},
      // A grey size beside a white name's second line, in cells far apart,
      // which the model doubts as one line.
      {"grey_size_beside_name.pgm", "song.mp3 backup_2026_03_0\n6.1 MB 1.zip\n1.2 GB"},
      // A coloured prompt's $, which the model reads as an s.
      {"coloured_prompt_dollar.ppm", "leo@harbor:~/apps/ledger$ ls\nREADME.md src tests\nleo@harbor:~/apps/ledger$"},
      // A bold prompt's first l, which the model reads twice ("lLeo").
      {"doubled_bold_stem.ppm", "leo@harbor:~/apps/ledger$ ls\nREADME.md src tests\nleo@harbor:~/apps/ledger$"},
      // A terminal's lone 0, whose dotted middle the model reads as glyphs
      // of their own, in a line too short to show its own advance.
      {"lone_zero_in_table.pgm",
       "64 bytes from 192.168.1.246: icmp_seq=2 ttl=64 time=6.58 ms\nkofi@orchid:~/deploy$ ping -c 2 tundra.lan\n"
       "64 bytes from 192.168.1.103: icmp_seq=1 ttl=64 time=2.16 ms\n"
       "64 bytes from 192.168.1.127: icmp_seq=2 ttl=64 time=5.41 ms\nkofi@orchid:/etc/nginx$ free -m\n"
       "total used free shared\nMem: 31944 6463 890 309\nSwap: 2047 0 2047"},
      // A name the model doubts, a space put in after its period ("config. yaml").
      {"doubted_monospace_name.pgm", "A LICENSE\nM config.yaml\nM test_api.py"},
      // A monospace word's last glyph, which the model reads twice ("-rwxr-xr-xX").
      {"glyph_read_twice.pgm",
       "ops@basil:/etc/nginx$ ls -la\n-rwxr-xr-x 1 ops ops 47301 Mar 28 12:24 Makefile\n"
       "-rwxr-xr-x 1 ops ops 68257 Jul 21 19:43 go.sum\ndrwxr-xr-x 1 ops ops 13534 Oct 26 16:17 main.go"},
      // A line whose baseline Tesseract placed too low: the tops of the line
      // below's glyphs are no periods before its words or among its digits.
      {"line_below_under_low_baseline.pgm",
       "D notes_2026.txt\nines@quill:~/src/api$ systemctl status node_exporter\n"
       "* node_exporter.service - Node_exporter daemon\n"
       "Active: active (running) since Mon 2026-12-03 21:05:45 UTC; 5h ago\nMain PID: 9343 (node_exporter)\n"
       "ines@quill:/etc/nginx$ uptime\n05:06:26 up 37 days, 7:00, 2 users, load average: 3.08, 0.23, 0.90"},
      // A bright bold prompt's @, which the model reads twice ("roota@mesa").
      {"at_sign_read_twice.ppm", "root@mesa:~/src/api$ python3 sync.py\nTraceback (most recent call last):"},
      // Such an @ that the model reads as an e ("rootemesa"), its box reaching below the baseline.
      {"at_sign_read_as_letter.ppm", "root@mesa:~$ df -h /\nFilesystem Size Used Avail Use% Mounted"},
      // A prompt of a host alone: its a is no @.
      {"host_prompt_with_a.pgm",
       "data:~/src$ ls -la\n-rw-r--r-- 1 leo leo 4120 Mar 3 10:12 main.c\n"
       "-rw-r--r-- 1 leo leo 2210 Mar 3 10:12 parser.c\n"
       "-rw-r--r-- 1 leo leo 981 Mar 3 10:12 Makefile\ndata:~/src$ make\ncc -O2 -c main.c -o main.o"},
      // kubectl's READY counts, which the model doubts with the line or alone.
      {"ready_counts_doubted.ppm",
       "media_proxy-0f365 1/1 Error 1\nweb-frontend-c3cd7 2/2 Pending 0\nqueue-relay-72bd9 1/1 Error 0"},
      // A terminal's straight quotes, which the model reads as curly ones.
      {"straight_quotes_monospace.pgm", "File \"app.py\", line 119, in <module>\nKeyError: 'parser_release'"},
      // A commit's f, which the model reads as a # at a hash's start.
      {"hex_f_read_as_hash.pgm", "f506b40 Merge docs for v2\n8b5b7a7 Merge parser in CI\nc76fb00 Drop token in CI"},
      // Colour codes, whose # stands on two legs: no f.
      {"colour_codes_with_hash.pgm", "bg = #282a36; fg = #d4d4d4; accent = #3a7bd5\n$ git show --stat 7f9063b"},
      // A bold prompt's @, whose tail the model reads as a G beside it.
      {"bold_prompt_at.pgm", "leo@harbor:~/apps/ledger$ ls\nREADME.md src tests\nleo@harbor:~/apps/ledger$"},
      // A dark sheet's column letters, whose I the model reads as a bar.
      {"column_letters_dark.pgm", "A B C D E F G H I J K"},
      // A faint decimal point in a grey size, which Tesseract drops; and
      // commas right after digits, which are no points between them.
      // A file's name the model doubts at both scales, its underscores and
      // capitals most: a name is text whatever its rating.
      {"doubted_file_name.pgm", "budget_FINAL_final.xlsx"},
      {"decimal_point_in_grey_size.pgm", "docker-image-sha-\n9f2c.tar\n1.4 GB"},
      {"thousands_comma.pgm", "112,905 2026-01-27 2026-07-27\n203,544 2025-12-03 2026-06-03\n41,009 2026-03-02 2027-03-02"},
      // A serif l, flagged with a foot both ways like a 1, under a monospace
      // line whose l's feet tell the two apart.
      {"serif_line_under_monospace.pgm", "pip install pyyaml; python3 -m pytest -q\nYesterday, people in Plymouth paid."},
      // A closing quote the model makes up after a word, with no ink of its own.
      {"menu_bar_words.pgm", "File Edit View Insert Format Data Tools Help"},
      // A grid's names read as one line across wide blanks, whose context
      // turns a name's r into a T.
      {"names_in_grid_row.pgm", "Sintra raw_exports panorama_01.tif DSC00931.ARW DSC00932.ARW itinerary.odt"},
      // A template string's backtick, which the model reads as an asterisk.
      {"template_string_backtick.pgm", "fetch(`/api/customers/${customerId}/orders"},
      // A shell variable's $, which the model reads as an S.
      {"shell_variable_dollar.pgm", "find \"$BACKUP_DIR\" -name 'app_*.dump' -mtime +\"$KEEP_DAYS\" -delete", true},
      // A day's 1 the model reads as an i run into its month ("Jani").
      {"day_read_as_letter.pgm",
       "Category Planned Actual Difference Paid by Due\nRent 1,450.00 1,450.00 0.00 Transfer Jan 1\n"
       "Groceries 520.00 611.37 -91.37 Card weekly"},
      // A host name's 1, drawn as the 1's of the numbers below, which the model reads as an l.
      {"host_digit_read_as_letter.pgm", "node-a1 412m 10% 6120Mi 39%", true},
      // A percent sign at a word's start, which the model reads as an s.
      {"percent_read_as_letter.pgm", "%Cpu(s): 3.1 us, 1.0 sy, 0.0 ni, 95.6 id, 0.2 wa, 0.0 hi, 0.1 si, 0.0 st", true},
      // Touching w's, the last of which the box of the hyphen after them takes in.
      {"hyphen_over_last_letter.pgm", "2210 www-data 20 0 771244 64120 12904 S 1.0 0.4 3:12.55 nginx", true},
      // Addresses alike up to their last number, which the line finder
      // leaves out as a column of its own, read again with their lines.
      {"address_beside_aligned_prefix.pgm",
       "10.0.3.17 - - [09/Dec/2026:09:40:58 +0000] \"GET /api/v2/invoices?page=3 HTTP/1.1\" 200 5120\n"
       "10.0.3.17 - - [09/Dec/2026:09:40:59 +0000] \"GET /healthz HTTP/1.1\" 200 2\n"
       "10.0.3.42 - - [09/Dec/2026:09:41:02 +0000] \"POST /api/v2/payments HTTP/1.1\" 502 166\n"
       "10.0.3.42 - - [09/Dec/2026:09:41:03 +0000] \"POST /api/v2/payments HTTP/1.1\" 201 412\n"
       "10.0.3.9 - - [09/Dec/2026:09:41:05 +0000] \"GET /static/app.js HTTP/1.1\" 304 0",
       true},
      // A 1 before an underscore, which below it looks like an l's foot bent right.
      {"one_before_underscore.pgm", "tar -czf dist/atlas_3.4.1_linux_amd64.tar.gz -C bin atlas", true},
      // ss's process column: a comma's blank beside the quote before it, and
      // the last closing bracket read as a word of its own.
      {"closing_brackets_apart.pgm",
       "users:((\"nginx\",pid=1190,fd=6))\nusers:((\"postgres\",pid=845,fd=7))\n"
       "users:((\"sshd\",pid=702,fd=3))\nusers:((\"redis-server\",pid=731,fd=6))"},
      // A statement's semicolon read as a word of its own.
      {"statement_end_apart.pgm", "17 if stored_at.elapsed() > self.ttl {\n18 self.entries.remove(key);"},
      // A name's leading underscores, which the model reads as a word of their own.
      {"name_after_leading_underscores.pgm", "invoicing\n__init__.py"},
      // A small title whose end the layout left out.
      {"title_end_left_out.pgm", "lena@marten: ~/src/ledger", true},
      // du's sizes: a G read as a 6, drawn as the G's of the lines beside it.
      {"size_unit_read_as_digit.pgm", "1.2G cache\n6.8G artifacts-2026-11\n19G artifacts-2026-12\n47G docker-layers",
       true},
      // Markdown's code between backticks, which the model reads as curly
      // quotes, a tilde and an asterisk.
      {"markdown_code_backticks.pgm",
       "1. Bump the version in `Cargo.toml` and `package.json`.\n"
       "2. Run `make dist` and check the archive size (< 12 MB)."},
      // A monospace l whose flag the model boxes with the colon before it,
      // read as L.
      {"l_flag_boxed_with_colon.pgm", "app-web-1 app-web:latest Up 2 hours"},
      // A number after a word whose letters' boxes lag right, over the
      // blank between them, where the model drops the space.
      {"number_after_lagging_boxes.pgm", "main Ln 21, Col 3 Tab Size: 4 UTF-8 Go"},
      // Numbers one blank cell apart, which the model reads as one.
      {"columns_one_space_apart.pgm",
       "2 0 0 812344 102812 4419020 0 0 3 41 212 388 7 2 90 1 0\n"
       "1 0 0 811960 102812 4419104 0 0 0 128 498 902 4 1 94 1 0"},
      // A heading between rules drawn in text, read as nothing whole.
      {"heading_between_text_rules.pgm", "FAILURES"},
      // A status bar's items, which the model doubts as one line.
      {"status_items_doubted_as_one.pgm", "main Ln 12, Col 15 Spaces: 2 UTF-8 YAML"},
      // A line of code the model rates 0, its l's read as "Ll".
      {"monospace_line_rated_nought.pgm", "21 Some(value.clone())\n22 }"},
      // Status tags, white on colour, too small for cells of their own.
      {"status_tags.ppm", "Active 2026-11-30\nActive 2026-12-01\nInvited never\nSuspended 2026-08-14"},
      // A dialog's buttons beside a strip of the editor under it, whose glyphs
      // make the buttons' line taller than its words.
      {"dialog_beside_editor.pgm", "Your changes will be lost if you don't save them.\nDon't Save Cancel Save", true},
      // Buttons drawn as faint outlines, whose sides the model reads as bars.
      {"outlined_buttons.ppm", "Reply Reply all Forward Move"},
      // An L between capitals, into whose box the E before it reaches with
      // its arms, which look like a monospace l's flag.
      {"capital_l_after_capital_e.pgm", "of before, or cap the jitter at MAX_DELAY / 4."},
      // A rate of nothing in a table's cell, read as one word.
      {"zero_rate_in_a_table.ppm", "avahi-daemon avahi 899 0.0 3.9 MiB 0 B/s Normal"},
      // A colon that opens a block, in the cell after a bracket, which the
      // model reads as a word of its own.
      {"colon_after_bracket.pgm", "49 for attempt in range(MAX_ATTEMPTS):", true},
      // A grid's cards beside cards whose titles take a line more: the
      // model reads each card's gray lines with its neighbours' titles and
      // boxes their words squashed or cut.
      {"staggered_card_rows.pgm", "Orbit Club\n688K views - 1 month ago", true},
      // A calendar's days, before whose first digits the model makes up
      // marks boxed within the digit's first column.
      {"calendar_days_beside_events.pgm", "8 9 10 11 12 13 14", true},
      // A heading read in one line with a sidebar's and an outline's small
      // text, its letters spaced as their words.
      {"heading_beside_small_text.pgm", "Caching On this page", true},
      // A file's owner and group, which the model reads as one word where it
      // spaces the number before them.
      {"owner_beside_group.pgm", "-rwxr-xr-x 1 eli eli 9416 Dec 9 18:02 install.sh"},
      // A status bar's label and its number, a space apart after the colon.
      {"label_colon_before_number.pgm", "main Ln 9, Col 1 Spaces: 2 UTF-8 Shell Script"},
      // An underscore after a letter whose foot ends below the line's baseline.
      {"foot_below_baseline_before_underscore.pgm", "+ BASE_DELAY = 0.5"},
      // A weather app's large, thin digits, whose 2's base is as long as a rule.
      {"large_digits_with_bars.pgm", "21°"},
      // A file manager's breadcrumb through a mounted device, numbered from zero.
      {"device_number_zero.pgm", "media / usb0 / DCIM"},
      // A sidebar whose items below its selected one fall between a grid's rows.
      {"sidebar_beside_grid.pgm", "nas\n100CANON 101CANON MISC IMG_0001.CR3 IMG_0002.CR3", true},
      // A test runner's heading set between rules of equals signs.
      {"equals_rule_in_test_output.ppm", "=================== FAILURES ===================", true},
      // An app's button outlined as a pill, whose round ends are no parentheses.
      {"pill_button.pgm", "3D modelling and animation Install", true},
      // A capital O that starts a word in a table beside a status chip.
      {"capital_o_starting_word.pgm", "Priya Raman priya.raman@acorn.io Owner Active 2 minutes ago", true},
      // An s the model boxes so narrow that the slice looks like an equals sign.
      {"s_boxed_narrow.pgm", "The checkout page still uses the old colours, I will fix it today."},
      // A small grey i whose box lags onto the letter before it, off its dot.
      {"i_boxed_over_letter_before.pgm", "Liam O'Brien liam.obrien@acorn.io Billing Active 3 days ago", true},
      // A file grid's names under thumbnails that shade light toward a
      // corner, where wedges of the thumbnails stayed as marks ("7) .").
      {"names_under_gradient_thumbnails.pgm",
       "invoice_0042.pdf Q3 plan.odp installer-1.8.2.deb data_export.json IMG_7781.HEIC scan0001.tif"},
      // A row of names under thumbnails that the layout read as two lines
      // over the same words ("invoice" over "invoice_0042").
      {"names_stacked_under_thumbnails.pgm",
       "invoice_0042.pdf Q3 plan.odp installer-1.8.2.deb data_export.json IMG_7781.HEIC scan0001.tif"},
      // Small monospace logs whose underscore lies below its word's box,
      // which left its cell blank: "user=u_ 7050".
      {"underscore_below_word_box.pgm",
       "2026-05-06 14:03:04.187 INFO [pricing] req_id=c0f551b4 GET /api/v3/prices?sku=SKU-19119 200 401ms user=u_7050",
       true},
      // A serial console's dotted zero after a bracket, read as a 9.
      {"dotted_zero_read_as_nine.pgm",
       "Welcome to minicom 2.9\nPort /dev/ttyACM0, 14:22:07\n[00012.480] boot: sensor_node v0.7.3\n"
       "[00012.482] i2c: bme280 found at 0x76\n[00013.001] temp=21.84C rh=43.1% p=1012.6hPa\n"
       "[00014.001] temp=21.86C rh=43.0% p=1012.6hPa\n[00015.001] temp=21.85C rh=43.2% p=1012.5hPa\n"
       "[00015.220] lora: tx 24 bytes sf7 ok"},
      // vmstat's row whose first zero the model doubts, read as a 6.
      {"doubted_zero_in_vmstat.pgm", "0 0 811020 0 0 0 18 288 590 3 1 96", true, true},
      // A small button's s, whose counters close into the rings of a %.
      {"small_s_on_button.ppm", "Print test page Close"},
      // A window's line beside the border of the window under it, whose end
      // across the window's edge was read as marks ("_=web02$").
      {"window_border_beside_line.pgm", "web02$ sudo systemctl restart nginx", true, true},
      // A dialog's straight double quotes, which the model reads as curly ones.
      {"double_quotes_in_dialog.pgm", "Save changes to \"quarterly-report.odt\" before closing?", true},
      // Apostrophes that end words, which have ink of their own.
      {"possessive_apostrophes.pgm", "The teachers\u2019 lounge and the students\u2019 rooms are closed."},
      // A file name's t that the model boxed as a sliver past the period,
      // off its ink ("CMakeLists.xt").
      {"sliver_boxed_after_period.pgm", "libfoo-2.3.1.tar.gz CMakeLists.txt configure.ac"},
      // A sans serif file name's 1 read as l ("Al"), its font's l a bare stem
      // beside it ("flac"); and a serif paragraph, whose l's have a flag and
      // a foot however small, where no l is a 1.
      {"one_read_as_l_in_sans_name.pgm", "A1 - Opening.flac A2 - Harbor Lights.flac A3 - Slow Tide.flac"},
      {"serif_ls_in_a_newspaper.pgm",
       "The river festival comes back to the old harbour this\nsummer, with boat races on both weekends and a\n"
       "night market along the quay."},
      // A terminal's names with periods, whose boxes span their cells and take
      // in the foot of the next glyph: no underscore, whose ink lies flat
      // unbroken across.
      {"periods_in_monospace_names.pgm",
       "nora@atlas ~/site $ git status -s\nM src/header.html\nM src/styles.css\nA src/footer.html"},
      // A 56 px bold heading's ligature of two f's, whose bar is as long as
      // a short rule ("E““ortless" when it was erased).
      {"ligature_in_bold_heading.pgm", "Effortless Office"},
      // A footer's small links whose spaces the model left out ("Termsofuse");
      // and a heading whose capitals stand over wide blanks in the small
      // letters' rows, which are no spaces ("T hat").
      {"spaces_missed_in_footer_links.pgm", "Accessibility Terms of use Cookies Contact us"},
      {"capitals_over_wide_blanks.pgm", "Dashboards That Explain Themselves"},
      // Underlined links whose underline their descenders break: the piece
      // under a space was read as an underscore ("Security_policy").
      {"underlined_links_broken_by_descenders.pgm", "Security policy Code of conduct Status page Discord server"},
      // A small f whose crossbar blurs into its stem, read as an i ("setup.cig").
      {"small_f_read_as_i.pgm", "setup.cfg jq_filters.txt"},
      // A terminal's coloured label at the start of a line, against the
      // window's side, read with the panel's strips beside it ("[ FATAL]").
      {"label_at_window_side.pgm", "FATAL Can't open the append-only file: Permission denied", true},
      // A 150% heading's bold W, whose strokes fill whole cells of one gray
      // and were taken for an area of their own, cut out of the line.
      {"huge_bold_letter_read_whole.pgm", "Without the"},
      // A sheet's grade with a plus, which the model reads as a t ("Bt").
      {"plus_after_capital.pgm",
       "Ada Byrne 8 9 84 91 88.5 B+\nBo Chen 7 6 72 80 75.0 C\nCara Diaz 10 9 95 97 95.8 A\nDev Patel 6 8 68 74 71.2 C-"},
      // Small names under thumbnails whose o's the model read as zeros and
      // whose g it read as a Q ("z00_Qiraffe.jpg"), all at the small letters' height.
      {"small_letters_read_as_zeros.pgm",
       "birthday_cake.jpg grandma_visit.jpg zoo_giraffe.jpg zoo_penguins.jpg first_day_school.jpg swim_medal.jpg"},
      // A small o before a digit, which is no zero for its place alone
      // ("g01.22"); a host's zero, as tall as a capital, which the model
      // reads as an o ("ssh appo2" on a title bar); and a device's zero
      // between small letters, read as a capital O, which is wider
      // ("nvmeOn1p3").
      {"o_beside_a_taller_digit.pgm", "go1.22.linux.tar.gz"},
      {"host_number_in_title.pgm", "ssh app02", true},
      {"device_zero_amid_small_letters.pgm", "Devices\nNetwork\nnvme0n1p3"},
      // A zero between a capital and a digit, or before a number's decimals,
      // read as an O ("transcript_LO1", "util-O.11").
      {"zero_after_a_capital.pgm", "transcript_L01.vtt"},
      {"zero_before_decimals.pgm", "dfu-util-0.11.deb"},
      // A grid's doubtful row whose cells' first p the layout left out
      // ("ayslip_Mar.pdf"), and whose capital L after a 7 has the 7's bar
      // in its box, like an l's flag ("1257l").
      // A chat message's small, dim time, doubted and a digit wrong ("18:25").
      {"clock_time_beside_a_message.pgm", "Yes, 19:30 to 21:00. Bring a pencil, we are marking the Faure 18:35"},
      {"glyph_left_out_of_a_cell.pgm",
       "insurance_policy_11042.pdf payslip_Mar.pdf payslip_Apr.pdf savings_goal.md loan_schedule.ods "
       "tax_code_1257L.pdf"},
      // A sheet's formula bar, which beside its dim "fx" the model rates as
      // low as decoration.
      {"formula_bar_beside_fx.pgm", "F14 fx =MEDIAN(F2:F13)"},
      // A dark chat list's dim previews beside plain avatars, whose black
      // discs pulled the threshold below the previews' gray.
      {"dim_previews_beside_avatars.pgm",
       "Jonas Weber 18:40\nKeys are under the mat\nClimbing group Yesterday\nWall opens at 6"},
      // A chat bubble's capital I, which the model read as a bar ("the list,
      // | pass"); and bars between words, set in the same sans serif font,
      // which reach below the baseline and stay bars.
      {"capital_i_read_as_bar.pgm", "Adding both to the list, I pass the shop anyway 18:12"},
      {"bars_between_words.pgm", "tea | coffee | juice, then | pick one"},
      // A test runner's capital word under its progress dots, a period of
      // which stands over the I like a dot ("FAiLED").
      {"capital_i_under_a_period.ppm", "FAILED login test: got 401", true, true},
      // A column of letter grades beside their scores, which the layout drops
      // and the model doubts one by one; a score it doubts alone ("91"), and
      // one it reads better alone than in its column ("77").
      {"letter_grades_column.pgm", "88 85 87.9 B+\n79 90 83.4 B\n61 70 65.0 D\n91 94 92.6 A-\n77 82 79.5 C+", true},
  };
  for (const auto& [picture, expected, amongOthers, atCorner] : cases) {
    XSession session;
    session.start({KESTROVA_PEER, "picture", std::string(KESTROVA_PICTURES "/") + picture, atCorner ? "0" : "60",
                   atCorner ? "0" : "40"});
    std::string text;
    const auto read = [&] {
      return amongOthers ? ("\n" + text + "\n").find("\n" + std::string(expected) + "\n") != std::string::npos
                         : text == expected;
    };
    eventually([&] {
      const auto record = nlohmann::json::parse(session.tool({"screenshot"}).out, nullptr, false);
      text = record.is_object() && record["text"].is_string() ? record["text"].get<std::string>() : "";
      return read();
    }, 20s);
    EXPECT_TRUE(read()) << picture << " read:\n" << text;
  }
}

TEST(ScreenshotText, OnlyScreenshotLoadsTesseract) {
  XSession session;
  session.startXterm();
  const std::pair<std::vector<std::string>, bool> cases[] = {
      {{"active-app"}, false}, {{"clipboard"}, false}, {{"activate", "1"}, false}, {{"screenshot"}, true}};
  for (const auto& [args, loads] : cases) {
    // The dynamic loader lists every library it opens.
    const auto result = session.tool(args, {{"LD_DEBUG", "libs"}});
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.err.find("libtesseract") != std::string::npos, loads) << args.front();
    EXPECT_EQ(result.err.find("kestrova-ocr.so") != std::string::npos, loads) << args.front();
  }
}

TEST(ScreenshotText, WithoutTheModuleTheRecordIsStillPrinted) {
  XSession session;
  const std::filesystem::path scratch = scratchPath("lonely"), lonely = scratch / "bin" / "kestrova-capture";
  std::filesystem::create_directories(lonely.parent_path());
  std::filesystem::copy_file(toolPath(), lonely);
  const auto result = session.run({lonely.string(), "screenshot"});
  std::filesystem::remove_all(scratch);
  // One line naming what is missing and where it was looked for; the record as with nothing read.
  const std::string looked = "OCR error: the Tesseract module kestrova-ocr.so is missing; looked in " +
                             lonely.parent_path().string() + " ";
  EXPECT_TRUE(result.err.starts_with(looked) && std::count(result.err.begin(), result.err.end(), '\n') == 1)
      << result.err;
  EXPECT_TRUE(ranWith(result, result.out, result.err, 0));
  EXPECT_TRUE(result.out.starts_with("{\n  \"text\": \"\",\n") && result.out.ends_with("\"confidence\": 0.0\n}\n"))
      << result.out;
}

}  // namespace
}  // namespace kestrova::e2e
