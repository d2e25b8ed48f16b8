"""The benchmark's screens: each is shown on a private X display by real
programs (xterm, pango-view, chromium) and comes with the text it shows."""

import os
import shutil
import subprocess
import tempfile
from dataclasses import dataclass, field

WIDTH, HEIGHT = 1920, 1080
DESKTOP_COLOR = "#1b1f24"

PROSE = [
    "The quarterly report is ready for review and the numbers look better than expected.",
    "Please send the updated contract to the legal team before Friday afternoon.",
    "Our new build pipeline cut the average release time from two hours to twenty minutes.",
    "Remember to back up your files before installing the system update tonight.",
    "The meeting with the design group moved to Thursday at half past ten in room four.",
    "Customers asked for a simpler checkout page and a clearer return policy.",
    "The server logs show a steady increase in traffic since the spring campaign started.",
    "We should write down every decision together with the reason we made it.",
    "Travel expenses must be submitted within thirty days of the end of the trip.",
    "The library keeps printed copies of every annual report since the company was founded.",
    "A short walk after lunch helps the whole team stay focused in the afternoon.",
    "Migration of the old database finished overnight without any lost records.",
    "Our support team answered most questions within one hour during the holiday week.",
    "Each new employee receives a laptop, a badge and a welcome letter on the first day.",
    "The weather service expects heavy rain along the coast for the rest of the week.",
    "Every invoice needs a purchase order number and the name of the approving manager.",
    "The marketing plan focuses on small businesses in the northern region this year.",
    "Please close the windows and turn off the lights when you leave the office.",
    "Security training is mandatory for everyone who has access to customer data.",
    "The printer on the second floor is out of paper again and needs a new cartridge.",
    "Volunteers are welcome to help organize the charity run next month.",
    "The museum opens a new exhibition about early computers and their inventors.",
    "Our goal is to reduce energy use in the building by fifteen percent.",
    "The kitchen will be cleaned on Monday morning, so please take your food home.",
]

SHELL_SESSION = [
    "$ git status",
    "On branch main",
    "Your branch is up to date with origin/main.",
    "Changes not staged for commit:",
    "  modified:   src/report/summary.cpp",
    "  modified:   docs/install.md",
    "$ make test",
    "Running 42 tests from 7 suites.",
    "All tests passed in 3.2 seconds.",
    "$ ls documents",
    "budget.xlsx  contracts  invoices  meeting-notes.txt  travel",
    "$ cat meeting-notes.txt",
] + PROSE[:8]

SERVER_LOG = [
    "$ journalctl --unit backup --since today",
    "Starting nightly backup of the customer database.",
    "Copied 1824 files to the archive volume.",
    "Verified checksums for every copied file.",
    "Removed archives older than ninety days.",
    "Backup finished successfully in 14 minutes.",
    "$ df --human-readable /srv",
    "Filesystem      Size  Used Avail Use% Mounted on",
    "/dev/sdb1       916G  412G  458G  48% /srv",
    "$ tail notes.txt",
] + PROSE[8:16]

CODE = [
    ("kw", "import"), ("plain", " json\n"),
    ("kw", "from"), ("plain", " pathlib "), ("kw", "import"), ("plain", " Path\n\n"),
    ("kw", "def"), ("fn", " load_settings"), ("plain", "(path):\n"),
    ("plain", "    "), ("com", "# Read the settings file and return a dictionary.\n"),
    ("plain", "    text = Path(path).read_text(encoding="), ("str", "\"utf-8\""), ("plain", ")\n"),
    ("plain", "    "), ("kw", "return"), ("plain", " json.loads(text)\n\n"),
    ("kw", "def"), ("fn", " save_report"), ("plain", "(report, folder):\n"),
    ("plain", "    target = Path(folder) / "), ("str", "\"summary.json\""), ("plain", "\n"),
    ("plain", "    "), ("kw", "with"), ("plain", " open(target, "), ("str", "\"w\""), ("plain", ") "), ("kw", "as"), ("plain", " handle:\n"),
    ("plain", "        json.dump(report, handle, indent="), ("num", "2"), ("plain", ")\n"),
    ("plain", "    "), ("kw", "return"), ("plain", " target\n\n"),
    ("kw", "class"), ("fn", " Counter"), ("plain", ":\n"),
    ("plain", "    "), ("com", "# Counts how often each word appears in a document.\n"),
    ("plain", "    "), ("kw", "def"), ("fn", " __init__"), ("plain", "(self):\n"),
    ("plain", "        self.words = {}\n\n"),
    ("plain", "    "), ("kw", "def"), ("fn", " add"), ("plain", "(self, word):\n"),
    ("plain", "        self.words[word] = self.words.get(word, "), ("num", "0"), ("plain", ") + "), ("num", "1"), ("plain", "\n"),
]
CODE_COLORS = {"kw": "#569cd6", "fn": "#dcdcaa", "str": "#ce9178", "com": "#6a9955", "num": "#b5cea8",
               "plain": "#d4d4d4"}
