"""The benchmark's screens: each is shown on a private X display by real
programs (chromium in app windows, xterm, openbox for the decorated ones)
and comes with the text a person reads on it, in bench/truth/NAME.txt.

The split is fixed here: recognition is tuned on the `tune` half only; the
`held` half is reported as the figure that counts and is never tuned on."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field

import pages

WIDTH, HEIGHT = 1920, 1080
DESKTOP_COLOR = "#1b1f24"
TRUTH_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "truth")


@dataclass
class Web:
    page: pages.Page
    x: int = 0
    y: int = 0
    w: int = WIDTH
    h: int = HEIGHT


@dataclass
class Term:
    title: str
    lines: list          # with {c:..} colour marks
    geometry: str
    bg: str
    fg: str
    size: int = 11


@dataclass
class Screen:
    name: str
    kind: str
    split: str            # "tune" or "held"
    wm: bool              # openbox decorates and stacks the windows
    scale: float          # text scale: chromium's device scale factor; xterms set theirs by font size
    windows: list         # bottom first
    locale: str = ""      # the user's LANG, when the screen is in their language

    def tags(self):
        merged = {}
        for w in self.windows:
            for cls, tokens in (w.page.tags if isinstance(w, Web) else {}).items():
                merged.setdefault(cls, []).extend(word for t in tokens for word in t.split())
        if self.wm:  # light text on a coloured title bar
            merged.setdefault("lost", []).extend(
                word for w in self.windows for word in (w.page.title if isinstance(w, Web) else w.title).split())
        for cls, tokens in EXTRA_TAGS.get(self.name, {}).items():
            merged.setdefault(cls, []).extend(tokens)
        return merged

    def draft(self):
        lines = []
        for w in self.windows:
            title = [w.page.title if isinstance(w, Web) else w.title] if self.wm else []
            if isinstance(w, Web):
                lines += title + w.page.draft
            else:
                lines += title + [pages.strip_marks(x).rstrip() for x in w.lines if x.strip()]
        return lines

    def truth(self):
        with open(os.path.join(TRUTH_DIR, self.name + ".txt"), encoding="utf-8") as f:
            return f.read()


def full(page):
    return Web(page)


P = pages
SCREENS = [
    # the tuning half
    Screen("editor-dark", "code editor", "tune", False, 1.0, [full(P.editor(0, "dark"))]),
    Screen("chat-sidebar", "chat", "tune", True, 1.0, [Web(P.chat(0, "light"), 120, 40, 1640, 980)]),
    Screen("sheet-sales", "spreadsheet", "tune", False, 1.0, [full(P.spreadsheet(0, "light"))]),
    Screen("settings-light", "settings dialog", "tune", False, 1.0, [Web(P.settings(0, "light"), 480, 190, 940, 660)]),
    Screen("settings-night", "settings dialog", "tune", True, 1.0, [Web(P.settings(0, "dark"), 300, 120, 1040, 720)]),
    Screen("landing-light", "landing page", "tune", True, 1.0, [Web(P.landing(0, "light"), 60, 20, 1800, 1040)]),
    Screen("terminals-build", "overlapping terminals", "tune", True, 1.0,
         [Term(t, lines, g, bg, fg) for t, lines, g, bg, fg in P.terminal_windows(0)]),
    Screen("logs-light", "dense logs", "tune", False, 1.0,
         [Term("logs", P.log_lines(1, 62, 240), "240x62+0+0", "white", "black", 10)]),
    Screen("mail-german", "mail client", "tune", False, 1.0, [full(P.mail(0, "light"))], "de_DE.UTF-8"),
    Screen("files-list-150", "file manager", "tune", True, 1.5, [Web(P.files(0, "light"), 100, 40, 1720, 1000)]),
    Screen("prompt-dark", "terminal with prompt", "tune", False, 1.0,
         [Term("sam@atlas", P.TERMINAL_SESSIONS[0], "110x30+300+140", "#1c1c1c", "#d0d0d0", 11)]),
    Screen("ide-light", "IDE with panels", "tune", False, 1.0, [full(P.ide(0, "light"))]),
    Screen("web-docs-150", "web page", "tune", False, 1.5, [full(P.web(0, "light"))]),
    Screen("gallery-grid", "photo gallery", "tune", False, 1.0, [full(P.gallery(0, "light"))]),
    Screen("files-icons-dark", "file manager", "tune", True, 1.0, [Web(P.gallery(1, "dark"), 200, 80, 1400, 860)]),
    Screen("folders-dark", "file manager", "tune", False, 1.0, [full(P.folders("dark"))]),
    Screen("messenger-150", "chat", "tune", False, 1.5, [full(P.messenger("light"))]),
    Screen("dialog-over-page", "dialog over a window", "tune", True, 1.0,
         [Web(P.web(0, "light"), 100, 40, 1400, 1000), Web(P.dialog(0, "dark"), 600, 380, 560, 230)]),
    Screen("dialog-over-terminal", "dialog over a window", "tune", False, 1.0,
         [Term("report", P.DOCUMENT, "120x30+200+120", "white", "#202020", 11),
          Web(P.dialog(0, "light"), 700, 400, 520, 190)]),
    Screen("chat-turns-125", "chat", "tune", True, 1.25, [Web(P.group_chat("dark"), 240, 20, 1440, 1050)]),
    Screen("mail-panes-dark", "mail client", "tune", True, 1.0, [Web(P.mail_panes("dark"), 100, 40, 1720, 1010)]),
    Screen("news-gazette", "web page", "tune", False, 1.0, [full(P.newspaper("light"))]),
    Screen("landing-four-dark", "landing page", "tune", True, 1.0, [Web(P.landing(2, "dark"), 40, 20, 1840, 1050)]),
    Screen("mail-three-dark", "mail client", "tune", True, 1.0, [Web(P.mail(2, "dark"), 100, 10, 1700, 1060)]),
    Screen("chat-beside-150", "chat", "tune", True, 1.5, [Web(P.chat_beside("light"), 120, 30, 1680, 1040)]),
    Screen("terminals-deploy", "overlapping terminals", "tune", True, 1.0,
         [Term(t, lines, g, bg, fg) for t, lines, g, bg, fg in P.TERMINAL_TRIO]),
    Screen("prompt-paper-150", "terminal with prompt", "tune", True, 1.5,
         [Term("omar@lab", P.PAPER_SESSION, "84x18+300+180", "#fafafa", "#1e1e1e", 16)]),
    Screen("chat-garden-150", "chat", "tune", False, 1.5, [full(P.chat(2, "light"))]),
    Screen("terminals-stack", "overlapping terminals", "tune", True, 1.0,
         [Term(t, lines, g, bg, fg) for t, lines, g, bg, fg in P.TERMINAL_STACK]),
    Screen("editor-paper-150", "code editor", "tune", True, 1.5, [Web(P.editor(2, "light"), 120, 30, 1680, 1030)]),
    # the held-back half: reported, never tuned on
    Screen("editor-light-150", "code editor", "held", True, 1.5, [Web(P.editor(1, "light"), 160, 40, 1600, 1000)]),
    Screen("chat-bubbles-150", "chat", "held", False, 1.5, [full(P.chat(1, "light"))]),
    Screen("sheet-budget-dark", "spreadsheet", "held", True, 1.0, [Web(P.spreadsheet(1, "dark"), 40, 30, 1840, 1020)]),
    Screen("settings-dark", "settings dialog", "held", True, 1.0, [Web(P.settings(1, "dark"), 420, 160, 960, 680)]),
    Screen("landing-dark", "landing page", "held", False, 1.0, [full(P.landing(1, "dark"))]),
    Screen("terminals-ops", "overlapping terminals", "held", True, 1.0,
         [Term(t, lines, g, bg, fg) for t, lines, g, bg, fg in P.terminal_windows(1)]),
    Screen("logs-dark", "dense logs", "held", False, 1.0,
         [Term("logs", P.log_lines(2, 62, 240), "240x62+0+0", "#101418", "#c8d0d8", 10)]),
    Screen("mail-dark", "mail client", "held", True, 1.0, [Web(P.mail(1, "dark"), 60, 30, 1800, 1030)]),
    Screen("files-grid-dark", "file manager", "held", False, 1.0, [full(P.files(1, "dark"))]),
    Screen("prompt-light-150", "terminal with prompt", "held", True, 1.5,  # 16 pt where the others have 11
         [Term("lena@desk", P.TERMINAL_SESSIONS[1], "90x20+260+160", "white", "#222222", 16)]),
    Screen("ide-dark", "IDE with panels", "held", False, 1.0, [full(P.ide(1, "dark"))]),
    Screen("news-columns", "web page", "held", True, 1.0, [Web(P.web(1, "light"), 80, 30, 1760, 1030)]),
    Screen("dialog-over-document", "dialog over a window", "held", True, 1.0,
         [Web(P.document("light"), 200, 40, 1300, 1000), Web(P.dialog(1, "light"), 620, 380, 560, 230)]),
]

# Classes' tokens a terminal's text does not carry on its own.
EXTRA_TAGS = {
    "prompt-light-150": {"glyph": ["lena@desk", "~/projects/site"] * 3 + ["site@1.4.0", "v5.2.0"]},
    "logs-light": {"glyph": [w for x in P.log_lines(1, 62, 240) for w in x.split()[1:2]]},
    "logs-dark": {"glyph": [w for x in P.log_lines(2, 62, 240) for w in x.split()[1:2]]},
    "prompt-dark": {"glyph": ["sam@atlas:~/src/kestrel$"] * 5},
}


def select(names=None, split=None):
    chosen = [s for s in SCREENS if (not names or s.name in names) and (not split or s.split == split)]
    unknown = set(names or []) - {s.name for s in SCREENS}
    if unknown:
        raise SystemExit(f"bench: no screen named {', '.join(sorted(unknown))}")
    return chosen


# Title fonts named, not "sans": which font "sans" is depends on the fonts installed.
OPENBOX_CONFIG = """<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><theme><name>Clearlooks</name><titleLayout>NLIMC</titleLayout>
""" + "".join(f"""<font place="{place}"><name>DejaVu Sans</name><size>8</size><weight>bold</weight>
<slant>normal</slant></font>""" for place in ("ActiveWindow", "InactiveWindow")) + "</theme></openbox_config>\n"


@dataclass
class Shown:
    screen: Screen
    processes: list = field(default_factory=list)


class Corpus:
    """Shows one screen at a time on `display`, in files under a temp folder."""

    def __init__(self, display, workdir):
        self.display = display
        self.workdir = workdir
        self.env = dict(os.environ, DISPLAY=display)
        self.counter = 0

    def _start(self, args):
        return subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def _write(self, text, suffix):
        self.counter += 1
        path = os.path.join(self.workdir, f"w{self.counter}{suffix}")
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
        return path

    def _wait_title(self, title, process):
        for _ in range(300):
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], env=self.env,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.strip()
            if found:
                return found.split()[0].decode()
            if process.poll() is not None:
                raise RuntimeError(f"the program for window {title!r} exited with status {process.returncode}")
            time.sleep(0.1)
        process.kill()
        process.wait()
        raise RuntimeError(f"no window titled {title!r} appeared")

    def _settle(self):
        """Waits until two grabs a second apart agree: every window has drawn."""
        last = None
        for _ in range(30):
            now = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=self.env,
                                 stdout=subprocess.PIPE, check=True).stdout
            if now == last:
                return
            last = now
            time.sleep(1.0)

    def _web(self, w, scale):
        path = self._write(w.page.body, ".html")
        profile = tempfile.mkdtemp(prefix="chromium-", dir=self.workdir)
        p = self._start(["chromium", "--no-sandbox", "--test-type", "--disable-gpu", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update", "--disable-sync",
                         "--disable-features=Translate,MediaRouter", "--hide-scrollbars", "--noerrdialogs",
                         f"--user-data-dir={profile}", f"--force-device-scale-factor={scale}",
                         # chromium takes the window's place and size in scaled pixels
                         f"--window-position={round(w.x / scale)},{round(w.y / scale)}",
                         f"--window-size={round(w.w / scale)},{round(w.h / scale)}", f"--app=file://{path}"])
        return p, self._wait_title(w.page.title, p)

    def _term(self, w):
        path = self._write("\n".join(pages.ansi(x) for x in w.lines), ".txt")
        # Hides the cursor after the text so the screen shows the text alone.
        script = f"cat {path}; printf '\\033[?25l'; exec sleep 100000"
        p = self._start(["xterm", "-T", w.title, "-fa", "DejaVu Sans Mono", "-fs", str(w.size), "-bg", w.bg,
                         "-fg", w.fg, "-geometry", w.geometry, "+sb", "-e", "sh", "-c", script])
        return p, self._wait_title(w.title, p)

    def _wm_check(self):
        return subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL).stdout

    def _window_manager(self):
        config = self._write(OPENBOX_CONFIG, ".xml")
        p = self._start(["openbox", "--replace", "--config-file", config])
        for _ in range(100):
            # The root keeps the mark of a window manager that has exited: its window must exist too.
            mark = self._wm_check().split()
            if b"id" in mark and subprocess.run(["xprop", "-id", mark[-1], "_NET_SUPPORTING_WM_CHECK"], env=self.env,
                                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
                return p
            time.sleep(0.1)
        p.kill()
        p.wait()
        raise RuntimeError("openbox did not start")

    def show(self, screen, attempts=2):
        """Shows the screen; on a loaded machine a window can miss its start, so it tries twice."""
        for attempt in range(attempts):
            subprocess.run(["xsetroot", "-solid", DESKTOP_COLOR], env=self.env, check=True)
            shown = Shown(screen)
            try:
                if screen.wm:
                    shown.processes.append(self._window_manager())
                for w in screen.windows:
                    p, window = self._web(w, screen.scale) if isinstance(w, Web) else self._term(w)
                    shown.processes.append(p)
                if screen.wm:  # the top window active, whatever the focus race left
                    subprocess.run(["xdotool", "windowactivate", "--sync", window], env=self.env, timeout=30,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self._settle()
                return shown
            except (RuntimeError, subprocess.TimeoutExpired) as e:
                stop(shown.processes)
                if attempt + 1 == attempts:
                    raise
                print(f"{screen.name}: {e}; once more", file=sys.stderr, flush=True)
            except BaseException:
                stop(shown.processes)
                raise


def stop(processes):
    for p in reversed(processes):
        p.terminate()
    for p in processes:
        try:
            p.wait(timeout=10)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


class Xvfb:
    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        self.process.terminate()
        self.process.wait()


def main():
    """Captures screens as PNGs (to look at when writing their truth) and
    writes a draft truth for screens that have none yet."""
    import argparse
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--screens", default="")
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    os.makedirs(TRUTH_DIR, exist_ok=True)
    server = Xvfb()
    workdir = tempfile.mkdtemp(prefix="kestrova-corpus-")
    corpus = Corpus(server.display, workdir)
    try:
        for screen in select([n for n in args.screens.split(",") if n]):
            shown = corpus.show(screen)
            png = os.path.join(args.folder, screen.name + ".png")
            subprocess.run(["import", "-window", "root", png], env=corpus.env, check=True)
            stop(shown.processes)
            draft = os.path.join(TRUTH_DIR, screen.name + ".txt")
            if not os.path.exists(draft):
                with open(draft, "w", encoding="utf-8") as out:
                    out.write("\n".join(screen.draft()) + "\n")
            print(png, flush=True)
    finally:
        server.stop()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()