SIDEBAR_FILES = ["EXPLORER", "settings.py", "report.py", "counter.py", "README.md", "requirements.txt"]

TABLE = [
    ["Region", "Manager", "Orders", "Revenue", "Status"],
    ["North", "Alice Morgan", "1284", "52,310", "On track"],
    ["South", "Brian Walsh", "972", "40,115", "Delayed"],
    ["East", "Carla Jensen", "1530", "61,870", "On track"],
    ["West", "David Brooks", "845", "33,402", "Review"],
    ["Central", "Emma Fischer", "1121", "47,990", "On track"],
    ["Coast", "Frank Duval", "690", "28,540", "Delayed"],
    ["Valley", "Grace Owens", "1405", "58,225", "On track"],
    ["Harbor", "Henry Stone", "760", "30,980", "Review"],
    ["Summit", "Irene Wolfe", "1012", "42,660", "On track"],
    ["Lakes", "James Porter", "918", "37,145", "Delayed"],
]

UI_DIALOG = {
    "title": "Notification settings",
    "rows": [
        ("Email summaries", "Send a short summary of new messages every morning."),
        ("Desktop alerts", "Show a small window when a colleague mentions you."),
        ("Quiet hours", "Pause all alerts between ten in the evening and seven in the morning."),
        ("Weekly digest", "Collect the most popular posts of the week in one message."),
    ],
    "footer": "Changes are saved automatically for this account.",
    "buttons": ["Cancel", "Reset", "Save changes"],
}


@dataclass
class Screen:
    name: str
    truth: str
    processes: list = field(default_factory=list)


class Corpus:
    """Shows one screen at a time on `display`, in files under a temp folder."""

    def __init__(self, display, workdir):
        self.display = display
        self.workdir = workdir
        self.env = dict(os.environ, DISPLAY=display)

    def _start(self, args):
        return subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _write(self, name, text):
        path = os.path.join(self.workdir, name)
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
        return path

    def _desktop(self):
        subprocess.run(["xsetroot", "-solid", DESKTOP_COLOR], env=self.env, check=True)

    def _show_image(self, png, x, y):
        return self._start(["display", "-borderwidth", "0", "-geometry", f"+{x}+{y}", png])

    def _terminal(self, lines, bg, fg, geometry, size):
        path = self._write("terminal.txt", "\n".join(lines) + "\n")
        # Hides the cursor after the text so the screen shows the text alone.
        script = f"cat {path}; printf '\\033[?25l'; exec sleep 100000"
        return self._start(["xterm", "-fa", "DejaVu Sans Mono", "-fs", str(size), "-bg", bg, "-fg", fg,
                            "-geometry", geometry, "+sb", "-e", "sh", "-c", script])

    def _pango(self, name, markup, font, bg, fg, width):
        path = self._write(name + ".markup", markup)
        png = os.path.join(self.workdir, name + ".png")
        subprocess.run(["pango-view", "-q", "--markup", "--dpi=96", f"--font={font}", f"--width={width}",
                        "--margin=24", f"--background={bg}", f"--foreground={fg}", "--hinting=full",
                        f"--output={png}", path], check=True, env=self.env)
        return png

    def _chromium(self, name, html, width, height):
        path = self._write(name + ".html", html)
        png = os.path.join(self.workdir, name + ".png")
        profile = tempfile.mkdtemp(prefix="chromium-", dir=self.workdir)
        subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                        "--disable-background-networking", "--disable-component-update", "--disable-sync",
                        "--hide-scrollbars", f"--user-data-dir={profile}", f"--window-size={width},{height}",
                        f"--screenshot={png}", "file://" + path],
                       check=True, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        shutil.rmtree(profile, ignore_errors=True)
        return png

    def screens(self):
        return [self.terminal_light, self.terminal_dark, self.document, self.code_editor, self.ui_dialog,
                self.table, self.full_text]

    def terminal_light(self):
        self._desktop()
        p = self._terminal(SHELL_SESSION, "white", "black", "100x24+120+90", 11)
        return Screen("terminal light", "\n".join(SHELL_SESSION), [p])

    def terminal_dark(self):
        self._desktop()
        p = self._terminal(SERVER_LOG, "#1e1e1e", "#d0d0d0", "100x24+700+300", 11)
        return Screen("terminal dark", "\n".join(SERVER_LOG), [p])

    def document(self):
        self._desktop()
        heading = "Annual planning notes"
        parts = [f"<span size='12pt' weight='bold'>{heading}</span>"]
        truth = [heading]
        for size, chunk in (("10pt", PROSE[0:5]), ("9pt", PROSE[5:10]), ("8.25pt", PROSE[10:14]),
                            ("11pt", PROSE[14:17])):
            text = " ".join(chunk)
            parts.append(f"<span size='{size}'>{text}</span>")
            truth.append(text)
        png = self._pango("document", "\n\n".join(parts), "Liberation Serif 10", "#ffffff", "#202020", 820)
        return Screen("document", "\n".join(truth), [self._show_image(png, 460, 70)])

    def code_editor(self):
        self._desktop()
        spans = "".join(f"<span style='color:{CODE_COLORS[k]}'>{t.replace('<', '&lt;')}</span>" for k, t in CODE)
        sidebar = "".join(f"<div class='file'>{name}</div>" for name in SIDEBAR_FILES)
        html = f"""<html><body style="margin:0;display:flex;height:100%;font-size:13px">
<div style="width:220px;background:#f3f3f3;color:#333;font-family:'DejaVu Sans';padding:12px">
<style>.file{{padding:4px 8px}}</style>{sidebar}</div>
<pre style="flex:1;margin:0;padding:16px;background:#1e1e1e;font-family:'DejaVu Sans Mono';font-size:14px;
line-height:20px">{spans}</pre></body></html>"""
        png = self._chromium("editor", html, 1100, 720)
        code_text = "".join(t for _, t in CODE)
        truth = "\n".join(SIDEBAR_FILES) + "\n" + code_text
        return Screen("code editor dark", truth, [self._show_image(png, 300, 160)])

    def ui_dialog(self):
        self._desktop()
        d = UI_DIALOG
        rows = "".join(f"""<div class="row"><div class="label">{label}</div>
<div class="hint">{hint}</div><button>Change</button></div>""" for label, hint in d["rows"])
        buttons = "".join(f"<button class='{'primary' if i == len(d['buttons']) - 1 else ''}'>{b}</button>"
                          for i, b in enumerate(d["buttons"]))
        html = f"""<html><head><style>
body {{ margin:0; background:#f5f5f5; font-family:'Liberation Sans'; font-size:12px; color:#777; }}
h1 {{ font-size:15px; color:#333; margin:0 0 12px 0; }}
.box {{ padding:20px 24px; }}
.row {{ display:flex; align-items:center; padding:8px 0; border-bottom:1px solid #e2e2e2; }}
.label {{ width:150px; color:#444; }} .hint {{ flex:1; }}
button {{ font-family:'Liberation Sans'; font-size:12px; color:#333; background:#e4e4e4; border:1px solid #c8c8c8;
  border-radius:4px; padding:4px 12px; margin-left:8px; }}
button.primary {{ background:#2f6fd6; color:white; border-color:#2a5fb8; }}
.footer {{ margin-top:14px; }} .actions {{ text-align:right; margin-top:12px; }}
</style></head><body><div class="box"><h1>{d['title']}</h1>{rows}
<div class="footer">{d['footer']}</div><div class="actions">{buttons}</div></div></body></html>"""
        png = self._chromium("dialog", html, 640, 330)
        truth = [d["title"]] + [f"{label} {hint} Change" for label, hint in d["rows"]] + [d["footer"],
                                                                                       " ".join(d["buttons"])]
        return Screen("gray UI with buttons", "\n".join(truth), [self._show_image(png, 640, 300)])

    def table(self):
        self._desktop()
        head = "".join(f"<th>{c}</th>" for c in TABLE[0])
        body = "".join("<tr>" + "".join(f"<td>{c}</td>" for c in row) + "</tr>" for row in TABLE[1:])
        html = f"""<html><head><style>
body {{ margin:0; padding:24px; background:white; font-family:'DejaVu Sans'; font-size:13px; color:#222; }}
table {{ border-collapse:collapse; }} th, td {{ border:1px solid #c9c9c9; padding:6px 14px; text-align:left; }}
th {{ background:#e9edf2; }} tr:nth-child(even) td {{ background:#f6f8fa; }}
</style></head><body><table><tr>{head}</tr>{body}</table></body></html>"""
        png = self._chromium("table", html, 760, 470)
        truth = "\n".join(" ".join(row) for row in TABLE)
        return Screen("table", truth, [self._show_image(png, 520, 240)])

    def full_text(self):
        self._desktop()
        lines = []
        words = " ".join(PROSE * 8).split()
        while len(lines) < 60:
            line = ""
            while words and len(line) + 1 + len(words[0]) <= 234:
                line = (line + " " + words.pop(0)).strip()
            lines.append(line)
        # 240 columns by 62 rows of a 10 pt cell fill a 1920x1080 screen.
        p = self._terminal(lines, "white", "black", "240x62+0+0", 10)
        return Screen("full screen of text", "\n".join(lines), [p])

